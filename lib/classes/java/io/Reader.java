package java.io;

public abstract class Reader {
    protected Reader() {}
    public int read() throws IOException { char[] b = new char[1]; return read(b, 0, 1) < 1 ? -1 : b[0]; }
    public int read(char[] b) throws IOException { return read(b, 0, b.length); }
    public abstract int read(char[] b, int off, int len) throws IOException;
    public abstract void close() throws IOException;
}
