package java.io;

public abstract class InputStream {
    public InputStream() {}
    public abstract int read() throws IOException;
    public int read(byte[] b) throws IOException { return read(b, 0, b.length); }
    public int read(byte[] b, int off, int len) throws IOException {
        int n = 0;
        while (n < len) {
            int c = read();
            if (c < 0) return n == 0 ? -1 : n;
            b[off + n++] = (byte) c;
        }
        return n;
    }
    public long skip(long n) throws IOException { long k = 0; while (k < n && read() >= 0) k++; return k; }
    public int available() throws IOException { return 0; }
    public void close() throws IOException {}
    public boolean markSupported() { return false; }
    public void mark(int limit) {}
    public void reset() throws IOException { throw new IOException("reset"); }
}
