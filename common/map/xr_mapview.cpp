#include "common/map/xr_mapview.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/container/xr_defs.h"
#include "common/geometry/xr_geometry.h"
#include "common/map/xr_geomlayer.h"
#include "common/map/xr_map.h"
#include "common/types/xr_trig.h"

namespace {

constexpr double kFixedOne = 1 << XrMapView::FIXED_SHIFT;

int clamp_int(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// Rounded fixed-point result of a 64-bit product (sum).
int fixed_round(std::int64_t product)
{
    return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(
        (product >> XrMapView::FIXED_SHIFT) + ((product >> (XrMapView::FIXED_SHIFT - 1)) & 1))));
}

// Integer division toward zero with a zero divisor giving 0.
std::int64_t div0(std::int64_t a, std::int64_t b) { return b == 0 ? 0 : a / b; }

} // namespace

int fixed_mul(std::int64_t a, std::int64_t b) { return fixed_round(a * b); }

int fixed_mul_add(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) { return fixed_round(a * b + c * d); }

XrMapView::XrMapView(XrMap* map) : map(map) {}

bool XrMapView::is_3d() const { return map != nullptr && map->is_3d(); }

namespace {

void add_box(XrRectangle& out, const XrRectangle& box, bool& found)
{
    if (!found) {
        out = box;
        found = true;
        return;
    }
    out.left = std::min(out.left, box.left);
    out.top = std::min(out.top, box.top);
    out.right = std::max(out.right, box.right);
    out.bottom = std::max(out.bottom, box.bottom);
}

} // namespace

void XrMapView::set_map(XrMap* value)
{
    map = value;
    limits = XrRectangle();
    XrRectangle extent;
    if (get_data_extent(extent))
        limits = extent;
}

bool XrMapView::get_data_extent(XrRectangle& out) const
{
    bool found = get_map_extent(out);
    if (map == nullptr)
        return found;
    auto* roads = dynamic_cast<XrGeomLayer*>(map->get_layer(XrString(L"road")));
    if (roads == nullptr)
        return found;
    const XrRectangle box = roads->get_bounding_box();
    // A layer without data has an empty box.
    if (box.left != box.right && box.top != box.bottom)
        add_box(out, box, found);
    return found;
}

bool XrMapView::get_map_extent(XrRectangle& out) const
{
    if (map == nullptr)
        return false;
    bool found = false;
    for (const TCHAR* name : {L"a7", L"wa"}) {
        auto* layer = dynamic_cast<XrGeomLayer*>(map->get_layer(XrString(name)));
        if (layer == nullptr)
            continue;
        add_box(out, layer->get_bounding_box(), found);
    }
    return found;
}

bool XrMapView::is_inside_limits(const XrPoint& p) const
{
    if (limits.left == limits.right || limits.top == limits.bottom)
        return true;
    return limits.left <= p.x && p.x <= limits.right && limits.top <= p.y && p.y <= limits.bottom;
}

void XrMapView::set_scale_reference(int units, int pixels)
{
    reference_units = units;
    reference_pixels = pixels;
}

void XrMapView::set_default_scale_reference() { set_scale_reference(50, screen_width != 0 ? screen_width : 800); }

void XrMapView::set_3d_parameters(int eye, int height, int from_bottom, int half_w, int ahead_, int behind_)
{
    eye_distance = eye;
    centre_height = height;
    centre_from_bottom = from_bottom;
    half_width = half_w;
    ahead = ahead_;
    behind = behind_;
}

void XrMapView::set_override_rect(const XrRectangle* box)
{
    override_rect_set = box != nullptr;
    if (box != nullptr)
        override_rect = *box;
}

XrRectangle XrMapView::get_draw_rect() const { return override_rect_set ? override_rect : get_world_rect(); }

// --- Scale and fit --------------------------------------------------------------

void XrMapView::reference(double& units, double& pixels) const
{
    // A view whose owner never set a reference uses the default one.
    if (reference_units > 0 && reference_pixels > 0) {
        units = reference_units;
        pixels = reference_pixels;
    } else {
        units = 50;
        pixels = screen_width != 0 ? screen_width : 800;
    }
}

