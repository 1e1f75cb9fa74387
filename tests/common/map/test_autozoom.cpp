// Automatic zoom: the speed tables, the slow-down near a manoeuvre and the
// plateau read from the settings file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/map/xr_autozoom.h"
#include "support/xr_temp_root.h"

namespace {

struct AutozoomFixture : ::testing::Test {
    AutozoomFixture()
    {
        setenv("HOME", "/home/user", 1);
        reset_autozoom_state();
    }
    ~AutozoomFixture() override { reset_autozoom_state(); }

    void settings(const std::string& values)
    {
        root.write_file("/home/user/.kestrova/settings.txt", "REGEDIT4\n[\\settings]\n" + values);
    }

    XrTempRoot root;
};

struct ZoomCase {
    int mode;
    double speed;
    int lookahead;
    int distance;
    int scale;
};

TEST_F(AutozoomFixture, TablesWithoutSettings)
{
    const ZoomCase cases[] = {
        {0, 3, -1, -1, 2900},        // below the limit: the working copy, unchanged
        {0, 40, 5000, 500, 32450},   // nothing ahead: no slow-down
        {0, 40, 500, -1, 16745},     // a = 500, no b: 40 * 0.775 = 31
        {0, 20000, -1, -1, 49900},   // past the last row
        {1, 20000, -1, -1, 249000},
        {1, 3, -1, -1, 9000},
        {1, 40, 5000, 500, 162000},  // 75000 + 174000 / 2
        {0, 12, 5000, 50, 4944},     // a = 500, b = 166.5: 12 * 0.775 * 0.875 = 8.1 -> 10
        {0, 8, 100, 50, 4122},       // below 10: looked up as it is
        {0, 20, -1, -1, 9666},       // at the limit or above: a = 0, b = 0, no change
    };
    for (const ZoomCase& c : cases)
        EXPECT_EQ(calculate_autozoom_scale(c.mode, c.speed, c.lookahead, c.distance), c.scale)
            << c.mode << " " << c.speed << " " << c.lookahead << " " << c.distance;
}

TEST_F(AutozoomFixture, PlateauFromSettings)
{
    settings("autozoom_2d_limit=16\nautozoom_2d_scale=12600\n");
    EXPECT_EQ(calculate_autozoom_scale(0, 5, -1, -1), 12600);
    EXPECT_EQ(calculate_autozoom_scale(0, 15.5, -1, -1), 12600);
    // Route distances use the plain table.
    EXPECT_EQ(calculate_autozoom_scale(0, 40, 5000, 500), 32450);
}

TEST_F(AutozoomFixture, EachModeHasItsOwnTable)
{
    // The first call in 3D must not hand its table to the flat mode.
    EXPECT_EQ(calculate_autozoom_scale(1, 3, -1, -1), 9000);
    EXPECT_EQ(calculate_autozoom_scale(0, 3, -1, -1), 2900);
    EXPECT_EQ(calculate_autozoom_scale(1, 3, -1, -1), 9000);
}

TEST_F(AutozoomFixture, LimitBeyondEveryRowStaysInTheTable)
{
    settings("autozoom_2d_limit=20000\nautozoom_2d_scale=5000\n");
    // Every row is flat; the walk stops at the end row.
    EXPECT_EQ(calculate_autozoom_scale(0, 40, -1, -1), 5000);
    EXPECT_EQ(calculate_autozoom_scale(0, 15000, -1, -1), 5000);
    EXPECT_EQ(calculate_autozoom_scale(1, 3, -1, -1), 5000);
}

TEST_F(AutozoomFixture, ServesTheFoundationInterface)
{
    XrMapAutozoomScaler scaler;
    const XrAutozoomScaler& base = scaler;
    EXPECT_EQ(base.calculate_autozoom_scale(0, 123, 40, 5000, 500), 32450);
    EXPECT_EQ(get_autozoom_level(base, 0, 0, 3, -1, -1), 1);
}

} // namespace
