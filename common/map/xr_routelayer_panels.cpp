// XrRouteLayer: the proximity alert, the traffic box, the guidance panel
// texts and the guidance box with its signpost items.
#include <algorithm>
#include <cstring>

#include "common/addr/xr_addraccessor.h"
#include "common/bmloader/xr_bitmaprectangle.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/graph/xr_routemode.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_poilayer.h"
#include "common/map/xr_routelayer.h"
#include "common/map/xr_routelayer_draw.h"
#include "common/os/xr_eventloopbase.h"

using xr_routelayer::font_of;

namespace {

// Fonts of the font repository.
constexpr int FONT_NEXT_STREET = 30;
constexpr int FONT_STATUS = 31;
constexpr int FONT_STATUS_VALUE = 35;
constexpr int FONT_DISTANCE = 36;
constexpr int FONT_ALERT = 41;
constexpr int FONT_SIGNPOST = 44;
constexpr int FONT_STREET = 51;
constexpr int FONT_STREET_SMALL = 52;
constexpr int FONT_TRAFFIC = 77;

constexpr int BOX_MARGIN = 4;
// Width of the map window's top-right button (the arrow of the route
// layouts), which stands over the right end of the map.
constexpr int TOP_RIGHT_BUTTON = 40;
constexpr int ALERT_TEXT_MAX = 64;

XrIcon sign_icon(int index) { return XrIcon(XrRouteLayer::ICON_ALERT_SIGNS, index, false, 0); }

int text_height(XrFontHandleRec* font)
{
    return font != nullptr ? XrGDI::measure_text(font, L"Xg").height : 0;
}

bool draw_picture(XrDCHandleRec* dc, XrBitmap& bitmap, int x, int y, const char* what)
{
    if (bitmap.bitmap() == nullptr) {
        xr_map_warning("route layer: %s picture missing", what);
        return false;
    }
    XrGDI::draw_bitmap_object(dc, x, y, &bitmap, bitmap.mask() != nullptr);
    return true;
}

// A text cut at the first at sign or tab, at most ALERT_TEXT_MAX characters.
XrString alert_plain_text(const wchar_t* text)
{
    XrString out;
    if (text == nullptr)
        return out;
    int n = 0;
    while (n < ALERT_TEXT_MAX && text[n] != 0 && text[n] != L'@' && text[n] != L'\t')
        ++n;
    out.assign(text, n);
    return out;
}

} // namespace

// ---- Proximity alert

