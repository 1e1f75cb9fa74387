// Road networks for the graph tests, benchmarks and fuzz seeds: random grid
// networks, and a graph file written from them into a temporary folder.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tools/mapgen/graph_writer.h"

struct XrGridOptions {
    int columns = 10;
    int rows = 10;
    int spacing = 200;         // map units between junctions
    int jitter = 40;           // random offset of junctions
    double drop = 0.1;         // share of grid edges left out
    double oneway = 0.15;      // share of one-way edges
    int long_links = 4;        // straight links between far junctions
    int bends = 1;             // intermediate points per edge (at most)
    std::uint32_t seed = 1;
    int origin_x = 100000;
    int origin_y = 200000;
};

// A grid of junctions with random classes; edges meet only at junctions.
inline XrNetwork xr_make_grid_network(const XrGridOptions& o)
{
    std::mt19937 rng(o.seed);
    auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };
    std::vector<XrPoint> nodes;
    for (int r = 0; r < o.rows; ++r)
        for (int c = 0; c < o.columns; ++c)
            nodes.push_back(XrPoint(o.origin_x + c * o.spacing + uni(-o.jitter, o.jitter),
                                    o.origin_y + r * o.spacing + uni(-o.jitter, o.jitter)));
    XrNetwork net;
    auto add = [&](int a, int b, int category) {
        XrNetworkEdge e;
        const XrPoint& p = nodes[static_cast<size_t>(a)];
        const XrPoint& q = nodes[static_cast<size_t>(b)];
        e.points.push_back(p);
        const int bends = o.bends > 0 ? uni(0, o.bends) : 0;
        for (int k = 1; k <= bends; ++k) {
            const int x = p.x + static_cast<int>((static_cast<long long>(q.x) - p.x) * k / (bends + 1));
            const int y = p.y + static_cast<int>((static_cast<long long>(q.y) - p.y) * k / (bends + 1));
            e.points.push_back(XrPoint(x + uni(-o.jitter / 4, o.jitter / 4), y + uni(-o.jitter / 4, o.jitter / 4)));
        }
        e.points.push_back(q);
        e.category = category;
        e.road_type = category <= 1 ? 2 : 4;
        e.speed_class = std::min(7, category + uni(0, 1));
        e.oneway = chance(o.oneway) ? uni(1, 2) : 0;
        e.restricted = chance(0.02);
        e.tile_flag = chance(0.3);
        net.edges.push_back(std::move(e));
    };
    for (int r = 0; r < o.rows; ++r)
        for (int c = 0; c < o.columns; ++c) {
            const int n = r * o.columns + c;
            const int cat_h = (r % 5 == 0) ? 1 : (r % 2 == 0 ? 3 : 5);
            const int cat_v = (c % 5 == 0) ? 2 : (c % 2 == 0 ? 4 : 6);
            if (c + 1 < o.columns && !chance(o.drop))
                add(n, n + 1, cat_h);
            if (r + 1 < o.rows && !chance(o.drop))
                add(n, n + o.columns, cat_v);
        }
    for (int k = 0; k < o.long_links; ++k) {
        const int a = uni(0, static_cast<int>(nodes.size()) - 1);
        const int b = uni(0, static_cast<int>(nodes.size()) - 1);
        if (a != b)
            add(a, b, 0);
    }
    return net;
}
