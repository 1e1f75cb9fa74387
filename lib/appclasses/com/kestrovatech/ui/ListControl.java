package com.kestrovatech.ui;

// A list with columns, a model and renderers.
public class ListControl extends Control {
    public ListControl() { nativeHandle = nativeListControl(); }
    private native long nativeListControl();
    public native int getSelectionIndex();
    public native void setColumnRenderer(int column, ListRenderer renderer);
    public native void setColumnHeader(int column, String header);
    public native void setModel(ListModel model);
}
