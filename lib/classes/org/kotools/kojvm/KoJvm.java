package org.kotools.kojvm;

public final class KoJvm {
    private KoJvm() {}
    public static native void debug(String s);
    public static native void debug(int i);
    public static native void debug(long l);
    public static native int time();
    public static native void convertToLatin1(char[] src, int off, byte[] dst, int len);
    public static native void setDebugGC(boolean on);
    public static native int getGCCount();
    public static native void dumpGCStats();
    public static native void dumpHeap();
    public static native void dumpObject(Object o);
    public static native void traceInstructions(boolean on);
    public static native long[] systemStackTrace(Thread t);
    public static native boolean isShuttingDown();
    public static native Object getObjectToFinalize();
    public static native void waitObjectsToFinalize();
    public static native Class loadClass(String name);
    // The finaliser thread: runs the finalize method of every object the
    // collector queues; an exception a finaliser throws is ignored.
    public static void finalizer() {
        java.lang.reflect.Method finalize;
        try {
            finalize = Object.class.getMethod("finalize", new Class[0]);
        } catch (NoSuchMethodException e) {
            return;
        }
        Object[] none = new Object[0];
        while (!isShuttingDown()) {
            Object o = getObjectToFinalize();
            if (o == null) {
                waitObjectsToFinalize();
                continue;
            }
            try {
                finalize.invoke(o, none);
            } catch (Throwable t) {
            }
            o = null;
        }
    }
}
