package java.lang;

import java.io.InputStream;
import java.io.PrintStream;

public final class System {
    public static InputStream in;
    public static PrintStream out;
    public static PrintStream err;

    private System() {}
    public static native void setIn(InputStream in);
    public static native void setOut(PrintStream out);
    public static native void setErr(PrintStream err);
    public static native long currentTimeMillis();
    public static native void arraycopy(Object src, int srcPos, Object dest, int destPos, int length);
    public static native int identityHashCode(Object x);
    public static native String getProperty(String key);
    public static String getProperty(String key, String def) { String v = getProperty(key); return v == null ? def : v; }
    public static void exit(int status) { Runtime.getRuntime().exit(status); }
    public static void runFinalization() {}
    public static void gc() { Runtime.getRuntime().gc(); }
}
