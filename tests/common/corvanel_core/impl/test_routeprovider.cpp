// The route provider on the GLib event loop over generated road networks:
// the calculation timer, the toll question, roadblocks, the route state file
// (also restored by a second process), and the waypoint list operations.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "common/corvanel_core/impl/xr_roadblocksproviderimpl.h"
#include "common/corvanel_core/impl/xr_routestatefile.h"
#include "common/graph/xr_dijkstrapath.h"
#include "route_world.h"
#include "support/xr_kill_test.h"
#include "provider_files.h"
#include "tools/mapgen/blks_writer.h"

using namespace xr_route_world;

namespace {

const XrPoint kStart(100250, 200000);
const XrPoint kEnd(102750, 200000);

std::string read(const std::string& path)
{
    return XrTempRoot::read_file(path);
}

struct RouteProviderTest : ::testing::Test {
    explicit RouteProviderTest(bool toll = true)
    {
        EXPECT_TRUE(write_map(toll_network(toll), result));
        world = std::make_unique<World>();
        EXPECT_TRUE(world->opened);
    }

    // Start and destination, then the loop until the calculation ended.
    void route_between(XrRouteProviderImpl& p, const XrPoint& a, const XrPoint& b)
    {
        p.set_start_and_destination(World::place(a, L"Start"), World::place(b, L"Goal"));
        EXPECT_TRUE(world->listener.log.empty()); // nothing before the timer fired
        ASSERT_TRUE(world->run_until_calculated());
    }

    ProviderFiles files;
    XrGraphWriterResult result;
    std::unique_ptr<World> world;
};

struct PlainNetwork : RouteProviderTest {
    PlainNetwork() : RouteProviderTest(false) {}
};

} // namespace

// ---- Calculations on the event loop

TEST_F(RouteProviderTest, TollQuestionAnsweredNoSearchesAgainAroundTheTollRoad)
{
    struct Case {
        bool answer;
        bool via_toll;
        int policy;
    };
    for (const Case c : {Case{false, false, XrRouteProvider::POLICY_AVOID}, Case{true, true, XrRouteProvider::POLICY_ALLOW}}) {
        SCOPED_TRACE(c.answer);
        world->ui.answers = {c.answer};
        world->ui.questions.clear();
        world->listener.log.clear();
        auto p = world->make_provider();
        route_between(*p, kStart, kEnd);
        // One question for the leg, and no second one in the second pass.
        EXPECT_EQ(world->ui.questions, std::vector<int>{XrRouteProvider::STR_ALLOW_TOLLROADS});
        EXPECT_EQ(world->listener.log, (std::vector<std::string>{"started", "finished", "changed"}));
        ASSERT_EQ(world->layer.get_route_count(), 1);
        const XrRouteInstructions* r = world->layer.get_route(0);
        EXPECT_EQ(r->uses_road_type(8), c.via_toll);
        EXPECT_EQ(route_has_gid(r, result.gids[2]), c.via_toll);
        EXPECT_EQ(route_has_gid(r, result.gids[7]), !c.via_toll); // the detour
        EXPECT_EQ(p->get_toll_policy(), c.policy);
        EXPECT_TRUE(p->is_route_valid());
        EXPECT_EQ(p->get_route_status(), XrRouteProvider::STATUS_OK);
        EXPECT_EQ(world->calculating, 0);
        XrPoint from, to;
        ASSERT_TRUE(p->get_current_leg(from, to));
        EXPECT_EQ(to, kEnd);
    }
}

// The destination's road lies in a charge zone.
struct ChargeZone : ::testing::Test {
    ChargeZone()
    {
        XrNetwork net = toll_network(false);
        net.edges[5].restricted = true;
        EXPECT_TRUE(write_map(net, result));
        world = std::make_unique<World>();
    }
    ProviderFiles files;
    XrGraphWriterResult result;
    std::unique_ptr<World> world;
};

