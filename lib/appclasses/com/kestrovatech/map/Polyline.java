package com.kestrovatech.map;

// A line through geographic points.
public class Polyline extends MapObject {
    public Polyline(int width, int r, int g, int b) { createPolyline(width, r, g, b); }
    private native void createPolyline(int width, int r, int g, int b);
    public native void addPointWGS84(double lat, double lon);
    public native void clearPoints();
    public void addPoint(com.kestrovatech.Location l) { addPointWGS84(l.getLatitude(), l.getLongitude()); }
}
