#include "common/map/xr_signpostdrawer.h"

#include <algorithm>

#include "common/map/xr_mapservices.h"
#include "common/ui/fonts/xr_fontrepository.h"

int XrSignpostDrawer::XrSignpostRow::get_minimum_height() const
{
    int h = 0;
    for (XrRoadSign* s : signs)
        h = std::max(h, static_cast<int>(s->get_size().y));
    return h;
}

XrSignpostDrawer::XrSignpostDrawer()
{
    items.reserve(5);
    rows.reserve(8);
    // Null styles use no colour: nothing is allocated, so a drawer can be
    // made without a display.
    frame_pen = XrPenHandle{GdkColor{0, 0, 0, 0}, 1, XrPenHandle::Null};
    background = XrBrushHandle{XrBrushHandle::Hollow, XrBrushHandle::NullMarker, GdkColor{0, 0, 0, 0}};
    take_font();
}

void XrSignpostDrawer::take_font()
{
    auto* repository = static_cast<XrFontRepository*>(XrSingleton::get_instance(XrString(L"XrFontRepository")));
    font = repository != nullptr ? repository->get_font(FONT_CONTEXT) : nullptr;
}

bool XrSignpostDrawer::add_sign(XrRoadSign* sign, XrSignpostItem::Type type)
{
    if (sign == nullptr || type == XrSignpostItem::TypeUnknown) {
        xr_map_warning("signpost item without sign or type refused");
        delete sign;
        return false;
    }
    XrSignpostItem item;
    item.sign.reset(sign);
    item.type = type;
    items.push_back(std::move(item));
    return true;
}

void XrSignpostDrawer::add_exit_number_sign(const XrString& text, XrBrushHandle& brush, XrPenHandle& pen,
                                            XrColorHandle& colour, bool rounded)
{
    add_sign(new XrExitNumberSign(text, brush, pen, border, colour, font, rounded), XrSignpostItem::TypeExitNumber);
}

void XrSignpostDrawer::add_default_number_sign(const XrString& text, XrBrushHandle& brush, XrPenHandle& pen,
                                               XrColorHandle& colour, bool rounded)
{
    add_sign(new XrRoadNumberSignDefault(text, brush, pen, border, colour, font, false, rounded),
             XrSignpostItem::TypeRoadNumber);
}

void XrSignpostDrawer::add_usa_interstate_sign(const XrString& text)
{
    add_sign(new XrRoadNumberSignUSAInterState(text, border, font), XrSignpostItem::TypeRoadNumber);
}

void XrSignpostDrawer::add_usa_highway_sign(const XrString& text)
{
    add_sign(new XrRoadNumberSignUSAHighway(text, border, font), XrSignpostItem::TypeRoadNumber);
}

void XrSignpostDrawer::add_can_autoroute_sign(const XrString& text)
{
    add_sign(new XrRoadNumberSignCanAutoRoute(text, border, font), XrSignpostItem::TypeRoadNumber);
}

void XrSignpostDrawer::add_road_name_sign(const XrString& text, XrColorHandle& colour)
{
    if (font == nullptr) {
        xr_map_warning("road name sign without a font refused");
        return;
    }
    add_sign(new XrRoadNameSign(text, font, colour), XrSignpostItem::TypeRoadName);
}

void XrSignpostDrawer::flush()
{
    rows.clear();
    items.clear();
}

XrRectangle XrSignpostDrawer::draw(XrDCHandleRec* dc, const XrPoint& origin, int width, int height)
{
    take_font();
    margin = font != nullptr ? XrGDI::get_font_size(font) / 4 : 2;
    h_gap = v_gap = std::max(1, static_cast<int>(0.75 * margin));
    // The rows are laid out afresh on every draw.
    rows.clear();
    if (items.empty())
        return XrRectangle(0, 0, 0, 0);

    const int inset = border + margin;
    int x = inset;
    int content = 2 * inset;
    rows.emplace_back();
    auto close_row = [&]() {
        content += rows.back().get_minimum_height() + v_gap;
        rows.emplace_back();
        x = inset;
    };
    for (size_t i = 0; i < items.size(); ++i) {
        const XrSignpostItem& item = items[i];
        if (i > 0 && item.type == XrSignpostItem::TypeRoadNumber &&
            items[i - 1].type == XrSignpostItem::TypeRoadName && !rows.back().signs.empty())
            close_row();
        const XrPoint size = item.sign->get_size();
        if (!rows.back().signs.empty() &&
            static_cast<long long>(origin.x) + x + size.x >= static_cast<long long>(origin.x) + width - inset)
            close_row();
        rows.back().signs.push_back(item.sign.get());
        x += size.x + h_gap;
    }
    if (height == -1)
        height = content + rows.back().get_minimum_height();

    XrGDI::select_pen(dc, frame_pen, -1);
    XrGDI::select_brush(dc, background);
    XrRectangle box(std::min(origin.x, origin.x + width), std::min(origin.y, origin.y + height),
                    std::max(origin.x, origin.x + width), std::max(origin.y, origin.y + height));
    XrGDI::set_pen_width(dc, border);
    const int in = static_cast<int>(border * 0.5 - 1.0);
    XrGDI::draw_rectangle(dc, box.left + in, box.top + in, box.right - border / 2, box.bottom - border / 2);

    int y = inset;
    for (const XrSignpostRow& row : rows) {
        const int r = row.get_minimum_height();
        int sx = inset;
        for (XrRoadSign* sign : row.signs) {
            const XrPoint size = sign->get_size();
            const XrRectangle rect(origin.x + sx, origin.y + y, origin.x + sx + size.x, origin.y + y + r - 1);
            sign->set_rect(XrRectangle(std::min(rect.left, rect.right), std::min(rect.top, rect.bottom),
                                       std::max(rect.left, rect.right), std::max(rect.top, rect.bottom)));
            sign->draw(dc);
            sx += size.x + h_gap;
        }
        y += r + v_gap;
    }
    return box;
}
