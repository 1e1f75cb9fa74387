package com.kestrovatech;

// A busy indicator with a message; made by CommonDialogs.createBusyDlg.
public class BusyDlg {
    private long nativeHandle;
    BusyDlg(long handle) { nativeHandle = handle; }
    public native void setMessage(String message);
    public native void close();
    protected void finalize() { if (nativeHandle != 0) close(); }
}
