package com.kestrovatech;

// A key of the map window.
public class Key {
    private final int code;
    public Key(int code) { this.code = code; }
    public int getCode() { return code; }
}
