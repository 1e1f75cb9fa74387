package com.kestrovatech.ui;

import java.util.Vector;

// A dialog of controls and commands; its commands reach the listener.
public class Dialog {
    private long nativeHandle;
    private Vector commands;
    private Vector controls;
    private DialogListener listener;

    static {
        try {
            Class.forName("com.kestrovatech.ui.Command");
        } catch (ClassNotFoundException e) {
        }
    }

    public Dialog(String title)
    {
        nativeHandle = nativeDialog(title);
        commands = new Vector();
        controls = new Vector();
    }
    private native long nativeDialog(String title);
    public native void addNativeControl(Control c);
    public native void show();
    public native void close();
    private native void addNativeCommand(Command c);
    private native void freeNativeDialog();
    public void addControl(Control c)
    {
        controls.addElement(c);
        addNativeControl(c);
    }
    public void addCommand(Command c)
    {
        commands.addElement(c);
        addNativeCommand(c);
    }
    public void addDialogListener(DialogListener l) { listener = l; }
    public Control[] getControls() { return null; }
    // Called from native code with the command's number.
    protected void handleCommand(int number)
    {
        if (listener != null)
            listener.eventHandler(number);
    }
    protected void finalize() { freeNativeDialog(); }
}
