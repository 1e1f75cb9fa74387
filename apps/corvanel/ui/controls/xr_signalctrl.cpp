#include "apps/corvanel/ui/controls/xr_signalctrl.h"

#include <algorithm>
#include <cstdio>

#include "common/base/xr_singleton.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/misc/xr_locale_dummy.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/types/xr_trig.h"
#include "common/ui/fonts/xr_fontrepository.h"

namespace {

constexpr int kStatusFont = 17;
constexpr int kBarNumberFont = 20;
constexpr int kSkyNumberFont = 21;

constexpr int kSkyNoFixIcon = 0x49A7001B;
constexpr int kSkyFixIcon = 0x49A7001C;
constexpr int kBarIcon = 0x49A7001A;

XrPositionProvider* position_provider()
{
    return static_cast<XrPositionProvider*>(XrSingleton::get_instance(XrString(L"XrPositionProvider")));
}

XrFontHandleRec* font_of(int context)
{
    auto* fonts = static_cast<XrFontRepository*>(XrSingleton::get_instance(XrString(L"XrFontRepository")));
    return fonts != nullptr ? fonts->get_font(context) : nullptr;
}

int font_size(int context)
{
    XrFontHandleRec* font = font_of(context);
    return font != nullptr ? XrGDI::get_font_size(font) : 0;
}

XrBitmap icon_bitmap(int id) { return id == -1 ? XrBitmap() : XrBitmap(static_cast<unsigned>(id), false); }

// A receiver reports no ratio as a negative value or garbage: no signal.
int signal_of(int snr) { return snr > 0 ? snr : 0; }

void draw_image(XrDCHandleRec& dc, XrBitmap& bitmap, int left, int top, int right, int bottom)
{
    if (bitmap.mask() != nullptr)
        XrGDI::draw_bitmap_masked(&dc, left, top, right, bottom, bitmap.bitmap(), 0, 0, bitmap.mask());
    else
        XrGDI::draw_bitmap(&dc, left, top, right, bottom, bitmap.bitmap(), 0, 0);
}

} // namespace

bool xr_satellite_used(const XrStaticArray<int>& used, int number)
{
    for (int i = 0; i < used.get_num_items(); ++i)
        if (*used.get_item_ptr(i) == number)
            return true;
    return false;
}

// ---- the sky plot

XrSatellitePositions::XrSatellitePositions(int no_fix_icon, int fix_icon)
    : m_no_fix_background(icon_bitmap(no_fix_icon)), m_fix_background(icon_bitmap(fix_icon))
{
}

int XrSatellitePositions::get_height() { return m_fix_background.bitmap() != nullptr ? m_fix_background.height() : 0; }

XrPoint XrSatellitePositions::satellite_point(int cx, int cy, int r, const XrSVData& sv)
{
    const double d = r * cos_deg(sv.elevation);
    const int angle = 120 - static_cast<int>(sv.azimuth);
    return XrPoint(static_cast<int>(cx + d * cos_deg(angle)), static_cast<int>(cy + d * sin_deg(angle)));
}

int XrSatellitePositions::snr_fill_height(int snr, int inner_height)
{
    return std::min(signal_of(snr) * 35 / 100, std::max(inner_height, 0));
}

void XrSatellitePositions::draw(XrDCHandleRec& dc, bool snr_fill)
{
    XrPositionProvider* positions = position_provider();
    const bool fix = positions != nullptr && positions->get_position_info().has_fix();
    XrBitmap& background = fix ? m_fix_background : m_no_fix_background;
    int radius = 0;
    if (background.bitmap() != nullptr) {
        const int bw = background.width(), bh = background.height();
        draw_image(dc, background, m_cx - bw / 2, m_cy - bw / 2, m_cx + bw / 2, m_cy + bw / 2);
        radius = bh / 2 - font_size(kSkyNumberFont) / 2 - 1;
    }
    if (!fix || !positions->is_connected())
        return;

    XrFontHandleRec* font = font_of(kSkyNumberFont);
    if (font != nullptr)
        XrGDI::select_font(&dc, font);
    XrGDI::set_text_color(&dc, XrGDI::rgb(0, 0, 0));
    XrGDI::set_opaque_text(&dc, false);
    const XrPenHandle pen = XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0);
    const XrPenHandle fill_pen = XrGDI::create_pen(static_cast<XrGDI::PenStyle>(4), 1, 0, 0, 0);
    const XrBrushHandle green = XrGDI::create_brush(XrGDI::BrushSolid, 60, 255, 60);
    const XrBrushHandle grey = XrGDI::create_brush(XrGDI::BrushSolid, 180, 180, 180);
    XrGDI::select_pen(&dc, pen);

    const XrPositionInfo& info = positions->get_position_info();
    const XrStaticArray<XrSVData>& in_view = info.get_satellites_in_view();
    const XrStaticArray<int>& used = info.get_used_satellites();
    for (int pass = 0; pass < 2; ++pass) {
        const bool used_pass = pass == 1;
        XrGDI::select_brush(&dc, used_pass ? green : grey);
        for (int i = 0; i < in_view.get_num_items(); ++i) {
            const XrSVData& sv = *in_view.get_item_ptr(i);
            if (xr_satellite_used(used, sv.number) != used_pass)
                continue;
            const XrPoint p = satellite_point(m_cx, m_cy, radius, sv);
            wchar_t label[8];
            std::swprintf(label, 8, L"%d", static_cast<int>(sv.number));
            int tw = 0, th = 0;
            XrGDI::get_dc_text_size(&dc, label, &tw, &th);
            XrRectangle box(p.x - tw / 2 - 3, p.y - th / 2 - 1, p.x + tw / 2 + 3, p.y + th / 2 + 1);
            if (box.left > box.right)
                std::swap(box.left, box.right);
            if (box.top > box.bottom)
                std::swap(box.top, box.bottom);
            XrGDI::draw_rectangle(&dc, box);
            const XrRectangle inner(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1);
            if (used_pass && snr_fill) {
                const int k = snr_fill_height(sv.snr, inner.bottom - inner.top);
                XrGDI::select_brush(&dc, grey);
                XrGDI::select_pen(&dc, fill_pen);
                XrGDI::draw_rectangle(&dc, inner.left, inner.top, inner.right, inner.bottom - k);
                XrGDI::select_brush(&dc, green);
                XrGDI::select_pen(&dc, pen);
            }
            XrGDI::draw_text_rect(&dc, label, inner.left, inner.top + th / 10, inner.right, inner.bottom,
                                  XrGDI::CentreMiddle, -1);
        }
    }
    XrGDI::deselect_font(&dc);
}

