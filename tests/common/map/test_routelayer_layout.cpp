// The route layer's layout and text arithmetic: remaining time, signpost
// scheme prefixes, scale bar choice, speed and alert signs, box heights.
#include <gtest/gtest.h>

#include <string>

#include "common/map/xr_routelayer_draw.h"

using namespace xr_routelayer;

namespace {
std::wstring str(const XrString& s) { return s.is_empty() ? std::wstring() : std::wstring(s.c_str()); }
} // namespace

TEST(RouteLayerTexts, RemainingTime)
{
    const struct {
        int minutes;
        const wchar_t* text;
    } cases[] = {
        {-5, L"<2 min"}, {0, L"<2 min"},   {2, L"<2 min"},         {3, L"3 min"},          {15, L"15 min"},
        {16, L"15 min"}, {18, L"20 min"},  {65, L"65 min"},        {66, L"1 h 5 min"},     {123, L"2 h 5 min"},
        {119, L"2 h 0 min"}, {600, L"10 h 0 min"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(str(format_remaining_time(c.minutes)), c.text) << c.minutes;
}

TEST(RouteLayerTexts, SchemePrefix)
{
    const struct {
        const wchar_t* text;
        int start, index;
    } cases[] = {
        {L"3|A7", 2, 2},      // one digit and a bar
        {L"1|Nord", 2, 0},
        {L"12|Exit", 3, 11},  // two digits
        {L"20|x", 3, 19},
        {L"25|x", 3, 0},      // 2 x 15 - 1 = 29: out of range
        {L"0|x", 2, 0},       // -1: out of range
        // Short texts: the start never passes the end.
        {L"", 0, 0},
        {L"7", 1, 0},
        {L"12", 2, 11},
        {L"3|", 2, 2},
    };
    for (const auto& c : cases) {
        int start = -9, index = -9;
        parse_scheme_prefix(XrString(c.text), start, index);
        EXPECT_EQ(start, c.start) << c.text;
        EXPECT_EQ(index, c.index) << c.text;
    }
}

TEST(RouteLayerScaleBar, CandidateLists)
{
    const struct {
        int units, count;
        const wchar_t *first, *last, *first_mile;
    } cases[] = {
        {0, 24, L"5 m", L"250 km", L"1 km"},
        {1, 31, L"5 yd", L"200 mi", L"0.2 mi"},
        {2, 37, L"5 ft", L"200 mi", L"0.2 mi"},
    };
    for (const auto& c : cases) {
        int n = 0;
        const XrScaleCandidate* list = scale_bar_candidates(c.units, n);
        ASSERT_EQ(n, c.count) << c.units;
        EXPECT_EQ(str(scale_candidate_label(list[0])), c.first);
        EXPECT_EQ(str(scale_candidate_label(list[n - 1])), c.last);
        for (int i = 0; i < n; ++i) {
            if (list[i].unit == XrDistance::Kilometres || list[i].unit == XrDistance::Miles) {
                EXPECT_EQ(str(scale_candidate_label(list[i])), c.first_mile) << c.units;
                break;
            }
        }
        // Ascending lengths.
        for (int i = 1; i < n; ++i)
            EXPECT_LT(scale_candidate_metres(list[i - 1]), scale_candidate_metres(list[i])) << c.units << " " << i;
    }
    int n = 0;
    const XrScaleCandidate* feet = scale_bar_candidates(2, n);
    EXPECT_EQ(str(scale_candidate_label(feet[22])), L"1.5 mi");
}

TEST(RouteLayerScaleBar, NearestCandidate)
{
    // One pixel a metre: 30 pixels is 30 m, 30 yd or 30 ft.
    auto px = [](double metres) { return metres; };
    int n = 0;
    const XrScaleCandidate* m = scale_bar_candidates(0, n);
    EXPECT_EQ(str(scale_candidate_label(m[choose_scale_candidate(0, 30, px)])), L"30 m");
    const XrScaleCandidate* f = scale_bar_candidates(2, n);
    // 30 px = 98.4 ft: 100 ft.
    EXPECT_EQ(str(scale_candidate_label(f[choose_scale_candidate(2, 30, px)])), L"100 ft");
    const XrScaleCandidate* y = scale_bar_candidates(1, n);
    EXPECT_EQ(str(scale_candidate_label(y[choose_scale_candidate(1, 30, px)])), L"30 yd");
    // Zoomed far out: 1 px = 10 km; 30 px = 300 km: the largest.
    auto far = [](double metres) { return metres / 10000; };
    EXPECT_EQ(choose_scale_candidate(0, 30, far), 23);
    // Equal distance: the first wins (20 m and 40 m targets around 30).
    auto half = [](double metres) { return metres * 2; }; // 10 m = 20 px, 20 m = 40 px
    EXPECT_EQ(str(scale_candidate_label(m[choose_scale_candidate(0, 30, half)])), L"10 m");
}

TEST(RouteLayerScaleBar, PixelsAndThickness)
{
    // Default reference: 50 units on 800 pixels; at scale 16000 one unit a pixel.
    EXPECT_DOUBLE_EQ(scale_metres_to_pixels(100, 16000, 50, 800), 100);
    EXPECT_DOUBLE_EQ(scale_metres_to_pixels(100, 32000, 50, 800), 50);
    EXPECT_EQ(scale_metres_to_pixels(100, 0, 50, 800), 0);
    const struct {
        double factor;
        int thickness;
    } cases[] = {{1.0, 4}, {1.25, 6}, {1.5, 6}, {2.0, 8}, {0.5, 2}};
    for (const auto& c : cases)
        EXPECT_EQ(scale_bar_thickness(c.factor), c.thickness) << c.factor;
}

TEST(RouteLayerSpeed, DisplayUnits)
{
    EXPECT_DOUBLE_EQ(display_speed(10, 0), 36);
    EXPECT_NEAR(display_speed(10, 1), 22.369, 0.001);
    EXPECT_NEAR(display_speed(10, 2), 22.369, 0.001);
    EXPECT_STREQ(display_speed_unit(0), L"km/h");
    EXPECT_STREQ(display_speed_unit(2), L"mph");
}

TEST(RouteLayerAlert, SignsByKind)
{
    const struct {
        int kind;
        double limit;
        int units;
        int icon;
        const wchar_t* text;
    } cases[] = {
        {1, 50 / 3.6, 0, 8, L"50"},   {11, 100 / 3.6, 0, 8, L"100"}, {3, 30 / 3.6, 0, 8, L"30"},
        {4, 0, 0, -1, L""},           {2, -1, 0, -1, L""},           {1, 50 * 1.609344 / 3.6, 1, 8, L"50"},
        {5, -1, 0, 18, L""},          {6, -1, 0, 14, L""},           {7, -1, 0, 15, L""},
        {9, -1, 0, 12, L"2m"},        {10, -1, 0, 8, L"15t"},        {12, -1, 0, 7, L""},
        {13, -1, 0, 16, L""},         {0, 30, 0, -1, L""},           {8, 30, 0, -1, L""},
    };
    for (const auto& c : cases) {
        XrString text(L"stale");
        EXPECT_EQ(alert_sign_icon(c.kind, c.limit, c.units, text), c.icon) << c.kind;
        EXPECT_EQ(str(text), c.text) << c.kind;
    }
    EXPECT_EQ(alert_value_offset(XrString(L"50")), 16);
    EXPECT_EQ(alert_value_offset(XrString(L"120")), 25);
}

TEST(RouteLayerBoxes, ArrowWidthAndBoxHeight)
{
    const struct {
        unsigned scale;
        int f;
    } widths[] = {{0, 8},     {7999, 8},  {8000, 7},  {15999, 7},  {16000, 6},
                  {29999, 6}, {30000, 5}, {49999, 5}, {50000, 4}, {99999, 4}, {100000, 3}};
    for (const auto& c : widths)
        EXPECT_EQ(turn_arrow_width_factor(c.scale), c.f) << c.scale;

    const struct {
        bool next;
        int d, width;
        bool signpost;
        int h;
    } heights[] = {
        {false, 100, 800, false, 0}, {true, 1000, 689, false, 49}, {true, 1000, 690, false, 56},
        {true, 1001, 800, false, 0}, {true, 100, 800, true, 95},   {false, 5000, 800, true, 95},
    };
    for (const auto& c : heights)
        EXPECT_EQ(guidance_box_height(c.next, c.d, c.width, c.signpost), c.h) << c.d << " " << c.width;
}
