// A generated grid road network compiled into a graph file, for the route
// benchmarks: columns x columns junctions `spacing` map units apart, with
// jitter, a few dropped and one-way roads, opened for route searches.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "common/db/xr_heapgeomstorage.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/storage/xr_storageaccessor.h"
#include "tests/common/graph/graph_fixture.h"

struct XrBenchGrid {
    std::string dir;
    int columns;
    int spacing = 200;
    XrNetwork net;
    XrGraphWriterResult result;
    std::vector<BYTE> bytes;
    std::unique_ptr<XrMemoryStorageAccessor> storage;
    std::unique_ptr<XrGraphAccessor2> graph;
    std::unique_ptr<XrSimpleGeomStorage> geometry;

    explicit XrBenchGrid(int columns_) : columns(columns_)
    {
        char tmpl[] = "/tmp/xr_bench_grid_XXXXXX";
        dir = mkdtemp(tmpl);
        XrGridOptions g;
        g.columns = g.rows = columns;
        g.spacing = spacing;
        g.jitter = 30;
        g.drop = 0.03;
        g.oneway = 0.05;
        g.long_links = 0;
        g.bends = 0;
        net = xr_make_grid_network(g);
        std::string error;
        if (!build_graph(net, XrGraphWriterOptions(), dir + "/roads.qt", bytes, result, error)) {
            std::fprintf(stderr, "bench grid: %s\n", error.c_str());
            std::abort();
        }
        storage.reset(new XrMemoryStorageAccessor(true, bytes.data(), static_cast<std::uint32_t>(bytes.size()), false));
        graph.reset(new XrGraphAccessor2(storage.get(), 64 << 20));
        graph->open(nullptr);
        auto* a = new XrFileStorageAccessor();
        a->open(XrString((dir + "/roads.qt").c_str()), true);
        geometry.reset(new XrSimpleGeomStorage(a, true, false, nullptr));
        geometry->open();
    }
    ~XrBenchGrid()
    {
        geometry.reset();
        std::filesystem::remove_all(dir);
    }
    XrBenchGrid(const XrBenchGrid&) = delete;
    XrBenchGrid& operator=(const XrBenchGrid&) = delete;

    XrPoint mid(std::size_t i) const
    {
        const XrNetworkEdge& e = net.edges[i];
        return XrPoint((e.points.front().x + e.points.back().x) / 2, (e.points.front().y + e.points.back().y) / 2);
    }

    // A pair of two-way horizontal edges of the middle row about km
    // kilometres apart.
    std::pair<std::size_t, std::size_t> pair_for(int km) const
    {
        const int row = columns / 2;
        const int steps = km * 1000 / spacing;
        std::size_t a = 0, b = 0;
        bool found = false;
        for (std::size_t i = 0; i < net.edges.size(); ++i) {
            const XrNetworkEdge& e = net.edges[i];
            const int dy = e.points.front().y - net.edges[0].points.front().y;
            if (e.oneway || dy < row * spacing - 60 || dy > row * spacing + 60 ||
                e.points.front().x == e.points.back().x)
                continue;
            const int col = (e.points.front().x - net.edges[0].points.front().x + spacing / 2) / spacing;
            if (!found && col >= 10) {
                a = i;
                found = true;
            }
            if (found && col >= 10 + steps) {
                b = i;
                break;
            }
        }
        return {a, b};
    }
};