TEST_F(ChargeZone, RefusingTheDestinationInAChargeZoneEndsWithoutTheNoRouteMessage)
{
    for (const bool answer : {false, true}) {
        SCOPED_TRACE(answer);
        world->ui.answers = {answer};
        world->ui.questions.clear();
        world->listener.log.clear();
        auto p = world->make_provider();
        p->set_start_and_destination(World::place(kStart, L"Start"), World::place(kEnd, L"Goal"));
        ASSERT_TRUE(world->run_until_calculated());
        EXPECT_EQ(world->ui.questions, std::vector<int>{XrRouteProvider::STR_DESTINATION_CHARGE});
        EXPECT_EQ(world->layer.get_route_count(), answer ? 1 : 0);
        EXPECT_EQ(p->get_waypoint_count(), answer ? 2 : 0);
        EXPECT_EQ(p->get_charge_policy(), answer ? XrRouteProvider::POLICY_ALLOW : XrRouteProvider::POLICY_ASK);
    }
}

TEST_F(RouteProviderTest, AllowedTollRoadsAreNotAskedAbout)
{
    world->settings.set_tollroads(XrRouteProvider::POLICY_ALLOW);
    auto p = world->make_provider();
    route_between(*p, kStart, kEnd);
    EXPECT_TRUE(world->ui.questions.empty());
    ASSERT_EQ(world->layer.get_route_count(), 1);
    EXPECT_TRUE(world->layer.get_route(0)->uses_road_type(8));
}

TEST_F(PlainNetwork, ARoadblockFileClosesTheEdgeAndTheRouteGoesAround)
{
    // A roadblock on the main road between x 101500 and 102000.
    ASSERT_TRUE(write_blks_file(card_path(L"?:\\mapdata\\blks.bin"), {XrBlksRecord{101750, 200000, 0}}));
    XrRoadblocksProviderImpl blocks;
    XrSingleton::set_instance(XrString(L"XrRoadblocksProvider"), static_cast<XrRoadblocksProvider*>(&blocks));
    blocks.map_initialized();
    {
        auto p = world->make_provider();
        route_between(*p, kStart, kEnd);
        ASSERT_EQ(world->layer.get_route_count(), 1);
        const XrRouteInstructions* r = world->layer.get_route(0);
        EXPECT_FALSE(route_has_gid(r, result.gids[3]));
        EXPECT_TRUE(route_has_gid(r, result.gids[7]));

        // Removing the roadblock writes the file and searches again.
        XrSimpleArray<XrRoadblock> list;
        blocks.get_roadblocks(list);
        ASSERT_EQ(list.get_count(), 1);
        world->listener.log.clear();
        ASSERT_TRUE(blocks.remove_roadblock(list.get_items()[0]));
        EXPECT_EQ(read(card_path(L"?:\\mapdata\\blks.bin")), "");
        ASSERT_TRUE(world->run_until_calculated());
        ASSERT_EQ(world->layer.get_route_count(), 1);
        EXPECT_TRUE(route_has_gid(world->layer.get_route(0), result.gids[3]));
    }
    // The provider has left the roadblocks' listeners: a change now reaches
    // nobody gone.
    XrRoadblock again(XrCoordinate(XrPoint(101750, 200000), world->maps.get_projection()));
    EXPECT_TRUE(blocks.add_roadblock(again));
    EXPECT_EQ(blocks.get_listener_count(), 0);
    blocks.map_closing();
    XrSingleton::set_instance(XrString(L"XrRoadblocksProvider"), nullptr);
}

TEST_F(PlainNetwork, ARoadblockOnTheStartRoadGivesStatusTwo)
{
    ASSERT_TRUE(write_blks_file(card_path(L"?:\\mapdata\\blks.bin"), {XrBlksRecord{100250, 200000, 0}}));
    XrRoadblocksProviderImpl blocks;
    XrSingleton::set_instance(XrString(L"XrRoadblocksProvider"), static_cast<XrRoadblocksProvider*>(&blocks));
    blocks.map_initialized();
    {
        auto p = world->make_provider();
        p->set_start_and_destination(World::place(kStart, L"Start"), World::place(kEnd, L"Goal"));
        ASSERT_TRUE(World::run_until([&] { return !world->ui.statuses.empty(); }));
        EXPECT_EQ(world->ui.statuses, std::vector<int>{XrRouteProvider::STATUS_START_BLOCKED});
        EXPECT_EQ(p->get_route_status(), XrRouteProvider::STATUS_START_BLOCKED);
        EXPECT_EQ(world->layer.get_route_count(), 0);
    }
    blocks.map_closing();
    XrSingleton::set_instance(XrString(L"XrRoadblocksProvider"), nullptr);
}

