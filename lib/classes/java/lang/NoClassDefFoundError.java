package java.lang;

public class NoClassDefFoundError extends LinkageError implements java.io.Serializable {
    public NoClassDefFoundError() { super(); }
    public NoClassDefFoundError(String message) { super(message); }
}
