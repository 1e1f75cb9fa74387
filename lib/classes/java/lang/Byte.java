package java.lang;

public final class Byte extends Number implements Comparable {
    private final byte value;
    public Byte(byte v) { value = v; }
    public Byte(String s) throws NumberFormatException { value = parseByte(s, 10); }
    public static native String toString(byte b);
    public static native byte parseByte(String s) throws NumberFormatException;
    public static native byte parseByte(String s, int radix) throws NumberFormatException;
    public static Byte valueOf(String s, int radix) throws NumberFormatException { return new Byte(parseByte(s, radix)); }
    public static Byte valueOf(String s) throws NumberFormatException { return new Byte(parseByte(s, 10)); }
    public static Byte decode(String s) throws NumberFormatException {
        int v = Integer.decode(s).intValue();
        if (v < -128 || v > 127)
            throw new NumberFormatException("Value " + v + " out of range from input " + s);
        return new Byte((byte) v);
    }
    public byte byteValue() { return value; }
    public short shortValue() { return value; }
    public int intValue() { return value; }
    public long longValue() { return value; }
    public float floatValue() { return value; }
    public double doubleValue() { return value; }
    public String toString() { return toString(value); }
    public int hashCode() { return value; }
    public boolean equals(Object o) { return o instanceof Byte && ((Byte) o).value == value; }
    public int compareTo(Byte o) { return value - o.value; }
    public int compareTo(Object o) { return compareTo((Byte) o); }
}
