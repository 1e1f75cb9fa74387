// Numeric commands carried out through the controller on the demo map.
#include "apps/apps_common/xr_commandhandler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_naviapphandler.h"
#include "apps/corvanel/ui/dialogs/xr_corvaneldialogfacade.h"
#include "apps/maemo_map/navigator_run.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/misc/xr_path_resolver.h"
#include "support/xr_temp_root.h"

namespace {

class TestApp : public XrNaviApp {
public:
    void create_position_provider() override {}
    void exit_application() override {}
    bool show_route_query(const char*, const char*, bool) override { return false; }
    bool show_address_dialog(const XrString&, int, XrPoint&, XrString&, const XrPoint*) override { return false; }
    bool guard() const { return dialog_guard; }
};

// Records the dialogs asked for.
class RecordingFacade : public XrCorvanelDialogFacade {
public:
    explicit RecordingFacade(std::function<TestApp*()> app) : app(std::move(app)) {}
    void show_favourites_dlg(const XrNaviApp&) const override { record("favourites"); }
    void show_roadblocks_dlg() const override { record("roadblocks"); }
    void show_waypoints_dlg(XrNaviApp&) const override { record("waypoints"); }
    void show_about_dlg() const override { record("about"); }
    void show_settings_dlg(XrNaviApp&, int page) const override
    {
        record("settings " + std::to_string(page) + (app()->guard() ? " guarded" : " unguarded"));
    }
    void show_parking_dlg() const override { record("parking"); }
    void show_route_details_dlg() const override { record("route details"); }
    void show_services_dlg() const override { record("services"); }
    void show_gps_dlg(XrNaviApp&) const override { record("gps"); }

    void record(const std::string& what) const { asked.push_back(what); }
    mutable std::vector<std::string> asked;

private:
    std::function<TestApp*()> app;
};

class CommandHandlerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(xr_own_process_display()); }

    void SetUp() override
    {
        // The controller finds the card as it is at its construction.
        xr_install_demo_card(root);
        forget_map_card_root();
        owned = std::make_unique<TestApp>();
        ASSERT_TRUE(app().construct());
        // The size of the map window the tablet shows.
        app().get_map_view().set_screen_size(XrSize(800, 480));
        app().get_map_view().set_visible_rect(XrRectangle(0, 0, 800, 480));
        XrSingleton::set_instance(XrString(L"XrCorvanelDialogFacade"), &facade);
        handler.set_app(&app());
    }
    void TearDown() override { XrSingleton::set_instance(XrString(L"XrCorvanelDialogFacade"), nullptr); }

    bool cursor_on() const
    {
        XrMapViewProvider* views = XrMapViewProvider::get_instance();
        return views != nullptr && views->is_cursor_visible();
    }
    bool is_3d() const
    {
        XrMapViewProvider* views = XrMapViewProvider::get_instance();
        return views != nullptr && views->is_3d();
    }

    TestApp& app() { return *owned; }

    XrTempRoot root;
    std::unique_ptr<TestApp> owned;
    RecordingFacade facade{[this]() { return owned.get(); }};
    XrCorvanelCommandHandler handler;
};

// Every id of the range is either a command or logged and ignored.
TEST_F(CommandHandlerTest, EveryCommandIdIsCarriedOutAndOthersAreLogged)
{
    std::set<int> commands;
    for (int id = 0x1000; id <= 0x1007; ++id)
        commands.insert(id);
    for (int id : {0x1009, 0x100B, 0x1014, 0x1015, 0x1016, 0x1018, 0x1019, 0x101A, 0x101B, 0x101C, 0x101D, 0x101E,
                   0x1020, 0x1027, 0x102D, 0x102E, 0x1038, 0x1039, 0x104E, 0x104F, 0x1050, 0x1051, 0x1052, 0x105C,
                   0x1072, 0x1081, 0x1088, 0x1089, 0x108A, 0x108C, 0x108D, 0x108E, 0x108F, 0x1090, 0x1094, 0x1095,
                   0x10B0, 0x10D3, 0x10E3, 0x1106, 0x1107})
        commands.insert(id);
    for (int id = 0x10F4; id <= 0x10FD; ++id)
        commands.insert(id);
    bool cursor = false;
    for (int id = 0x0FFF; id <= 0x1108; ++id) {
        testing::internal::CaptureStderr();
        const bool known = handler.handle_command(id, nullptr);
        const std::string log = testing::internal::GetCapturedStderr();
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", id);
        EXPECT_EQ(known, commands.count(id) == 1) << hex;
        if (!known) {
            EXPECT_NE(log.find(std::string("unknown command id ") + hex), std::string::npos) << log;
        }
        // A command's common tail leaves the cursor off, except 0x1009,
        // which shows it; an unknown id changes nothing.
        if (known)
            cursor = id == 0x1009;
        EXPECT_EQ(cursor_on(), cursor) << hex;
        app().set_stop_drawing(false);
        if (is_3d())
            app().toggle_3d_view();
    }
}

