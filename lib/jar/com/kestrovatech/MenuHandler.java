package com.kestrovatech;

// Receives the command number of an add-on's menu item.
public interface MenuHandler {
    void menuCommand(int command);
}
