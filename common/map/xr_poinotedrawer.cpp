#include "common/map/xr_poinotedrawer.h"

#include <algorithm>

#include "common/base/xr_singletonref.h"
#include "common/bmloader/xr_bitmap.h"
#include "common/map/xr_mapservices.h"
#include "common/misc/xr_locale_dummy.h"
#include "common/ui/fonts/xr_fontrepository.h"

namespace {

constexpr int kNoteFont = 40;

XrFontHandleRec* note_font()
{
    static XrSingletonRef<XrFontRepository> fonts(L"XrFontRepository");
    XrFontRepository* repository = fonts.get();
    return repository != nullptr ? repository->get_font(kNoteFont) : nullptr;
}

} // namespace

bool XrPoiNoteDrawer::draw(XrDCHandleRec* dc, XrRectangle& icon_rect, XrRectangle& note_rect)
{
    if (screen.width <= 0 || screen.height <= 0) {
        xr_map_warning("note bubble on a screen of %d x %d not drawn", screen.width, screen.height);
        return false;
    }
    int s = 0;
    if (icon != nullptr) {
        int w = 0;
        XrGDI::get_bitmap_size(icon, &w, &s);
    }
    XrFontHandleRec* font = note_font();
    if (font != nullptr)
        XrGDI::select_font(dc, font);
    int tw = 0, th = 0;
    XrGDI::get_dc_text_size(dc, title.is_empty() ? L" " : title.c_str(), &tw, &th, -1);
    const int t3 = th / 3, t2 = th / 2;
    const int maxw = screen.width - 3 * t3;
    const bool below = anchor.y < screen.height - anchor.y;
    int room = below ? screen.height - (anchor.y + s / 2) : anchor.y - s / 2;
    room -= 2 * t3 + t2;

    const int area_w = maxw - 8, area_h = room - 8;
    int block_w = 0, block_h = 0, min_w = 8, extra_h = 8;
    XrBitmap symbol(symbol_id, false);
    int b = 0;
    if (!second.is_empty()) {
        int w2 = 0, h2 = 0;
        XrGDI::get_dc_text_size(dc, second.c_str(), &w2, &h2, -1);
        b = symbol_id != 0 ? symbol.height() : 0;
        block_w = b + w2 + 4;
        block_h = std::max(b, h2);
        extra_h = block_h + 12;
        min_w = b + w2 + 12;
    }
    XrRectangle title_rect(0, 0, area_w, 0);
    if (font != nullptr && !title.is_empty()) {
        const int h = XrGDI::bidi_text_height(font, title.c_str(), std::max(area_w, 1), XrGDI::BidiWordWrap);
        title_rect.bottom = std::min(h, area_h - block_h);
        XrGDI::bidi_text_rect(font, title.c_str(), title_rect, XrGDI::BidiWordWrap);
        title_rect.right += 4;
    }
    const int title_w = title_rect.right - title_rect.left;
    const int title_h = title_rect.bottom - title_rect.top;
    const int bw = std::min(std::max(min_w, title_w + 8), maxw);
    const int bh = std::min(extra_h + title_h, room);
    int bx = anchor.x - bw / 2;
    if (bx < 1)
        bx = 2;
    else if (bx + bw >= screen.width)
        bx = screen.width - bw - 2;
    const int px = std::max(std::min(anchor.x, screen.width - 10), 2);
    int by = 0;
    XrPoint tri[3];
    if (below) {
        const int tip = anchor.y + s / 2;
        by = tip + t2;
        tri[0] = XrPoint(px + t2, by);
        tri[1] = XrPoint(px, tip);
        tri[2] = XrPoint(px, by);
    } else {
        by = anchor.y - s / 2 - bh - t2;
        const int bb = by + bh;
        tri[0] = XrPoint(px + 8, bb);
        tri[1] = XrPoint(px, bb + t2);
        tri[2] = XrPoint(px, bb);
    }
    note_rect = XrRectangle(bx, by, bx + bw, by + bh);
    title_rect.left += bx + 4;
    title_rect.top += by + 4;
    title_rect.bottom += by + 4;
    title_rect.right = bx + bw - 4;

    icon_rect = XrRectangle(anchor.x - s / 2, anchor.y - s / 2, anchor.x - s / 2 + s, anchor.y - s / 2 + s);
    if (icon != nullptr) {
        if (icon_mask != nullptr)
            XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
        XrGDI::draw_bitmap_masked(dc, icon_rect.left, icon_rect.top, icon_rect.right, icon_rect.bottom, icon,
                                  s * icon_index, 0, icon_mask);
    }

    if (!title.is_empty() || !second.is_empty()) {
        const int ring = 3;
        XrPoint shadow[3];
        for (int i = 0; i < 3; ++i)
            shadow[i] = XrPoint(tri[i].x + t3, tri[i].y + t3);
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, 0, 0, 0));
        XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0), 1);
        XrGDI::draw_polygon(dc, shadow, &ring, 1);
        XrGDI::draw_round_rect(dc, bx + t3, by + t3, bx + bw + t3, by + bh + t3, 1, 6);
        XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, 255, 255, 192));
        XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 255, 192), 1);
        XrGDI::draw_polygon(dc, tri, &ring, 1);
        XrGDI::draw_round_rect(dc, bx, by, bx + bw, by + bh, 1, 6);
        XrGDI::set_opaque_text(dc, false);
        const bool linked = !third.is_empty();
        XrGDI::set_text_color(dc, linked ? XrGDI::rgb(0, 0, 255) : XrGDI::rgb(0, 0, 0));
        if (!title.is_empty())
            XrGDI::draw_bidi_text(dc, title.c_str(), title_rect, linked ? 27 : 11);
        if (!second.is_empty()) {
            const int left = bx + (bw - block_w) / 2;
            const int top = title_rect.bottom;
            const bool rtl = XrLocale::get_text_direction() != XrLocale::LeftToRight;
            const int sym_x = rtl ? left + block_w - b : left;
            if (b > 0 && symbol.bitmap() != nullptr) {
                if (symbol.mask() != nullptr)
                    XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
                XrGDI::draw_bitmap_masked(dc, sym_x, top, sym_x + b, top + b, symbol.bitmap(), 0, 0, symbol.mask());
            }
            XrGDI::set_text_color(dc, XrGDI::rgb(0, 0, 0));
            const int text_left = rtl ? left : left + b + 4;
            const int text_right = rtl ? left + block_w - b - 4 : left + block_w;
            XrGDI::draw_text_rect(dc, second.c_str(), text_left, top, text_right, top + block_h, XrGDI::CentreMiddle,
                                  -1);
        }
    }
    XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockHollowBrush));
    return true;
}
