// Threads allocate while others hold a monitor and wait on it.
public class GcThreads {
    static final Object lock = new Object();
    static int[] totals = new int[4];
    static int turn;

    static void work(int id) {
        for (int r = 0; r < 150; r++) {
            synchronized (lock) {
                StringBuffer sb = new StringBuffer();
                for (int k = 0; k < 20; k++)
                    sb.append(k + id);
                Object[] junk = new Object[40];
                for (int j = 0; j < junk.length; j++)
                    junk[j] = new Integer(j * id);
                totals[id] += sb.length() + ((Integer) junk[39]).intValue();
                turn++;
                lock.notifyAll();
            }
            int[] local = new int[200];
            for (int j = 0; j < local.length; j++)
                local[j] = j ^ r;
            totals[id] += local[r % 200] & 1;
        }
    }

    public static void main(String[] args) throws InterruptedException {
        Thread[] ts = new Thread[4];
        for (int i = 0; i < ts.length; i++) {
            final int id = i;
            ts[i] = new Thread() {
                public void run() {
                    work(id);
                }
            };
            ts[i].start();
        }
        synchronized (lock) {
            while (turn < 600)
                lock.wait();
        }
        for (int i = 0; i < ts.length; i++)
            ts[i].join();
        for (int i = 0; i < totals.length; i++)
            System.out.println("thread " + i + " total " + totals[i]);
        System.out.println("turns " + turn);
    }
}
