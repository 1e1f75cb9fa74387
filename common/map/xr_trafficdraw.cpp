// The elements the traffic box states draw: the sliding box, the event icon,
// the delay disc, the distance, the chevrons, the ticker and the sound.
#include <algorithm>
#include <cmath>
#include <vector>

#include "common/base/xr_singleton.h"
#include "common/base/xr_singletonref.h"
#include "common/map/xr_trafficstate.h"
#include "common/types/xr_distance.h"
#include "common/ui/fonts/xr_fontrepository.h"

namespace {

constexpr int kBoxTimerMs = 800;
constexpr int kSlideMs = 2000;
constexpr int kBoxMargin = 100;
constexpr int kIconTypeBase = 51;
constexpr int kTickerFont = 49;
constexpr int kDistanceFont = 50;
// Delays above an hour fill the disc.
constexpr int kFullDisc = 3600;
constexpr int kSectorStep = 8;
constexpr int kVoicePathMax = 128;

XrFontHandleRec* font_of(int context)
{
    static XrSingletonRef<XrFontRepository> repository(L"XrFontRepository");
    XrFontRepository* fonts = repository.get();
    return fonts != nullptr ? fonts->get_font(context) : nullptr;
}

void text_size(XrFontHandleRec* font, const XrString& text, int& width, int& height)
{
    width = 0;
    height = 0;
    XrGDI::get_text_size(font, text.c_str(), &width, &height);
}

} // namespace

void XrTrafficVisualization::make_tools()
{
    if (tools_made)
        return;
    black_pen = XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0);
    white_brush = XrGDI::create_brush(XrGDI::BrushSolid, 255, 255, 255);
    dark_red_brush = XrGDI::create_brush(XrGDI::BrushSolid, 192, 0, 0);
    tools_made = true;
}

XrString XrTrafficVisualization::distance_text(int metres) const
{
    return XrDistance(metres, XrDistance::Metres).to_display_string(host->get_display_units(), 1);
}

void XrTrafficVisualization::slide(XrPoint& top_left, XrPoint& bottom_right)
{
    host->set_box_timer(0);
    if (!sliding)
        return;
    const double t = std::min(static_cast<double>(since_start()) / kSlideMs, 1.0);
    slide_offset = static_cast<int>(std::cos(t * M_PI / 2) * (bottom_right.y - top_left.y));
    if (slide_offset < 1) {
        slide_offset = 0;
        sliding = false;
    }
    top_left.y += slide_offset;
    bottom_right.y += slide_offset;
}

void XrTrafficVisualization::draw_box(XrDCHandleRec* dc, const XrPoint& top_left, const XrPoint& bottom_right)
{
    if (dc != nullptr) {
        make_tools();
        XrGDI::select_pen(dc, black_pen);
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, 255, 255, 105));
        XrGDI::draw_rectangle(dc, top_left.x - kBoxMargin, top_left.y, bottom_right.x + kBoxMargin, bottom_right.y);
    }
    host->set_box_timer(kBoxTimerMs);
}

int XrTrafficVisualization::icon_width(int kind) const
{
    XrBitmapHandleRec* bitmap = nullptr;
    XrBitmapHandleRec* mask = nullptr;
    int offset = 0, width = 0, height = 0;
    if (!host->get_poi_icon(kIconTypeBase + kind, bitmap, mask, offset, width, height))
        return 0;
    return std::max(width, 0);
}

int XrTrafficVisualization::draw_icon(XrDCHandleRec* dc, int kind, int x, const XrPoint& top_left,
                                      const XrPoint& bottom_right)
{
    XrBitmapHandleRec* bitmap = nullptr;
    XrBitmapHandleRec* mask = nullptr;
    int offset = 0, width = 0, height = 0;
    if (!host->get_poi_icon(kIconTypeBase + kind, bitmap, mask, offset, width, height) || bitmap == nullptr)
        return 0;
    const int y = top_left.y + (bottom_right.y - top_left.y - height) / 2 - 1;
    if (dc != nullptr)
        XrGDI::draw_bitmap_masked(dc, x, y, x + width, y + height, bitmap, offset, 0, mask);
    return width;
}

void XrTrafficVisualization::draw_delay_disc(XrDCHandleRec* dc, int x, int middle, int delay)
{
    const int u = host->layout_point_for_id(6).x;
    if (dc == nullptr || u <= 0)
        return;
    make_tools();
    XrGDI::select_pen(dc, black_pen);
    XrGDI::select_brush(dc, delay > kFullDisc ? dark_red_brush : white_brush);
    XrGDI::draw_ellipse(dc, x - u, middle - u, x + u, middle + u);
    const int sweep = std::max(delay, 0) / 10;
    if (delay > kFullDisc || sweep == 0)
        return;
    // From 12 o'clock clockwise, closed at the centre.
    std::vector<XrPoint> points;
    points.emplace_back(x, middle);
    auto at = [&](int degrees) {
        const double a = degrees * M_PI / 180.0;
        points.emplace_back(x + static_cast<int>(std::lround(std::sin(a) * u)),
                            middle - static_cast<int>(std::lround(std::cos(a) * u)));
    };
    for (int d = 0; d < sweep; d += kSectorStep)
        at(d);
    at(sweep);
    XrGDI::select_brush(dc, dark_red_brush);
    const int ring = static_cast<int>(points.size());
    XrGDI::draw_polygon(dc, points.data(), &ring, 1);
}

