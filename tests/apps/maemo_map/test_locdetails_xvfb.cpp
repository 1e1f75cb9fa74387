// The details window of a place, opened as a person would: a long press on
// the map, then the radial menu's "details" entry through the X server. It
// shows over the map with its translated title and closes again.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "navigator_run.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

bool window_shown(const std::string& title, bool wanted, int seconds = 10)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
        const bool shown =
            std::system(("xdotool search --onlyvisible --name '^" + title + "$' >/dev/null 2>&1").c_str()) == 0;
        if (shown == wanted)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

class LocDetailsTest : public XrDemoDriveTest {};

TEST_F(LocDetailsTest, RadialDetailsShowsThePlaceAndCloses)
{
    run.start({"KESTROVA_DRIVE_TRACK=" + track});
    ASSERT_TRUE(xr_wait_map(run)) << run.output();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    GdkPixbuf* before = run.screenshot();
    ASSERT_NE(before, nullptr);

    xdo("mousemove 620 120 mousedown 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    xdo("mouseup 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    // Before the marker entry, last of the ring: the place's details.
    xdo("key --delay 150 Up Up Return");
    ASSERT_TRUE(run.wait_said("details window shown", 1, 10)) << run.output();
    ASSERT_TRUE(window_shown("Location details", true)) << run.output();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    GdkPixbuf* open = run.screenshot();
    ASSERT_NE(open, nullptr);
    EXPECT_GT(xr_differing_pixels(before, open), 2000) << "the window covers part of the map";
    g_object_unref(open);
    g_object_unref(before);
    EXPECT_EQ(run.output().find("r_str_locdetails"), std::string::npos) << run.output();
    EXPECT_EQ(run.output().find("show_location_details_dlg"), std::string::npos) << run.output();

    xdo("search --onlyvisible --name '^Location details$' windowfocus --sync key Escape");
    EXPECT_TRUE(window_shown("Location details", false)) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
