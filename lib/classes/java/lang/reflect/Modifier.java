package java.lang.reflect;

public class Modifier {
    public static final int PUBLIC = 0x0001, PRIVATE = 0x0002, PROTECTED = 0x0004, STATIC = 0x0008, FINAL = 0x0010,
        SYNCHRONIZED = 0x0020, VOLATILE = 0x0040, TRANSIENT = 0x0080, NATIVE = 0x0100, INTERFACE = 0x0200,
        ABSTRACT = 0x0400, STRICT = 0x0800;
    public Modifier() {}
    public static boolean isPublic(int m) { return (m & PUBLIC) != 0; }
    public static boolean isPrivate(int m) { return (m & PRIVATE) != 0; }
    public static boolean isProtected(int m) { return (m & PROTECTED) != 0; }
    public static boolean isStatic(int m) { return (m & STATIC) != 0; }
    public static boolean isFinal(int m) { return (m & FINAL) != 0; }
    public static boolean isSynchronized(int m) { return (m & SYNCHRONIZED) != 0; }
    public static boolean isVolatile(int m) { return (m & VOLATILE) != 0; }
    public static boolean isTransient(int m) { return (m & TRANSIENT) != 0; }
    public static boolean isNative(int m) { return (m & NATIVE) != 0; }
    public static boolean isInterface(int m) { return (m & INTERFACE) != 0; }
    public static boolean isAbstract(int m) { return (m & ABSTRACT) != 0; }
    public static boolean isStrict(int m) { return (m & STRICT) != 0; }
    // The modifiers' keywords in the language's order, separated by spaces.
    public static String toString(int m) {
        StringBuffer s = new StringBuffer();
        word(s, m, PUBLIC, "public");
        word(s, m, PROTECTED, "protected");
        word(s, m, PRIVATE, "private");
        word(s, m, ABSTRACT, "abstract");
        word(s, m, STATIC, "static");
        word(s, m, FINAL, "final");
        word(s, m, TRANSIENT, "transient");
        word(s, m, VOLATILE, "volatile");
        word(s, m, SYNCHRONIZED, "synchronized");
        word(s, m, NATIVE, "native");
        word(s, m, STRICT, "strictfp");
        word(s, m, INTERFACE, "interface");
        return s.toString();
    }
    private static void word(StringBuffer s, int m, int bit, String word) {
        if ((m & bit) != 0) {
            if (s.length() > 0)
                s.append(' ');
            s.append(word);
        }
    }
}
