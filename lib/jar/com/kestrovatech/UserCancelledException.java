package com.kestrovatech;

// The user cancelled a query dialog.
public class UserCancelledException extends RuntimeException {
    public UserCancelledException() {}
    public UserCancelledException(String message) { super(message); }
}
