package java.lang;

import java.lang.reflect.Constructor;
import java.lang.reflect.Field;
import java.lang.reflect.Method;

public final class Class implements java.io.Serializable {
    private long nativePtr;

    private Class() {}
    public native String toString();
    public native boolean desiredAssertionStatus();
    public static native Class forName(String name) throws ClassNotFoundException;
    public static native Class forName(String name, ClassLoader loader) throws ClassNotFoundException;
    public native Object newInstance() throws InstantiationException, IllegalAccessException;
    public native boolean isAssignableFrom(Class cls);
    public boolean isInstance(Object obj) { return obj != null && isAssignableFrom(obj.getClass()); }
    public native boolean isInterface();
    public native boolean isArray();
    public native boolean isPrimitive();
    public native String getName();
    public native ClassLoader getClassLoader();
    public native Class getSuperclass();
    public native Class[] getInterfaces();
    public native Class getComponentType();
    public native int getModifiers();
    public native Object[] getSigners();
    public native Class getDeclaringClass();
    public native Class[] getClasses();
    public native Field[] getFields();
    public native Method[] getMethods();
    public native Constructor[] getConstructors();
    public native Method getMethod(String name, Class[] parameterTypes) throws NoSuchMethodException;
    public native Constructor getConstructor(Class[] parameterTypes) throws NoSuchMethodException;
    public native Class[] getDeclaredClasses();
    public native Field[] getDeclaredFields();
    public Field getField(String name) throws NoSuchFieldException {
        Field[] fields = getFields();
        for (int i = 0; i < fields.length; i++)
            if (fields[i].getName().equals(name))
                return fields[i];
        throw new NoSuchFieldException(name);
    }
    // Among the class's own fields: getField's search on getDeclaredFields.
    public Field getDeclaredField(String name) throws NoSuchFieldException {
        Field[] fields = getDeclaredFields();
        for (int i = 0; i < fields.length; i++)
            if (fields[i].getName().equals(name))
                return fields[i];
        throw new NoSuchFieldException(name);
    }
    public native Method[] getDeclaredMethods();
    public native int hashCode();
    public java.io.InputStream getResourceAsStream(String name) { return null; }
}
