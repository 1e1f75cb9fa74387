// A scripted drive over a generated road network: the route layer is fed one
// fix a second along two routes (start to waypoint, waypoint to destination)
// and what it says is compared with a golden transcript.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/audio/xr_audioplayer.h"
#include "common/map/xr_routelayer.h"
#include "route_drive_support.h"
#include "route_prompt_support.h"
#include "support/xr_temp_root.h"

using namespace xr_drive_test;

namespace {

// East from the start, left, right and at once left (chained), a roundabout
// left at its second exit to the waypoint; on to a right turn and the
// destination.
XrNetwork drive_network()
{
    XrNetwork net;
    net.edges.push_back(road({P(0, 0), P(1000, 0)}));        // 0 start road, east
    net.edges.push_back(road({P(1000, 0), P(2000, 0)}));     // 1 straight on
    net.edges.push_back(road({P(1000, 0), P(1000, 800)}));   // 2 left, north
    net.edges.push_back(road({P(1000, 800), P(1000, 1600)}));// 3 straight on
    net.edges.push_back(road({P(1000, 800), P(1080, 800)})); // 4 right, east
    net.edges.push_back(road({P(1080, 800), P(2000, 800)})); // 5 straight on
    net.edges.push_back(road({P(1080, 800), P(1150, 1500)}));// 6 left, north to the roundabout
    // The roundabout: a one-way ring turning anticlockwise around (1150, 1600).
    const XrPoint ring[4] = {P(1250, 1600), P(1150, 1700), P(1050, 1600), P(1150, 1500)};
    for (int i = 0; i < 4; ++i)
        net.edges.push_back(road({ring[(i + 3) % 4], ring[i]}, 5, 3, 1)); // 7..10
    net.edges.push_back(road({P(2000, 1600), P(1250, 1600)}));  // 11 east arm
    net.edges.push_back(road({P(1150, 2400), P(1150, 1700)}));  // 12 north arm (waypoint)
    net.edges.push_back(road({P(300, 1600), P(1050, 1600)}));   // 13 west arm
    net.edges.push_back(road({P(1150, 2400), P(1150, 3200)}));  // 14 straight on
    net.edges.push_back(road({P(1150, 2400), P(2400, 2400)}));  // 15 right, east (destination)
    return net;
}

// The instructions the drive relies on: left, right and left 80 m later,
// the roundabout's second exit (exit number 1) with its exit instruction; a
// right turn on the second route.
TEST(RouteDrive, NetworkGivesTheInstructionsOfTheScript)
{
    XrTempRoot root;
    XrDriveNetwork network(drive_network(), root.make_dirs("/media/mmc1/map/mapdata"));
    ASSERT_TRUE(network.ok) << network.error;
    std::unique_ptr<XrRouteInstructions> first(network.route(0, P(100, 0), 12, P(1150, 2100)));
    std::unique_ptr<XrRouteInstructions> second(network.route(12, P(1150, 2100), 15, P(1900, 2400)));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(dump_directives(*first),
              "3 0 0 2264 L0 A0 | 5 0 0 1464 L800 A0 | 3 0 0 1384 L80 A0 | 13 1 130 680 L704 A0 | "
              "14 0 0 400 L140 A280 | 7 0 0 0 L400 A0");
    EXPECT_EQ(dump_directives(*second), "5 0 0 750 L0 A0 | 7 0 0 0 L750 A0");
}

std::uint32_t g_now = 50000;
std::uint32_t drive_clock()
{
    return g_now;
}

// The route provider's side: what the layer reported.
class Observer : public XrRouteLayerObserver {
public:
    bool reroute(XrRouteLayer*) override
    {
        events.push_back("reroute");
        return false;
    }
    void waypoint_reached(int index, bool) override
    {
        events.push_back(index < 0 ? std::string("destination") : "waypoint " + std::to_string(index));
    }
    std::vector<std::string> events;
};

std::string read_text(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The golden transcript: one line per fix that said or reported something,
// "<fix> <active route> <metres to the instruction>: <words or event>".
// KESTROVA_UPDATE_GOLDEN=1 writes the file instead of comparing.
void check_golden(const std::string& name, const std::string& transcript)
{
    const std::string path = std::string(XR_GOLDEN_DIR) + "/" + name;
    const char* update = std::getenv("KESTROVA_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream(path) << transcript;
        return;
    }
    EXPECT_EQ(transcript, read_text(path)) << "golden file " << path;
}

TEST(RouteDrive, PromptTranscriptOfTheScriptedDrive)
{
    XrTempRoot root;
    XrDriveNetwork network(drive_network(), root.make_dirs("/media/mmc1/map/mapdata"));
    ASSERT_TRUE(network.ok) << network.error;
    const std::string sounds = root.make_dirs("/usr/share/kestrova/sounds");
    XrCodedVoiceSet voice(sounds + "/eng");
    XrTestRouteLayerHost host(sounds);
    XrEsdCapture capture(root.dir() + "/capture");
    XrAudioPlayer player(0);
    player.set_volume_level(3);

    g_now = 50000;
    XrRouteLayer layer(nullptr, nullptr, 1, &player, nullptr);
    layer.set_tick_source(drive_clock);
    layer.initialize(network.geometry.get(), nullptr);
    layer.set_graph_path(XrString(network.graph_path.c_str()));
    layer.set_voice_folder(XrString(L"eng"));
    layer.set_delay_prompt_on(false); // the lead-in would only add silence
    Observer observer;
    layer.set_route_observer(&observer);

    XrPtrArray<XrRouteInstructions*> routes(8, 8);
    routes.append(network.route(0, P(100, 0), 12, P(1150, 2100)));
    routes.append(network.route(12, P(1150, 2100), 15, P(1900, 2400)));
    ASSERT_EQ(routes.get_num_items(), 2);
    layer.set_routes(&routes, 0);

    const double speed = 50 / 3.6;
    const auto fixes = drive_along({P(100, 0), P(1000, 0), P(1000, 800), P(1080, 800), P(1150, 1500),
                                    P(1250, 1600), P(1150, 1700), P(1150, 2400), P(1900, 2400)},
                                   speed);
    std::ostringstream transcript;
    size_t heard = 0;
    size_t reported = 0;
    for (size_t i = 0; i < fixes.size(); ++i) {
        g_now += 1000;
        layer.update_position(fixes[i].position, -1, speed, false, nullptr, nullptr, 0);
        const auto said = voice.said(capture);
        const std::string where = std::to_string(i) + " " + std::to_string(layer.get_active_index()) + " " +
                                  std::to_string(layer.get_distance_to_directive()) + ": ";
        for (; heard < said.size(); ++heard)
            transcript << where << said[heard] << "\n";
        for (; reported < observer.events.size(); ++reported)
            transcript << where << "(" << observer.events[reported] << ")\n";
    }
    check_golden("route_drive.txt", transcript.str());
}

} // namespace
