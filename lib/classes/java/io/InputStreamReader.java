package java.io;

public class InputStreamReader extends Reader {
    private InputStream in;
    private String encoding;
    public InputStreamReader(InputStream in) { this.in = in; initEncoding(null); }
    public InputStreamReader(InputStream in, String enc) { this.in = in; initEncoding(enc); }
    private native void initEncoding(String enc);
    private native long convert(char[] dst, int off, int len, byte[] src, int count);
    public native String getEncoding();
    public int read(char[] b, int off, int len) throws IOException {
        int c = in.read();
        if (c < 0) return -1;
        b[off] = (char) c;
        return 1;
    }
    public void close() throws IOException { in.close(); }
}
