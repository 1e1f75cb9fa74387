package java.lang;

public final class Float extends Number implements Comparable {
    public static final float POSITIVE_INFINITY = 1.0f / 0.0f;
    public static final float NEGATIVE_INFINITY = -1.0f / 0.0f;
    public static final float NaN = 0.0f / 0.0f;
    public static final float MAX_VALUE = 3.4028235e38f;
    public static final float MIN_VALUE = 1.4e-45f;
    private final float value;
    public Float(float v) { value = v; }
    public static native String toString(float f);
    public static native float parseFloat(String s) throws NumberFormatException;
    public static native boolean isNaN(float f);
    public static native boolean isInfinite(float f);
    public static native int floatToIntBits(float f);
    public static native float intBitsToFloat(int bits);
    // This VM types primitive values by their wrapper classes (reflection too).
    public static final Class TYPE = Float.class;
    public Float(double v) { value = (float) v; }
    public Float(String s) throws NumberFormatException { value = parseFloat(s); }
    public static Float valueOf(float f) { return new Float(f); }
    public static Float valueOf(String s) throws NumberFormatException { return new Float(parseFloat(s)); }
    public boolean isNaN() { return isNaN(value); }
    public boolean isInfinite() { return isInfinite(value); }
    public byte byteValue() { return (byte) value; }
    public short shortValue() { return (short) value; }
    // Total order: -0.0 below 0.0, NaN equal to itself and above everything.
    public static int compare(float a, float b) {
        if (a < b)
            return -1;
        if (a > b)
            return 1;
        int x = floatToIntBits(a), y = floatToIntBits(b);
        return x == y ? 0 : x < y ? -1 : 1;
    }
    public int compareTo(Float o) { return compare(value, o.value); }
    public int intValue() { return (int) value; }
    public long longValue() { return (long) value; }
    public float floatValue() { return value; }
    public double doubleValue() { return value; }
    public String toString() { return toString(value); }
    public int hashCode() { return floatToIntBits(value); }
    public boolean equals(Object o) { return o instanceof Float && floatToIntBits(((Float) o).value) == floatToIntBits(value); }
    public int compareTo(Object o) { return compareTo((Float) o); }
}