double XrMapView::scale_to_world(std::uint32_t scale, int extent) const
{
    double units = 0, pixels = 0;
    reference(units, pixels);
    return std::trunc(static_cast<double>(scale) * extent * units / scale_base / pixels);
}

void XrMapView::fit_rect(std::int64_t dx, std::int64_t dy)
{
    dx = std::llabs(dx);
    dy = std::llabs(dy);
    if (dx == 0)
        dx = 1;
    if (dy == 0)
        dy = 1;
    const double ew = extent_width > 0 ? extent_width : 1;
    const double eh = extent_height > 0 ? extent_height : 1;
    if (static_cast<double>(dx) / dy > ew / eh)
        pixels_per_unit = ew / dx;
    else
        pixels_per_unit = eh / dy;
}

void XrMapView::update(std::int64_t l, std::int64_t b, std::int64_t r, std::int64_t t)
{
    centre_x = clamp_int((l + r) / 2);
    centre_y = clamp_int((b + t) / 2);

    const int visible_width = visible_rect.right - visible_rect.left;
    const int visible_height = visible_rect.bottom - visible_rect.top;
    if (static_cast<unsigned>(screen_width - visible_width) < 11u) {
        visual_centre_x = centre_x;
        visual_centre_y = centre_y;
    } else {
        screen_to_world_2d(visible_width / 2, visible_height / 2, visual_centre_x, visual_centre_y);
    }

    if (rotation == 0) {
        transform_a = xr_trunc_coord(pixels_per_unit * kFixedOne);
        transform_b = 0;
    } else {
        transform_a = xr_trunc_coord(sin_deg(rotation) * pixels_per_unit * kFixedOne);
        transform_b = xr_trunc_coord(cos_deg(rotation) * pixels_per_unit * kFixedOne);
    }

    const int hw = pixels_to_world(extent_width) / 2;
    const int hh = pixels_to_world(extent_height) / 2;
    left = clamp_int(static_cast<std::int64_t>(centre_x) - hw);
    right = clamp_int(static_cast<std::int64_t>(centre_x) + hw);
    bottom = clamp_int(static_cast<std::int64_t>(centre_y) - hh);
    top = clamp_int(static_cast<std::int64_t>(centre_y) + hh);

    double units = 0, pixels = 0;
    reference(units, pixels);
    const double shown = extent_width / pixels * units;
    const double value = shown > 0 ? std::trunc((static_cast<double>(right) - left) * scale_base / shown) : 0;
    scale_value = value <= 0 ? 0 : value >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);

    if (!in_scale_correction) {
        const XrPoint centre(centre_x, centre_y);
        if (min_scale != 0 && scale_value < min_scale) {
            in_scale_correction = true;
            set_center_and_scale(&centre, min_scale + 10, true);
            in_scale_correction = false;
        }
        if (max_scale != 0 && scale_value > max_scale) {
            in_scale_correction = true;
            set_center_and_scale(&centre, max_scale - 10, true);
            in_scale_correction = false;
        }
    }
}

void XrMapView::update_around(const XrPoint& c, std::int64_t w, std::int64_t h)
{
    const std::int64_t l = c.x - w / 2;
    const std::int64_t b = c.y - h / 2;
    update(l, b, l + w, b + h);
}

void XrMapView::shift_centre(XrPoint& p) const
{
    if (heading_shift) {
        const int length = pixels_to_world((visible_rect.bottom - visible_rect.top) / 4);
        p.x = clamp_int(p.x + static_cast<std::int64_t>(xr_trunc_coord(cos_deg(rotation + 90) * length)));
        p.y = clamp_int(p.y + static_cast<std::int64_t>(xr_trunc_coord(sin_deg(rotation + 90) * length)));
    }
    const int hidden = screen_width - (visible_rect.right - visible_rect.left);
    if (hidden >= 11 && !is_3d()) {
        const int length = pixels_to_world(hidden / 2);
        p.x = clamp_int(p.x + static_cast<std::int64_t>(xr_trunc_coord(cos_deg(rotation) * length)));
        p.y = clamp_int(p.y + static_cast<std::int64_t>(xr_trunc_coord(sin_deg(rotation) * length)));
    }
}

