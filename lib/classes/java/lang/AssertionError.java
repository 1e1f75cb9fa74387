package java.lang;

// The detail of a failed assert statement as its message; a Throwable
// detail is the cause as well.
public class AssertionError extends Error {
    public AssertionError() { super(); }
    public AssertionError(Object detail) {
        super(String.valueOf(detail));
        if (detail instanceof Throwable)
            initCause((Throwable) detail);
    }
    public AssertionError(boolean detail) { super(String.valueOf(detail)); }
    public AssertionError(char detail) { super(String.valueOf(detail)); }
    public AssertionError(int detail) { super(String.valueOf(detail)); }
    public AssertionError(long detail) { super(String.valueOf(detail)); }
    public AssertionError(float detail) { super(String.valueOf(detail)); }
    public AssertionError(double detail) { super(String.valueOf(detail)); }
}
