#include "common/map/xr_safetyscreendrawer.h"

#include "common/bmloader/xr_bitmap.h"
#include "common/types/xr_datetime.h"
#include "common/types/xr_duration.h"

const XrSafetyScreenLayout& XrSafetyScreenLayout::for_width(int width)
{
    static const XrSafetyScreenLayout small = {
        XrPoint(525, 243), XrPoint(525, 295), XrPoint(517, 61), XrPoint(515, 60), XrPoint(645, 196),
        XrPoint(653, 259), XrPoint(653, 313), XrRectangle(540, 14, 653, 313), XrRectangle(620, 71, 648, 153),
        175, 81, 78,
        {L"?:/kestrova/images/route_01_half.png", L"?:/kestrova/images/route_02_half.png",
         L"?:/kestrova/images/route_03_half.png"}};
    static const XrSafetyScreenLayout large = {
        XrPoint(595, 302), XrPoint(595, 372), XrPoint(590, 94), XrPoint(597, 90), XrPoint(749, 242),
        XrPoint(746, 323), XrPoint(746, 392), XrRectangle(623, 30, 746, 392), XrRectangle(709, 102, 740, 187),
        203, 76, 71,
        {L"?:/kestrova/images/route_01.png", L"?:/kestrova/images/route_02.png", L"?:/kestrova/images/route_03.png"}};
    return width < LARGE_WIDTH ? small : large;
}

void XrSafetyScreenDrawer::draw_distance_bars(XrDCHandleRec* dc, const XrRectangle& rect, const XrDistance& distance,
                                              int gap, int corner_radius)
{
    if (dc == nullptr)
        return;
    double value = NO_DISTANCE;
    if (!distance.get_value(value, units == 0 ? XrDistance::Metres : XrDistance::Yards))
        value = NO_DISTANCE;
    const int bar = (rect.bottom - rect.top - BAR_COUNT * gap) / BAR_COUNT;
    for (int i = 0; i < BAR_COUNT; ++i) {
        const bool bright = value <= LIGHT_DISTANCE && value >= THRESHOLDS[i];
        const int r = bright ? 255 : 100;
        XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, r, 0, 0));
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, r, 0, 0));
        const int top = rect.top + (BAR_COUNT - 1 - i) * (bar + gap);
        XrGDI::draw_round_rect(dc, rect.left, top, rect.right, top + bar, 1, corner_radius);
    }
}

namespace {

constexpr int kStreetFont = 75;
constexpr int kSuffixFont = 74;
constexpr int kRemainingFontLarge = 76;
constexpr int kRemainingFontSmall = 81;
constexpr int kStreetWidth = 330;
constexpr int kStreetX = 23;
constexpr int kInstructionBottom = 95;
constexpr int kUturnAfterMetres = 20;
constexpr int kOffRouteIconRight = 6;
constexpr int kOffRouteIconLeft = 28;
constexpr int kNextStreetMaxDistance = 1000;

// Selects the font (when there is one) and draws the text with its top
// right corner at (right, top).
void draw_right_aligned(XrDCHandleRec* dc, XrFontHandleRec* font, const XrString& text, int right, int top)
{
    if (text.is_empty())
        return;
    if (font != nullptr)
        XrGDI::select_font(dc, font);
    const XrSize size = XrGDI::measure_text(font, text.c_str());
    XrGDI::draw_text(dc, text.c_str(), XrPoint(right - size.width, top));
}

void draw_picture(XrDCHandleRec* dc, const XrPoint& at, XrBitmap* picture)
{
    if (picture != nullptr && picture->bitmap() != nullptr)
        XrGDI::draw_bitmap_object(dc, at.x, at.y, picture, true);
}

XrString distance_text(int metres, int units)
{
    return XrDistance(metres, XrDistance::Metres).to_display_string(units, 1);
}

} // namespace

void xr_draw_street_boxes(XrDCHandleRec* dc, const XrPoint& screen, XrSafetyScreenHost& host,
                          const XrString& next_street, const XrString& street)
{
    const bool small = screen.x < XrSafetyScreenLayout::LARGE_WIDTH;
    const XrSafetyScreenLayout& layout = XrSafetyScreenLayout::for_width(screen.x);
    XrFontHandleRec* font = host.get_font(kStreetFont);
    if (font != nullptr)
        XrGDI::select_font(dc, font);
    if (!street.is_empty()) {
        XrString name = street;
        XrGDI::ellipsize_text(dc, name, kStreetWidth);
        XrGDI::draw_text(dc, name.c_str(), XrPoint(kStreetX, small ? 352 : 433));
    }
    if (next_street.is_empty())
        return;
    const XrPoint origin(5, 10);
    host.draw_street_box(dc, XrRectangle(origin.x, origin.y, origin.x + screen.x - layout.instruction_margin,
                                         small ? 48 : 54));
    if (font != nullptr)
        XrGDI::select_font(dc, font);
    XrString text = next_street;
    XrGDI::ellipsize_text(dc, text, screen.x - 20);
    XrGDI::draw_text(dc, text.c_str(), XrPoint(origin.x + 5, origin.y + (small ? 1 : 5)));
}