struct PresetCase {
    int id;
    bool start_in_3d;
    std::uint32_t scale;
};

TEST_F(CommandHandlerTest, ScalePresetsLeaveThe3dViewAndSetTheScale)
{
    const PresetCase cases[] = {
        {0x1000, false, 9000},   {0x1001, false, 25000},  {0x1002, false, 100000},
        {0x1003, true, 250000},  {0x1004, false, 1000000}, {0x1005, true, 4500000},
    };
    for (const PresetCase& c : cases) {
        SCOPED_TRACE(c.id);
        if (c.start_in_3d != is_3d())
            app().toggle_3d_view();
        EXPECT_TRUE(handler.handle_command(c.id, nullptr));
        EXPECT_FALSE(is_3d());
        EXPECT_EQ(app().get_map_view().get_scale_value(), c.scale);
    }
}

TEST_F(CommandHandlerTest, ZoomCommandsStepAlongTheLadder)
{
    ASSERT_TRUE(handler.handle_command(0x1000, nullptr)); // 9000
    ASSERT_TRUE(handler.handle_command(0x1006, nullptr));
    EXPECT_EQ(app().get_map_view().get_scale_value(), 8809u);
    // The next zoom step is taken 100 ms after the previous one.
    EXPECT_TRUE(handler.handle_command(0x1006, nullptr));
    EXPECT_EQ(app().get_map_view().get_scale_value(), 8809u);
    const auto ready = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
    xr_run_loop_until([&] { return std::chrono::steady_clock::now() > ready; }, 2);
    ASSERT_TRUE(handler.handle_command(0x1007, nullptr));
    EXPECT_EQ(app().get_map_view().get_scale_value(), 12682u);
}

struct DialogCase {
    int id;
    const char* dialog;
};

TEST_F(CommandHandlerTest, DialogCommandsReachTheFacade)
{
    const DialogCase cases[] = {
        {0x1038, "favourites"},    {0x1050, "parking"},   {0x1106, "parking"},  {0x1088, "roadblocks"},
        {0x10B0, "gps"},           {0x10E3, "services"},  {0x1027, "about"},    {0x10D3, "about"},
        {0x101D, "route details"}, {0x1016, "waypoints"},
        // The settings dialog runs with the dialog guard off.
        {0x1095, "settings 0 unguarded"},
    };
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.id);
        facade.asked.clear();
        EXPECT_TRUE(handler.handle_command(c.id, nullptr));
        ASSERT_EQ(facade.asked.size(), 1u);
        EXPECT_EQ(facade.asked[0], c.dialog);
    }
    EXPECT_TRUE(app().guard());
}

TEST_F(CommandHandlerTest, ViewCommandsSwitchThe3dViewAndStopDrawing)
{
    EXPECT_TRUE(handler.handle_command(0x108D, nullptr)); // flat already: nothing
    EXPECT_FALSE(is_3d());
    EXPECT_TRUE(handler.handle_command(0x108C, nullptr));
    EXPECT_TRUE(is_3d());
    EXPECT_TRUE(handler.handle_command(0x108C, nullptr)); // 3D already: nothing
    EXPECT_TRUE(is_3d());
    EXPECT_TRUE(handler.handle_command(0x108F, nullptr));
    EXPECT_FALSE(is_3d());
    EXPECT_FALSE(app().is_drawing_stopped());
    EXPECT_TRUE(handler.handle_command(0x1107, nullptr));
    EXPECT_TRUE(app().is_drawing_stopped());
}

TEST_F(CommandHandlerTest, ControllerForwardsCommandsAndLogsUnknownOnes)
{
    app().handle_command(0x1002, nullptr);
    EXPECT_EQ(app().get_map_view().get_scale_value(), 100000u);
    testing::internal::CaptureStderr();
    app().handle_command(0x7777, nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("unknown command id 0x7777"), std::string::npos);
}

} // namespace
