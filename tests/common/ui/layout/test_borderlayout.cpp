#include "common/ui/layout/xr_borderlayout.h"

#include "common/ui/controls/xr_controlbase.h"

#include <gtest/gtest.h>

namespace {

int g_widget = 0;

// A control with a fixed minimum size that records where it was put.
class SizedControl : public XrControlBase {
public:
    SizedControl(int w, int h) : XrControlBase(&g_widget), size(w, h) {}
    XrSize get_minimum_size() const override { return size; }
    XrSize size;
};

TEST(BorderLayoutTest, CentreAloneFillsTheRectangleLessMargins)
{
    SizedControl centre(10, 10);
    XrBorderLayout layout;
    layout.set_margins(4, 6);
    layout.add_control(&centre, XrBorderLayout::CENTER);
    layout.layout_controls(XrRectangle(0, 0, 660, 394));
    EXPECT_EQ(centre.get_rectangle(), XrRectangle(4, 6, 656, 388));
}

TEST(BorderLayoutTest, StretchedBandsTakeTheirMinimumAndLeaveTheRestToTheCentre)
{
    SizedControl north(50, 20), south(50, 30), west(40, 10), east(60, 10), centre(1, 1);
    XrBorderLayout layout;
    layout.set_spacings(3, 5);
    layout.add_control(&north, XrBorderLayout::NORTH);
    layout.add_control(&south, XrBorderLayout::SOUTH);
    layout.add_control(&west, XrBorderLayout::WEST);
    layout.add_control(&east, XrBorderLayout::EAST);
    layout.add_control(&centre, XrBorderLayout::CENTER);
    layout.layout_controls(XrRectangle(0, 0, 400, 300));
    EXPECT_EQ(north.get_rectangle(), XrRectangle(0, 0, 400, 20));
    EXPECT_EQ(south.get_rectangle(), XrRectangle(0, 270, 400, 300));
    EXPECT_EQ(west.get_rectangle(), XrRectangle(0, 25, 40, 265));
    EXPECT_EQ(east.get_rectangle(), XrRectangle(340, 25, 400, 265));
    EXPECT_EQ(centre.get_rectangle(), XrRectangle(43, 25, 337, 265));
}

TEST(BorderLayoutTest, NorthWithSpacingMovesTheCentreDown)
{
    SizedControl north(10, 20), centre(1, 1);
    XrBorderLayout layout;
    layout.set_spacings(0, 5);
    layout.add_control(&north, XrBorderLayout::NORTH);
    layout.add_control(&centre, XrBorderLayout::CENTER);
    layout.layout_controls(XrRectangle(0, 100, 200, 300));
    EXPECT_EQ(centre.get_rectangle().top, 125);
}

TEST(BorderLayoutTest, CentredBandsSitInTheMiddleOfTheFreeArea)
{
    SizedControl north(40, 20), south(30, 10), west(20, 40), east(10, 30), centre(1, 1);
    XrBorderLayout layout;
    layout.set_alignment_style(XrBorderLayout::ALIGN_CENTER);
    layout.add_control(&north, XrBorderLayout::NORTH);
    layout.add_control(&south, XrBorderLayout::SOUTH);
    layout.add_control(&west, XrBorderLayout::WEST);
    layout.add_control(&east, XrBorderLayout::EAST);
    layout.add_control(&centre, XrBorderLayout::CENTER);
    layout.layout_controls(XrRectangle(0, 0, 200, 130));
    EXPECT_EQ(north.get_rectangle(), XrRectangle(80, 0, 120, 20));
    EXPECT_EQ(south.get_rectangle(), XrRectangle(85, 120, 115, 130));
    // Free area now 20..120: middle 70.
    EXPECT_EQ(west.get_rectangle(), XrRectangle(0, 50, 20, 90));
    EXPECT_EQ(east.get_rectangle(), XrRectangle(190, 55, 200, 85));
    EXPECT_EQ(centre.get_rectangle(), XrRectangle(20, 20, 190, 120));
}

TEST(BorderLayoutTest, BandWiderThanTheFreeAreaIsClipped)
{
    SizedControl north(500, 20);
    XrBorderLayout layout;
    layout.set_alignment_style(XrBorderLayout::ALIGN_CENTER);
    layout.set_margins(10, 0);
    layout.add_control(&north, XrBorderLayout::NORTH);
    layout.layout_controls(XrRectangle(0, 0, 200, 100));
    EXPECT_EQ(north.get_rectangle(), XrRectangle(10, 0, 190, 20));
}

TEST(BorderLayoutTest, BandsLargerThanTheRectangleNeverGiveInvertedRectangles)
{
    SizedControl north(10, 80), south(10, 80), west(30, 10), centre(1, 1);
    XrBorderLayout layout;
    layout.set_alignment_style(XrBorderLayout::ALIGN_CENTER);
    layout.add_control(&north, XrBorderLayout::NORTH);
    layout.add_control(&south, XrBorderLayout::SOUTH);
    layout.add_control(&west, XrBorderLayout::WEST);
    layout.add_control(&centre, XrBorderLayout::CENTER);
    layout.layout_controls(XrRectangle(0, 0, 100, 100));
    for (const SizedControl* c : {&north, &south, &west, &centre}) {
        const XrRectangle r = c->get_rectangle();
        EXPECT_LE(r.left, r.right);
        EXPECT_LE(r.top, r.bottom);
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, 100);
    }
    EXPECT_EQ(north.get_rectangle(), XrRectangle(45, 0, 55, 80));
    EXPECT_EQ(south.get_rectangle(), XrRectangle(45, 80, 55, 100));
    EXPECT_EQ(centre.get_rectangle().top, centre.get_rectangle().bottom);
}

