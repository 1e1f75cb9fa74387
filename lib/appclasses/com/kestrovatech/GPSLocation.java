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
    private native void fillLocationInfo();
    // The current position, or the map centre without a position source.
    public static GPSLocation getLocation()
    {
        GPSLocation l = new GPSLocation();
        l.fillLocationInfo();
        return l;
    }
    // Degrees to turn from this heading to the other's, -180 to 180.
    public double getHeadingDelta(GPSLocation other)
    {
        double d = other.heading - heading;
        if (d > 180)
            return d - 360;
        if (d < -180)
            return d + 360;
        return d;
    }
}
