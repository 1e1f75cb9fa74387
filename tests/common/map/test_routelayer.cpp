#include "common/map/xr_routelayer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "common/audio/xr_audioplayer.h"
#include "common/map/xr_linelabellayer.h"
#include "tests/common/map/routelayer_fixture.h"
#include "common/addr/xr_signpostacc.h"
#include "tools/mapgen/signs_writer.h"
#include "tools/mapgen/wav_writer.h"

// The layer's voice-set flags and signposts, read through its public view.
struct GuidanceView {
    static bool has_after(const XrRouteLayer& l)
    {
        return l.get_speaker().get_flags().has_after;
    }
    static bool has_700(const XrRouteLayer& l)
    {
        return l.get_speaker().get_flags().has_700;
    }
    static bool has_700y(const XrRouteLayer& l)
    {
        return l.get_speaker().get_flags().has_700y;
    }
    static bool has_herel2(const XrRouteLayer& l)
    {
        return l.get_speaker().get_flags().has_herel2;
    }
    static bool has_01mile(const XrRouteLayer& l)
    {
        return l.get_speaker().get_flags().has_01mile;
    }
    static int signpost_count(const XrRouteLayer& l) { return l.get_signpost_items().get_num_items(); }
    static XrString signpost_text(const XrRouteLayer& l, int i)
    {
        return l.get_signpost_items().get_item_ptr(i)->text;
    }
    static int signpost_start(const XrRouteLayer& l) { return l.get_signpost_start(); }
};

namespace {

std::uint32_t g_now = 100000;
std::uint32_t test_clock() { return g_now; }

// Records the layer's requests; a reroute searches from the position to the
// destination, joins the detour onto the rest of the route and puts it in
// place of the active one.
struct Observer : XrRouteLayerObserver {
    explicit Observer(XrRouteMap* map = nullptr) : map(map) {}
    bool reroute(XrRouteLayer* layer) override
    {
        ++reroutes;
        if (map == nullptr)
            return answer;
        XrPoint p = layer->get_last_position();
        XrRouteInstructions* old_route = layer->get_active_route();
        XrRouteInstructions* fresh = map->route(p, XrPoint(old_route->target_x, old_route->target_y),
                                                layer->get_heading());
        if (fresh == nullptr)
            return false;
        joined = layer->join_routes(map->graph.get(), fresh, old_route, nullptr);
        layer->replace_active_route(fresh);
        return false; // done: the layer guides on the new route
    }
    void waypoint_reached(int index, bool /*hold*/) override { reached.push_back(index); }

    XrRouteMap* map;
    bool answer = true;
    bool joined = false;
    int reroutes = 0;
    std::vector<int> reached;
};

struct Layer {
    explicit Layer(XrRouteMap& m) : layer(nullptr, nullptr, 1, nullptr, nullptr)
    {
        g_now = 100000;
        layer.set_tick_source(test_clock);
        layer.initialize(m.roads.get(), nullptr);
        layer.set_graph_path(XrString(m.graph_path.c_str()));
    }
    // Hands one route (owned by the layer from now).
    void set_route(XrRouteInstructions* route)
    {
        XrPtrArray<XrRouteInstructions*> list;
        list.append(route);
        layer.set_routes(&list, 0);
    }
    // One fix per second at the given speed, at a distance along the route.
    void fix_at(int distance, double speed)
    {
        XrPoint p;
        short h = 0;
        ASSERT_EQ(layer.get_point_on_route(&p, &h, distance), 0);
        fix(p, speed);
    }
    void fix(const XrPoint& p, double speed, int heading = -1)
    {
        g_now += 1000;
        layer.update_position(p, heading, speed, false, nullptr, nullptr, 0);
    }
    XrRouteLayer layer;
};

const XrPoint kFrom(100050, 200000);
const XrPoint kTo(102000, 200950);

} // namespace

// ---- Routes and the frame

TEST(RouteLayerFrame, SetRoutesKeepsThemAndSelectsTheActiveOne)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    XrPtrArray<XrRouteInstructions*> list;
    const XrPoint ends[3] = {XrPoint(101000, 200000), XrPoint(102000, 200950), XrPoint(102900, 200000)};
    XrPoint from = kFrom;
    for (const XrPoint& to : ends) {
        XrRouteInstructions* r = m.route(from, to);
        ASSERT_NE(r, nullptr);
        list.append(r);
        from = to;
    }
    XrRouteInstructions* second = list.get_item(1);
    l.layer.set_routes(&list, 1);
    EXPECT_EQ(l.layer.get_route_count(), 3);
    EXPECT_EQ(l.layer.get_active_index(), 1);
    EXPECT_EQ(l.layer.get_active_route(), second);
    EXPECT_EQ(l.layer.get_guidance_state(), XrRouteLayer::STATE_ON_ROUTE);
    // The start of the first route and the end of every route.
    const XrArray<XrPoint>& points = l.layer.get_route_end_points();
    ASSERT_EQ(points.get_num_items(), 4);
    XrPoint p;
    points.get_item(0, p);
    EXPECT_EQ(p.x, l.layer.get_route(0)->start_x);
    for (int i = 0; i < 3; ++i) {
        points.get_item(i + 1, p);
        EXPECT_EQ(p.x, l.layer.get_route(i)->target_x);
        EXPECT_EQ(p.y, l.layer.get_route(i)->target_y);
    }
    // Directive distances now run from the start: the destination lies at
    // the route's length, the first instruction short of it.
    const XrRouteInstructions* r = l.layer.get_active_route();
    EXPECT_EQ(static_cast<int>(r->directives.get_item_ptr(0)->words[4]), r->total_length);
    EXPECT_EQ(l.layer.get_route_length(), r->total_length);
    EXPECT_GT(r->travel_time, 0);
}

