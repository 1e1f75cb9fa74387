package java.lang.reflect;

public final class Field extends AccessibleObject implements Member {
    private long nativePtr;
    private Field() {}
    public native Class getDeclaringClass();
    public native String getName();
    public native int getModifiers();
}
