package java.lang;

public class VerifyError extends LinkageError implements java.io.Serializable {
    public VerifyError() { super(); }
    public VerifyError(String message) { super(message); }
}
