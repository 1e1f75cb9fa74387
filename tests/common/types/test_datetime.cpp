#include "common/types/xr_datetime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

std::wstring ws(const XrString& s)
{
    return s.c_str();
}

// 2024-03-05 14:07:09 UTC, a Tuesday.
constexpr int k_moment = 1709647629;

// Runs each test in a fixed time zone two hours east of UTC, without daylight saving.
class DatetimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        m_had_tz = tz != nullptr;
        if (m_had_tz)
            m_old_tz = tz;
        set_zone("XST-2");
    }
    void TearDown() override
    {
        if (m_had_tz)
            setenv("TZ", m_old_tz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static void set_zone(const char* tz)
    {
        setenv("TZ", tz, 1);
        tzset();
    }

private:
    bool m_had_tz = false;
    std::string m_old_tz;
};

TEST_F(DatetimeTest, UtcAndLocalValues)
{
    EXPECT_EQ(XrDatetime::get_zone_offset(), 7200);
    XrDatetime t(k_moment);
    EXPECT_TRUE(t.is_utc());
    EXPECT_EQ(t.get_utc(), k_moment);
    EXPECT_EQ(t.get_local(), k_moment + 7200);

    t.set_local(k_moment);
    EXPECT_FALSE(t.is_utc());
    EXPECT_EQ(t.get_local(), k_moment);
    EXPECT_EQ(t.get_utc(), k_moment - 7200);

    // Differences and comparisons use the local values, whatever the flags.
    XrDatetime u(k_moment);
    EXPECT_EQ(u - t, 7200);
    EXPECT_TRUE(u > t);
    EXPECT_FALSE(t > u);

    set_zone("UTC0");
    EXPECT_EQ(XrDatetime::get_zone_offset(), 0);
    EXPECT_EQ(u.get_local(), k_moment);
}

TEST_F(DatetimeTest, NowAndAddSeconds)
{
    const long long before = std::time(nullptr);
    XrDatetime t;
    const long long after = std::time(nullptr);
    EXPECT_TRUE(t.is_utc());
    EXPECT_GE(t.get_utc(), before);
    EXPECT_LE(t.get_utc(), after);
    t.set_local(5);
    t.set_now();
    EXPECT_TRUE(t.is_utc());
    EXPECT_GE(t.get_utc(), before);

    XrDatetime m(k_moment);
    m.add_seconds(-9);
    EXPECT_EQ(m.get_utc(), k_moment - 9);
}

TEST_F(DatetimeTest, FieldsAndWeekday)
{
    const XrDatetime t(k_moment);
    int h = 0, mi = 0, s = 0, d = 0, mo = 0, y = 0;
    t.get_fields(&h, &mi, &s, &d, &mo, &y);
    EXPECT_EQ(h, 16);
    EXPECT_EQ(mi, 7);
    EXPECT_EQ(s, 9);
    EXPECT_EQ(d, 5);
    EXPECT_EQ(mo, 3);
    EXPECT_EQ(y, 2024);
    t.get_fields(&h, nullptr, nullptr); // optional outputs may be null
    EXPECT_EQ(h, 16);
    EXPECT_EQ(t.get_weekday(), 1) << "Tuesday";
    EXPECT_EQ(XrDatetime(k_moment + 5 * 86400).get_weekday(), 6) << "Sunday";
    EXPECT_EQ(XrDatetime(k_moment - 86400).get_weekday(), 0) << "Monday";
}

TEST_F(DatetimeTest, SetDateAndFields)
{
    XrDatetime t;
    t.set_date(2024, 3, 5);
    EXPECT_TRUE(t.is_utc());
    EXPECT_EQ(t.get_utc(), 1709589600) << "local midnight is 22:00 UTC the day before";

    t.set_fields(8, 30, 0, 5, 3, 2024, false);
    EXPECT_EQ(t.get_utc(), 1709627400 - 7200) << "08:30 local";
    t.set_fields(8, 30, 0, 5, 3, 2024, true);
    EXPECT_EQ(t.get_utc(), 1709627400) << "with the zone offset added back: 08:30 UTC";
}

TEST_F(DatetimeTest, SplitDifference)
{
    const struct {
        int diff;
        bool negative;
        int days, hours, minutes, seconds;
    } cases[] = {
        {3600, false, 0, 0, 60, 0},     {60, false, 0, 0, 0, 60},      {61, false, 0, 0, 1, 1},
        {3601, false, 0, 1, 0, 1},      {86400, false, 0, 24, 0, 0},   {86401, false, 1, 0, 0, 1},
        {90061, false, 1, 1, 1, 1},     {-3725, true, 0, 1, 2, 5},     {0, false, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const XrDatetime base(k_moment), later(k_moment + c.diff);
        bool neg = !c.negative;
        int d = -1, h = -1, m = -1, s = -1;
        later.split_difference(base, &neg, &d, &h, &m, &s);
        EXPECT_EQ(neg, c.negative) << c.diff;
        EXPECT_EQ(d, c.days) << c.diff;
        EXPECT_EQ(h, c.hours) << c.diff;
        EXPECT_EQ(m, c.minutes) << c.diff;
        EXPECT_EQ(s, c.seconds) << c.diff;
    }
}

TEST_F(DatetimeTest, Texts)
{
    const XrDatetime t(k_moment);
    XrString out;
    t.to_string(out, true, true);
    EXPECT_EQ(ws(out), L"2024-03-05 16:07");
    t.to_string(out, true, false);
    EXPECT_EQ(ws(out), L"2024-03-05");
    t.to_string(out, false, true);
    EXPECT_EQ(ws(out), L"16:07");

    XrString time, am_pm;
    t.to_string_12h(time, am_pm, false, true);
    EXPECT_EQ(ws(am_pm), L"PM");
    EXPECT_EQ(ws(time), L"04:07");

    EXPECT_EQ(ws(t.to_utc_text()), std::to_wstring(k_moment));
    EXPECT_EQ(ws(t.to_local_text()), std::to_wstring(k_moment + 7200));

    XrDatetime r;
    r.set_utc_text(t.to_utc_text());
    EXPECT_EQ(r.get_utc(), k_moment);
    r.set_local_text(XrString(L"1000"));
    EXPECT_FALSE(r.is_utc());
    EXPECT_EQ(r.get_local(), 1000);
}

} // namespace
