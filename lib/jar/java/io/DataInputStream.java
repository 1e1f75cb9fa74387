package java.io;

// Primitive values read big-endian from the underlying stream; the end of
// the data inside a value is EOFException.
public class DataInputStream extends FilterInputStream implements DataInput {
    public DataInputStream(InputStream in) { super(in); }

    public final int read(byte[] b) throws IOException { return in.read(b, 0, b.length); }
    public final int read(byte[] b, int off, int len) throws IOException { return in.read(b, off, len); }

    public final void readFully(byte[] b) throws IOException { readFully(b, 0, b.length); }
    public final void readFully(byte[] b, int off, int len) throws IOException {
        if (len < 0)
            throw new IndexOutOfBoundsException();
        int n = 0;
        while (n < len) {
            int k = in.read(b, off + n, len - n);
            if (k < 0)
                throw new EOFException();
            n += k;
        }
    }

    public final int skipBytes(int n) throws IOException {
        int total = 0;
        while (total < n) {
            int k = (int) in.skip(n - total);
            if (k <= 0)
                break;
            total += k;
        }
        return total;
    }

    private int next() throws IOException {
        int b = in.read();
        if (b < 0)
            throw new EOFException();
        return b;
    }

    public final boolean readBoolean() throws IOException { return next() != 0; }
    public final byte readByte() throws IOException { return (byte) next(); }
    public final int readUnsignedByte() throws IOException { return next(); }
    public final short readShort() throws IOException { return (short) readUnsignedShort(); }
    public final int readUnsignedShort() throws IOException {
        int hi = next();
        return (hi << 8) | next();
    }
    public final char readChar() throws IOException { return (char) readUnsignedShort(); }
    public final int readInt() throws IOException {
        int v = next();
        v = (v << 8) | next();
        v = (v << 8) | next();
        return (v << 8) | next();
    }
    public final long readLong() throws IOException {
        long hi = readInt();
        return (hi << 32) | (readInt() & 0xFFFFFFFFL);
    }
    public final float readFloat() throws IOException { return Float.intBitsToFloat(readInt()); }
    public final double readDouble() throws IOException { return Double.longBitsToDouble(readLong()); }

    // Bytes as Latin-1 characters up to "\n", "\r" or "\r\n"; null at the
    // end of the data. A byte read after "\r" that is not "\n" is kept for
    // the next read.
    public final String readLine() throws IOException {
        StringBuffer s = null;
        for (;;) {
            int c = in.read();
            if (c < 0)
                return s == null ? null : s.toString();
            if (s == null)
                s = new StringBuffer();
            if (c == '\n')
                return s.toString();
            if (c == '\r') {
                int d = in.read();
                if (d >= 0 && d != '\n') {
                    if (!(in instanceof OneBytePushback))
                        in = new OneBytePushback(in);
                    ((OneBytePushback) in).unread(d);
                }
                return s.toString();
            }
            s.append((char) c);
        }
    }

    public final String readUTF() throws IOException { return readUTF(this); }

    // An unsigned 16-bit byte count, then that many bytes of modified UTF-8.
    public static final String readUTF(DataInput in) throws IOException {
        int length = in.readUnsignedShort();
        byte[] b = new byte[length];
        in.readFully(b, 0, length);
        char[] chars = new char[length];
        int n = 0;
        int i = 0;
        while (i < length) {
            int c = b[i] & 0xFF;
            if (c < 0x80) {
                chars[n++] = (char) c;
                i++;
            } else if ((c & 0xE0) == 0xC0) {
                if (i + 2 > length)
                    throw new UTFDataFormatException("truncated character at byte " + i);
                int c2 = b[i + 1];
                if ((c2 & 0xC0) != 0x80)
                    throw new UTFDataFormatException("bad byte at " + (i + 1));
                chars[n++] = (char) (((c & 0x1F) << 6) | (c2 & 0x3F));
                i += 2;
            } else if ((c & 0xF0) == 0xE0) {
                if (i + 3 > length)
                    throw new UTFDataFormatException("truncated character at byte " + i);
                int c2 = b[i + 1], c3 = b[i + 2];
                if ((c2 & 0xC0) != 0x80 || (c3 & 0xC0) != 0x80)
                    throw new UTFDataFormatException("bad byte after " + i);
                chars[n++] = (char) (((c & 0x0F) << 12) | ((c2 & 0x3F) << 6) | (c3 & 0x3F));
                i += 3;
            } else {
                throw new UTFDataFormatException("bad byte at " + i);
            }
        }
        return new String(chars, 0, n);
    }

    private static final class OneBytePushback extends FilterInputStream {
        private int kept = -1;
        OneBytePushback(InputStream in) { super(in); }
        void unread(int b) { kept = b; }
        public int read() throws IOException {
            if (kept < 0)
                return in.read();
            int b = kept;
            kept = -1;
            return b;
        }
        public int read(byte[] b, int off, int len) throws IOException {
            if (kept < 0 || len <= 0)
                return in.read(b, off, len);
            b[off] = (byte) kept;
            kept = -1;
            int k = in.read(b, off + 1, len - 1);
            return k < 0 ? 1 : k + 1;
        }
        public long skip(long n) throws IOException {
            if (kept < 0 || n <= 0)
                return in.skip(n);
            kept = -1;
            return 1 + in.skip(n - 1);
        }
        public int available() throws IOException { return in.available() + (kept < 0 ? 0 : 1); }
        public boolean markSupported() { return false; }
    }
}
