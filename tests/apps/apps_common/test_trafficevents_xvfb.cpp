// The traffic service's events on the demo card: updates become map
// objects, road marks and route-search penalties; changed, vanished and
// expired events take theirs away; a bad update keeps them.
#include "apps/services/xr_trafficservice.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/maemo_map/navigator_run.h"
#include "common/config/xr_storageconfiguration.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/geometry/xr_projection.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_path_resolver.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/gdiff_writer.h"
#include "tools/mapgen/penaltymap_writer.h"
#include "tools/mapgen/trafficdata_writer.h"

#include "service_test_support.h"

namespace {

namespace L = xr_trafficdata_layout;

using namespace service_test;

// Stands in for the aggregate: one country, TMC events resolved to the
// edges a test gives per first location code, and a record of what the
// service puts on the map and into searches.
class EventHelper : public XrServiceHelper {
public:
    XrServComMessage* send_request(XrService*, int, int, XrPropertyBag* payload, const XrString*, XrServComClient*,
                                   XrServiceListener*) override
    {
        delete payload;
        return nullptr;
    }
    void cancel_request(XrServComMessage**) override {}
    int get_country_count() override { return 1; }
    void get_country_name(int, XrString& name) override { name = L"ATL"; }
    XrStorageConfiguration* open_configuration(const XrString& path) override
    {
        auto accessor = std::make_unique<XrFileStorageAccessor>();
        if (!accessor->open(path, false))
            return nullptr;
        auto config = std::make_unique<XrStorageConfiguration>(accessor.release(), L"");
        return config->open(false) == XrConfiguration::OK ? config.release() : nullptr;
    }
    bool add_timeout(XrEventHandler*, int, int, int) override { return true; }
    void remove_timeout(XrEventHandler*, int) override {}
    void redraw_map() override {}

    void begin_tmc_resolution(int) override
    {
        segments.clear();
        added.clear();
    }
    bool add_tmc_event(const XrString&, const std::uint16_t* codes, int count, int event, int& x, int& y) override
    {
        if (count == 1) {
            x = 500;
            y = 700;
            return true;
        }
        added.emplace_back(codes[0], event);
        return true;
    }
    void resolve_tmc_events() override
    {
        for (const auto& [code, event] : added) {
            XrTmcSegment s;
            s.event = event;
            s.edges = roads[code];
            s.located = true;
            s.x = 1000 + code;
            s.y = 2000;
            segments.push_back(s);
        }
    }
    const std::vector<XrTmcSegment>& get_tmc_segments() const override { return segments; }

    void add_event_object(XrService*, std::uint32_t id, int x, int y, int category, const XrString&) override
    {
        objects[id] = {x, y, category};
    }
    void remove_event_object(XrService*, std::uint32_t id) override { objects.erase(id); }
    void reserve_road_marks(int) override { marks.clear(); }
    bool mark_road(unsigned int gid, bool along, int cls) override
    {
        marks[gid] = along ? cls : -cls - 100;
        return true;
    }
    void unmark_road(unsigned int gid) override { marks.erase(gid); }
    void add_edge_penalty(XrDijkstraPath2*, unsigned int gid, int penalty) override { penalties[gid] += penalty; }
    bool has_route() override { return !route.empty(); }
    bool road_on_route(unsigned int gid) override { return route.count(gid) != 0; }
    void request_reroute() override { ++reroutes; }
    void play_sound(const TCHAR* name) override { sounds.push_back(narrow(XrString(name))); }

