package com.kestrovatech.ui;

// A dialog of controls and commands.
public class Dialog {
    private long nativeHandle;
    public Dialog(String title) { nativeHandle = nativeDialog(title); }
    private native long nativeDialog(String title);
    private native void addNativeControl(Control c);
    public native void show();
    public native void close();
    private native void addNativeCommand(Command c);
    native void freeNativeDialog();
    public void addControl(Control c) { addNativeControl(c); }
    public void addCommand(Command c) { addNativeCommand(c); }
    protected void finalize() { freeNativeDialog(); }
}
