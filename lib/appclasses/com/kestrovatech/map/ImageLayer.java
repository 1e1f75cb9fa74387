package com.kestrovatech.map;

// A layer of image tiles an add-on supplies on request.
public class ImageLayer {
    private long nativeHandle;
    public ImageLayer(int minZoom, int maxZoom, int tileSize) { createLayer(minZoom, maxZoom, tileSize); }
    private native void createLayer(int minZoom, int maxZoom, int tileSize);
    public native void addListener(ImageLayerListener listener);
    public native void addTile(String file, double lat, double lon);
    public native void removeTile(String file);
    public native void addImage(String file, double lat1, double lon1, double lat2, double lon2);
    public native void removeImage(String file);
    public native void redraw();
    public native void destroy();
    protected void finalize() { destroy(); }
}
