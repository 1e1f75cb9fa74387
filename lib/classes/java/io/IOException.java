package java.io;

public class IOException extends java.lang.Exception implements Serializable {
    public IOException() { super(); }
    public IOException(String message) { super(message); }
}