bool XrMapView::set_center_and_scale(const XrPoint* centre, std::uint32_t scale, bool no_shift)
{
    // Only a missing centre keeps the current one: (0, y) and (x, 0) are
    // real positions.
    XrPoint c = centre != nullptr ? *centre : XrPoint(centre_x, centre_y);
    if (!is_inside_limits(c))
        return false;

    std::int64_t w = 0, h = 0;
    if (scale != 0) {
        w = static_cast<std::int64_t>(scale_to_world(scale, extent_width));
        h = static_cast<std::int64_t>(scale_to_world(scale, extent_height));
    } else {
        w = static_cast<std::int64_t>(right) - left;
        h = static_cast<std::int64_t>(top) - bottom;
    }
    fit_rect(w, h);
    if (centre != nullptr && !no_shift)
        shift_centre(c);
    update_around(c, w, h);

    if (scale != 0 && std::llabs(static_cast<std::int64_t>(scale_value) - static_cast<std::int64_t>(scale)) < 300)
        scale_value = scale;
    if (rotation != 0 && (static_cast<std::int32_t>(scale) < 0 || scale >= NORTH_UP_SCALE))
        set_rotation(0);
    return true;
}

void XrMapView::compute_extent()
{
    XrRectangle box(-screen_width / 2, -screen_height / 2, screen_width / 2, screen_height / 2);
    rotate_bounding_box(box, rotation);
    extent_width = std::max(screen_width, box.right - box.left);
    extent_height = std::max(screen_height, box.bottom - box.top);
}

void XrMapView::set_rotation(int degrees)
{
    std::int16_t a = static_cast<std::int16_t>(degrees);
    while (a < 0)
        a = static_cast<std::int16_t>(a + 360);
    while (a >= 360)
        a = static_cast<std::int16_t>(a - 360);
    rotation = a;
    compute_extent();
    if (pixels_per_unit == 0)
        return;
    const std::uint32_t noted = scale_value;
    XrRectangle box(-pixels_to_world(screen_width) / 2, -pixels_to_world(screen_height) / 2,
                    pixels_to_world(screen_width) / 2, pixels_to_world(screen_height) / 2);
    rotate_bounding_box(box, rotation);
    const std::int64_t mx = (static_cast<std::int64_t>(left) + right) / 2;
    const std::int64_t my = (static_cast<std::int64_t>(bottom) + top) / 2;
    fit_rect(static_cast<std::int64_t>(box.right) - box.left, static_cast<std::int64_t>(box.bottom) - box.top);
    update(mx + box.left, my + box.top, mx + box.right, my + box.bottom);
    set_center_and_scale(nullptr, noted, true);
}

void XrMapView::set_screen_size(const XrSize& size)
{
    if (size.width == 0 && size.height == 0)
        return;
    screen_width = size.width;
    screen_height = size.height;
    compute_extent();
    if (pixels_per_unit == 0)
        return;
    const XrPoint middle(clamp_int((static_cast<std::int64_t>(left) + right) / 2),
                         clamp_int((static_cast<std::int64_t>(bottom) + top) / 2));
    const std::int64_t w = pixels_to_world(extent_width);
    const std::int64_t h = pixels_to_world(extent_height);
    fit_rect(w, h);
    update_around(middle, w, h);
}

bool XrMapView::zoom_to_rect(const XrRectangle& box)
{
    const XrPoint middle(clamp_int((static_cast<std::int64_t>(box.left) + box.right) / 2),
                         clamp_int((static_cast<std::int64_t>(box.top) + box.bottom) / 2));
    if (!is_inside_limits(middle))
        return false;
    fit_rect(static_cast<std::int64_t>(box.right) - box.left, static_cast<std::int64_t>(box.bottom) - box.top);
    update(box.left, box.top, box.right, box.bottom);
    return true;
}

bool XrMapView::zoom_to_rotated_rect(const XrRectangle& box, bool no_shift)
{
    XrPoint middle(clamp_int((static_cast<std::int64_t>(box.left) + box.right) / 2),
                   clamp_int((static_cast<std::int64_t>(box.top) + box.bottom) / 2));
    if (!is_inside_limits(middle))
        return false;
    XrRectangle size(box.left - middle.x, box.top - middle.y, box.right - middle.x, box.bottom - middle.y);
    rotate_bounding_box(size, rotation);
    const std::int64_t w = static_cast<std::int64_t>(size.right) - size.left;
    const std::int64_t h = static_cast<std::int64_t>(size.bottom) - size.top;
    fit_rect(w, h);
    if (!no_shift)
        shift_centre(middle);
    update_around(middle, w, h);
    return true;
}

