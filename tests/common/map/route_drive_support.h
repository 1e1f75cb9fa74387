// A generated road network for scripted drives: the graph file and road
// geometry written by tools/mapgen, routes searched over them, and the path a
// driver follows along given points at a given speed (1 fix a second).
#pragma once

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/db/xr_heapgeomstorage.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/graph_writer.h"

namespace xr_drive_test {

// Map units are metres; the network lies around this point.
constexpr int OX = 100000;
constexpr int OY = 200000;

inline XrPoint P(int x, int y)
{
    return XrPoint(OX + x, OY + y);
}

inline XrNetworkEdge road(std::vector<XrPoint> pts, int type = 4, int category = 3, int oneway = 0)
{
    XrNetworkEdge e;
    e.points = std::move(pts);
    e.road_type = type;
    e.category = category;
    e.speed_class = type == 1 ? 0 : 3;
    e.oneway = oneway;
    return e;
}

// The network and its files, kept open for searches and for the route
// layer's street matching.
class XrDriveNetwork {
public:
    XrDriveNetwork(const XrNetwork& net, const std::string& folder) : net(net)
    {
        graph_path = folder + "/graph.bin";
        geometry_path = folder + "/roads.qt";
        ok = write_graph(graph_path, geometry_path, net, XrGraphWriterOptions(), result, error);
        if (!ok)
            return;
        auto* acc = new XrFileStorageAccessor();
        acc->open(XrString(geometry_path.c_str()), true);
        geometry = std::make_unique<XrSimpleGeomStorage>(acc, true, false, nullptr);
        geometry->open();
        graph_file = std::make_unique<XrFileStorageAccessor>();
        graph_file->open(XrString(graph_path.c_str()), true);
        graph = std::make_unique<XrGraphAccessor2>(graph_file.get(), 0x80000);
        ok = graph->open(nullptr) == 0;
    }

    // A route from a point of edge a to a point of edge b; null on failure.
    XrRouteInstructions* route(size_t a, XrPoint pa, size_t b, XrPoint pb, int heading = -1)
    {
        XrDijkstraPath2 search(graph.get(), geometry.get(), XrString(), nullptr);
        search.set_pruning(false);
        XrRouteInstructions* res = nullptr;
        if (!search.find_route(pa, result.gids[a], pb, result.gids[b], &res, nullptr, heading, -1, false, false,
                               nullptr))
            return nullptr;
        return res;
    }

    XrNetwork net;
    std::string graph_path;
    std::string geometry_path;
    XrGraphWriterResult result;
    std::string error;
    bool ok = false;
    std::unique_ptr<XrSimpleGeomStorage> geometry;
    std::unique_ptr<XrFileStorageAccessor> graph_file;
    std::unique_ptr<XrGraphAccessor2> graph;
};

// "code w2 w3 w5" per directive, first to drive first.
inline std::string dump_directives(const XrRouteInstructions& r)
{
    std::ostringstream out;
    for (int i = r.directives.items() - 1; i >= 0; --i) {
        const auto* d = r.directives.get_item_ptr(i);
        out << d->words[0] << ' ' << (d->words[0] == 13 ? (d->words[1] & 0xFFFF) : d->words[1]) << ' '
            << d->words[2] << ' ' << d->words[4] << " L" << d->words[7] << " A" << d->words[8];
        if (i > 0)
            out << " | ";
    }
    return out.str();
}

// One fix of a drive.
struct XrFix {
    XrPoint position;
    int heading = 0; // degrees, east 0, anticlockwise (the map's y grows north)
};

// Fixes every step metres along the polyline through points, from its
// first point to its last (the last point included).
inline std::vector<XrFix> drive_along(const std::vector<XrPoint>& points, double step)
{
    std::vector<XrFix> fixes;
    double carry = 0.0;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        const double dx = points[i + 1].x - points[i].x;
        const double dy = points[i + 1].y - points[i].y;
        const double len = std::sqrt(dx * dx + dy * dy);
        if (len <= 0)
            continue;
        int heading = static_cast<int>(std::lround(std::atan2(dy, dx) * 180.0 / M_PI));
        if (heading < 0)
            heading += 360;
        for (double t = carry; t < len; t += step) {
            XrFix f;
            f.position = XrPoint(points[i].x + static_cast<int>(std::lround(dx * t / len)),
                                 points[i].y + static_cast<int>(std::lround(dy * t / len)));
            f.heading = heading;
            fixes.push_back(f);
            carry = t + step - len;
        }
    }
    XrFix last;
    last.position = points.back();
    last.heading = fixes.empty() ? 0 : fixes.back().heading;
    fixes.push_back(last);
    return fixes;
}

} // namespace xr_drive_test
