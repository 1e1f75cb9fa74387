package java.lang;

public final class Boolean implements java.io.Serializable {
    public static final Boolean TRUE = new Boolean(true);
    public static final Boolean FALSE = new Boolean(false);
    private final boolean value;
    // This VM types primitive values by their wrapper classes (reflection too).
    public static final Class TYPE = Boolean.class;
    public Boolean(boolean v) { value = v; }
    public Boolean(String s) { value = parseBoolean(s); }
    public boolean booleanValue() { return value; }
    public static Boolean valueOf(boolean b) { return b ? TRUE : FALSE; }
    public static Boolean valueOf(String s) { return parseBoolean(s) ? TRUE : FALSE; }
    public static boolean parseBoolean(String s) { return s != null && s.equalsIgnoreCase("true"); }
    public static String toString(boolean b) { return b ? "true" : "false"; }
    public String toString() { return toString(value); }
    public int hashCode() { return value ? 1231 : 1237; }
    public boolean equals(Object o) { return o instanceof Boolean && ((Boolean) o).value == value; }
}
