// The services the controller builds around its providers: the busy
// indication, the dialog manager and its deferred refresh, Internet access
// with the default access point, the service channel, the system object and
// the service provider, and their end with the controller.
#include "apps/apps_common/xr_naviapp.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "apps/apps_common/xr_serviceaggregate.h"
#include "apps/maemo_map/navigator_run.h"
#include "apps/services/xr_servcom.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_globalbusydialog.h"
#include "common/corvanel_core/interfaces/xr_serviceprovider.h"
#include "common/os/xr_inet.h"
#include "common/os/xr_system.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "support/xr_temp_root.h"

namespace {

class TestApp : public XrNaviApp {
public:
    void create_position_provider() override {}
    void exit_application() override {}
    void on_deferred_refresh() override { ++refreshes; }
    int refreshes = 0;
};

class NaviAppServicesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(xr_own_process_display());
    }
    XrTempRoot root;
};

// Runs the main loop for about ms milliseconds.
void run_for(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(1000);
    }
}

void* registered(const wchar_t* name) { return XrSingleton::get_instance(XrString(name)); }

TEST_F(NaviAppServicesTest, ServicesLiveAndEndWithTheController)
{
    xr_install_demo_card(root);
    {
        TestApp app;
        // Made by the constructor, before any provider.
        ASSERT_NE(XrGlobalBusyDialog::get_instance(), nullptr);
        XrDialogManager* manager = XrDialogManager::get_instance();
        ASSERT_NE(manager, nullptr);
        EXPECT_EQ(manager->get_listener(0), static_cast<XrDialogManagerListener*>(&app));
        EXPECT_TRUE(XrInet::has_inet());
        EXPECT_EQ(XrServComImplementation::ref_existing(), nullptr);

        ASSERT_TRUE(app.construct());
        auto* services = static_cast<XrServiceProvider*>(registered(L"XrServiceProvider"));
        ASSERT_NE(services, nullptr);
        // The online services exist once the map is open.
        ASSERT_NE(services->get_service_aggregate(), nullptr);
        EXPECT_EQ(services->get_service_aggregate(), app.get_service_aggregate());
        EXPECT_NE(app.get_service_aggregate()->find_service(XrService::TYPE_SPEEDCAM), nullptr);
        EXPECT_NE(registered(L"XrSystem"), nullptr);

        // The channel exists with the settings' server time-out; asking again
        // shares it and takes a changed time-out.
        auto* channel = static_cast<XrServComImplementation*>(XrServComImplementation::ref_existing());
        ASSERT_NE(channel, nullptr);
        channel->release();
        auto* settings = static_cast<XrAppSettingsProvider*>(registered(L"XrAppSettingsProvider"));
        EXPECT_EQ(channel->get_timeout(), settings->get_timeout());
        settings->set_timeout(120);
        EXPECT_EQ(app.create_servcom(), channel);
        EXPECT_EQ(channel->get_timeout(), 120);
        channel->release();
    }
    // Everything the controller registered or acquired is gone with it.
    for (const wchar_t* name : {L"XrGlobalBusyDialog", L"XrDialogManager", L"XrSystem", L"XrServiceProvider",
                                L"XrGpsProvider", L"XrMapProvider"})
        EXPECT_EQ(registered(name), nullptr) << std::wstring(name).size();
    EXPECT_EQ(XrServComImplementation::ref_existing(), nullptr);
    EXPECT_FALSE(XrInet::has_inet());

    // A second controller in the same process builds them all again.
    TestApp again;
    EXPECT_NE(XrGlobalBusyDialog::get_instance(), nullptr);
    EXPECT_TRUE(again.construct());
}

TEST_F(NaviAppServicesTest, DefaultAccessPointIsTheOneOfTheSettingsName)
{
    xr_install_demo_card(root);
    TestApp app;
    ASSERT_TRUE(app.construct());
    auto* settings = static_cast<XrAppSettingsProvider*>(registered(L"XrAppSettingsProvider"));
    struct Case {
        const wchar_t* setting;
        bool found;
    } cases[] = {{L"standin-iap", true}, {L"", false}, {L"no such access point", false}};
    for (const Case& c : cases) {
        settings->set_default_access_point(XrString(c.setting));
        XrString name(L"kept"), id(L"kept");
        EXPECT_EQ(app.choose_iap(name, id), c.found ? 1 : 0) << std::wstring(c.setting).size();
        EXPECT_EQ(name, XrString(c.found ? c.setting : L"kept"));
        EXPECT_EQ(id, XrString(c.found ? L"standin-iap" : L"kept"));
    }
}

TEST_F(NaviAppServicesTest, DialogClosedRunsTheDeferredRefreshUnlessOneOpensFirst)
{
    TestApp app;
    app.get_event_loop().init();
    XrDialogManager* manager = XrDialogManager::get_instance();
    ASSERT_NE(manager, nullptr);
    manager->notify_listeners(&XrDialogManagerListener::dialog_closed);
    EXPECT_EQ(app.refreshes, 0); // on the loop, not at once
    run_for(100);
    EXPECT_EQ(app.refreshes, 1);
    // A dialog opening before the refresh ran holds it back.
    manager->notify_listeners(&XrDialogManagerListener::dialog_closed);
    manager->notify_listeners(&XrDialogManagerListener::dialog_shown, nullptr);
    run_for(100);
    EXPECT_EQ(app.refreshes, 1);
}

} // namespace
