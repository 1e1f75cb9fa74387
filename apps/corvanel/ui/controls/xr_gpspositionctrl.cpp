#include "apps/corvanel/ui/controls/xr_gpspositionctrl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>

#include "common/base/xr_singleton.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/geometry/xr_geometry.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_locale_dummy.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/ui/fonts/xr_fontrepository.h"

namespace {

constexpr int kStatusFont = 17;
constexpr int kRowFont = 19;
constexpr int kCompassFont = 68;

template <class T>
T* registered(const wchar_t* name)
{
    return static_cast<T*>(XrSingleton::get_instance(XrString(name)));
}

XrFontHandleRec* font_of(int context)
{
    auto* fonts = registered<XrFontRepository>(L"XrFontRepository");
    return fonts != nullptr ? fonts->get_font(context) : nullptr;
}

int font_size(int context)
{
    XrFontHandleRec* font = font_of(context);
    return font != nullptr ? XrGDI::get_font_size(font) : 0;
}

XrString text_of(int id)
{
    XrString out;
    get_translated_text(out, id);
    return out;
}

XrString joined(const XrString& a, const wchar_t* b)
{
    std::wstring s = a.c_str();
    s += L" ";
    s += b;
    return XrString(s.c_str());
}

XrString format_dms_text(double degrees, bool longitude)
{
    // Whole seconds, truncated; the small allowance keeps a value that is a
    // whole second in decimal (30.995 = 30° 59' 42") from losing it to the
    // binary fraction below it.
    const long long total = static_cast<long long>(std::fabs(degrees) * 3600.0 + 1e-6);
    const int d = static_cast<int>(total / 3600);
    const int m = static_cast<int>(total / 60 % 60);
    const int s = static_cast<int>(total % 60);
    const wchar_t hemisphere = longitude ? (degrees >= 0 ? L'E' : L'W') : (degrees >= 0 ? L'N' : L'S');
    wchar_t buf[32];
    std::swprintf(buf, 32, longitude ? L"%03d\u00B0 %02d' %02d\"%lc" : L"%02d\u00B0 %02d' %02d\"%lc", d, m, s,
                  static_cast<wint_t>(hemisphere));
    return XrString(buf);
}

} // namespace

// ---- the strip compass

XrRectCompass::XrRectCompass()
{
    m_strip_brush = XrGDI::create_brush(XrGDI::BrushSolid, 255, 255, 255);
    m_tick_brush = XrGDI::create_brush(XrGDI::BrushSolid, 0, 0, 0);
    m_target_brush = XrGDI::create_brush(XrGDI::BrushSolid, 0, 255, 0);
    m_arrow_brush = XrGDI::create_brush(XrGDI::BrushSolid, 120, 120, 120);
    m_tick_pen = XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0);
    m_arrow_pen = XrGDI::create_pen(XrGDI::PenSolid, 1, 200, 200, 200);
}

void XrRectCompass::set_rect(const XrRectangle& rect)
{
    m_rect = rect;
    const int q = static_cast<int>(static_cast<unsigned>(rect.bottom - rect.top) / 4u);
    m_strip = XrRectangle(rect.left + q, rect.top, rect.right - q, rect.bottom);
    m_left_arrow = XrRectangle(rect.left, rect.top, m_strip.left - 2, rect.bottom);
    m_right_arrow = XrRectangle(m_strip.right + 2, rect.top, rect.right, rect.bottom);
}

void XrRectCompass::draw_marker(XrDCHandleRec& dc, int x)
{
    const int sh = m_strip.bottom - m_strip.top;
    const int e = static_cast<int>(static_cast<unsigned>(std::max(sh, 0)) / 8u);
    const int L = m_strip.left, B = m_strip.bottom;
    const XrPoint tri[3] = {XrPoint(L + x, B - e - 1), XrPoint(L + x - e, B - 1), XrPoint(L + x + e, B - 1)};
    const int ring = 3;
    XrGDI::select_pen(&dc, m_tick_pen);
    XrGDI::select_brush(&dc, m_target_brush);
    XrGDI::draw_polygon(&dc, tri, &ring, 1);
    XrGDI::draw_polygon_outlined(&dc, tri, &ring, 1, true);
}

