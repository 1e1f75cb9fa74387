package java.io;

public abstract class Reader {
    protected Object lock;
    protected Reader() { lock = this; }
    protected Reader(Object lock) {
        if (lock == null)
            throw new NullPointerException();
        this.lock = lock;
    }
    public int read() throws IOException { char[] b = new char[1]; return read(b, 0, 1) < 1 ? -1 : b[0]; }
    public int read(char[] b) throws IOException { return read(b, 0, b.length); }
    public abstract int read(char[] b, int off, int len) throws IOException;
    public long skip(long n) throws IOException {
        if (n < 0)
            throw new IllegalArgumentException("skip value is negative");
        char[] b = new char[(int) Math.min(n, 512)];
        long left = n;
        while (left > 0) {
            int k = read(b, 0, (int) Math.min(left, b.length));
            if (k < 0)
                break;
            left -= k;
        }
        return n - left;
    }
    public boolean ready() throws IOException { return false; }
    public boolean markSupported() { return false; }
    public void mark(int limit) throws IOException { throw new IOException("mark() not supported"); }
    public void reset() throws IOException { throw new IOException("reset() not supported"); }
    public abstract void close() throws IOException;
}
