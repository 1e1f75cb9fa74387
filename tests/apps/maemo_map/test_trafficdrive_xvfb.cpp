// Traffic in the whole program: the navigator starts on an empty card with
// the loopback service server as its service host and a route to the demo
// destination. The server refuses the first exchange (the service tries
// again on its timer) and then sends a jam on the road of the route: its
// icon and road marks appear on the map, the warning sounds, the route is
// searched again around it and the new route announced.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "servicesim_drive.h"

namespace fs = std::filesystem;

namespace {

using namespace servicesim_drive;

const char* const destination = "30.995,-24.005";

// The jam lies at the junction 637 m along the route from the track's start
// (where it leaves South-West Boulevard), which the car reaches well after
// the retry.
const char* const scenario = "fail 1\n"
                             "0 jam 1 30.9949 -24.0064 101 15 Stationary traffic\n";

// Pixels of the jam icon's colour (purple) on the screen.
int jam_pixels(GdkPixbuf* pb)
{
    int n = 0;
    for (int y = 0; y < gdk_pixbuf_get_height(pb); ++y)
        for (int x = 0; x < gdk_pixbuf_get_width(pb); ++x) {
            const XrRgb c = xr_pixel(pb, x, y);
            if (std::abs(c.r - 150) < 12 && c.g < 20 && std::abs(c.b - 190) < 12)
                ++n;
        }
    return n;
}

// Pixels of the road marks of heavy traffic (pure red).
int mark_pixels(GdkPixbuf* pb)
{
    int n = 0;
    for (int y = 0; y < gdk_pixbuf_get_height(pb); ++y)
        for (int x = 0; x < gdk_pixbuf_get_width(pb); ++x) {
            const XrRgb c = xr_pixel(pb, x, y);
            if (c.r > 245 && c.g < 10 && c.b < 10)
                ++n;
        }
    return n;
}


class TrafficDriveTest : public XrDemoDriveTest {};

TEST_F(TrafficDriveTest, AJamOnTheRouteIsShownWarnedOfAndDrivenAround)
{
    const std::string services = root.make_dirs("/services");
    ServiceServer server(services, scenario, {"--map", XrTempRoot::stage_dir() + "/usr/share/kestrova/atlantis"});
    ASSERT_NE(server.port, 0);
    // The user's settings: the loopback server, traffic on.
    ASSERT_TRUE(write_user_settings(
        root, {{"address", "127.0.0.1"}, {"httpport", std::to_string(server.port)}, {"trafficenabled", "1"}}));

    const std::string parked = root.write_file("/parked.csv", "0," + track_start(track) + "\n");
    const std::string capture = root.make_dirs("/capture");
    run.start({"KESTROVA_DRIVE_TRACK=" + parked, std::string("KESTROVA_DRIVE_DESTINATION=") + destination,
               "KESTROVA_ESD_CAPTURE=" + capture});
    ASSERT_TRUE(xr_wait_map(run)) << run.output();

    // The first exchange fails; the retry 30 s later brings the jam: its
    // icon and its roads' marks.
    int marks = 0;
    EXPECT_TRUE(run.wait_screen(90, [&](GdkPixbuf* pb) {
        marks = mark_pixels(pb);
        return jam_pixels(pb) > 40 && marks > 200;
    })) << marks << "\n"
        << run.output();

    std::map<std::string, Bytes> prompts;
    std::vector<std::string> sounds;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (std::chrono::steady_clock::now() < end &&
           std::find(sounds.begin(), sounds.end(), "tf_reroute") == sounds.end()) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        if (prompts.empty() && fs::is_directory(root.dir() + card_voice))
            prompts = load_prompts(root.dir() + card_voice, {"tf_warning", "tf_reroute"});
        sounds = heard(capture, prompts);
    }
    ASSERT_EQ(prompts.size(), 2u);
    // The warning, then the new route announced (a new route that passes
    // another road of the jam is warned of again).
    ASSERT_GE(sounds.size(), 2u) << run.output();
    EXPECT_EQ(sounds[0], "tf_warning");
    EXPECT_EQ(sounds[1], "tf_reroute");

    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