void XrRectCompass::draw_arrows(XrDCHandleRec& dc)
{
    XrGDI::select_pen(&dc, m_arrow_pen, 1);
    bool left_green = false, right_green = false;
    if (has_target()) {
        bool counter_clockwise = false;
        get_angle_difference(m_heading, m_target, counter_clockwise);
        (counter_clockwise ? left_green : right_green) = true;
    }
    const int ring = 3;
    const XrRectangle& l = m_left_arrow;
    const XrPoint left[3] = {XrPoint(l.left, l.top + (l.bottom - l.top) / 2), XrPoint(l.right, l.top),
                             XrPoint(l.right, l.bottom)};
    XrGDI::select_brush(&dc, left_green ? m_target_brush : m_arrow_brush);
    XrGDI::draw_polygon(&dc, left, &ring, 1);
    XrGDI::draw_polygon_outlined(&dc, left, &ring, 1, true);
    const XrRectangle& r = m_right_arrow;
    const XrPoint right[3] = {XrPoint(r.right, r.top + (r.bottom - r.top) / 2), XrPoint(r.left, r.top),
                              XrPoint(r.left, r.bottom)};
    XrGDI::select_brush(&dc, right_green ? m_target_brush : m_arrow_brush);
    XrGDI::draw_polygon(&dc, right, &ring, 1);
    XrGDI::draw_polygon_outlined(&dc, right, &ring, 1, true);
}

void XrRectCompass::draw(XrDCHandleRec& dc)
{
    const int L = m_strip.left, T = m_strip.top, Rt = m_strip.right, B = m_strip.bottom;
    const int sw = Rt - L, sh = B - T;
    if (sw <= 0 || sh <= 0)
        return;
    XrGDI::select_pen(&dc, m_tick_pen);
    XrGDI::select_brush(&dc, m_strip_brush);
    XrGDI::set_pen_color(&dc, 0, 0, 0);
    XrGDI::set_brush_color(&dc, 255, 255, 255);
    XrGDI::set_text_color(&dc, XrGDI::rgb(0, 0, 0));
    XrFontHandleRec* font = font_of(kCompassFont);
    if (font != nullptr)
        XrGDI::select_font(&dc, font);
    const int f = font != nullptr ? XrGDI::get_font_size(font) : 0;

    const int line = std::min(sh, f + sh / 2);
    const int p = (f + 6) / 12;
    const int t90 = static_cast<int>((4u * static_cast<unsigned>(sh)) / 10u);
    const int t45 = t90 / 2, t5 = t90 / 4;
    const double g = 135.0 / sw;

    XrGDI::set_pen_width(&dc, p);
    XrGDI::draw_rectangle(&dc, L, T, Rt, B);
    XrGDI::set_clip_rect(&dc, m_strip);

    int angle = m_heading - 67;
    if (angle < 0)
        angle += 360;
    double accumulator = 0.0;
    bool ticked = false;
    for (int x = 0; x < sw; ++x) {
        if (accumulator > 1.0) {
            accumulator -= 1.0;
            angle = (angle + 1) % 360;
            ticked = false;
        }
        if (has_target() && m_target == angle)
            draw_marker(dc, x);
        XrGDI::select_pen(&dc, m_tick_pen);
        XrGDI::select_brush(&dc, m_tick_brush);
        if (!ticked) {
            const wchar_t* letter = nullptr;
            wchar_t number[8] = {0};
            int length = 0;
            if (angle % 90 == 0) {
                static const wchar_t* const kLetters[] = {L"N", L"E", L"S", L"W"};
                letter = kLetters[angle / 90];
                length = t90;
            } else if (angle % 45 == 0) {
                std::swprintf(number, 8, L"%d", angle);
                letter = number;
                length = t45;
            } else if (angle % 5 == 0) {
                length = t5;
            }
            if (angle % 5 == 0) {
                XrGDI::set_pen_width(&dc, letter != nullptr ? 2 * p : p);
                XrGDI::draw_rectangle(&dc, L + x, T, L + x + 1, T + length);
                if (letter != nullptr) {
                    int tw = 0, th = 0;
                    XrGDI::get_dc_text_size(&dc, letter, &tw, &th);
                    XrGDI::draw_text_rect(&dc, letter, L + x - tw / 2, T + line - th, L + x + tw / 2, T + line + 2,
                                          XrGDI::CentreMiddle, -1);
                }
                ticked = true;
            }
        }
        accumulator += g;
    }

    XrGDI::set_pen_width(&dc, p);
    XrGDI::set_pen_color(&dc, 255, 0, 0);
    XrGDI::set_brush_color(&dc, 255, 0, 0);
    XrGDI::draw_rectangle(&dc, L + sw / 2, T, L + sw / 2 + 1, B);

    XrGDI::clear_clip_rect(&dc);
    draw_arrows(dc);
    XrGDI::deselect_font(&dc);
}

