package com.kestrovatech.map;

// A layer of map objects.
public class Layer {
    private long nativeHandle;
    private static int count = 0;
    public Layer()
    {
        this(com.kestrovatech.Navigator.getPluginRoot() + "data/layer" + count + ".dat", 0, 0);
        ++count;
    }
    public Layer(String name, int minZoom, int maxZoom) { createLayer(name, minZoom, maxZoom); }
    private native void createLayer(String name, int minZoom, int maxZoom);
    public native void redraw();
    public native void add(MapObject o);
    public native void remove(MapObject o);
    public native void clear();
    public native void destroy();
    protected void finalize() { destroy(); }
}