bool XrMapView::zoom_to_points(const XrPoint& p1, const XrPoint& p2, const XrPoint& p3, const XrPoint& p4,
                               bool no_shift)
{
    XrRectangle box(p1.x, p1.y, p1.x, p1.y);
    for (const XrPoint* p : {&p2, &p3, &p4}) {
        box.left = std::min(box.left, p->x);
        box.right = std::max(box.right, p->x);
        box.top = std::min(box.top, p->y);
        box.bottom = std::max(box.bottom, p->y);
    }
    XrPoint middle(clamp_int((static_cast<std::int64_t>(box.left) + box.right) / 2),
                   clamp_int((static_cast<std::int64_t>(box.top) + box.bottom) / 2));
    if (!is_inside_limits(middle))
        return false;
    const std::int64_t w = static_cast<std::int64_t>(box.right) - box.left;
    const std::int64_t h = static_cast<std::int64_t>(box.bottom) - box.top;
    fit_rect(w, h);
    if (!no_shift)
        shift_centre(middle);
    update_around(middle, w, h);
    return true;
}

// --- Flat conversions -------------------------------------------------------------

int XrMapView::pixels_to_world(int pixels) const
{
    return pixels_per_unit == 0 ? 0 : xr_trunc_coord(pixels / pixels_per_unit);
}

int XrMapView::world_to_pixels(int units) const { return xr_trunc_coord(units * pixels_per_unit); }

void XrMapView::world_to_screen_2d(int x, int y, int& sx, int& sy) const
{
    if (pixels_per_unit == 0)
        return;
    if (rotation == 0) {
        sx = fixed_mul(static_cast<std::int64_t>(x) - left, transform_a);
        sy = fixed_mul(static_cast<std::int64_t>(top) - y, transform_a);
        return;
    }
    const std::int64_t dx = static_cast<std::int64_t>(x) - centre_x;
    const std::int64_t dy = static_cast<std::int64_t>(y) - centre_y;
    sx = fixed_mul_add(dx, transform_b, dy, transform_a) + screen_width / 2;
    sy = fixed_mul_add(dx, transform_a, -dy, transform_b) + screen_height / 2;
}

void XrMapView::world_to_screen_2d_array(XrPoint* points, unsigned count) const
{
    if (pixels_per_unit == 0)
        return;
    if (rotation == 0) {
        for (unsigned i = 0; i < count; ++i) {
            XrPoint& p = points[i];
            p.x = fixed_mul(static_cast<std::int64_t>(p.x) - left, transform_a);
            p.y = fixed_mul(static_cast<std::int64_t>(top) - p.y, transform_a);
        }
        return;
    }
    for (unsigned i = 0; i < count; ++i)
        world_to_screen_2d(points[i].x, points[i].y, points[i].x, points[i].y);
}

void XrMapView::screen_to_world_2d(int sx, int sy, int& x, int& y) const
{
    if (pixels_per_unit == 0)
        return;
    if (rotation == 0) {
        x = clamp_int(static_cast<std::int64_t>(xr_trunc_coord(sx / pixels_per_unit)) + left);
        y = clamp_int(top - static_cast<std::int64_t>(xr_trunc_coord(sy / pixels_per_unit)));
        return;
    }
    const double u = (sx - screen_width / 2) / pixels_per_unit;
    const double v = (screen_height / 2 - sy) / pixels_per_unit;
    double dx = 0, dy = 0;
    if (rotation == 90) {
        dx = -v;
        dy = u;
    } else if (rotation == 270) {
        dx = v;
        dy = -u;
    } else {
        const double s = sin_deg(rotation), c = cos_deg(rotation);
        dy = v * c + u * s;
        dx = (u - dy * s) / c;
    }
    x = clamp_int(static_cast<std::int64_t>(xr_trunc_coord(dx)) + centre_x);
    y = clamp_int(static_cast<std::int64_t>(xr_trunc_coord(dy)) + centre_y);
}