void XrTrafficVisualization::draw_distance(XrDCHandleRec* dc, int metres, int icon_w, const XrPoint& top_left,
                                           const XrPoint& bottom_right)
{
    if (dc == nullptr)
        return;
    const XrString text = distance_text(metres);
    XrFontHandleRec* font = font_of(kDistanceFont);
    if (font != nullptr)
        XrGDI::select_font(dc, font);
    int tw = 0, th = 0;
    text_size(font, text, tw, th);
    const int u = host->layout_point_for_id(6).x;
    const int g = host->layout_point_for_id(7).x;
    const int a = icon_w + 2 * u + g;
    const int width = bottom_right.x - top_left.x;
    const int x = top_left.x + a + (width - a - tw - g) / 2;
    const int y = top_left.y + (bottom_right.y - top_left.y - th) / 2;
    XrGDI::set_text_color(dc, XrGDI::rgb(0, 0, 0));
    XrGDI::set_opaque_text(dc, false);
    XrGDI::draw_text_rect(dc, text.c_str(), x, y, x + tw, y + th, XrGDI::LeftTop, -1);
}

void XrTrafficVisualization::draw_chevrons(XrDCHandleRec* dc, int icon_w, const XrPoint& top_left,
                                           const XrPoint& bottom_right)
{
    if (dc == nullptr)
        return;
    const XrPoint size = host->layout_point_for_id(8);
    const int u = host->layout_point_for_id(6).x;
    const int g = host->layout_point_for_id(7).x;
    const int s = host->layout_point_for_id(9).x;
    const int a = icon_w + 2 * u + g;
    const int mid = (top_left.y + bottom_right.y) / 2;
    make_tools();
    XrGDI::select_brush(dc, dark_red_brush);
    auto chevron = [&](int x) {
        const XrPoint p[3] = {XrPoint(x, mid - size.y / 2), XrPoint(x, mid + size.y / 2), XrPoint(x + size.x - 1, mid)};
        const int ring = 3;
        XrGDI::draw_polygon(dc, p, &ring, 1);
    };
    for (int i = 0; i < 3; ++i) {
        chevron(top_left.x + a + i * s - g / 2);
        chevron(bottom_right.x - i * s - static_cast<int>(1.5 * g) - size.x);
    }
}

void XrTrafficVisualization::draw_event(XrDCHandleRec* dc, int kind, int delay, int metres, const XrPoint& top_left,
                                        const XrPoint& bottom_right)
{
    const int u = host->layout_point_for_id(6).x;
    const int icon_w = draw_icon(dc, kind, top_left.x + 1, top_left, bottom_right);
    draw_delay_disc(dc, top_left.x + icon_w + u, (top_left.y + bottom_right.y) / 2, delay);
    draw_distance(dc, metres, icon_w, top_left, bottom_right);
}

bool XrTrafficVisualization::tick(XrDCHandleRec* dc, const XrString& text, const XrPoint& top_left,
                                  const XrPoint& bottom_right, int kind, int delay)
{
    XrString shown_text;
    shown_text.reserve(text.length());
    for (int i = 0; i < text.length(); ++i)
        shown_text += text.char_at(i) < 32 ? L' ' : text.char_at(i);
    const int u = host->layout_point_for_id(6).x;
    const XrTickerPosition p =
        xr_traffic_ticker(now(), ticker_start, u, bottom_right.x - top_left.x, host->measure_text(shown_text));
    visible = p.visible;
    if (!visible)
        return false;
    if (shown != nullptr)
        *shown = true;
    draw_box(dc, top_left, bottom_right);
    if (dc == nullptr)
        return true;

    XrFontHandleRec* font = font_of(kTickerFont);
    if (font != nullptr)
        XrGDI::select_font(dc, font);
    int tw = 0, th = 0;
    text_size(font, shown_text, tw, th);
    XrGDI::set_text_color(dc, XrGDI::rgb(0, 0, 0));
    XrGDI::set_opaque_text(dc, false);
    XrGDI::set_clip_rect(dc, XrRectangle(top_left.x + 2, top_left.y, bottom_right.x - 2, bottom_right.y));
    const int x = top_left.x + 2 - p.x0;
    XrGDI::draw_text_rect(dc, shown_text.c_str(), x, top_left.y, x + tw, bottom_right.y, XrGDI::LeftMiddle, -1);

    // The icon and the disc scroll out ahead of the text.
    const int g = host->layout_point_for_id(7).x;
    const int a = icon_width(kind) + 2 * u + g;
    if (p.x0 <= 0) {
        const int shift = p.x0 > -a ? p.x0 + a : 0;
        const int icon_w = draw_icon(dc, kind, top_left.x + 1 - shift, top_left, bottom_right);
        draw_delay_disc(dc, top_left.x + icon_w + u - shift, (top_left.y + bottom_right.y) / 2, delay);
    }
    XrGDI::clear_clip_rect(dc);
    return true;
}

void XrTrafficVisualization::play_sound(int shown_id)
{
    const XrTrafficARecord& a = host->get_a_event();
    if (!a.present || a.id != shown_id || a.played == nullptr || *a.played || host->is_audio_playing())
        return;
    XrString path;
    path.format(kVoicePathMax, L"%s/%s/%s", host->get_voice_root().c_str(), host->get_voice_set().c_str(),
                a.sound.c_str());
    host->play_prompt(host->prompt_file_loads(path) ? a.sound : a.fallback_sound);
    *a.played = true;
}
