package com.kestrovatech;

// An add-on's main class: made by the navigator at start-up, then init() is called.
public interface KestrovaPlugin {
    void init();
}
