#include "common/gdi/xr_palette.h"

#include <gtest/gtest.h>

namespace {

TEST(PaletteTest, CloseColoursShareAnEntry)
{
    XrPalette p;
    EXPECT_EQ(p.add_color(10, 10, 10), 0);
    EXPECT_EQ(p.add_color(12, 11, 10), 0); // distance 3
    EXPECT_EQ(p.add_color(20, 10, 10), 1); // distance 10
    EXPECT_EQ(p.add_color(15, 10, 10), 0); // distance 5 to entry 0, first of the tie
    EXPECT_EQ(p.add_color(16, 10, 10), 1); // distance 4 to entry 1
    EXPECT_EQ(p.get_count(), 2u);
    EXPECT_EQ(p.get_color(1), XrGDI::rgb(20, 10, 10));
    EXPECT_EQ(p.get_color(2), 0u);
    EXPECT_EQ(p.get_color(-1), 0u);
}

TEST(PaletteTest, FindNearestOnAnEmptyPaletteTakesTheColour)
{
    XrPalette p;
    EXPECT_EQ(p.find_nearest(1, 2, 3), 0);
    EXPECT_EQ(p.get_count(), 1u);
    EXPECT_EQ(p.get_color(0), XrGDI::rgb(1, 2, 3));
    EXPECT_EQ(p.add_color(200, 0, 0), 1);
    EXPECT_EQ(p.find_nearest(150, 0, 0), 1);
    EXPECT_EQ(p.find_nearest(50, 2, 3), 0);
    EXPECT_EQ(p.get_count(), 2u);
}

TEST(PaletteTest, AFullPaletteGivesTheNearestEntry)
{
    XrPalette p;
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(p.add_color(i % 16 * 16, i / 16 * 16, 0), i);
    EXPECT_EQ(p.get_count(), 256u);
    EXPECT_EQ(p.add_color(5 * 16 + 7, 3 * 16, 9), 3 * 16 + 5);
    EXPECT_EQ(p.get_count(), 256u);
}

TEST(PaletteDeathTest, NoPlatformHandle)
{
    XrPalette p;
    EXPECT_DEATH(p.handle(), "xr_palette");
}

} // namespace
