// A polyline or closed polygon of integer points with its bounding box.
#pragma once

#include <cstdint>

#include "common/container/xr_array.h"
#include "common/geometry/xr_geometry.h"

class XrPolygon {
public:
    enum ClipSide { Left = 0, Right = 1, Top = 2, Bottom = 3 };

    // open: a polyline without a closing edge; type: a class value the
    // polygon carries for its users.
    explicit XrPolygon(bool open = false, int type = 0);
    ~XrPolygon() = default;
    XrPolygon(const XrPolygon&) = delete;
    // Copies the points, the box, the open flag and the type.
    XrPolygon& operator=(const XrPolygon& other);

    bool is_open() const { return open; }
    void set_open(bool value) { open = value; }
    int get_type() const { return type; }
    void set_type(int value) { type = value; }
    const XrArray<XrPoint>& get_points() const { return points; }

    // The points go; the bounding box stays as it is.
    void clear() { points.remove_all(); }
    int get_point_count() const { return points.get_num_items(); }
    // False when i is not below the count; a negative i is fatal.
    bool get_point(int i, XrPoint& out) const { return points.get_item(i, out); }
    // The box grows with every point added, inserted or set and never
    // shrinks; null while the polygon has no points.
    const XrRectangle* get_bounding_box() const { return get_point_count() > 0 ? &bounding_box : nullptr; }

    bool add_point(const XrPoint& p);
    // Inserts at i (0..count), shifting the rest up; false when i > count.
    bool insert_point(const XrPoint& p, int i);
    // Overwrites point i; beyond the end the count becomes i + 1 and the
    // new slots in between hold (0, 0).
    bool set_point(const XrPoint& p, int i);
    bool remove_point(int i);
    // Replaces the points by the given ones and makes the polygon open.
    void set_polyline(const XrStaticArray<XrPoint>& line);

    // True on a vertex or inside; a closed polygon may hold several rings,
    // each ending on a repeat of its first point.
    bool contains_point(const XrPoint& p) const;
    // Overlap tests; boxes that only touch do not overlap.
    bool intersects(const XrRectangle& rect) const;
    bool intersects(const XrPolygon& other) const;
    bool intersects_segment(int x0, int y0, int x1, int y1) const;

    // Length of the line (with the closing edge for a closed polygon).
    double get_length() const;
    // The point of the line (closing edge excluded) nearest to p; false for
    // fewer than two points. direction: whole degrees; side: 0 or 1 for the
    // two sides of an edge, 2 at a vertex.
    bool get_nearest_point(const XrPoint& p, XrPoint& nearest, double* distance = nullptr,
                           double* offset = nullptr, int* index = nullptr, int* direction = nullptr,
                           int* side = nullptr) const;
    // The point at a distance along the line (negative: before the start);
    // false beyond the end (with 1.0 of slack) or for fewer than two points.
    bool get_point_at_distance(double distance, XrPoint& point, std::int16_t& direction,
                               double* x_exact = nullptr, double* y_exact = nullptr) const;

    static bool is_inside_side(const XrRectangle& rect, ClipSide side, int x, int y);
    // One Sutherland-Hodgman pass of in (at least two points) against one side.
    static void clip_polygon_side(const XrRectangle& rect, ClipSide side, const XrStaticArray<XrPoint>& in,
                                  XrArray<XrPoint>& out);
    // Clips the points to the rectangle in place (the box is left alone).
    void clip_polygon(const XrRectangle& rect);

private:
    void widen_box(const XrPoint& p);

    XrArray<XrPoint> points;
    XrRectangle bounding_box;
    bool open;
    int type;
};

// Direction change in radians [0, XR_FULL_TURN) between leaving polyline a
// (at its end or its start) and entering polyline b (at its start or its
// end), measured between points at least 20 * scale apart; -1.0 when either
// has fewer than two points.
double get_turn_angle(const XrPolygon& a, bool from_end, const XrPolygon& b, bool from_start, int scale);

// clip_point_to_rect against one side of rect only.
bool clip_segment_side(const XrRectangle& rect, XrPolygon::ClipSide side, XrPoint& a, const XrPoint& b);