    struct Object {
        int x, y, category;
    };
    std::map<std::uint16_t, std::vector<std::uint32_t>> roads;
    std::vector<std::pair<std::uint16_t, int>> added;
    std::vector<XrTmcSegment> segments;
    std::map<std::uint32_t, Object> objects;
    std::map<unsigned int, int> marks;
    std::map<unsigned int, int> penalties;
    std::set<unsigned int> route;
    int reroutes = 0;
    std::vector<std::string> sounds;
};

// Event code 101 is class 2 in the penalty map: 50 % speed, 5 minutes;
// 401 is class 0, a closed road.
XrTrafficRecordDef tmc_event(std::uint32_t id, std::uint16_t first, int code, std::uint32_t end = 0)
{
    XrTrafficRecordDef r;
    r.event_id = id;
    r.revision = 1;
    r.flags = L::FLAG_TMC;
    r.end = end;
    r.start = end != 0 ? end - 3600 : 0;
    r.name = "Event";
    r.items = {{1, static_cast<std::uint16_t>(code), 0, "", 0}};
    r.tmc_table = 1;
    r.tmc_codes = {first, static_cast<std::uint16_t>(first + 1)};
    return r;
}

XrTrafficRecordDef point_event(std::uint32_t id)
{
    XrTrafficRecordDef r;
    r.event_id = id;
    r.revision = 1;
    r.flags = L::FLAG_COORDINATES;
    r.name = "Roadworks";
    r.items = {{11, 701, 0, "", 0}};
    r.points = {{traffic_coordinate(-24.0), traffic_coordinate(31.0)}};
    return r;
}

class TrafficEvents : public DemoCardAppTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(start_app());
        const std::string kestrova =
            std::filesystem::path(native(XrTrafficService::data_path(XrString(L"ATL")))).parent_path().string();
        std::filesystem::create_directories(kestrova);
        ASSERT_TRUE(write_penalty_map(kestrova + "/penaltymap_ATL.txt", {{101, 2}, {401, 0}, {701, 1}}));
        settings->set_traffic_enabled(true);
        settings->set_update_interval(0);
        settings->set_routing_option(true);
        helper.roads[10] = {7, 8 | 0x80000000u};
        helper.roads[20] = {9};
        service = std::make_unique<XrTrafficService>();
        service->configure(&helper, &projection);
        ASSERT_EQ(service->get_countries().size(), 1u);
    }
    void TearDown() override { service.reset(); }

    // Sends the file as the server's answer to the version held.
    bool update(std::vector<XrTrafficRecordDef> records, bool right_digest = true)
    {
        XrTrafficFileDef f;
        f.header_value = ++version;
        f.country = "ATL";
        f.penalty = XrTrafficPenaltyDef{50, 80, 150, {{0, 0, 0}, {1, 80, 2}, {2, 50, 5}}, {}};
        f.records = std::move(records);
        const std::vector<BYTE> now = build_traffic_file(f);
        const std::vector<BYTE> diff = make_gdiff(held, now);
        char hex[33];
        XrServiceHelper::compute_md5_hex(now.data(), now.size(), hex);
        std::string digest = hex;
        if (!right_digest)
            digest[0] = digest[0] == '0' ? '1' : '0';
        auto* bag = new XrPropertyBag();
        bag->add_int(XrTrafficService::KEY_KIND, 2);
        bag->add_string(XrTrafficService::KEY_CODE, XrString(L"ATL"));
        bag->add_string(XrTrafficService::KEY_LANGUAGE, XrString(L"ENG"));
        auto* blob = new XrByteArray();
        blob->set(diff.data(), static_cast<int>(diff.size()));
        bag->add_blob(XrTrafficService::KEY_DATA, blob);
        bag->add_string(XrTrafficService::KEY_DIGEST, XrString(std::wstring(digest.begin(), digest.end()).c_str()));
        service->receive_data(2, 1, XrService::SUCCEEDED, nullptr, bag, nullptr);
        delete bag;
        const bool taken = service->get_status_value() != XrTrafficService::STATUS_FAILED;
        if (taken)
            held = now;
        return taken;
    }
    std::map<unsigned int, int> search_penalties()
    {
        helper.penalties.clear();
        EXPECT_FALSE(service->route_request(nullptr, XrPoint(0, 0), XrPoint(0, 0)));
        return helper.penalties;
    }

    XrProjection projection{100000.0, 0.0, 0.0};
    EventHelper helper;
    std::unique_ptr<XrTrafficService> service;
    std::vector<BYTE> held;
    std::uint32_t version = 0;
};

