package java.lang;

public class LinkageError extends Error implements java.io.Serializable {
    public LinkageError() { super(); }
    public LinkageError(String message) { super(message); }
}
