package java.lang;

public class NoSuchFieldError extends IncompatibleClassChangeError implements java.io.Serializable {
    public NoSuchFieldError() { super(); }
    public NoSuchFieldError(String message) { super(message); }
}