TEST_F(TrafficEvents, AnUpdatePutsEventsOnTheMapTheRoadsAndTheSearch)
{
    ASSERT_TRUE(update({tmc_event(1, 10, 101), tmc_event(2, 20, 401), point_event(3)}));
    // One object per event: located TMC events at their segment's point,
    // the coordinate event at its projected point.
    ASSERT_EQ(helper.objects.size(), 3u);
    EXPECT_EQ(helper.objects[1].x, 1010);
    EXPECT_EQ(helper.objects[2].x, 1020);
    EXPECT_EQ(helper.objects[3].x, -2400000);
    EXPECT_EQ(helper.objects[3].y, 3100000);
    // Roads by class and direction; the coordinate event marks none.
    EXPECT_EQ(helper.marks, (std::map<unsigned int, int>{{7, 2}, {8, -102}, {9, 0}}));
    // Penalties: the jam its code (5 minutes spread over its two roads, at
    // 50 %), the closure -1; none for the coordinate event.
    const std::int32_t jam = XrTrafficPenalty::penalty_code(5 * 2000 / 2, 50);
    EXPECT_EQ(search_penalties(), (std::map<unsigned int, int>{{7, jam}, {8, jam}, {9, -1}}));
    EXPECT_EQ(service->count_events(nullptr), 3);

    // Searches get no penalties unless they use traffic.
    settings->set_routing_option(false);
    EXPECT_TRUE(search_penalties().empty());
}

TEST_F(TrafficEvents, ChangedAndVanishedEventsTakeTheirObjectsAndMarksAway)
{
    ASSERT_TRUE(update({tmc_event(1, 10, 101), tmc_event(2, 20, 401)}));
    XrTrafficRecordDef changed = tmc_event(1, 20, 101);
    changed.revision = 2;
    ASSERT_TRUE(update({changed}));
    ASSERT_EQ(helper.objects.size(), 1u);
    EXPECT_EQ(helper.objects[1].x, 1020); // rebuilt from its new record
    EXPECT_EQ(helper.marks, (std::map<unsigned int, int>{{9, 2}}));

    ASSERT_TRUE(update({}));
    EXPECT_TRUE(helper.objects.empty());
    EXPECT_TRUE(helper.marks.empty());
    EXPECT_TRUE(search_penalties().empty());
}

TEST_F(TrafficEvents, ExpiredEventsGoOnTheHousekeepingTimer)
{
    const std::uint32_t now = static_cast<std::uint32_t>(std::time(nullptr));
    ASSERT_TRUE(update({tmc_event(1, 10, 101, now + 2), tmc_event(2, 20, 101), tmc_event(4, 30, 101, now - 10)}));
    // Ended already when it came: never shown, counted as expired.
    EXPECT_EQ(helper.objects.count(4), 0u);
    EXPECT_EQ(service->count_events(nullptr), 2);
    ASSERT_EQ(helper.objects.size(), 2u);

    service->expire_events(static_cast<std::int64_t>(now) + 5);
    EXPECT_EQ(helper.objects.size(), 1u);
    EXPECT_EQ(helper.objects.count(2), 1u); // no end time: never expires
    EXPECT_EQ(helper.marks, (std::map<unsigned int, int>{{9, 2}}));
    EXPECT_EQ(service->count_events(nullptr), 1);
    std::unique_ptr<XrServiceStatus> status(service->get_status());
    EXPECT_EQ(narrow(status->text2), "1 active events");
}

TEST_F(TrafficEvents, ABadUpdateKeepsTheEventsShown)
{
    ASSERT_TRUE(update({tmc_event(1, 10, 101)}));
    EXPECT_FALSE(update({tmc_event(1, 10, 101), tmc_event(2, 20, 401)}, false));
    --version;
    EXPECT_EQ(helper.objects.size(), 1u);
    EXPECT_EQ(helper.marks, (std::map<unsigned int, int>{{7, 2}, {8, -102}}));
    EXPECT_EQ(service->count_events(nullptr), 1);
}

