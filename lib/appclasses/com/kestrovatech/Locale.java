package com.kestrovatech;

// The application's translated texts by number.
public class Locale {
    private Locale() {}
    public static native String getString(int id);
}
