package java.lang.reflect;

public class InvocationTargetException extends Exception {
    private Throwable target;
    protected InvocationTargetException() { super(); }
    public InvocationTargetException(Throwable target) { super(); this.target = target; }
    public InvocationTargetException(Throwable target, String s) { super(s); this.target = target; }
    public Throwable getTargetException() { return target; }
    public Throwable getCause() { return target; }
}
