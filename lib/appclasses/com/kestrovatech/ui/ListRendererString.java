package com.kestrovatech.ui;

// Draws a column's cells as text.
public class ListRendererString extends ListRenderer {
    public ListRendererString() { nativeHandle = nativeListRendererString(); }
    private native long nativeListRendererString();
}
