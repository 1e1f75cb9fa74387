#include "common/types/xr_coordinate.h"
#include "common/types/xr_positioninfo.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring ws(const XrString& s)
{
    return s.c_str();
}

TEST(Coordinate, DegreeMinuteSecondTexts)
{
    const struct {
        double degrees;
        bool longitude, tenths;
        const wchar_t* text;
    } cases[] = {
        {48.5, false, false, L"48° 30' 00\"N"},
        {-48.5, false, false, L"48° 30' 00\"S"},
        {11.2625, true, false, L"011° 15' 45\"E"},
        {-0.5, true, false, L"000° 30' 00\"W"},
        {48 + 12.5 / 3600, false, true, L"48° 00' 12.5\"N"}, // tenths printed with one digit
        {-122.41941, true, true, L"122° 25' 09.8\"W"},
        {179.99999, true, true, L"179° 59' 59.9\"E"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ws(format_dms(c.degrees, c.longitude, c.tenths)), c.text) << c.degrees;

    XrString lat(L"x"), lon(L"y");
    XrCoordinate(11.2625, 48.5).to_strings(lat, lon);
    EXPECT_EQ(ws(lat), L"48° 30' 00\"N");
    EXPECT_EQ(ws(lon), L"011° 15' 45\"E");
    XrCoordinate().to_strings(lat, lon);
    EXPECT_EQ(ws(lat), L"");
    EXPECT_EQ(ws(lon), L"");

    TCHAR buf[64];
    format_dms_coordinate(buf, 64, XrCoordinate(11.2625, 48.5), false);
    EXPECT_EQ(std::wstring(buf), L"48° 30' 00\"N, 011° 15' 45\"E");
    TCHAR small[12];
    format_dms_coordinate(small, 12, XrCoordinate(11.2625, 48.5), false);
    EXPECT_EQ(std::wstring(small), L"48° 3, 011°") << "each half limited, always terminated";
    format_dms_coordinate(buf, 64, XrCoordinate(), false);
    EXPECT_EQ(std::wstring(buf), L"");
}

TEST(Coordinate, ParseDecimalDegrees)
{
    const struct {
        const wchar_t* text;
        bool longitude, ok;
        double value;
    } cases[] = {
        {L"24.94", true, true, 24.94},    {L"-24,5", true, true, -24.5},  {L" 60.17 ", false, true, 60.17},
        {L"180", true, true, 180},        {L"180.01", true, false, 0},    {L"90.5", false, false, 0},
        {L"-90", false, true, -90},       {L"", true, false, 0},          {L"abc", true, false, 0},
        {L"12abc", true, false, 0},       {L"1.2.3", true, false, 0},     {L"-", true, false, 0},
        {L".5", false, true, 0.5},
    };
    for (const auto& c : cases) {
        double v = -999;
        const bool ok = c.longitude ? parse_longitude(c.text, v) : parse_latitude(c.text, v);
        EXPECT_EQ(ok, c.ok) << testing::PrintToString(std::wstring(c.text));
        EXPECT_DOUBLE_EQ(v, c.ok ? c.value : -999) << "output untouched on failure";
    }
}

TEST(Coordinate, ParseNmeaDegrees)
{
    const struct {
        const wchar_t* text;
        bool ok;
        double value;
    } cases[] = {
        {L"4807.5", true, 48.125}, {L"01131.000", true, 11.516666666666667}, {L"4807", false, 0},
        {L"807.5", false, 0},      {L"480700.5", false, 0},                 {L"48a7.5", false, 0},
        {L"", false, 0},           {L"4807.5x", false, 0},                  {L"-807.5", false, 0},
    };
    for (const auto& c : cases) {
        double v = -1;
        EXPECT_EQ(parse_nmea_degrees(c.text, v), c.ok) << testing::PrintToString(std::wstring(c.text));
        if (c.ok) {
            EXPECT_NEAR(v, c.value, 1e-12);
        }
    }
    // Minutes with hundreds of digits still give a finite value.
    double v = 7;
    EXPECT_TRUE(parse_nmea_degrees(XrString((L"4408.7" + std::wstring(400, L'8')).c_str()), v));
    EXPECT_NEAR(v, 44 + 8.78888888888889 / 60, 1e-9);
}

TEST(Coordinate, ParseDms)
{
    const struct {
        const wchar_t* text;
        bool longitude, ok;
        double value;
    } cases[] = {
        {L"N 48 30 0", false, true, 48.5},
        {L"48 30 S", false, true, -48.5},
        {L"48 60 N", false, false, 0},
        {L"48 30 60", false, false, 0},
        {L"-48 30", false, true, -48.5}, // the sign covers the whole value
        {L"-0 30", false, true, -0.5},
        {L"48°30'15\"N", false, true, 48.50416666666667},
        {L"s48 30", false, true, -48.5},
        {L"W 122 25 9.8", true, true, -122.41938888888889},
        {L"122,5 E", true, true, 122.5},
        {L"E 10 W", true, false, 0},     // a second letter
        {L"N 48", true, false, 0},       // latitude letter in a longitude
        {L"48 30 0 1", false, false, 0}, // a fourth number
        {L"48 -30", false, false, 0},
        {L"", false, false, 0},
        {L"N", false, false, 0},
        {L"91", false, false, 0},
        {L"181 W", true, false, 0},
        {L"180 W", true, true, -180},
        {L"4.8.5", false, false, 0},
    };
    for (const auto& c : cases) {
        double v = -999;
        EXPECT_EQ(parse_dms_coordinate(c.text, c.longitude, v), c.ok) << testing::PrintToString(std::wstring(c.text));
        EXPECT_NEAR(v, c.ok ? c.value : -999, 1e-9) << testing::PrintToString(std::wstring(c.text));
    }
    // Only the first 126 characters are read.
    std::wstring long_text = L"48 30" + std::wstring(121, L' ') + L"S";
    double v = 0;
    EXPECT_TRUE(parse_dms_coordinate(XrString(long_text.c_str()), false, v));
    EXPECT_DOUBLE_EQ(v, 48.5) << "the S lies beyond the limit";
}

TEST(PositionInfo, NewCopyAndAssign)
{
    XrPositionInfo info;
    EXPECT_FALSE(info.get_coordinate().is_valid());
    EXPECT_FALSE(info.get_velocity().is_valid());
    EXPECT_FALSE(info.get_heading().is_valid());
    EXPECT_EQ(info.get_used_satellites().get_num_items(), 0);
    EXPECT_EQ(info.get_satellites_in_view().get_num_items(), 0);
    EXPECT_FALSE(info.has_fix());
    EXPECT_EQ(info.get_receiver_value_a() + info.get_receiver_value_b() + info.get_receiver_value_c(), 0);

    XrArray<int> used(4, 0);
    for (int i = 1; i <= 10; ++i)
        used.append(i);
    XrArray<XrSVData> in_view(12, 0);
    in_view.append(XrSVData{7, 45, 270, 38});
    in_view.append(XrSVData{9, 10, 90, 0});

    info.set_coordinate(XrCoordinate(24.9, 60.2));
    info.set_velocity(XrVelocity(10, XrVelocity::MetresPerSecond));
    info.set_heading(XrAngle(90, XrAngle::Degrees));
    info.set_used_satellites(used);
    info.set_satellites_in_view(in_view);
    info.set_fix(true);
    info.set_receiver_value_a(1);
    info.set_receiver_value_b(2);
    info.set_receiver_value_c(3);

    used.remove_all(); // the record holds its own copy
    EXPECT_EQ(info.get_used_satellites().get_num_items(), 10);

    XrPositionInfo copy(info);
    XrPositionInfo assigned;
    assigned = info;
    for (const XrPositionInfo* p : {&copy, &assigned}) {
        EXPECT_EQ(p->get_coordinate(), XrCoordinate(24.9, 60.2));
        EXPECT_EQ(p->get_velocity(), XrVelocity(10, XrVelocity::MetresPerSecond));
        EXPECT_EQ(p->get_heading(), XrAngle(90, XrAngle::Degrees));
        ASSERT_EQ(p->get_used_satellites().get_num_items(), 10);
        EXPECT_EQ(*p->get_used_satellites().get_item_ptr(9), 10);
        ASSERT_EQ(p->get_satellites_in_view().get_num_items(), 2);
        const XrSVData* sv = p->get_satellites_in_view().get_item_ptr(0);
        EXPECT_EQ(sv->number, 7);
        EXPECT_EQ(sv->elevation, 45);
        EXPECT_EQ(sv->azimuth, 270);
        EXPECT_EQ(sv->snr, 38);
        EXPECT_TRUE(p->has_fix());
        EXPECT_EQ(p->get_receiver_value_a(), 1);
        EXPECT_EQ(p->get_receiver_value_b(), 2);
        EXPECT_EQ(p->get_receiver_value_c(), 3);
    }

    // Assigning a record with fewer satellites replaces the lists.
    assigned = XrPositionInfo();
    EXPECT_EQ(assigned.get_used_satellites().get_num_items(), 0);
    EXPECT_FALSE(assigned.has_fix());
    XrPositionInfo& same = info;
    info = same; // self-assignment keeps the lists
    EXPECT_EQ(info.get_used_satellites().get_num_items(), 10);
}

} // namespace
