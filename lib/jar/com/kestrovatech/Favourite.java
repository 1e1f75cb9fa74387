package com.kestrovatech;

// A favourite place of the user.
public class Favourite {
    public byte[] guid;
    public Location location;
    public String name;
    public int speedDial;
}
