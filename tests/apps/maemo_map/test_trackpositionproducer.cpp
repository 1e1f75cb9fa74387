#include "apps/maemo_map/xr_trackpositionproducer.h"
#include "apps/maemo_map/xr_maemomapapp.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TrackPositionProducerTest, ReadsOnlyWellFormedRisingLines)
{
    const std::string text = "# drive\n0,31.0,-24.0\r\n\n5,31.001,-24.0\n5,31.5,-24.0\n7,abc,-24\n8,95,-24\n"
                             "9,31.0,-181\n10,31.002,-24.0,extra\n12,31.002,-24.001";
    const std::vector<XrTrackPoint> t = xr_parse_track(text.data(), text.size());
    ASSERT_EQ(t.size(), 3u);
    EXPECT_DOUBLE_EQ(t[1].seconds, 5);
    EXPECT_DOUBLE_EQ(t[2].lon, -24.001);
    EXPECT_EQ(xr_parse_track(text.data(), text.size(), 2).size(), 2u);
}

TEST(TrackPositionProducerTest, FixesFollowTheTrackWithSpeedAndHeading)
{
    // North for 10 s (about 111 m), then east.
    XrTrackPositionProducer p(nullptr, {{0, 31.0, -24.0}, {10, 31.001, -24.0}, {20, 31.001, -23.999}});
    p.place_at(5);
    XrPositionInfo& info = p.get_position_info();
    EXPECT_TRUE(info.has_fix());
    EXPECT_NEAR(info.get_coordinate().get_latitude(), 31.0005, 1e-9);
    double speed = 0, heading = -1;
    ASSERT_TRUE(info.get_velocity().get_value(speed, XrVelocity::MetresPerSecond));
    ASSERT_TRUE(info.get_heading().get_value(heading, XrAngle::Degrees));
    EXPECT_NEAR(speed, 11.1, 0.1);
    EXPECT_NEAR(heading, 0, 1e-6);
    p.place_at(15);
    ASSERT_TRUE(info.get_heading().get_value(heading, XrAngle::Degrees));
    EXPECT_NEAR(heading, 90, 1e-6);
    p.place_at(25); // the drive starts again
    EXPECT_NEAR(info.get_coordinate().get_latitude(), 31.0005, 1e-9);
}

TEST(TrackPositionProducerTest, EmptyTrackGivesNoFix)
{
    XrTrackPositionProducer p(nullptr, {});
    p.place_at(3);
    EXPECT_FALSE(p.get_position_info().has_fix());
    EXPECT_TRUE(XrTrackPositionProducer::read_track("/nonexistent/track.csv").empty());
}

TEST(TrackPositionProducerTest, RouteIsDrivenOnceAndEndsStanding)
{
    XrTrackPositionProducer p(nullptr, {{0, 30.0, -24.0}, {100, 30.01, -24.0}});
    p.place_at(50);
    p.follow_route({{0, 31.0, -24.0}, {10, 31.001, -24.0}});
    XrPositionInfo& info = p.get_position_info();
    p.place_at(5);
    EXPECT_NEAR(info.get_coordinate().get_latitude(), 31.0005, 1e-9);
    p.place_at(30); // past the end: at the destination, standing
    EXPECT_NEAR(info.get_coordinate().get_latitude(), 31.001, 1e-9);
    double speed = -1;
    ASSERT_TRUE(info.get_velocity().get_value(speed, XrVelocity::MetresPerSecond));
    EXPECT_EQ(speed, 0);
    p.follow_route({}); // nothing to drive: unchanged
    p.place_at(5);
    EXPECT_NEAR(info.get_coordinate().get_latitude(), 31.0005, 1e-9);
}

TEST(DriveDestinationTest, OnlyLatitudeCommaLongitudeInRange)
{
    const struct {
        const char* text;
        bool ok;
    } cases[] = {
        {"31.0080567,-24.0007860", true}, {"-90,180", true},   {"31.0", false},     {"31.0,", false},
        {",-24", false},                  {"31.0,-24 ", false}, {"91,0", false},     {"0,-181", false},
        {"nan,0", false},                 {"31;-24", false},    {"31.0,east", false}, {"", false},
    };
    for (const auto& c : cases) {
        XrCoordinate out;
        EXPECT_EQ(XrMaemoMapApp::parse_destination(c.text, out), c.ok) << c.text;
    }
    XrCoordinate out;
    ASSERT_TRUE(XrMaemoMapApp::parse_destination("31.5,-24.25", out));
    EXPECT_DOUBLE_EQ(out.get_latitude(), 31.5);
    EXPECT_DOUBLE_EQ(out.get_longitude(), -24.25);
    EXPECT_FALSE(XrMaemoMapApp::parse_destination(nullptr, out));
}

} // namespace
