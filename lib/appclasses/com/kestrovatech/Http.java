package com.kestrovatech;

// One HTTP request per call through the application's HTTP client. A
// response whose status is not 2xx raises java.io.IOException ("HTTP status
// 404"); status holds the last response's status (0 before any).
public class Http {
    public static final int OPTIONS = 0;
    public static final int GET = 1;
    public static final int HEAD = 2;
    public static final int POST = 3;
    public static final int PUT = 4;
    public static final int DELETE = 5;
    public static final int TRACE = 6;
    public static final int CONNECT = 7;
    public int status;
    private long nativeHandle;
    public native byte[] operation(int method, String url, byte[] body) throws java.io.IOException;
    public native void destroy();
    protected void finalize() { destroy(); }
}
