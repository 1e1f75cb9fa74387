// XrSignpostDrawer: the signpost of the next manoeuvre: a framed box of
// signs (exit numbers, road-number shields, road names) laid out left to
// right and broken into rows. Every draw lays the rows out afresh.
#pragma once

#include <memory>
#include <vector>

#include "common/map/xr_roadsign.h"

class XrSignpostDrawer {
public:
    struct XrSignpostItem {
        enum Type { TypeUnknown = 0, TypeExitNumber = 1, TypeRoadNumber = 2, TypeRoadName = 3 };
        std::unique_ptr<XrRoadSign> sign;
        Type type = TypeUnknown;
    };

    // A row of the layout: the items' signs (not owned).
    class XrSignpostRow {
    public:
        std::vector<XrRoadSign*> signs;
        int get_minimum_height() const;
    };

    static constexpr int FONT_CONTEXT = 44;

    XrSignpostDrawer();
    ~XrSignpostDrawer() = default;
    XrSignpostDrawer(const XrSignpostDrawer&) = delete;
    XrSignpostDrawer& operator=(const XrSignpostDrawer&) = delete;

    void set_border_width(int value) { border = value < 1 ? 1 : value; }
    int get_border_width() const { return border; }
    void set_pen(const XrPenHandle& pen) { frame_pen = pen; }
    void set_brush(const XrBrushHandle& brush) { background = brush; }

    // A null sign or an unknown type is refused (false, logged).
    bool add_sign(XrRoadSign* sign, XrSignpostItem::Type type);
    void add_exit_number_sign(const XrString& text, XrBrushHandle& brush, XrPenHandle& pen, XrColorHandle& colour,
                              bool rounded);
    void add_default_number_sign(const XrString& text, XrBrushHandle& brush, XrPenHandle& pen, XrColorHandle& colour,
                                 bool rounded);
    void add_usa_interstate_sign(const XrString& text);
    void add_usa_highway_sign(const XrString& text);
    void add_can_autoroute_sign(const XrString& text);
    void add_road_name_sign(const XrString& text, XrColorHandle& colour);

    // Lays the items out in a box of the width at the origin and draws it;
    // height -1: as high as the content. Returns the box.
    XrRectangle draw(XrDCHandleRec* dc, const XrPoint& origin, int width, int height);
    XrRectangle draw(XrDCHandleRec* dc, const XrRectangle& rect)
    {
        return draw(dc, XrPoint(rect.left, rect.top), rect.right - rect.left, rect.bottom - rect.top);
    }
    void flush();

    int get_item_count() const { return static_cast<int>(items.size()); }
    int get_row_count() const { return static_cast<int>(rows.size()); }
    const XrSignpostRow& get_row(int i) const { return rows[static_cast<size_t>(i)]; }
    int get_margin() const { return margin; }

private:
    void take_font();

    std::vector<XrSignpostItem> items;
    std::vector<XrSignpostRow> rows;
    int border = 1;
    int margin = 2;
    int h_gap = 1;
    int v_gap = 1;
    XrFontHandleRec* font = nullptr;
    XrPenHandle frame_pen{};
    XrBrushHandle background{};
};
