package com.kestrovatech.ui;

// How a column of a list control is drawn.
public abstract class ListRenderer {
    protected long nativeHandle;
    native void freeNativeListRenderer();
    protected void finalize() { freeNativeListRenderer(); }
}