bool XrRouteLayer::draw_proximity_alert(XrDCHandleRec* dc, const XrPoint& position, const XrPoint* offset)
{
    if (static_cast<std::int32_t>(now() - alert_end) > 0 || warning_source == nullptr)
        return false;
    XrBitmapHandleRec* bitmap = nullptr;
    XrBitmapHandleRec* mask = nullptr;
    int source_x = 0, width = 0, height = 0;
    if (!warning_source->get_alert_icon(bitmap, mask, source_x, width, height))
        return false;

    double limit = -1.0;
    int angle = 0, kind = 0;
    const wchar_t* rest = nullptr;
    if (alert_text.is_empty() ||
        !XrPoiLayer::parse_poi_attributes(alert_text.c_str(), limit, angle, kind, &rest))
        rest = alert_text.is_empty() ? L"" : alert_text.c_str();

    XrMapWindow* window = XrMapWindow::get_instance();
    const XrRectangle view_rect = window != nullptr ? window->get_view_rect() : XrRectangle();
    int top = panel_sizes[0] + (offset != nullptr ? offset->y : 0);
    if (top < view_rect.top)
        top = view_rect.top;
    int right = position.x - (active_route != nullptr ? 226 : 56);
    if (!XrMapWindow::is_fullscreen())
        right += 30;
    const int band_top = (window != nullptr ? window->get_height() : position.y + 480) - panel_sizes[1];

    XrString value;
    const int icon_index = xr_routelayer::alert_sign_icon(kind, limit, display_units, value);
    XrIcon sign;
    int sign_side = 0;
    if (icon_index >= 0) {
        sign = sign_icon(icon_index);
        sign_side = sign.icon_height();
    }

    bool text_drawn = false;
    const XrString plain = alert_plain_text(rest);
    XrFontHandleRec* font = font_of(FONT_ALERT);
    if (!plain.is_empty() && font != nullptr) {
        XrGDI::select_font(dc, font);
        XrString text = plain;
        const int room = right - sign_side - 8;
        XrGDI::ellipsize_text(dc, text, room > 10 ? room : 10);
        int tw = 0, th = 0;
        XrGDI::get_dc_text_size(dc, text.c_str(), &tw, &th);
        const int box_h = static_cast<int>(th * 1.1);
        XrRectangle box(right - sign_side - tw - 8, top, right - sign_side, top + box_h);
        XrGDI::select_brush(dc, kind == 0 ? XrGDI::get_stock_brush(XrGDI::StockWhiteBrush) : brushes[BrushLightRed]);
        XrGDI::select_pen(dc, pens[PenLine]);
        int border = line_width;
        draw_rounded_frame(dc, box, border);
        XrGDI::set_opaque_text(dc, false);
        XrGDI::set_text_color(dc, colours[ColourBlack1]);
        XrGDI::draw_text(dc, text.c_str(), XrRectangle(box.left + 4, box.top, box.right - 2, box.bottom),
                         XrGDI::LeftMiddle);
        panel_sizes[0] = top + th + 2;
        panel_sizes[2] = panel_sizes[0];
        text_drawn = true;
    }

    if (icon_index >= 0 && sign.bitmap() != nullptr && (text_drawn || top + sign_side <= band_top)) {
        const int sx = right - sign_side;
        XrGDI::draw_bitmap_masked(dc, sx, top, sx + sign_side - 1, top + sign_side - 1, sign.bitmap(),
                                  sign.x_offset(), 0, sign.mask());
        XrFontHandleRec* value_font = font_of(FONT_SIGNPOST);
        if (!value.is_empty() && value_font != nullptr) {
            XrGDI::select_font(dc, value_font);
            XrGDI::set_opaque_text(dc, false);
            XrGDI::set_text_color(dc, colours[ColourBlack1]);
            const int shift = xr_routelayer::alert_value_offset(value);
            XrGDI::draw_text(dc, value.c_str(), XrPoint(sx + sign_side / 2 - shift, top + sign_side / 2 - 16));
        }
    } else if (icon_index >= 0 && sign.bitmap() == nullptr) {
        xr_map_warning("route layer: alert sign %d missing", icon_index);
    }

    // The large alert picture.
    XrIcon large;
    if (bitmap == nullptr && kind != 0) {
        large = sign_icon(11);
        bitmap = large.bitmap();
        mask = large.mask();
        source_x = large.x_offset();
        width = large.icon_width();
        height = large.icon_height();
    }
    if (bitmap == nullptr) {
        xr_map_warning("route layer: proximity alert without a picture");
    } else if (top + height <= band_top) {
        const int left = position.x - width;
        XrGDI::draw_bitmap_masked(dc, left, top, left + width - 1, top + height - 1, bitmap, source_x, 0, mask);
        panel_sizes[2] = top + height;
    }
    return true;
}

bool XrRouteLayer::draw_alert_icon(XrDCHandleRec* dc, XrPoint& position)
{
    if (static_cast<std::int32_t>(now() - alert_end) > 0 || warning_source == nullptr)
        return false;
    XrBitmapHandleRec* bitmap = nullptr;
    XrBitmapHandleRec* mask = nullptr;
    int source_x = 0, width = 0, height = 0;
    if (!warning_source->get_alert_icon(bitmap, mask, source_x, width, height))
        return false;
    if (bitmap == nullptr) {
        xr_map_warning("route layer: proximity alert without a picture");
        return false;
    }
    XrGDI::draw_bitmap_masked(dc, position.x, position.y, position.x + width - 1, position.y + height - 1, bitmap,
                              source_x, 0, mask);
    return true;
}

