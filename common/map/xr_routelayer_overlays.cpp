// XrRouteLayer: the screen overlays: vehicle marker, compass needle, scale
// bar, speed and the GPS status icon.
#include <cmath>

#include "common/gdi/window/xr_mapwindow.h"
#include "common/geometry/xr_geometry.h"
#include "common/map/xr_linelabellayer.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_routelayer.h"
#include "common/map/xr_routelayer_draw.h"
#include "common/os/xr_eventloopbase.h"
#include "common/ui/fonts/xr_fontrepository.h"

namespace {

constexpr unsigned ZOOMED_OUT_SCALE = 250000;
constexpr int FONT_SCALE_BAR = 43;
constexpr int FONT_SPEED_UNIT = 46;
constexpr int FONT_SPEED = 47;

using xr_routelayer::draw_halo_text;
using xr_routelayer::font_of;

void* event_data(int id) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(id)); }

} // namespace

void XrRouteLayer::transform_points(XrPoint* points, int count, int angle, int dx, int dy)
{
    for (int i = 0; i < count; ++i) {
        if (angle != 0)
            rotate_point(points[i], angle);
        points[i].x += dx;
        points[i].y += dy;
    }
}

void XrRouteLayer::draw_shape(XrDCHandleRec* dc, XrPoint* points, int count, const XrPenHandle* pen,
                              const XrBrushHandle* brush)
{
    const XrPenHandle old_pen = XrGDI::get_pen(dc);
    const XrBrushHandle old_brush = XrGDI::get_brush(dc);
    const bool outline = pen != nullptr && pen->style != XrPenHandle::Null;
    if (outline)
        XrGDI::select_pen(dc, *pen);
    if (brush != nullptr && brush->null_marker != XrBrushHandle::NullMarker)
        XrGDI::select_brush(dc, *brush);
    else
        XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
    const int rings[1] = {count};
    XrGDI::draw_polygon_outlined(dc, points, rings, 1, outline);
    XrGDI::restore_pen(dc, old_pen);
    XrGDI::restore_brush(dc, old_brush);
}

