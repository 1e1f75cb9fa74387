// Told after each redraw of the map, with the drawing context.
#pragma once

struct XrDCHandleRec;

class XrMapDrawListener {
public:
    virtual ~XrMapDrawListener() = default;
    virtual void map_drawn(XrDCHandleRec* dc) = 0;
};