// ---- the position control

XrGpsPositionCtrl* XrGpsPositionCtrl::create()
{
    XrGpsPositionCtrl* ctrl = new XrGpsPositionCtrl();
    XR_ASSERT_MSG(ctrl != nullptr, "ctrl");
    ctrl->construct();
    return ctrl;
}

XrGpsPositionCtrl::XrGpsPositionCtrl() : m_text_color(XrGDI::rgb(0, 0, 0))
{
    if (auto* settings = registered<XrAppSettingsProvider>(L"XrAppSettingsProvider"))
        settings->add_listener(this);
}

XrGpsPositionCtrl::~XrGpsPositionCtrl()
{
    if (m_dc != nullptr)
        XrGDI::delete_dc(m_dc);
    delete m_compass;
    if (auto* settings = registered<XrAppSettingsProvider>(L"XrAppSettingsProvider"))
        settings->remove_listener(this);
}

void XrGpsPositionCtrl::construct()
{
    m_compass = new XrRectCompass();
    const bool reversed = XrLocale::get_text_direction() == XrLocale::RightToLeft;
    m_label_align = reversed ? XrGDI::RightTop : XrGDI::LeftTop;
    m_value_align = reversed ? XrGDI::LeftTop : XrGDI::RightTop;
    m_heading_label = text_of(R_STR_GPS_DLG_HEADING);
    m_speed_label = text_of(R_STR_GPS_DLG_SPEED);
    m_destination_label = text_of(R_STR_GPS_DLG_DESTINATION);
    m_latitude_label = text_of(R_STR_COMPASS_LAT_LABEL);
    m_longitude_label = text_of(R_STR_COMPASS_LON_LABEL);
    m_metric = read_metric();
    update_unit_labels();
}

bool XrGpsPositionCtrl::read_metric()
{
    auto* map_settings = registered<XrMapSettingsProvider>(L"XrMapSettingsProvider");
    return map_settings == nullptr || map_settings->get_measurement_system() == 0;
}

void XrGpsPositionCtrl::update_unit_labels()
{
    m_heading_unit = XrString(L"\u00B0");
    m_speed_unit = XrString(XrLocale::get_unit(m_metric ? XrLocale::KilometresPerHour : XrLocale::MilesPerHour));
    m_distance_unit = XrString(XrLocale::get_unit(m_metric ? XrLocale::Kilometres : XrLocale::Miles));
}

void XrGpsPositionCtrl::units_changed()
{
    const bool metric = read_metric();
    if (metric == m_metric)
        return;
    m_metric = metric;
    update_unit_labels();
    size_changed();
}

void XrGpsPositionCtrl::size_changed()
{
    XR_ASSERT_MSG(m_compass != nullptr, "compass");
    const XrRectangle r = get_rectangle();
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (m_dc != nullptr)
        XrGDI::delete_dc(m_dc);
    m_dc = XrGDI::create_memory_dc(m_reference, w, h);
    const int s = static_cast<int>(static_cast<unsigned>(22 * (w + 2 * h)) / 300u);
    const int f = font_size(kRowFont);
    const int spare = std::max(0, h - s - 4 * f) * 100 / 16;
    const int m = 3 * spare / 100;
    m_compass->set_rect(XrRectangle(0, h - s - m, w, h - m));
}

XrString XrGpsPositionCtrl::format_longitude(double degrees) { return format_dms_text(degrees, true); }

XrString XrGpsPositionCtrl::format_latitude(double degrees) { return format_dms_text(degrees, false); }

XrString XrGpsPositionCtrl::format_value(double value)
{
    XrString out;
    XrLocale::format_double(out, value, value < 9.95 ? 1 : 0);
    return out;
}

