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
    // Great-circle (haversine) distance in metres.
    public double distance(Location other)
    {
        double dlat = Math.toRadians(other.lat - lat);
        double dlon = Math.toRadians(other.lon - lon);
        double s1 = Math.sin(dlat / 2);
        double s2 = Math.sin(dlon / 2);
        double a = s1 * s1 + Math.cos(Math.toRadians(lat)) * Math.cos(Math.toRadians(other.lat)) * s2 * s2;
        return 2 * Math.asin(Math.sqrt(a)) * R;
    }
}
