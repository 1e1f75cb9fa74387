package java.lang;

public final class Short extends Number implements Comparable {
    private final short value;
    public Short(short v) { value = v; }
    public static native String toString(short s);
    public static native short parseShort(String s) throws NumberFormatException;
    public static native short parseShort(String s, int radix) throws NumberFormatException;
    public int intValue() { return value; }
    public long longValue() { return value; }
    public float floatValue() { return value; }
    public double doubleValue() { return value; }
    public String toString() { return toString(value); }
    public int compareTo(Object o) { return value - ((Short) o).value; }
}
