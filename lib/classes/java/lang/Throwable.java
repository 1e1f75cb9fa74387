package java.lang;

public class Throwable implements java.io.Serializable {
    private String message;
    private Throwable cause;
    private long[] rawStacktrace;
    private StackTraceElement[] stackTrace;

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
    public void printStackTrace(java.io.PrintWriter s) {
        s.println(toString());
        if (cause != null && cause != this) {
            s.print("Caused by: ");
            cause.printStackTrace(s);
        }
    }
    public Throwable fillInStackTrace() { return this; }
    public StackTraceElement[] getStackTrace() {
        StackTraceElement[] own = ownStackTrace();
        StackTraceElement[] copy = new StackTraceElement[own.length];
        System.arraycopy(own, 0, copy, 0, own.length);
        return copy;
    }
    public void setStackTrace(StackTraceElement[] trace) {
        StackTraceElement[] copy = new StackTraceElement[trace.length];
        for (int i = 0; i < trace.length; i++) {
            if (trace[i] == null)
                throw new NullPointerException();
            copy[i] = trace[i];
        }
        stackTrace = copy;
    }
    // One element per frame of the raw trace the VM recorded, innermost first.
    private synchronized StackTraceElement[] ownStackTrace() {
        if (stackTrace == null) {
            int n = rawStacktrace == null ? 0 : rawStacktrace.length;
            stackTrace = new StackTraceElement[n];
            for (int i = 0; i < n; i++)
                stackTrace[i] = new StackTraceElement(rawStacktrace[i]);
        }
        return stackTrace;
    }
}
