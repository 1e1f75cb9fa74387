package java.lang.reflect;

public class Proxy implements java.io.Serializable {
    protected InvocationHandler h;
    protected Proxy(InvocationHandler h) { this.h = h; }
    public static native Class getProxyClass(ClassLoader loader, Class[] interfaces);
    public static native Object newProxyInstance(ClassLoader loader, Class[] interfaces, InvocationHandler h);
    public static native boolean isProxyClass(Class c);
    public static native InvocationHandler getInvocationHandler(Object proxy);
}
