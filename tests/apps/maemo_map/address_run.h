// What the address dialog tests share: the navigator driving the demo
// route, the main menu opening the dialog, typing through the X server and
// the route drawn on screen.
#pragma once

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "navigator_run.h"

inline void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }
inline void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The inner colour of the active route's roads.
inline bool is_route(const XrRgb& c) { return std::abs(c.r - 60) < 25 && std::abs(c.g - 130) < 25 && std::abs(c.b - 240) < 25; }

inline int route_pixels(GdkPixbuf* pb)
{
    int n = 0;
    for (int y = 0; y < 420; y += 2)
        for (int x = 0; x < 800; x += 2)
            n += is_route(xr_pixel(pb, x, y));
    return n;
}

inline bool marker_shown(GdkPixbuf* pb)
{
    for (int y = 60; y < 420; y += 2)
        for (int x = 300; x < 500; ++x) {
            const XrRgb c = xr_pixel(pb, x, y);
            if (c.r > 200 && c.g < 60 && c.b < 60)
                return true;
        }
    return false;
}

class XrAddressDialogFixture : public XrDemoDriveTest {
protected:
    void SetUp() override
    {
        XrDemoDriveTest::SetUp();
        if (HasFatalFailure())
            return;
        run.start({"KESTROVA_DRIVE_TRACK=" + track});
        ASSERT_TRUE(run.wait_screen(60, marker_shown)) << run.output();
        xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
        pause_ms(500);
    }

    int count(const std::string& text) const { return run.said(text); }

    bool wait_output(const std::string& text, int seconds = 15) const { return run.wait_said(text, 1, seconds); }

    // Main menu: Find, then its second entry ("Plan route"); the dialog's
    // start page has the address button focused.
    void open_dialog()
    {
        xdo("key F4");
        pause_ms(400);
        xdo("key --delay 80 Down Right Down");
        pause_ms(200);
        xdo("key Return");
        ASSERT_TRUE(wait_output("show_address_dlg")) << run.output();
        pause_ms(1500);
    }

    // Letter by letter, then the search delay runs out.
    void type_and_wait(const std::string& text)
    {
        xdo("type --delay 120 '" + text + "'");
        pause_ms(3000);
    }

    void shot(const char* name)
    {
        if (std::getenv("ADDR_SHOTS") == nullptr)
            return;
        GdkPixbuf* pb = run.screenshot();
        if (pb != nullptr) {
            gdk_pixbuf_save(pb, (std::string("/tmp/addr_") + name + ".png").c_str(), "png", nullptr, nullptr);
            g_object_unref(pb);
        }
    }
};
