#include "common/corvanel_core/impl/xr_positionproviderimpl.h"
#include "common/corvanel_core/impl/fake_loop.h"
#include "common/corvanel_core/impl/position_doubles.h"

#include <gtest/gtest.h>

namespace {

class StubProducer : public XrPositionProducer {
public:
    explicit StubProducer(int* deleted_ = nullptr) : deleted(deleted_) {}
    ~StubProducer() override
    {
        if (deleted != nullptr)
            ++*deleted;
    }
    void connect() override { ++connects; }
    void disconnect() override { ++disconnects; }
    void reconnect() override { ++reconnects; }
    int get_status() override { return status; }
    XrPositionInfo& get_position_info() override { return info; }

    void set_status(int s)
    {
        status = s;
        notify_state_changed();
    }
    // A new position with or without a fix; true when a listener handled it.
    bool report(bool fix)
    {
        info.set_fix(fix);
        return notify_position_updated();
    }

    int* deleted;
    int status = 1;
    int connects = 0, disconnects = 0, reconnects = 0;
    XrPositionInfo info;
};

class PositionProviderTest : public ::testing::Test {
protected:
    // Makes the provider with producers named "GPSD" and "Wifi".
    void make(bool initialize = true)
    {
        provider = std::make_unique<XrPositionProviderImpl>();
        gpsd = new StubProducer(&deleted);
        wifi = new StubProducer(&deleted);
        provider->add_producer(gpsd, XrString("GPSD"));
        provider->add_producer(wifi, XrString("Wifi"));
        provider->add_listener(&listener);
        if (initialize)
            provider->initialize();
    }
    int retries() const { return loop.pending(provider.get(), nullptr); }
    int retry_delay() const { return loop.timeouts.empty() ? -1 : loop.timeouts[0].ms; }

    FakeLoop loop;
    FakeApplication app{&loop};
    FakeSettings settings;
    FakeMap map;
    ProviderListener listener;
    int deleted = 0;
    std::unique_ptr<XrPositionProviderImpl> provider;
    StubProducer* gpsd = nullptr;
    StubProducer* wifi = nullptr;
};

} // namespace

TEST_F(PositionProviderTest, EmptyProviderSettingEnablesTheFirstAndTheSecondary)
{
    settings.secondary = XrString("Wifi");
    make();
    EXPECT_TRUE(gpsd->is_active());
    EXPECT_TRUE(wifi->is_active());
    EXPECT_EQ(listener.producers, 1);
    EXPECT_EQ(map.listeners.size(), 2u);
    // The settings provider now tells the provider of changes.
    settings.provider = XrString("Wifi");
    settings.secondary = XrString();
    settings.save();
    EXPECT_FALSE(gpsd->is_active());
    EXPECT_EQ(gpsd->disconnects, 1);
    EXPECT_TRUE(wifi->is_active());
}

TEST_F(PositionProviderTest, UnknownProducerNameFallsBackToTheFirst)
{
    settings.provider = XrString("Galileo");
    make();
    EXPECT_TRUE(gpsd->is_active());
    EXPECT_FALSE(wifi->is_active());
    EXPECT_TRUE(settings.provider == XrString("GPSD"));
    EXPECT_EQ(listener.producers, 1);
}

TEST_F(PositionProviderTest, OnlyTheCurrentProducersPositionsPassOn)
{
    settings.secondary = XrString("Wifi");
    make();
    gpsd->set_status(0);
    wifi->set_status(0);
    // Both connected, only the second has a fix: it is current.
    wifi->info.set_fix(true);
    EXPECT_FALSE(gpsd->report(false));
    EXPECT_EQ(listener.positions, 0);
    listener.set_handled = true;
    EXPECT_TRUE(wifi->report(true));
    EXPECT_EQ(listener.positions, 1);
    EXPECT_EQ(provider->get_current_producer(), wifi);
    // As soon as the first has a fix, it wins.
    gpsd->info.set_fix(true);
    EXPECT_EQ(provider->get_current_producer(), gpsd);
    EXPECT_FALSE(wifi->report(true));
    EXPECT_EQ(listener.positions, 1);
    EXPECT_TRUE(gpsd->report(true));
    EXPECT_EQ(listener.positions, 2);
    // Without any fix the first connected one is current.
    gpsd->info.set_fix(false);
    wifi->info.set_fix(false);
    EXPECT_EQ(provider->get_current_producer(), gpsd);
    gpsd->status = 1;
    EXPECT_EQ(provider->get_current_producer(), wifi);
}

TEST_F(PositionProviderTest, PositionInfoIsACopyOfTheCurrentProducers)
{
    make();
    gpsd->set_status(0);
    gpsd->info.set_fix(true);
    gpsd->info.set_coordinate(XrCoordinate(24.9, 60.2));
    XrPositionInfo& info = provider->get_position_info();
    EXPECT_TRUE(info.has_fix());
    EXPECT_EQ(info.get_coordinate(), XrCoordinate(24.9, 60.2));
    // No current producer: the previous copy with its fix flag cleared.
    gpsd->status = 1;
    XrPositionInfo& again = provider->get_position_info();
    EXPECT_FALSE(again.has_fix());
    EXPECT_EQ(again.get_coordinate(), XrCoordinate(24.9, 60.2));
    EXPECT_TRUE(provider->get_position_producer_name(gpsd) == XrString("GPSD"));
    StubProducer stranger;
    EXPECT_TRUE(provider->get_position_producer_name(&stranger) == XrString("Not available"));
}

