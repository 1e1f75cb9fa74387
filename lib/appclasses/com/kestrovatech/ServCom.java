package com.kestrovatech;

// Property-bag requests over the service channel.
public class ServCom {
    private long nativeHandle;
    public ServCom() { nativeHandle = create(); }
    public native void cancel(long request);
    private native long nativeSend(String service, int type, int version, int flags, PropertyBag body, String method,
                                   ServComListener listener);
    public long send(String service, int type, int version, int flags, PropertyBag body, String method,
                     ServComListener listener)
    {
        return nativeSend(service, type, version, flags, body, method, listener);
    }
    private native long create();
    public native void destroy();
    protected void finalize() { destroy(); }
}
