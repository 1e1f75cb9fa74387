package java.lang;

public class ExceptionInInitializerError extends LinkageError {
    private Throwable exception;
    public ExceptionInInitializerError() { super(); }
    public ExceptionInInitializerError(String message) { super(message); }
    public ExceptionInInitializerError(Throwable thrown) { super(); exception = thrown; }
    public Throwable getException() { return exception; }
    public Throwable getCause() { return exception; }
}
