// Data streams: every primitive big-endian, modified UTF-8 strings, lines,
// skipping, and EOFException or UTFDataFormatException where the data ends
// or is malformed.
import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.EOFException;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.UTFDataFormatException;

public class DataStreams {
    // Hands out at most three bytes a read, so that block reads must loop.
    static class Bytes extends InputStream {
        private final byte[] data;
        private int pos;
        Bytes(byte[] data) { this.data = data; }
        Bytes(int[] values) {
            data = new byte[values.length];
            for (int i = 0; i < values.length; i++)
                data[i] = (byte) values[i];
        }
        public int read() { return pos < data.length ? data[pos++] & 0xFF : -1; }
        public int read(byte[] b, int off, int len) {
            if (len == 0)
                return 0;
            if (pos >= data.length)
                return -1;
            int n = Math.min(Math.min(len, 3), data.length - pos);
            System.arraycopy(data, pos, b, off, n);
            pos += n;
            return n;
        }
    }

    static class Sink extends OutputStream {
        byte[] data = new byte[16];
        int count;
        public void write(int b) {
            if (count == data.length) {
                byte[] d = new byte[data.length * 2];
                System.arraycopy(data, 0, d, 0, count);
                data = d;
            }
            data[count++] = (byte) b;
        }
        byte[] bytes() {
            byte[] b = new byte[count];
            System.arraycopy(data, 0, b, 0, count);
            return b;
        }
    }

    static String hex(byte[] b, int off, int len) {
        StringBuffer s = new StringBuffer();
        for (int i = off; i < off + len; i++) {
            String h = Integer.toHexString(b[i] & 0xFF);
            if (h.length() < 2)
                s.append('0');
            s.append(h);
        }
        return s.toString();
    }

    static int[] latin1(String s) {
        int[] b = new int[s.length()];
        for (int i = 0; i < b.length; i++)
            b[i] = s.charAt(i);
        return b;
    }

    static String path() {
        String dir = System.getProperty("java.io.tmpdir");
        if (dir == null)
            dir = "/tmp";
        return dir + "/kojvm-datastreams.bin";
    }

    static String chars(String s) {
        StringBuffer b = new StringBuffer();
        for (int i = 0; i < s.length(); i++)
            b.append(Integer.toHexString(s.charAt(i))).append(' ');
        return b.toString();
    }

    static void eof(String what, DataInputStream in, int kind) {
        try {
            switch (kind) {
            case 0: in.readBoolean(); break;
            case 1: in.readShort(); break;
            case 2: in.readInt(); break;
            case 3: in.readLong(); break;
            case 4: in.readFully(new byte[8]); break;
            case 5: in.readUTF(); break;
            default: in.readChar(); break;
            }
            System.out.println(what + ": no exception");
        } catch (EOFException e) {
            System.out.println(what + ": EOFException");
        } catch (IOException e) {
            System.out.println(what + ": " + e.getClass().getName());
        }
    }

    static void utf(String what, int[] bytes) {
        try {
            String s = new DataInputStream(new Bytes(bytes)).readUTF();
            System.out.println(what + ": " + chars(s));
        } catch (UTFDataFormatException e) {
            System.out.println(what + ": UTFDataFormatException");
        } catch (IOException e) {
            System.out.println(what + ": " + e.getClass().getName());
        }
    }

