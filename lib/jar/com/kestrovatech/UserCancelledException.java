package com.kestrovatech;

// The user cancelled a dialog.
public class UserCancelledException extends Exception {
    public UserCancelledException() {}
    public UserCancelledException(String message) { super(message); }
}
