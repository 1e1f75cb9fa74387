#include "common/types/xr_autozoom.h"
#include "common/types/xr_trig.h"
#include "common/types/xr_unitutil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

TEST(UnitUtil, FormatDistanceText)
{
    const struct {
        double value;
        bool metric, force_large;
        int precision;
        bool in_metres;
        const wchar_t* text;
    } cases[] = {
        {999, true, false, 2, true, L"999 m"},
        {1500, true, false, 2, true, L"1.5 km"},
        {9949, true, false, 2, true, L"9.9 km"},
        {9950, true, false, 2, true, L"10 km"},
        {1234, true, false, 3, true, L"1.23 km"},
        {123456, true, false, 3, true, L"123.5 km"},
        {1234567, true, false, 3, true, L"1235 km"},
        {1500, true, false, 1, true, L"2 km"},
        {250, true, true, 3, true, L"0.25 km"},
        {500, false, false, 2, true, L"547 yd"},
        {1609.344, false, false, 2, true, L"1.0 ml"},
        {1760, false, false, 2, false, L"1.0 ml"},
        {999, false, false, 2, false, L"999 yd"},
    };
    for (const auto& c : cases) {
        TCHAR buf[32];
        format_distance_text(buf, 32, c.value, c.metric, c.force_large, c.precision, c.in_metres);
        EXPECT_EQ(std::wstring(buf), c.text) << c.value;
    }
    TCHAR tiny[4];
    format_distance_text(tiny, 4, 123456, true, false, 0, true);
    EXPECT_EQ(std::wstring(tiny).size(), 3u) << "cut to the buffer and terminated";
}

TEST(UnitUtil, SpeedYardsFixedDegrees)
{
    const TCHAR* label = nullptr;
    EXPECT_DOUBLE_EQ(convert_speed_for_display(100, true, &label), 100);
    EXPECT_EQ(std::wstring(label), L"km/h");
    EXPECT_NEAR(convert_speed_for_display(100, false, &label), 62.137119, 1e-6);
    EXPECT_EQ(std::wstring(label), L"mph");

    EXPECT_EQ(yards_to_metres(100), 91);
    EXPECT_EQ(metres_to_yards(100), 109);
    EXPECT_EQ(metres_to_yards(0), 0);

    EXPECT_EQ(degrees_to_fixed(0), 900000000);
    EXPECT_EQ(degrees_to_fixed(-180), 0);
    EXPECT_EQ(degrees_to_fixed(24.5), 1022500000);
    EXPECT_DOUBLE_EQ(fixed_to_degrees(1022500000), 24.5);
    EXPECT_EQ(degrees_to_fixed(1e9), INT_MAX) << "saturates instead of overflowing";
}

TEST(Trig, WholeDegreeTable)
{
    init_trig_table();
    for (int d = -720; d <= 720; d += 7) {
        const double r = d * 3.14159265 / 180;
        EXPECT_NEAR(sin_deg(d), std::sin(r), 1e-7) << d;
        EXPECT_NEAR(cos_deg(d), std::cos(r), 1e-7) << d;
    }
    EXPECT_EQ(sin_deg(90), 1.0);
    EXPECT_EQ(cos_deg(0), 1.0);
    EXPECT_EQ(cos_deg(180), -1.0);
    EXPECT_EQ(sin_deg(-90), -1.0);
    free_trig_table();
    // The table comes back on first use.
    EXPECT_EQ(cos_deg(360), 1.0);
    EXPECT_NEAR(sin_deg(INT_MIN), std::sin((INT_MIN % 360) * 3.14159265 / 180), 1e-7);
    free_trig_table();
}

TEST(Trig, Hyperbolic)
{
    for (double x : {-3.0, -0.5, 0.0, 0.25, 2.0}) {
        EXPECT_NEAR(hyperbolic_sine(x), std::sinh(x), 1e-12);
        EXPECT_NEAR(inverse_hyperbolic_sine(x), std::asinh(x), 1e-12);
    }
}

// A map engine double: returns a scale it was given and records its arguments.
struct FakeScaler : XrAutozoomScaler {
    int calculate_autozoom_scale(int view_mode, int arg, double speed, int lookahead,
                                 int distance_to_next) const override
    {
        calls.push_back({view_mode, arg, speed, lookahead, distance_to_next});
        return scale;
    }
    struct Call {
        int view_mode, arg;
        double speed;
        int lookahead, distance_to_next;
    };
    int scale = 0;
    mutable std::vector<Call> calls;
};

TEST(Autozoom, LevelsFromScale)
{
    const struct {
        int scale, level;
    } cases[] = {
        {-1, 1},   {0, 1},     {5999, 1},  {6000, 2},  {9999, 2},  {10000, 3},
        {13999, 3}, {14000, 4}, {17999, 4}, {18000, 5}, {INT_MAX, 5}, {INT_MIN, 1},
    };
    FakeScaler scaler;
    for (const auto& c : cases) {
        scaler.scale = c.scale;
        EXPECT_EQ(get_autozoom_level(scaler, 0, 1, 50.0, -1, 300), c.level) << c.scale;
    }
    // The arguments reach the map engine unchanged.
    ASSERT_FALSE(scaler.calls.empty());
    const FakeScaler::Call& call = scaler.calls.back();
    EXPECT_EQ(call.view_mode, 0);
    EXPECT_EQ(call.arg, 1);
    EXPECT_EQ(call.speed, 50.0);
    EXPECT_EQ(call.lookahead, -1);
    EXPECT_EQ(call.distance_to_next, 300);
}

} // namespace
