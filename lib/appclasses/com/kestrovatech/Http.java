package com.kestrovatech;

// One HTTP request per call through the application's HTTP client.
public class Http {
    public static final int GET = 1;
    public static final int POST = 3;
    private long nativeHandle;
    public native byte[] operation(int method, String url, byte[] body);
    public native void destroy();
    protected void finalize() { destroy(); }
}
