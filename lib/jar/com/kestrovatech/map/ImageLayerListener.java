package com.kestrovatech.map;

public interface ImageLayerListener {
    void requestTile(double lat, double lon, double size, int zoom);
    void flushRequests();
}
