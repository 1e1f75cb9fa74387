package com.kestrovatech.ui;

// Draws a column's cells as images.
public class ListRendererImage extends ListRenderer {
    public ListRendererImage() { nativeHandle = nativeListRendererImage(); }
    private native long nativeListRendererImage();
}