void XrRouteLayer::draw_vehicle_marker(XrDCHandleRec* dc, XrMapView* view)
{
    if (active_route == nullptr)
        return;
    const std::uint32_t t = now();
    if (static_cast<std::int32_t>(t - show_distance_toggle) > 0) {
        show_distance = !show_distance;
        show_distance_toggle = t + 4000;
    }
    if (!matched_valid || view == nullptr)
        return;
    const double factor = host->get_scale_factor();
    const XrPenHandle& outline = pens[PenLine];
    const XrBrushHandle& fill1 = brushes[BrushBlack];
    const XrBrushHandle& fill2 = brushes[BrushGreen];
    const XrBrushHandle& fill3 = brushes[BrushYellowGreen];
    const XrBrushHandle& halo = brushes[BrushYellow1];

    if (!view->is_3d()) {
        const bool zoomed_out = view->get_scale_value() > ZOOMED_OUT_SCALE;
        const int s = zoomed_out ? 2 : 5;
        const XrRectangle world = view->get_world_rect();
        if (!world.contains(matched_point))
            return;
        int x = 0, y = 0;
        view->world_to_screen_2d(matched_point.x, matched_point.y, x, y);
        XrGDI::select_pen(dc, outline);
        XrGDI::select_brush(dc, fill2);
        if (heading == -1) {
            XrGDI::draw_ellipse(dc, x - 10, y - 10, x + 10, y + 10);
            return;
        }
        const int r = static_cast<int>(3 * s * factor);
        if (zoomed_out) {
            XrGDI::select_brush(dc, halo);
            XrGDI::draw_ellipse(dc, x - r, y - r, x + r, y + r);
        }
        XrPoint p[5] = {XrPoint(0, 3 * s), XrPoint(2 * s, -3 * s), XrPoint(0, 0), XrPoint(-2 * s, -3 * s)};
        for (int i = 0; i < 4; ++i) {
            p[i].x = static_cast<int>(p[i].x * factor);
            p[i].y = static_cast<int>(p[i].y * factor);
        }
        transform_points(p, 4, heading - view->get_rotation() + 90, x, y);
        draw_shape(dc, p, 4, nullptr, &fill1);
        if (zoomed_out)
            return;
        for (int i = 0; i < 3; ++i) {
            p[i].x -= 2;
            p[i].y -= 2;
        }
        p[4] = p[0];
        draw_shape(dc, p, 5, nullptr, &fill2);
        draw_shape(dc, p, 5, nullptr, &fill3);
        XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
        XrGDI::select_pen(dc, outline);
        XrGDI::draw_ellipse(dc, x - r, y - r, x + r, y + r);
        const int r2 = r + static_cast<int>(2 * factor);
        XrGDI::draw_ellipse(dc, x - r2, y - r2, x + r2, y + r2);
        return;
    }

    XrPoint p[5];
    if (view->get_screen_width() == 352) {
        const XrPoint fixed[5] = {XrPoint(0, -12), XrPoint(8, 9), XrPoint(0, 0), XrPoint(-8, 9), XrPoint(0, -12)};
        for (int i = 0; i < 5; ++i)
            p[i] = fixed[i];
    } else {
        const int k = static_cast<int>(3 * factor);
        const XrPoint scaled[5] = {XrPoint(0, -5 * k), XrPoint(2 * k, 3 * k), XrPoint(0, -k), XrPoint(-2 * k, 3 * k),
                                   XrPoint(0, -5 * k)};
        for (int i = 0; i < 5; ++i)
            p[i] = scaled[i];
    }
    transform_points(p, 5, 270 - (heading < 0 ? 0 : heading), matched_point.x, matched_point.y);
    for (int i = 0; i < 5; ++i) {
        int sx = 0, sy = 0;
        view->world_to_screen_3d(p[i].x, p[i].y, 0, sx, sy);
        p[i] = XrPoint(sx, sy);
    }
    draw_shape(dc, p, 5, &outline, &fill1);
    draw_shape(dc, p, 5, nullptr, &fill2);
    draw_shape(dc, p, 5, nullptr, &fill3);
}

void XrRouteLayer::draw_compass(XrDCHandleRec* dc, XrMapView* view, int x, int y)
{
    if (view == nullptr)
        return;
    const bool route = active_route != nullptr;
    const double factor = host->get_scale_factor() * (route ? 1.4 : 1.0);
    XrPoint p[6] = {XrPoint(4, 0), XrPoint(0, -10), XrPoint(-4, 0), XrPoint(4, 0), XrPoint(0, 10), XrPoint(-4, 0)};
    for (auto& q : p) {
        q.x = static_cast<int>(q.x * factor);
        q.y = static_cast<int>(q.y * factor);
    }
    int cx = 130, cy = view->get_screen_height() - 25;
    if (route) {
        const bool full = XrMapWindow::is_fullscreen();
        cx = x + (full ? 421 : 397);
        cy = y + (full ? 449 : 364);
    }
    transform_points(p, 6, 360 - view->get_rotation(), cx, cy);

    const XrPenHandle& pen = pens[PenDark];
    const XrBrushHandle& shadow = brushes[BrushBlack];
    if (!route) {
        draw_shape(dc, p, 3, nullptr, &shadow);
        draw_shape(dc, p + 3, 3, nullptr, &shadow);
        for (auto& q : p) {
            q.x -= 1;
            q.y -= 1;
        }
    } else {
        XrGDI::select_pen(dc, pen, 3);
        draw_shape(dc, p, 3, &pen, &shadow);
        draw_shape(dc, p + 3, 3, &pen, &shadow);
        XrGDI::set_pen_width(dc, 1);
    }
    draw_shape(dc, p, 3, nullptr, &brushes[BrushRed]);
    draw_shape(dc, p + 3, 3, nullptr, &brushes[BrushWhite]);
    draw_scale_bar(dc, view);
}

