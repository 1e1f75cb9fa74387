// Strings to bytes and back in US-ASCII, ISO-8859-1 and UTF-8, malformed
// input included; every unit printed in hex.
public class Encodings {
    static class Bytes extends java.io.InputStream {
        final byte[] b;
        int at;
        Bytes(byte[] b) {
            this.b = b;
        }
        public int read() {
            return at < b.length ? b[at++] & 0xFF : -1;
        }
    }

    static class Sink extends java.io.OutputStream {
        final StringBuffer hex = new StringBuffer();
        public void write(int v) {
            v &= 0xFF;
            hex.append(v < 16 ? "0" : "").append(Integer.toHexString(v)).append(' ');
        }
    }

    static String hex(byte[] b) {
        StringBuffer s = new StringBuffer();
        for (int i = 0; i < b.length; i++) {
            int v = b[i] & 0xFF;
            s.append(v < 16 ? "0" : "").append(Integer.toHexString(v)).append(' ');
        }
        return s.toString();
    }

    static String units(String t) {
        StringBuffer s = new StringBuffer();
        for (int i = 0; i < t.length(); i++)
            s.append(Integer.toHexString(t.charAt(i))).append(' ');
        return s.toString();
    }

    static byte[] bytes(int[] v) {
        byte[] b = new byte[v.length];
        for (int i = 0; i < v.length; i++)
            b[i] = (byte) v[i];
        return b;
    }

    public static void main(String[] args) throws Exception {
        String[] names = { "US-ASCII", "ISO-8859-1", "UTF-8", "utf-8", "iso-8859-1" };
        String[] texts = { "plain", "caf\u00e9", "\u20ac5", "\ud83d\ude00!", "lone \ud800 x", "\u00ff\u0100", "" };
        for (int n = 0; n < names.length; n++) {
            for (int t = 0; t < texts.length; t++) {
                byte[] b = texts[t].getBytes(names[n]);
                String back = new String(b, names[n]);
                System.out.println(names[n] + " [" + units(texts[t]) + "] -> " + hex(b) + "-> [" + units(back) + "]");
            }
        }
        int[][] malformed = {
            { 0x80 }, { 0xC3 }, { 0xC3, 0x41 }, { 0xE2, 0x82 }, { 0xE2, 0x82, 0x41 }, { 0xE0, 0x80, 0x80 },
            { 0xED, 0xA0, 0x80 }, { 0xF0, 0x9F, 0x98, 0x80 }, { 0xF0, 0x9F, 0x98 }, { 0xF4, 0x90, 0x80, 0x80 },
            { 0xC0, 0xAF }, { 0xFE, 0xFF, 0x41 }, { 0x41, 0xFF, 0xC3, 0xA9 }, { 0xF8, 0x88, 0x80, 0x80, 0x80 },
        };
        for (int i = 0; i < malformed.length; i++) {
            byte[] b = bytes(malformed[i]);
            System.out.println("utf-8 " + hex(b) + "-> [" + units(new String(b, "UTF-8")) + "] latin-1 ["
                               + units(new String(b, "ISO-8859-1")) + "] ascii [" + units(new String(b, "US-ASCII"))
                               + "]");
        }
        byte[] all = new byte[256];
        for (int i = 0; i < 256; i++)
            all[i] = (byte) i;
        String latin = new String(all, "ISO-8859-1");
        System.out.println("latin-1 round trip " + (hex(latin.getBytes("ISO-8859-1")).equals(hex(all))) + " length "
                           + latin.length() + " last " + Integer.toHexString(latin.charAt(255)));
        System.out.println("default " + units(new String(bytes(new int[] { 0x41, 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80 })))
                           + hex("\u00e9\ud83d\ude00".getBytes()));
        int[] stream = { 0x41, 0xC3, 0xA9, 0xE2, 0x82, 0x41, 0xF0, 0x9F, 0x98, 0x80, 0x80, 0xED, 0xA0, 0x80, 0xC3 };
        for (int n = 0; n < 3; n++) {
            java.io.InputStreamReader r = new java.io.InputStreamReader(new Bytes(bytes(stream)), names[n]);
            StringBuffer got = new StringBuffer();
            for (int c = r.read(); c >= 0; c = r.read())
                got.append(Integer.toHexString(c)).append(' ');
            Sink sink = new Sink();
            java.io.OutputStreamWriter w = new java.io.OutputStreamWriter(sink, names[n]);
            w.write("caf\u00e9 \ud83d\ude00");
            w.flush();
            System.out.println("reader " + names[n] + " [" + got + "] writer " + sink.hex);
        }
        try {
            new java.io.InputStreamReader(new Bytes(new byte[0]), "NO-SUCH-ENCODING");
        } catch (java.io.UnsupportedEncodingException e) {
            System.out.println("unknown reader encoding: " + e.getClass().getName());
        }
        try {
            "x".getBytes("NO-SUCH-ENCODING");
        } catch (java.io.UnsupportedEncodingException e) {
            System.out.println("unknown encoding: " + e.getClass().getName());
        }
        try {
            new String(all, "NO-SUCH-ENCODING");
        } catch (java.io.UnsupportedEncodingException e) {
            System.out.println("unknown decoding: " + e.getClass().getName());
        }
    }
}
