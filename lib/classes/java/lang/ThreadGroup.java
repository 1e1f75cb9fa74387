package java.lang;

public class ThreadGroup {
    private String name;
    public ThreadGroup(String name) { this.name = name; }
    public String getName() { return name; }
    public final int getMaxPriority() { return Thread.MAX_PRIORITY; }
    public void uncaughtException(Thread t, Throwable e) {
        System.err.print(new StringBuffer("Exception in thread \"").append(t.getName()).append("\" ").toString());
        e.printStackTrace(System.err);
    }
}
