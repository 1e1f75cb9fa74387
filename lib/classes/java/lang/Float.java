package java.lang;

public final class Float extends Number implements Comparable {
    public static final float POSITIVE_INFINITY = 1.0f / 0.0f;
    public static final float NEGATIVE_INFINITY = -1.0f / 0.0f;
    public static final float NaN = 0.0f / 0.0f;
    private final float value;
    public Float(float v) { value = v; }
    public static native String toString(float f);
    public static native float parseFloat(String s) throws NumberFormatException;
    public static native boolean isNaN(float f);
    public static native boolean isInfinite(float f);
    public static native int floatToIntBits(float f);
    public static native float intBitsToFloat(int bits);
    public static Float valueOf(float f) { return new Float(f); }
    public int intValue() { return (int) value; }
    public long longValue() { return (long) value; }
    public float floatValue() { return value; }
    public double doubleValue() { return value; }
    public String toString() { return toString(value); }
    public int hashCode() { return floatToIntBits(value); }
    public boolean equals(Object o) { return o instanceof Float && floatToIntBits(((Float) o).value) == floatToIntBits(value); }
    public int compareTo(Object o) { float v = ((Float) o).value; return value < v ? -1 : value > v ? 1 : 0; }
}
