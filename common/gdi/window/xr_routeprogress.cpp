#include "common/gdi/window/xr_routeprogress.h"

#include <algorithm>

#include <glib.h>

#include "common/bmloader/xr_bitmap_loader.h"
#include "common/container/xr_defs.h"
#include "common/gdi/window/xr_mapwindowservices.h"
#include "common/gdi/xr_gdi.h"
#include "common/ui/fonts/xr_fontrepository.h"

namespace {

constexpr int kTitleFont = 69;
constexpr int kBarFont = 70;

XrFontRepository* repository()
{
    return static_cast<XrFontRepository*>(XrSingleton::get_instance(XrString(L"XrFontRepository")));
}

void fill(XrDCHandleRec* dc, int left, int top, int right, int bottom, int r, int g, int b)
{
    if (right < left || bottom < top)
        return;
    XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, r, g, b));
    XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, r, g, b));
    XrGDI::draw_rectangle(dc, left, top, right, bottom);
}

} // namespace

XrRouteProgress::XrRouteProgress() : m_defs(8, 0) {}

XrRouteProgress::~XrRouteProgress()
{
    for (int i = 0; i < m_defs.get_num_items(); ++i) {
        const XrRouteProgressBitmapDef* def = m_defs.get_item_ptr(i);
        XrBitmapLoader::set_pinned(def->background_id, false);
        XrBitmapLoader::set_pinned(def->strip_id, false);
    }
    free_bitmaps();
}

void XrRouteProgress::add_bitmap_def(int background_id, int strip_id)
{
    const XrRouteProgressBitmapDef def = {static_cast<unsigned int>(background_id),
                                          static_cast<unsigned int>(strip_id)};
    m_defs.append(def);
    XrBitmapLoader::set_pinned(def.background_id, true);
    XrBitmapLoader::set_pinned(def.strip_id, true);
}

void XrRouteProgress::set_icon_indices(int a0, int a1, int a2, int b0, int b1)
{
    m_icons_a[0] = a0;
    m_icons_a[1] = a1;
    m_icons_a[2] = a2;
    m_icons_b[0] = b0;
    m_icons_b[1] = b1;
}

void XrRouteProgress::free_bitmaps()
{
    m_background = XrBitmap();
    m_strip = XrBitmap();
    m_has_background = false;
    m_size = XrSize();
    XrGDI::delete_dc(m_panel_dc);
    m_panel_dc = nullptr;
}

void XrRouteProgress::load_bitmaps(const XrSize& size)
{
    if (size == m_size && (m_has_background || m_load_count > 0))
        return;
    free_bitmaps();
    m_size = size;
    ++m_load_count;
    int widest = 0;
    for (int i = 0; i < m_defs.get_num_items(); ++i) {
        const XrRouteProgressBitmapDef* def = m_defs.get_item_ptr(i);
        XrBitmap background(def->background_id, false);
        const int w = background.width(), h = background.height();
        if (w > widest && w <= size.width && h <= size.height) {
            widest = w;
            m_background = background;
            m_strip = XrBitmap(def->strip_id, false);
            m_has_background = true;
        }
    }
    if (!m_has_background)
        return; // nothing fits: no panel
    XR_ASSERT_MSG(m_panel_dc == nullptr, "!bm_dc");
    m_panel_dc = XrGDI::create_memory_dc(nullptr, m_background.width(), m_background.height());
    if (m_panel_dc == nullptr)
        g_warning("route progress: no window to make the panel on");
}

int XrRouteProgress::driven_width(int inner_width, const XrDistance& remaining, const XrDistance& total)
{
    double t = 0, r = 0;
    if (inner_width <= 0 || !total.get_value(t, XrDistance::Centimetres) ||
        !remaining.get_value(r, XrDistance::Centimetres) || t <= 0)
        return 0; // no total: nothing driven
    const double driven = inner_width * (t - r) / t;
    return std::clamp(static_cast<int>(driven), 0, inner_width);
}

