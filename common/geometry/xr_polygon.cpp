#include "common/geometry/xr_polygon.h"

#include <algorithm>
#include <cmath>

XrPolygon::XrPolygon(bool open_, int type_) : points(8, 0), open(open_), type(type_) {}

XrPolygon& XrPolygon::operator=(const XrPolygon& other)
{
    if (this == &other)
        return *this;
    points.remove_all();
    bounding_box = other.bounding_box;
    open = other.open;
    for (int i = 0; i < other.get_point_count(); ++i)
        points.append(*other.points.get_item_ptr(i));
    type = other.type;
    return *this;
}

void XrPolygon::widen_box(const XrPoint& p)
{
    if (get_point_count() == 0) {
        bounding_box = XrRectangle(p.x, p.y, p.x, p.y);
        return;
    }
    bounding_box.left = std::min(bounding_box.left, p.x);
    bounding_box.right = std::max(bounding_box.right, p.x);
    bounding_box.top = std::min(bounding_box.top, p.y);
    bounding_box.bottom = std::max(bounding_box.bottom, p.y);
}

bool XrPolygon::add_point(const XrPoint& p)
{
    widen_box(p);
    return points.append(p);
}

bool XrPolygon::insert_point(const XrPoint& p, int i)
{
    XR_ASSERT(i >= 0);
    widen_box(p);
    return points.insert_item(p, i);
}

bool XrPolygon::set_point(const XrPoint& p, int i)
{
    XR_ASSERT(i >= 0);
    widen_box(p);
    while (points.get_num_items() < i)
        if (!points.append(XrPoint()))
            return false;
    if (i == points.get_num_items())
        return points.append(p);
    *points.get_item_ptr(i) = p;
    return true;
}

bool XrPolygon::remove_point(int i)
{
    return points.remove_item(i);
}

void XrPolygon::set_polyline(const XrStaticArray<XrPoint>& line)
{
    points.remove_all();
    open = true;
    for (int i = 0; i < line.get_num_items(); ++i)
        add_point(*line.get_item_ptr(i));
}

bool XrPolygon::contains_point(const XrPoint& p) const
{
    const int n = get_point_count();
    const XrPoint* pts = points.get_items();
    for (int i = 0; i < n; ++i)
        if (pts[i] == p)
            return true;
    if (open || n < 3 || !bounding_box.contains(p))
        return false;

    const double x = p.x, y = p.y;
    int crossings = 0;
    int ring_start = 0;
    for (int i = 0; i < n; ++i) {
        if (i > ring_start && pts[i] == pts[ring_start]) {
            // Closes the ring: no edge starts here, the next vertex opens a new one.
            ring_start = i + 1;
            continue;
        }
        const XrPoint& a = pts[i];
        const XrPoint& b = pts[i + 1 < n ? i + 1 : 0];
        if (a == p || b == p)
            continue;
        if (a.x == b.x) {
            if (a.x == p.x && std::min(a.y, b.y) <= p.y && p.y <= std::max(a.y, b.y))
                return true;
            continue;
        }
        // An edge counts when it spans the point's x half-open (so a vertex
        // straight above the point is counted once, not by both its edges)
        // and passes at or above the point.
        if ((a.x > p.x) == (b.x > p.x))
            continue;
        const XrPoint& l = a.x < b.x ? a : b;
        const XrPoint& r = a.x < b.x ? b : a;
        if ((r.y - y) / (r.x - x) <= (static_cast<double>(r.y) - l.y) / (static_cast<double>(r.x) - l.x))
            ++crossings;
    }
    return (crossings & 1) != 0;
}

bool XrPolygon::intersects_segment(int x0, int y0, int x1, int y1) const
{
    const int n = get_point_count();
    if (n == 0)
        return false;
    const XrPoint* pts = points.get_items();
    for (int i = 1; i < n; ++i)
        if (segments_intersect(pts[i - 1].x, pts[i - 1].y, pts[i].x, pts[i].y, x0, y0, x1, y1))
            return true;
    return !open && segments_intersect(pts[n - 1].x, pts[n - 1].y, pts[0].x, pts[0].y, x0, y0, x1, y1);
}

namespace {

bool boxes_overlap(const XrRectangle& a, const XrRectangle& b)
{
    return a.bottom > b.top && a.top < b.bottom && a.right > b.left && a.left < b.right;
}

} // namespace

bool XrPolygon::intersects(const XrRectangle& rect) const
{
    const int n = get_point_count();
    if (n == 0 || !boxes_overlap(bounding_box, rect))
        return false;
    const XrPoint* pts = points.get_items();
    for (int i = 0; i < n; ++i)
        if (rect.contains(pts[i]))
            return true;
    const XrPoint corners[4] = {{rect.left, rect.top}, {rect.right, rect.top}, {rect.right, rect.bottom}, {rect.left, rect.bottom}};
    for (const XrPoint& c : corners)
        if (contains_point(c))
            return true;
    for (int i = 0; i < 4; ++i) {
        const XrPoint& a = corners[i];
        const XrPoint& b = corners[(i + 1) % 4];
        if (intersects_segment(a.x, a.y, b.x, b.y))
            return true;
    }
    return false;
}