TEST(RouteLayerFrame, SelectRoutePastTheEndChangesNothing)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    l.set_route(m.route(kFrom, kTo));
    XrRouteInstructions* active = l.layer.get_active_route();
    for (int bad : {1, 5, -1}) {
        EXPECT_FALSE(l.layer.select_route(bad));
        EXPECT_EQ(l.layer.get_active_route(), active);
        EXPECT_EQ(l.layer.get_active_index(), 0);
    }
}

// New routes with an index that does not exist: the old routes are gone,
// and the layer must not keep pointing at them (nor the street-label layer
// at their polylines).
TEST(RouteLayerFrame, SetRoutesWithABadIndexKeepsAValidState)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    XrLineLabelLayer labels(L"arial", 12, nullptr, nullptr, false, 5, 6);
    l.layer.set_street_label_layer(&labels);
    l.set_route(m.route(kFrom, kTo));
    XrRouteInstructions* fresh = m.route(kFrom, XrPoint(102900, 200000));
    XrPtrArray<XrRouteInstructions*> list;
    list.append(fresh);
    l.layer.set_routes(&list, 3);
    EXPECT_EQ(l.layer.get_route_count(), 1);
    EXPECT_EQ(l.layer.get_active_route(), fresh);
    EXPECT_EQ(l.layer.get_active_index(), 0);
    EXPECT_TRUE(labels.find_route_edge(fresh->segments.get_item_ptr(0)->gid, 0, nullptr));
    // Guidance runs on the new route.
    l.fix_at(100, 10.0);
    EXPECT_EQ(l.layer.get_distance_travelled(), 100);
    l.layer.set_street_label_layer(nullptr);
}

TEST(RouteLayerFrame, NoRoutesClearsButRemembersPositions)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    l.set_route(m.route(kFrom, kTo));
    for (bool null_list : {true, false}) {
        XrPtrArray<XrRouteInstructions*> empty;
        l.layer.set_routes(null_list ? nullptr : &empty, 0);
        EXPECT_EQ(l.layer.get_active_route(), nullptr);
        EXPECT_EQ(l.layer.get_route_count(), 0);
        EXPECT_TRUE(l.layer.get_next_street_name().is_empty());
        EXPECT_EQ(l.layer.get_distance_to_next_instruction(), -1);
        int top = -1, band = -1;
        l.layer.get_panel_sizes(top, band, nullptr, nullptr);
        EXPECT_EQ(top, 0);
    }
    const double before = l.layer.get_odometer();
    l.fix(XrPoint(100300, 200000), 10.0);
    l.fix(XrPoint(100400, 200000), 10.0);
    EXPECT_TRUE(l.layer.has_last_position());
    EXPECT_EQ(l.layer.get_last_position().x, 100400);
    EXPECT_DOUBLE_EQ(l.layer.get_odometer() - before, 100.0);
}

TEST(RouteLayerFrame, ReplaceActiveRouteSelectsTheNewRoute)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    EXPECT_FALSE(l.layer.replace_active_route(m.route(kFrom, kTo))); // no active route: refused and deleted
    l.set_route(m.route(kFrom, kTo));
    XrRouteInstructions* fresh = m.route(XrPoint(101000, 200000), kTo);
    ASSERT_TRUE(l.layer.replace_active_route(fresh));
    EXPECT_EQ(l.layer.get_active_route(), fresh);
    EXPECT_EQ(l.layer.get_route_length(), fresh->total_length);
    EXPECT_EQ(l.layer.get_route_end_points().get_num_items(), 2);
}

namespace {

struct Host : XrRouteLayerHost {
    Host() { set_route_layer_host(this); }
    ~Host() override { set_route_layer_host(nullptr); }
    XrString get_sounds_path() override { return root; }
    bool redraw_map_window() override
    {
        ++redraws;
        return true;
    }
    XrString root;
    int redraws = 0;
};

} // namespace

TEST(RouteLayerFrame, VoiceFolderLooksForTheOptionalPrompts)
{
    XrTempRoot root;
    Host host;
    host.root = XrString((root.dir() + "/sounds").c_str());
    root.make_dirs("/sounds/eng");
    root.make_dirs("/sounds/plain");
    XrWavDef wav;
    wav.bits = 8;
    wav.samples = wav_tone8(22050, 1, 2000, 440);
    for (const char* name : {"after.wav", "700.wav", "01mile.wav"})
        ASSERT_TRUE(write_wav_file(root.dir() + "/sounds/eng/" + name, wav));
    // A damaged prompt does not count.
    XrWavDef bad = wav;
    bad.format_tag = 7;
    ASSERT_TRUE(write_wav_file(root.dir() + "/sounds/eng/herel2.wav", bad));

    XrAudioPlayer player(1);
    ASSERT_TRUE(player.preload(XrString((root.dir() + "/sounds/eng/after.wav").c_str())));
    XrRouteLayer layer(nullptr, nullptr, 1, &player, nullptr);
    layer.set_voice_folder(XrString(L"eng"));
    EXPECT_EQ(layer.get_voice_set(), XrString(L"eng"));
    EXPECT_EQ(layer.get_voice_root(), host.root);
    EXPECT_EQ(player.get_cache_count(), 0);
    EXPECT_TRUE(GuidanceView::has_after(layer));
    EXPECT_TRUE(GuidanceView::has_700(layer));
    EXPECT_TRUE(GuidanceView::has_01mile(layer));
    EXPECT_FALSE(GuidanceView::has_700y(layer));
    EXPECT_FALSE(GuidanceView::has_herel2(layer));
    // The same name again does nothing more (the cache is kept).
    ASSERT_TRUE(player.preload(XrString((root.dir() + "/sounds/eng/700.wav").c_str())));
    layer.set_voice_folder(XrString(L"eng"));
    EXPECT_EQ(player.get_cache_count(), 1);
    // A set without the optional prompts clears the flags.
    layer.set_voice_folder(XrString(L"plain"));
    EXPECT_FALSE(GuidanceView::has_after(layer));
    EXPECT_FALSE(GuidanceView::has_700(layer));
    EXPECT_FALSE(GuidanceView::has_01mile(layer));
}

