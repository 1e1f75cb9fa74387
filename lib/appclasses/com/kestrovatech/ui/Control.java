package com.kestrovatech.ui;

// A control of a dialog.
public abstract class Control {
    protected long nativeHandle;
    native void freeNativeControl();
    protected void finalize() { freeNativeControl(); }
}
