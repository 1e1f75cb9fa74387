// Road networks for the route layer tests and benchmark: written to a
// temporary folder (graph.bin and roads.qt), opened, and searched for routes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/addr/xr_streetfinder.h"
#include "common/db/xr_simplegeomstorage.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/graph/xr_routeinstructions.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "support/xr_text_network.h"
#include "tools/mapgen/graph_writer.h"

// A town street: category 3, road type 4, speed class 3.
inline XrNetworkEdge xr_street(std::vector<XrPoint> points, int speed_class = 3)
{
    XrNetworkEdge e;
    e.points = std::move(points);
    e.category = 3;
    e.road_type = 4;
    e.speed_class = speed_class;
    return e;
}

// The ladder: a main road running east in edges of 500 m from (100000,
// 200000), a road north from E, and a parallel road 50 m north of the main
// road joined to it by two connectors. (Shifted by the origin's offset from
// (100000, 200000) when one is given.)
inline XrNetwork xr_ladder_network(int ox = 100000, int oy = 200000)
{
    return xr_text_network(R"(
        cell 250
        1000 |        I
         500 |        H
          50 |  J-K-L
           0 |A-B-C-D-E-F-G
        way
        AB
        BC
        CD
        DE
        EF
        FG
        EH
        HI
        BJ
        JK
        KL
        LD
    )",
                           XrPoint(ox, oy), xr_street({}))
        .net;
}

// A long road of edges of the given length (map units = metres) running
// east with a gentle bend every few edges.
inline XrNetwork xr_long_road_network(int edges, int length)
{
    XrNetwork net;
    XrPoint p(100000, 200000);
    for (int k = 0; k < edges; ++k) {
        const int dy = (k / 5) % 2 == 0 ? length / 10 : -length / 10;
        XrPoint mid(p.x + length / 2, p.y + dy / 2);
        XrPoint q(p.x + length, p.y + dy);
        net.edges.push_back(xr_street({p, mid, q}, 1));
        p = q;
    }
    return net;
}

// A network written and opened.
struct XrRouteMap {
    explicit XrRouteMap(const XrNetwork& n) : net(n)
    {
        graph_path = root.dir() + "/graph.bin";
        roads_path = root.dir() + "/roads.qt";
        std::string error;
        XrGraphWriterOptions options;
        EXPECT_TRUE(write_graph(graph_path, roads_path, net, options, result, error)) << error;
        graph_file = std::make_unique<XrFileStorageAccessor>();
        EXPECT_TRUE(graph_file->open(XrString(graph_path.c_str()), true));
        graph = std::make_unique<XrGraphAccessor2>(graph_file.get(), 0x80000);
        EXPECT_EQ(graph->open(nullptr), 0);
        auto* file = new XrFileStorageAccessor();
        EXPECT_TRUE(file->open(XrString(roads_path.c_str()), true));
        roads = std::make_unique<XrSimpleGeomStorage>(file, true, false, nullptr);
        EXPECT_EQ(roads->open(), 0);
    }

    // The nearest road of a point.
    bool snap(const XrPoint& p, XrGid& gid, XrPoint& on_road)
    {
        XrStreetFinder finder(roads.get());
        size_t found = 0;
        if (finder.find_street(p, 200, 1, found, nullptr, nullptr, -1, nullptr, -1.0) != XrStreetFinder::OK ||
            found == 0)
            return false;
        bool first_half = false;
        int segment = 0;
        double distance = 0;
        return finder.get_result(0, gid, first_half, segment, on_road, distance);
    }

    // A route between two points (null when none is found); owned by the caller.
    XrRouteInstructions* route(const XrPoint& from, const XrPoint& to, int heading = -1)
    {
        XrGid g1 = 0, g2 = 0;
        XrPoint p1, p2;
        if (!snap(from, g1, p1) || !snap(to, g2, p2))
            return nullptr;
        XrDijkstraPath2 search(graph.get(), roads.get(), XrString(), nullptr);
        XrRouteInstructions* res = nullptr;
        if (!search.find_route(p1, g1, p2, g2, &res, nullptr, heading, -1, false, false, nullptr))
            return nullptr;
        return res;
    }

    XrTempRoot root;
    XrNetwork net;
    std::string graph_path;
    std::string roads_path;
    XrGraphWriterResult result;
    std::unique_ptr<XrFileStorageAccessor> graph_file;
    std::unique_ptr<XrGraphAccessor2> graph;
    std::unique_ptr<XrSimpleGeomStorage> roads;
};