TEST(RouteLayerFrame, EventsAskForRedraws)
{
    Host host;
    XrRouteLayer layer(nullptr, nullptr, 1, nullptr, nullptr);
    struct Case {
        int id;
        int redraws;
    } cases[] = {{XrRouteLayer::EVENT_GPS_STATUS, 1}, {XrRouteLayer::EVENT_TRAFFIC, 1}, {7, 0},
                 {XrRouteLayer::EVENT_NO_FIX, 0}};
    for (const Case& c : cases) {
        host.redraws = 0;
        layer.execute(nullptr, reinterpret_cast<void*>(static_cast<std::intptr_t>(c.id)));
        EXPECT_EQ(host.redraws, c.redraws) << c.id;
    }
    int top = 0, band = 0, value = -1;
    EXPECT_TRUE(layer.get_panel_sizes(top, band, nullptr, &value));
    EXPECT_EQ(value, 0); // the traffic box is in its "no traffic" state
}

// ---- Geometry along the route

TEST(RouteLayerGeometry, PointAndHeadingAlongTheRoute)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    l.set_route(m.route(kFrom, kTo));
    const int total = l.layer.get_route_length();
    ASSERT_EQ(total, 2900);
    struct Case {
        int distance;
        XrPoint point;
        int heading; // math angle: 0 east, 90 north
    } cases[] = {
        {0, XrPoint(100050, 200000), 0},       {-50, XrPoint(100050, 200000), 0},
        {450, XrPoint(100500, 200000), 0},     {1000, XrPoint(101050, 200000), 0},
        {1949, XrPoint(101999, 200000), 0},    {1950, XrPoint(102000, 200000), 90},
        {2000, XrPoint(102000, 200050), 90},
        {2900, XrPoint(102000, 200950), 90},   {5000, XrPoint(102000, 200950), 90},
    };
    for (const Case& c : cases) {
        XrPoint p;
        short h = -1;
        ASSERT_EQ(l.layer.get_point_on_route(&p, &h, c.distance), 0) << c.distance;
        EXPECT_NEAR(p.x, c.point.x, 1) << c.distance;
        EXPECT_NEAR(p.y, c.point.y, 1) << c.distance;
        EXPECT_NEAR(h, c.heading, 1) << c.distance;
    }
    XrPoint p;
    short h = 0;
    EXPECT_EQ(l.layer.get_route_start(&p, &h), 0);
    EXPECT_EQ(p.x, 100050);
    // Stepping moves 25 m by default.
    l.fix_at(500, 10.0);
    ASSERT_EQ(l.layer.get_distance_travelled(), 500);
    EXPECT_EQ(l.layer.step_forward(&p, &h, 0), 0);
    EXPECT_EQ(p.x, 100575);
    EXPECT_EQ(l.layer.step_back(&p, &h, 100), 0);
    EXPECT_EQ(p.x, 100450);
}

TEST(RouteLayerGeometry, AgainstThePointOrderTheHeadingTurns)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    // Westwards: the edges are driven against their point order.
    l.set_route(m.route(XrPoint(102900, 200000), XrPoint(100100, 200000)));
    const XrRouteSegment* middle = l.layer.get_active_route()->segments.get_item_ptr(2);
    EXPECT_EQ(middle->flags & XrRouteSegment::FLAG_ALONG, 0);
    for (int d : {0, 700, 1500, 2700}) {
        XrPoint p;
        short h = 0;
        ASSERT_EQ(l.layer.get_point_on_route(&p, &h, d), 0);
        EXPECT_EQ(h, 180) << d;
        EXPECT_NEAR(p.x, 102900 - d, 1) << d;
    }
}

TEST(RouteLayerGeometry, QueriesWithoutARouteFail)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    XrPoint p;
    short h = 0;
    EXPECT_EQ(l.layer.get_point_on_route(&p, &h, 0), 1);
    EXPECT_FALSE(l.layer.find_segment_near_position(10000, nullptr));
    EXPECT_EQ(l.layer.get_route_heading_between(nullptr, 0, 100), -1);
    EXPECT_EQ(l.layer.get_time_ahead(true), -1);
    EXPECT_EQ(l.layer.get_traffic_delay_ahead(1000), 0);
    XrPoint at(101000, 200050);
    EXPECT_FALSE(l.layer.should_reroute(at, 0, nullptr, nullptr, nullptr));
}

