package java.lang;

public final class Short extends Number implements Comparable {
    private final short value;
    public Short(short v) { value = v; }
    public Short(String s) throws NumberFormatException { value = parseShort(s, 10); }
    public static native String toString(short s);
    public static native short parseShort(String s) throws NumberFormatException;
    public static native short parseShort(String s, int radix) throws NumberFormatException;
    public static Short valueOf(String s, int radix) throws NumberFormatException { return new Short(parseShort(s, radix)); }
    public static Short valueOf(String s) throws NumberFormatException { return new Short(parseShort(s, 10)); }
    public static Short decode(String s) throws NumberFormatException {
        int v = Integer.decode(s).intValue();
        if (v < -32768 || v > 32767)
            throw new NumberFormatException("Value " + v + " out of range from input " + s);
        return new Short((short) v);
    }
    public byte byteValue() { return (byte) value; }
    public short shortValue() { return value; }
    public int intValue() { return value; }
    public long longValue() { return value; }
    public float floatValue() { return value; }
    public double doubleValue() { return value; }
    public String toString() { return toString(value); }
    public int hashCode() { return value; }
    public boolean equals(Object o) { return o instanceof Short && ((Short) o).value == value; }
    public int compareTo(Short o) { return value - o.value; }
    public int compareTo(Object o) { return compareTo((Short) o); }
}
