// kestrova-probe route: snaps two points to the nearest roads of a map
// folder, searches the route between them and prints it.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include "common/db/xr_heapgeomstorage.h"
#include "common/geometry/xr_polygon.h"
#include "common/geometry/xr_projection.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/graph/xr_graphlayout.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/probe/probe.h"
#include "tools/probe/probe_roads.h"

namespace {

int run_route(const std::vector<std::string>& args);

XrProbeCommand route_cmd("route", "MAPDIR (LAT,LON LAT,LON | --pairs FILE) [--mode N] [--json]",
                         "snaps both points to the nearest road, searches a route and prints it; with --pairs "
                         "the routes between the two points of each line of FILE, one line each",
                         run_route);

// Speeds by speed class, in km/h, for the travel time.
const int SPEED_KMH[8] = {130, 75, 60, 50, 30, 20, 10, 10};

const char* code_text(std::uint32_t code)
{
    switch (code) {
    case 1: return "keep on";
    case 2: return "bear left";
    case 3: return "turn left";
    case 4: return "bear right";
    case 5: return "turn right";
    case 6: return "turn twice";
    case 7: return "destination";
    case 8: return "exit left";
    case 9: return "exit right";
    case 10: return "merge left";
    case 11: return "merge right";
    case 13: return "enter the roundabout";
    case 14: return "leave the roundabout";
    case 15: return "slight left";
    case 16: return "slight right";
    case 17: return "keep left";
    case 18: return "keep right";
    case 19: return "sharp left";
    case 20: return "sharp right";
    default: return "continue";
    }
}

// The nearest road polyline to a point.
bool snap(XrGeomStorage& roads, const XrPoint& p, XrGid& gid, XrPoint& on_road)
{
    for (int radius : {200, 1000, 5000, 25000, 125000}) {
        XrRectangle r{p.x - radius, p.y - radius, p.x + radius, p.y + radius};
        std::unique_ptr<XrGeomCursor> cur(roads.get_cursor(&r, 0));
        if (!cur)
            return false;
        double best = -1;
        const BYTE* rec = nullptr;
        XrGeomStorage::XrRecordType kind;
        while (cur->get_next_record(rec, kind) == XrGeomCursor::OK) {
            XrPolygon line(true);
            XrGid id = 0;
            if (!read_polygon_from_cursor(line, XrGeomStorage::RecPolyline, rec, cur.get(), true) ||
                !cur->get_current_record_geom_id(id))
                continue;
            XrPoint n;
            double d = 0;
            if (line.get_nearest_point(p, n, &d) && (best < 0 || d < best)) {
                best = d;
                gid = id;
                on_road = n;
            }
        }
        if (best >= 0 && best <= radius)
            return true;
    }
    return false;
}

std::string json_escape(const std::string& s)
{
    std::string o;
    for (char c : s)
        o += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return o;
}

// One route between two points of the map; false (with a message) when it
// cannot be found. With pair > 0 one line "pair N ..." is printed.
bool route_between(XrProbeRoadData& data, int mode, bool json, const XrPoint& from, const XrPoint& to, int pair)
{
    XrSimpleGeomStorage& roads = *data.roads;
    XrGid g1 = 0, g2 = 0;
    XrPoint p1, p2;
    if (!snap(roads, from, g1, p1) || !snap(roads, to, g2, p2)) {
        if (pair > 0)
            std::printf("pair %d no road\n", pair);
        else
            std::fprintf(stderr, "kestrova-probe route: no road near a point\n");
        return false;
    }
    XrDijkstraPath2 search(data.graph.get(), &roads, XrString(), nullptr);
    search.route_mode = mode;
    XrRouteInstructions* res = nullptr;
    if (!search.find_route(p1, g1, p2, g2, &res, nullptr, -1, -1, false, false, nullptr) || res == nullptr) {
        if (pair > 0)
            std::printf("pair %d no route\n", pair);
        else
            std::fprintf(stderr, "kestrova-probe route: no route found\n");
        return false;
    }
    std::unique_ptr<XrRouteInstructions> route(res);
    long long length = 0;
    double seconds = 0;
    std::ostringstream edges, jedges;
    for (int i = route->segments.items() - 1; i >= 0; --i) {
        const XrRouteSegment* s = route->segments.get_item_ptr(i);
        length += s->length;
        seconds += s->length / (SPEED_KMH[s->speed_class()] / 3.6);
        if (pair > 0)
            continue;
        char buf[96];
        std::snprintf(buf, sizeof buf, "0x%08x %d %d", s->gid, s->length, s->road_type());
        edges << "edge " << buf << '\n';
        std::snprintf(buf, sizeof buf, "{\"gid\":%u,\"length_m\":%d,\"road_type\":%d}", s->gid, s->length,
                      s->road_type());
        jedges << (i == route->segments.items() - 1 ? "" : ",") << buf;
    }
    const long long time_s = std::llround(seconds);
    const long long cost = static_cast<long long>(search.get_route_cost());
    if (pair > 0) {
        std::printf("pair %d cost %lld length_m %lld time_s %lld\n", pair, cost, length, time_s);
        return true;
    }
    std::ostringstream instr, jinstr;
    bool first = true;
    for (int i = route->directives.items() - 1; i >= 0; --i) {
        const auto* d = route->directives.get_item_ptr(i);
        if (d->code() == 0)
            continue;
        const long long at = length - static_cast<long long>(d->words[4]);
        std::string text = code_text(d->code());
        if (d->code() == XrRouteInstructions::CODE_ROUNDABOUT)
            text += ", exit " + std::to_string((d->words[1] & 0xFFFF) + 1);
        instr << "instruction " << d->code() << ' ' << at << ' ' << text << '\n';
        jinstr << (first ? "" : ",") << "{\"code\":" << d->code() << ",\"at_m\":" << at << ",\"text\":\""
               << json_escape(text) << "\"}";
        first = false;
    }
    if (json) {
        std::printf("{\"cost\":%lld,\"length_m\":%lld,\"time_s\":%lld,\"edges\":[%s],\"instructions\":[%s]}\n", cost,
                    length, time_s, jedges.str().c_str(), jinstr.str().c_str());
    } else {
        std::printf("cost %lld\nlength_m %lld\ntime_s %lld\n%s%s", cost, length, time_s, edges.str().c_str(),
                    instr.str().c_str());
    }
    return true;
}

int run_route(const std::vector<std::string>& args)
{
    std::vector<std::string> pos;
    int mode = 0;
    bool json = false;
    std::string pairs;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json")
            json = true;
        else if (args[i] == "--pairs" && i + 1 < args.size())
            pairs = args[++i];
        else if (args[i] == "--mode" && i + 1 < args.size()) {
            char* end = nullptr;
            mode = static_cast<int>(std::strtol(args[++i].c_str(), &end, 10));
            if (*end != '\0' || mode < 0 || mode > 3)
                return probe_usage(route_cmd);
        } else
            pos.push_back(args[i]);
    }
    // The points of a line: "LAT,LON LAT,LON"; false for anything else.
    auto points = [](const std::string& a, const std::string& b, double* ll) {
        return probe_parse_lat_lon(a, ll[0], ll[1]) && probe_parse_lat_lon(b, ll[2], ll[3]);
    };
    std::vector<std::array<double, 4>> list;
    if (pairs.empty()) {
        std::array<double, 4> ll{};
        if (pos.size() != 3 || !points(pos[1], pos[2], ll.data()))
            return probe_usage(route_cmd);
        list.push_back(ll);
    } else {
        if (pos.size() != 1 || json)
            return probe_usage(route_cmd);
        std::ifstream in(pairs);
        if (!in) {
            std::fprintf(stderr, "kestrova-probe route: cannot read %s\n", pairs.c_str());
            return 1;
        }
        std::string line;
        for (int n = 1; std::getline(in, line); ++n) {
            std::istringstream words(line);
            std::string a, b, rest;
            if (!(words >> a))
                continue; // an empty line
            std::array<double, 4> ll{};
            if (!(words >> b) || (words >> rest) || !points(a, b, ll.data())) {
                std::fprintf(stderr, "kestrova-probe route: %s:%d: not two points LAT,LON LAT,LON\n", pairs.c_str(),
                             n);
                return 1;
            }
            list.push_back(ll);
        }
    }
    XrProbeRoadData data;
    if (!data.open(pos[0], "route"))
        return 1;
    int failed = 0;
    for (size_t k = 0; k < list.size(); ++k) {
        int x1, y1, x2, y2;
        if (!data.to_map(list[k][0], list[k][1], x1, y1, "route") || !data.to_map(list[k][2], list[k][3], x2, y2, "route"))
            return 1;
        if (!route_between(data, mode, json, XrPoint(x1, y1), XrPoint(x2, y2), pairs.empty() ? 0 : static_cast<int>(k + 1)))
            ++failed;
    }
    // A list is answered line by line; a single route that fails fails.
    return pairs.empty() && failed > 0 ? 1 : 0;
}

} // namespace
