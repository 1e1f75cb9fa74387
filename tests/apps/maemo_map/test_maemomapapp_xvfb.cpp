// The application object's reactions that need no main loop: power saving
// of the built-in GPS and the display's wake-up as user activity.
#include "apps/maemo_map/xr_maemomapapp.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <clocale>
#include <string>

#include "apps/maemo_map/xr_languagetable.h"
#include "common/corvanel_core/impl/xr_appsettingsproviderimpl.h"
#include "common/misc/xr_path_resolver.h"
#include "navigator_run.h"
#include "support/xr_temp_root.h"

// The font and toolkit libraries keep their caches for the whole process.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

class FakePosition : public XrPositionProvider {
public:
    void initialize() override {}
    void connect() override {}
    void check_connection() override { ++checks; }
    void disconnect() override { ++disconnects; }
    bool is_connected() override { return true; }
    bool is_active() override { return true; }
    XrPositionInfo& get_position_info() override { return info; }
    void set_connect_enabled(bool) override {}
    bool is_connect_enabled() override { return true; }
    const XrArray<XrPositionProducer*>& get_position_producers() override { return producers; }
    XrString get_position_producer_name(const XrPositionProducer*) const override { return XrString(L""); }

    XrPositionInfo info;
    XrArray<XrPositionProducer*> producers{1};
    int checks = 0;
    int disconnects = 0;
};

class TestMaemoApp : public XrMaemoMapApp {
public:
    TestMaemoApp() : XrMaemoMapApp(nullptr) {}
    // A moving vehicle seen `seconds` ago for the last time.
    void moved(std::uint32_t ms_ago)
    {
        fix_history.add(10, 0, XrPoint(), get_tick_count_ms() - ms_ago, 4.0);
    }
    void set_stalled_long_time(int s) { stalled_long_time = s; }
    std::uint32_t active_since() const { return fix_history.get_active_since(); }
};

class MaemoMapAppTest : public ::testing::Test {
protected:
    // A display of the suite's own, kept for the whole process (GTK stays
    // connected to it).
    static void SetUpTestSuite()
    {
        static XrOwnDisplay display;
        ASSERT_TRUE(display.ok());
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    }
    void SetUp() override
    {
        position.info.set_fix(true);
        XrSingleton::set_instance(XrString(L"XrPositionProvider"), static_cast<XrPositionProvider*>(&position));
        XrSingleton::set_instance(XrString(L"XrAppSettingsProvider"), static_cast<XrAppSettingsProvider*>(&settings));
    }
    void TearDown() override
    {
        g_app = nullptr;
        XrSingleton::set_instance(XrString(L"XrPositionProvider"), nullptr);
        XrSingleton::set_instance(XrString(L"XrAppSettingsProvider"), nullptr);
    }

    XrTempRoot root;
    FakePosition position;
    XrAppSettingsProviderImpl settings;
};

TEST_F(MaemoMapAppTest, BuiltInGpsIsPausedAfterALongStillnessOnly)
{
    struct Case {
        const wchar_t* device;
        bool paused;
    };
    const Case cases[] = {{L"Board ", false}, {L"Bluetooth GPS", false}, {L"Board GPS", true}};
    for (const Case& c : cases) {
        TestMaemoApp still;
        g_app = &still;
        settings.set_gps_name(XrString(c.device));
        still.moved(2000);
        still.set_stalled_long_time(1);
        still.on_status_update();
        EXPECT_EQ(still.is_gps_paused(), c.paused) << c.device;
    }
    EXPECT_EQ(position.disconnects, 1);
}

TEST_F(MaemoMapAppTest, DisplayWakeUpCountsAsActivityOncePerWakeUp)
{
    TestMaemoApp app;
    g_app = &app;
    app.moved(60000);
    const std::uint32_t before = app.active_since();
    XrMaemoMapApp::on_display_event(OSSO_DISPLAY_ON, nullptr);
    const std::uint32_t woken = app.active_since();
    EXPECT_GT(woken - before, 59000u);
    XrMaemoMapApp::on_display_event(OSSO_DISPLAY_DIMMED, nullptr);
    XrMaemoMapApp::on_display_event(OSSO_DISPLAY_ON, nullptr);
    EXPECT_EQ(app.active_since(), woken); // still on: no new wake-up
    XrMaemoMapApp::on_display_event(OSSO_DISPLAY_OFF, nullptr);
    XrMaemoMapApp::on_display_event(OSSO_DISPLAY_ON, nullptr);
    EXPECT_GE(app.active_since(), woken);
    XrMaemoMapApp::on_display_event(OSSO_DISPLAY_OFF, nullptr);
}

