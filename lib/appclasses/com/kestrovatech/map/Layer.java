package com.kestrovatech.map;

// A layer of map objects.
public class Layer {
    private long nativeHandle;
    public Layer(String name, int minZoom, int maxZoom) { createLayer(name, minZoom, maxZoom); }
    private native void createLayer(String name, int minZoom, int maxZoom);
    public native void redraw();
    public native void add(MapObject o);
    public native void remove(MapObject o);
    public native void clear();
    public native void destroy();
    protected void finalize() { destroy(); }
}