// ---- the signal bars

XrSignalStrengthIndicator::XrSignalStrengthIndicator(int icon)
    : m_icon(icon_bitmap(icon)), m_text_color(XrGDI::rgb(0, 0, 0))
{
}

int XrSignalStrengthIndicator::get_height()
{
    const int fs20 = font_size(kBarNumberFont);
    const int r = static_cast<int>(fs20 / 15.0 + 0.5);
    const int ih = m_icon.bitmap() != nullptr ? m_icon.height() : 0;
    return std::max(2 * fs20 + r + ih, 3 * fs20 + r);
}

int XrSignalStrengthIndicator::get_min_height()
{
    const int fs20 = font_size(kBarNumberFont);
    const int r = static_cast<int>(fs20 / 15.0 + 0.5);
    const int ih = m_icon.bitmap() != nullptr ? m_icon.height() : 0;
    return std::max(3 * fs20 + r, ih);
}

int XrSignalStrengthIndicator::bar_height(const XrSVData* sv, int full_height)
{
    const int units = sv != nullptr ? std::max(signal_of(sv->snr) * 40 / 100, 3) : 3;
    return std::min(static_cast<int>(units * full_height / 20.0), full_height);
}

std::vector<const XrSVData*> XrSignalStrengthIndicator::sorted_by_snr(const XrStaticArray<XrSVData>& satellites)
{
    std::vector<const XrSVData*> out;
    out.reserve(static_cast<size_t>(satellites.get_num_items()));
    for (int i = 0; i < satellites.get_num_items(); ++i)
        out.push_back(satellites.get_item_ptr(i));
    std::stable_sort(out.begin(), out.end(),
                     [](const XrSVData* a, const XrSVData* b) { return signal_of(a->snr) > signal_of(b->snr); });
    return out;
}

void XrSignalStrengthIndicator::draw(XrDCHandleRec& dc, bool numbers, bool mirrored)
{
    const int L = m_rect.left, T = m_rect.top, Rt = m_rect.right, B = m_rect.bottom;
    XrGDI::set_clip_rect(&dc, m_rect);
    XrGDI::set_opaque_text(&dc, false);
    int iw = 0, H = B - T;
    if (m_icon.bitmap() != nullptr) {
        iw = m_icon.width();
        const int ih = m_icon.height();
        const int y = T + static_cast<int>(static_cast<unsigned>(B - T - ih) / 2u);
        int x1 = L, x2 = L + iw;
        if (mirrored) {
            x1 = L + Rt - (L + iw);
            x2 = L + Rt - L;
        }
        draw_image(dc, m_icon, x1, y, x2, y + ih);
        H = ih;
    }
    const XrPenHandle pen = XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0);
    const XrBrushHandle green = XrGDI::create_brush(XrGDI::BrushSolid, 60, 255, 60);
    const XrBrushHandle grey = XrGDI::create_brush(XrGDI::BrushSolid, 192, 192, 192);
    XrGDI::select_pen(&dc, pen);

    XrPositionProvider* positions = position_provider();
    if (positions == nullptr)
        return;
    const XrPositionInfo& info = positions->get_position_info();
    const std::vector<const XrSVData*> sorted = sorted_by_snr(info.get_satellites_in_view());

    const int gap = std::max(1, iw / 28);
    const int bw = ((Rt - L) - iw - 5) / kBars - gap;
    const int fs20 = font_size(kBarNumberFont);
    for (int i = 0; i < kBars; ++i) {
        XrGDI::set_pen_color(&dc, 0, 0, 0);
        const XrSVData* sv = i < static_cast<int>(sorted.size()) ? sorted[static_cast<size_t>(i)] : nullptr;
        const int n = sv != nullptr ? sv->number : 0;
        const int height = bar_height(sv, H);
        XrGDI::select_brush(&dc, sv != nullptr && xr_satellite_used(info.get_used_satellites(), n) ? green : grey);
        int x1 = L + i * (bw + gap) + 3 * gap + iw, x2 = x1 + bw;
        if (mirrored) {
            const int m1 = L + Rt - x2, m2 = L + Rt - x1;
            x1 = m1;
            x2 = m2;
        }
        XrGDI::draw_rectangle(&dc, x1, T + H - height, x2, T + H);
        if (numbers && sv != nullptr) {
            XrGDI::set_text_color(&dc, m_text_color);
            if (XrFontHandleRec* font = font_of(kBarNumberFont))
                XrGDI::select_font(&dc, font);
            const int t1 = T + H + static_cast<int>(fs20 * 0.15);
            const int o = 3 - fs20 / 4;
            wchar_t tens[4], units[4];
            std::swprintf(tens, 4, L"%d", n / 10 % 10);
            std::swprintf(units, 4, L"%d", n % 10);
            XrGDI::draw_text_rect(&dc, tens, x1 + o, t1, x2 + o, t1 + fs20, XrGDI::CentreMiddle, -1);
            XrGDI::draw_text_rect(&dc, units, x1 + 2, t1 + fs20, x2 + 2, t1 + 2 * fs20, XrGDI::CentreMiddle, -1);
        }
    }
    XrGDI::clear_clip_rect(&dc);
}

