package java.lang;

public class ThreadGroup {
    private String name;
    public ThreadGroup(String name) { this.name = name; }
    public String getName() { return name; }
    public void uncaughtException(Thread t, Throwable e) {
        System.err.print("Exception in thread \"" + t.getName() + "\" ");
        e.printStackTrace(System.err);
    }
}
