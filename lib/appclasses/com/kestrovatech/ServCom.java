package com.kestrovatech;

// Property-bag requests over the service channel; each reply reaches its
// listener on a thread of its own.
public class ServCom {
    private long nativeHandle;
    public ServCom() { nativeHandle = create(); }
    // Cancels the request of that number (as send returned it); nothing
    // once its reply has come.
    public native void cancel(long request);
    private native long nativeSend(String url, int serviceId, int commandId, int commandVersion, PropertyBag bag,
                                   String text, ServComListener listener);
    // The request's number. The message's bag goes with the request.
    public long send(ServComMessage message, String text, ServComListener listener)
    {
        return nativeSend(message.url, message.serviceId, message.commandId, message.commandVersion, message.bag, text,
                          listener);
    }
    private native long create();
    private native void destroy();
    protected void finalize() { destroy(); }
}
