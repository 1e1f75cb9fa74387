package java.lang;

public class AbstractMethodError extends IncompatibleClassChangeError implements java.io.Serializable {
    public AbstractMethodError() { super(); }
    public AbstractMethodError(String message) { super(message); }
}
