package java.io;

public abstract class Writer {
    protected Object lock;
    protected Writer() { lock = this; }
    protected Writer(Object lock) {
        if (lock == null)
            throw new NullPointerException();
        this.lock = lock;
    }
    public void write(int c) throws IOException { char[] b = new char[1]; b[0] = (char) c; write(b, 0, 1); }
    public void write(char[] b) throws IOException { write(b, 0, b.length); }
    public abstract void write(char[] b, int off, int len) throws IOException;
    public void write(String s) throws IOException { write(s.toCharArray(), 0, s.length()); }
    public void write(String s, int off, int len) throws IOException { write(s.substring(off, off + len).toCharArray(), 0, len); }
    public abstract void flush() throws IOException;
    public abstract void close() throws IOException;
}