TEST_F(TrafficEvents, SwitchingTrafficOffClearsTheMap)
{
    ASSERT_TRUE(update({tmc_event(1, 10, 101), point_event(3)}));
    settings->set_traffic_enabled(false);
    service->settings_changed();
    EXPECT_TRUE(helper.objects.empty());
    EXPECT_TRUE(helper.marks.empty());
    EXPECT_TRUE(search_penalties().empty());
}

TEST_F(TrafficEvents, TheEventListIsOrderedByDistanceWhenThePositionIsKnown)
{
    ASSERT_TRUE(update({tmc_event(1, 10, 101), tmc_event(2, 20, 401), point_event(3)}));
    auto list = [&](const XrPoint& at) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
        std::uint32_t id = 0, distance = 0;
        for (int i = 0; service->event_by_distance(i, at, id, distance); ++i)
            out.emplace_back(id, distance);
        return out;
    };
    using List = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
    // Events at x 1010 and 1020 (y 2000) and the coordinate event far off.
    const List near = list(XrPoint(1030, 2000));
    ASSERT_EQ(near.size(), 3u);
    EXPECT_EQ(near[0], (std::pair<std::uint32_t, std::uint32_t>{2, 10}));
    EXPECT_EQ(near[1], (std::pair<std::uint32_t, std::uint32_t>{1, 20}));
    EXPECT_EQ(near[2].first, 3u);
    // Without a position: index order, no distances.
    EXPECT_EQ(list(XrPoint(0, 0)), (List{{1, 0}, {2, 0}, {3, 0}}));
    // A vanished event leaves the list with the next update.
    ASSERT_TRUE(update({tmc_event(2, 20, 401)}));
    EXPECT_EQ(list(XrPoint(0, 0)), (List{{2, 0}}));
    settings->set_traffic_enabled(false);
    service->settings_changed();
    EXPECT_TRUE(list(XrPoint(0, 0)).empty());
}

TEST_F(TrafficEvents, AJamOnTheRouteIsWarnedOfAndTheNewRouteAnnounced)
{
    helper.route = {1, 2, 8};
    ASSERT_TRUE(update({tmc_event(1, 10, 101), point_event(3)}));
    EXPECT_EQ(helper.sounds, std::vector<std::string>{"tf_warning.wav"});
    EXPECT_EQ(helper.reroutes, 1);
    EXPECT_TRUE(service->is_reroute_pending());

    // The new route leaves the jam: announced once; the same update again
    // neither warns nor searches again.
    helper.route = {1, 2, 5};
    service->route_event();
    EXPECT_EQ(helper.sounds, (std::vector<std::string>{"tf_warning.wav", "tf_reroute.wav"}));
    EXPECT_FALSE(service->is_reroute_pending());
    service->route_event();
    EXPECT_EQ(helper.sounds.size(), 2u);
    EXPECT_EQ(helper.reroutes, 1);
}

TEST_F(TrafficEvents, ARouteThatCannotLeaveTheJamIsNotAnnounced)
{
    helper.route = {9};
    settings->set_routing_option(false);
    ASSERT_TRUE(update({tmc_event(2, 20, 401)}));
    // Searches without traffic: warned of, but no new search.
    EXPECT_EQ(helper.sounds, std::vector<std::string>{"tf_warning.wav"});
    EXPECT_EQ(helper.reroutes, 0);

    settings->set_routing_option(true);
    XrTrafficRecordDef changed = tmc_event(2, 20, 401);
    changed.revision = 2;
    ASSERT_TRUE(update({changed}));
    EXPECT_EQ(helper.reroutes, 1);
    service->route_event(); // the new route still takes the closed road
    EXPECT_EQ(helper.sounds, (std::vector<std::string>{"tf_warning.wav"}));
}

} // namespace
