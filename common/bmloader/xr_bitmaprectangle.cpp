#include "common/bmloader/xr_bitmaprectangle.h"

#include <algorithm>

XrBitmapRectangle::~XrBitmapRectangle()
{
    free_bitmap();
}

void XrBitmapRectangle::free_bitmap()
{
    m_strip.free_handles();
}

bool XrBitmapRectangle::load_bitmap(unsigned int icon_id)
{
    free_bitmap();
    m_strip = XrBitmap(icon_id, false);
    if (m_strip.bitmap() == nullptr) {
        m_tile_width = m_tile_height = 0;
        return false;
    }
    m_tile_width = m_tile_height = m_strip.height();
    return true;
}

void XrBitmapRectangle::draw(XrDCHandleRec* dc, const XrPoint& top_left, const XrSize& size)
{
    if (!m_strip.is_loaded() || m_tile_width < 1 || m_tile_height < 1)
        return;
    const XrSize min = get_min_size();
    const int w = std::max(size.width, min.width), h = std::max(size.height, min.height);
    const int x = top_left.x, y = top_left.y;
    const int tw = m_tile_width, th = m_tile_height;

    draw_tile(dc, TopLeft, x, y);
    draw_tile(dc, TopRight, x + w - tw, y);
    draw_tile(dc, BottomRight, x + w - tw, y + h - th);
    draw_tile(dc, BottomLeft, x, y + h - th);
    draw_tiled(dc, TopEdge, XrRectangle(x + tw, y, x + w - tw, y + th));
    draw_tiled(dc, BottomEdge, XrRectangle(x + tw, y + h - th, x + w - tw, y + h));
    draw_tiled(dc, LeftEdge, XrRectangle(x, y + th, x + tw, y + h - th));
    draw_tiled(dc, RightEdge, XrRectangle(x + w - tw, y + th, x + w, y + h - th));
    if (w > min.width && h > min.height)
        draw_tiled(dc, Centre, XrRectangle(x + tw, y + th, x + w - tw, y + h - th));
}

void XrBitmapRectangle::draw_tiled(XrDCHandleRec* dc, int tile, const XrRectangle& rect)
{
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (m_tile_width < 1 || m_tile_height < 1 || width <= 0 || height <= 0)
        return;
    // Within the caller's clip rectangle, which comes back afterwards.
    const XrRectangle saved = dc->clip;
    XrRectangle clip = rect;
    if (saved.left != saved.right) {
        clip = XrRectangle(std::max(rect.left, saved.left), std::max(rect.top, saved.top),
                           std::min(rect.right, saved.right), std::min(rect.bottom, saved.bottom));
        if (clip.left >= clip.right || clip.top >= clip.bottom)
            return;
    }
    XrGDI::set_clip_rect(dc, clip);
    const int columns = (width + m_tile_width - 1) / m_tile_width;
    const int rows = (height + m_tile_height - 1) / m_tile_height;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column)
            draw_tile(dc, tile, rect.left + column * m_tile_width, rect.top + row * m_tile_height);
    }
    if (saved.left != saved.right)
        XrGDI::set_clip_rect(dc, saved);
    else
        XrGDI::clear_clip_rect(dc);
}

void XrBitmapRectangle::draw_tile(XrDCHandleRec* dc, int tile, int x, int y)
{
    XrGDI::draw_bitmap_masked(dc, x, y, x + m_tile_width, y + m_tile_height, m_strip.bitmap(), tile * m_tile_width,
                              0, m_strip.mask());
}
