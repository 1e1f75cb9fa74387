package java.lang;

public class ClassNotFoundException extends Exception {
    private Throwable ex;
    public ClassNotFoundException() { super(); }
    public ClassNotFoundException(String message) { super(message); }
    public ClassNotFoundException(String message, Throwable ex) { super(message); this.ex = ex; }
    public Throwable getException() { return ex; }
    public Throwable getCause() { return ex; }
}