void XrMapView::world_to_screen(const XrPoint& world, XrPoint& screen)
{
    if (is_3d())
        world_to_screen_3d(world.x, world.y, POINT_HEIGHT, screen.x, screen.y);
    else
        world_to_screen_2d(world.x, world.y, screen.x, screen.y);
}

// --- Perspective --------------------------------------------------------------------

void XrMapView::update_3d()
{
    const int r = 360 - rotation;
    screen_offset_x = (visible_rect.right - visible_rect.left) >> 1;
    screen_offset_y = 0;
    rot_sin = xr_trunc_coord(sin_deg(r) * kFixedOne * factor_3d);
    rot_cos = xr_trunc_coord(cos_deg(r) * kFixedOne * factor_3d);
    tilt_sin = xr_trunc_coord(sin_deg(tilt) * kFixedOne);
    tilt_cos = xr_trunc_coord(cos_deg(tilt) * kFixedOne);

    int sx = 0, sy0 = 0;
    world_to_screen_3d(centre_x, centre_y, centre_height, sx, sy0);
    screen_offset_y = sy0 - (screen_height - centre_from_bottom);

    XrPoint corners[4] = {{-half_width, -behind}, {half_width, -behind}, {half_width, ahead}, {-half_width, ahead}};
    for (int i = 0; i < 4; ++i) {
        rotate_point(corners[i], r);
        const int x = clamp_int(static_cast<std::int64_t>(corners[i].x) + centre_x);
        const int y = clamp_int(static_cast<std::int64_t>(corners[i].y) + centre_y);
        if (i == 0) {
            left_3d = right_3d = x;
            bottom_3d = top_3d = y;
        }
        left_3d = std::min(left_3d, x);
        right_3d = std::max(right_3d, x);
        bottom_3d = std::min(bottom_3d, y);
        top_3d = std::max(top_3d, y);
    }
    XrPoint forward(0, 100);
    rotate_point(forward, r);
    forward_x = forward.x;
    forward_y = forward.y;
}

void XrMapView::world_to_screen_3d(int x, int y, int height, int& sx, int& sy) const
{
    const std::int64_t dx = static_cast<std::int64_t>(x) - centre_x;
    const std::int64_t dy = static_cast<std::int64_t>(y) - centre_y;
    const int a = fixed_mul_add(dx, rot_cos, -dy, rot_sin);
    const int b = fixed_mul_add(dx, rot_sin, dy, rot_cos);
    const int yy = fixed_mul_add(height, tilt_cos, -static_cast<std::int64_t>(b), tilt_sin);
    const int z = fixed_mul_add(height, tilt_sin, b, tilt_cos);
    std::int64_t t = (static_cast<std::int64_t>(z) - 80) * 3;
    if (-static_cast<std::int64_t>(eye_distance) >= t)
        t = 10 - static_cast<std::int64_t>(eye_distance);
    const std::int64_t den = eye_distance + t;
    sx = clamp_int(div0(static_cast<std::int64_t>(a) * eye_distance, den) + screen_offset_x);
    sy = clamp_int(div0(static_cast<std::int64_t>(yy) * eye_distance, den) - screen_offset_y);
}

void XrMapView::screen_to_world_3d(int sx, int sy, int height, int& x, int& y) const
{
    const double Y = static_cast<double>(sy) + screen_offset_y;
    const std::int64_t X = static_cast<std::int64_t>(sx) - screen_offset_x;
    const double d = eye_distance;
    const double ts = sin_deg(tilt), tc = cos_deg(tilt);
    // The exact inverse of the projection of world_to_screen_3d.
    const double den = 3 * Y * tc + d * ts;
    if (den == 0 || eye_distance == 0)
        return;
    const double b = (height * d * tc + Y * (240 - d - 3 * height * ts)) / den;
    const int z = fixed_mul_add(height, tilt_sin, xr_trunc_coord(b), tilt_cos);
    const std::int64_t u = X * (eye_distance + (static_cast<std::int64_t>(z) - 80) * 3) / eye_distance;
    const int r = 360 - rotation;
    const double s = sin_deg(r), c = cos_deg(r);
    const double f = factor_3d != 0 ? factor_3d : 1.0;
    const double bt = std::trunc(b);
    const double dx = (u * c + bt * s) / f;
    const double dy = (bt * c - u * s) / f;
    x = clamp_int(static_cast<std::int64_t>(xr_trunc_coord(dx)) + centre_x);
    y = clamp_int(static_cast<std::int64_t>(xr_trunc_coord(dy)) + centre_y);
}

