package java.lang;

public final class Byte extends Number implements Comparable {
    private final byte value;
    public Byte(byte v) { value = v; }
    public static native String toString(byte b);
    public static native byte parseByte(String s) throws NumberFormatException;
    public static native byte parseByte(String s, int radix) throws NumberFormatException;
    public int intValue() { return value; }
    public long longValue() { return value; }
    public float floatValue() { return value; }
    public double doubleValue() { return value; }
    public String toString() { return toString(value); }
    public int compareTo(Object o) { return value - ((Byte) o).value; }
}
