package java.lang;

public final class Integer extends Number implements Comparable {
    public static final int MIN_VALUE = 0x80000000;
    public static final int MAX_VALUE = 0x7fffffff;
    private final int value;
    public Integer(int v) { value = v; }
    public Integer(String s) throws NumberFormatException { value = parseInt(s, 10); }
    public static native String toHexString(int i);
    public static native String toOctalString(int i);
    public static native String toBinaryString(int i);
    public static native String toString(int i);
    public static native int parseInt(String s, int radix) throws NumberFormatException;
    public static int parseInt(String s) throws NumberFormatException { return parseInt(s, 10); }
    public static Integer valueOf(int i) { return new Integer(i); }
    public static Integer valueOf(String s) { return new Integer(parseInt(s, 10)); }
    public int intValue() { return value; }
    public long longValue() { return value; }
    public float floatValue() { return value; }
    public double doubleValue() { return value; }
    public String toString() { return toString(value); }
    public int hashCode() { return value; }
    public boolean equals(Object o) { return o instanceof Integer && ((Integer) o).value == value; }
    public int compareTo(Object o) { int v = ((Integer) o).value; return value < v ? -1 : value == v ? 0 : 1; }
}