TEST_F(PlainNetwork, MissingGraphFailsWithTheNoRouteMessageAndClearsTheWaypoints)
{
    std::filesystem::remove(card_path(L"?:\\mapdata\\graph.bin"));
    auto p = world->make_provider();
    p->set_start_and_destination(World::place(kStart, L"Start"), World::place(kEnd, L"Goal"));
    EXPECT_FALSE(p->calculate_route(true, false, false));
    EXPECT_EQ(p->get_waypoint_count(), 0);
    EXPECT_EQ(world->layer.get_route_count(), 0);
    EXPECT_FALSE(p->calculate_route(true, false, false)); // no waypoints: nothing changes
}

// A service that takes every request.
struct TakingService : XrRouteServices {
    bool dispatch_route_request(XrDijkstraPath2*, const XrPoint&, const XrPoint&) override
    {
        ++taken;
        return true;
    }
    void route_changed() override { ++changes; }
    int taken = 0;
    int changes = 0;
};

TEST_F(PlainNetwork, AServiceTakingTheRequestEndsTheSearchCleanly)
{
    TakingService service;
    XrRouteServices* holder = &service;
    auto p = world->make_provider(&holder);
    // A reader of the caller's: it stays usable after the search.
    XrFileStorageAccessor file;
    ASSERT_TRUE(file.open(XrPathResolver::resolve(XrString(L"?:\\mapdata\\graph.bin")), true));
    XrGraphAccessor2 graph(&file, 0x80000);
    ASSERT_EQ(graph.open(nullptr), 0);
    XrArray<XrRouteProvider::XrWaypoint> list;
    list.append(World::place(kStart, L"A"));
    list.append(World::place(kEnd, L"B"));
    p->set_waypoints(list, 1);
    XrPtrArray<XrRouteInstructions*> routes;
    const int resets = world->ui.resets;
    EXPECT_FALSE(p->search_route(list, routes, false, &graph, nullptr, nullptr, true));
    EXPECT_EQ(service.taken, 1);
    EXPECT_EQ(routes.get_num_items(), 0);
    EXPECT_EQ(world->ui.resets, resets + 2); // at the start and at the end
    EXPECT_EQ(world->ui.releases, 1);
    EXPECT_EQ(world->ui.log.back(), "inactive");
    EXPECT_TRUE(world->ui.questions.empty()); // no "no route" message
    EXPECT_EQ(world->calculating, 0);
    XrGraphAccessor2::XrEdgeData edge;
    EXPECT_NE(graph.get_edge_by_handle(graph.get_edge_handle_by_geometry(world->maps.roads.get(), result.gids[0],
                                                                          nullptr),
                                       edge),
              -1);
}

TEST_F(PlainNetwork, ThirdDetourInARowClearsThePenalties)
{
    auto p = world->make_provider();
    route_between(*p, kStart, kEnd);
    for (int expected : {1, 2, 0}) {
        world->listener.log.clear();
        p->detour();
        EXPECT_EQ(p->get_detour_state().get_request_count(), expected);
        ASSERT_TRUE(world->run_until_calculated());
        EXPECT_EQ(world->layer.get_route_count(), 1);
    }
    // The detour's searches were not new routes: guidance is on.
    EXPECT_TRUE(world->guidance);
    p->stop_guidance();
    EXPECT_FALSE(world->guidance);
    EXPECT_FALSE(world->guidance_b);
}

TEST_F(PlainNetwork, WaypointReachedAndRerouteWithoutGuidance)
{
    auto p = world->make_provider();
    route_between(*p, kStart, kEnd);
    p->waypoint_reached(0, false); // no further leg: nothing changes
    EXPECT_EQ(p->get_current_index(), 1);
    p->waypoint_reached(-1, true);
    EXPECT_EQ(p->get_current_index(), 0);
    // Guidance is not active after a new route: a reroute request answers 1.
    EXPECT_FALSE(world->guidance);
    EXPECT_TRUE(p->reroute(&world->layer));
    EXPECT_GE(p->get_distance_travelled(), 0);
    p->clear_route();
    EXPECT_EQ(p->get_distance_travelled(), -1);
    EXPECT_EQ(p->get_waypoint_count(), 0);
}

