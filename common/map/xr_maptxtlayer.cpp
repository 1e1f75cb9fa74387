#include "common/map/xr_maptxtlayer.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/visualization/xr_visualsetting.h"

namespace {

struct XrLabel {
    TCHAR text[XrMapTxtLayer::MAX_CHARS + 1];
    int text_class;
    int x;
    int y;
};

void screen_range(int size, int& from, int& to)
{
    from = std::min(0, size);
    to = std::max(0, size);
}

int clamp_cell(int v, int cells) { return std::clamp(v, 0, cells - 1); }

} // namespace

int XrMapTxtLayer::label_text(const TCHAR* text, TCHAR (&out)[MAX_CHARS + 1])
{
    int end = 0;
    while (text[end] != 0 && text[end] != L'\t')
        ++end;
    if (text[end] == L'\t') {
        for (int i = 0; i < end; ++i)
            if (text[i] == L'/') {
                end = i;
                break;
            }
    }
    const int n = std::min(end, static_cast<int>(MAX_CHARS));
    XrUnicodeUtil* unicode = XrUnicodeUtil::get_instance();
    for (int i = 0; i < n; ++i)
        out[i] = unicode->to_upper(text[i]);
    out[n] = 0;
    return n;
}

bool XrMapTxtLayer::draw(XrDCHandleRec* dc, XrMapView* view)
{
    if (visual_setting == nullptr)
        return true;
    const int language = get_map_engine_services().get_text_language();
    const bool is_3d = map_is_3d(view);
    const XrRectangle world = is_3d ? view->get_world_rect_3d() : view->get_draw_rect();
    XrRectangle screen;
    screen_range(view->get_screen_width(), screen.left, screen.right);
    screen_range(view->get_screen_height(), screen.top, screen.bottom);
    const int scale_index = visual_setting->get_scale_index(view->get_scale_value());
    const int scale = static_cast<int>(view->get_scale_value());
    XrGDI::set_opaque_text(dc, false);

    int counts[CLASS_COUNT] = {};
    {
        std::unique_ptr<XrGeomCursor> cursor(storage.get_cursor(&world, scale));
        const BYTE* record = nullptr;
        XrGeomStorage::XrRecordType kind{};
        while (cursor && cursor->get_next_record(record, kind) == XrGeomCursor::OK) {
            if (kind != XrGeomStorage::RecText)
                continue;
            int id = 0, x = 0, y = 0;
            short cls = 0, aux = 0;
            const TCHAR* text = nullptr;
            const BYTE* attributes = nullptr;
            if (!cursor->get_txt(record, id, x, y, cls, aux, text, attributes, language, nullptr))
                continue;
            if (cls >= 0 && cls < CLASS_COUNT && world.contains(x, y))
                ++counts[cls];
        }
    }

    // The classes that fit the budget whole, and how many texts of the
    // cut-off class may still be taken.
    int budget = LABEL_BUDGET;
    int cutoff = 0;
    for (;;) {
        if (budget < counts[cutoff])
            break;
        budget -= counts[cutoff];
        ++cutoff;
        if (budget <= 0 || cutoff >= CLASS_COUNT) {
            budget = 0;
            break;
        }
    }

    XrLabel labels[LABEL_BUDGET];
    int label_count = 0;
    {
        std::unique_ptr<XrGeomCursor> cursor(storage.get_cursor(&world, scale));
        const BYTE* record = nullptr;
        XrGeomStorage::XrRecordType kind{};
        int prev_class = -1;
        XrFontHandleRec* font = nullptr;
        while (cursor && label_count < LABEL_BUDGET && cursor->get_next_record(record, kind) == XrGeomCursor::OK) {
            if (kind != XrGeomStorage::RecText)
                continue;
            int id = 0, x = 0, y = 0;
            short cls = 0, aux = 0;
            const TCHAR* text = nullptr;
            const BYTE* attributes = nullptr;
            if (!cursor->get_txt(record, id, x, y, cls, aux, text, attributes, language, nullptr) ||
                text == nullptr)
                continue;
            if (cls < 0 || cls > cutoff || cls >= CLASS_COUNT || !world.contains(x, y))
                continue;
            if (cls == cutoff) {
                if (budget == 0)
                    continue;
                --budget;
            }
            if (cls != prev_class) {
                prev_class = cls;
                XrColorHandle color = 0;
                font = nullptr;
                if (visual_setting->get_font_info(cls, scale_index, font, color) != 0)
                    font = nullptr;
                if (font != nullptr)
                    XrGDI::select_font(dc, font);
            }
            if (font == nullptr)
                continue;
            int sx = 0, sy = 0;
            if (is_3d)
                view->world_to_screen_3d(x, y, XrMapView::TEXT_HEIGHT, sx, sy);
            else
                view->world_to_screen_2d(x, y, sx, sy);
            if (!screen.contains(sx, sy))
                continue;
            XrLabel& label = labels[label_count++];
            label_text(text, label.text);
            label.text_class = cls;
            label.x = sx;
            label.y = sy;
        }
    }

    std::sort(labels, labels + label_count, [](const XrLabel& a, const XrLabel& b) {
        if (a.text_class != b.text_class)
            return a.text_class < b.text_class;
        return a.x + static_cast<long long>(a.y) * 2048 < b.x + static_cast<long long>(b.y) * 2048;
    });

    const int cols = view->get_screen_width() / CELL;
    const int rows = view->get_screen_height() / CELL;
    if (cols <= 0 || rows <= 0)
        return true;
    // The occupancy grid is kept between passes (no allocation per frame).
    static std::vector<BYTE> grid;
    grid.assign(static_cast<size_t>(cols) * rows, 0);
    const XrColorHandle halo = visual_setting->get_text_halo_color();

    for (int i = 0; i < label_count; ++i) {
        const XrLabel& label = labels[i];
        XrFontHandleRec* font = nullptr;
        XrColorHandle color = 0;
        if (visual_setting->get_font_info(static_cast<short>(label.text_class), scale_index, font, color) != 0 ||
            font == nullptr)
            continue;
        XrGDI::select_font(dc, font);
        int w = 0, h = 0;
        XrGDI::get_dc_text_size(dc, label.text, &w, &h, -1);
        const int c0 = clamp_cell((label.x - w / 2) / CELL, cols), c1 = clamp_cell((label.x + w / 2) / CELL, cols);
        const int r0 = clamp_cell((label.y - h / 2) / CELL, rows), r1 = clamp_cell((label.y + h / 2) / CELL, rows);
        bool taken = false;
        for (int r = r0; r <= r1 && !taken; ++r)
            for (int c = c0; c <= c1; ++c)
                if (grid[static_cast<size_t>(r) * cols + c] != 0) {
                    taken = true;
                    break;
                }
        if (taken)
            continue;
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c)
                grid[static_cast<size_t>(r) * cols + c] = 1;
        const XrRectangle rect(label.x - w / 2, label.y - h / 2, label.x + w / 2, label.y + h / 2);
        const int flags = XrGDI::BidiHCentre | XrGDI::BidiVCentre;
        XrGDI::set_text_color(dc, halo);
        XrGDI::draw_bidi_text(dc, label.text,
                              XrRectangle(rect.left - 1, rect.top - 1, rect.right - 1, rect.bottom - 1), flags);
        XrGDI::draw_bidi_text(dc, label.text,
                              XrRectangle(rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1), flags);
        XrGDI::set_text_color(dc, color);
        XrGDI::draw_bidi_text(dc, label.text, rect, flags);
    }
    return true;
}
