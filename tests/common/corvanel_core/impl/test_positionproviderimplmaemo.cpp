#include "common/corvanel_core/impl/fake_loop.h"
#include "common/corvanel_core/impl/position_doubles.h"
#include "common/corvanel_core/impl/xr_positionproviderimplmaemo.h"
#include "common/fsm/xr_fsm.h"

#include <gtest/gtest.h>

TEST(PositionProviderMaemo, CreatesGpsdThenWifiOrTheSimulation)
{
    FakeLoop loop;
    FakeApplication app(&loop);
    FakeSettings settings;
    FakeMap map;
    XrFsm fsm;
    {
        XrPositionProviderImplMaemo provider;
        provider.create_producers(&fsm, &loop, false);
        const auto& producers = provider.get_position_producers();
        ASSERT_EQ(producers.get_num_items(), 2);
        EXPECT_TRUE(provider.get_position_producer_name(*producers.get_item_ptr(0)) == XrString("GPSD"));
        EXPECT_TRUE(provider.get_position_producer_name(*producers.get_item_ptr(1)) == XrString("Wifi"));
        EXPECT_TRUE((*producers.get_item_ptr(0))->is_active());
        EXPECT_FALSE((*producers.get_item_ptr(1))->is_active());
        loop.remove_timeout(nullptr, nullptr);
    }
    {
        settings.provider = XrString("GPSD"); // not there when simulating
        XrPositionProviderImplMaemo provider;
        provider.create_producers(&fsm, &loop, true);
        const auto& producers = provider.get_position_producers();
        ASSERT_EQ(producers.get_num_items(), 1);
        EXPECT_TRUE(provider.get_position_producer_name(*producers.get_item_ptr(0)) == XrString("Fake"));
        EXPECT_TRUE((*producers.get_item_ptr(0))->is_active());
        EXPECT_TRUE(settings.provider == XrString("Fake"));
    }
}
