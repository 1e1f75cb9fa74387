package java.io;

public class FileOutputStream extends OutputStream {
    private long nativeHandle;
    public FileOutputStream(String name) throws FileNotFoundException { open(name, false); }
    public FileOutputStream(String name, boolean append) throws FileNotFoundException { open(name, append); }
    public FileOutputStream(File f) throws FileNotFoundException { open(f.getPath(), false); }
    public FileOutputStream(File f, boolean append) throws FileNotFoundException { open(f.getPath(), append); }
    private native void open(String name, boolean append) throws FileNotFoundException;
    public native void write(int b) throws IOException;
    public void write(byte[] b) throws IOException { write(b, 0, b.length); }
    public native void write(byte[] b, int off, int len) throws IOException;
    public native void close() throws IOException;
    protected void finalize() throws IOException { close(); }
}