TEST(RouteLayerGeometry, AngleBetween)
{
    const int cases[][3] = {{10, 10, 360}, {350, 10, 20}, {10, 350, 340}, {0, 90, 90}, {90, 0, 270}};
    for (const auto& c : cases)
        EXPECT_EQ(XrRouteLayer::angle_between(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

TEST(RouteLayerGeometry, CutPolyline)
{
    XrPolygon line(true);
    line.add_point(XrPoint(0, 0));
    line.add_point(XrPoint(100, 0));
    line.add_point(XrPoint(100, 100));
    struct Case {
        bool from_start;
        int length;
        std::vector<XrPoint> want;
    } cases[] = {
        {true, 50, {XrPoint(0, 0), XrPoint(50, 0)}},
        {true, 150, {XrPoint(0, 0), XrPoint(100, 0), XrPoint(100, 50)}},
        {false, 30, {XrPoint(100, 100), XrPoint(100, 70)}},
        {true, -1, {XrPoint(0, 0), XrPoint(100, 0), XrPoint(100, 100)}},
    };
    for (const Case& c : cases) {
        XrPolygon out(true);
        XrRouteLayer::cut_polyline(&out, line, c.from_start, c.length);
        ASSERT_EQ(out.get_point_count(), static_cast<int>(c.want.size())) << c.length;
        for (size_t i = 0; i < c.want.size(); ++i) {
            XrPoint p;
            out.get_point(static_cast<int>(i), p);
            EXPECT_EQ(p.x, c.want[i].x);
            EXPECT_EQ(p.y, c.want[i].y);
        }
    }
    XrPolygon one(true), out(true);
    one.add_point(XrPoint(1, 1));
    XrRouteLayer::cut_polyline(&out, one, true, 10);
    EXPECT_EQ(out.get_point_count(), 0);
}

TEST(RouteLayerGeometry, EdgeCacheKeepsThePinnedEntriesAndDropsTheOldest)
{
    XrRouteMap m(xr_long_road_network(30, 200));
    Layer l(m);
    l.set_route(m.route(XrPoint(100100, 200000), XrPoint(105900, 200000)));
    XrPolygon* pinned0 = l.layer.get_edge_entry(0).polygon;
    XrPolygon* pinned1 = l.layer.get_edge_entry(1).polygon;
    ASSERT_NE(pinned0, nullptr);
    ASSERT_NE(pinned1, nullptr);
    std::vector<XrGid> gids;
    for (std::uint32_t g : m.result.gids)
        gids.push_back(g);
    // Fill the 16 free entries (and one more).
    int read = 0;
    for (size_t i = 2; i < gids.size() && read < 17; ++i, ++read)
        ASSERT_NE(l.layer.get_edge_polygon(gids[i], true, false), nullptr);
    EXPECT_EQ(l.layer.get_edge_entry(0).polygon, pinned0);
    EXPECT_EQ(l.layer.get_edge_entry(1).polygon, pinned1);
    EXPECT_EQ(l.layer.get_edge_entry(17).gid, gids[18]);
    EXPECT_EQ(l.layer.get_edge_entry(2).gid, gids[3]); // the first one read went
    EXPECT_EQ(l.layer.get_edge_polygon(gids[2], false, false), nullptr);
    EXPECT_NE(l.layer.get_edge_polygon(gids[10], false, false), nullptr);
    EXPECT_EQ(l.layer.get_edge_polygon(0x7FFFFFF, true, false), nullptr);
}

// A roundabout directive's exit class from the headings of the road in
// (driven east into the junction: west seen from its end) and the exit road
// (north), D = 270 in right-hand traffic and 90 in left-hand traffic,
// with the exit angle T.
TEST(RouteLayerGeometry, ExitClass)
{
    XrRouteMap m(xr_ladder_network());
    XrRouteLayer layer(nullptr, nullptr, 1, nullptr, nullptr);
    layer.initialize(m.roads.get(), nullptr);
    XrBlockStorage<XrRouteSegment> segments(50);
    XrRouteSegment in;
    in.gid = m.result.gids[3]; // the main road into x = 102000
    in.flags = XrRouteSegment::FLAG_ALONG;
    segments.add_item(in);
    // Whole degrees, truncated.
    EXPECT_EQ(layer.get_edge_heading(nullptr, m.result.gids[3], false, false), 179);
    EXPECT_EQ(layer.get_edge_heading(nullptr, m.result.gids[6], true, false), 89);
    const struct {
        bool right_hand;
        int t;
        int cls;
    } cases[] = {
        {true, 90, 4},   // W = (810 + 90) / 4 = 225
        {true, 0, 3},    // W = 202
        {true, 300, 5},  // W = 277 (D >= 135: the angle rules do not apply)
        {false, 90, 1},  // W = 90
        {false, 250, 6}, // D < 135, T > 240
        {false, 281, 7}, // D < 135, T >= 281
    };
    for (const auto& c : cases) {
        layer.set_right_hand_traffic(c.right_hand);
        XrRouteInstructions::XrRouteDirective d;
        d.words[0] = XrRouteInstructions::CODE_ROUNDABOUT;
        d.words[1] = 2u | (static_cast<std::uint32_t>(c.t) << 16) | 0x80000000u;
        d.words[2] = m.result.gids[6];
        d.words[6] = 0;
        layer.classify_exit(d, segments);
        EXPECT_EQ(d.words[1], 2u | (static_cast<std::uint32_t>(c.cls) << 16)) << c.right_hand << " " << c.t;
        EXPECT_EQ(d.words[2], 0u);
        // Classified once: the exit edge is cleared, the word stays.
        layer.classify_exit(d, segments);
        EXPECT_EQ(d.words[1], 2u | (static_cast<std::uint32_t>(c.cls) << 16));
    }
}

TEST(RouteLayerGeometry, BendAheadIcon)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    l.set_route(m.route(kFrom, kTo));
    l.fix_at(500, 10.0);
    l.fix_at(510, 10.0);
    EXPECT_EQ(l.layer.get_heading(), 0);
    EXPECT_EQ(l.layer.get_bend_ahead_icon(l.layer.get_active_route()), 38); // straight on
    l.fix_at(1800, 10.0);
    l.fix_at(1810, 10.0);
    // 300 m ahead the route runs north: a left bend of 90 degrees at most.
    const int icon = l.layer.get_bend_ahead_icon(l.layer.get_active_route());
    EXPECT_TRUE(icon == 44 || icon == 40) << icon;
}

// ---- The rerouting decision

TEST(RouteLayerReroute, OnTheRouteNoOnAParallelRoadYes)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    l.set_route(m.route(kFrom, kTo));
    struct Case {
        XrPoint at;
        int heading;
        bool reroute;
    } cases[] = {
        {XrPoint(101000, 200000), 0, false},   // on the route, far from any segment point
        {XrPoint(101400, 200004), 0, false},   // a little off, still the route's road
        {XrPoint(102000, 200600), 90, false},  // on the road north
        {XrPoint(101000, 200050), 0, true},    // the parallel road, 50 m away
        {XrPoint(101250, 200048), 0, true},
        {XrPoint(102600, 200000), 0, true},    // the main road past the turn
    };
    for (const Case& c : cases) {
        XrPoint p = c.at;
        XrGraphAccessor2::XrEdgeData edge;
        EXPECT_EQ(l.layer.should_reroute(p, c.heading, nullptr, nullptr, &edge), c.reroute) << c.at.x << "," << c.at.y;
        EXPECT_NE(edge.gid, 0u);
    }
}

TEST(RouteLayerReroute, FailuresAnswerFalse)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    l.set_route(m.route(kFrom, kTo));
    // No street within 100 m.
    XrPoint far(101000, 203000);
    EXPECT_FALSE(l.layer.should_reroute(far, 0, nullptr, nullptr, nullptr));
    // No graph file.
    l.layer.set_graph_path(XrString((m.root.dir() + "/missing.bin").c_str()));
    XrPoint parallel(101000, 200050);
    EXPECT_FALSE(l.layer.should_reroute(parallel, 0, nullptr, nullptr, nullptr));
}

