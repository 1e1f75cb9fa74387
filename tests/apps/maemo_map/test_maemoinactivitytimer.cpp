#include "apps/maemo_map/xr_maemoinactivitytimer.h"

#include <gtest/gtest.h>

#include "common/corvanel_core/impl/fake_loop.h"

namespace {

class InactivityTimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        osso_standin_reset();
        osso = osso_initialize("kestrova-test", "1", FALSE, nullptr);
        ASSERT_NE(osso, nullptr);
    }
    void TearDown() override { osso_deinitialize(osso); }

    FakeLoop loop;
    osso_context_t* osso = nullptr;
};

TEST_F(InactivityTimerTest, OneUpdateLightsOnceAndTheNextTickEndsTheCycle)
{
    XrMaemoInactivityTimer timer(&loop, osso);
    timer.on_update();
    EXPECT_EQ(osso_standin_display_on_count(), 1u);
    EXPECT_EQ(osso_standin_blanking_pause_count(), 1u);
    EXPECT_EQ(loop.fire(&timer, nullptr), 5000);
    EXPECT_EQ(osso_standin_display_on_count(), 1u);
    EXPECT_FALSE(timer.is_running());
    EXPECT_EQ(loop.pending(&timer, nullptr), 0);
}

TEST_F(InactivityTimerTest, UpdatesEveryTwoSecondsLightTheDisplayEveryFive)
{
    XrMaemoInactivityTimer timer(&loop, osso);
    // Updates at 0, 2, 4 s; the tick at 5 s lights again; updates at 6, 8
    // s; the tick at 10 s lights again; none after that: the tick at 15 s
    // ends the cycle.
    timer.on_update();
    timer.on_update();
    timer.on_update();
    EXPECT_EQ(loop.pending(&timer, nullptr), 1);
    loop.fire(&timer, nullptr);
    EXPECT_EQ(osso_standin_display_on_count(), 2u);
    timer.on_update();
    timer.on_update();
    loop.fire(&timer, nullptr);
    EXPECT_EQ(osso_standin_display_on_count(), 3u);
    loop.fire(&timer, nullptr);
    EXPECT_EQ(osso_standin_display_on_count(), 3u);
    EXPECT_FALSE(timer.is_running());
}

TEST_F(InactivityTimerTest, WithoutContextTheTimerRunsButLightsNothing)
{
    XrMaemoInactivityTimer timer(&loop, nullptr);
    timer.on_update();
    EXPECT_TRUE(timer.is_running());
    timer.on_update();
    loop.fire(&timer, nullptr);
    EXPECT_EQ(osso_standin_display_on_count(), 0u);
}

TEST_F(InactivityTimerTest, DestructionCancelsTheTick)
{
    {
        XrMaemoInactivityTimer timer(&loop, osso);
        timer.on_update();
    }
    EXPECT_TRUE(loop.timeouts.empty());
}

} // namespace