void xr_draw_safety_screen(XrDCHandleRec* dc, const XrPoint& screen, XrSafetyScreenHost& host,
                           std::uint32_t ms_since_start, int now)
{
    if (dc == nullptr || !host.has_active_route())
        return;
    const bool small = screen.x < XrSafetyScreenLayout::LARGE_WIDTH;
    const XrSafetyScreenLayout& layout = XrSafetyScreenLayout::for_width(screen.x);
    const int phase = XrSafetyScreenLayout::phase(ms_since_start);
    const int units = host.get_display_units();
    const int distance = host.get_directive_distance();
    XrSafetyScreenDrawer drawer;
    drawer.set_units(units);

    draw_picture(dc, layout.first_picture, host.get_picture(0, small));
    draw_picture(dc, layout.second_picture, host.get_picture(1 + phase, small));
    const XrString next_street = distance > kNextStreetMaxDistance ? XrString() : host.get_next_street_text();
    XrGDI::set_text_color(dc, XrGDI::rgb(255, 255, 255));
    XrGDI::set_opaque_text(dc, false);

    const int state = host.get_guidance_state();
    if (state == 4) {
        if (host.get_distance_travelled() > kUturnAfterMetres && !host.is_uturn_announced()) {
            host.play_prompt(L"uturn.wav");
            host.set_uturn_announced();
        }
        host.draw_guidance_sign(dc, layout.sign_off_route,
                                host.is_right_hand_traffic() ? kOffRouteIconRight : kOffRouteIconLeft);
        if (XrFontHandleRec* font = host.get_font(layout.large_font))
            XrGDI::select_font(dc, font);
        xr_draw_street_boxes(dc, screen, host, XrString(), host.get_street_name());
    } else {
        bool bend = false;
        if (state == 1 || state == 3) {
            int icon = -1;
            if (distance <= host.get_largest_announcement()) {
                icon = host.get_direction_icon();
            } else {
                icon = host.get_bend_ahead_icon();
                bend = true;
            }
            if (icon >= 0) {
                host.draw_guidance_sign(dc, layout.sign, icon);
                draw_right_aligned(dc, host.get_font(layout.distance_font), distance_text(distance, units),
                                   layout.distance.x, layout.distance.y);
            }
        }
        if (bend || !host.draw_direction_icon(dc, layout.icon_box, false))
            host.draw_direction_icon(dc, layout.icon_box, true);

        const XrString street = host.get_street_name();
        if (host.shows_street_names() && (!next_street.is_empty() || !street.is_empty()))
            xr_draw_street_boxes(dc, screen, host, next_street, street);
        if (host.should_show_signpost()) {
            host.draw_instruction_graphics(
                dc, XrRectangle(5, 10, 5 + screen.x - layout.instruction_margin, kInstructionBottom));
            host.set_guidance_box_height(kInstructionBottom);
        }
        drawer.draw_distance_bars(dc, layout.bars_box, XrDistance(distance, XrDistance::Metres), 2, 3);
    }

    XrGDI::set_text_color(dc, XrGDI::rgb(255, 255, 255));
    XrGDI::set_opaque_text(dc, false);
    XrFontHandleRec* large = host.get_font(layout.large_font);
    const int minutes = host.get_remaining_minutes();
    if (phase == 1) {
        XrDatetime arrival(now);
        arrival.add_seconds(minutes * 60);
        XrString clock, suffix;
        arrival.to_string_12h(clock, suffix, false, true);
        draw_right_aligned(dc, large, clock, layout.time.x - 18, layout.time.y);
        draw_right_aligned(dc, host.get_font(kSuffixFont), suffix, layout.time.x + 2, layout.time.y + 4);
    } else {
        draw_right_aligned(dc, large, XrDuration(minutes, XrDuration::Minutes).to_string(XrDuration::DisplayHoursMinutes),
                           layout.time.x, layout.time.y);
    }

    const long long remaining = static_cast<long long>(host.get_route_length()) - host.get_distance_travelled() +
                                host.get_later_legs_length();
    const int font = !small && remaining <= 1000000 ? kRemainingFontLarge : kRemainingFontSmall;
    draw_right_aligned(dc, host.get_font(font), distance_text(static_cast<int>(remaining), units), layout.remaining.x,
                       layout.remaining.y);

    host.draw_compass(dc);
    host.update_signpost_height(dc, screen);
}
