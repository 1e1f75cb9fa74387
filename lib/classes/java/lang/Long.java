package java.lang;

public final class Long extends Number implements Comparable {
    public static final long MIN_VALUE = 0x8000000000000000L;
    public static final long MAX_VALUE = 0x7fffffffffffffffL;
    private final long value;
    // This VM types primitive values by their wrapper classes (reflection too).
    public static final Class TYPE = Long.class;
    public Long(long v) { value = v; }
    public Long(String s) throws NumberFormatException { value = parseLong(s, 10); }
    public static native String toHexString(long l);
    private static native String toSring(long l, int radix);
    public static native String toString(long l);
    public static native long parseLong(String s, int radix) throws NumberFormatException;
    public static String toString(long l, int radix) { return toSring(l, radix); }
    public static long parseLong(String s) throws NumberFormatException { return parseLong(s, 10); }
    public static Long valueOf(long l) { return new Long(l); }
    public int intValue() { return (int) value; }
    public long longValue() { return value; }
    public float floatValue() { return value; }
    public double doubleValue() { return value; }
    public String toString() { return toString(value); }
    public int hashCode() { return (int) (value ^ (value >>> 32)); }
    public boolean equals(Object o) { return o instanceof Long && ((Long) o).value == value; }
    public int compareTo(Object o) { long v = ((Long) o).value; return value < v ? -1 : value == v ? 0 : 1; }
}
