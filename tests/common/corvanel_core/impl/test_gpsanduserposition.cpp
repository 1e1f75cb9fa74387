#include "common/corvanel_core/impl/fake_loop.h"
#include "common/corvanel_core/impl/nmea_text.h"
#include "common/corvanel_core/impl/xr_gpsproviderimpl.h"
#include "common/corvanel_core/impl/xr_nmeaparser.h"
#include "common/corvanel_core/impl/xr_userpositionproviderimpl.h"
#include "common/corvanel_core/interfaces/xr_routeposition.h"

#include <gtest/gtest.h>

TEST(GpsProvider, KeepsTheReceiverStateOfTheStatusSentence)
{
    XrGpsProviderImpl gps;
    EXPECT_EQ(gps.get_receiver_state(), -1);
    XrSingleton::set_instance(XrString("XrGpsProvider"), static_cast<XrGpsProvider*>(&gps));
    XrNMEAParser parser;
    delete parser.parse(nmea_text::wide(nmea_text::sentence("PNOK,STAT,2,1,1,1")));
    XrSingleton::set_instance(XrString("XrGpsProvider"), nullptr);
    EXPECT_EQ(gps.get_receiver_state(), 2);
}

namespace {

class FakeRoute : public XrRoutePosition {
public:
    FakeRoute() { XrRoutePosition::set_instance(this); }
    ~FakeRoute() override { XrRoutePosition::set_instance(nullptr); }
    bool has_vehicle_position() override { return has_position; }
    XrPoint get_vehicle_position() override { return position; }
    bool has_route_instructions() override { return route; }
    bool has_gps_fix() override { return fix; }
    bool has_position = false, route = false, fix = false;
    XrPoint position{2490000, 6020000};
};

} // namespace

TEST(UserPositionProvider, ExistsWithAPositionAndARouteOrAFix)
{
    FakeMap map;
    FakeRoute route;
    XrUserPositionProviderImpl user;
    const XrCoordinate untouched(1, 2);
    const struct {
        bool position, route, fix, map, expected;
    } cases[] = {
        {false, true, true, true, false}, {true, false, false, true, false}, {true, true, false, true, true},
        {true, false, true, true, true},  {true, true, true, false, false},
    };
    for (const auto& c : cases) {
        route.has_position = c.position;
        route.route = c.route;
        route.fix = c.fix;
        map.open = c.map;
        XrCoordinate out = untouched;
        EXPECT_EQ(user.has_user_position(), c.expected);
        EXPECT_EQ(user.get_user_position(out), c.expected);
        if (c.expected) {
            EXPECT_NEAR(out.get_longitude(), 24.9, 1e-9);
            EXPECT_NEAR(out.get_latitude(), 60.2, 1e-9);
        } else {
            EXPECT_EQ(out, untouched);
        }
    }
    XrRoutePosition::set_instance(nullptr);
    XrCoordinate out = untouched;
    EXPECT_FALSE(user.get_user_position(out));
}
