// The arithmetic of the GPS status window's controls: bar heights and the
// sky-plot fill from the signal-to-noise ratio, the order of the bars, the
// place of a satellite on the plot and the position texts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "apps/corvanel/ui/controls/xr_gpspositionctrl.h"
#include "apps/corvanel/ui/controls/xr_signalctrl.h"

namespace {

XrSVData sv(int number, int elevation, int azimuth, int snr)
{
    XrSVData d;
    d.number = static_cast<std::uint16_t>(number);
    d.elevation = static_cast<std::uint16_t>(elevation);
    d.azimuth = static_cast<std::uint16_t>(azimuth);
    d.snr = snr;
    return d;
}

std::string narrow(const XrString& s)
{
    std::string out;
    for (const wchar_t* p = s.c_str(); p != nullptr && *p != 0; ++p)
        out += *p < 128 ? static_cast<char>(*p) : '*';
    return out;
}

// A bar is units x height / 20 high, units = snr x 40 / 100 but at least 3,
// never more than the full bar. A negative ratio (a receiver without one)
// is no signal: the minimum bar, not a full one.
TEST(SignalBarsTest, HeightFollowsTheRatio)
{
    const struct {
        int snr;
        int expected; // of a 60-pixel bar
    } cases[] = {
        {45, 54}, {30, 36}, {20, 24}, {7, 9}, {0, 9}, {50, 60}, {99, 60}, {-1, 9}, {-40, 9},
    };
    for (const auto& c : cases) {
        const XrSVData d = sv(1, 10, 10, c.snr);
        EXPECT_EQ(XrSignalStrengthIndicator::bar_height(&d, 60), c.expected) << "snr " << c.snr;
    }
    EXPECT_EQ(XrSignalStrengthIndicator::bar_height(nullptr, 60), 9) << "an empty place";
}

TEST(SignalBarsTest, SkyBoxFillFollowsTheRatio)
{
    const struct {
        int snr, inner, expected;
    } cases[] = {
        {40, 20, 14}, {100, 20, 20}, {0, 20, 0}, {-5, 20, 0}, {-100000, 20, 0}, {40, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XrSatellitePositions::snr_fill_height(c.snr, c.inner), c.expected) << "snr " << c.snr;
}

// Strongest first, a negative ratio with the weakest; equal ratios keep the
// receiver's order.
TEST(SignalBarsTest, StrongestFirst)
{
    XrArray<XrSVData> in_view;
    for (const XrSVData& d : {sv(3, 0, 0, 20), sv(7, 0, 0, -9), sv(9, 0, 0, 41), sv(11, 0, 0, 20), sv(14, 0, 0, 0)})
        in_view.append(d);
    const auto sorted = XrSignalStrengthIndicator::sorted_by_snr(in_view);
    ASSERT_EQ(sorted.size(), 5u);
    EXPECT_EQ(sorted[0]->number, 9);
    EXPECT_EQ(sorted[1]->number, 3);
    EXPECT_EQ(sorted[2]->number, 11);
    EXPECT_EQ(sorted[3]->number, 7);
    EXPECT_EQ(sorted[4]->number, 14);
}

TEST(SkyPlotTest, SatellitePlaces)
{
    const struct {
        int elevation, azimuth, x, y;
    } cases[] = {
        {90, 0, 100, 100},   // overhead: the centre
        {0, 120, 180, 100},  // horizon, azimuth 120: right
        {0, 30, 100, 180},   // horizon, azimuth 30: below
        {0, 210, 100, 20},   // horizon, azimuth 210: above
        {60, 120, 140, 100}, // half way out
    };
    for (const auto& c : cases) {
        const XrPoint p = XrSatellitePositions::satellite_point(100, 100, 80, sv(1, c.elevation, c.azimuth, 0));
        EXPECT_NEAR(p.x, c.x, 1) << c.elevation << "/" << c.azimuth;
        EXPECT_NEAR(p.y, c.y, 1) << c.elevation << "/" << c.azimuth;
    }
}

TEST(PositionTextTest, DegreesMinutesSecondsAndValues)
{
    EXPECT_EQ(narrow(XrGpsPositionCtrl::format_longitude(-24.0008)), "024* 00' 02\"W");
    EXPECT_EQ(narrow(XrGpsPositionCtrl::format_longitude(0.0)), "000* 00' 00\"E");
    EXPECT_EQ(narrow(XrGpsPositionCtrl::format_longitude(11.2583333)), "011* 15' 29\"E");
    EXPECT_EQ(narrow(XrGpsPositionCtrl::format_latitude(30.995)), "30* 59' 42\"N");
    EXPECT_EQ(narrow(XrGpsPositionCtrl::format_latitude(0.0)), "00* 00' 00\"N");
    EXPECT_EQ(narrow(XrGpsPositionCtrl::format_latitude(-33.5)), "33* 30' 00\"S");
    const struct {
        double value;
        const char* text;
    } values[] = {{9.94, "9.9"}, {9.96, "10"}, {0.0, "0.0"}, {66.7, "67"}};
    for (const auto& v : values)
        EXPECT_EQ(narrow(XrGpsPositionCtrl::format_value(v.value)), v.text) << v.value;
}

} // namespace
