package java.lang;

public final class StringBuffer implements java.io.Serializable, CharSequence {
    private char[] value;
    private int count;

    public StringBuffer() { value = new char[16]; }
    public StringBuffer(int capacity) { value = new char[capacity]; }
    public StringBuffer(String s) { value = new char[s.length() + 16]; append(s); }
    public int length() { return count; }
    public int capacity() { return value.length; }
    public void ensureCapacity(int min) {
        if (min > value.length) {
            int n = value.length * 2 + 2;
            if (n < min) n = min;
            char[] v = new char[n];
            System.arraycopy(value, 0, v, 0, count);
            value = v;
        }
    }
    public void setLength(int n) {
        if (n < 0) throw new StringIndexOutOfBoundsException(n);
        ensureCapacity(n);
        for (int i = count; i < n; i++) value[i] = 0;
        count = n;
    }
    public char charAt(int i) {
        if (i < 0 || i >= count) throw new StringIndexOutOfBoundsException(i);
        return value[i];
    }
    public void setCharAt(int i, char c) {
        if (i < 0 || i >= count) throw new StringIndexOutOfBoundsException(i);
        value[i] = c;
    }
    public void getChars(int begin, int end, char[] dst, int at) { System.arraycopy(value, begin, dst, at, end - begin); }
    public StringBuffer append(Object o) { return append(String.valueOf(o)); }
    public StringBuffer append(String s) {
        if (s == null) s = "null";
        int n = s.length();
        ensureCapacity(count + n);
        s.getChars(0, n, value, count);
        count += n;
        return this;
    }
    public StringBuffer append(StringBuffer sb) { return append(String.valueOf(sb)); }
    public StringBuffer append(char[] s) { return append(s, 0, s.length); }
    public StringBuffer append(char[] s, int off, int len) {
        ensureCapacity(count + len);
        System.arraycopy(s, off, value, count, len);
        count += len;
        return this;
    }
    public StringBuffer append(boolean b) { return append(b ? "true" : "false"); }
    public StringBuffer append(char c) { ensureCapacity(count + 1); value[count++] = c; return this; }
    public StringBuffer append(int i) { return append(Integer.toString(i)); }
    public StringBuffer append(long l) { return append(Long.toString(l)); }
    public StringBuffer append(float f) { return append(Float.toString(f)); }
    public StringBuffer append(double d) { return append(Double.toString(d)); }
    public StringBuffer delete(int start, int end) {
        if (end > count) end = count;
        if (start < 0 || start > end) throw new StringIndexOutOfBoundsException(start);
        System.arraycopy(value, end, value, start, count - end);
        count -= end - start;
        return this;
    }
    public StringBuffer deleteCharAt(int i) { return delete(i, i + 1); }
    public StringBuffer replace(int start, int end, String s) { delete(start, end); return insert(start, s); }
    public StringBuffer insert(int at, String s) {
        if (at < 0 || at > count) throw new StringIndexOutOfBoundsException(at);
        if (s == null) s = "null";
        int n = s.length();
        ensureCapacity(count + n);
        System.arraycopy(value, at, value, at + n, count - at);
        s.getChars(0, n, value, at);
        count += n;
        return this;
    }
    public StringBuffer insert(int at, char[] s) { return insert(at, new String(s)); }
    public StringBuffer insert(int at, char[] s, int off, int len) { return insert(at, new String(s, off, len)); }
    public StringBuffer insert(int at, boolean b) { return insert(at, String.valueOf(b)); }
    public StringBuffer insert(int at, char c) { return insert(at, String.valueOf(c)); }
    public StringBuffer insert(int at, int i) { return insert(at, String.valueOf(i)); }
    public StringBuffer insert(int at, long l) { return insert(at, String.valueOf(l)); }
    public StringBuffer insert(int at, float f) { return insert(at, String.valueOf(f)); }
    public StringBuffer insert(int at, double d) { return insert(at, String.valueOf(d)); }
    public StringBuffer insert(int at, Object o) { return insert(at, String.valueOf(o)); }
    public StringBuffer reverse() {
        for (int i = 0, j = count - 1; i < j; i++, j--) { char c = value[i]; value[i] = value[j]; value[j] = c; }
        return this;
    }
    public String substring(int start) { return substring(start, count); }
    public String substring(int start, int end) { return new String(value, start, end - start); }
    public CharSequence subSequence(int start, int end) { return substring(start, end); }
    public int indexOf(String s) { return toString().indexOf(s); }
    public int indexOf(String s, int from) { return toString().indexOf(s, from); }
    public int lastIndexOf(String s) { return toString().lastIndexOf(s); }
    public int lastIndexOf(String s, int from) { return toString().lastIndexOf(s, from); }
    public String toString() { return new String(value, 0, count); }
}
