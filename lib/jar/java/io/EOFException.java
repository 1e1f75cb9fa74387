package java.io;

public class EOFException extends IOException {
    public EOFException() { super(); }
    public EOFException(String message) { super(message); }
}
