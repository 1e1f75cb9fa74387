package com.kestrovatech.map;

// A point symbol at a geographic position.
public class Point extends MapObject {
    public Point(double lat, double lon, int size, int r, int g, int b) { createPoint(lat, lon, size, r, g, b); }
    public Point(com.kestrovatech.Location l, int size, int r, int g, int b)
    {
        createPoint(l.getLatitude(), l.getLongitude(), size, r, g, b);
    }
    private native void createPoint(double lat, double lon, int size, int r, int g, int b);
}
