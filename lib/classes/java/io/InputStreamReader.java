package java.io;

public class InputStreamReader extends Reader {
    private InputStream in;
    private String encoding;
    public InputStreamReader(InputStream in) { this.in = in; initEncoding(null); }
    private int pending = -1;   // the second unit of a surrogate pair
    private int lookahead = -1; // a byte read past a broken sequence
    // An unknown encoding raises java.io.UnsupportedEncodingException.
    public InputStreamReader(InputStream in, String enc) throws IOException {
        "".getBytes(enc);
        this.in = in;
        this.encoding = enc;
        initEncoding(enc);
    }
    private native void initEncoding(String enc);
    private native long convert(char[] dst, int off, int len, byte[] src, int count);
    public native String getEncoding();
    // One character a call: a UTF-8 sequence is read whole (a broken one is
    // one U+FFFD, its offending byte kept for the next character).
    public int read(char[] b, int off, int len) throws IOException {
        if (len <= 0)
            return 0;
        if (pending >= 0) {
            b[off] = (char) pending;
            pending = -1;
            return 1;
        }
        int c = lookahead >= 0 ? lookahead : in.read();
        lookahead = -1;
        if (c < 0)
            return -1;
        String enc = encoding == null ? "UTF-8" : encoding;
        byte[] seq = new byte[4];
        seq[0] = (byte) c;
        int n = 1;
        if (enc.equalsIgnoreCase("UTF-8") || enc.equalsIgnoreCase("UTF8")) {
            int need = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
            int lo = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
            int hi = c == 0xF4 ? 0x8F : 0xBF;
            for (int k = 0; k < need; k++) {
                int x = in.read();
                if (x < lo || x > hi) {
                    lookahead = x;
                    seq[0] = (byte) 0xFF;
                    n = 1;
                    break;
                }
                seq[n++] = (byte) x;
                lo = 0x80;
                hi = 0xBF;
            }
        }
        byte[] whole = new byte[n];
        System.arraycopy(seq, 0, whole, 0, n);
        String s = new String(whole, enc);
        b[off] = s.charAt(0);
        if (s.length() > 1)
            pending = s.charAt(1);
        return 1;
    }
    public void close() throws IOException { in.close(); }
}
