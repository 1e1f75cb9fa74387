package java.lang;

public class ClassCircularityError extends LinkageError implements java.io.Serializable {
    public ClassCircularityError() { super(); }
    public ClassCircularityError(String message) { super(message); }
}