void XrRouteLayer::draw_rounded_frame(XrDCHandleRec* dc, XrRectangle& box, int& border)
{
    const int half = border / 2;
    XrGDI::set_pen_width(dc, border);
    XrGDI::draw_round_rect(dc, box.left + half, box.top + half, box.right - half, box.bottom - half, border, 5);
}

// ---- Traffic box

void XrRouteLayer::init_traffic_bitmaps()
{
    if (traffic_frame != nullptr)
        return;
    traffic_frame = std::make_unique<XrBitmapRectangle>();
    if (!traffic_frame->load_bitmap(ICON_YELLOW_FRAME))
        xr_map_warning("route layer: yellow frame picture 0x%08X missing", ICON_YELLOW_FRAME);
}

void XrRouteLayer::blink_traffic_box()
{
    const std::uint32_t t = now();
    if (static_cast<std::int32_t>(t - (blink_time + 3000)) > 0 && (blink_count == 0 || blink_count == 1)) {
        blink_count ^= 1;
        blink_time = t;
    }
}

bool XrRouteLayer::draw_traffic_box(XrDCHandleRec* dc, XrPoint& position, XrRectangle& box, int icon, int distance)
{
    if (traffic_state != nullptr)
        traffic_state = XrTrafficVisualization::draw_state(traffic_state, dc);
    traffic_icon = icon;
    traffic_distance = distance;
    bool drawn = false;
    if (traffic_box_requested) {
        blink_traffic_box();
        init_traffic_bitmaps();
        if (blink_count == 0) {
            XrIcon picture = sign_icon(traffic_icon);
            if (picture.bitmap() != nullptr) {
                const int side = picture.icon_height();
                XrGDI::draw_bitmap_masked(dc, position.x, position.y, position.x + side - 1, position.y + side - 1,
                                          picture.bitmap(), picture.x_offset(), 0, picture.mask());
            } else {
                xr_map_warning("route layer: traffic icon %d missing", traffic_icon);
            }
            if (traffic_frame != nullptr && traffic_frame->get_min_size().width > 0)
                traffic_frame->draw(dc, XrPoint(box.left, box.top),
                                    XrSize(box.right - box.left, box.bottom - box.top));
            XrFontHandleRec* font = font_of(FONT_TRAFFIC);
            if (font != nullptr) {
                XrGDI::select_font(dc, font);
                XrGDI::set_opaque_text(dc, false);
                XrGDI::set_text_color(dc, colours[ColourBlack1]);
                const XrString text = XrDistance(traffic_distance, XrDistance::Metres).to_display_string(display_units, 1);
                XrGDI::draw_text(dc, text.c_str(), XrRectangle(box.left, box.top - 2, box.right, box.bottom - 2),
                                 XrGDI::CentreMiddle);
            }
            drawn = true;
        }
        if (traffic_state != nullptr)
            XrTrafficVisualization::draw_in_rect(traffic_state, dc, box);
    } else if (traffic_state_drawn && traffic_state != nullptr) {
        XrTrafficVisualization::draw_in_rect(traffic_state, dc, box);
    }
    XrGDI::set_text_color(dc, XrGDI::rgb(255, 255, 255));
    XrGDI::set_opaque_text(dc, false);
    XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
    const bool result = traffic_box_requested && blink_count == 0;
    traffic_box_requested = false;
    traffic_state_drawn = false;
    return result && drawn;
}

void XrRouteLayer::draw_traffic_state(XrDCHandleRec* dc, const XrPoint& screen)
{
    (void)screen;
    if (active_route == nullptr) {
        reset_traffic_state();
        return;
    }
    if (traffic_state == nullptr)
        return;
    const XrRectangle rect(20, -40, 60, -20);
    XrRectangle r(rect.left, screen.y + rect.top, rect.right, screen.y + rect.bottom);
    if (XrTrafficVisualization::draw_in_rect(traffic_state, dc, r))
        guidance.add_trip_value(traffic_state->get_value());
}

void XrRouteLayer::reset_traffic_state() { traffic_state = XrTrafficVisualization::reset(traffic_state, &traffic_link); }

bool XrRouteLayer::is_traffic_value_high() const { return traffic_state != nullptr && traffic_state->get_value() > 25; }