// The departure test, asked on every fix for the distance to the next
// instruction, reads the graph through one reader kept open: it answers on
// after the file is gone.
TEST(RouteLayerReroute, TheGraphReaderIsKept)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    l.set_route(m.route(kFrom, kTo));
    XrPoint parallel(101000, 200050);
    ASSERT_TRUE(l.layer.should_reroute(parallel, 0, nullptr, nullptr, nullptr));
    ASSERT_EQ(std::remove(m.graph_path.c_str()), 0);
    for (int i = 0; i < 3; ++i) {
        XrPoint p = parallel;
        EXPECT_TRUE(l.layer.should_reroute(p, 0, nullptr, nullptr, nullptr)) << i;
    }
    // A new path opens afresh, and a missing file answers false.
    l.layer.set_graph_path(XrString(m.graph_path.c_str()));
    EXPECT_FALSE(l.layer.should_reroute(parallel, 0, nullptr, nullptr, nullptr));
}

// ---- Guidance on position updates

TEST(RouteLayerGuidance, FollowingTheRoute)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    Observer observer;
    l.layer.set_route_observer(&observer);
    l.set_route(m.route(kFrom, kTo));
    ASSERT_NE(l.layer.get_current_directive(), nullptr);
    EXPECT_EQ(l.layer.get_current_directive()->code(), 3u);
    // 15 m do not start guidance; 16 m with the road's heading do.
    l.fix_at(5, 10.0);
    l.fix_at(15, 10.0);
    EXPECT_FALSE(l.layer.is_started());
    l.fix_at(16, 10.0);
    EXPECT_TRUE(l.layer.is_started());
    int last = -1;
    for (int d = 30; d < 1900; d += 14) {
        l.fix_at(d, 14.0);
        EXPECT_EQ(l.layer.get_guidance_state(), XrRouteLayer::STATE_ON_ROUTE) << d;
        EXPECT_NEAR(l.layer.get_distance_travelled(), d, 1) << d;
        EXPECT_EQ(l.layer.get_distance_to_next_instruction(), 1950 - l.layer.get_distance_travelled()) << d;
        if (last >= 0) {
            EXPECT_LT(l.layer.get_distance_to_directive(), last) << d;
        }
        last = l.layer.get_distance_to_directive();
    }
    // At 14 m/s the announcement is due at 300 m, the final one at 75 m.
    EXPECT_EQ(l.layer.get_near_distance(), 75);
    for (int d = 1910; d < 2880; d += 14)
        l.fix_at(d, 14.0);
    EXPECT_EQ(l.layer.get_current_directive()->code(), 7u);
    EXPECT_TRUE(observer.reached.empty());
    l.fix_at(2885, 14.0);
    EXPECT_EQ(l.layer.get_guidance_state(), XrRouteLayer::STATE_ARRIVED);
    ASSERT_EQ(observer.reached.size(), 1u);
    EXPECT_EQ(observer.reached[0], -1);
    EXPECT_EQ(observer.reroutes, 0);
}

TEST(RouteLayerGuidance, AnnouncementDistanceBySpeed)
{
    XrRouteMap m(xr_ladder_network());
    struct Case {
        double speed;
        int announce;
        int near;
    } cases[] = {{3, 200, 45}, {8, 250, 65}, {12, 300, 75}, {19, 350, 90}, {25, 400, 150}, {31, 500, 200}};
    for (const Case& c : cases) {
        Layer l(m);
        l.set_route(m.route(kFrom, kTo));
        l.fix_at(100, c.speed);
        l.fix_at(200, c.speed);
        EXPECT_EQ(l.layer.get_announcement_distance(), c.announce) << c.speed;
        EXPECT_EQ(l.layer.get_near_distance(), c.near) << c.speed;
    }
}

// On a motorway the announcement comes 1800 m earlier, at most 2000 m
// ahead; the final one 50 m earlier.
TEST(RouteLayerGuidance, MotorwayAnnouncementDistance)
{
    XrNetwork net = xr_ladder_network();
    for (XrNetworkEdge& e : net.edges)
        e.road_type = 1;
    XrRouteMap m(net);
    struct Case {
        double speed;
        int announce;
        int near;
    } cases[] = {{5, 2000, 95}, {19, 2000, 140}, {35, 2000, 250}};
    for (const Case& c : cases) {
        Layer l(m);
        l.set_route(m.route(kFrom, kTo));
        ASSERT_TRUE(l.layer.is_road_type_one(l.layer.get_current_directive()));
        l.fix_at(10, c.speed); // not started yet: nothing announced
        EXPECT_EQ(l.layer.get_announcement_distance(), c.announce) << c.speed;
        EXPECT_EQ(l.layer.get_near_distance(), c.near) << c.speed;
        EXPECT_EQ(l.layer.get_largest_announcement(), 2000);
        // Started within 2000 m: the far announcement is spoken and a
        // second one follows at 1050 m.
        l.fix_at(20, c.speed);
        l.fix_at(30, c.speed);
        EXPECT_EQ(l.layer.get_announcement_distance(), 1050) << c.speed;
    }
}

