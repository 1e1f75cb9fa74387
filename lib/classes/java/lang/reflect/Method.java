package java.lang.reflect;

public final class Method extends AccessibleObject implements Member {
    private long nativePtr;
    private Method() {}
    public native Class getDeclaringClass();
    public native String getName();
    public native int getModifiers();
}