bool XrPolygon::intersects(const XrPolygon& other) const
{
    const int n = get_point_count(), m = other.get_point_count();
    if (n == 0 || m == 0 || !boxes_overlap(bounding_box, other.bounding_box))
        return false;
    const XrPoint* op = other.points.get_items();
    for (int i = 1; i < m; ++i)
        if (intersects_segment(op[i - 1].x, op[i - 1].y, op[i].x, op[i].y))
            return true;
    if (!other.open && intersects_segment(op[m - 1].x, op[m - 1].y, op[0].x, op[0].y))
        return true;
    const XrPoint* pts = points.get_items();
    for (int i = 0; i < n; ++i)
        if (other.contains_point(pts[i]))
            return true;
    for (int i = 0; i < m; ++i)
        if (contains_point(op[i]))
            return true;
    return false;
}

double XrPolygon::get_length() const
{
    const int n = get_point_count();
    if (n < 2)
        return 0;
    const XrPoint* pts = points.get_items();
    double length = 0;
    for (int i = 1; i < n; ++i)
        length += pts[i - 1].distance(pts[i]);
    if (!open)
        length += pts[n - 1].distance(pts[0]);
    return length;
}

bool XrPolygon::get_nearest_point(const XrPoint& p, XrPoint& nearest, double* distance, double* offset,
                                  int* index, int* direction, int* side) const
{
    const int n = get_point_count();
    if (n < 2)
        return false;
    const XrPoint* pts = points.get_items();
    double best = -1.0, best_offset = 0, best_direction = 0;
    int best_index = 0, best_side = 0;

    double run = 0;
    for (int i = 0; i + 1 < n; ++i) {
        XrPoint foot;
        if (project_point_on_segment(p.x, p.y, pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y, foot.x, foot.y)) {
            double d = foot.distance(p);
            if (best < 0 || best > d) {
                best = d;
                nearest = foot;
                best_offset = run + pts[i].distance(foot);
                best_index = i;
                best_direction = get_angle(pts[i], pts[i + 1]);
                bool ccw = false;
                get_angle_difference(xr_trunc_coord(get_angle(pts[i], p) * 180 / XR_HALF_TURN),
                                     xr_trunc_coord(best_direction * 180 / XR_HALF_TURN), ccw);
                best_side = ccw ? 0 : 1;
            }
        }
        run += pts[i].distance(pts[i + 1]);
    }

    run = 0;
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            run += pts[i - 1].distance(pts[i]);
        double d = pts[i].distance(p);
        if (best < 0 || best > d) {
            best = d;
            nearest = pts[i];
            best_offset = run;
            best_index = i;
            best_side = 2;
            if (i == 0)
                best_direction = get_angle(pts[0], pts[1]);
            else if (i == n - 1)
                best_direction = get_angle(pts[n - 2], pts[n - 1]);
            else
                best_direction = (get_angle(pts[i - 1], pts[i]) + get_angle(pts[i], pts[i + 1])) / 2;
        }
    }

    if (best < 0)
        return false;
    if (distance)
        *distance = best;
    if (offset)
        *offset = best_offset;
    if (index)
        *index = best_index;
    if (direction)
        *direction = xr_trunc_coord(best_direction * 180 / XR_HALF_TURN + 0.5);
    if (side)
        *side = best_side;
    return true;
}

bool XrPolygon::get_point_at_distance(double distance, XrPoint& point, std::int16_t& direction, double* x_exact,
                                      double* y_exact) const
{
    const int n = get_point_count();
    if (n < 2)
        return false;
    const XrPoint* pts = points.get_items();
    double r = distance;
    int edge = -1;
    double len = 0;
    for (int i = 0; i + 1 < n; ++i) {
        len = pts[i].distance(pts[i + 1]);
        if (len >= r) {
            edge = i;
            break;
        }
        r -= len;
        if (r < 1.0) {
            edge = i;
            r = len;
            break;
        }
    }
    if (edge < 0)
        return false;
    const XrPoint& a = pts[edge];
    const XrPoint& b = pts[edge + 1];
    const double ratio = len > 0 ? r / len : 0;
    const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
    if (x_exact)
        *x_exact = a.x + ratio * dx;
    if (y_exact)
        *y_exact = a.y + ratio * dy;
    point = XrPoint(xr_trunc_coord(a.x + std::trunc(ratio * dx)), xr_trunc_coord(a.y + std::trunc(ratio * dy)));
    direction = static_cast<std::int16_t>(get_angle(a, b) * 180 / XR_HALF_TURN);
    return true;
}