void XrGpsPositionCtrl::draw(XrDCHandleRec* target) const
{
    XR_ASSERT_MSG(m_dc != nullptr, "bm_dc");
    const XrRectangle r = get_rectangle();
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (m_background.bitmap() != nullptr)
        XrGDI::draw_bitmap(m_dc, 0, 0, w, h, m_background.bitmap(), 0, 0);
    else
        XrGDI::bit_blt(m_dc, 0, 0, w, h, target, r.left, r.top);

    XrFontHandleRec* row_font = font_of(kRowFont);
    if (row_font != nullptr)
        XrGDI::select_font(m_dc, row_font);
    XrGDI::set_text_color(m_dc, m_text_color);
    XrGDI::set_brush_color(m_dc, 0, 0, 0);
    XrGDI::set_opaque_text(m_dc, false);

    auto* positions = registered<XrPositionProvider>(L"XrPositionProvider");
    if (positions == nullptr || !positions->get_position_info().has_fix()) {
        int id = R_STR_GPS_DLG_NO_GPS_FIX;
        if (positions == nullptr || !positions->is_active())
            id = R_STR_GPS_DLG_POSITIONING_METHOD_NOT_SELECTED;
        else if (!positions->is_connected())
            id = R_STR_GPS_DLG_NO_GPS_CONNECTION;
        XrFontHandleRec* status_font = font_of(kStatusFont);
        if (status_font != nullptr)
            XrGDI::select_font(m_dc, status_font);
        const int f17 = font_size(kStatusFont);
        const XrString message = text_of(id);
        XrGDI::draw_bidi_text(m_dc, message.c_str(), XrRectangle(f17 / 2, 0, w - f17 / 2, (2 * h) / 3),
                              XrGDI::BidiEllipsize | XrGDI::BidiVCentre | XrGDI::BidiHCentre);
    } else {
        const XrPositionInfo& info = positions->get_position_info();
        const XrCoordinate& c = info.get_coordinate();

        // The destination: the last waypoint while a route is set.
        XrRouteProvider* routes = XrRouteProvider::get_instance();
        bool route = false;
        XrPoint destination;
        if (routes != nullptr && routes->has_route()) {
            XrRouteProvider::XrWaypoint last;
            const int n = routes->get_waypoint_count();
            if (n > 0 && routes->get_waypoint(n - 1, last)) {
                route = true;
                destination = XrPoint(last.x, last.y);
            }
        }
        XrMapProvider* maps = XrMapProvider::get_instance();
        const XrPoint here = c.to_point(maps != nullptr ? maps->get_projection() : nullptr);

        double heading = 0.0;
        if (!info.get_heading().get_value(heading, XrAngle::Degrees))
            heading = 0.0;
        double speed = 0.0;
        if (!info.get_velocity().get_value(speed, m_metric ? XrVelocity::KilometresPerHour
                                                           : XrVelocity::MilesPerHour))
            speed = 0.0;
        XrString heading_text;
        XrLocale::format_int(heading_text, static_cast<int>(heading), 1);

        auto row = [&](int y, const XrString& label, const XrString& value) {
            XrGDI::draw_text_rect(m_dc, label.c_str(), 0, y, 0, y, m_label_align, -1);
            XrGDI::draw_text_rect(m_dc, value.c_str(), w, y, w, y, m_value_align, -1);
        };
        row(0, m_longitude_label, format_longitude(c.get_longitude()));
        row(40, m_latitude_label, format_latitude(c.get_latitude()));
        row(80, m_heading_label, joined(heading_text, m_heading_unit.c_str()));
        row(120, m_speed_label, joined(format_value(speed), m_speed_unit.c_str()));
        if (route) {
            double metres = here.distance(destination);
            XrRouteLayer* layer = routes->get_route_layer2();
            if (layer != nullptr && layer->get_route_length() > 0)
                metres = std::max(0, layer->get_route_length() - layer->get_distance_travelled());
            const double distance = m_metric ? metres / 1000.0 : metres / 1609.344;
            row(160, m_destination_label, joined(format_value(distance), m_distance_unit.c_str()));
        }

        int target = -1;
        if (route) {
            const double a = get_angle(here, destination);
            const int d = static_cast<int>(a * 180.0 / 3.14159265);
            target = 450 - d;
            if (target >= 360)
                target -= 360;
        }
        m_compass->set_target(target);
        m_compass->set_heading(static_cast<int>(heading));
        m_compass->draw(*m_dc);
    }
    XrGDI::deselect_font(m_dc);
    XrGDI::bit_blt(target, r.left, r.top, r.right, r.bottom, m_dc, 0, 0);
}
