package com.kestrovatech;

// The user cancelled a query dialog. Unchecked: the dialog natives that
// raise it declare nothing, so add-ons may catch it where they choose.
public class UserCancelledException extends RuntimeException {
    public UserCancelledException() {}
    public UserCancelledException(String message) { super(message); }
}
