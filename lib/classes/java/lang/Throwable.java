package java.lang;

public class Throwable implements java.io.Serializable {
    private String message;
    private Throwable cause;
    private long[] rawStacktrace;

    public Throwable() {}
    public Throwable(String message) { this.message = message; }
    public Throwable(String message, Throwable cause) { this.message = message; this.cause = cause; }
    public Throwable(Throwable cause) { this.cause = cause; if (cause != null) message = cause.toString(); }
    public String getMessage() { return message; }
    public String getLocalizedMessage() { return getMessage(); }
    public Throwable getCause() { return cause; }
    public Throwable initCause(Throwable c) { cause = c; return this; }
    public String toString() {
        String m = getLocalizedMessage();
        String n = getClass().getName();
        return m != null ? new StringBuffer(n).append(": ").append(m).toString() : n;
    }
    public void printStackTrace() { printStackTrace(System.err); }
    public void printStackTrace(java.io.PrintStream s) {
        s.println(toString());
        if (cause != null && cause != this) {
            s.print("Caused by: ");
            cause.printStackTrace(s);
        }
    }
    public Throwable fillInStackTrace() { return this; }
}
