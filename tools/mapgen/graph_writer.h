// Writer of the road graph file "graph.bin" and of the road geometry file
// that goes with it, from a network model: polylines with road classes,
// one-ways, restricted edges, turn restrictions and turn classes. Each edge
// lives in the tile that holds its polyline midpoint.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "common/container/xr_defs.h"
#include "common/geometry/xr_point.h"
#include "common/graph/xr_graphlayout.h"

struct XrNetworkEdge {
    std::vector<XrPoint> points; // direction 1 runs from the first point to the last
    int category = 4;            // 0 (major) .. 7
    int road_type = 0;           // stored road type 0..7
    int speed_class = 3;         // stored speed class 0..7
    int oneway = 0;              // 0 both ways, 1 only in direction 1, 2 only in direction 0
    bool restricted = false;
    bool tile_flag = false;      // marks the leaf that holds the edge
    int main_level = -1;         // 1 main-level tile, 0 detail tile, -1 by category
    bool named = false;          // carries a street name (see name_references)
};

// A turn with given bits (overrides the computed turn byte bits 0-5).
struct XrNetworkTurn {
    int from = 0;
    int to = 0;
    int turn_class = 0;
    int kind = 0;
    bool side = false;
};

// A penalised sequence of edges: edges[0] is entered from edges[1], which was
// entered from edges[2] (and edges[3]); two to four edges.
struct XrNetworkManoeuvre {
    std::vector<int> edges;
};

struct XrNetwork {
    std::vector<XrNetworkEdge> edges;
    std::vector<XrNetworkTurn> turns;
    std::vector<XrNetworkManoeuvre> manoeuvres;
};

struct XrGraphWriterOptions {
    int max_tile_edges = 600;     // edges per tile (at most 2048)
    int coord_bits = 0;           // 8 or 12 to force the delta coding, 0 to choose
    int main_max_category = 2;    // categories up to this go to main-level tiles
    // Routing parameters in the header (defaults of the route search).
    int level_mode = 2;
    std::uint32_t level_distance = 200000;
    bool geom_opt = true;
    bool flag_b = false;
    bool flag_c = true;
    std::uint32_t pruning[6][5][3] = {
        {{5000, 2, 1}, {25000, 25, 16}, {100000, 22, 16}, {200000, 21, 16}, {400000, 38, 32}}, // A1
        {{5000, 2, 1}, {25000, 22, 16}, {100000, 19, 16}, {200000, 34, 32}, {400000, 33, 32}}, // B1
        {{5000, 2, 1}, {25000, 23, 16}, {100000, 22, 16}, {200000, 70, 64}, {400000, 66, 64}}, // C1
        {{5000, 2, 1}, {25000, 30, 16}, {100000, 24, 16}, {250000, 19, 16}, {400000, 37, 32}}, // A2
        {{5000, 2, 1}, {25000, 22, 16}, {100000, 19, 16}, {250000, 35, 32}, {400000, 34, 32}}, // B2
        {{5000, 2, 1}, {25000, 23, 16}, {100000, 22, 16}, {250000, 71, 64}, {400000, 68, 64}}, // C2
    };
    int category_limits[2][9] = {{-1, 200000, 50000, 10000, 5000, 3000, 2000, 500, 0},
                                 {-1, 200000, 50000, 10000, 5000, 3000, 2000, 500, 0}};
    std::array<int, xr_graph::ROUTING_VALUES> routing_values = std::to_array(xr_graph::ROUTING_VALUE_DEFAULTS);
    int geometry_bucket_bytes = 8192;
    // Road records keyed for the address database: each record's id is its
    // own gid and its 4 attribute bytes hold its street-name reference (the
    // gid again for a named edge, else 0); first points are not shared, so
    // every record takes at least ROAD_RECORD_MIN_BYTES and the address
    // database can keep a street record at each road's gid.
    bool name_references = false;
    int zlib_level = Z_DEFAULT_COMPRESSION; // of the tiles and the geometry buckets (9 when default)
};

// What the writer made: the gid of each edge (in the road geometry file)
// and where it was placed.
// With name_references: the attribute bytes of a road record (its street-name
// reference, little-endian) and the smallest record written.
constexpr int NAME_REFERENCE_BYTES = 4;
constexpr unsigned int ROAD_RECORD_MIN_BYTES = 15;

struct XrGraphWriterResult {
    std::vector<std::uint32_t> gids;
    std::vector<int> tile_numbers; // tile number (group's first number for the main level)
    std::vector<bool> main_level;
    std::vector<int> edge_numbers;
    int inner_nodes = 0;
    int leaves = 0;
};

// Polyline aux bits of the road geometry records: one way in direction 1 / 0.
constexpr int XR_ROAD_ONEWAY_FORWARD = 32;
constexpr int XR_ROAD_ONEWAY_BACKWARD = 64;

// Category limits that fit a network, written into both limit sets of
// options. The backbone is the smallest set of the major categories whose
// largest connected part spans at least three quarters of the network's
// extent; the backbone and every category up to 4 are not limited in the
// first set, the minor categories keep their limits there. The second set
// limits no category. "Not limited" is written as a distance that no two
// points of the network exceed (the search also takes the limit of
// category 4 as the radius around the ends within which it leaves the main
// level, so -1 would keep it on the main level everywhere else).
void xr_fit_category_limits(const XrNetwork& net, XrGraphWriterOptions& options);
// The highest category of that backbone (7 for a network without edges).
int xr_backbone_category(const XrNetwork& net);

// Builds the road geometry file (XRQT) first and reads the gids back from
// it, then the graph. Errors name the edge.
bool build_graph(const XrNetwork& net, const XrGraphWriterOptions& options, std::vector<BYTE>& geometry,
                 std::vector<BYTE>& graph, XrGraphWriterResult& result, std::string& error);
// The same, with the road geometry file written to geometry_path.
bool build_graph(const XrNetwork& net, const XrGraphWriterOptions& options, const std::string& geometry_path,
                 std::vector<BYTE>& graph, XrGraphWriterResult& result, std::string& error);
// Both files, each through a temporary name.
bool write_graph(const std::string& graph_path, const std::string& geometry_path, const XrNetwork& net,
                 const XrGraphWriterOptions& options, XrGraphWriterResult& result, std::string& error);
