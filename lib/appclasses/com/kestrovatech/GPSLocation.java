package com.kestrovatech;

// The receiver's position with fix, speed (m/s) and heading (degrees).
public class GPSLocation extends Location {
    protected boolean hasFix;
    protected double velocity;
    protected double heading;
    public GPSLocation(double lat, double lon, double alt, boolean hasFix, double velocity, double heading)
    {
        super(lat, lon, alt);
        this.hasFix = hasFix;
        this.velocity = velocity;
        this.heading = heading;
    }
    GPSLocation() {}
    public boolean hasFix() { return hasFix; }
    public double getVelocity() { return velocity; }
    public double getHeading() { return heading; }
    native void fillLocationInfo();
}
