public class BenchThreads implements Runnable {
    static final Object lock = new Object();
    static int counter;
    public void run() {
        for (int i = 0; i < 200000; i++) {
            synchronized (lock) {
                counter++;
            }
        }
    }
    public static void main(String[] args) throws InterruptedException {
        Thread[] t = new Thread[4];
        for (int i = 0; i < t.length; i++) {
            t[i] = new Thread(new BenchThreads());
            t[i].start();
        }
        for (int i = 0; i < t.length; i++) t[i].join();
        System.out.println(counter);
    }
}
