package java.lang;

public final class Double extends Number implements Comparable {
    public static final double POSITIVE_INFINITY = 1.0 / 0.0;
    public static final double NEGATIVE_INFINITY = -1.0 / 0.0;
    public static final double NaN = 0.0d / 0.0;
    public static final double MAX_VALUE = 1.7976931348623157e308;
    public static final double MIN_VALUE = 4.9e-324;
    private final double value;
    public Double(double v) { value = v; }
    public static native String toString(double d);
    public static native double parseDouble(String s) throws NumberFormatException;
    public static native boolean isNaN(double d);
    public static native boolean isInfinite(double d);
    public static native long doubleToLongBits(double d);
    public static native double longBitsToDouble(long bits);
    // This VM types primitive values by their wrapper classes (reflection too).
    public static final Class TYPE = Double.class;
    public Double(String s) throws NumberFormatException { value = parseDouble(s); }
    public static Double valueOf(double d) { return new Double(d); }
    public boolean isInfinite() { return isInfinite(value); }
    public byte byteValue() { return (byte) value; }
    public short shortValue() { return (short) value; }
    // Total order: -0.0 below 0.0, NaN equal to itself and above everything.
    public static int compare(double a, double b) {
        if (a < b)
            return -1;
        if (a > b)
            return 1;
        long x = doubleToLongBits(a), y = doubleToLongBits(b);
        return x == y ? 0 : x < y ? -1 : 1;
    }
    public int compareTo(Double o) { return compare(value, o.value); }
    public static Double valueOf(String s) { return new Double(parseDouble(s)); }
    public boolean isNaN() { return isNaN(value); }
    public int intValue() { return (int) value; }
    public long longValue() { return (long) value; }
    public float floatValue() { return (float) value; }
    public double doubleValue() { return value; }
    public String toString() { return toString(value); }
    public int hashCode() { long b = doubleToLongBits(value); return (int) (b ^ (b >>> 32)); }
    public boolean equals(Object o) { return o instanceof Double && doubleToLongBits(((Double) o).value) == doubleToLongBits(value); }
    public int compareTo(Object o) { return compareTo((Double) o); }
}
