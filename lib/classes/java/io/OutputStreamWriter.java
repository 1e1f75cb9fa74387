package java.io;

public class OutputStreamWriter extends Writer {
    private OutputStream out;
    private String encoding;
    public OutputStreamWriter(OutputStream out) { this.out = out; initEncoding(null); }
    public OutputStreamWriter(OutputStream out, String enc) { this.out = out; initEncoding(enc); }
    private native void initEncoding(String enc);
    private native long convert(char[] src, int off, int len, byte[] dst);
    public native String getEncoding();
    public void write(char[] b, int off, int len) throws IOException { byte[] x = new String(b, off, len).getBytes(); out.write(x, 0, x.length); }
    public void flush() throws IOException { out.flush(); }
    public void close() throws IOException { out.close(); }
}
