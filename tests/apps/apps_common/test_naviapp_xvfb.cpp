#include "apps/apps_common/xr_naviapp.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "common/misc/xr_path_resolver.h"
#include "apps/maemo_map/navigator_run.h"
#include "support/xr_temp_root.h"

namespace {

class TestApp : public XrNaviApp {
public:
    void create_position_provider() override {}
    void exit_application() override { ++exits; }
    XrMemoryNotifier& notifier() { return memory_notifier; }
    std::uint32_t follow_until() const { return follow_suspended_until; }
    std::uint32_t scale_until() const { return scale_suspended_until; }
    int exits = 0;
};

class Cache : public XrMemoryNotifierClient {
public:
    void free_memory() override { ++frees; }
    int frees = 0;
};

class NaviAppTest : public ::testing::Test {
protected:
    // A display of the suite's own, kept for the whole process (GTK stays
    // connected to it).
    static void SetUpTestSuite()
    {
        static XrOwnDisplay display;
        ASSERT_TRUE(display.ok());
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    }
    XrTempRoot root;
};

TEST_F(NaviAppTest, SecondLowMemoryInARowEndsTheApplication)
{
    TestApp app;
    Cache cache;
    app.notifier().add_client(&cache);
    EXPECT_EQ(call_low_memory_callback(1), 0);
    EXPECT_EQ(call_low_memory_callback(0), 1);
    EXPECT_EQ(cache.frees, 1);
    EXPECT_EQ(app.exits, 0);
    EXPECT_EQ(call_low_memory_callback(0), 0);
    EXPECT_EQ(app.exits, 1);
    // A normal level in between starts the count again.
    EXPECT_EQ(call_low_memory_callback(1), 0);
    EXPECT_EQ(call_low_memory_callback(0), 1);
    EXPECT_EQ(app.exits, 1);
}

TEST_F(NaviAppTest, SuspendingFollowNeverShortensAndMinusOneResumes)
{
    TestApp app;
    const std::uint32_t now = get_tick_count_ms();
    app.suspend_auto_follow(15000, 4000);
    EXPECT_GE(app.follow_until(), now + 15000);
    EXPECT_GE(app.scale_until(), now + 4000);
    EXPECT_TRUE(app.is_follow_suspended());
    const std::uint32_t until = app.follow_until();
    app.suspend_auto_follow(4000, 0); // shorter: the later end stays
    EXPECT_EQ(app.follow_until(), until);
    app.suspend_auto_follow(-1, -1);
    EXPECT_FALSE(app.is_follow_suspended());
    app.suspend_auto_follow(15000, 15000);
    app.resume_auto_follow();
    EXPECT_EQ(app.follow_until(), 0u);
    EXPECT_EQ(app.scale_until(), 0u);
}

TEST_F(NaviAppTest, ProvidersNeverBuiltAreSkippedOnTeardown)
{
    TestApp app;
    app.destroy_providers();
    EXPECT_EQ(XrSingleton::get_instance(XrString(L"XrMapProvider")), nullptr);
    EXPECT_EQ(app.get_idle_seconds(), 0u);
}

} // namespace