TEST_F(PositionProviderTest, RetriesAfterFiveSecondsThenEveryThirty)
{
    // Autoconnect seen for the first time counts as switched on.
    make();
    ASSERT_EQ(retries(), 1);
    EXPECT_EQ(retry_delay(), 5000);
    provider->check_connection();
    ASSERT_EQ(retries(), 1);
    EXPECT_EQ(retry_delay(), 5000);
    loop.fire(provider.get(), nullptr);
    EXPECT_EQ(gpsd->reconnects, 1);
    EXPECT_EQ(wifi->reconnects, 0); // not active
    ASSERT_EQ(retries(), 1);
    EXPECT_EQ(retry_delay(), 30000);
    loop.fire(provider.get(), nullptr);
    EXPECT_EQ(gpsd->reconnects, 2);
    // Connected: the next firing reconnects nothing and stops.
    gpsd->set_status(0);
    EXPECT_EQ(listener.states, 1);
    loop.fire(provider.get(), nullptr);
    EXPECT_EQ(retries(), 0);
    // Falling back to not connected with autoconnect: again in 30 s.
    gpsd->set_status(1);
    ASSERT_EQ(retries(), 1);
    EXPECT_EQ(retry_delay(), 30000);
    // connect cancels the timer and connects the active producers.
    provider->connect();
    EXPECT_EQ(retries(), 0);
    EXPECT_EQ(gpsd->connects, 1);
    EXPECT_EQ(wifi->connects, 0);
}

TEST_F(PositionProviderTest, ConnectDisabledStopsRetries)
{
    make();
    provider->set_connect_enabled(false);
    EXPECT_EQ(gpsd->disconnects, 1);
    EXPECT_FALSE(provider->is_connect_enabled());
    gpsd->set_status(0);
    gpsd->set_status(1);
    EXPECT_EQ(retries(), 0);
    provider->check_connection();
    EXPECT_EQ(retries(), 0);
    provider->set_connect_enabled(true);
    EXPECT_EQ(retries(), 1);
    EXPECT_EQ(retry_delay(), 5000);
    provider->disconnect();
    EXPECT_EQ(retries(), 0);
}

TEST_F(PositionProviderTest, SwitchingAutoconnectOnStartsRetrying)
{
    settings.autoconnect = false;
    make();
    EXPECT_EQ(retries(), 0);
    // Status changes without autoconnect schedule nothing.
    gpsd->set_status(1);
    EXPECT_EQ(retries(), 0);
    settings.autoconnect = true;
    settings.save();
    ASSERT_EQ(retries(), 1);
    EXPECT_EQ(retry_delay(), 5000);
}

TEST_F(PositionProviderTest, StateChangesOfInactiveProducersAreIgnored)
{
    make();
    wifi->set_status(0);
    EXPECT_EQ(listener.states, 0);
    EXPECT_TRUE(provider->is_connected()); // any producer counts
    EXPECT_TRUE(provider->is_active());
}

TEST_F(PositionProviderTest, DestructionDeletesTheProducersAndLeavesNothingBehind)
{
    make();
    provider->check_connection();
    StubProducer outside;
    map.listeners.push_back(&outside); // an outside draw listener stays
    provider.reset();
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(map.listeners.size(), 1u);
    EXPECT_TRUE(loop.timeouts.empty());
    EXPECT_EQ(settings.get_listener_count(), 0);
}

TEST_F(PositionProviderTest, NewMapTakesTheProducersAsDrawListeners)
{
    map.open = false;
    make();
    EXPECT_TRUE(map.listeners.empty());
    map.open = true;
    provider->map_initialized();
    EXPECT_EQ(map.listeners.size(), 2u);
    provider->register_map_draw_listener(gpsd);
    EXPECT_EQ(map.listeners.size(), 2u);
    EXPECT_DEATH(provider->register_map_draw_listener(nullptr), "listener");
}

TEST_F(PositionProviderTest, WithoutApplicationOrSettingsNothingBreaks)
{
    XrSingleton::set_instance(XrString("XrApplicationProvider"), nullptr);
    XrSingleton::set_instance(XrString("XrAppSettingsProvider"), nullptr);
    make();
    EXPECT_TRUE(gpsd->is_active());
    provider->check_connection();
    gpsd->set_status(1);
    EXPECT_TRUE(loop.timeouts.empty());
    EXPECT_EQ(listener.states, 0);
    provider.reset();
    XrSingleton::set_instance(XrString("XrApplicationProvider"), &app);
    XrSingleton::set_instance(XrString("XrAppSettingsProvider"), &settings);
}
