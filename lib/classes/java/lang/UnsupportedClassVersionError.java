package java.lang;

public class UnsupportedClassVersionError extends ClassFormatError {
    public UnsupportedClassVersionError() { super(); }
    public UnsupportedClassVersionError(String message) { super(message); }
}
