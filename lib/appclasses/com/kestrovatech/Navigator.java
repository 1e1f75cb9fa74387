package com.kestrovatech;

// The add-on's view of the navigation application.
public class Navigator {
    private Navigator() {}
    public static native String getMmcRoot();
    public static native String getPluginRoot();
    public static native Favourite[] getFavourites();
    private static native void addMenuItem(String text, int id);
    public static native Location findAddress(String country, String address, int flags);
    public static native void findRoute(Location destination, String name);
    public static native Location getViewMidpoint();
    public static native Location[] getViewArea();
    public static native void centerOnPoint(Location point, double scale);
    public static native void addMarker(Location point, String text);
    public static native void removeMarker();
    public static void main(String[] args) {}
}
