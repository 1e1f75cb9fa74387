package com.kestrovatech;

<<<<<<< HEAD
// The user cancelled a dialog.
public class UserCancelledException extends Exception {
=======
// The user cancelled a query dialog.
public class UserCancelledException extends RuntimeException {
>>>>>>> ws-addonio
    public UserCancelledException() {}
    public UserCancelledException(String message) { super(message); }
}
