// kestrova-probe route: snaps two points to the nearest roads of a map
// folder, searches the route between them and prints it.
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

XrProbeCommand route_cmd("route", "MAPDIR LAT,LON LAT,LON [--mode N] [--json]",
                         "snaps both points to the nearest road, searches a route and prints it", run_route);

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

int run_route(const std::vector<std::string>& args)
{
    std::vector<std::string> pos;
    int mode = 0;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json")
            json = true;
        else if (args[i] == "--mode" && i + 1 < args.size()) {
            char* end = nullptr;
            mode = static_cast<int>(std::strtol(args[++i].c_str(), &end, 10));
            if (*end != '\0' || mode < 0 || mode > 3)
                return probe_usage(route_cmd);
        } else
            pos.push_back(args[i]);
    }
    double lat1, lon1, lat2, lon2;
    if (pos.size() != 3 || !probe_parse_lat_lon(pos[1], lat1, lon1) || !probe_parse_lat_lon(pos[2], lat2, lon2))
        return probe_usage(route_cmd);
    XrProbeRoadData data;
    int x1, y1, x2, y2;
    if (!data.open(pos[0], "route") || !data.to_map(lat1, lon1, x1, y1, "route") ||
        !data.to_map(lat2, lon2, x2, y2, "route"))
        return 1;
    XrSimpleGeomStorage& roads = *data.roads;
    XrGid g1 = 0, g2 = 0;
    XrPoint p1, p2;
    if (!snap(roads, XrPoint(x1, y1), g1, p1) || !snap(roads, XrPoint(x2, y2), g2, p2)) {
        std::fprintf(stderr, "kestrova-probe route: no road near a point\n");
        return 1;
    }
    XrDijkstraPath2 search(data.graph.get(), &roads, XrString(), nullptr);
    search.route_mode = mode;
    XrRouteInstructions* res = nullptr;
    if (!search.find_route(p1, g1, p2, g2, &res, nullptr, -1, -1, false, false, nullptr) || res == nullptr) {
        std::fprintf(stderr, "kestrova-probe route: no route found\n");
        return 1;
    }
    std::unique_ptr<XrRouteInstructions> route(res);
    long long length = 0;
    double seconds = 0;
    std::ostringstream edges, jedges;
    for (int i = route->segments.items() - 1; i >= 0; --i) {
        const XrRouteSegment* s = route->segments.get_item_ptr(i);
        length += s->length;
        seconds += s->length / (SPEED_KMH[s->speed_class()] / 3.6);
        char buf[96];
        std::snprintf(buf, sizeof buf, "0x%08x %d %d", s->gid, s->length, s->road_type());
        edges << "edge " << buf << '\n';
        std::snprintf(buf, sizeof buf, "{\"gid\":%u,\"length_m\":%d,\"road_type\":%d}", s->gid, s->length,
                      s->road_type());
        jedges << (i == route->segments.items() - 1 ? "" : ",") << buf;
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
    const long long time_s = std::llround(seconds);
    if (json) {
        std::printf("{\"cost\":%lld,\"length_m\":%lld,\"time_s\":%lld,\"edges\":[%s],\"instructions\":[%s]}\n",
                    static_cast<long long>(search.get_route_cost()), length, time_s, jedges.str().c_str(),
                    jinstr.str().c_str());
    } else {
        std::printf("cost %lld\nlength_m %lld\ntime_s %lld\n%s%s", static_cast<long long>(search.get_route_cost()),
                    length, time_s, edges.str().c_str(), instr.str().c_str());
    }
    return 0;
}

} // namespace
