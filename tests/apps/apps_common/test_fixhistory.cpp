#include "apps/apps_common/xr_fixhistory.h"

#include <gtest/gtest.h>

namespace {

struct HeadingCase {
    std::vector<double> headings; // oldest first
    int window;
    bool median;
    double expected;
};

TEST(FixHistoryTest, HeadingFilter)
{
    const HeadingCase cases[] = {
        {{350, 10, 20}, 3, true, 10},   // 10 and 20 turn up to 370 and 380
        {{180, 0, 180}, 3, true, 180},  // exactly 360 - 180 apart stays
        {{360, 360, 360}, 3, true, 360}, // a result of exactly 360 stays 360
        {{90}, 3, true, 90},
        {{10, 20, 30, 40}, 3, true, 30}, // the three newest only
        {{10, 20, 60}, 3, false, 30},    // mean
        {{350, 10}, 3, false, 360},      // 350 and 370: a mean of 360 stays
        {{340, 350, 20, 30}, 5, true, 20},
    };
    for (const HeadingCase& c : cases) {
        XrFixHistory h;
        for (double heading : c.headings)
            h.add(10.0, heading, XrPoint(0, 0), 0, 4.0);
        EXPECT_DOUBLE_EQ(h.filtered_heading(c.window, c.median), c.expected) << c.headings.front();
    }
    EXPECT_EQ(XrFixHistory().filtered_heading(3, true), 0);
}

TEST(FixHistoryTest, ElevenFixesKeepTheTenNewest)
{
    XrFixHistory h;
    for (int i = 0; i < 11; ++i)
        h.add(i, i, XrPoint(i, 0), 0, 100.0);
    ASSERT_EQ(h.count(), 10);
    EXPECT_EQ(h.newest(0).point.x, 10);
    EXPECT_EQ(h.newest(9).point.x, 1);
    EXPECT_DOUBLE_EQ(h.mean_speed(), 5.5);
    h.clear();
    EXPECT_EQ(h.count(), 0);
    EXPECT_FALSE(h.is_valid());
}

TEST(FixHistoryTest, ActivityTimeMovesOnlyWhileEveryKeptFixIsFast)
{
    XrFixHistory h;
    h.add(1.0, 0, XrPoint(), 1000, 4.0); // the first fix starts the activity
    EXPECT_EQ(h.get_active_since(), 1000u);
    h.add(5.0, 0, XrPoint(), 2000, 4.0); // one slow fix is still kept
    EXPECT_EQ(h.get_active_since(), 1000u);
    for (int i = 0; i < 9; ++i)
        h.add(5.0, 0, XrPoint(), 3000 + i, 4.0);
    EXPECT_EQ(h.get_active_since(), 3008u); // the slow fix has dropped out
}

} // namespace
