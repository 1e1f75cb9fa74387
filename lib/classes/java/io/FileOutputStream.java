package java.io;

public class FileOutputStream extends OutputStream {
    private long nativeHandle;
    public FileOutputStream(String name) throws FileNotFoundException { open(name, false); }
    public FileOutputStream(String name, boolean append) throws FileNotFoundException { open(name, append); }
    private native void open(String name, boolean append) throws FileNotFoundException;
    public native void write(int b) throws IOException;
    public native void write(byte[] b, int off, int len) throws IOException;
    public native void close() throws IOException;
}
