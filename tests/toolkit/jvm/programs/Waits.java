public class Waits {
    static final Object lock = new Object();
    static boolean ready;

    public static void main(String[] args) throws Exception {
        // Nobody notifies: the wait ends when its time is up.
        long t0 = System.currentTimeMillis();
        synchronized (lock) {
            lock.wait(40);
        }
        long waited = System.currentTimeMillis() - t0;
        System.out.println("timed wait " + (waited >= 35 ? "ran to its limit" : "ended early"));

        // Notified long before the limit.
        Thread t = new Thread() {
            public void run() {
                synchronized (lock) {
                    ready = true;
                    lock.notify();
                }
            }
        };
        t0 = System.currentTimeMillis();
        synchronized (lock) {
            t.start();
            while (!ready)
                lock.wait(20000);
        }
        t.join();
        waited = System.currentTimeMillis() - t0;
        System.out.println("notified wait " + (waited < 10000 ? "ended before its limit" : "ran late"));

        // A limit given in nanoseconds as well.
        synchronized (lock) {
            lock.wait(0, 1);
        }
        System.out.println("nanosecond wait ended");

        t0 = System.currentTimeMillis();
        Thread.sleep(30);
        waited = System.currentTimeMillis() - t0;
        System.out.println("sleep " + (waited >= 25 ? "lasted" : "ended early"));

        try {
            synchronized (lock) {
                lock.wait(-1);
            }
        } catch (IllegalArgumentException e) {
            System.out.println("negative limit rejected");
        }
        try {
            synchronized (lock) {
                lock.wait(0, 1000000);
            }
        } catch (IllegalArgumentException e) {
            System.out.println("nanoseconds out of range rejected");
        }
        try {
            lock.wait(10);
        } catch (IllegalMonitorStateException e) {
            System.out.println("wait without the monitor rejected");
        }
    }
}