// Fixes with the hold flag never count as off the route.
TEST(RouteLayerGuidance, HeldFixesDoNotCount)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    Observer observer;
    l.layer.set_route_observer(&observer);
    l.set_route(m.route(kFrom, kTo));
    for (int d = 0; d <= 440; d += 14)
        l.fix_at(d, 14.0);
    for (int i = 0; i < 20; ++i) {
        g_now += 1000;
        l.layer.update_position(XrPoint(100500 + 14 * i, 200050), -1, 14.0, true, nullptr, nullptr, 0);
    }
    EXPECT_EQ(l.layer.get_off_route_count(), 0);
    EXPECT_EQ(observer.reroutes, 0);
}

// The distance to the instruction is corrected by the way driven since the
// fix was taken: seconds since the last update times the speed.
TEST(RouteLayerGuidance, LagCorrection)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    l.set_route(m.route(kFrom, kTo));
    l.layer.set_fix_valid(true);
    l.fix_at(100, 10.0);
    g_now += 1000; // the next fix comes 2 s after the last update
    l.fix_at(120, 10.0);
    EXPECT_EQ(l.layer.get_distance_travelled(), 120);
    EXPECT_EQ(l.layer.get_distance_to_directive(), 1950 - 120 - 20);
    l.layer.set_fix_valid(false);
    l.fix_at(140, 10.0);
    EXPECT_EQ(l.layer.get_distance_to_directive(), 1950 - 140);
}

TEST(RouteLayerGuidance, DrivingAgainstTheRouteAtTheStart)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    Observer observer;
    l.layer.set_route_observer(&observer);
    l.set_route(m.route(XrPoint(100600, 200000), kTo));
    // Heading west on an eastward route.
    l.fix(XrPoint(100700, 200000), 10.0, 180);
    EXPECT_EQ(l.layer.get_guidance_state(), XrRouteLayer::STATE_OFF_ROUTE);
    EXPECT_EQ(l.layer.get_off_route_count(), 15);
    EXPECT_EQ(observer.reroutes, 0);
}

// Started against the route, the vehicle keeps going the wrong way and
// leaves the route's road: a new route is asked for, with the back-off.
TEST(RouteLayerGuidance, AgainstTheRouteAndAwayAsksForANewRoute)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    Observer observer;
    l.layer.set_route_observer(&observer);
    l.set_route(m.route(XrPoint(100600, 200000), kTo));
    int fixes = 0;
    for (int x = 100700; x >= 100100; x -= 14, ++fixes)
        l.fix(XrPoint(x, 200000), 14.0, 180);
    EXPECT_GE(observer.reroutes, 1);
    EXPECT_LE(observer.reroutes, fixes / XrRouteLayer::REROUTE_BACKOFF_FIXES + 1);
    EXPECT_FALSE(l.layer.is_started());
}

TEST(RouteLayerGuidance, StandingStillIsNoDeparture)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    Observer observer;
    l.layer.set_route_observer(&observer);
    l.set_route(m.route(kFrom, kTo));
    for (int d = 0; d <= 300; d += 12)
        l.fix_at(d, 12.0);
    ASSERT_TRUE(l.layer.is_started());
    for (int i = 0; i < 30; ++i) {
        l.fix_at(300, 0.0);
        EXPECT_EQ(l.layer.get_guidance_state(), XrRouteLayer::STATE_ON_ROUTE);
    }
    // Without speed, fixes without progress count, but the vehicle is still
    // on the route's road: nobody is asked for a new route.
    for (int i = 0; i < 30; ++i)
        l.fix_at(300, -1.0);
    EXPECT_EQ(observer.reroutes, 0);
}

// Leaving the route onto the parallel road: after the count of fixes off
// the route exactly one new route is asked for, and the detour is joined
// onto the rest of the old route.
TEST(RouteLayerGuidance, LeavingTheRouteAsksOnceAndJoinsTheDetour)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    Observer observer(&m);
    l.layer.set_route_observer(&observer);
    l.set_route(m.route(kFrom, kTo));
    const int old_end_segments = 2; // the road north
    for (int d = 0; d <= 440; d += 14)
        l.fix_at(d, 14.0);
    ASSERT_TRUE(l.layer.is_started());
    // Up the connector and along the parallel road, 14 m a second.
    std::vector<XrPoint> track;
    for (int y = 200000; y <= 200050; y += 14)
        track.push_back(XrPoint(100500, y));
    for (int x = 100500; x <= 101480; x += 14)
        track.push_back(XrPoint(x, 200050));
    int asked_at = -1;
    for (size_t i = 0; i < track.size(); ++i) {
        l.fix(track[i], 14.0);
        if (observer.reroutes == 1 && asked_at < 0)
            asked_at = static_cast<int>(i);
    }
    EXPECT_EQ(observer.reroutes, 1);
    EXPECT_GE(asked_at, XrRouteLayer::OFF_ROUTE_FIXES - 1);
    EXPECT_TRUE(observer.joined);
    // The joined route: the detour, then the old route's last edges to the
    // same destination.
    const XrRouteInstructions* r = l.layer.get_active_route();
    EXPECT_EQ(r->target_x, kTo.x);
    EXPECT_EQ(r->target_y, kTo.y);
    EXPECT_NE(r->end_geometry, nullptr);
    EXPECT_EQ(r->segments.get_item_ptr(old_end_segments - 1)->gid, m.result.gids[6]);
    EXPECT_EQ(r->segments.get_item_ptr(0)->gid, m.result.gids[7]);
    EXPECT_EQ(l.layer.get_guidance_state(), XrRouteLayer::STATE_ON_ROUTE);
    // Down the connector and on to the destination: no further request.
    for (int y = 200040; y > 200000; y -= 14)
        l.fix(XrPoint(101500, y), 14.0);
    for (int x = 101500; x <= 102000; x += 14)
        l.fix(XrPoint(x, 200000), 14.0);
    for (int y = 200000; y <= 200900; y += 14)
        l.fix(XrPoint(102000, y), 14.0);
    EXPECT_EQ(observer.reroutes, 1);
    EXPECT_EQ(l.layer.get_guidance_state(), XrRouteLayer::STATE_ON_ROUTE);
}

