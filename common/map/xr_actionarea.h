// Taps bound to actions: a world rectangle (XrActionArea), a world point
// with a pixel tolerance (XrHotSpot) or a screen rectangle (XrScreenRect)
// carries a callback and a shared, reference-counted context.
#pragma once

#include <cstdint>

#include "common/geometry/xr_point.h"

class XrMapView;

// What an area's callback acts on; deletes itself when the last reference
// goes.
class XrMapActionAreaContext {
public:
    XrMapActionAreaContext() = default;
    XrMapActionAreaContext(const XrMapActionAreaContext&) = delete;
    XrMapActionAreaContext& operator=(const XrMapActionAreaContext&) = delete;

    virtual void add_ref() { ++ref_count; }
    virtual void release()
    {
        if (--ref_count == 0)
            delete this;
    }
    int get_ref_count() const { return ref_count; }

protected:
    virtual ~XrMapActionAreaContext() = default;

private:
    int ref_count = 0;
};

// The value block handed through to a callback unchanged.
struct XrAreaValue {
    std::uint32_t words[4] = {};
    std::uint8_t byte = 0;
};

typedef void (*XrAreaCallback)(void* target, XrPoint point, XrAreaValue value, void* extra,
                               XrMapActionAreaContext* context);

class XrAreaBase {
public:
    XrAreaBase() = default;
    XrAreaBase(XrAreaCallback callback, XrMapActionAreaContext* context);
    XrAreaBase(const XrAreaBase& other);
    XrAreaBase& operator=(const XrAreaBase& other);
    virtual ~XrAreaBase();

    // Calls the callback (when there is one) with the area's context.
    virtual void activate(void* target, const XrPoint& point, const XrAreaValue& value, void* extra);
    // x and y in screen pixels.
    virtual bool hit_test(int x, int y, XrMapView* view) = 0;

    XrAreaCallback get_callback() const { return callback; }
    XrMapActionAreaContext* get_context() const { return context; }
    void set_context(XrMapActionAreaContext* value);

protected:
    XrAreaCallback callback = nullptr;
    XrMapActionAreaContext* context = nullptr;
};

// A world rectangle, x1 <= x <= x2 and y1 <= y <= y2 (corner1 lower left).
class XrActionArea : public XrAreaBase {
public:
    XrActionArea() = default;
    XrActionArea(const XrPoint& corner1, const XrPoint& corner2, XrAreaCallback callback,
                 XrMapActionAreaContext* context)
        : XrAreaBase(callback, context), corner1(corner1), corner2(corner2)
    {
    }
    bool hit_test(int x, int y, XrMapView* view) override;

    XrPoint corner1;
    XrPoint corner2;
};

// A world point hit within tolerance pixels on each axis (a square).
class XrHotSpot : public XrAreaBase {
public:
    XrHotSpot() = default;
    XrHotSpot(const XrPoint& position, int tolerance, XrAreaCallback callback, XrMapActionAreaContext* context)
        : XrAreaBase(callback, context), position(position), tolerance(tolerance)
    {
    }
    bool hit_test(int x, int y, XrMapView* view) override;

    XrPoint position;
    int tolerance = 0;
};

// A screen rectangle, edges included; the view is not used.
class XrScreenRect : public XrAreaBase {
public:
    XrScreenRect() = default;
    XrScreenRect(const XrRectangle& rect, XrAreaCallback callback, XrMapActionAreaContext* context)
        : XrAreaBase(callback, context), rect(rect)
    {
    }
    bool hit_test(int x, int y, XrMapView* view) override;

    XrRectangle rect;
};
