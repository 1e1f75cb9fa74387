#include "common/misc/xr_locale_dummy.h"
#include "common/types/xr_angle.h"
#include "common/types/xr_distance.h"
#include "common/types/xr_duration.h"
#include "common/types/xr_velocity.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

std::wstring ws(const XrString& s)
{
    return s.c_str();
}

// Locale formatting ------------------------------------------------------------

TEST(Locale, FormatInt)
{
    const struct {
        int value, width;
        const wchar_t* text;
    } cases[] = {
        {7, 0, L"7"}, {7, 1, L"7"}, {7, 2, L"07"}, {7, 3, L"007"}, {123, 2, L"123"},
        {-5, 3, L"0-5"}, {0, 2, L"00"}, {INT_MIN, 0, L"-2147483648"},
    };
    for (const auto& c : cases) {
        XrString out(L"junk");
        XrLocale::format_int(out, c.value, c.width);
        EXPECT_EQ(ws(out), c.text) << c.value << " width " << c.width;
    }
}

TEST(Locale, FormatDouble)
{
    const struct {
        double value;
        int decimals;
        const wchar_t* text;
    } cases[] = {
        {-0.5, 1, L"-0.5"}, {1.26, 1, L"1.3"},  {-2.7, 0, L"-3"},    {2.5, 0, L"3"},    {-2.5, 0, L"-3"},
        {0.0, 2, L"0.00"},  {3.14159, 3, L"3.142"}, {1.05, 2, L"1.05"}, {-12.345, 2, L"-12.35"},
        {9.96, 1, L"10.0"}, {0.04, 1, L"0.0"},  {123.0, 0, L"123"},  {1e12, 0, L"2147483647"},
    };
    for (const auto& c : cases) {
        XrString out;
        XrLocale::format_double(out, c.value, c.decimals);
        EXPECT_EQ(ws(out), c.text) << c.value << " with " << c.decimals;
    }
}

TEST(Locale, UnitLabelsAndSeparators)
{
    const wchar_t* labels[] = {L"m", L"km", L"mi", L"yd", L"ft", L"h", L"min", L"s", L"d", L"m/s", L"km/h", L"mph"};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(std::wstring(XrLocale::get_unit(static_cast<XrLocale::XrLocaleUnit>(i))), labels[i]);
    EXPECT_EQ(XrLocale::get_text_direction(), XrLocale::LeftToRight);
    EXPECT_EQ(std::wstring(XrLocale::get_hour_minute_separator()), L":");
    EXPECT_EQ(std::wstring(XrLocale::get_minute_second_separator()), L":");
}

TEST(LocaleDeathTest, UnknownUnitIsFatal)
{
    EXPECT_DEATH(XrLocale::get_unit(static_cast<XrLocale::XrLocaleUnit>(12)), "Assertion `false' failed");
}

// XrAngle -------------------------------------------------------------------

TEST(Angle, ConstructionAndValidity)
{
    const struct {
        double value;
        XrAngle::XrAngleUnit unit;
        bool valid;
        double degrees;
    } cases[] = {
        {0, XrAngle::Degrees, true, 0},         {359.9, XrAngle::Degrees, true, 359.9},
        {360, XrAngle::Degrees, false, 0},      {-1, XrAngle::Degrees, false, 0},
        {3.14159265, XrAngle::Radians, true, 180}, {-0.1, XrAngle::Radians, false, 0},
    };
    for (const auto& c : cases) {
        XrAngle a(c.value, c.unit);
        EXPECT_EQ(a.is_valid(), c.valid) << c.value;
        double d = -99;
        EXPECT_EQ(a.get_value(d, XrAngle::Degrees), c.valid);
        EXPECT_DOUBLE_EQ(d, c.valid ? c.degrees : -99) << "left untouched when invalid";
        EXPECT_EQ(a == XrAngle(), !c.valid) << "an invalid angle holds 0";
    }
    double r = 0;
    EXPECT_TRUE(XrAngle(90, XrAngle::Degrees).get_value(r, XrAngle::Radians));
    EXPECT_DOUBLE_EQ(r, 90 * 3.14159265 / 180);
}

