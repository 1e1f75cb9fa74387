package java.lang;

public class Runtime {
    private Runtime() {}
    public static native Runtime getRuntime();
    public native int availableProcessors();
    public native void exit(int status);
    public native long freeMemory();
    public native long totalMemory();
    public native long maxMemory();
    public native void gc();
    public native void traceMethodCalls(boolean on);
}
