package java.lang;

public class InstantiationError extends IncompatibleClassChangeError implements java.io.Serializable {
    public InstantiationError() { super(); }
    public InstantiationError(String message) { super(message); }
}
