// Free plane-geometry functions: screen clipping, projections onto segments,
// segment intersection, angles, rotation, distances and rectangle helpers.
// Angles in radians lie in [0, XR_FULL_TURN]; whole-degree directions in 0..359.
#pragma once

#include "common/geometry/xr_point.h"

// The half and full turn as the map engine uses them (not full precision).
constexpr double XR_HALF_TURN = 3.14159265;
constexpr double XR_FULL_TURN = 6.2831853;

// Clips a segment to the screen grown by a 15-unit margin on every side.
// False when the segment lies wholly outside (also when it passes beside a
// corner); otherwise the clipped ends.
bool clip_line_to_screen(int x0, int y0, int x1, int y1, const XrSize& screen,
                         int& out_x0, int& out_y0, int& out_x1, int& out_y1);

// Foot of the perpendicular from (px, py) on the segment; false for a
// zero-length segment or when the foot falls outside the segment.
bool project_point_on_segment(int px, int py, int ax, int ay, int bx, int by, int& foot_x, int& foot_y);

// Whether two segments meet. A horizontal or vertical segment is tested by
// ranges only (and the outputs are left alone); otherwise the crossing is
// written to the outputs that are given.
bool segments_intersect(int x0, int y0, int x1, int y1, int x2, int y2, int x3, int y3,
                        int* out_x = nullptr, int* out_y = nullptr);

// Angle between two whole-degree directions, 0..180.
int get_angle_between(int a, int b);
// As get_angle_between; counter_clockwise tells the turning side from a to b.
int get_angle_difference(int a, int b, bool& counter_clockwise);
// Direction from one point to another, growing clockwise on screen axes.
double get_angle(const XrPoint& from, const XrPoint& to);

// Rotates about the origin by whole degrees, rounding half away from zero.
void rotate_point(XrPoint& p, int degrees);

double dot_product(const XrPoint& a, const XrPoint& b);
double distance_to_segment(const XrPoint& p, const XrPoint& a, const XrPoint& b);

// Moves a toward b onto the rectangle (edges included); whether the moved
// point lies inside. A point already inside is kept.
bool clip_point_to_rect(const XrRectangle& rect, XrPoint& a, const XrPoint& b);

// Replaces the rectangle by the bounding box of its corners rotated about the
// origin by whole degrees.
void rotate_bounding_box(XrRectangle& rect, int degrees);

// Where the line from the rectangle's centre towards the point leaves the
// rectangle.
XrPoint get_edge_point(const XrRectangle& rect, const XrPoint& point);
