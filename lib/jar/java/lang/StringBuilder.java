package java.lang;

public final class StringBuilder implements CharSequence {
    private final StringBuffer b;
    public StringBuilder() { b = new StringBuffer(); }
    public StringBuilder(int capacity) { b = new StringBuffer(capacity); }
    public StringBuilder(String s) { b = new StringBuffer(s); }
    public int length() { return b.length(); }
    public char charAt(int i) { return b.charAt(i); }
    public CharSequence subSequence(int s, int e) { return b.substring(s, e); }
    public StringBuilder append(Object o) { b.append(o); return this; }
    public StringBuilder append(String s) { b.append(s); return this; }
    public StringBuilder append(boolean v) { b.append(v); return this; }
    public StringBuilder append(char v) { b.append(v); return this; }
    public StringBuilder append(int v) { b.append(v); return this; }
    public StringBuilder append(long v) { b.append(v); return this; }
    public StringBuilder append(float v) { b.append(v); return this; }
    public StringBuilder append(double v) { b.append(v); return this; }
    public StringBuilder append(char[] v) { b.append(v); return this; }
    public StringBuilder insert(int at, String s) { b.insert(at, s); return this; }
    public StringBuilder reverse() { b.reverse(); return this; }
    public void setLength(int n) { b.setLength(n); }
    public String toString() { return b.toString(); }
}
