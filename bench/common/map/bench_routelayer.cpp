// Guidance on a 100 km route: the time of one position update of the route
// layer (route matching, instruction and announcement bookkeeping), one fix
// every 25 m along the route; and the same with the street match that the
// application asks for with every fix.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "common/addr/xr_streetfinder.h"
#include "common/db/xr_simplegeomstorage.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/map/xr_routelayer.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/graph_writer.h"

namespace {

constexpr int kEdges = 500;
constexpr int kEdgeLength = 200; // 100 km

// A road running east with a gentle bend every few edges, and short side
// roads at every junction.
XrNetwork long_road()
{
    XrNetwork net;
    XrPoint p(100000, 200000);
    for (int k = 0; k < kEdges; ++k) {
        const int dy = (k / 5) % 2 == 0 ? kEdgeLength / 10 : -kEdgeLength / 10;
        XrPoint q(p.x + kEdgeLength, p.y + dy);
        XrNetworkEdge e;
        e.points = {p, XrPoint(p.x + kEdgeLength / 2, p.y + dy / 2), q};
        e.category = 2;
        e.road_type = 4;
        e.speed_class = 2;
        net.edges.push_back(e);
        XrNetworkEdge side;
        side.points = {q, XrPoint(q.x + 30, q.y + 150)};
        side.category = 5;
        side.road_type = 4;
        side.speed_class = 5;
        net.edges.push_back(side);
        p = q;
    }
    return net;
}

struct Drive {
    std::string dir;
    std::unique_ptr<XrFileStorageAccessor> graph_file;
    std::unique_ptr<XrGraphAccessor2> graph;
    std::unique_ptr<XrSimpleGeomStorage> roads;
    std::unique_ptr<XrRouteLayer> layer;
    bool ready = false;

    Drive()
    {
        char tmpl[] = "/tmp/xr-bench-route-XXXXXX";
        if (mkdtemp(tmpl) == nullptr)
            return;
        dir = tmpl;
        XrGraphWriterResult result;
        std::string error;
        const XrNetwork net = long_road();
        if (!write_graph(dir + "/graph.bin", dir + "/roads.qt", net, XrGraphWriterOptions(), result, error))
            return;
        graph_file = std::make_unique<XrFileStorageAccessor>();
        if (!graph_file->open(XrString((dir + "/graph.bin").c_str()), true))
            return;
        graph = std::make_unique<XrGraphAccessor2>(graph_file.get(), 0x80000);
        auto* file = new XrFileStorageAccessor();
        if (graph->open(nullptr) != 0 || !file->open(XrString((dir + "/roads.qt").c_str()), true)) {
            delete file;
            return;
        }
        roads = std::make_unique<XrSimpleGeomStorage>(file, true, false, nullptr);
        if (roads->open() != 0)
            return;
        const XrPoint from = net.edges.front().points.front();
        const XrPoint to = net.edges[net.edges.size() - 2].points.back();
        XrRouteInstructions* route = search(from, to);
        if (route == nullptr)
            return;
        layer = std::make_unique<XrRouteLayer>(nullptr, nullptr, 1, nullptr, nullptr);
        layer->initialize(roads.get(), nullptr);
        layer->set_graph_path(XrString((dir + "/graph.bin").c_str()));
        XrPtrArray<XrRouteInstructions*> list;
        list.append(route);
        layer->set_routes(&list, 0);
        ready = layer->get_route_length() > 99000;
    }
    ~Drive()
    {
        layer.reset();
        roads.reset();
        graph.reset();
        graph_file.reset();
        if (!dir.empty())
            std::system(("rm -rf '" + dir + "'").c_str());
    }

    XrRouteInstructions* search(const XrPoint& from, const XrPoint& to)
    {
        XrGid g1 = 0, g2 = 0;
        XrPoint p1, p2;
        for (int k = 0; k < 2; ++k) {
            XrStreetFinder finder(roads.get());
            size_t found = 0;
            const XrPoint& p = k == 0 ? from : to;
            if (finder.find_street(p, 200, 1, found, nullptr, nullptr, -1, nullptr, -1.0) != XrStreetFinder::OK ||
                found == 0)
                return nullptr;
            bool half = false;
            int segment = 0;
            double distance = 0;
            finder.get_result(0, k == 0 ? g1 : g2, half, segment, k == 0 ? p1 : p2, distance);
        }
        XrDijkstraPath2 dijkstra(graph.get(), roads.get(), XrString(), nullptr);
        XrRouteInstructions* res = nullptr;
        if (!dijkstra.find_route(p1, g1, p2, g2, &res, nullptr, -1, -1, false, false, nullptr))
            return nullptr;
        return res;
    }
};

Drive& drive()
{
    static Drive d;
    return d;
}

void run(benchmark::State& state, bool street_match)
{
    Drive& d = drive();
    if (!d.ready) {
        state.SkipWithError("no route");
        return;
    }
    XrRouteLayer& layer = *d.layer;
    const int length = layer.get_route_length();
    int along = 0;
    XrGid street = 0;
    XrPoint on_road;
    for (auto _ : state) {
        along += 25;
        if (along >= length - 50) {
            state.PauseTiming();
            along = 0;
            layer.select_route(0);
            state.ResumeTiming();
        }
        XrPoint p;
        short h = 0;
        layer.get_point_on_route(&p, &h, along);
        layer.update_position(p, -1, 25.0, false, street_match ? &street : nullptr,
                              street_match ? &on_road : nullptr, 0);
    }
    state.counters["route_km"] = length / 1000.0;
    state.counters["travelled_m"] = layer.get_distance_travelled();
}

void BM_UpdatePosition100km(benchmark::State& state) { run(state, false); }
void BM_UpdatePositionWithStreetMatch100km(benchmark::State& state) { run(state, true); }

} // namespace

BENCHMARK(BM_UpdatePosition100km)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UpdatePositionWithStreetMatch100km)->Unit(benchmark::kMicrosecond);
