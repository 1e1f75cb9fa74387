package com.kestrovatech.ui;

// The rows of a list control.
public abstract class ListModel {
    protected long nativeHandle;
    protected ListModel(int[] columnTypes) { nativeHandle = nativeListModel(columnTypes); }
    public native void addToModel(Object[] row);
    public native Object[] getFromModel();
    private native long nativeListModel(int[] columnTypes);
    native void freeNativeListModel();
    protected void finalize() { freeNativeListModel(); }
}
