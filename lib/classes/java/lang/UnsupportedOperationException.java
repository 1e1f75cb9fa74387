package java.lang;

public class UnsupportedOperationException extends RuntimeException {
    public UnsupportedOperationException() { super(); }
    public UnsupportedOperationException(String message) { super(message); }
}