void XrRouteProgress::draw(XrDCHandleRec* target, XrDCHandleRec* picture, const XrSize& size, int state_a,
                           int state_b, const XrDistance& remaining, const XrDistance& total)
{
    load_bitmaps(size);
    if (!m_has_background || m_panel_dc == nullptr || target == nullptr)
        return;
    XrDCHandleRec* dc = m_panel_dc;
    const int w = m_background.width(), h = m_background.height();
    const int ox = (size.width - w) / 2, oy = (size.height - h) / 2;

    // The picture under the panel, then the background.
    if (picture != nullptr)
        XrGDI::bit_blt(dc, 0, 0, w, h, picture, ox, oy);
    XrGDI::draw_bitmap_object(dc, 0, 0, &m_background, m_background.mask() != nullptr);

    // State icons.
    const int s = m_strip.height();
    const int ax = w - s - 105;
    if (s > 0 && m_strip.bitmap() != nullptr) {
        const int columns = m_strip.width() / s;
        int a = state_a >= 0 && state_a <= 2 ? m_icons_a[state_a] : 0;
        int b = state_b >= 0 && state_b <= 1 ? m_icons_b[state_b] : 0;
        // An index beyond a short strip falls back to its first icon.
        a = a >= 0 && a < columns ? a : 0;
        b = b >= 0 && b < columns ? b : 0;
        XrGDI::draw_bitmap_masked(dc, ax, 19, ax + s, 19 + s, m_strip.bitmap(), a * s, 0, m_strip.mask());
        const int bx = w - 38 - s;
        XrGDI::draw_bitmap_masked(dc, bx, 19, bx + s, 19 + s, m_strip.bitmap(), b * s, 0, m_strip.mask());
    }

    // Title.
    XrFontRepository* fonts = repository();
    XrString title, second;
    title.load_text(532);
    second.load_text(533);
    title += L" ";
    title += second;
    {
        const int x1 = static_cast<int>(0.04 * w), x2 = ax - static_cast<int>(0.01 * w);
        const int y1 = static_cast<int>(0.1 * h), y2 = static_cast<int>(0.6 * h);
        if (fonts != nullptr)
            XrFontRepository::select_font(dc, kTitleFont);
        XrGDI::set_text_color(dc, XrGDI::rgb(0, 0, 0));
        XrGDI::draw_bidi_text(dc, title.c_str(),
                              XrRectangle(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)),
                              14);
    }

    // The bar.
    int point_size = 12;
    if (fonts != nullptr)
        if (XrFontHandleRec* f = fonts->get_font(kBarFont))
            point_size = XrGDI::get_font_size(f);
    const int bx1 = static_cast<int>(0.12 * w), bx2 = static_cast<int>(0.975 * w);
    const int by1 = static_cast<int>(0.6 * h), by2 = static_cast<int>(0.6 * h + 1.2 * point_size);
    const XrRectangle bar(std::min(bx1, bx2), std::min(by1, by2), std::max(bx1, bx2), std::max(by1, by2));
    const int inner = bar.right - bar.left - 2;
    const int driven = driven_width(inner, remaining, total);
    XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0));
    XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushHollow, 0, 0, 0));
    XrGDI::draw_rectangle(dc, bar);
    const int left = bar.left + 1, top = bar.top + 1, bottom = bar.bottom - 1;
    if (driven > 0)
        fill(dc, left, top, left + driven - 1, bottom, 128, 128, 212);
    if (driven < inner)
        fill(dc, left + driven, top, bar.right - 1, bottom, 192, 192, 212);

    // Remaining distance.
    const bool alternate = get_map_window_services()->use_alternate_units();
    const XrString distance =
        remaining.to_string(alternate ? XrDistance::Miles : XrDistance::Kilometres, 0);
    XrString text;
    if (!text.format_text(128, 534, distance.c_str()))
        text = distance;
    if (fonts != nullptr)
        XrFontRepository::select_font(dc, kBarFont);
    XrGDI::set_text_color(dc, XrGDI::rgb(0, 0, 0));
    XrGDI::draw_bidi_text(dc, text.c_str(), bar, 3);

    XrGDI::bit_blt(target, ox, oy, ox + w, oy + h, dc, 0, 0);
}
