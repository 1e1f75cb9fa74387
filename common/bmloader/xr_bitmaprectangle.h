// A framed box of any size drawn from a strip of nine square tiles: four
// corners, four edges repeated along the sides and a centre repeated over
// the inside.
#pragma once

#include "common/bmloader/xr_bitmap.h"
#include "common/gdi/xr_gdi.h"

class XrBitmapRectangle {
public:
    // Tile numbers in the strip.
    enum Tile {
        TopLeft = 0,
        TopRight = 1,
        BottomRight = 2,
        BottomLeft = 3,
        LeftEdge = 4,
        TopEdge = 5,
        RightEdge = 6,
        BottomEdge = 7,
        Centre = 8,
    };

    XrBitmapRectangle() = default;
    virtual ~XrBitmapRectangle();
    XrBitmapRectangle(const XrBitmapRectangle&) = delete;
    XrBitmapRectangle& operator=(const XrBitmapRectangle&) = delete;

    // Releases the strip's handles.
    void free_bitmap();
    // Loads the strip of an icon id; tiles are as wide and high as the strip
    // is high. False when it cannot be loaded.
    bool load_bitmap(unsigned int icon_id);
    // Two tiles by two tiles.
    XrSize get_min_size() const { return XrSize(2 * m_tile_width, 2 * m_tile_height); }

    // Draws the box; a side below the minimum is raised to it.
    void draw(XrDCHandleRec* dc, const XrPoint& top_left, const XrSize& size);
    // Fills rect (right and bottom exclusive) with copies of one tile from
    // its top-left corner, the last row and column cut at its edges.
    void draw_tiled(XrDCHandleRec* dc, int tile, const XrRectangle& rect);
    // One tile at (x, y), through the strip's mask when it has one.
    void draw_tile(XrDCHandleRec* dc, int tile, int x, int y);

private:
    XrBitmap m_strip;
    int m_tile_width = 0;
    int m_tile_height = 0;
};