void XrRouteLayer::mark_traffic_time() { blink_time = now(); }

// ---- Panel texts

void XrRouteLayer::format_remaining_time(int minutes, XrString& out)
{
    out = xr_routelayer::format_remaining_time(minutes);
}

void XrRouteLayer::draw_guidance_sign(XrDCHandleRec* dc, const XrPoint& position, bool panel, const XrPoint* offset)
{
    bool usa = false;
    if (addr != nullptr && addr->get_country_count() > 0) {
        XrString country;
        if (addr->get_country_name(0, country) == XrAddrAccessor::OK)
            usa = country == L"USA";
    }
    const unsigned id = ICON_GUIDANCE_SIGNS + (panel ? 0 : 2) + (usa ? 1 : 0);
    XrBitmap sign(id, false);
    const int x = position.x + (offset != nullptr ? offset->x : 0);
    const int y = position.y + (offset != nullptr ? offset->y : 0);
    if (sign.bitmap() == nullptr) {
        xr_map_warning("route layer: guidance sign 0x%08X missing", id);
        return;
    }
    XrGDI::draw_bitmap_object(dc, x, y, &sign, panel && sign.mask() != nullptr);
    if (panel)
        panel_sizes[0] = y + sign.height();
}

void XrRouteLayer::draw_lane_glyph(XrDCHandleRec* dc, int kind, XrPoint& top_left, XrPoint& bottom_right)
{
    const XrBrushHandle old = XrGDI::get_brush(dc);
    if (kind == 1) {
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, 255, 0, 0));
        const int line = top_left.y + (bottom_right.y - top_left.y) / 6;
        XrGDI::draw_rectangle(dc, top_left.x, top_left.y, bottom_right.x, line);
        top_left.y = line;
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 0, 255));
        XrGDI::draw_rectangle(dc, top_left.x, line - 1, bottom_right.x, bottom_right.y);
    } else if (kind == 3) {
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, 60, 130, 100));
        XrGDI::draw_rectangle(dc, top_left.x, top_left.y - 1, bottom_right.x, bottom_right.y);
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, 255, 255, 255));
        XrGDI::draw_ellipse(dc, top_left.x + 4, top_left.y + 1, bottom_right.x - 4, bottom_right.y - 1);
    } else {
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, 255, 255, 255));
        XrGDI::draw_rectangle(dc, top_left.x, top_left.y, bottom_right.x, bottom_right.y);
    }
    XrGDI::restore_brush(dc, old);
}

void XrRouteLayer::get_box_metrics(int& first, int& second) const
{
    first = box_metrics[0];
    second = box_metrics[1];
}

bool XrRouteLayer::get_panel_sizes(int& top, int& band, int* alert_bottom, int* traffic_value) const
{
    top = panel_sizes[0];
    band = panel_sizes[1];
    if (alert_bottom != nullptr)
        *alert_bottom = panel_sizes[2];
    if (traffic_value != nullptr)
        *traffic_value = traffic_state != nullptr ? traffic_state->get_value() : 0;
    return true;
}

bool XrRouteLayer::should_show_signpost(const XrRouteInstructions::XrRouteDirective* directive, int distance) const
{
    if (signpost_items.get_num_items() == 0 || signpost_segment == -1)
        return false;
    const int lo = std::min(signpost_segment, signpost_start);
    const int hi = std::max(signpost_segment, signpost_start);
    if (current_segment < lo || current_segment > hi)
        return false;
    return is_signpost_directive(directive) && distance < signpost_distance;
}

bool XrRouteLayer::is_signpost_directive(const XrRouteInstructions::XrRouteDirective* directive)
{
    if (directive == nullptr)
        return false;
    const std::uint32_t code = directive->code();
    return code != 0 && code != 7 && code != 12;
}

bool XrRouteLayer::is_guidance_busy() const
{
    if (active_route == nullptr)
        return false;
    const long long product = static_cast<long long>(directive_distance) * units_per_metre;
    if (product == -1)
        return false;
    return product < largest_announce || static_cast<std::int32_t>(now() - alert_end) <= 0;
}

