// XrMapView: the projection of a map onto the map window. World coordinates
// are map units with y growing northwards, screen coordinates pixels with y
// growing downwards. Flat conversions are integer fixed point with 19
// fraction bits; the perspective (3D) view looks at the centre from an eye
// behind and above it.
//
// World rectangles are handed out and taken as boxes the way geometry
// storages take them: XrRectangle with left/right the x range and
// top/bottom the smallest/largest y.
#pragma once

#include <cstdint>

#include "common/geometry/xr_point.h"

class XrMap;
struct XrDCHandleRec;

// (a * b) >> 19 rounded half up, truncated to 32 bits.
int fixed_mul(std::int64_t a, std::int64_t b);
// (a * b + c * d) >> 19 rounded half up, summed in 64 bits.
int fixed_mul_add(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d);

class XrMapView {
public:
    static constexpr int FIXED_SHIFT = 19;
    // Height above the ground at which points and texts are projected.
    static constexpr int POINT_HEIGHT = 150;
    static constexpr int TEXT_HEIGHT = 147;
    // Scale values from which the view is always north-up.
    static constexpr std::uint32_t NORTH_UP_SCALE = 250000;

    explicit XrMapView(XrMap* map = nullptr);
    virtual ~XrMapView() = default;
    XrMapView(const XrMapView&) = delete;
    XrMapView& operator=(const XrMapView&) = delete;

    // Attaches the map and takes its data extent (get_data_extent) as the
    // limits, so that the view can follow the car wherever the map has
    // roads, not only over its areas and water.
    void set_map(XrMap* map);
    XrMap* get_map() const { return map; }
    // The union of the data boxes of the layers "a7" and "wa"; false when
    // there is neither.
    bool get_map_extent(XrRectangle& out) const;
    // The map extent joined with the data box of the road layer ("road");
    // false when there is none.
    bool get_data_extent(XrRectangle& out) const;
    // A box of zero area means no limits.
    void set_limits(const XrRectangle& box) { limits = box; }
    const XrRectangle& get_limits() const { return limits; }
    bool is_inside_limits(const XrPoint& p) const;

    void set_scale_reference(int units, int pixels);
    void set_default_scale_reference();
    void set_visible_rect(const XrRectangle& rect) { visible_rect = rect; }
    const XrRectangle& get_visible_rect() const { return visible_rect; }
    void set_3d_parameters(int eye_distance, int centre_height, int centre_from_bottom, int half_width, int ahead,
                           int behind);
    void set_tilt(int degrees) { tilt = degrees; }
    int get_tilt() const { return tilt; }
    void set_factor_3d(double value) { factor_3d = value; }
    double get_factor_3d() const { return factor_3d; }
    void set_heading_shift(bool value) { heading_shift = value; }
    bool get_heading_shift() const { return heading_shift; }
    void set_min_scale(std::uint32_t value) { min_scale = value; }
    void set_max_scale(std::uint32_t value) { max_scale = value; }
    std::uint32_t get_min_scale() const { return min_scale; }
    std::uint32_t get_max_scale() const { return max_scale; }
    // A world box used in place of the world rectangle for one draw; null
    // clears it.
    void set_override_rect(const XrRectangle* box);
    XrRectangle get_draw_rect() const;

    // Changes; each leaves the transform consistent. A null centre keeps
    // the current one. False (nothing changed) for a centre outside the limits.
    bool set_center_and_scale(const XrPoint* centre, std::uint32_t scale_value, bool no_shift);
    void set_rotation(int degrees);
    void set_screen_size(const XrSize& size);
    bool zoom_to_rect(const XrRectangle& box);
    bool zoom_to_rotated_rect(const XrRectangle& box, bool no_shift);
    bool zoom_to_points(const XrPoint& p1, const XrPoint& p2, const XrPoint& p3, const XrPoint& p4, bool no_shift);

    // Conversions; before the first fit the outputs are left alone.
    void world_to_screen(const XrPoint& world, XrPoint& screen);
    void world_to_screen_2d(int x, int y, int& sx, int& sy) const;
    void world_to_screen_2d_array(XrPoint* points, unsigned count) const;
    void world_to_screen_3d(int x, int y, int height, int& sx, int& sy) const;
    void screen_to_world_2d(int sx, int sy, int& x, int& y) const;
    void screen_to_world_3d(int sx, int sy, int height, int& x, int& y) const;
    int pixels_to_world(int pixels) const;
    int world_to_pixels(int units) const;

