// XrPoiNoteDrawer: the note bubble of a tapped POI: its icon at its screen
// position and beside it a pale yellow rounded box with a drop shadow and a
// pointer towards the icon, holding the name and an optional second line
// with a symbol. Built on the stack, drawn once.
#pragma once

#include "common/container/xr_string.h"
#include "common/gdi/xr_gdi.h"

class XrPoiNoteDrawer {
public:
    explicit XrPoiNoteDrawer(const TCHAR* title) : title(title) {}
    virtual ~XrPoiNoteDrawer() = default;

    void set_second_line(const XrString& text) { second = text; }
    void set_third_line(const XrString& text) { third = text; }
    void set_screen_size(const XrSize& size) { screen = size; }
    void set_anchor(const XrPoint& point) { anchor = point; }
    void set_icon(XrBitmapHandleRec* bitmap, int index, XrBitmapHandleRec* mask)
    {
        icon = bitmap;
        icon_index = index;
        icon_mask = mask;
    }
    void set_symbol(unsigned int id) { symbol_id = id; }

    // Draws and fills both rectangles; false (nothing drawn) for a screen
    // without width or height.
    bool draw(XrDCHandleRec* dc, XrRectangle& icon_rect, XrRectangle& note_rect);

private:
    XrString title;
    XrString second;
    XrString third;
    XrSize screen;
    XrPoint anchor;
    XrBitmapHandleRec* icon = nullptr;
    XrBitmapHandleRec* icon_mask = nullptr;
    int icon_index = 0;
    unsigned int symbol_id = 0;
};