TEST_F(PlainNetwork, ClosestRoadForAnOffRoadStart)
{
    struct Case {
        int offset;   // map units north of the main road
        bool pending; // a closest road was found
    };
    for (const Case c : {Case{60, true}, Case{300, false}}) {
        SCOPED_TRACE(c.offset);
        auto p = world->make_provider();
        world->listener.log.clear();
        const XrPoint here(100250, 200000 - c.offset);
        world->layer.set_fix_valid(true);
        world->layer.update_position(here, 0, 0.0, false, nullptr, nullptr, 0);
        ASSERT_TRUE(world->layer.has_last_position());
        XrRouteProvider::XrWaypoint start;
        start.used = 0;
        p->set_start_and_destination(start, World::place(kEnd, L"Goal"));
        ASSERT_TRUE(world->run_until_calculated());
        XrRouteProvider::XrWaypoint pending;
        EXPECT_EQ(p->get_pending_start(pending), c.pending);
        if (c.pending) {
            EXPECT_EQ(pending.name, XrString(L"Closest road"));
            EXPECT_EQ(pending.gid, result.gids[0]);
        }
        // The legs are searched from the start's own match either way.
        EXPECT_EQ(world->layer.get_route_count(), 1);
        p->clear_pending_start();
    }
}

TEST_F(PlainNetwork, LeavingTheRouteAsksForANewRouteFromThePosition)
{
    auto p = world->make_provider();
    route_between(*p, kStart, kEnd);
    world->guidance = true;
    world->layer.set_fix_valid(true);
    // Along the main road to x 101000, then north on the detour road.
    for (int x = 100300; x <= 101000; x += 50)
        world->layer.update_position(XrPoint(x, 200000), 0, 14.0, false, nullptr, nullptr, 0);
    world->listener.log.clear();
    for (int y = 200020; y <= 200480 && world->listener.log.empty(); y += 20)
        world->layer.update_position(XrPoint(101000, y), 90, 14.0, false, nullptr, nullptr, 0);
    ASSERT_FALSE(world->listener.log.empty());
    EXPECT_NE(std::find(world->ui.log.begin(), world->ui.log.end(), "rerouting"), world->ui.log.end());
    ASSERT_EQ(world->layer.get_route_count(), 1);
    // The new route leaves from the detour road.
    EXPECT_TRUE(route_has_gid(world->layer.get_route(0), result.gids[6]) ||
                route_has_gid(world->layer.get_route(0), result.gids[7]));
    EXPECT_EQ(p->get_waypoint_count(), 2);
    XrRouteProvider::XrWaypoint w;
    p->get_waypoint(0, w);
    EXPECT_EQ(w.used, 0);
}

TEST_F(PlainNetwork, AProviderGoneBeforeItsTimerFiredIsNotCalled)
{
    {
        auto p = world->make_provider();
        p->set_start_and_destination(World::place(kStart, L"Start"), World::place(kEnd, L"Goal"));
        p->recalculate_from_position(true);
    }
    const std::uint32_t start = get_tick_count_ms();
    World::run_until([&] { return get_tick_count_ms() - start > 300; });
    EXPECT_TRUE(world->listener.log.empty());
}

// ---- The waypoint list

TEST_F(PlainNetwork, NavigateViaOnAnEmptyListStartsFromTheCurrentPosition)
{
    auto p = world->make_provider();
    p->navigate_via(kEnd, XrString(L"Via"));
    ASSERT_EQ(p->get_waypoint_count(), 2);
    EXPECT_EQ(p->get_current_index(), 1);
    XrRouteProvider::XrWaypoint w;
    ASSERT_TRUE(p->get_waypoint(0, w));
    EXPECT_EQ(w.used, 0);
    ASSERT_TRUE(p->get_waypoint(1, w));
    EXPECT_EQ(w.name, XrString(L"Via"));
    EXPECT_FALSE(p->get_waypoint(2, w));

    // With a fix the current position stays the start; the via point stays.
    world->layer.set_fix_valid(true);
    world->layer.update_position(kStart, 0, 10.0, false, nullptr, nullptr, 0);
    ASSERT_TRUE(world->run_until_calculated());
    EXPECT_EQ(p->get_waypoint_count(), 2);
    EXPECT_EQ(p->get_current_index(), 1);
    EXPECT_EQ(world->layer.get_route_count(), 1);
}

