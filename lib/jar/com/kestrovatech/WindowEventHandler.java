package com.kestrovatech;

// Offered the map window's keys; true takes the key.
public interface WindowEventHandler {
    boolean keyEvent(Key key);
}