TEST(Angle, FormattingAndArithmetic)
{
    EXPECT_EQ(ws(XrAngle(12.34, XrAngle::Degrees).to_string(XrAngle::Degrees, 1)), L"12.3°");
    EXPECT_EQ(ws(XrAngle(180, XrAngle::Degrees).to_string(XrAngle::Radians, 2)), L"3.14");
    EXPECT_EQ(ws(XrAngle().to_string(XrAngle::Degrees, 1)), L"");

    const XrAngle a(350, XrAngle::Degrees), b(20, XrAngle::Degrees);
    EXPECT_FALSE((a + b).is_valid()) << "370 degrees is not reduced and so not an angle";
    double v = 0;
    EXPECT_TRUE((a - b).get_value(v, XrAngle::Degrees));
    EXPECT_DOUBLE_EQ(v, 330);
    EXPECT_FALSE((a + XrAngle()).is_valid());
}

TEST(AngleDeathTest, UnknownUnitIsFatal)
{
    EXPECT_DEATH(XrAngle(1, static_cast<XrAngle::XrAngleUnit>(2)), "Assertion `false' failed");
    double v;
    EXPECT_DEATH(XrAngle().get_value(v, static_cast<XrAngle::XrAngleUnit>(5)), "Assertion `false' failed");
}

// XrDistance ----------------------------------------------------------------

TEST(Distance, Conversions)
{
    const struct {
        double value;
        XrDistance::XrDistanceUnit unit;
        double cm;
    } cases[] = {
        {1.5, XrDistance::Kilometres, 150000}, {1, XrDistance::Miles, 160934},
        {0.004, XrDistance::Metres, 0},        {0.006, XrDistance::Metres, 1},
        {1, XrDistance::Yards, 91},            {1, XrDistance::Feet, 30},
        {123.7, XrDistance::Centimetres, 124}, {1e300, XrDistance::Kilometres, INT_MAX},
    };
    for (const auto& c : cases) {
        XrDistance d(c.value, c.unit);
        double cm = -1;
        EXPECT_TRUE(d.get_value(cm, XrDistance::Centimetres));
        EXPECT_DOUBLE_EQ(cm, c.cm) << c.value << " unit " << c.unit;
    }
    double v = 0;
    EXPECT_TRUE(XrDistance(1609344, XrDistance::Centimetres).get_value(v, XrDistance::Miles));
    EXPECT_DOUBLE_EQ(v, 10);
    EXPECT_TRUE(XrDistance(250, XrDistance::Metres).get_value(v, XrDistance::Kilometres));
    EXPECT_DOUBLE_EQ(v, 0.25);
    EXPECT_FALSE(XrDistance().get_value(v, XrDistance::Metres));
}

TEST(Distance, ToString)
{
    EXPECT_EQ(ws(XrDistance(1234, XrDistance::Metres).to_string(XrDistance::Kilometres, 2)), L"1.23 km");
    EXPECT_EQ(ws(XrDistance(3, XrDistance::Yards).to_string(XrDistance::Feet, 0)), L"9 ft");
    EXPECT_EQ(ws(XrDistance(1.5, XrDistance::Metres).to_string(XrDistance::Centimetres, 3)), L"150 cm");
    EXPECT_EQ(ws(XrDistance().to_string(XrDistance::Metres, 0)), L"");
}

