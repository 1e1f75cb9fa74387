package com.kestrovatech;

// A position: latitude and longitude in degrees, altitude in metres.
public class Location {
    public static final double R = 6367450.0;
    protected double lat;
    protected double lon;
    protected double alt;
    public Location() {}
    public Location(double lat, double lon) { this(lat, lon, 0); }
    public Location(double lat, double lon, double alt) { this.lat = lat; this.lon = lon; this.alt = alt; }
    public double getLatitude() { return lat; }
    public double getLongitude() { return lon; }
    public double getAltitude() { return alt; }
}