long long XrRouteLayer::get_trip_statistics(int& seconds) const
{
    return guidance.get_trip_statistics(now(), seconds);
}

void XrRouteLayer::reset_trip_statistics()
{
    guidance.start_trip(now());
}

void XrRouteLayer::set_info_record(const XrTrafficCRecord& record)
{
    c_event = record;
    c_event.present = true;
}

void XrRouteLayer::set_info_record2(const XrTrafficARecord& record)
{
    a_event = record;
    a_event.present = true;
}

bool XrRouteLayer::get_edge_street_name(XrGid gid, XrString* name, XrString* area)
{
    if (area != nullptr)
        area->clear();
    if (addr == nullptr)
        return false;
    // The road's geometry id is its key in the address database, as for the
    // street labels.
    XrString found;
    unsigned int county = 0;
    int type = 0;
    if (addr->get_street_by_gid(gid, found, &county, &type, 0, nullptr) != XrAddrAccessor::OK)
        return false;
    if (name != nullptr)
        *name = found;
    if (area != nullptr) {
        BYTE attribute = 0;
        int next = 0;
        XrString county_name;
        if (addr->get_county(county, county_name, attribute, next) == XrAddrAccessor::OK)
            *area = county_name;
    }
    return true;
}

// ---- Guidance box

bool XrRouteLayer::draw_guidance_box(XrDCHandleRec* dc, const XrPoint& screen,
                                     const XrRouteInstructions::XrRouteDirective* directive, int d)
{
    if (directive == nullptr || directive->code() == 0)
        return false;
    const XrPenHandle old_pen = XrGDI::get_pen(dc);
    const XrBrushHandle old_brush = XrGDI::get_brush(dc);
    const XrPenHandle& outline = pens[PenGreenLight1];
    const XrPenHandle& dark = pens[PenGreenDark];
    const XrBrushHandle& box_brush = brushes[BrushGreenDark];
    int border = line_width;
    // The box is laid out from the top; the panel size grows to its bottom.
    int top = 0;
    // The status line ends left of the window's top-right button, which
    // the window puts at the right edge of its layout's nominal width.
    const XrMapWindow* window = XrMapWindow::get_instance();
    const int layout = window != nullptr ? window->get_current_layout() : -1;
    const int window_width = layout >= 0 ? XrMapWindow::get_nominal_size_of(layout).width : screen.x;
    const int top_right = std::min(screen.x, window_width) - TOP_RIGHT_BUTTON - 1;

    // 1. Status line.
    XrFontHandleRec* status_font = font_of(FONT_STATUS);
    const int line_h = text_height(status_font) * 5 / 4;
    const int traffic_h = traffic_state != nullptr ? traffic_state->get_value() : 0;
    if (line_h > 0 && traffic_h <= line_h) {
        XrRectangle line(0, top, top_right, top + line_h);
        XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
        XrGDI::select_pen(dc, outline);
        draw_rounded_frame(dc, line, border);
        XrRectangle inner(line.left + 1, line.top + 1, line.right - 1, line.bottom - 1);
        XrGDI::select_brush(dc, box_brush);
        XrGDI::select_pen(dc, dark);
        int one = 1;
        draw_rounded_frame(dc, inner, one);
        top = line.bottom + 1;

        XrString value;
        if (guidance.get_state() == STATE_ON_ROUTE && distance_travelled > 0) {
            if (show_distance) {
                const long long left =
                    static_cast<long long>(route_length) - distance_travelled + get_later_legs_length();
                value = XrDistance(static_cast<double>(left < 0 ? 0 : left), XrDistance::Metres)
                            .to_display_string(display_units, 1);
            } else {
                value = xr_routelayer::format_remaining_time(remaining_minutes);
            }
        }
        XrGDI::set_opaque_text(dc, false);
        XrGDI::set_text_color(dc, colours[ColourWhite]);
        int value_w = 0;
        if (!value.is_empty()) {
            XrFontHandleRec* value_font = font_of(FONT_STATUS_VALUE);
            if (value_font != nullptr) {
                XrGDI::select_font(dc, value_font);
                value_w = XrGDI::measure_text(value_font, value.c_str()).width;
                XrGDI::draw_text(dc, value.c_str(), XrRectangle(line.left, line.top, line.right - 6, line.bottom),
                                 XrGDI::RightMiddle);
            }
        }
        if (!street_name.is_empty() && status_font != nullptr) {
            XrGDI::select_font(dc, status_font);
            XrString name(street_name.c_str(), std::min(street_name.length(), 64));
            const int room = line.right - 6 - value_w - 12 - (line.left + 6);
            if (room > 0) {
                XrGDI::ellipsize_text(dc, name, room);
                XrGDI::draw_text(dc, name.c_str(), XrRectangle(line.left + 6, line.top, line.left + 6 + room, line.bottom),
                                 XrGDI::LeftMiddle);
            }
        }
    }

    // Signpost of the junction ahead, right of the instruction box.
    if (should_show_signpost(directive, d)) {
        int h = 0;
        const XrPoint origin(0, top);
        draw_signpost_items(dc, screen, h, true, &origin, true);
    }

    // 2. Next-street line.
    if (directive->code() != XrRouteInstructions::CODE_DESTINATION && !next_street_name.is_empty() &&
        d < largest_announce && guidance.get_state() != STATE_OFF_ROUTE) {
        XrFontHandleRec* font = font_of(FONT_NEXT_STREET);
        const int h = text_height(font);
        if (font != nullptr && h > 0) {
            XrRectangle line(0, top, screen.x - 1, top + h + 2);
            const bool near = d < 200;
            XrGDI::select_pen(dc, dark);
            XrGDI::select_brush(dc, near ? brushes[BrushYellow1] : box_brush);
            draw_rounded_frame(dc, line, border);
            XrGDI::select_font(dc, font);
            XrGDI::set_opaque_text(dc, false);
            XrGDI::set_text_color(dc, near ? colours[ColourBlack1] : colours[ColourWhite]);
            XrString name = next_street_name;
            XrGDI::ellipsize_text(dc, name, line.right - line.left - 12);
            XrGDI::draw_text(dc, name.c_str(), XrRectangle(line.left + 6, line.top, line.right - 6, line.bottom),
                             XrGDI::CentreMiddle);
            top = line.bottom + 1;
        }
    }

    bool drawn = false;
    // 3. Instruction box.
    if (guidance.get_state() == STATE_ON_ROUTE && d < largest_announce) {
        XrFontHandleRec* dist_font = font_of(FONT_DISTANCE);
        const int icon_column = icons[IconBox].width();
        const int text_w = dist_font != nullptr ? XrGDI::measure_text(dist_font, L"999 yd").width : 0;
        const int width = std::max(icon_column, text_w) + 2 * (line_width + BOX_MARGIN);
        const int icon_h = icons[IconBox].height() > 0 ? icons[IconBox].height() : 64;
        const int dist_h = text_height(dist_font);
        XrRectangle box(0, top, width, top + icon_h + dist_h + 2 * BOX_MARGIN);
        XrGDI::select_pen(dc, outline);
        XrGDI::select_brush(dc, box_brush);
        draw_rounded_frame(dc, box, border);
        const int icon_x = box.left + (width - icon_column) / 2;
        const int icon_y = box.top + BOX_MARGIN;
        if (icons[IconBox].bitmap() != nullptr)
            XrGDI::draw_bitmap_object(dc, icon_x, icon_y, &icons[IconBox], icons[IconBox].mask() != nullptr);
        draw_direction_icon(dc, directive, XrPoint(icon_x, icon_y), d);
        box_metrics[0] = width;
        box_metrics[1] = box.bottom;

        // The street after the instruction, right of the box.
        if (!next_street_name.is_empty()) {
            XrFontHandleRec* font = font_of(FONT_STREET);
            const int room = screen.x - box.right - 12;
            if (font != nullptr && room > 0) {
                if (XrGDI::measure_text(font, next_street_name.c_str()).width > room && font_of(FONT_STREET_SMALL))
                    font = font_of(FONT_STREET_SMALL);
                XrGDI::select_font(dc, font);
                XrString name = next_street_name;
                XrGDI::ellipsize_text(dc, name, room);
                xr_routelayer::draw_halo_text(dc, name, box.right + 8, box.top + BOX_MARGIN, colours[ColourBlack1],
                                              XrGDI::rgb(255, 255, 255));
            }
        }
        // The distance below the icon.
        if (dist_font != nullptr) {
            const XrString text = XrDistance(d, XrDistance::Metres).to_display_string(prompt_units, 1);
            XrGDI::select_font(dc, dist_font);
            XrGDI::set_opaque_text(dc, false);
            XrGDI::set_text_color(dc, colours[ColourWhite]);
            XrGDI::draw_text(dc, text.c_str(),
                             XrRectangle(box.left, icon_y + icon_h, box.right, box.bottom - BOX_MARGIN / 2),
                             XrGDI::CentreMiddle);
        }
        top = box.bottom + 1;

        // A close follow-up: its small icon under the box.
        if (next_directive != nullptr && next_directive->code() != 0 &&
            next_directive->code() != XrRouteInstructions::CODE_DESTINATION) {
            XrBitmap& follow = icons[IconFollow];
            const int fy = box.bottom + 1;
            if (draw_picture(dc, follow, box.left, fy, "follow-up")) {
                const int number = get_direction_icon(next_directive, nullptr, -1, current_directive_index - 1);
                if (number >= 0 && number < DIRECTION_ICON_COUNT && direction_icons != nullptr) {
                    XrBitmap small(direction_icons[number], false);
                    if (small.bitmap() != nullptr) {
                        const int w = std::min(small.width(), follow.width());
                        const int h = std::min(small.height(), follow.height());
                        XrGDI::draw_bitmap_masked(dc, box.left + (follow.width() - w) / 2, fy + (follow.height() - h) / 2,
                                                  box.left + (follow.width() - w) / 2 + w - 1,
                                                  fy + (follow.height() - h) / 2 + h - 1, small.bitmap(), 0, 0,
                                                  small.mask());
                    }
                }
                top = fy + follow.height() + 1;
            }
        }
        drawn = true;
    }

    // 4. Off the route: the U-turn icon.
    if (guidance.get_state() == STATE_OFF_ROUTE && distance_travelled >= 21) {
        const int number = xr_routelayer::uturn_icon(right_hand_traffic);
        if (direction_icons != nullptr) {
            XrBitmap uturn(direction_icons[number], false);
            draw_picture(dc, uturn, BOX_MARGIN, top + BOX_MARGIN, "U-turn");
            if (uturn.bitmap() != nullptr)
                top += uturn.height() + 2 * BOX_MARGIN;
        }
        if (!announced_far) {
            if (active_route != nullptr && active_route->route_mode != ROUTE_MODE_PEDESTRIAN &&
                options[OPTION_SPEAK_WAYPOINTS])
                play_prompts(L"uturn.wav", nullptr, nullptr);
            announced_far = true;
        }
    }
    panel_sizes[0] = std::max(panel_sizes[0], top);
    XrGDI::restore_pen(dc, old_pen);
    XrGDI::restore_brush(dc, old_brush);
    return drawn;
}

