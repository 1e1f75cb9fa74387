package java.lang.reflect;

public final class Field extends AccessibleObject implements Member {
    private long nativePtr;
    private Field() {}
    public native Class getDeclaringClass();
    public native String getName();
    public native int getModifiers();
    public native Class getType();
    public native boolean equals(Object o);
    public native int hashCode();
    public native String toString();
    public native Object get(Object o) throws IllegalAccessException;
    public native void setBoolean(Object o, boolean v) throws IllegalAccessException;
    public native void setByte(Object o, byte v) throws IllegalAccessException;
    public native void setChar(Object o, char v) throws IllegalAccessException;
    public native void setShort(Object o, short v) throws IllegalAccessException;
    public native void setInt(Object o, int v) throws IllegalAccessException;
    public native void setLong(Object o, long v) throws IllegalAccessException;
    public native void setFloat(Object o, float v) throws IllegalAccessException;
    public native void setDouble(Object o, double v) throws IllegalAccessException;
    private native void setReference(Object o, Object v) throws IllegalAccessException;
    public void set(Object o, Object v) throws IllegalAccessException { setReference(o, v); }
}
