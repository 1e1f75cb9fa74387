package java.io;

public class FileInputStream extends InputStream {
    private long nativeHandle;
    public FileInputStream(String name) throws FileNotFoundException { open(name); }
    public FileInputStream(File f) throws FileNotFoundException { open(f.getPath()); }
    private native void open(String name) throws FileNotFoundException;
    public native int read() throws IOException;
    public int read(byte[] b) throws IOException { return read(b, 0, b.length); }
    public native int read(byte[] b, int off, int len) throws IOException;
    public native long skip(long n) throws IOException;
    public native int available() throws IOException;
    public native void close() throws IOException;
    protected void finalize() throws IOException { close(); }
}