// A signpost whose path covers the edges around the turn is read when the
// vehicle comes within reach of it; one that does not is not.
TEST(RouteLayerGuidance, SignpostAheadOfTheInstruction)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    l.set_route(m.route(kFrom, kTo));
    const XrRouteInstructions* r = l.layer.get_active_route();
    const int from_edge = static_cast<int>(l.layer.get_current_directive()->words[6]);
    XrSignsFile file;
    XrSignsEntry good;
    good.gid = r->segments.get_item_ptr(from_edge)->gid;
    XrSignsRecord wrong; // leads straight on
    wrong.following = {m.result.gids[5]};
    wrong.instructions = {{1, "Wrong"}};
    XrSignsRecord right;
    right.following = {r->segments.get_item_ptr(from_edge - 1)->gid};
    right.instructions = {{3, "North"}, {1, "E4"}};
    good.records = {wrong, right};
    file.entries.push_back(good);
    std::string error;
    const std::string path = m.root.dir() + "/signs.bin";
    ASSERT_TRUE(write_signs(path, file, error)) << error;
    auto* accessor = new XrSignpostAccessor();
    auto* storage = new XrFileStorageAccessor();
    ASSERT_TRUE(storage->open(XrString(path.c_str()), true));
    ASSERT_TRUE(accessor->open(storage));
    l.layer.set_signpost_accessor(accessor);

    for (int d = 0; d < 400; d += 14)
        l.fix_at(d, 14.0);
    EXPECT_EQ(GuidanceView::signpost_count(l.layer), 0); // more than 1000 m before the turn
    for (int d = 400; d < 1600; d += 14)
        l.fix_at(d, 14.0);
    ASSERT_EQ(GuidanceView::signpost_count(l.layer), 2);
    EXPECT_EQ(GuidanceView::signpost_text(l.layer, 0), XrString(L"North"));
    EXPECT_EQ(GuidanceView::signpost_start(l.layer), from_edge);
}

// An observer that keeps answering false is asked again only after a
// back-off, not on every fix.
TEST(RouteLayerGuidance, RequestsBackOff)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    Observer observer;
    observer.answer = false;
    l.layer.set_route_observer(&observer);
    l.set_route(m.route(kFrom, kTo));
    for (int d = 0; d <= 440; d += 14)
        l.fix_at(d, 14.0);
    for (int y = 200000; y <= 200050; y += 14)
        l.fix(XrPoint(100500, y), 14.0);
    int fixes = 0;
    for (int round = 0; round < 3; ++round)
        for (int x = 100500; x <= 101480; x += 14, ++fixes)
            l.fix(XrPoint(x, 200050), 14.0);
    EXPECT_GE(observer.reroutes, 2);
    EXPECT_LE(observer.reroutes, fixes / XrRouteLayer::REROUTE_BACKOFF_FIXES + 1);
    EXPECT_EQ(l.layer.get_guidance_state(), XrRouteLayer::STATE_OFF_ROUTE);
}

TEST(RouteLayerGuidance, WaypointSelectsTheNextRoute)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    Observer observer;
    l.layer.set_route_observer(&observer);
    XrPtrArray<XrRouteInstructions*> list;
    list.append(m.route(kFrom, XrPoint(101000, 200000)));
    list.append(m.route(XrPoint(101000, 200000), kTo));
    l.layer.set_routes(&list, 0);
    for (int d = 0; d <= 940; d += 14)
        l.fix_at(d, 14.0);
    ASSERT_EQ(observer.reached.size(), 1u);
    EXPECT_EQ(observer.reached[0], 0);
    EXPECT_EQ(l.layer.get_active_index(), 1);
    EXPECT_EQ(l.layer.get_guidance_state(), XrRouteLayer::STATE_ON_ROUTE);
}

// ---- Travel times and traffic delays

TEST(RouteLayerTimes, SegmentTimesAndDelays)
{
    XrRouteLayer layer(nullptr, nullptr, 1, nullptr, nullptr);
    struct Case {
        int length;
        int speed_class;
        int mode;
        int seconds;
    } cases[] = {{300, 0, 0, 10}, {300, 7, 0, 27}, {300, 3, 0, 15}, {120, 0, 2, 120}, {120, 5, 3, 24}};
    for (const Case& c : cases) {
        XrRouteInstructions r;
        r.route_mode = c.mode;
        XrRouteSegment s;
        s.gid = 5;
        s.length = c.length;
        s.kind = static_cast<std::uint8_t>(c.speed_class);
        r.segments.add_item(s);
        EXPECT_EQ(layer.get_route_time(&r, 0, 0, 1), c.seconds) << c.length << " " << c.speed_class;
    }
    XrRouteSegment s;
    s.gid = 9;
    s.length = 300;
    std::uint32_t delay = 0;
    EXPECT_TRUE(layer.set_traffic_delay(s, 2000u << 8, &delay));
    EXPECT_EQ(delay, 60u);
    EXPECT_TRUE(layer.set_traffic_delay(s, (1000u << 8) | 2, &delay)); // 10 s / 2 + 30 s
    EXPECT_EQ(delay, 35u);
    // Delays count on ordinary routes (the first stored one), not on fixed-speed ones.
    for (int mode : {0, 2}) {
        XrRouteInstructions r;
        r.route_mode = mode;
        r.segments.add_item(s);
        EXPECT_EQ(layer.get_route_time(&r, 0, 0, 1), mode == 0 ? 10 + 60 : 300);
    }
    // A part of the starting segment: at its class's speed, 3 m/s beyond the table.
    XrRouteInstructions r;
    r.segments.add_item(s);
    EXPECT_EQ(layer.get_route_time(&r, 90, 0, 0), 3);
    EXPECT_EQ(layer.get_route_time(&r, 90, 9, 0), 30);
}