    public static void main(String[] args) throws IOException {
        String file = path();
        DataOutputStream out = new DataOutputStream(new FileOutputStream(file));
        out.writeBoolean(true);
        out.writeBoolean(false);
        out.writeByte(0x1FF);
        out.writeShort(-2);
        out.writeChar(0x20AC);
        out.writeInt(0x12345678);
        out.writeInt(Integer.MIN_VALUE);
        out.writeLong(0x0102030405060708L);
        out.writeLong(Long.MIN_VALUE);
        out.writeFloat(1.5f);
        out.writeFloat(-0.0f);
        out.writeDouble(3.25);
        out.writeDouble(Double.MIN_VALUE);
        out.writeBytes("A\u0142");
        out.writeChars("A\u0142");
        out.writeUTF("");
        out.writeUTF("plain");
        out.writeUTF("\u0000\u00e9\u20ac\ud83d\ude00");
        out.write(new byte[] {9, 8, 7});
        out.write(new byte[] {1, 2, 3, 4}, 1, 2);
        out.write(0x1AB);
        System.out.println("written " + out.size());
        out.close();

        FileInputStream raw = new FileInputStream(file);
        byte[] all = new byte[200];
        int n = raw.read(all, 0, all.length);
        raw.close();
        for (int i = 0; i < n; i += 24)
            System.out.println(hex(all, i, Math.min(24, n - i)));

        DataInputStream in = new DataInputStream(new FileInputStream(file));
        System.out.println(in.readBoolean() + " " + in.readBoolean() + " " + in.readUnsignedByte());
        System.out.println(in.readUnsignedShort() + " " + (int) in.readChar());
        System.out.println(Integer.toHexString(in.readInt()) + " " + in.readInt());
        System.out.println(Long.toHexString(in.readLong()) + " " + in.readLong());
        System.out.println(Integer.toHexString(Float.floatToIntBits(in.readFloat())) + " "
                           + Integer.toHexString(Float.floatToIntBits(in.readFloat())));
        System.out.println(in.readDouble() + " " + Long.toHexString(Double.doubleToLongBits(in.readDouble())));
        System.out.println((char) in.readByte() + " " + in.readByte() + " " + in.readChar() + " " + (int) in.readChar());
        System.out.println("[" + in.readUTF() + "] [" + in.readUTF() + "] " + chars(DataInputStream.readUTF(in)));
        byte[] tail = new byte[5];
        in.readFully(tail, 1, 3);
        System.out.println("tail " + hex(tail, 0, 5) + " available " + in.available());
        System.out.println("skipped " + in.skipBytes(1) + " then " + in.readByte() + " " + in.read() + " "
                           + in.read(new byte[2]));
        eof("boolean at the end", in, 0);
        in.close();

        int[] part = {1, 2, 3, 4, 5};
        eof("short after the data", new DataInputStream(new Bytes(new int[] {1})), 1);
        eof("int with three bytes", new DataInputStream(new Bytes(new int[] {1, 2, 3})), 2);
        eof("long with five bytes", new DataInputStream(new Bytes(part)), 3);
        eof("fully with five bytes", new DataInputStream(new Bytes(part)), 4);
        eof("char with one byte", new DataInputStream(new Bytes(new int[] {1})), 6);
        eof("utf shorter than its length", new DataInputStream(new Bytes(new int[] {0, 4, 'a', 'b'})), 5);
        eof("utf without its length", new DataInputStream(new Bytes(new int[] {0})), 5);

        DataInputStream blocks = new DataInputStream(new Bytes(new int[] {0, 0, 0, 7, 1, 2, 3, 4, 5, 6, 7, 8}));
        byte[] eight = new byte[8];
        System.out.println("int " + blocks.readInt() + " skipped " + blocks.skipBytes(2));
        System.out.println("read " + blocks.read(eight) + " then " + blocks.read(eight, 0, 8) + " skipped "
                           + blocks.skipBytes(4));

        utf("two-byte form", new int[] {0, 2, 0xc3, 0xa9});
        utf("zero as one byte", new int[] {0, 2, 0, 'x'});
        utf("zero as two bytes", new int[] {0, 2, 0xc0, 0x80});
        utf("three-byte form", new int[] {0, 3, 0xe2, 0x82, 0xac});
        utf("bad continuation", new int[] {0, 2, 0xc3, 0x41});
        utf("lone continuation", new int[] {0, 1, 0x80});
        utf("four-byte lead", new int[] {0, 4, 0xf0, 0x9f, 0x98, 0x80});
        utf("cut two-byte form", new int[] {0, 1, 0xc3, 0xa9});
        utf("cut three-byte form", new int[] {0, 2, 0xe2, 0x82, 0xac});

        DataInputStream lines = new DataInputStream(new Bytes(latin1("one\r\ntwo\rthree\n\nfour\rX\u00ff")));
        String line;
        StringBuffer seen = new StringBuffer();
        for (int i = 0; i < 5 && (line = lines.readLine()) != null; i++)
            seen.append('[').append(line).append(']');
        System.out.println("lines " + seen + " then " + (char) lines.readByte() + " " + lines.available() + " "
                           + lines.readLine().length() + " " + lines.readLine());

        Sink sink = new Sink();
        DataOutputStream d = new DataOutputStream(sink);
        StringBuffer big = new StringBuffer();
        for (int i = 0; i < 21845; i++)
            big.append('\u20ac');
        d.writeUTF(big.toString());
        System.out.println("65535 bytes of utf: size " + d.size());
        big.append('a');
        try {
            d.writeUTF(big.toString());
            System.out.println("65536 bytes of utf written");
        } catch (UTFDataFormatException e) {
            System.out.println("65536 bytes of utf: UTFDataFormatException, size " + d.size() + " sink " + sink.count);
        }
        DataInputStream back = new DataInputStream(new Bytes(sink.bytes()));
        String s = back.readUTF();
        System.out.println("read back " + s.length() + " " + s.equals(big.toString().substring(0, 21845)) + " " + back.read());
    }
}
