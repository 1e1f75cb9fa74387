package java.lang;

public class UnsupportedClassVersionError extends ClassFormatError implements java.io.Serializable {
    public UnsupportedClassVersionError() { super(); }
    public UnsupportedClassVersionError(String message) { super(message); }
}
