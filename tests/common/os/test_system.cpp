// System services on the libosso stand-in: hardware events, device mode,
// shutdown, memory figures and the browser.
#include "common/os/xr_systemmaemo.h"
#include "platform/osso/libosso.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Observer : public XrSystemObserver {
public:
    Observer(std::vector<std::string>& log_, const char* name_) : log(log_), name(name_) {}
    void system_event(int flags) override { log.push_back(name + " " + std::to_string(flags)); }
    std::vector<std::string>& log;
    std::string name;
};

class AppExit : public XrApplicationExit {
public:
    explicit AppExit(std::vector<std::string>& log_) : log(log_) {}
    void exit(int status) override { log.push_back("exit " + std::to_string(status)); }
    std::vector<std::string>& log;
};

using Log = std::vector<std::string>;

osso_hw_state_t hw_state(bool shutdown, bool memory_low, bool inactive, osso_devmode_t mode = OSSO_DEVMODE_NORMAL)
{
    osso_hw_state_t s = {};
    s.shutdown_ind = shutdown;
    s.memory_low_ind = memory_low;
    s.system_inactivity_ind = inactive;
    s.sig_device_mode_ind = mode;
    return s;
}

// The osso context outlives the system object that listens to it.
struct OssoContext {
    OssoContext()
    {
        osso_standin_reset();
        osso_standin_set_browser(nullptr);
        context = osso_initialize("kestrova", "20060616", FALSE, nullptr);
    }
    ~OssoContext()
    {
        osso_deinitialize(context);
        osso_standin_reset();
    }
    osso_context_t* context;
};

class SystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(osso, nullptr);
        XrSingleton::set_instance(XrString("XrSystem"), static_cast<XrSystem*>(&system));
        XrSingleton::set_instance(XrString("XrApplicationProvider"), static_cast<XrApplicationExit*>(&app));
        system.add_listener(&first);
        system.add_listener(&second);
    }
    void TearDown() override
    {
        XrSingleton::set_instance(XrString("XrSystem"), nullptr);
        XrSingleton::set_instance(XrString("XrApplicationProvider"), nullptr);
        set_browser_context(nullptr);
    }

    OssoContext context;
    osso_context_t* osso = context.context;
    Log log;
    Observer first{log, "first"};
    Observer second{log, "second"};
    AppExit app{log};
    XrSystemMaemo system;
};

} // namespace

TEST_F(SystemTest, HardwareEvents)
{
    ASSERT_TRUE(system.start(osso));
    EXPECT_EQ(system.get_device_mode(), XrSystem::device_mode_unknown);
    struct Case {
        const char* name;
        osso_hw_state_t state;
        Log log;
        int mode;
    } cases[] = {
        {"memory low", hw_state(false, true, false), {"first 2", "second 2"}, XrSystem::device_mode_normal},
        {"inactive and memory low", hw_state(false, true, true), {"first 6", "second 6"}, XrSystem::device_mode_normal},
        {"flight mode only", hw_state(false, false, false, OSSO_DEVMODE_FLIGHT), {}, XrSystem::device_mode_offline},
        {"shutdown", hw_state(true, false, false), {"first 1", "second 1", "exit 0"}, XrSystem::device_mode_normal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        osso_standin_emit_hw_event(&c.state);
        EXPECT_EQ(log, c.log);
        EXPECT_EQ(system.get_device_mode(), c.mode);
    }
}

TEST_F(SystemTest, EventsWithNothingRegistered)
{
    ASSERT_TRUE(system.start(osso));
    XrSingleton::set_instance(XrString("XrSystem"), nullptr);
    XrSingleton::set_instance(XrString("XrApplicationProvider"), nullptr);
    osso_hw_state_t state = hw_state(true, true, false);
    osso_standin_emit_hw_event(&state);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(system.get_device_mode(), XrSystem::device_mode_normal);
    // A removed observer is no longer told.
    XrSingleton::set_instance(XrString("XrSystem"), static_cast<XrSystem*>(&system));
    system.remove_listener(&first);
    state = hw_state(false, true, false);
    osso_standin_emit_hw_event(&state);
    EXPECT_EQ(log, Log({"second 2"}));
}

TEST_F(SystemTest, StartNeedsAContext)
{
    XrSystemMaemo other;
    EXPECT_FALSE(other.start(nullptr));
    osso_standin_set_init_fails(TRUE);
    EXPECT_EQ(osso_initialize("kestrova", "20060616", FALSE, nullptr), nullptr);
    osso_standin_set_init_fails(FALSE);
    EXPECT_EQ(osso_initialize("", "1", FALSE, nullptr), nullptr);
}

TEST_F(SystemTest, OpenUrlInBrowser)
{
    EXPECT_FALSE(open_url_in_browser(XrString("http://example.invalid/")));
    EXPECT_EQ(osso_standin_rpc_count(), 0u);
    set_browser_context(osso);
    EXPECT_TRUE(open_url_in_browser(XrString("http://example.invalid/page?x=\xe9")));
    ASSERT_EQ(osso_standin_rpc_count(), 1u);
    const gchar *service, *method, *argument;
    ASSERT_TRUE(osso_standin_rpc_get(0, &service, &method, &argument));
    EXPECT_STREQ(service, "osso_browser");
    EXPECT_STREQ(method, "load_url");
    EXPECT_STREQ(argument, "http://example.invalid/page?x=\xe9");
    osso_standin_set_rpc_result(OSSO_RPC_ERROR);
    EXPECT_FALSE(open_url_in_browser(XrString("http://example.invalid/")));
}

TEST_F(SystemTest, MemoryAndCardRoot)
{
    EXPECT_GT(system.get_total_ram(), 0u);
    EXPECT_LE(system.get_free_ram(), system.get_total_ram());
    XrTempRoot root;
    EXPECT_EQ(std::string(wide_to_narrow_static(get_card_root().c_str())), root.dir() + "/media/mmc1/");
}
