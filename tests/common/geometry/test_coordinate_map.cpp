// XrCoordinate's conversions to and from map points.
#include "common/geometry/xr_point.h"
#include "common/geometry/xr_projection.h"
#include "common/types/xr_coordinate.h"

#include <gtest/gtest.h>

TEST(Coordinate, ConstructionAndProjection)
{
    const XrCoordinate none;
    EXPECT_FALSE(none.is_valid());
    EXPECT_EQ(none.get_longitude(), 0);

    const XrCoordinate c(24.94, 60.17);
    EXPECT_TRUE(c.is_valid());
    EXPECT_DOUBLE_EQ(c.get_longitude(), 24.94);
    EXPECT_DOUBLE_EQ(c.get_latitude(), 60.17);

    // Simple projection: 100 map units per degree from (20, 50).
    const XrProjection proj(100, 20, 50);
    const XrPoint p = c.to_point(&proj);
    EXPECT_EQ(p, XrPoint(494, 1017));
    const XrCoordinate back(p, &proj);
    EXPECT_TRUE(back.is_valid());
    EXPECT_NEAR(back.get_longitude(), 24.94, 1e-9);
    EXPECT_NEAR(back.get_latitude(), 60.17, 1e-9);

    // Without a projection map points are (0, 0) both ways.
    EXPECT_EQ(c.to_point(nullptr), XrPoint(0, 0));
    const XrCoordinate unprojected(XrPoint(5, 6), nullptr);
    EXPECT_TRUE(unprojected.is_valid());
    EXPECT_EQ(unprojected.get_longitude(), 0);
    EXPECT_EQ(unprojected.get_latitude(), 0);
}
