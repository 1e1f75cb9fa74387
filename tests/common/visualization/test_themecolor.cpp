// Theme adjustment of style colours by contrast and brightness.
#include <gtest/gtest.h>

#include <cstdint>

#include "common/visualization/xr_visualsetting.h"

namespace {

struct ColorCase {
    int contrast;
    int brightness;
    int in[3];
    int out[3];
};

class ThemeColor : public ::testing::TestWithParam<ColorCase> {};

TEST_P(ThemeColor, Adjusts)
{
    const ColorCase& c = GetParam();
    int r = c.in[0], g = c.in[1], b = c.in[2];
    XrVisualSetting::adjust_color(c.contrast, c.brightness, r, g, b);
    EXPECT_EQ(r, c.out[0]);
    EXPECT_EQ(g, c.out[1]);
    EXPECT_EQ(b, c.out[2]);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ThemeColor,
    ::testing::Values(
        // Brighter at positive contrast, hue and saturation kept.
        ColorCase{50, 100, {200, 40, 40}, {213, 43, 43}}, ColorCase{50, 100, {10, 200, 30}, {11, 213, 31}},
        // Darker at negative contrast.
        ColorCase{-50, 100, {30, 60, 200}, {28, 57, 186}},
        // Grey stays grey.
        ColorCase{100, 80, {128, 128, 128}, {204, 204, 204}}, ColorCase{-100, 100, {255, 255, 255}, {0, 0, 0}},
        // A contrast without brightness gives black.
        ColorCase{30, 0, {200, 40, 40}, {0, 0, 0}},
        // No contrast: unchanged, whatever the brightness.
        ColorCase{0, 50, {1, 2, 3}, {1, 2, 3}},
        // A value past 255 or a channel out of range leaves the colour as it was.
        ColorCase{50, 200, {200, 40, 40}, {200, 40, 40}}, ColorCase{50, -100, {200, 40, 40}, {200, 40, 40}},
        ColorCase{50, 100, {300, 40, 40}, {300, 40, 40}},
        // Contrast beyond 100 counts as 100; extreme values do not overflow.
        ColorCase{1000, 100, {255, 255, 255}, {255, 255, 255}},
        ColorCase{INT32_MIN, INT32_MAX, {200, 40, 40}, {0, 0, 0}}));

} // namespace
