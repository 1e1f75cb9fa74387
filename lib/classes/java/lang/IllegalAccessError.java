package java.lang;

public class IllegalAccessError extends IncompatibleClassChangeError implements java.io.Serializable {
    public IllegalAccessError() { super(); }
    public IllegalAccessError(String message) { super(message); }
}