TEST_F(PlainNetwork, NavigateViaInsertsBeforeTheDestination)
{
    auto p = world->make_provider();
    XrArray<XrRouteProvider::XrWaypoint> list;
    list.append(World::place(kStart, L"A"));
    list.append(World::place(kEnd, L"B"));
    p->set_waypoints(list, 0);
    EXPECT_EQ(p->get_current_index(), 1);
    p->navigate_via(XrPoint(101500, 200000), XrString(L"V"));
    ASSERT_EQ(p->get_waypoint_count(), 3);
    EXPECT_EQ(p->get_current_index(), 1);
    XrRouteProvider::XrWaypoint w;
    p->get_waypoint(1, w);
    EXPECT_EQ(w.name, XrString(L"V"));
    ASSERT_TRUE(World::run_until([&] { return world->layer.get_route_count() == 2; }));
}

TEST_F(PlainNetwork, RoutingModeAndSettings)
{
    auto p = world->make_provider();
    world->settings.set_route_type(2);
    p->toggle_routing_mode(); // modes 2-4: nothing
    EXPECT_EQ(p->get_routing_mode(), 2);
    p->set_routing_mode(2);
    EXPECT_FALSE(p->is_settings_dirty());
    p->set_routing_mode(0);
    EXPECT_FALSE(p->is_settings_dirty()); // no route
    p->toggle_routing_mode();
    EXPECT_EQ(p->get_routing_mode(), 1);
}

// ---- The route state file

TEST(RouteStateFormat, RecordsFromTheStartAndTheCurrentIndexOn)
{
    XrArray<XrRouteProvider::XrWaypoint> list;
    XrRouteProvider::XrWaypoint here;
    here.used = 0;
    list.append(here);
    for (int i = 1; i < 5; ++i)
        list.append(World::place(XrPoint(i, -i), i == 3 ? L"A|B\\C" : L"P"));
    list.get_item_ptr(2)->gid = 77;
    const std::string text = xr_route_state::format(list, 2);
    EXPECT_EQ(text, "0|1|2|-2|77|P|1|3|-3|0|A\\|B\\\\C|1|4|-4|0|P|");

    XrArray<XrRouteProvider::XrWaypoint> back;
    ASSERT_TRUE(xr_route_state::parse(reinterpret_cast<const BYTE*>(text.data()), static_cast<int>(text.size()), back));
    ASSERT_EQ(back.get_num_items(), 4);
    EXPECT_EQ(back.get_item_ptr(0)->used, 0);
    EXPECT_EQ(back.get_item_ptr(1)->gid, 77u);
    EXPECT_EQ(back.get_item_ptr(2)->name, XrString(L"A|B\\C"));
    EXPECT_EQ(back.get_item_ptr(3)->y, -4);
}

TEST(RouteStateFormat, DamagedAndOddFiles)
{
    struct Case {
        const char* text;
        bool complete;
        int count;
    };
    const Case cases[] = {
        {"", true, 0},
        {"1|5|", false, 0},                  // ends after one coordinate
        {"0|1|1|2|3|", false, 1},            // a place without its name
        {"0|x|1|1|2|3|N|", true, 1},         // not a number: reading stops
        {"1| 10 | 20 |0|  Name  |", true, 1}, // blanks around fields
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        XrArray<XrRouteProvider::XrWaypoint> out;
        EXPECT_EQ(xr_route_state::parse(reinterpret_cast<const BYTE*>(c.text), static_cast<int>(strlen(c.text)), out),
                  c.complete);
        EXPECT_EQ(out.get_num_items(), c.count);
    }
    XrArray<XrRouteProvider::XrWaypoint> out;
    const char* named = "1|10|20|0|  Name  |";
    xr_route_state::parse(reinterpret_cast<const BYTE*>(named), static_cast<int>(strlen(named)), out);
    ASSERT_EQ(out.get_num_items(), 1);
    EXPECT_EQ(out.get_item_ptr(0)->name, XrString(L"Name"));
}

TEST(RouteStateFormat, LongNamesAndWideCharacters)
{
    XrArray<XrRouteProvider::XrWaypoint> list;
    list.append(World::place(XrPoint(1, 1), L"S"));
    std::wstring long_name(300, L'x');
    long_name += L'\u0141'; // low 8 bits: 0x41 'A'
    list.append(World::place(XrPoint(-2000000000, 2000000000), long_name.c_str()));
    const std::string text = xr_route_state::format(list, 1);
    XrArray<XrRouteProvider::XrWaypoint> back;
    ASSERT_TRUE(xr_route_state::parse(reinterpret_cast<const BYTE*>(text.data()), static_cast<int>(text.size()), back));
    ASSERT_EQ(back.get_num_items(), 2);
    EXPECT_EQ(back.get_item_ptr(1)->name.length(), 301);
    EXPECT_EQ(back.get_item_ptr(1)->name.char_at(300), L'A');
    EXPECT_EQ(back.get_item_ptr(1)->x, -2000000000);
}