// Runs the main loop for ms milliseconds.
void run_loop(int ms)
{
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_timeout_add(static_cast<guint>(ms), [](gpointer l) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(l));
        return FALSE;
    }, loop);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
}

TEST_F(MaemoMapAppTest, FocusHeldFiveSecondsResumesThePausedGps)
{
    TestMaemoApp app;
    g_app = &app;
    settings.set_gps_name(XrString(L"Board GPS"));
    app.moved(2000);
    app.set_stalled_long_time(1);
    app.on_status_update();
    ASSERT_TRUE(app.is_gps_paused());
    // In and out again within five seconds: nothing.
    XrMaemoMapApp::on_focus_in(nullptr, nullptr, nullptr);
    run_loop(1000);
    XrMaemoMapApp::on_focus_out(nullptr, nullptr, nullptr);
    run_loop(4500);
    EXPECT_TRUE(app.is_gps_paused());
    EXPECT_EQ(position.checks, 0);
    XrMaemoMapApp::on_focus_in(nullptr, nullptr, nullptr);
    run_loop(5300);
    EXPECT_FALSE(app.is_gps_paused());
    EXPECT_EQ(position.checks, 1);
    g_app = nullptr;
}

TEST_F(MaemoMapAppTest, DefaultRpcAnswersSuccessWithoutAWindow)
{
    osso_rpc_t retval;
    retval.type = 's';
    EXPECT_EQ(XrMaemoMapApp::on_rpc_default("com.nokia.kestrova", "top_application", nullptr, nullptr, &retval),
              OSSO_OK);
    EXPECT_EQ(retval.type, DBUS_TYPE_INVALID);
}

TEST_F(MaemoMapAppTest, UnknownLocaleFallsBackToTheSystemsAndStoresIt)
{
    TestMaemoApp app;
    settings.set_user_locale(XrString(L"kept"));
    // An installed locale: switched, nothing stored.
    app.set_locale(XrString(L"C"), true);
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), "C");
    EXPECT_TRUE(settings.get_user_locale() == XrString(L"kept"));
    // Neither the name nor the name with ".utf8": the system's locale.
    app.set_locale(XrString(L"xx_YY"), true);
    const std::string system = std::setlocale(LC_ALL, nullptr);
    EXPECT_TRUE(settings.get_user_locale() == XrString(system.c_str()));
    std::setlocale(LC_ALL, "C");
}

TEST_F(MaemoMapAppTest, LanguageComboOffersTheTableAndStoresTheChoice)
{
    const struct {
        const wchar_t* locale;
        int row;
    } rows[] = {{L"", 0}, {L"de_DE", 2}, {L"es_BZ", 6}, {L"pt_PT", 12}, {L"ru_RU", 15}, {L"xx_XX", 0}};
    for (const auto& r : rows)
        EXPECT_EQ(xr_language_row(XrString(r.locale)), r.row) << r.row;

    // The voice folder is looked for on the card.
    const XrString card((root.dir() + "/media/mmc2/map/").c_str());
    XrPathResolver resolver(card.c_str());
    set_path_resolver(&resolver);
    GtkWidget* combo = gtk_combo_box_new_text();
    g_object_ref_sink(combo);
    fill_language_combo(GTK_COMBO_BOX(combo), XrString(L"fr_CA"));
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(combo)), 7);
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    EXPECT_EQ(gtk_tree_model_iter_n_children(model, nullptr), xr_language_count);
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 14);
    EXPECT_TRUE(apply_language_selection(GTK_COMBO_BOX(combo)) == XrString(L"sv_SE"));
    EXPECT_TRUE(settings.get_user_locale() == XrString(L"sv_SE"));
    gtk_widget_destroy(combo);
    g_object_unref(combo);
    set_path_resolver(nullptr);
}

} // namespace