// ---- the control

XrSignalCtrl* XrSignalCtrl::create()
{
    XrSignalCtrl* ctrl = new XrSignalCtrl();
    XR_ASSERT_MSG(ctrl != nullptr, "ctrl");
    ctrl->construct();
    return ctrl;
}

XrSignalCtrl::XrSignalCtrl() : m_text_color(XrGDI::rgb(0, 0, 0)) {}

void XrSignalCtrl::construct()
{
    m_sky = new XrSatellitePositions(kSkyNoFixIcon, kSkyFixIcon);
    m_bars = new XrSignalStrengthIndicator(kBarIcon);
}

XrSignalCtrl::~XrSignalCtrl()
{
    delete m_sky;
    delete m_bars;
    if (m_dc != nullptr)
        XrGDI::delete_dc(m_dc);
}

void XrSignalCtrl::size_changed()
{
    const XrRectangle r = get_rectangle();
    if (m_dc != nullptr)
        XrGDI::delete_dc(m_dc);
    m_dc = XrGDI::create_memory_dc(m_reference, r.right - r.left, r.bottom - r.top);
}

void XrSignalCtrl::draw(XrDCHandleRec* target)
{
    if (m_dc == nullptr)
        return;
    const XrRectangle r = get_rectangle();
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (m_background.bitmap() != nullptr)
        XrGDI::draw_bitmap(m_dc, 0, 0, w, h, m_background.bitmap(), 0, 0);
    else
        XrGDI::bit_blt(m_dc, 0, 0, w, h, target, r.left, r.top);

    XrPositionProvider* positions = position_provider();
    if (positions == nullptr || !positions->is_connected()) {
        XrGDI::set_text_color(m_dc, m_text_color);
        XrGDI::set_opaque_text(m_dc, false);
        XrString message;
        get_translated_text(message, positions != nullptr && positions->is_active()
                                         ? R_STR_GPS_DLG_NO_GPS_CONNECTION
                                         : R_STR_GPS_DLG_POSITIONING_METHOD_NOT_SELECTED);
        if (XrFontHandleRec* font = font_of(kStatusFont))
            XrGDI::select_font(m_dc, font);
        const int f17 = font_size(kStatusFont);
        XrGDI::draw_bidi_text(m_dc, message.c_str(), XrRectangle(f17 / 2, 0, w - f17 / 2, (2 * h) / 3),
                              XrGDI::BidiEllipsize | XrGDI::BidiWordWrap | XrGDI::BidiVCentre |
                                  XrGDI::BidiHCentre);
        XrGDI::deselect_font(m_dc);
    } else {
        const int margin = static_cast<int>(static_cast<unsigned>(std::max(w, 0)) / 48u);
        const bool mirrored = XrLocale::get_text_direction() == XrLocale::RightToLeft;
        const int sky = m_sky->get_height();
        int free = h - (sky + m_bars->get_min_height());
        const bool room = free > 0;
        if (!room)
            free = h - sky;
        const int q = free / 4;
        m_sky->set_center(XrPoint(w / 2, q + sky / 2));
        m_sky->draw(*m_dc, !room);
        if (room) {
            m_bars->set_rect(XrRectangle(margin, h - m_bars->get_height() - q, w - margin, h - q));
            m_bars->set_text_color(m_text_color);
            m_bars->draw(*m_dc, true, mirrored);
        }
    }
    XrGDI::bit_blt(target, r.left, r.top, r.right, r.bottom, m_dc, 0, 0);
}
