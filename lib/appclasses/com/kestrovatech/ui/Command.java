package com.kestrovatech.ui;

// A dialog command (button or menu entry) with its number.
public class Command {
    private long nativeHandle;
    public Command(int number, String label) { nativeHandle = createNativeCommand(number, label, label); }
    private native long createNativeCommand(int number, String label, String secondLabel);
    private native void freeNativeCommand();
    protected void finalize() { freeNativeCommand(); }
}
