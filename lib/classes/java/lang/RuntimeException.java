package java.lang;

public class RuntimeException extends Exception {
    public RuntimeException() { super(); }
    public RuntimeException(String message) { super(message); }
    public RuntimeException(String message, Throwable cause) { super(message, cause); }
    public RuntimeException(Throwable cause) { super(cause); }
}
