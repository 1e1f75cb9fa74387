package java.lang;

public class ClassFormatError extends LinkageError implements java.io.Serializable {
    public ClassFormatError() { super(); }
    public ClassFormatError(String message) { super(message); }
}