TEST(RouteLayerTimes, TimeAndDelayAhead)
{
    XrRouteMap m(xr_ladder_network());
    Layer l(m);
    l.set_route(m.route(kFrom, kTo));
    l.fix_at(1000, 10.0);
    // 950 m to the turn, beyond the segment driven, at the streets' speed.
    const int speeds[8] = {30, 23, 22, 19, 16, 13, 13, 11};
    const int klass = l.layer.get_active_route()->segments.get_item_ptr(0)->speed_class();
    const int ahead = l.layer.get_time_ahead(true);
    EXPECT_NEAR(ahead, 950 / speeds[klass], 1);
    const XrRouteSegment* s = l.layer.get_active_route()->segments.get_item_ptr(l.layer.get_current_segment() - 1);
    l.layer.set_traffic_delay(*s, 120u << 8, nullptr); // 3 s
    EXPECT_EQ(l.layer.get_traffic_delay_ahead(2000), 3);
    EXPECT_EQ(l.layer.get_traffic_delay_ahead(10), 0);
    EXPECT_NEAR(l.layer.get_time_ahead(true), ahead + 3, 1);
}

// ---- Route joining

namespace {

XrRouteSegment seg(XrGid gid, int length, bool along = true)
{
    XrRouteSegment s;
    s.gid = gid;
    s.length = length;
    s.flags = along ? XrRouteSegment::FLAG_ALONG : 0;
    return s;
}

XrRouteInstructions::XrRouteDirective dir(std::uint32_t code, int from_target, int segment)
{
    XrRouteInstructions::XrRouteDirective d;
    d.words[0] = code;
    d.words[4] = static_cast<std::uint32_t>(from_target);
    d.words[6] = static_cast<std::uint32_t>(segment);
    return d;
}

} // namespace

TEST(RouteLayerJoin, OnASharedEdge)
{
    XrRouteLayer layer(nullptr, nullptr, 1, nullptr, nullptr);
    // Old route: segments 0..5 (gids 100..105), 100 m each; instructions at
    // segments 2 and 4.
    XrRouteInstructions old_route;
    for (int i = 0; i < 6; ++i)
        old_route.segments.add_item(seg(100 + static_cast<XrGid>(i), 100));
    old_route.directives.add_item(dir(7, 0, 0));
    old_route.directives.add_item(dir(3, 200, 2));
    old_route.directives.add_item(dir(5, 400, 4));
    old_route.end_geometry = std::make_unique<XrPolygon>(true);
    old_route.target_x = 7;
    old_route.target_y = 8;
    // New route: its segment 0 is old segment 3, then two edges of its own.
    XrRouteInstructions new_route;
    new_route.segments.add_item(seg(103, 100));
    new_route.segments.add_item(seg(200, 50));
    new_route.segments.add_item(seg(201, 70));
    new_route.directives.add_item(dir(7, 0, 0));
    new_route.directives.add_item(dir(4, 150, 2));
    ASSERT_TRUE(layer.join_routes(nullptr, &new_route, &old_route, nullptr));
    const int want[] = {100, 101, 102, 103, 200, 201};
    ASSERT_EQ(new_route.segments.items(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(new_route.segments.get_item_ptr(i)->gid, static_cast<XrGid>(want[i]));
    EXPECT_EQ(new_route.total_length, 520);
    EXPECT_EQ(new_route.target_x, 7);
    EXPECT_NE(new_route.end_geometry, nullptr);
    EXPECT_EQ(old_route.end_geometry, nullptr);
    // The old instructions that cover segments 0 to 3, then the new one,
    // moved behind the kept old segments.
    ASSERT_EQ(new_route.directives.items(), 3);
    EXPECT_EQ(new_route.directives.get_item_ptr(0)->code(), 7u);
    EXPECT_EQ(new_route.directives.get_item_ptr(1)->code(), 3u);
    const auto* moved = new_route.directives.get_item_ptr(2);
    EXPECT_EQ(moved->code(), 4u);
    EXPECT_EQ(moved->words[6], 5u);
    EXPECT_EQ(moved->words[4], 150u - 100u + 400u);
    EXPECT_EQ(moved->words[3], 520u);
    EXPECT_EQ(new_route.directives.get_item_ptr(1)->words[5], 4u);
}

TEST(RouteLayerJoin, NothingSharedNothingJoined)
{
    XrRouteMap m(xr_ladder_network());
    XrRouteLayer layer(nullptr, nullptr, 1, nullptr, nullptr);
    std::unique_ptr<XrRouteInstructions> old_route(m.route(XrPoint(100100, 200000), XrPoint(100900, 200000)));
    std::unique_ptr<XrRouteInstructions> new_route(m.route(XrPoint(102100, 200000), XrPoint(102900, 200000)));
    const int old_count = old_route->segments.items();
    const int new_count = new_route->segments.items();
    EXPECT_FALSE(layer.join_routes(m.graph.get(), new_route.get(), old_route.get(), nullptr));
    EXPECT_EQ(old_route->segments.items(), old_count);
    EXPECT_EQ(new_route->segments.items(), new_count);
    EXPECT_NE(old_route->end_geometry, nullptr);
}

TEST(RouteLayerJoin, FindDirectiveIndex)
{
    XrBlockStorage<XrRouteInstructions::XrRouteDirective> dirs(10);
    dirs.add_item(dir(7, 0, 0));
    dirs.add_item(dir(3, 200, 2));
    dirs.add_item(dir(5, 400, 4));
    const int cases[][3] = {{0, 1, 0}, {1, 1, 0}, {2, 1, 1}, {3, 1, 1}, {9, 1, 2},
                            {0, 0, 1}, {2, 0, 2}, {4, 0, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(XrRouteLayer::find_directive_index(dirs, c[0], c[1] != 0), c[2]) << c[0] << " " << c[1];
}