void XrRouteLayer::layout_signpost_items(XrDCHandleRec* dc, const XrPoint& screen, bool with_icon)
{
    (void)dc;
    signpost_gfx.remove_all();
    XrFontHandleRec* font = font_of(FONT_SIGNPOST);
    if (font == nullptr)
        return;
    const int row_h = XrGDI::measure_text(font, L"fog").height + 6;
    int start = with_icon ? icons[IconBox].width() + line_width + 7 : 6;
    if (external_canvas != nullptr)
        start = 6;
    XrSiGfx frame;
    frame.kind = 0;
    signpost_gfx.append(frame);
    int x = start, row = 0, bottom = row_h;
    int row_first = 1;
    for (int i = 0; i < signpost_items.get_num_items(); ++i) {
        const XrSignpostItemRec* item = signpost_items.get_item_ptr(i);
        XrString text = item->text;
        int kind = item->kind == 0 ? 1 : item->kind == 3 ? 3 : 2;
        if (item->kind == 0) {
            int s = 0, idx = 0;
            parse_scheme_prefix(item->text, s, idx);
            text = XrString(item->text.is_empty() ? L"" : item->text.c_str_at(s));
        }
        const int w = XrGDI::measure_text(font, text.is_empty() ? L"" : text.c_str()).width +
                      (item->kind == 3 ? 12 : 4);
        if (item->kind == 2) {
            x += w;
            continue;
        }
        if (x + w > screen.x - 2 && x > start) {
            if (row == 2)
                break;
            for (int k = row_first; k < signpost_gfx.get_num_items(); ++k) {
                XrSiGfx* g = signpost_gfx.get_item_ptr(k);
                if (g->kind == 2) {
                    g->top += 2;
                    g->bottom += 2;
                }
            }
            ++row;
            x = start;
            row_first = signpost_gfx.get_num_items();
            bottom = (row + 1) * row_h;
        }
        XrSiGfx g;
        g.kind = kind;
        g.left = x;
        g.top = row * row_h + 2;
        g.right = x + w;
        g.bottom = (row + 1) * row_h - 1;
        g.text = item->kind == 0 ? item->text : text;
        signpost_gfx.append(g);
        x += w + 4;
    }
    XrSiGfx* first = signpost_gfx.get_item_ptr(0);
    first->left = 0;
    first->top = 0;
    first->right = screen.x - 1;
    first->bottom = bottom + 2;
}

