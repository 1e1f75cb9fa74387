// The user position while driving: the controller built by construct on the
// demo map, fixes from a track through the position provider, and the
// registered user-position provider answering where the vehicle is.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/maemo_map/xr_trackpositionproducer.h"
#include "common/corvanel_core/impl/xr_positionproviderimplmaemo.h"
#include "common/corvanel_core/interfaces/xr_userpositionprovider.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "navigator_run.h"
#include "support/xr_temp_root.h"

namespace {

// Along the demo map's east-west road, 12 m/s.
const double road_lat = -24.0007860;

class DrivingApp : public XrNaviApp {
public:
    void create_position_provider() override
    {
        auto* provider = new XrPositionProviderImplMaemo();
        std::vector<XrTrackPoint> track;
        for (int s = 0; s <= 60; ++s)
            track.push_back(XrTrackPoint{static_cast<double>(s), road_lat, 30.99730 + s * 0.000118});
        provider->add_producer(new XrTrackPositionProducer(&event_loop, track), XrString(L"Track"));
        provider->initialize();
        register_position_provider(provider);
        provider->connect();
    }
    void exit_application() override {}
};

TEST(UserPositionTest, FollowsTheVehicleWhileDriving)
{
    ASSERT_TRUE(xr_own_process_display());

    XrTempRoot root;
    xr_install_demo_card(root);
    DrivingApp app;
    ASSERT_TRUE(app.construct());
    auto* user = static_cast<XrUserPositionProvider*>(XrSingleton::get_instance(XrString(L"XrUserPositionProvider")));
    ASSERT_NE(user, nullptr);

    // The first fix arrives at once; two seconds later the vehicle has moved
    // east along the road, and the user position with it.
    XrCoordinate first;
    ASSERT_TRUE(xr_run_loop_until([&] { return user->get_user_position(first); }, 20));
    EXPECT_NEAR(first.get_latitude(), road_lat, 1e-4);
    EXPECT_NEAR(first.get_longitude(), 30.99730, 3e-4);
    XrCoordinate later = first;
    ASSERT_TRUE(xr_run_loop_until(
        [&] { return user->get_user_position(later) && later.get_longitude() > first.get_longitude() + 0.0002; }, 10));
    EXPECT_TRUE(user->has_user_position());
    EXPECT_NEAR(later.get_latitude(), road_lat, 1e-4);

    app.destroy_providers();
    XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
}

} // namespace
