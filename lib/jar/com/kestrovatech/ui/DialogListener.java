package com.kestrovatech.ui;

// Hears the commands of a dialog.
public interface DialogListener {
    void eventHandler(int command);
}
