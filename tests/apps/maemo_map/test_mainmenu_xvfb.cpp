// The navigator's common menu and toolbar, used as a person would: the menu
// key and the arrow keys, clicks on the toolbar, all through the X server
// (xdotool). Each entry shows its English text and reaches its command;
// entries whose dialog the platform lacks reach the dialog facade.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "navigator_run.h"

// The font and toolkit libraries keep their caches for the whole process.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

// A browser of the test's own: it writes the address it was given.
std::string install_browser(const XrTempRoot& root)
{
    const std::string bin = root.dir() + "/bin";
    std::filesystem::create_directories(bin);
    const std::string script = bin + "/xdg-open";
    FILE* f = std::fopen(script.c_str(), "w");
    std::fprintf(f, "#!/bin/sh\necho \"$1\" >> %s/browser.log\n", root.dir().c_str());
    std::fclose(f);
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return bin;
}

class MainMenuTest : public ::testing::Test {
protected:
    // What the card holds before the start.
    virtual void prepare() { root.make_dirs("/media/mmc2"); }

    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        prepare();
        const std::string bin = install_browser(root);
        run.start({"PATH=" + bin + ":" + std::string(std::getenv("PATH"))});
        // The map is up: land colour on screen and the menu built.
        ASSERT_TRUE(xr_wait_map(run)) << run.output();
        xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }

    // Waits until the program's output holds text at least `count` times.
    bool wait_output(const std::string& text, int count, int seconds = 10) { return run.wait_said(text, count, seconds); }

    // Opens the menu with the menu key and walks to an entry: `top` rows
    // down, then into its submenu and `sub` rows down (sub < 0: none).
    void choose(int top, int sub)
    {
        // A request's busy window may have had the focus (there is no
        // window manager to give it back).
        xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
        xdo("key F4");
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        std::string keys;
        for (int i = 0; i <= top; ++i)
            keys += " Down";
        if (sub >= 0) {
            keys += " Right";
            for (int i = 0; i < sub; ++i)
                keys += " Down";
        }
        xdo("key --delay 80" + keys);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        xdo("key Return");
    }

    // Keys to a list window of that title (there is no window manager to
    // give it the focus).
    static void list_keys(const char* title, const std::string& keys)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        xdo(std::string("search --sync --onlyvisible --name '^") + title + "$' windowfocus --sync");
        xdo("key --delay 80 " + keys);
    }

    // The favourites and POI lists and the settings window stay open until
    // answered: Escape.
    void close_list(const char* effect)
    {
        if (std::strcmp(effect, "GPS status window shown") == 0) {
            list_keys("GPS status", "Escape");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
        }
        if (std::strcmp(effect, "favourites list") == 0 || std::strcmp(effect, "POI categories") == 0) {
            list_keys(std::strcmp(effect, "favourites list") == 0 ? "Favourites" : "Places", "Escape");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        if (std::strcmp(effect, "maps window shown") == 0) {
            list_keys("Maps", "Escape");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        if (std::strcmp(effect, "settings window on page 0") == 0) {
            list_keys("Settings", "Escape");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
    }

    XrOwnDisplay display;
    XrSessionBus bus;
    XrTempRoot root;
    XrNavigatorRun run{root};
};

struct Entry {
    int top, sub;
    const char* key;
    const char* text; // English catalogue
    const char* effect; // what the program then says
};

// "Edit route" and "About" open windows of their own
// (test_menudialogs_xvfb.cpp).
// Keyboard order of the menu: Find, View, Maps, Favourites, Services,
// Settings, About, Help, Exit ("Clear route" is not offered without a route).
const Entry kEntries[] = {
    {0, 0, "r_menu_find_location", "Find location", "show_address_dlg"},
    {0, 1, "r_menu_find_route", "Plan route", "show_address_dlg"},
    {1, 0, "r_menu_view_3d", "3D view", "menu: r_menu_view_3d"},
    {1, 1, "r_menu_gps_status", "GPS status", "GPS status window shown"},
    {1, 2, "r_str_menu_view_zoom", "Zoom buttons", "menu: r_str_menu_view_zoom"},
    {1, 3, "r_str_menu_view_show_current_location", "Show current location", "banner r_str_gps_dlg_no_gps_fix"},
    {1, 4, "r_menu_settings_set_as_default_view", "Set as default view", "menu: r_menu_settings_set_as_default_view"},
    {1, 5, "r_menu_view_reset_north", "North up", "menu: r_menu_view_reset_north"},
    {2, -1, "r_str_maps_dlg_title", "Maps", "maps window shown"},
    {3, -1, "r_menu_favourites", "Favourites", "favourites list"},
    {4, 0, "r_str_posdlg_page_poi", "Places", "POI categories"},
    {4, 2, "r_menu_services_update_safety_cams", "Update safety cameras", "banner service result"},
    {5, -1, "r_menu_main_settings", "Settings", "settings window on page 0"},
    {7, -1, "r_menu_main_help", "Help", "help topic \"Applications_maps_mainview\""},
};

TEST_F(MainMenuTest, EveryEntryShowsItsTextAndReachesItsCommand)
{
    for (const Entry& e : kEntries) {
        SCOPED_TRACE(e.key);
        const std::string line = std::string("menu: ") + e.key + " \"" + e.text + "\"";
        const int before_effect = [&] {
            const std::string out = run.output();
            int n = 0;
            for (size_t at = out.find(e.effect); at != std::string::npos; at = out.find(e.effect, at + 1))
                ++n;
            return n;
        }();
        choose(e.top, e.sub);
        EXPECT_TRUE(wait_output(line, 1)) << run.output();
        EXPECT_TRUE(wait_output(e.effect, before_effect + 1)) << run.output();
        close_list(e.effect);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // The address dialog is modal: leave it before the next entry.
        if (std::string(e.effect) == "show_address_dlg") {
            xdo("key Escape");
            EXPECT_TRUE(wait_output("address dialog: nothing chosen", before_effect + 1)) << run.output();
        }
    }
    // The web link opens the partner's page in the browser.
    choose(6, 1);
    EXPECT_TRUE(wait_output("menu: r_menu_about_web_link_label \"Visit the Kestrova web site\"", 1)) << run.output();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (XrTempRoot::read_file(root.dir() + "/browser.log").empty() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(XrTempRoot::read_file(root.dir() + "/browser.log"), "https://www.kestrovatech.com/internettablet/\n");

    // Exit ends the program with status 0.
    choose(8, -1);
    EXPECT_TRUE(wait_output("menu: r_menu_main_exit \"Exit\"", 1)) << run.output();
    EXPECT_EQ(run.wait_exit(20), 0) << run.output();
}

TEST_F(MainMenuTest, TrafficUpdateAsksToSwitchTrafficOnFirst)
{
    choose(4, 1);
    ASSERT_TRUE(wait_output("query r_str_traffic_not_enabled", 1)) << run.output();
    // No: nothing is requested.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    xdo("search --onlyvisible --name . windowfocus key Escape");
    xdo("key Escape");
    ASSERT_TRUE(wait_output("query r_str_traffic_not_enabled: no", 1)) << run.output();
    EXPECT_EQ(run.output().find("service update 2"), std::string::npos) << run.output();
}

// The six toolbar buttons stand under the map with their icons; a click on
// each reaches its command.
TEST_F(MainMenuTest, ToolbarButtonsShowTheirIconsAndAct)
{
    GdkPixbuf* pb = run.screenshot();
    ASSERT_NE(pb, nullptr);
    // The gold star of the favourites button: its row is the toolbar's.
    int star_y = -1, star_x = -1;
    for (int y = 0; y < 480 && star_y < 0; ++y)
        for (int x = 0; x < 800; ++x) {
            const XrRgb c = xr_pixel(pb, x, y);
            if (c.r > 215 && c.r < 245 && c.g > 155 && c.g < 185 && c.b < 40) {
                star_y = y;
                star_x = x;
                break;
            }
        }
    g_object_unref(pb);
    ASSERT_GE(star_y, 0) << "no toolbar icon on screen";
    // The toolbar is the 58 lines under the 422 of the map.
    EXPECT_GE(star_y, 422);
    // Six equal cells: the star is in the second.
    EXPECT_GT(star_x, 800 / 6);
    EXPECT_LT(star_x, 2 * 800 / 6);
    const int y = star_y + 10;
    const struct {
        int cell;
        const char* effect;
    } kButtons[] = {
        {0, "show_address_dlg"},
        {1, "favourites list"},
        {2, "POI categories"},
        {3, "GPS status window shown"},
        {4, "menu: toolbutton5"},
        {5, "banner r_str_gps_dlg_no_gps_fix"},
    };
    for (const auto& b : kButtons) {
        SCOPED_TRACE(b.effect);
        const int x = 800 / 12 * (2 * b.cell + 1);
        xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
        EXPECT_TRUE(wait_output("menu: toolbutton" + std::to_string(b.cell + 1), 1)) << run.output();
        EXPECT_TRUE(wait_output(b.effect, 1)) << run.output();
        close_list(b.effect);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // The address dialog is modal: leave it before the next button.
        if (std::string(b.effect) == "show_address_dlg") {
            xdo("key Escape");
            EXPECT_TRUE(wait_output("address dialog: nothing chosen", 1)) << run.output();
        }
    }
}

// The POI list: the categories, then the POIs of the chosen one around the
// view's middle. Escape ends a list with nothing.
TEST_F(MainMenuTest, PoiCategoriesThenThePoisOfOne)
{
    choose(4, 0);
    ASSERT_TRUE(wait_output("POI categories: ", 1)) << run.output();
    EXPECT_EQ(run.output().find("POI categories: 0 rows"), std::string::npos) << run.output();
    list_keys("Places", "Escape");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(run.output().find("POIs of class"), std::string::npos) << run.output();

    // A category chosen: the POIs of that class around the view's middle
    // are listed; Escape leaves that list with nothing shown.
    choose(4, 0);
    ASSERT_TRUE(wait_output("POI categories: ", 2)) << run.output();
    list_keys("Places", "Return");
    ASSERT_TRUE(wait_output("POIs of class", 1)) << run.output();
    list_keys("Places", "Escape");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(run.output().find("POI shown"), std::string::npos) << run.output();
    // The map takes keys again: the menu opens.
    choose(3, -1);
    EXPECT_TRUE(wait_output("favourites list", 1)) << run.output();
    close_list("favourites list");
}

// A card with favourites: the list shows them, and the one chosen is shown
// on the map.
class FavouritesListTest : public MainMenuTest {
protected:
    void prepare() override
    {
        xr_install_demo_card(root);
        const std::string file = root.dir() + "/media/mmc2/map/mapdata/favourites.txt";
        FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("\xEF\xBB\xBF" "31.0010000000|-24.0020000000|0|First place|\r\n"
                   "30.9800000000|-24.0300000000|0|Second place|\r\n",
                   f);
        std::fclose(f);
    }
};

TEST_F(FavouritesListTest, ChosenFavouriteIsShownOnTheMap)
{
    GdkPixbuf* before = run.screenshot();
    ASSERT_NE(before, nullptr);
    choose(3, -1);
    ASSERT_TRUE(wait_output("favourites list: 2 rows", 1)) << run.output();
    list_keys("Favourites", "Escape");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(run.output().find("favourite shown"), std::string::npos) << run.output();

    choose(3, -1);
    ASSERT_TRUE(wait_output("favourites list: 2 rows", 2)) << run.output();
    list_keys("Favourites", "Down Return");
    EXPECT_TRUE(wait_output("favourite shown: Second place", 1)) << run.output();
    // The view moved to it.
    EXPECT_TRUE(run.wait_screen(10, [&](GdkPixbuf* pb) { return xr_differing_pixels(before, pb) > 1000; }));
    g_object_unref(before);
}

} // namespace
