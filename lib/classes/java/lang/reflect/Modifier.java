package java.lang.reflect;

public class Modifier {
    public static final int PUBLIC = 0x0001, PRIVATE = 0x0002, PROTECTED = 0x0004, STATIC = 0x0008, FINAL = 0x0010,
        SYNCHRONIZED = 0x0020, VOLATILE = 0x0040, TRANSIENT = 0x0080, NATIVE = 0x0100, INTERFACE = 0x0200,
        ABSTRACT = 0x0400, STRICT = 0x0800;
    public Modifier() {}
    public static boolean isPublic(int m) { return (m & PUBLIC) != 0; }
    public static boolean isStatic(int m) { return (m & STATIC) != 0; }
}
