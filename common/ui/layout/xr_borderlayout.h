// Five regions: top, bottom, left and right bands and the centre, each
// holding one control, native widget or nested layout. Bands take their
// content's minimum size; the centre gets what remains. Dialogs build one
// when their rectangle changes, lay it out and drop it.
#pragma once

#include "common/ui/layout/xr_layout.h"

class XrBorderLayout : public XrLayout {
public:
    enum Position : int { NORTH = 0, EAST = 1, SOUTH = 2, WEST = 3, CENTER = 4 };
    enum AlignmentStyle : int { ALIGN_STRETCH = 0, ALIGN_CENTER = 1 };

    XrBorderLayout() = default;

    // The control stays its owner's.
    void add_control(XrControlBase* control, Position position);
    // The layout makes a control around the widget and deletes it with
    // itself or when the region is filled again.
    void add_native_control(void* native, Position position);
    void add_layout(XrLayout* layout, Position position);

    void set_margins(int horizontal, int vertical);
    void set_spacings(int horizontal, int vertical);
    void set_alignment_style(AlignmentStyle style) { m_style = style; }

    // Bands in the order north, south, west, east, each clipped into the
    // area left free; the centre gets the rest. When the bands need more
    // than the rectangle, the later regions get empty rectangles at the
    // edge of what is left (never inverted ones).
    void layout_controls(const XrRectangle& rect) override;
    // North + south + the largest of east, west and centre; margins and
    // spacings are not counted.
    int minimum_height() override;
    // The largest of west + centre + east (with twice each margin and
    // spacing), north and south (with twice the margin).
    int minimum_width() override;

private:
    XrLayoutItem& item(Position position);

    XrLayoutItem m_items[5];
    int m_hmargin = 0;
    int m_vmargin = 0;
    int m_hspacing = 0;
    int m_vspacing = 0;
    AlignmentStyle m_style = ALIGN_STRETCH;
};