bool XrPolygon::is_inside_side(const XrRectangle& rect, ClipSide side, int x, int y)
{
    switch (side) {
    case Left:
        return rect.left <= x;
    case Right:
        return rect.right >= x;
    case Top:
        return rect.top <= y;
    case Bottom:
        return rect.bottom >= y;
    }
    return false;
}

namespace {

// The crossing of a clip side: a moved toward b, with one retry when
// rounding left it outside.
bool clip_crossing(const XrRectangle& rect, XrPolygon::ClipSide side, XrPoint& a, const XrPoint& b)
{
    return clip_segment_side(rect, side, a, b) || clip_segment_side(rect, side, a, b);
}

} // namespace

void XrPolygon::clip_polygon_side(const XrRectangle& rect, ClipSide side, const XrStaticArray<XrPoint>& in,
                                  XrArray<XrPoint>& out)
{
    const int n = in.get_num_items();
    XR_ASSERT_MSG(n > 1, "in.items() > 1");
    XrPoint prev = *in.get_item_ptr(n - 1);
    for (int i = 0; i < n; ++i) {
        const XrPoint cur = *in.get_item_ptr(i);
        const bool cur_inside = is_inside_side(rect, side, cur.x, cur.y);
        const bool prev_inside = is_inside_side(rect, side, prev.x, prev.y);
        if (cur_inside) {
            if (!prev_inside) {
                XrPoint crossing = prev;
                if (!clip_crossing(rect, side, crossing, cur))
                    return;
                out.append(crossing);
            }
            out.append(cur);
        } else if (prev_inside) {
            XrPoint crossing = cur;
            if (!clip_crossing(rect, side, crossing, prev))
                return;
            out.append(crossing);
        }
        prev = cur;
    }
    if (out.get_num_items() >= 3)
        out.append(*out.get_item_ptr(0));
}

void XrPolygon::clip_polygon(const XrRectangle& rect)
{
    if (get_point_count() < 2) {
        points.remove_all();
        return;
    }
    XrArray<XrPoint> work(8, 0);
    const ClipSide sides[4] = {Left, Right, Top, Bottom};
    for (ClipSide side : sides) {
        if (get_point_count() < 2)
            break;
        work.remove_all();
        for (int i = 0; i < get_point_count(); ++i)
            work.append(*points.get_item_ptr(i));
        points.remove_all();
        clip_polygon_side(rect, side, work, points);
    }
}

namespace {

// Direction between a fixed point of a polyline (index anchor) and a moving
// one that starts at index from and walks by step until the two are at
// least min_dist apart or the line ends; from the fixed point to the moving
// one when fixed_first, else the other way.
double walk_angle(const XrPolygon& line, int anchor, int from, int step, double min_dist, bool fixed_first)
{
    const int n = line.get_point_count();
    XrPoint fixed, moving;
    line.get_point(anchor, fixed);
    int j = from;
    line.get_point(j, moving);
    while (fixed.distance(moving) < min_dist && j + step >= 0 && j + step < n) {
        j += step;
        line.get_point(j, moving);
    }
    return fixed_first ? get_angle(fixed, moving) : get_angle(moving, fixed);
}

} // namespace

double get_turn_angle(const XrPolygon& a, bool from_end, const XrPolygon& b, bool from_start, int scale)
{
    const int na = a.get_point_count(), nb = b.get_point_count();
    if (na < 2 || nb < 2)
        return -1.0;
    const double min_dist = 20.0 * scale;
    // Leaving a: from P (walking back from Q) to Q at a's end or start.
    const double angle1 = from_end ? walk_angle(a, na - 1, na - 2, -1, min_dist, false)
                                   : walk_angle(a, 0, 1, +1, min_dist, false);
    // Entering b: from P at b's start or end to Q walking into b.
    const double angle2 = from_start ? walk_angle(b, 0, 1, +1, min_dist, true)
                                     : walk_angle(b, nb - 1, nb - 2, -1, min_dist, true);
    double r = angle2 - angle1;
    if (r < 0)
        r += XR_FULL_TURN;
    if (r >= XR_FULL_TURN)
        r -= XR_FULL_TURN;
    return r;
}

bool clip_segment_side(const XrRectangle& rect, XrPolygon::ClipSide side, XrPoint& a, const XrPoint& b)
{
    XrRectangle open(-2147483646, -2147483646, 2147483647, 2147483647);
    switch (side) {
    case XrPolygon::Left:
        open.left = rect.left;
        break;
    case XrPolygon::Right:
        open.right = rect.right;
        break;
    case XrPolygon::Top:
        open.top = rect.top;
        break;
    case XrPolygon::Bottom:
        open.bottom = rect.bottom;
        break;
    }
    return clip_point_to_rect(open, a, b);
}