void XrRouteLayer::draw_bevel_box(XrDCHandleRec* dc, const XrRectangle& box)
{
    const XrPenHandle old_pen = XrGDI::get_pen(dc);
    const XrBrushHandle old_brush = XrGDI::get_brush(dc);
    const XrPenHandle grey = XrGDI::create_pen(XrGDI::PenSolid, 1, 192, 192, 192);
    const XrPenHandle dark = XrGDI::create_pen(XrGDI::PenSolid, 1, 32, 32, 32);
    const XrBrushHandle dark_fill = XrGDI::create_brush(XrGDI::BrushSolid, 32, 32, 32);
    XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
    XrGDI::select_pen(dc, grey);
    XrGDI::draw_rectangle(dc, box.left - 1, box.top - 1, box.right + 1, box.bottom + 1);
    XrGDI::draw_rectangle(dc, box.left + 1, box.top + 1, box.right - 1, box.bottom - 1);
    XrGDI::select_pen(dc, dark);
    XrGDI::draw_rectangle(dc, box);
    // Top-left and bottom-right quarters.
    XrGDI::select_brush(dc, dark_fill);
    const int mx = (box.left + box.right) / 2;
    const int my = (box.top + box.bottom) / 2;
    XrGDI::draw_rectangle(dc, box.left, box.top, mx, my);
    XrGDI::draw_rectangle(dc, mx, my, box.right, box.bottom);
    XrGDI::restore_pen(dc, old_pen);
    XrGDI::restore_brush(dc, old_brush);
}

void XrRouteLayer::draw_scale_bar(XrDCHandleRec* dc, XrMapView* view)
{
    if (view == nullptr || view->is_3d() || active_route != nullptr)
        return;
    const double factor = host->get_scale_factor();
    const unsigned scale = view->get_scale_value();
    const int ref_units = view->get_reference_units();
    const int ref_pixels = view->get_reference_pixels();
    auto to_pixels = [&](double metres) {
        return xr_routelayer::scale_metres_to_pixels(metres, scale, ref_units, ref_pixels);
    };
    int count = 0;
    const xr_routelayer::XrScaleCandidate* list = xr_routelayer::scale_bar_candidates(display_units, count);
    const int best = xr_routelayer::choose_scale_candidate(display_units, 30 * factor, to_pixels);
    const int length = static_cast<int>(to_pixels(xr_routelayer::scale_candidate_metres(list[best])));
    const int thickness = xr_routelayer::scale_bar_thickness(factor);
    const int bottom = view->get_screen_height() - 10;
    const XrRectangle bar(180, bottom - thickness, 180 + length, bottom);
    draw_bevel_box(dc, bar);

    XrFontHandleRec* font = font_of(FONT_SCALE_BAR);
    if (font == nullptr)
        return;
    const XrString label = xr_routelayer::scale_candidate_label(list[best]);
    XrGDI::select_font(dc, font);
    int w = 0, h = 0;
    XrGDI::get_dc_text_size(dc, label.c_str(), &w, &h);
    int x = bar.left + (length - w) / 2;
    if (x < 2)
        x = 2;
    const int y = bar.top - 2 - h;
    XrColorHandle colour = colours[ColourBlack1];
    XrColorHandle halo = XrGDI::rgb(192, 192, 192);
    if (street_labels != nullptr)
        street_labels->get_label_colors(colour, &halo);
    draw_halo_text(dc, label, x, y, colour, halo);
}

