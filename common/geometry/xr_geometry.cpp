#include "common/geometry/xr_geometry.h"

#include <algorithm>
#include <cmath>

#include "common/types/xr_trig.h"

namespace {

// The screen clipper works on exact integers: products of two coordinates
// and moved ends far outside the screen need more than 64 bits.
typedef __int128 Wide;

const int screen_margin = 15;

int saturate(Wide v)
{
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

Wide clamp_wide(Wide v, Wide lo, Wide hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

} // namespace

bool clip_line_to_screen(int x0, int y0, int x1, int y1, const XrSize& screen,
                         int& out_x0, int& out_y0, int& out_x1, int& out_y1)
{
    const Wide w = Wide(screen.width) + 2 * screen_margin;
    const Wide h = Wide(screen.height) + 2 * screen_margin;
    Wide X0 = Wide(x0) + screen_margin, Y0 = Wide(y0) + screen_margin;
    Wide X1 = Wide(x1) + screen_margin, Y1 = Wide(y1) + screen_margin;
    auto outside = [&]() {
        return (Y0 < 0 && Y1 < 0) || (Y0 >= h && Y1 >= h) || (X0 < 0 && X1 < 0) || (X0 >= w && X1 >= w);
    };

    if (outside())
        return false;

    bool swapped = false;
    bool inside = X0 >= 0 && X0 <= w && Y0 >= 0 && Y0 <= h && X1 >= 0 && X1 <= w && Y1 >= 0 && Y1 <= h;
    if (!inside) {
        if (X0 > X1) {
            std::swap(X0, X1);
            std::swap(Y0, Y1);
            swapped = true;
        }
        // 0: as it stands, 1: clamp y (vertical), 2: clamp x (horizontal).
        auto degenerate = [&]() { return X0 == X1 ? 1 : (Y0 == Y1 ? 2 : 0); };
        int finish = degenerate();
        if (finish == 0 && X0 < 0) {
            Y0 = Y1 - (Y1 - Y0) * X1 / (X1 - X0);
            X0 = 0;
            finish = degenerate();
        }
        if (finish == 0) {
            if (Y0 < 0) {
                X0 = X0 + (X1 - X0) * (-Y0) / (Y1 - Y0);
                Y0 = 0;
                finish = degenerate();
            } else if (Y0 >= h) {
                X0 = X0 + (X1 - X0) * (Y0 - h) / (Y0 - Y1);
                Y0 = h - 1;
                finish = degenerate();
            }
        }
        if (finish == 0 && X1 >= w) {
            Y1 = Y0 + (Y1 - Y0) * (w - X0) / (X1 - X0);
            X1 = w - 1;
            finish = degenerate();
        }
        if (finish == 0) {
            if (Y1 < 0) {
                X1 = X0 + Y0 * (X1 - X0) / (Y0 - Y1);
                Y1 = 0;
                finish = degenerate();
            } else if (Y1 >= h) {
                X1 = X0 + (X1 - X0) * (h - Y0) / (Y1 - Y0);
                Y1 = h - 1;
                finish = degenerate();
            }
        }
        if (finish == 1) {
            Y0 = clamp_wide(Y0, 0, h - 1);
            Y1 = clamp_wide(Y1, 0, h - 1);
        } else if (finish == 2) {
            X0 = X0 < 0 ? 0 : (X0 > w ? w - 1 : X0);
            X1 = X1 < 0 ? 0 : (X1 > w ? w - 1 : X1);
        }
        // A segment that passes the screen beside a corner ends up wholly
        // outside once moved (its moved ends may lie anywhere, far off the
        // screen): nothing to draw.
        if (outside())
            return false;
        if (swapped) {
            std::swap(X0, X1);
            std::swap(Y0, Y1);
        }
    }
    out_x0 = saturate(X0 - screen_margin);
    out_y0 = saturate(Y0 - screen_margin);
    out_x1 = saturate(X1 - screen_margin);
    out_y1 = saturate(Y1 - screen_margin);
    return true;
}

bool project_point_on_segment(int px, int py, int ax, int ay, int bx, int by, int& foot_x, int& foot_y)
{
    double dx = static_cast<double>(bx) - ax;
    double dy = static_cast<double>(by) - ay;
    if (dx == 0 && dy == 0)
        return false;
    double t = ((static_cast<double>(px) - ax) * dx + (static_cast<double>(py) - ay) * dy) / (dx * dx + dy * dy);
    if (t < 0 || t > 1)
        return false;
    foot_x = xr_trunc_coord(ax + std::trunc(dx * t));
    foot_y = xr_trunc_coord(ay + std::trunc(dy * t));
    return true;
}

namespace {

// Whether the range [a0, a1] (either order) reaches value v.
bool range_reaches(double a0, double a1, double v)
{
    return !(a0 < v && a1 < v) && !(a0 > v && a1 > v);
}

// Whether the ranges [a0, a1] and [b0, b1] (either order) overlap, ends included.
bool ranges_overlap(double a0, double a1, double b0, double b1)
{
    return std::min(a0, a1) <= std::max(b0, b1) && std::min(b0, b1) <= std::max(a0, a1);
}

} // namespace

bool segments_intersect(int x0, int y0, int x1, int y1, int x2, int y2, int x3, int y3, int* out_x, int* out_y)
{
    const double d1x = static_cast<double>(x1) - x0, d1y = static_cast<double>(y1) - y0;
    const double d2x = static_cast<double>(x3) - x2, d2y = static_cast<double>(y3) - y2;

    if (d1y == 0)
        return range_reaches(y2, y3, y0) && ranges_overlap(x0, x1, x2, x3);
    if (d2y == 0)
        return range_reaches(y0, y1, y2) && ranges_overlap(x0, x1, x2, x3);
    if (d1x == 0)
        return range_reaches(x2, x3, x0) && ranges_overlap(y0, y1, y2, y3);
    if (d2x == 0)
        return range_reaches(x0, x1, x2) && ranges_overlap(y0, y1, y2, y3);

    double den = d2x * d1y - d2y * d1x;
    if (den == 0)
        return false;
    double s = ((static_cast<double>(y2) - y0) * d1x - (static_cast<double>(x2) - x0) * d1y) / den;
    if (s < 0 || s > 1)
        return false;
    double t = (static_cast<double>(x2) + s * d2x - x0) / d1x;
    if (t < 0 || t > 1)
        return false;
    if (out_x)
        *out_x = xr_trunc_coord(x2 + std::trunc(s * d2x));
    if (out_y)
        *out_y = xr_trunc_coord(y2 + std::trunc(s * d2y));
    return true;
}

int get_angle_between(int a, int b)
{
    int d;
    if (a > 180 && b <= 180)
        d = a - b;
    else if (a <= 180 && b >= 180)
        d = b - a;
    else
        return std::abs(a - b);
    return d > 180 ? 360 - d : d;
}

int get_angle_difference(int a, int b, bool& counter_clockwise)
{
    if (a > 180) {
        int t = b + 360 - a;
        if (t > 360)
            t -= 360;
        counter_clockwise = t > 180;
    } else {
        int t = b + 180 - a;
        if (t >= 360)
            t -= 360;
        counter_clockwise = t < 180;
    }
    return get_angle_between(a, b);
}

double get_angle(const XrPoint& from, const XrPoint& to)
{
    double dx = static_cast<double>(to.x) - from.x;
    double dy = static_cast<double>(to.y) - from.y;
    if (dx == 0)
        return dy < 0 ? 4.712388975 : 1.570796325;
    double a = std::atan(dy / dx);
    if (dx < 0)
        a += XR_HALF_TURN;
    while (a < 0)
        a += XR_FULL_TURN;
    while (a > XR_FULL_TURN)
        a -= XR_FULL_TURN;
    return a;
}

void rotate_point(XrPoint& p, int degrees)
{
    if (degrees == 0)
        return;
    double s = sin_deg(degrees);
    double c = cos_deg(degrees);
    double x = p.x, y = p.y;
    p.x = xr_round_coord(x * c + y * s);
    p.y = xr_round_coord(y * c - x * s);
}

double dot_product(const XrPoint& a, const XrPoint& b)
{
    return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y;
}

double distance_to_segment(const XrPoint& p, const XrPoint& a, const XrPoint& b)
{
    // Differences as doubles: XrPoint differences could wrap.
    double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
    double t = (static_cast<double>(p.x) - a.x) * dx + (static_cast<double>(p.y) - a.y) * dy;
    double dd = dx * dx + dy * dy;
    XrPoint nearest;
    if (t <= 0)
        nearest = a;
    else if (dd <= t)
        nearest = b;
    else
        nearest = XrPoint(xr_trunc_coord(a.x + std::trunc(dx * t / dd)), xr_trunc_coord(a.y + std::trunc(dy * t / dd)));
    return p.distance(nearest);
}

bool clip_point_to_rect(const XrRectangle& rect, XrPoint& a, const XrPoint& b)
{
    if (rect.contains(a))
        return true;
    const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
    bool cross_x = false, cross_y = false;
    double tx = 0, ty = 0;
    int edge_x = 0, edge_y = 0;
    if (a.x <= rect.left && b.x >= rect.left) {
        cross_x = true;
        edge_x = rect.left;
    } else if (a.x >= rect.right && b.x <= rect.right) {
        cross_x = true;
        edge_x = rect.right;
    }
    if (cross_x && dx != 0)
        tx = (static_cast<double>(edge_x) - a.x) / dx;
    if (a.y <= rect.top && b.y >= rect.top) {
        cross_y = true;
        edge_y = rect.top;
    } else if (a.y >= rect.bottom && b.y <= rect.bottom) {
        cross_y = true;
        edge_y = rect.bottom;
    }
    if (cross_y && dy != 0)
        ty = (static_cast<double>(edge_y) - a.y) / dy;

    // The later crossing decides; the other coordinate follows the segment
    // (also when it had a crossing of its own), so the point stays on it.
    double t = std::max(tx, ty);
    XrPoint moved;
    moved.x = cross_x && tx == t ? edge_x : xr_trunc_coord(a.x + std::trunc(dx * t));
    moved.y = cross_y && ty == t ? edge_y : xr_trunc_coord(a.y + std::trunc(dy * t));
    a = moved;
    return rect.contains(a);
}

void rotate_bounding_box(XrRectangle& rect, int degrees)
{
    if (degrees == 0)
        return;
    XrPoint corners[4] = {{rect.left, rect.top}, {rect.right, rect.top}, {rect.right, rect.bottom}, {rect.left, rect.bottom}};
    for (XrPoint& c : corners)
        rotate_point(c, degrees);
    rect = XrRectangle(corners[0].x, corners[0].y, corners[0].x, corners[0].y);
    for (const XrPoint& c : corners) {
        rect.left = std::min(rect.left, c.x);
        rect.right = std::max(rect.right, c.x);
        rect.top = std::min(rect.top, c.y);
        rect.bottom = std::max(rect.bottom, c.y);
    }
}

XrPoint get_edge_point(const XrRectangle& rect, const XrPoint& point)
{
    const double cx = (static_cast<double>(rect.left) + rect.right) / 2;
    const double cy = (static_cast<double>(rect.top) + rect.bottom) / 2;
    const double w = static_cast<double>(rect.right) - rect.left;
    const double h = static_cast<double>(rect.bottom) - rect.top;
    const double dx = point.x - cx, dy = point.y - cy;
    // |dx / dy| against w / h, cross-multiplied so that neither a horizontal
    // line nor a flat rectangle divides by zero.
    if (std::fabs(dx) * h < w * std::fabs(dy)) {
        double y = dy < 0 ? rect.top : rect.bottom;
        return XrPoint(xr_trunc_coord(cx + (y - cy) * dx / dy), xr_trunc_coord(y));
    }
    double x = dx < 0 ? rect.left : rect.right;
    double y = dx == 0 ? cy : cy + (x - cx) * dy / dx;
    return XrPoint(xr_trunc_coord(x), xr_trunc_coord(y));
}
