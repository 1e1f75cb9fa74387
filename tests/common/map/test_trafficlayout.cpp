// Offsets of the traffic displays' elements.
#include <gtest/gtest.h>

#include "common/map/xr_trafficlayout.h"

namespace {

struct LayoutTest : ::testing::Test {
    ~LayoutTest() override
    {
        xr_set_traffic_reference_size(0, 0);
        xr_set_traffic_layout_variant(11);
    }
};

} // namespace

TEST_F(LayoutTest, NothingBeforeTheReferenceSizeIsSet)
{
    for (unsigned key = 0; key < 12; ++key)
        EXPECT_EQ(xr_traffic_metric_point(key), XrPoint(0, 0)) << key;
}

TEST_F(LayoutTest, PointsByVariant)
{
    struct Case {
        int variant;
        unsigned key;
        XrPoint expected;
    };
    const Case cases[] = {
        {11, 1, XrPoint(26, 26)}, {11, 5, XrPoint(0, 36)}, {11, 6, XrPoint(19, 19)}, {11, 7, XrPoint(11, 0)},
        {11, 8, XrPoint(9, 9)},   {11, 9, XrPoint(13, 0)}, {12, 1, XrPoint(22, 22)}, {12, 2, XrPoint(10, 55)},
        {12, 5, XrPoint(0, 31)},  {11, 10, XrPoint(0, 0)}, {11, 87, XrPoint(0, 0)}, {3, 1, XrPoint(63, 32)},
        {3, 5, XrPoint(0, 96)},   {5, 5, XrPoint(0, 84)},
    };
    xr_set_traffic_reference_size(800, 480);
    for (const Case& c : cases) {
        xr_set_traffic_layout_variant(c.variant);
        EXPECT_EQ(xr_traffic_metric_point(c.key), c.expected) << c.variant << " " << c.key;
    }
}
