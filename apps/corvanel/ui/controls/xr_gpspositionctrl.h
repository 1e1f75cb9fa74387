// The position rows of the GPS status window (longitude, latitude, heading,
// speed and, with a route, the distance left) above a strip compass. Reads
// everything from the providers when it draws; draws off-screen first and
// copies the result into the target in one step.
#pragma once

#include "common/container/xr_string.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/gdi/xr_gdi.h"
#include "common/ui/controls/xr_controlbase.h"

// A horizontal compass strip showing 135 degrees around the heading, with
// a marker at the target bearing and turn arrows beside it.
class XrRectCompass {
public:
    XrRectCompass();
    virtual ~XrRectCompass() = default;

    void set_rect(const XrRectangle& rect);
    // Whole degrees 0..359.
    void set_heading(const int& heading) { m_heading = heading; }
    // Whole degrees 0..359, or -1 for none.
    void set_target(const int& target) { m_target = target; }
    bool has_target() const { return m_target >= 0; }
    void draw(XrDCHandleRec& dc);

    int get_heading() const { return m_heading; }
    int get_target() const { return m_target; }
    const XrRectangle& get_strip() const { return m_strip; }
    const XrRectangle& get_left_arrow() const { return m_left_arrow; }
    const XrRectangle& get_right_arrow() const { return m_right_arrow; }

private:
    void draw_marker(XrDCHandleRec& dc, int x);
    void draw_arrows(XrDCHandleRec& dc);

    int m_heading = 0;
    int m_target = -1;
    XrRectangle m_strip;
    XrRectangle m_left_arrow;
    XrRectangle m_right_arrow;
    XrBrushHandle m_strip_brush;
    XrBrushHandle m_tick_brush;
    XrBrushHandle m_target_brush;
    XrBrushHandle m_arrow_brush;
    XrPenHandle m_tick_pen;
    XrPenHandle m_arrow_pen;
    XrRectangle m_rect;
};

class XrGpsPositionCtrl : public XrControlBase, public XrAppSettingsListener {
public:
    // The control, constructed; the caller owns it.
    static XrGpsPositionCtrl* create();
    ~XrGpsPositionCtrl() override;

    // Makes the off-screen context of the control's size and places the
    // compass at its bottom.
    void size_changed() override;
    // The context the off-screen one is made like (not owned); without one,
    // the map window's.
    void set_reference_dc(XrDCHandleRec* dc) { m_reference = dc; }
    // Draws the rows and the compass into target at the control's rectangle.
    void draw(XrDCHandleRec* target) const;
    // Follows a change of the map's measurement system.
    virtual void units_changed();
    void settings_changed() override { units_changed(); }

    void set_background(const XrBitmap& bitmap) { m_background = bitmap; }
    bool is_metric() const { return m_metric; }
    const XrRectCompass* get_compass() const { return m_compass; }

    // "011° 15' 30"E" (degrees, minutes, seconds truncated).
    static XrString format_longitude(double degrees);
    // "48° 30' 00"N".
    static XrString format_latitude(double degrees);
    // One decimal below 9.95, none from there on.
    static XrString format_value(double value);

private:
    XrGpsPositionCtrl();
    void construct();
    void update_unit_labels();
    static bool read_metric();

    XrDCHandleRec* m_dc = nullptr;
    XrDCHandleRec* m_reference = nullptr;
    XrRectCompass* m_compass = nullptr;
    mutable XrBitmap m_background;
    XrString m_heading_label, m_speed_label, m_destination_label, m_latitude_label, m_longitude_label;
    XrString m_heading_unit, m_speed_unit, m_distance_unit;
    int m_label_align = XrGDI::LeftTop;
    int m_value_align = XrGDI::RightTop;
    bool m_metric = true;
    XrColorHandle m_text_color;
};