TEST_F(PlainNetwork, SaveRestoreAndDelete)
{
    const std::string path = card_path(L"?:\\qj.tmp");
    auto p = world->make_provider();
    XrArray<XrRouteProvider::XrWaypoint> list;
    list.append(World::place(kStart, L"A"));
    list.append(World::place(XrPoint(101000, 200000), L"B"));
    list.append(World::place(kEnd, L"C"));
    p->set_waypoints(list, 2);
    p->save_route_state();
    EXPECT_EQ(read(path), "1|100250|200000|0|A|1|102750|200000|0|C|");

    // Current index 0: nothing to resume, and no stale file either.
    p->set_current_index(0);
    p->save_route_state();
    EXPECT_FALSE(std::filesystem::exists(path));

    p->set_current_index(2);
    p->save_route_state();
    EXPECT_TRUE(p->restore_route_state());
    EXPECT_EQ(p->get_waypoint_count(), 2);
    EXPECT_EQ(p->get_current_index(), 0);
    ASSERT_TRUE(World::run_until([&] { return world->layer.get_route_count() == 1; }));

    {
        std::ofstream(path) << "1|100250|";
    }
    EXPECT_FALSE(p->restore_route_state());
    p->delete_route_state();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(p->restore_route_state());
}

// Run as a second process by the next test: restores the saved route under
// the root it inherits.
TEST(RouteStateChild, RestoresTheRoute)
{
    const char* card = std::getenv("XR_ROUTE_STATE_CARD");
    if (card == nullptr)
        GTEST_SKIP() << "run by NewProcessRestoresTheRoute";
    const XrString wide_card(card);
    XrPathResolver resolver(wide_card.c_str());
    set_path_resolver(&resolver);
    World world;
    ASSERT_TRUE(world.opened);
    auto p = world.make_provider();
    ASSERT_TRUE(p->restore_route_state());
    ASSERT_TRUE(World::run_until([&] { return world.layer.get_route_count() == 1; }));
    XrRouteProvider::XrWaypoint w;
    ASSERT_TRUE(p->get_waypoint(1, w));
    EXPECT_EQ(w.name, XrString(L"Goal"));
    EXPECT_EQ(w.x, kEnd.x);
    p.reset();
    set_path_resolver(nullptr);
}

TEST_F(RouteProviderTest, NewProcessRestoresTheRoute)
{
    world->ui.answers = {false};
    auto p = world->make_provider();
    route_between(*p, kStart, kEnd);
    p->save_route_state();
    ASSERT_TRUE(std::filesystem::exists(card_path(L"?:\\qj.tmp")));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("XR_ROUTE_STATE_CARD", files.card_root.c_str(), 1);
        const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        execl(self.c_str(), self.c_str(), "--gtest_filter=RouteStateChild.RestoresTheRoute", nullptr);
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(PlainNetwork, KillDuringASaveLeavesTheOldOrTheNewFile)
{
    const std::string path = card_path(L"?:\\qj.tmp");
    auto p = world->make_provider();
    auto fill = [&](const wchar_t* name) {
        XrArray<XrRouteProvider::XrWaypoint> list;
        list.append(World::place(kStart, L"Start"));
        for (int i = 0; i < 400; ++i)
            list.append(World::place(XrPoint(100000 + i, 200000), name));
        p->set_waypoints(list, 1);
    };
    fill(L"old");
    p->save_route_state();
    const std::string old_content = read(path);
    fill(L"new");
    p->save_route_state();
    const std::string new_content = read(path);
    ASSERT_NE(old_content, new_content);

    XrKillTestWriter writer;
    writer.save = [&] {
        p->save_route_state();
        return true;
    };
    XrKillTestOptions options;
    options.max_kills = 20;
    options.max_ms = 1500;
    const XrKillTestResult r = xr_kill_test(
        path, old_content, new_content, [&] { std::ofstream(path, std::ios::binary) << old_content; }, writer,
        options);
    EXPECT_GT(r.kills, 3);
    EXPECT_EQ(r.faults, std::vector<std::string>());
    EXPECT_LE(r.leftovers, 1);
}
