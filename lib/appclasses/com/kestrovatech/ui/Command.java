package com.kestrovatech.ui;

// A dialog command (button or menu entry).
public class Command {
    private long nativeHandle;
    public Command(int id, String label, String icon) { nativeHandle = createNativeCommand(id, label, icon); }
    private native long createNativeCommand(int id, String label, String icon);
    native void freeNativeCommand();
    protected void finalize() { freeNativeCommand(); }
}
