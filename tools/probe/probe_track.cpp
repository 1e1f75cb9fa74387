// kestrova-probe track: writes a drive track ("seconds,lat,lon" lines, as
// the navigator replays them) over the roads of a map folder: from the
// longest road on along the roads that join it most nearly straight ahead,
// up to a few kilometres, and back again, at SPEED metres a second.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/db/xr_geomstorage.h"
#include "common/geometry/xr_polygon.h"
#include "tools/probe/probe.h"
#include "tools/probe/probe_roads.h"

namespace {

int run_track(const std::vector<std::string>& args);
XrProbeCommand track_cmd("track", "MAPDIR OUT.csv [SPEED]",
                         "writes a drive track along the map's roads, out and back (SPEED m/s, default 12)",
                         run_track);

// The way out ends after this many metres (or where no road goes on).
constexpr double max_length_m = 4000;

struct Road {
    std::vector<std::pair<int, int>> points; // map units
    double length = 0;                        // metres
};

struct LatLon {
    double lat, lon;
};

double distance_m(const LatLon& a, const LatLon& b)
{
    const double rad = 3.14159265358979323846 / 180;
    const double north = (b.lat - a.lat) * rad * 6371000.0;
    const double east = (b.lon - a.lon) * rad * 6371000.0 * std::cos(a.lat * rad);
    return std::hypot(north, east);
}

// Every polyline of the road geometry, with its length.
bool read_roads(XrProbeRoadData& data, std::vector<Road>& roads)
{
    std::unique_ptr<XrGeomCursor> cursor(data.roads->get_cursor(nullptr, 0));
    if (!cursor)
        return false;
    for (;;) {
        const BYTE* rec = nullptr;
        XrGeomStorage::XrRecordType kind = XrGeomStorage::RecPoint;
        const XrGeomCursor::Status s = cursor->get_next_record(rec, kind);
        if (s == XrGeomCursor::END)
            return true;
        if (s != XrGeomCursor::OK)
            return false;
        if (kind != XrGeomStorage::RecPolyline)
            continue;
        XrPolygon line;
        if (!read_polygon_from_cursor(line, kind, rec, cursor.get(), false) || line.get_point_count() < 2)
            continue;
        Road road;
        for (int i = 0; i < line.get_point_count(); ++i) {
            XrPoint p;
            line.get_point(i, p);
            road.points.emplace_back(p.x, p.y);
        }
        roads.push_back(std::move(road));
    }
}

int run_track(const std::vector<std::string>& args)
{
    if (args.size() != 2 && args.size() != 3)
        return probe_usage(track_cmd);
    double speed = 12;
    if (args.size() == 3) {
        char* end = nullptr;
        speed = std::strtod(args[2].c_str(), &end);
        if (end == args[2].c_str() || *end != 0 || !(speed > 0 && speed < 1000))
            return probe_usage(track_cmd);
    }
    XrProbeRoadData data;
    if (!data.open(args[0], "track"))
        return 1;
    std::vector<Road> roads;
    if (!read_roads(data, roads)) {
        std::fprintf(stderr, "kestrova-probe track: the road geometry of %s is damaged\n", args[0].c_str());
        return 1;
    }
    auto to_lat_lon = [&](const std::pair<int, int>& p) {
        LatLon l{0, 0};
        data.projection->from_map(p.first, p.second, l.lon, l.lat);
        return l;
    };
    // Lengths, and the roads by their end points.
    std::multimap<std::pair<int, int>, std::size_t> ends;
    std::size_t longest = roads.size();
    for (std::size_t i = 0; i < roads.size(); ++i) {
        Road& r = roads[i];
        for (std::size_t k = 1; k < r.points.size(); ++k)
            r.length += distance_m(to_lat_lon(r.points[k - 1]), to_lat_lon(r.points[k]));
        ends.emplace(r.points.front(), i);
        ends.emplace(r.points.back(), i);
        if (longest == roads.size() || r.length > roads[longest].length)
            longest = i;
    }
    if (longest == roads.size() || roads[longest].length <= 0) {
        std::fprintf(stderr, "kestrova-probe track: no road in %s\n", args[0].c_str());
        return 1;
    }

    // Out: the longest road, then on where the heading changes least.
    std::vector<std::pair<int, int>> path = roads[longest].points;
    std::vector<bool> used(roads.size(), false);
    used[longest] = true;
    double length = roads[longest].length;
    while (length < max_length_m) {
        const auto here = path.back();
        const auto before = path[path.size() - 2];
        const double heading = std::atan2(here.second - before.second, here.first - before.first);
        std::size_t best = roads.size();
        bool best_reversed = false;
        double best_turn = 0;
        const auto range = ends.equal_range(here);
        for (auto it = range.first; it != range.second; ++it) {
            const Road& r = roads[it->second];
            if (used[it->second])
                continue;
            const bool reversed = r.points.front() != here;
            const auto next = reversed ? r.points[r.points.size() - 2] : r.points[1];
            double turn = std::fabs(std::atan2(next.second - here.second, next.first - here.first) - heading);
            if (turn > 3.14159265358979323846)
                turn = 2 * 3.14159265358979323846 - turn;
            if (best == roads.size() || turn < best_turn) {
                best = it->second;
                best_reversed = reversed;
                best_turn = turn;
            }
        }
        if (best == roads.size())
            break;
        used[best] = true;
        const Road& r = roads[best];
        if (best_reversed)
            path.insert(path.end(), r.points.rbegin() + 1, r.points.rend());
        else
            path.insert(path.end(), r.points.begin() + 1, r.points.end());
        length += r.length;
    }

    // And back the same way.
    std::vector<LatLon> track;
    for (const auto& p : path)
        track.push_back(to_lat_lon(p));
    for (std::size_t i = path.size() - 1; i-- > 0;)
        track.push_back(to_lat_lon(path[i]));
    const std::string tmp = args[1] + ".part";
    FILE* out = std::fopen(tmp.c_str(), "w");
    if (out == nullptr) {
        std::fprintf(stderr, "kestrova-probe track: cannot write %s\n", args[1].c_str());
        return 1;
    }
    double t = 0;
    std::fprintf(out, "%.1f,%.7f,%.7f\n", t, track[0].lat, track[0].lon);
    for (std::size_t i = 1; i < track.size(); ++i) {
        t += std::max(distance_m(track[i - 1], track[i]) / speed, 0.1);
        std::fprintf(out, "%.1f,%.7f,%.7f\n", t, track[i].lat, track[i].lon);
    }
    if (std::fclose(out) != 0 || std::rename(tmp.c_str(), args[1].c_str()) != 0) {
        std::fprintf(stderr, "kestrova-probe track: cannot write %s\n", args[1].c_str());
        std::remove(tmp.c_str());
        return 1;
    }
    return 0;
}

} // namespace
