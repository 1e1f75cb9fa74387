package java.lang.reflect;

public final class Constructor extends AccessibleObject implements Member {
    private long nativePtr;
    private Constructor() {}
    public native Class getDeclaringClass();
    public native String getName();
    public native int getModifiers();
}
