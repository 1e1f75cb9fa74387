#include "common/corvanel_core/impl/fake_loop.h"
#include "common/corvanel_core/impl/nmea_text.h"
#include "common/corvanel_core/impl/xr_gpsproviderimpl.h"
#include "common/corvanel_core/impl/xr_nmeaparser.h"
#include "common/corvanel_core/impl/xr_userpositionproviderimpl.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/graph/xr_routeinstructions.h"
#include "common/map/xr_routelayer.h"

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

// The registered route provider with a real route layer (no map): the layer
// gets its vehicle position, its GPS-fix flag and a route as each case says.
class RouteWithLayer : public XrRouteProvider {
public:
    RouteWithLayer() : layer(&loop, nullptr, 1, nullptr, nullptr)
    {
        XrSingleton::set_instance(XrString(L"XrRouteProvider"), static_cast<XrRouteProvider*>(this));
    }
    ~RouteWithLayer() override
    {
        XrSingleton::set_instance(XrString(L"XrRouteProvider"), nullptr);
        layer.set_routes(nullptr, 0);
    }
    XrRouteLayer* get_route_layer2() override { return &layer; }

    void set_case(bool position, bool route, bool fix)
    {
        if (position && !layer.has_last_position())
            layer.update_position(XrPoint(2490000, 6020000), 90, 0.0, false, nullptr, nullptr, 0);
        layer.set_fix_valid(fix);
        if (route && layer.get_active_route() == nullptr) {
            XrPtrArray<XrRouteInstructions*> routes(1);
            routes.append(new XrRouteInstructions());
            layer.set_routes(&routes, 0);
        } else if (!route) {
            layer.set_routes(nullptr, 0);
        }
    }

    FakeLoop loop;
    XrRouteLayer layer;
};

} // namespace

TEST(UserPositionProvider, ExistsWithAPositionAndARouteOrAFix)
{
    FakeMap map;
    XrUserPositionProviderImpl user;
    const XrCoordinate untouched(1, 2);
    {
        // A layer that never had a position: none, whatever else holds.
        RouteWithLayer route;
        route.set_case(false, true, true);
        XrCoordinate out = untouched;
        EXPECT_FALSE(user.has_user_position());
        EXPECT_FALSE(user.get_user_position(out));
        EXPECT_EQ(out, untouched);
    }
    RouteWithLayer route;
    const struct {
        bool route, fix, map, expected;
    } cases[] = {
        {false, false, true, false}, // a position, but neither a route nor a fix
        {true, false, true, true},   {false, true, true, true},
        {true, true, false, false},  // no map: no degrees
    };
    for (const auto& c : cases) {
        route.set_case(true, c.route, c.fix);
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
}

TEST(UserPositionProvider, NoneWithoutARouteProvider)
{
    FakeMap map;
    XrUserPositionProviderImpl user;
    XrCoordinate out(1, 2);
    EXPECT_FALSE(user.has_user_position());
    EXPECT_FALSE(user.get_user_position(out));
    EXPECT_EQ(out, XrCoordinate(1, 2));
}
