package java.lang;

public class IncompatibleClassChangeError extends LinkageError implements java.io.Serializable {
    public IncompatibleClassChangeError() { super(); }
    public IncompatibleClassChangeError(String message) { super(message); }
}
