package com.kestrovatech.map;

import com.kestrovatech.Location;

// An object drawn on a layer; an object added to a layer belongs to it.
public abstract class MapObject {
    protected long nativeHandle;
    boolean contained;
    public MapObject() { contained = false; }
    public native void setColor(int r, int g, int b);
    public native void setOutline(int r, int g, int b, int width);
    public native void addActionArea(double lat1, double lon1, double lat2, double lon2, ActionHandler handler);
    public native void addActionArea(double lat, double lon, int size, ActionHandler handler);
    public native void addActionArea(int x, int y, int w, int h, ActionHandler handler);
    public void addActionArea(Location l, int size, ActionHandler handler)
    {
        addActionArea(l.getLatitude(), l.getLongitude(), size, handler);
    }
    public native void clearActionAreas();
    public native void destroy();
    protected void finalize() { if (!contained) destroy(); }
}