TEST(Distance, DisplayString)
{
    const struct {
        double metres;
        int system, precision;
        const wchar_t* text;
    } cases[] = {
        // Metric.
        {999.4, 0, 1, L"999 m"}, {999.6, 0, 1, L"1.0 km"}, {12000, 0, 1, L"12 km"}, {0, 0, 1, L"0 m"},
        {5432, 0, 2, L"5.43 km"}, {54321, 0, 2, L"54.3 km"}, {1234567, 0, 2, L"1235 km"},
        {9940, 0, 1, L"9.9 km"}, {9960, 0, 1, L"10 km"},
        {2500, 0, 0, L"2.5 km"}, {2020, 0, 0, L"2 km"}, {2970, 0, 0, L"3 km"}, {15500, 0, 0, L"16 km"},
        // Yards and miles: 999 yards is 913.5 m.
        {913, 1, 1, L"998 yd"}, {1609.344, 1, 1, L"1.0 mi"}, {16093.44 * 2, 1, 1, L"20 mi"},
        // Feet and miles: 550 feet is 167.64 m.
        {167.6, 2, 1, L"550 ft"}, {170, 2, 2, L"0.11 mi"},
    };
    for (const auto& c : cases) {
        XrDistance d(c.metres, XrDistance::Metres);
        EXPECT_EQ(ws(d.to_display_string(c.system, c.precision)), c.text)
            << c.metres << " m, system " << c.system << ", precision " << c.precision;
    }
    EXPECT_EQ(ws(XrDistance().to_display_string(0, 1)), L"");
}

TEST(Distance, ComparisonAndArithmetic)
{
    const XrDistance invalid, one(1, XrDistance::Metres), two(2, XrDistance::Metres);
    EXPECT_TRUE(invalid < one);
    EXPECT_TRUE(one > invalid);
    EXPECT_FALSE(invalid < invalid);
    EXPECT_FALSE(invalid > invalid);
    EXPECT_TRUE(invalid == XrDistance());
    EXPECT_TRUE(invalid <= invalid);
    EXPECT_TRUE(one < two && two > one && one <= one && two >= one && one != two);
    EXPECT_FALSE(one >= two);

    EXPECT_EQ(one + two, XrDistance(3, XrDistance::Metres));
    double diff = 0;
    EXPECT_TRUE((one - two).get_value(diff, XrDistance::Centimetres));
    EXPECT_DOUBLE_EQ(diff, -100);
    EXPECT_FALSE((one + invalid).is_valid());
    // Sums saturate rather than wrap.
    const XrDistance big(INT_MAX, XrDistance::Centimetres);
    double cm = 0;
    (big + big).get_value(cm, XrDistance::Centimetres);
    EXPECT_DOUBLE_EQ(cm, INT_MAX);
}

// XrDuration ----------------------------------------------------------------

