// A scripted drive over a generated road network: the route layer is fed one
// fix a second along two routes (start to waypoint, waypoint to destination)
// and what it says is compared with a golden transcript.
#include <gtest/gtest.h>

#include "route_drive_support.h"
#include "support/xr_temp_root.h"

using namespace xr_drive_test;

namespace {

// East from the start, left, right and at once left (chained), a roundabout
// left at its second exit to the waypoint; on to a right turn and the
// destination.
XrNetwork drive_network()
{
    XrNetwork net;
    net.edges.push_back(road({P(0, 0), P(1000, 0)}));        // 0 start road, east
    net.edges.push_back(road({P(1000, 0), P(2000, 0)}));     // 1 straight on
    net.edges.push_back(road({P(1000, 0), P(1000, 800)}));   // 2 left, north
    net.edges.push_back(road({P(1000, 800), P(1000, 1600)}));// 3 straight on
    net.edges.push_back(road({P(1000, 800), P(1150, 800)})); // 4 right, east
    net.edges.push_back(road({P(1150, 800), P(2000, 800)})); // 5 straight on
    net.edges.push_back(road({P(1150, 800), P(1150, 1500)}));// 6 left, north to the roundabout
    // The roundabout: a one-way ring turning anticlockwise around (1150, 1600).
    const XrPoint ring[4] = {P(1250, 1600), P(1150, 1700), P(1050, 1600), P(1150, 1500)};
    for (int i = 0; i < 4; ++i)
        net.edges.push_back(road({ring[(i + 3) % 4], ring[i]}, 5, 3, 1)); // 7..10
    net.edges.push_back(road({P(2000, 1600), P(1250, 1600)}));  // 11 east arm
    net.edges.push_back(road({P(1150, 2400), P(1150, 1700)}));  // 12 north arm (waypoint)
    net.edges.push_back(road({P(300, 1600), P(1050, 1600)}));   // 13 west arm
    net.edges.push_back(road({P(1150, 2400), P(1150, 3200)}));  // 14 straight on
    net.edges.push_back(road({P(1150, 2400), P(2400, 2400)}));  // 15 right, east (destination)
    return net;
}

// The instructions the drive relies on: left, right and left 152 m later,
// the roundabout's second exit (exit number 1) with its exit instruction; a
// right turn on the second route.
TEST(RouteDrive, NetworkGivesTheInstructionsOfTheScript)
{
    XrTempRoot root;
    XrDriveNetwork network(drive_network(), root.make_dirs("/media/mmc1/map/mapdata"));
    ASSERT_TRUE(network.ok) << network.error;
    std::unique_ptr<XrRouteInstructions> first(network.route(0, P(100, 0), 12, P(1150, 2100)));
    std::unique_ptr<XrRouteInstructions> second(network.route(12, P(1150, 2100), 15, P(1900, 2400)));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(dump_directives(*first),
              "3 0 0 2332 L0 A0 | 5 0 0 1532 L800 A0 | 3 0 0 1380 L152 A0 | 13 1 130 680 L700 A0 | "
              "14 0 0 400 L140 A280 | 7 0 0 0 L400 A0");
    EXPECT_EQ(dump_directives(*second), "5 0 0 750 L0 A0 | 7 0 0 0 L750 A0");
}

} // namespace
