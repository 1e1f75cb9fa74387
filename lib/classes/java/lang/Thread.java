package java.lang;

public class Thread implements Runnable {
    private long nativePtr;
    private Runnable target;
    private String name;
    private int priority = 5;
    private boolean alive;
    private boolean daemon;
    private ThreadGroup group;
    public static final int MIN_PRIORITY = 1;
    public static final int NORM_PRIORITY = 5;
    public static final int MAX_PRIORITY = 10;
    private static int counter;

    public Thread() { this(null, null); }
    public Thread(Runnable target) { this(target, null); }
    public Thread(String name) { this(null, name); }
    public Thread(Runnable target, String name) {
        this.target = target;
        if (name == null) {
            synchronized (Thread.class) {
                name = new StringBuffer("Thread-").append(counter++).toString();
            }
        }
        this.name = name;
    }
    public static native Thread currentThread();
    public static native void yield();
    public static native void sleep(long millis) throws InterruptedException;
    public static void sleep(long millis, int nanos) throws InterruptedException { sleep(millis); }
    public native void start();
    public void run() { if (target != null) target.run(); }
    public final native void setPriority(int p);
    public final native int getPriority();
    public static native int activeCount();
    public final native ThreadGroup getThreadGroup();
    public native int countStackFrames();
    public static native void dumpStack();
    public final String getName() { return name; }
    public final void setName(String n) { name = n; }
    public final boolean isAlive() { return alive; }
    public final boolean isDaemon() { return daemon; }
    public final void setDaemon(boolean on) { daemon = on; }
    public final synchronized void join() throws InterruptedException { while (alive) wait(); }
    public final synchronized void join(long millis) throws InterruptedException {
        if (millis < 0) throw new IllegalArgumentException();
        if (millis == 0) { join(); return; }
        long end = System.currentTimeMillis() + millis;
        while (alive) {
            long left = end - System.currentTimeMillis();
            if (left <= 0) break;
            wait(left);
        }
    }
    public String toString() { return new StringBuffer("Thread[").append(name).append(',').append(priority).append(']').toString(); }
}