TEST(Duration, DisplayForms)
{
    const struct {
        int seconds;
        XrDuration::DisplayUnit form;
        const wchar_t* text;
    } cases[] = {
        {3725, XrDuration::DisplayHoursMinutes, L"01:02"},
        {3725, XrDuration::DisplayHoursMinutesSeconds, L"01:02:05"},
        {3725, XrDuration::DisplayDaysHoursMinutes, L"1 h 2 min"},
        {0, XrDuration::DisplayDaysHoursMinutes, L"0 min"},
        {59, XrDuration::DisplayDaysHoursMinutes, L"0 min"},
        {7200, XrDuration::DisplayDaysHoursMinutes, L"2 h"},
        {86400 + 120, XrDuration::DisplayDaysHoursMinutes, L"1 d 2 min"},
        {2 * 86400 + 3 * 3600, XrDuration::DisplayDaysHoursMinutes, L"2 d 3 h"},
        {45, XrDuration::DisplaySeconds, L"45 s"},
        {125, XrDuration::DisplayMinutes, L"2 min"},
        {100 * 3600, XrDuration::DisplayHoursMinutes, L"100:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ws(XrDuration(c.seconds, XrDuration::Seconds).to_string(c.form)), c.text)
            << c.seconds << " form " << c.form;
    EXPECT_EQ(ws(XrDuration().to_string(XrDuration::DisplaySeconds)), L"");
}

TEST(Duration, UnitsComparisonArithmetic)
{
    const XrDuration two_min(2, XrDuration::Minutes);
    int v = 0;
    EXPECT_TRUE(two_min.get_value(v, XrDuration::Seconds));
    EXPECT_EQ(v, 120);
    EXPECT_TRUE(XrDuration(119, XrDuration::Seconds).get_value(v, XrDuration::Minutes));
    EXPECT_EQ(v, 1);

    const XrDuration invalid;
    EXPECT_FALSE((two_min + invalid).is_valid()) << "a valid plus an invalid duration is invalid";
    EXPECT_FALSE((invalid - two_min).is_valid());
    EXPECT_EQ(two_min + two_min, XrDuration(4, XrDuration::Minutes));
    EXPECT_TRUE(invalid < two_min);
    EXPECT_FALSE(two_min < invalid);
    v = -7;
    EXPECT_FALSE(invalid.get_value(v, XrDuration::Seconds));
    EXPECT_EQ(v, -7);
}

TEST(DurationDeathTest, UnknownUnitsAreFatal)
{
    EXPECT_DEATH(XrDuration(1, static_cast<XrDuration::ValueUnit>(2)), "Assertion `false' failed");
    EXPECT_DEATH(XrDuration(1, XrDuration::Seconds).to_string(static_cast<XrDuration::DisplayUnit>(5)),
                 "Assertion `false' failed");
}

// XrVelocity ----------------------------------------------------------------

TEST(Velocity, ConversionsAndFormatting)
{
    const XrVelocity v(36, XrVelocity::KilometresPerHour);
    double ms = 0, kmh = 0, mph = 0;
    EXPECT_TRUE(v.get_value(ms, XrVelocity::MetresPerSecond));
    EXPECT_TRUE(v.get_value(kmh, XrVelocity::KilometresPerHour));
    EXPECT_TRUE(v.get_value(mph, XrVelocity::MilesPerHour));
    EXPECT_NEAR(ms, 10.000008, 1e-12);
    EXPECT_NEAR(kmh, 36.0000288, 1e-9);
    EXPECT_NEAR(mph, 10.000008 * 2.23694, 1e-9);
    EXPECT_TRUE(XrVelocity(10, XrVelocity::MilesPerHour).get_value(ms, XrVelocity::MetresPerSecond));
    EXPECT_DOUBLE_EQ(ms, 4.4704);

    EXPECT_EQ(ws(v.to_string(XrVelocity::KilometresPerHour, 0)), L"36 km/h");
    EXPECT_EQ(ws(v.to_string(XrVelocity::MetresPerSecond, 1)), L"10.0 m/s");
    EXPECT_EQ(ws(v.to_string(XrVelocity::MilesPerHour, 1)), L"22.4 mph");
    EXPECT_EQ(ws(XrVelocity().to_string(XrVelocity::MetresPerSecond, 1)), L"");
    EXPECT_TRUE(XrVelocity() < v);
    EXPECT_TRUE(XrVelocity(1, XrVelocity::MetresPerSecond) < XrVelocity(2, XrVelocity::MetresPerSecond));
}

// Unknown units stop on "false" in the method that was called ----------------

TEST(UnitsDeathTest, UnknownUnitStopsInTheCalledMethod)
{
    double v = 0;
    const auto bad_distance = static_cast<XrDistance::XrDistanceUnit>(6);
    const auto bad_velocity = static_cast<XrVelocity::XrVelocityUnit>(3);
    const auto bad_angle = static_cast<XrAngle::XrAngleUnit>(2);
    const XrDistance d(1, XrDistance::Metres);
    const XrVelocity s(1, XrVelocity::MetresPerSecond);
    const XrAngle a(1, XrAngle::Degrees);
    EXPECT_DEATH(XrDistance(1, bad_distance), "XrDistance::XrDistance\\(.*Assertion `false' failed");
    EXPECT_DEATH(d.get_value(v, bad_distance), "XrDistance::get_value\\(.*Assertion `false' failed");
    EXPECT_DEATH(d.to_string(bad_distance, 1), "XrDistance::to_string\\(.*Assertion `false' failed");
    EXPECT_DEATH(XrVelocity(1, bad_velocity), "XrVelocity::XrVelocity\\(.*Assertion `false' failed");
    EXPECT_DEATH(s.get_value(v, bad_velocity), "XrVelocity::get_value\\(.*Assertion `false' failed");
    EXPECT_DEATH(s.to_string(bad_velocity, 1), "XrVelocity::to_string\\(.*Assertion `false' failed");
    EXPECT_DEATH(a.to_string(bad_angle, 1), "XrAngle::to_string\\(.*Assertion `false' failed");
}

} // namespace