void XrRouteLayer::draw_speed(XrDCHandleRec* dc, const XrPoint& screen)
{
    if (traffic_mode >= 1 && traffic_mode <= 3)
        return;
    if (!gps_fix_valid || current_speed < 0)
        return;
    // Below control 0, moved down by what this layer's panel took above the
    // map in this draw (status line, next street, instruction box), so that
    // the speed never lands on the instruction box.
    XrMapWindow* window = XrMapWindow::get_instance();
    const int layout = window != nullptr ? window->get_current_layout() : 0;
    const XrRectangle control = XrMapWindow::get_ctrl_rectangle_of(layout >= 0 ? layout : 0, 0);
    const int left = control.left + 6;
    const int top = control.bottom + panel_sizes[0] + 6;
    XrColorHandle colour = XrGDI::rgb(255, 128, 128);
    XrColorHandle halo = XrGDI::rgb(128, 0, 0);
    if (street_labels != nullptr)
        street_labels->get_label_colors(colour, &halo);

    last_shown_speed = current_speed;
    XrString number;
    number.format(16, L"%.0lf", xr_routelayer::display_speed(current_speed, display_units));
    const XrString unit(xr_routelayer::display_speed_unit(display_units));
    XrFontHandleRec* big = font_of(FONT_SPEED);
    XrFontHandleRec* small = font_of(FONT_SPEED_UNIT);
    if (big == nullptr || small == nullptr)
        return;
    const XrSize number_size = XrGDI::measure_text(big, number.c_str());
    const XrSize unit_size = XrGDI::measure_text(small, unit.c_str());
    const XrSize wide = XrGDI::measure_text(big, L"200");
    const int column = unit_size.width > wide.width ? unit_size.width : wide.width;
    // Above the bottom band of the panel.
    const int limit = screen.y - panel_sizes[1];
    if (top + number_size.height + unit_size.height + 5 > limit)
        return;
    XrGDI::select_font(dc, big);
    draw_halo_text(dc, number, left + (column - number_size.width) / 2, top, colour, halo);
    XrGDI::select_font(dc, small);
    draw_halo_text(dc, unit, left + (column - unit_size.width) / 2, top + number_size.height, colour, halo);
}

void XrRouteLayer::update_gps_status()
{
    const std::uint32_t t = now();
    if (!gps_present) {
        gps_status = 3;
        gps_status_end = t + 5000;
        gps_status_timed = true;
    } else if (!gps_fix_valid) {
        gps_status = 2;
        gps_status_end = 0;
        gps_status_timed = false;
    } else {
        gps_status = 1;
        gps_status_end = t + 5000;
        gps_status_timed = true;
    }
    if (event_loop == nullptr)
        return;
    event_loop->remove_timeout(this, event_data(EVENT_GPS_STATUS));
    if (gps_status != 2)
        event_loop->add_timeout(5, 0, this, event_data(EVENT_GPS_STATUS));
}

bool XrRouteLayer::set_fix_valid(bool valid)
{
    if (gps_fix_valid == valid)
        return false;
    gps_fix_valid = valid;
    if (event_loop != nullptr) {
        event_loop->remove_timeout(this, event_data(EVENT_NO_FIX));
        if (!valid)
            event_loop->add_timeout(10, 0, this, event_data(EVENT_NO_FIX));
    }
    update_gps_status();
    return true;
}

void XrRouteLayer::set_gps_status(int state, int duration_ms)
{
    const std::uint32_t t = now();
    const bool held = (gps_status == 5 || gps_status == 6) &&
                      (!gps_status_timed || static_cast<std::int32_t>(t - gps_status_end) < 0);
    if ((state == 0 || state == 4) && held)
        return;
    gps_status = state;
    gps_status_end = t + static_cast<std::uint32_t>(duration_ms);
    gps_status_timed = gps_status_end != 0;
}

void XrRouteLayer::draw_gps_status_icon(XrDCHandleRec* dc, const XrPoint& top_right)
{
    if (gps_status_timed && static_cast<std::int32_t>(now() - gps_status_end) > 0) {
        gps_status = 0;
        gps_status_timed = false;
    }
    int index = -1;
    switch (gps_status) {
    case 1:
        index = IconGps1;
        break;
    case 2:
        index = IconGps2;
        break;
    case 3:
        index = IconGps3;
        break;
    default:
        return;
    }
    XrBitmap& icon = icons[index];
    if (icon.bitmap() == nullptr) {
        xr_map_warning("route layer: GPS status icon %d missing", gps_status);
        return;
    }
    const int w = icon.width();
    XrGDI::draw_bitmap_object(dc, top_right.x - 2 - w, top_right.y + 18, &icon, icon.mask() != nullptr);
}