void XrRouteLayer::draw_signpost_items(XrDCHandleRec* dc, const XrPoint& screen, int& height, bool draw_frame,
                                       const XrPoint* origin, bool frame_bottom)
{
    height = 0;
    XrFontHandleRec* font = font_of(FONT_SIGNPOST);
    if (font == nullptr)
        return;
    XrGDI::select_font(dc, font);
    if (signpost_items.get_num_items() > 0)
        layout_signpost_items(dc, screen, origin == nullptr);
    XrGDI::select_pen(dc, pens[PenLine]);
    const int ox = origin != nullptr ? origin->x : 0;
    const int oy = origin != nullptr ? origin->y : 0;
    for (int i = 0; i < signpost_gfx.get_num_items(); ++i) {
        const XrSiGfx* g = signpost_gfx.get_item_ptr(i);
        XrRectangle r(ox + g->left, oy + g->top, ox + g->right, oy + g->bottom);
        switch (g->kind) {
        case 0:
            height = std::max(height, g->bottom);
            if (draw_frame) {
                if (!frame_bottom)
                    r.bottom = screen.y;
                XrGDI::select_brush(dc, brushes[BrushGreenDark]);
                XrGDI::select_pen(dc, pens[PenLine]);
                int border = line_width;
                draw_rounded_frame(dc, r, border);
            }
            break;
        case 1:
        case 3: {
            int start = 0, index = 19;
            if (g->kind == 1)
                parse_scheme_prefix(g->text, start, index);
            const XrSignpostScheme& s = schemes[index];
            XrGDI::select_pen(dc, s.pen, line_width);
            XrGDI::select_brush(dc, s.brush);
            if (s.shape == 2)
                XrGDI::draw_round_rect(dc, r, line_width, 5);
            else if (s.shape == 1 || s.shape >= 20)
                XrGDI::draw_rectangle(dc, r);
            XrGDI::set_opaque_text(dc, false);
            XrGDI::set_text_color(dc, s.text_colour);
            const XrString text(g->text.is_empty() ? L"" : g->text.c_str_at(start));
            XrGDI::draw_bidi_text(dc, text.c_str(), XrRectangle(r.left, r.top + 2, r.right, r.bottom + 2), 11);
            break;
        }
        case 2:
            XrGDI::set_opaque_text(dc, false);
            XrGDI::set_text_color(dc, XrGDI::rgb(255, 255, 255));
            XrGDI::draw_bidi_text(dc, g->text.is_empty() ? L"" : g->text.c_str(), r, 8);
            break;
        default:
            break;
        }
    }
}
