public class Threads {
    static class Counter {
        private int value;
        synchronized void add(int n) { value += n; }
        synchronized int get() { return value; }
    }
    static class Queue {
        private int[] items = new int[4];
        private int head, count;
        synchronized void put(int v) throws InterruptedException {
            while (count == items.length) wait();
            items[(head + count) % items.length] = v;
            count++;
            notifyAll();
        }
        synchronized int take() throws InterruptedException {
            while (count == 0) wait();
            int v = items[head];
            head = (head + 1) % items.length;
            count--;
            notifyAll();
            return v;
        }
    }
    static final Object lock = new Object();
    static int shared;
    public static void main(String[] args) throws Exception {
        final Counter c = new Counter();
        Thread[] ts = new Thread[4];
        for (int i = 0; i < ts.length; i++) {
            final int id = i;
            ts[i] = new Thread() {
                public void run() {
                    for (int k = 0; k < 1000; k++) {
                        c.add(id + 1);
                        synchronized (lock) { shared++; }
                    }
                }
            };
            ts[i].start();
        }
        for (int i = 0; i < ts.length; i++) ts[i].join();
        System.out.println("counter " + c.get() + " shared " + shared);
        final Queue q = new Queue();
        Thread producer = new Thread(new Runnable() {
            public void run() {
                try {
                    for (int i = 1; i <= 100; i++) q.put(i);
                    q.put(-1);
                } catch (InterruptedException e) {
                }
            }
        });
        producer.start();
        long sum = 0;
        int n = 0;
        for (;;) {
            int v = q.take();
            if (v < 0) break;
            sum += v;
            n++;
        }
        producer.join();
        System.out.println("consumed " + n + " sum " + sum);
        Thread sleeper = new Thread() {
            public void run() {
                try { Thread.sleep(20); } catch (InterruptedException e) {}
                synchronized (lock) { shared = -1; }
            }
        };
        sleeper.start();
        sleeper.join();
        System.out.println("after sleep " + shared);
    }
}
