package java.lang;

public class UnsatisfiedLinkError extends LinkageError implements java.io.Serializable {
    public UnsatisfiedLinkError() { super(); }
    public UnsatisfiedLinkError(String message) { super(message); }
}
