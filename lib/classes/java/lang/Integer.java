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
    // This VM types primitive values by their wrapper classes (reflection too).
    public static final Class TYPE = Integer.class;
    public static String toString(int i, int radix) { return Long.toString(i, radix); }
    public static Integer valueOf(int i) { return new Integer(i); }
    public static Integer valueOf(String s, int radix) throws NumberFormatException { return new Integer(parseInt(s, radix)); }
    // Decimal, hexadecimal after "0x", "0X" or "#", octal after a leading 0;
    // a minus sign may come first.
    public static Integer decode(String s) throws NumberFormatException {
        int i = 0;
        boolean negative = s.startsWith("-");
        if (negative)
            i++;
        int radix = 10;
        if (s.startsWith("0x", i) || s.startsWith("0X", i)) {
            radix = 16;
            i += 2;
        } else if (s.startsWith("#", i)) {
            radix = 16;
            i++;
        } else if (s.startsWith("0", i) && s.length() > i + 1) {
            radix = 8;
            i++;
        }
        String digits = s.substring(i);
        if (digits.startsWith("-") || digits.startsWith("+"))
            throw new NumberFormatException("Sign character in wrong position: " + s);
        return new Integer(parseInt(negative ? "-" + digits : digits, radix));
    }
    public byte byteValue() { return (byte) value; }
    public short shortValue() { return (short) value; }
    public static Integer valueOf(String s) { return new Integer(parseInt(s, 10)); }
    public int intValue() { return value; }
    public long longValue() { return value; }
    public float floatValue() { return value; }
    public double doubleValue() { return value; }
    public String toString() { return toString(value); }
    public int hashCode() { return value; }
    public boolean equals(Object o) { return o instanceof Integer && ((Integer) o).value == value; }
    public int compareTo(Integer o) { return value < o.value ? -1 : value == o.value ? 0 : 1; }
    public int compareTo(Object o) { return compareTo((Integer) o); }
}
