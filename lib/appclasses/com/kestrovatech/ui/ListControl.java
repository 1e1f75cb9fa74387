package com.kestrovatech.ui;

// A list with columns, a model and renderers.
public class ListControl extends Control {
    public ListControl() { nativeHandle = nativeListControl(); }
    public ListControl(String[] items)
    {
        this();
        ListModelString model = new ListModelString();
        model.add(items);
        setModel(model);
        setRenderer(new ListRendererString());
    }
    private native long nativeListControl();
    public native int getSelectionIndex();
    public native void setColumnRenderer(int column, ListRenderer renderer);
    public native void setColumnHeader(int column, String header);
    public native void setModel(ListModel model);
    public void setRenderer(ListRenderer renderer) { setColumnRenderer(0, renderer); }
    public void setColumnHeaders(String[] headers)
    {
        for (int i = 0; i < headers.length; i++)
            setColumnHeader(i, headers[i]);
    }
}
