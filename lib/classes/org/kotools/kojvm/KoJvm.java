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
    public static void finalizer() {}
}
