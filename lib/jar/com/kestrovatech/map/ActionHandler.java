package com.kestrovatech.map;

public interface ActionHandler {
    void mapAction(int action, int x, int y, double lat, double lon);
}
