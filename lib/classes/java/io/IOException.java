package java.io;

public class IOException extends java.lang.Exception {
    public IOException() { super(); }
    public IOException(String message) { super(message); }
}
