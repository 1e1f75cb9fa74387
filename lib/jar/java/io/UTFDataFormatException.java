package java.io;

public class UTFDataFormatException extends IOException {
    public UTFDataFormatException() { super(); }
    public UTFDataFormatException(String message) { super(message); }
}
