package com.kestrovatech.ui;

// A text entry with a caption.
public class EditControl extends Control {
    public EditControl() { this(null, null); }
    public EditControl(String caption) { this(caption, null); }
    public EditControl(String caption, String text) { nativeHandle = nativeEditControl(caption, text); }
    private native long nativeEditControl(String caption, String text);
    public native String getText();
    public native void setText(String text);
}
