package java.lang.reflect;

public final class Constructor extends AccessibleObject implements Member {
    private long nativePtr;
    private Constructor() {}
    public native Class getDeclaringClass();
    public native String getName();
    public native int getModifiers();
    public native Class[] getParameterTypes();
    public native Class[] getExceptionTypes();
    public native boolean isVarArgs();
    public native boolean equals(Object o);
    public native int hashCode();
    public native String toString();
    public native Object newInstance(Object[] args)
        throws InstantiationException, IllegalAccessException, IllegalArgumentException, InvocationTargetException;
}
