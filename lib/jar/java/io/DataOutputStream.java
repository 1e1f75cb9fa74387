package java.io;

// Primitive values written big-endian to the underlying stream; size() is
// the number of bytes written so far.
public class DataOutputStream extends FilterOutputStream implements DataOutput {
    protected int written;

    public DataOutputStream(OutputStream out) { super(out); }

    public synchronized void write(int b) throws IOException {
        out.write(b);
        written++;
    }
    public synchronized void write(byte[] b, int off, int len) throws IOException {
        out.write(b, off, len);
        written += len;
    }
    public void flush() throws IOException { out.flush(); }

    public final void writeBoolean(boolean v) throws IOException { write(v ? 1 : 0); }
    public final void writeByte(int v) throws IOException { write(v); }
    public final void writeShort(int v) throws IOException {
        out.write((v >>> 8) & 0xFF);
        out.write(v & 0xFF);
        written += 2;
    }
    public final void writeChar(int v) throws IOException { writeShort(v); }
    public final void writeInt(int v) throws IOException {
        out.write((v >>> 24) & 0xFF);
        out.write((v >>> 16) & 0xFF);
        out.write((v >>> 8) & 0xFF);
        out.write(v & 0xFF);
        written += 4;
    }
    public final void writeLong(long v) throws IOException {
        writeInt((int) (v >>> 32));
        writeInt((int) v);
    }
    public final void writeFloat(float v) throws IOException { writeInt(Float.floatToIntBits(v)); }
    public final void writeDouble(double v) throws IOException { writeLong(Double.doubleToLongBits(v)); }
    public final void writeBytes(String s) throws IOException {
        int n = s.length();
        for (int i = 0; i < n; i++)
            out.write(s.charAt(i) & 0xFF);
        written += n;
    }
    public final void writeChars(String s) throws IOException {
        int n = s.length();
        for (int i = 0; i < n; i++) {
            char c = s.charAt(i);
            out.write((c >>> 8) & 0xFF);
            out.write(c & 0xFF);
        }
        written += 2 * n;
    }

    // An unsigned 16-bit byte count, then the characters in modified UTF-8
    // (U+0000 as two bytes); a string longer than 65535 bytes so encoded is
    // UTFDataFormatException and nothing is written.
    public final void writeUTF(String s) throws IOException {
        int n = s.length();
        int length = 0;
        for (int i = 0; i < n; i++) {
            char c = s.charAt(i);
            length += c >= 1 && c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        }
        if (length > 65535)
            throw new UTFDataFormatException("encoded string too long: " + length + " bytes");
        byte[] b = new byte[length + 2];
        b[0] = (byte) (length >>> 8);
        b[1] = (byte) length;
        int k = 2;
        for (int i = 0; i < n; i++) {
            char c = s.charAt(i);
            if (c >= 1 && c < 0x80) {
                b[k++] = (byte) c;
            } else if (c < 0x800) {
                b[k++] = (byte) (0xC0 | (c >> 6));
                b[k++] = (byte) (0x80 | (c & 0x3F));
            } else {
                b[k++] = (byte) (0xE0 | (c >> 12));
                b[k++] = (byte) (0x80 | ((c >> 6) & 0x3F));
                b[k++] = (byte) (0x80 | (c & 0x3F));
            }
        }
        write(b, 0, b.length);
    }

    public final int size() { return written; }
}
