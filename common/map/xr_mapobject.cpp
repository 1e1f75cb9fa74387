#include "common/map/xr_mapobject.h"

#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"

XrMapObject::XrMapObject() : points(8, 8), projection(get_map_engine_services().get_projection()) {}

XrMapObject::~XrMapObject() = default;

XrPoint XrMapObject::get_point() const
{
    return points.get_num_items() > 0 ? *points.get_item_ptr(0) : XrPoint(0, 0);
}

void XrMapObject::add_action_area(const XrCoordinate& a, const XrCoordinate& b, int id,
                                  XrMapObjectActionContext* context)
{
    areas.push_back(Area{std::make_unique<XrActionArea>(a.to_point(projection), b.to_point(projection), nullptr, context),
                         id, context});
}

void XrMapObject::add_hot_spot(const XrCoordinate& c, int radius, int id, XrMapObjectActionContext* context)
{
    areas.push_back(Area{std::make_unique<XrHotSpot>(c.to_point(projection), radius, nullptr, context), id, context});
}

void XrMapObject::add_screen_rect(const XrRectangle& r, int id, XrMapObjectActionContext* context)
{
    areas.push_back(Area{std::make_unique<XrScreenRect>(r, nullptr, context), id, context});
}

void XrMapObject::set_outline(int width, int r, int g, int b)
{
    outline_width = width;
    outline = XrGDI::rgb(r, g, b);
}

bool XrMapObject::handle_tap(int kind, int x, int y, XrMapView* view)
{
    // An action may clear this object's areas: walk by index and re-check.
    for (size_t i = 0; i < areas.size(); ++i) {
        if (!areas[i].shape->hit_test(x, y, view))
            continue;
        XrMapObjectActionContext* context = areas[i].context;
        if (context == nullptr)
            continue;
        int wx = 0, wy = 0;
        view->screen_to_world_2d(x, y, wx, wy);
        const XrCoordinate position(XrPoint(wx, wy), projection);
        context->add_ref();
        const bool taken = context->run_action(kind, areas[i].id, position);
        context->release();
        if (taken)
            return true;
    }
    return false;
}

bool XrMapObject::add_coordinate(const XrCoordinate& c) { return points.append(c.to_point(projection)); }

void XrMapObject::append_points(const XrPoint* p, int count)
{
    for (int i = 0; p != nullptr && i < count; ++i)
        points.append(p[i]);
}

void XrMapObject::append_coordinates(const XrCoordinate* c, int count)
{
    for (int i = 0; c != nullptr && i < count; ++i)
        points.append(c[i].to_point(projection));
}

std::vector<XrPoint> XrMapObject::screen_points(XrMapView* view) const
{
    std::vector<XrPoint> out;
    for (int i = 0; i < points.get_num_items(); ++i)
        out.push_back(*points.get_item_ptr(i));
    if (!out.empty())
        view->world_to_screen_2d_array(out.data(), static_cast<unsigned>(out.size()));
    return out;
}

XrMapPointObject::XrMapPointObject(const XrPoint& point, int radius, int r, int g, int b)
{
    size = radius;
    fill = XrGDI::rgb(r, g, b);
    points.append(point);
}

XrMapPointObject::XrMapPointObject(const XrCoordinate& position, int radius, int r, int g, int b)
    : XrMapPointObject(position.to_point(get_map_engine_services().get_projection()), radius, r, g, b)
{
}

static XrBrushHandle solid_brush(XrColorHandle c)
{
    return XrGDI::create_brush(XrGDI::BrushSolid, XrGDI::get_r(c), XrGDI::get_g(c), XrGDI::get_b(c));
}

static XrPenHandle solid_pen(XrColorHandle c, int width)
{
    return XrGDI::create_pen(XrGDI::PenSolid, width, XrGDI::get_r(c), XrGDI::get_g(c), XrGDI::get_b(c));
}

void XrMapPointObject::draw(XrDCHandleRec* dc, XrMapView* view)
{
    const XrPoint p = get_point();
    int x = 0, y = 0;
    view->world_to_screen_2d(p.x, p.y, x, y);
    const int r = size;
    const int w = outline_width;
    if (w >= 1) {
        XrBrushHandle brush = solid_brush(outline);
        XrGDI::select_brush(dc, brush);
        XrGDI::draw_ellipse(dc, x - r, y - r, x + r, y + r);
        XrGDI::delete_brush(brush);
    }
    XrBrushHandle brush = solid_brush(fill);
    XrGDI::select_brush(dc, brush);
    XrGDI::draw_ellipse(dc, x - r + w, y - r + w, x + r - w, y + r - w);
    XrGDI::delete_brush(brush);
}

XrMapPolyline::XrMapPolyline(int width, int r, int g, int b)
{
    size = width;
    fill = XrGDI::rgb(r, g, b);
}

XrMapPolyline::XrMapPolyline(const XrPoint* p, int count, int width, int r, int g, int b)
    : XrMapPolyline(width, r, g, b)
{
    append_points(p, count);
}

XrMapPolyline::XrMapPolyline(const XrCoordinate* c, int count, int width, int r, int g, int b)
    : XrMapPolyline(width, r, g, b)
{
    append_coordinates(c, count);
}

void XrMapPolyline::draw(XrDCHandleRec* dc, XrMapView* view)
{
    std::vector<XrPoint> line = screen_points(view);
    if (line.empty())
        return;
    const int n = static_cast<int>(line.size());
    if (outline_width >= 1) {
        XrPenHandle pen = solid_pen(outline, size);
        XrGDI::select_pen(dc, pen);
        XrGDI::draw_polyline(dc, line.data(), n);
        XrGDI::delete_pen(pen);
    }
    XrPenHandle pen = solid_pen(fill, size - outline_width);
    XrGDI::select_pen(dc, pen);
    XrGDI::draw_polyline(dc, line.data(), n);
    XrGDI::delete_pen(pen);
}

XrMapPolygon::XrMapPolygon(const XrPoint* p, int count, int r, int g, int b)
{
    fill = XrGDI::rgb(r, g, b);
    append_points(p, count);
}

XrMapPolygon::XrMapPolygon(const XrCoordinate* c, int count, int r, int g, int b)
{
    fill = XrGDI::rgb(r, g, b);
    append_coordinates(c, count);
}

void XrMapPolygon::draw(XrDCHandleRec* dc, XrMapView* view)
{
    std::vector<XrPoint> ring = screen_points(view);
    if (ring.empty())
        return;
    const int n = static_cast<int>(ring.size());
    XrBrushHandle brush = solid_brush(fill);
    XrGDI::select_brush(dc, brush);
    XrGDI::draw_polygon(dc, ring.data(), &n, 1);
    XrGDI::delete_brush(brush);
    if (outline_width > 0) {
        ring.push_back(ring.front());
        XrPenHandle pen = solid_pen(outline, outline_width);
        XrGDI::select_pen(dc, pen);
        XrGDI::draw_polyline(dc, ring.data(), n + 1);
        XrGDI::delete_pen(pen);
    }
}
