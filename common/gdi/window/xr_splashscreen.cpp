#include "common/gdi/window/xr_splashscreen.h"

#include <utility>

#include "common/base/xr_singleton.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/ui/fonts/xr_fontrepository.h"

namespace {

// Frame and fill of a box without a bitmap.
constexpr int box_r = 40, box_g = 60, box_b = 90;
constexpr int plain_width = 150, plain_height = 75;

} // namespace

void draw_splash_screen(XrMapWindow* window, const TCHAR* text, const int* font_id, int wait_ms,
                        const XrRectangle* text_rect, bool centred, XrBitmapHandleRec* bitmap,
                        XrBitmapHandleRec* mask, bool redraw, XrPoint* corner)
{
    if (window == nullptr)
        return;
    XrDCHandleRec* dc = window->get_window_dc();
    if (dc == nullptr)
        return;
    int box_w = plain_width, box_h = plain_height;
    if (bitmap != nullptr && !XrGDI::get_bitmap_size(bitmap, &box_w, &box_h)) {
        box_w = plain_width;
        box_h = plain_height;
    }
    const XrRectangle view = window->get_view_rect();
    const XrPoint at((view.right - view.left - box_w) / 2, (view.bottom - view.top - box_h) / 2);
    if (corner != nullptr)
        *corner = at;

    if (bitmap == nullptr) {
        const XrPenHandle old_pen = XrGDI::get_pen(dc);
        const XrBrushHandle old_brush = XrGDI::get_brush(dc);
        XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, box_r, box_g, box_b));
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, box_r, box_g, box_b));
        XrGDI::draw_rectangle(dc, at.x, at.y, at.x + box_w - 1, at.y + box_h - 1);
        XrGDI::restore_pen(dc, old_pen);
        XrGDI::restore_brush(dc, old_brush);
    } else {
        XrGDI::draw_bitmap_masked(dc, at.x, at.y, at.x + box_w, at.y + box_h, bitmap, 0, 0, mask);
    }

    auto* fonts = static_cast<XrFontRepository*>(XrSingleton::get_instance(XrString(L"XrFontRepository")));
    XrFontHandleRec* font = font_id != nullptr && fonts != nullptr ? fonts->get_font(*font_id) : nullptr;
    if (font == nullptr && (font_id != nullptr || XrGDI::get_last_selected_font() == nullptr)) {
        static XrFontHandleRec* own_font = XrGDI::create_font(L"Sans", 18, 700, false);
        font = own_font;
    }
    if (font != nullptr)
        XrGDI::select_font(dc, font);
    XrGDI::set_text_color(dc, XrGDI::rgb(255, 255, 255));
    XrRectangle r;
    if (text_rect != nullptr) {
        r = XrRectangle(text_rect->left + at.x, text_rect->top + at.y, text_rect->right + at.x,
                        text_rect->bottom + at.y);
    } else {
        int left = 5, right = box_w - 10, top = 5, bottom = box_h - 10;
        if (right < left)
            std::swap(left, right);
        if (bottom < top)
            std::swap(top, bottom);
        r = XrRectangle(at.x + left, at.y + top, at.x + right, at.y + bottom);
    }
    if (text != nullptr && text[0] != 0)
        XrGDI::draw_bidi_text(dc, text, r, centred ? 5 : 4);
    XrGDI::flush_and_wait(window, dc, wait_ms);
    window->release_window_dc(dc);
    if (redraw)
        window->redraw(false, false, -1, -1);
}

void draw_splash_screen(XrMapWindow* window, int text_id, const int* font_id, int wait_ms,
                        const XrRectangle* text_rect, bool centred, XrBitmapHandleRec* bitmap,
                        XrBitmapHandleRec* mask, bool redraw, XrPoint* corner)
{
    XrString text;
    if (!text.load_text(text_id))
        text = XrString(L"");
    draw_splash_screen(window, text.c_str(), font_id, wait_ms, text_rect, centred, bitmap, mask, redraw, corner);
}
