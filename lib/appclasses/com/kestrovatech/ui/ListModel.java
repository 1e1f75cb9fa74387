package com.kestrovatech.ui;

// The rows of a list control: one value per column, by the column's type.
public abstract class ListModel {
    public static final int TYPE_INT = 0;
    public static final int TYPE_STRING = 1;
    public static final int TYPE_IMAGE = 2;
    protected long nativeHandle;
    protected int[] columnTypes;
    protected native void addToModel(Object[] row);
    protected native Object[] getFromModel();
    private native long nativeListModel(int[] columnTypes);
    private native void freeNativeListModel();
    protected void init(int[] types)
    {
        columnTypes = types;
        nativeHandle = nativeListModel(types);
    }
    protected void finalize() { freeNativeListModel(); }
}
