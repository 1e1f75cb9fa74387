package com.kestrovatech.ui;

// A labelled text entry.
public class EditControl extends Control {
    public EditControl(String label, String text) { nativeHandle = nativeEditControl(label, text); }
    private native long nativeEditControl(String label, String text);
    public native String getText();
    public native void setText(String text);
}