int XrMapView::to_camera_space(XrPoint* points, int count) const
{
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const std::int64_t dx = static_cast<std::int64_t>(points[i].x) - centre_x;
        const std::int64_t dy = static_cast<std::int64_t>(points[i].y) - centre_y;
        const int a = fixed_mul_add(dx, rot_cos, -dy, rot_sin);
        const int b = fixed_mul_add(dx, rot_sin, dy, rot_cos);
        const XrPoint p(a, clamp_int((static_cast<std::int64_t>(b) - 80) * 3));
        if (n > 0 && points[n - 1] == p)
            continue;
        points[n++] = p;
    }
    return n;
}

void XrMapView::zclip(const XrPoint& p1, const XrPoint& p2, int& x, int& depth) const
{
    const int delta_3d = eye_distance;
    XR_ASSERT_MSG(p1.y >= -delta_3d && p2.y <= -delta_3d, "p1->y >= -delta_3d && p2->y <= -delta_3d");
    const std::int64_t plane = 10 - static_cast<std::int64_t>(eye_distance);
    x = clamp_int(p1.x + div0((static_cast<std::int64_t>(p2.x) - p1.x) * (plane - p1.y),
                              static_cast<std::int64_t>(p2.y) - p1.y));
    depth = static_cast<int>(plane);
}

void XrMapView::project_camera_point(int x, int depth, int height, int& sx, int& sy) const
{
    const std::int64_t b = depth / 3 + 80;
    const int yy = fixed_mul_add(height, tilt_cos, -b, tilt_sin);
    const int z = fixed_mul_add(height, tilt_sin, b, tilt_cos);
    const std::int64_t den = eye_distance + (static_cast<std::int64_t>(z) - 80) * 3 + 10;
    sx = clamp_int(div0(static_cast<std::int64_t>(x) * eye_distance, den) + screen_offset_x);
    sy = clamp_int(div0(static_cast<std::int64_t>(yy) * eye_distance, den) - screen_offset_y);
}

void XrMapView::project_3d_clipped(int x, int y, int height, const XrPoint* previous, int& sx, int& sy) const
{
    auto camera = [this](int px, int py, std::int64_t& a, std::int64_t& depth) {
        const std::int64_t dx = static_cast<std::int64_t>(px) - centre_x;
        const std::int64_t dy = static_cast<std::int64_t>(py) - centre_y;
        a = fixed_mul_add(dx, rot_cos, -dy, rot_sin);
        depth = (static_cast<std::int64_t>(fixed_mul_add(dx, rot_sin, dy, rot_cos)) - 80) * 3;
    };
    std::int64_t a = 0, depth = 0;
    camera(x, y, a, depth);
    const std::int64_t eye = eye_distance;
    if (-eye >= depth) {
        if (previous != nullptr) {
            std::int64_t pa = 0, pdepth = 0;
            camera(previous->x, previous->y, pa, pdepth);
            if (-eye < pdepth)
                a = pa + div0((10 - eye - pdepth) * (a - pa), depth - pdepth);
        }
        depth = 10 - eye;
    }
    const std::int64_t den = eye + depth;
    sx = clamp_int(div0(a * eye, den) + screen_offset_x);
    sy = clamp_int(div0(static_cast<std::int64_t>(height) * eye, den) - screen_offset_y);
}

// --- Drawing ----------------------------------------------------------------------------

void XrMapView::draw(XrDCHandleRec* dc, void*, int pass, int first, int end)
{
    if (map == nullptr)
        return;
    if (map->is_3d())
        update_3d();
    map->draw(dc, this, 0, pass, first, end);
}

void XrMapView::notify_draw(XrDCHandleRec* dc)
{
    if (map != nullptr)
        map->notify_draw(dc, this);
}
