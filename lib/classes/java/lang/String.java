package java.lang;

public final class String implements java.io.Serializable, Comparable, CharSequence {
    private char[] characters;

    public String() { characters = new char[0]; }
    public String(String s) { characters = s.characters; }
    public String(char[] v) { this(v, 0, v.length); }
    public String(char[] v, int offset, int count) {
        if (offset < 0 || count < 0 || offset > v.length - count) throw new StringIndexOutOfBoundsException(offset);
        characters = new char[count];
        System.arraycopy(v, offset, characters, 0, count);
    }
    public String(byte[] b) { characters = bytesToCharArray(b, 0, b.length, null); }
    public String(byte[] b, int off, int len) { characters = bytesToCharArray(b, off, len, null); }
    // An unknown encoding raises java.io.UnsupportedEncodingException (from the class library jar).
    public String(byte[] b, String enc) throws java.io.IOException { characters = bytesToCharArray(b, 0, b.length, enc); }
    public String(StringBuffer sb) { characters = sb.toString().characters; }

    private static native char[] bytesToCharArray(byte[] b, int off, int len, String enc);
    static native void bytesToChar(char[] dst, byte[] src, int off, int len);
    public native byte[] getBytes(String enc) throws java.io.IOException;
    public native byte[] getBytes();
    private static native int compareCharArrays(char[] a, char[] b);
    public native boolean equalsIgnoreCase(String s);
    public native int compareToIgnoreCase(String s);
    public native boolean regionMatches(int toffset, String other, int ooffset, int len);
    public native boolean regionMatches(boolean ignoreCase, int toffset, String other, int ooffset, int len);
    public native boolean startsWith(String prefix);
    public native boolean endsWith(String suffix);
    public native int hashCode();
    public native int indexOf(int ch, int from);
    public native int lastIndexOf(int ch, int from);
    public native int indexOf(String s, int from);
    public native String toLowerCase();
    public native String toUpperCase();
    public native String intern();

    public int length() { return characters.length; }
    public boolean isEmpty() { return characters.length == 0; }
    public char charAt(int i) {
        if (i < 0 || i >= characters.length) throw new StringIndexOutOfBoundsException(i);
        return characters[i];
    }
    public void getChars(int begin, int end, char[] dst, int at) {
        if (begin < 0 || end > characters.length || begin > end) throw new StringIndexOutOfBoundsException(begin);
        System.arraycopy(characters, begin, dst, at, end - begin);
    }
    public char[] toCharArray() { char[] r = new char[characters.length]; System.arraycopy(characters, 0, r, 0, r.length); return r; }
    public boolean equals(Object o) {
        if (this == o) return true;
        if (!(o instanceof String)) return false;
        return compareCharArrays(characters, ((String) o).characters) == 0;
    }
    public int compareTo(String s) { return compareCharArrays(characters, s.characters); }
    public int compareTo(Object o) { return compareTo((String) o); }
    public boolean startsWith(String prefix, int at) { return regionMatches(at, prefix, 0, prefix.length()); }
    public int indexOf(int ch) { return indexOf(ch, 0); }
    public int lastIndexOf(int ch) { return lastIndexOf(ch, characters.length - 1); }
    public int indexOf(String s) { return indexOf(s, 0); }
    public int lastIndexOf(String s) { return lastIndexOf(s, characters.length); }
    public int lastIndexOf(String s, int from) {
        int n = s.length();
        for (int i = Math.min(from, characters.length - n); i >= 0; i--)
            if (regionMatches(i, s, 0, n))
                return i;
        return -1;
    }
    public boolean contentEquals(StringBuffer sb) { return equals(sb.toString()); }
    public static String copyValueOf(char[] v) { return new String(v); }
    public static String copyValueOf(char[] v, int off, int n) { return new String(v, off, n); }
    public String substring(int begin) { return substring(begin, characters.length); }
    public String substring(int begin, int end) {
        if (begin < 0 || end > characters.length || begin > end) throw new StringIndexOutOfBoundsException(begin);
        if (begin == 0 && end == characters.length) return this;
        return new String(characters, begin, end - begin);
    }
    public CharSequence subSequence(int begin, int end) { return substring(begin, end); }
    public String concat(String s) {
        if (s.length() == 0) return this;
        char[] v = new char[characters.length + s.length()];
        System.arraycopy(characters, 0, v, 0, characters.length);
        s.getChars(0, s.length(), v, characters.length);
        return new String(v);
    }
    public String replace(char a, char b) {
        char[] v = toCharArray();
        for (int i = 0; i < v.length; i++) if (v[i] == a) v[i] = b;
        return new String(v);
    }
    public String trim() {
        int b = 0, e = characters.length;
        while (b < e && characters[b] <= ' ') b++;
        while (e > b && characters[e - 1] <= ' ') e--;
        return substring(b, e);
    }
    public String toString() { return this; }
    public static String valueOf(Object o) { return o == null ? "null" : o.toString(); }
    public static String valueOf(char[] v) { return new String(v); }
    public static String valueOf(char[] v, int off, int n) { return new String(v, off, n); }
    public static String valueOf(boolean b) { return b ? "true" : "false"; }
    public static String valueOf(char c) { char[] v = new char[1]; v[0] = c; return new String(v); }
    public static String valueOf(int i) { return Integer.toString(i); }
    public static String valueOf(long l) { return Long.toString(l); }
    public static String valueOf(float f) { return Float.toString(f); }
    public static String valueOf(double d) { return Double.toString(d); }
}
