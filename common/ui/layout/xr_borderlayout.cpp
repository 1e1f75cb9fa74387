#include "common/ui/layout/xr_borderlayout.h"

#include "common/container/xr_defs.h"

#include <algorithm>

namespace {

// rect clipped into area; an area already used up gives an empty rectangle
// on its edge.
XrRectangle clip_into(XrRectangle rect, const XrRectangle& area)
{
    rect.left = std::max(rect.left, area.left);
    rect.top = std::max(rect.top, area.top);
    rect.right = std::min(rect.right, area.right);
    rect.bottom = std::min(rect.bottom, area.bottom);
    rect.right = std::max(rect.right, rect.left);
    rect.bottom = std::max(rect.bottom, rect.top);
    return rect;
}

// The middle of [low, high]; signed, so that a used-up area cannot wrap.
int middle(int low, int high)
{
    return low + (high - low) / 2;
}

} // namespace

XrLayoutItem& XrBorderLayout::item(Position position)
{
    if (position < NORTH || position > CENTER)
        XR_ASSERT(false);
    return m_items[position];
}

void XrBorderLayout::add_control(XrControlBase* control, Position position)
{
    XR_ASSERT(control);
    item(position).init(control);
}

void XrBorderLayout::add_native_control(void* native, Position position)
{
    XR_ASSERT_MSG(native, "control");
    item(position).init(native);
}

void XrBorderLayout::add_layout(XrLayout* layout, Position position)
{
    item(position).init(layout);
}

void XrBorderLayout::set_margins(int horizontal, int vertical)
{
    XR_ASSERT_MSG(horizontal >= 0, "_hmargin >= 0");
    XR_ASSERT_MSG(vertical >= 0, "_vmargin >= 0");
    m_hmargin = horizontal;
    m_vmargin = vertical;
}

void XrBorderLayout::set_spacings(int horizontal, int vertical)
{
    XR_ASSERT_MSG(horizontal >= 0, "_hspacing >= 0");
    XR_ASSERT_MSG(vertical >= 0, "_vspacing >= 0");
    m_hspacing = horizontal;
    m_vspacing = vertical;
}

void XrBorderLayout::layout_controls(const XrRectangle& rect)
{
    if (m_style != ALIGN_STRETCH && m_style != ALIGN_CENTER)
        XR_ASSERT(!"AlignmentStyle not implemented!");
    const bool centred = m_style == ALIGN_CENTER;
    XrRectangle free(rect.left + m_hmargin, rect.top + m_vmargin, rect.right - m_hmargin, rect.bottom - m_vmargin);

    XrLayoutItem& north = m_items[NORTH];
    if (north.has_content()) {
        const XrSize size = north.minimum_size();
        const int mx = middle(free.left, free.right);
        XrRectangle r = centred ? XrRectangle(mx - size.width / 2, free.top, mx + size.width / 2, free.top + size.height)
                                : XrRectangle(free.left, free.top, free.right, free.top + size.height);
        north.layout_item(clip_into(r, free));
        free.top += size.height + m_vspacing;
    }
    XrLayoutItem& south = m_items[SOUTH];
    if (south.has_content()) {
        const XrSize size = south.minimum_size();
        const int mx = middle(free.left, free.right);
        XrRectangle r = centred
                            ? XrRectangle(mx - size.width / 2, free.bottom - size.height, mx + size.width / 2, free.bottom)
                            : XrRectangle(free.left, free.bottom - size.height, free.right, free.bottom);
        south.layout_item(clip_into(r, free));
        free.bottom -= size.height + m_vspacing;
    }
    XrLayoutItem& west = m_items[WEST];
    if (west.has_content()) {
        const XrSize size = west.minimum_size();
        const int my = middle(free.top, free.bottom);
        XrRectangle r = centred
                            ? XrRectangle(free.left, my - size.height / 2, free.left + size.width, my + size.height / 2)
                            : XrRectangle(free.left, free.top, free.left + size.width, free.bottom);
        west.layout_item(clip_into(r, free));
        free.left += size.width + m_hspacing;
    }
    XrLayoutItem& east = m_items[EAST];
    if (east.has_content()) {
        const XrSize size = east.minimum_size();
        const int my = middle(free.top, free.bottom);
        XrRectangle r = centred
                            ? XrRectangle(free.right - size.width, my - size.height / 2, free.right, my + size.height / 2)
                            : XrRectangle(free.right - size.width, free.top, free.right, free.bottom);
        east.layout_item(clip_into(r, free));
        free.right -= size.width + m_hspacing;
    }
    XrLayoutItem& centre = m_items[CENTER];
    if (centre.has_content()) {
        free.right = std::max(free.right, free.left);
        free.bottom = std::max(free.bottom, free.top);
        centre.layout_item(free);
    }
}

int XrBorderLayout::minimum_height()
{
    auto height = [this](Position p) { return m_items[p].has_content() ? m_items[p].minimum_size().height : 0; };
    return height(NORTH) + height(SOUTH) + std::max({height(EAST), height(WEST), height(CENTER)});
}

int XrBorderLayout::minimum_width()
{
    auto width = [this](Position p) { return m_items[p].has_content() ? m_items[p].minimum_size().width : 0; };
    const int middle_row = width(WEST) + width(CENTER) + width(EAST) + 2 * m_hmargin + 2 * m_hspacing;
    return std::max({middle_row, width(NORTH) + 2 * m_hmargin, width(SOUTH) + 2 * m_hmargin});
}