    // Perspective helpers for the layers (after update_3d).
    int to_camera_space(XrPoint* points, int count) const;
    void zclip(const XrPoint& p1, const XrPoint& p2, int& x, int& depth) const;
    void project_camera_point(int x, int depth, int height, int& sx, int& sy) const;
    void project_3d_clipped(int x, int y, int height, const XrPoint* previous, int& sx, int& sy) const;
    void update_3d();

    // Draws the map (when there is one) for a pass; in 3D updates the
    // perspective first.
    void draw(XrDCHandleRec* dc, void* unused, int pass, int first, int end);
    void notify_draw(XrDCHandleRec* dc);

    // Getters.
    int get_screen_width() const { return screen_width; }
    int get_screen_height() const { return screen_height; }
    int get_extent_width() const { return extent_width; }
    int get_extent_height() const { return extent_height; }
    XrRectangle get_world_rect() const { return XrRectangle(left, bottom, right, top); }
    XrRectangle get_world_rect_3d() const { return XrRectangle(left_3d, bottom_3d, right_3d, top_3d); }
    XrPoint get_centre() const { return XrPoint(centre_x, centre_y); }
    XrPoint get_visual_centre() const { return XrPoint(visual_centre_x, visual_centre_y); }
    double get_pixels_per_unit() const { return pixels_per_unit; }
    int get_transform_a() const { return transform_a; }
    int get_transform_b() const { return transform_b; }
    int get_rotation() const { return rotation; }
    std::uint32_t get_scale_value() const { return scale_value; }
    int get_scale_base() const { return scale_base; }
    int get_reference_units() const { return reference_units; }
    int get_reference_pixels() const { return reference_pixels; }
    int get_eye_distance() const { return eye_distance; }
    int get_screen_offset_x() const { return screen_offset_x; }
    int get_screen_offset_y() const { return screen_offset_y; }
    XrPoint get_forward() const { return XrPoint(forward_x, forward_y); }
    bool is_3d() const;

private:
    // World units shown by the extent at a scale value (double arithmetic).
    double scale_to_world(std::uint32_t scale, int extent) const;
    // The scale reference in force: the configured one, else the default.
    void reference(double& units, double& pixels) const;
    void fit_rect(std::int64_t dx, std::int64_t dy);
    void update(std::int64_t l, std::int64_t b, std::int64_t r, std::int64_t t);
    void update_around(const XrPoint& centre, std::int64_t w, std::int64_t h);
    void shift_centre(XrPoint& p) const;
    void compute_extent();

    XrMap* map;
    int reference_units = 0;
    int reference_pixels = 0;
    int scale_base = 1000;
    int screen_width = 0;
    int screen_height = 0;
    int extent_width = 0;
    int extent_height = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
    int top = 0;
    bool override_rect_set = false;
    XrRectangle override_rect;
    XrRectangle visible_rect;
    int centre_x = 0;
    int centre_y = 0;
    int visual_centre_x = 0;
    int visual_centre_y = 0;
    double pixels_per_unit = 0;
    int transform_a = 0;
    int transform_b = 0;
    std::int16_t rotation = 0;
    std::uint32_t scale_value = 0;
    std::uint32_t min_scale = 0;
    std::uint32_t max_scale = 0;
    bool in_scale_correction = false;
    int eye_distance = 0;
    int screen_offset_x = 0;
    int screen_offset_y = 0;
    int centre_height = 0;
    int centre_from_bottom = 0;
    int rot_sin = 0;
    int rot_cos = 0;
    int tilt_sin = 0;
    int tilt_cos = 0;
    int half_width = 0;
    int ahead = 0;
    int behind = 0;
    int forward_x = 0;
    int forward_y = 0;
    int left_3d = 0;
    int bottom_3d = 0;
    int right_3d = 0;
    int top_3d = 0;
    double factor_3d = 1.0;
    XrRectangle limits;
    bool heading_shift = false;
    int tilt = 0;
};
