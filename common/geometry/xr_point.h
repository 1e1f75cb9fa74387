// Integer plane value types: points, sizes and rectangles in map units or
// pixels.
#pragma once

#include <climits>
#include <cmath>

class XrPoint {
public:
    int x = 0;
    int y = 0;

    XrPoint() = default;
    XrPoint(int x_, int y_) : x(x_), y(y_) {}
    // From two consecutive ints, the first being x.
    explicit XrPoint(const int* xy) : x(xy[0]), y(xy[1]) {}

    int get_x() const { return x; }
    int get_y() const { return y; }
    void set_x(int value) { x = value; }
    void set_y(int value) { y = value; }

    bool operator==(const XrPoint& other) const = default;

    // Straight distance to a point; the differences are exact (no wrapping).
    double distance(int px, int py) const;
    double distance(const XrPoint& other) const { return distance(other.x, other.y); }
    double distance_sq(const XrPoint& other) const;
};

class XrSize {
public:
    int width = 0;
    int height = 0;

    XrSize() = default;
    XrSize(int width_, int height_) : width(width_), height(height_) {}

    bool operator==(const XrSize& other) const = default;
};

// left <= right and top <= bottom are assumed, never repaired.
class XrRectangle {
public:
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    XrRectangle() = default;
    XrRectangle(int left_, int top_, int right_, int bottom_)
        : left(left_), top(top_), right(right_), bottom(bottom_)
    {
    }

    bool operator==(const XrRectangle& other) const = default;

    // Edges included.
    bool contains(int px, int py) const { return left <= px && px <= right && top <= py && py <= bottom; }
    bool contains(const XrPoint& p) const { return contains(p.x, p.y); }
};

// A double turned into a coordinate: truncated toward zero, saturated to the
// int range (NaN gives 0), so far-off or degenerate input never overflows.
inline int xr_trunc_coord(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT_MAX;
    if (v <= -2147483648.0)
        return INT_MIN;
    return static_cast<int>(v);
}

// Rounded half away from zero (exactly 0 stays 0), saturated as above.
inline int xr_round_coord(double v)
{
    if (v > 0)
        return xr_trunc_coord(v + 0.5);
    if (v < 0)
        return xr_trunc_coord(v - 0.5);
    return 0;
}
