package java.lang;

public final class Character implements java.io.Serializable, Comparable {
    public static final char MIN_VALUE = '\u0000';
    public static final char MAX_VALUE = '\uffff';
    private final char value;
    public Character(char c) { value = c; }
    public char charValue() { return value; }
    public static native boolean isLowerCase(char c);
    public static native boolean isUpperCase(char c);
    public static native boolean isTitleCase(char c);
    public static native boolean isDigit(char c);
    public static native boolean isDefined(char c);
    public static native boolean isLetter(char c);
    public static native boolean isLetterOrDigit(char c);
    public static native boolean isJavaLetter(char c);
    public static native boolean isJavaLetterOrDigit(char c);
    public static native boolean isJavaIdentifierStart(char c);
    public static native boolean isJavaIdentifierPart(char c);
    public static native boolean isUnicodeIdentifierStart(char c);
    public static native boolean isUnicodeIdentifierPart(char c);
    public static native boolean isIdentifierIgnorable(char c);
    public static native char toLowerCase(char c);
    public static native char toUpperCase(char c);
    public static native char toTitleCase(char c);
    public static native int digit(char c, int radix);
    public static native int getNumericValue(char c);
    public static native boolean isSpace(char c);
    public static native boolean isSpaceChar(char c);
    public static native boolean isWhitespace(char c);
    public static native boolean isISOControl(char c);
    public static native int getType(char c);
    public static native char forDigit(int digit, int radix);
    public static native byte getDirectionality(char c);
    public static native boolean isMirrored(char c);
    public static Character valueOf(char c) { return new Character(c); }
    public static String toString(char c) { return String.valueOf(c); }
    public String toString() { return String.valueOf(value); }
    public int hashCode() { return value; }
    public boolean equals(Object o) { return o instanceof Character && ((Character) o).value == value; }
    public int compareTo(Character o) { return value - o.value; }
    public int compareTo(Object o) { return compareTo((Character) o); }
}
