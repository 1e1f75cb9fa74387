package java.io;

public class OutputStreamWriter extends Writer {
    private OutputStream out;
    private String encoding;
    public OutputStreamWriter(OutputStream out) { this.out = out; initEncoding(null); }
    // An unknown encoding raises java.io.UnsupportedEncodingException.
    public OutputStreamWriter(OutputStream out, String enc) throws IOException {
        "".getBytes(enc);
        this.out = out;
        this.encoding = enc;
        initEncoding(enc);
    }
    private native void initEncoding(String enc);
    private native long convert(char[] src, int off, int len, byte[] dst);
    public native String getEncoding();
    public void write(char[] b, int off, int len) throws IOException {
        String s = new String(b, off, len);
        byte[] x = encoding == null ? s.getBytes() : s.getBytes(encoding);
        out.write(x, 0, x.length);
    }
    public void flush() throws IOException { out.flush(); }
    public void close() throws IOException { out.close(); }
}
