package java.lang;

public class Error extends Throwable implements java.io.Serializable {
    public Error() { super(); }
    public Error(String message) { super(message); }
    public Error(String message, Throwable cause) { super(message, cause); }
    public Error(Throwable cause) { super(cause); }
}
