#include "common/map/xr_actionarea.h"

#include <cstdlib>

#include "common/map/xr_mapview.h"

XrAreaBase::XrAreaBase(XrAreaCallback callback, XrMapActionAreaContext* context) : callback(callback)
{
    set_context(context);
}

XrAreaBase::XrAreaBase(const XrAreaBase& other) : callback(other.callback) { set_context(other.context); }

XrAreaBase& XrAreaBase::operator=(const XrAreaBase& other)
{
    if (this != &other) {
        callback = other.callback;
        set_context(other.context);
    }
    return *this;
}

XrAreaBase::~XrAreaBase() { set_context(nullptr); }

void XrAreaBase::set_context(XrMapActionAreaContext* value)
{
    if (value == context)
        return;
    if (value != nullptr)
        value->add_ref();
    XrMapActionAreaContext* old = context;
    context = value;
    if (old != nullptr)
        old->release();
}

void XrAreaBase::activate(void* target, const XrPoint& point, const XrAreaValue& value, void* extra)
{
    if (callback != nullptr)
        callback(target, point, value, extra, context);
}

bool XrActionArea::hit_test(int x, int y, XrMapView* view)
{
    int wx = 0, wy = 0;
    if (view == nullptr || view->get_pixels_per_unit() == 0)
        return false;
    view->screen_to_world_2d(x, y, wx, wy);
    return corner1.x <= wx && wx <= corner2.x && corner1.y <= wy && wy <= corner2.y;
}

bool XrHotSpot::hit_test(int x, int y, XrMapView* view)
{
    if (view == nullptr || view->get_pixels_per_unit() == 0)
        return false;
    XrPoint screen;
    view->world_to_screen(position, screen);
    return std::llabs(static_cast<long long>(screen.x) - x) <= tolerance &&
           std::llabs(static_cast<long long>(screen.y) - y) <= tolerance;
}

bool XrScreenRect::hit_test(int x, int y, XrMapView*)
{
    return rect.left <= x && x <= rect.right && rect.top <= y && y <= rect.bottom;
}