TEST(BorderLayoutTest, MinimumSizes)
{
    SizedControl centre(40, 30);
    XrBorderLayout layout;
    layout.set_margins(10, 10);
    layout.add_control(&centre, XrBorderLayout::CENTER);
    EXPECT_EQ(layout.minimum_height(), 30);
    EXPECT_EQ(layout.minimum_width(), 60);

    SizedControl north(200, 15), south(20, 5), west(30, 50), east(25, 10);
    layout.set_spacings(2, 7);
    layout.add_control(&north, XrBorderLayout::NORTH);
    layout.add_control(&south, XrBorderLayout::SOUTH);
    layout.add_control(&west, XrBorderLayout::WEST);
    layout.add_control(&east, XrBorderLayout::EAST);
    EXPECT_EQ(layout.minimum_height(), 15 + 5 + 50);
    EXPECT_EQ(layout.minimum_width(), 220);
    north.size.width = 10;
    EXPECT_EQ(layout.minimum_width(), 30 + 40 + 25 + 20 + 4);
}

TEST(BorderLayoutTest, NestedLayoutIsLaidOutInItsRegion)
{
    SizedControl inner_north(10, 12), inner_centre(5, 5), outer_centre(1, 1);
    XrBorderLayout inner;
    inner.add_control(&inner_north, XrBorderLayout::NORTH);
    inner.add_control(&inner_centre, XrBorderLayout::CENTER);
    XrBorderLayout outer;
    outer.add_layout(&inner, XrBorderLayout::WEST);
    outer.add_control(&outer_centre, XrBorderLayout::CENTER);
    outer.layout_controls(XrRectangle(0, 0, 100, 50));
    // The nested layout is as wide as its widest row (10).
    EXPECT_EQ(inner_north.get_rectangle(), XrRectangle(0, 0, 10, 12));
    EXPECT_EQ(inner_centre.get_rectangle(), XrRectangle(0, 12, 10, 50));
    EXPECT_EQ(outer_centre.get_rectangle(), XrRectangle(10, 0, 100, 50));
}

// Counts its instances, to see which controls a layout item deletes.
class TrackedControl : public XrControlBase {
public:
    TrackedControl() : XrControlBase(&g_widget) { ++alive; }
    ~TrackedControl() override { --alive; }
    static int alive;
};
int TrackedControl::alive = 0;

TEST(LayoutItemTest, OwnsOnlyTheControlsItMade)
{
    int first = 0, second = 0;
    XrLayoutItem item(&first);
    ASSERT_NE(item.get_control(), nullptr);
    EXPECT_EQ(item.get_control()->get_control(), &first);
    item.init(&second);
    EXPECT_EQ(item.get_control()->get_control(), &second);

    {
        TrackedControl control;
        item.init(static_cast<XrControlBase*>(&control));
        EXPECT_EQ(item.get_control(), &control);
        int third = 0;
        item.init(static_cast<void*>(&third)); // replaces a control it does not own
        EXPECT_EQ(TrackedControl::alive, 1);
        item.init(static_cast<XrControlBase*>(&control));
    }
    EXPECT_EQ(TrackedControl::alive, 0);
}

TEST(BorderLayoutTest, ReplacingAControlLeavesItToItsOwner)
{
    TrackedControl kept;
    int widget = 0;
    {
        XrBorderLayout layout;
        layout.add_control(&kept, XrBorderLayout::CENTER);
        layout.add_native_control(&widget, XrBorderLayout::CENTER);
        layout.add_native_control(&widget, XrBorderLayout::NORTH);
        layout.layout_controls(XrRectangle(0, 0, 10, 10));
    }
    EXPECT_EQ(TrackedControl::alive, 1);
}

TEST(BorderLayoutDeathTest, MisuseEndsTheProcess)
{
    XrBorderLayout layout;
    SizedControl control(1, 1);
    XrBorderLayout nested;
    EXPECT_DEATH(layout.add_control(nullptr, XrBorderLayout::NORTH), "Assertion `control' failed");
    EXPECT_DEATH(layout.add_native_control(nullptr, XrBorderLayout::NORTH), "Assertion `control' failed");
    EXPECT_DEATH(layout.add_control(&control, static_cast<XrBorderLayout::Position>(5)), "Assertion `false' failed");
    EXPECT_DEATH(layout.set_margins(-1, 0), "Assertion `_hmargin >= 0' failed");
    EXPECT_DEATH(layout.set_spacings(0, -1), "Assertion `_vspacing >= 0' failed");
    EXPECT_DEATH(
        {
            layout.add_control(&control, XrBorderLayout::WEST);
            layout.add_layout(&nested, XrBorderLayout::WEST);
        },
        "Assertion `!control' failed");
    EXPECT_DEATH(
        {
            layout.set_alignment_style(static_cast<XrBorderLayout::AlignmentStyle>(2));
            layout.layout_controls(XrRectangle(0, 0, 10, 10));
        },
        "Assertion `!\"AlignmentStyle not implemented!\"' failed");
    XrControlBase unbound;
    EXPECT_DEATH(XrLayoutItem item(&unbound), "Assertion `_control->get_control\\(\\)' failed");
    EXPECT_DEATH(
        {
            XrLayoutItem item;
            item.minimum_size();
        },
        "Assertion `control \\|\\| layout' failed");
}

} // namespace
