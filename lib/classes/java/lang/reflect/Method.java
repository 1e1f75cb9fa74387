package java.lang.reflect;

public final class Method extends AccessibleObject implements Member {
    private long nativePtr;
    private Method() {}
    public native Class getDeclaringClass();
    public native String getName();
    public native int getModifiers();
    public native Class getReturnType();
    public native Class[] getParameterTypes();
    public native Class[] getExceptionTypes();
    public native boolean equals(Object o);
    public native int hashCode();
    public native String toString();
    public native Object invoke(Object o, Object[] args)
        throws IllegalAccessException, IllegalArgumentException, InvocationTargetException;
    public native boolean isVarArgs();
}
