package com.kestrovatech;

// An add-on menu item's handler and the command it passes on.
public class Navigator$MenuItem {
    public MenuHandler handler;
    public int command;
    public Navigator$MenuItem(MenuHandler handler, int command)
    {
        this.handler = handler;
        this.command = command;
    }
}
