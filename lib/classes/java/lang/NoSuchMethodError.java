package java.lang;

public class NoSuchMethodError extends IncompatibleClassChangeError implements java.io.Serializable {
    public NoSuchMethodError() { super(); }
    public NoSuchMethodError(String message) { super(message); }
}
