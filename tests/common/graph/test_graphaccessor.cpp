#include "common/graph/xr_graphaccessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>

#include "common/container/xr_bytes.h"
#include "common/db/xr_heapgeomstorage.h"
#include "common/geometry/xr_polygon.h"
#include "common/graph/xr_graphaccessor_alloc_maemo.h"
#include "common/graph/xr_graphlayout.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tests/common/graph/graph_fixture.h"

using namespace xr_graph;

namespace {

struct Written {
    XrNetwork net;
    XrGraphWriterResult result;
    std::vector<BYTE> bytes;
    std::string geometry;
};

Written write_network(const XrTempRoot& root, XrNetwork net, const XrGraphWriterOptions& opt)
{
    Written w;
    w.net = std::move(net);
    w.geometry = root.dir() + "/roads.qt";
    std::string error;
    EXPECT_TRUE(build_graph(w.net, opt, w.geometry, w.bytes, w.result, error)) << error;
    return w;
}

// Edge index of a handle, through the writer's placement.
int edge_of(XrGraphAccessor2& acc, const Written& w, int handle)
{
    const int tile = acc.xr_mapped_handle_tile(handle);
    const bool main = (handle & HANDLE_MAIN) != 0;
    for (size_t i = 0; i < w.net.edges.size(); ++i) {
        const int t = w.result.tile_numbers[i];
        if (w.result.main_level[i] == main && w.result.edge_numbers[i] == (handle & HANDLE_EDGE) &&
            (main ? (t - acc.get_num_inner_nodes()) / 4 == (tile - acc.get_num_inner_nodes()) / 4 : t == tile))
            return static_cast<int>(i);
    }
    return -1;
}

XrPoint midpoint_of(const Written& w, size_t i)
{
    auto* a = new XrFileStorageAccessor();
    EXPECT_TRUE(a->open(XrString(w.geometry.c_str()), true));
    XrSimpleGeomStorage gs(a, true, false, nullptr);
    EXPECT_EQ(gs.open(), 0);
    std::unique_ptr<XrGeomCursor> cur(gs.get_cursor(nullptr, 0));
    XrPolygon poly(true);
    XrPoint mid;
    EXPECT_TRUE(XrGraphAccessor2::read_polyline(cur.get(), w.result.gids[i], poly, nullptr));
    EXPECT_TRUE(XrGraphAccessor2::get_midpoint(poly, mid));
    return mid;
}

// Every edge is found by gid and decodes to what the model says; every
// connection leads to the edge the model connects.
void check_round_trip(const Written& w, int cache_limit, XrTileHeap* heap)
{
    XrMemoryStorageAccessor storage(true, const_cast<BYTE*>(w.bytes.data()), static_cast<std::uint32_t>(w.bytes.size()),
                                    false);
    XrGraphAccessor2 acc(&storage, cache_limit, heap);
    XrRoutingParams params;
    ASSERT_EQ(acc.open(&params), 0);
    EXPECT_EQ(params.values[11], 10000);
    auto* a = new XrFileStorageAccessor();
    ASSERT_TRUE(a->open(XrString(w.geometry.c_str()), true));
    XrSimpleGeomStorage gs(a, true, false, nullptr);
    ASSERT_EQ(gs.open(), 0);
    for (size_t i = 0; i < w.net.edges.size(); ++i) {
        const XrNetworkEdge& m = w.net.edges[i];
        const int h = acc.get_edge_handle_by_geometry(&gs, w.result.gids[i], nullptr);
        ASSERT_NE(h, NO_EDGE) << "edge " << i;
        EXPECT_EQ((h & HANDLE_MAIN) != 0, w.result.main_level[i]);
        XrGraphAccessor2::XrEdgeData e;
        ASSERT_EQ(acc.get_edge_by_handle(h, e), h);
        EXPECT_EQ(e.gid, w.result.gids[i]);
        EXPECT_EQ(e.road_category, m.category);
        EXPECT_EQ(e.restricted != 0, m.restricted);
        EXPECT_EQ(e.end_flag != 0, m.oneway == 0);
        EXPECT_EQ(acc.get_tile_flag(h), m.tile_flag || acc.get_tile_flag(h));
        double len = 0;
        for (size_t k = 1; k < m.points.size(); ++k)
            len += m.points[k - 1].distance(m.points[k]);
        EXPECT_NEAR(e.length, len, 4.0) << "edge " << i;
        std::multiset<int> got;
        int ch = 0, turn = 0;
        while (acc.get_next_edge_connection(e, ch, turn)) {
            const int f = edge_of(acc, w, ch & ~HANDLE_DIRECTION);
            ASSERT_GE(f, 0);
            got.insert(f);
            XrGraphAccessor2::XrEdgeData fe;
            ASSERT_NE(acc.get_edge_by_handle(ch, fe), NO_EDGE);
            EXPECT_EQ(fe.gid, w.result.gids[static_cast<size_t>(f)]);
            const int fdir = (turn & TURN_TARGET_DIR) ? 1 : 0;
            const int ow = w.net.edges[static_cast<size_t>(f)].oneway;
            EXPECT_EQ((ch & HANDLE_DIRECTION) != 0, (ow == 1 && fdir == 0) || (ow == 2 && fdir == 1));
        }
        EXPECT_EQ(static_cast<int>(got.size()), e.num_connections);
    }
    EXPECT_EQ(acc.get_damage_count(), 0);
    if (cache_limit > 0) {
        EXPECT_LE(acc.get_cache_size(), std::max(cache_limit, 65535));
    }
}

struct RoundTripCase {
    const char* name;
    int coord_bits;
    int max_tile_edges;
    int columns;
    int long_links;
    int cache_limit;
    std::size_t heap_size; // 0: the shared heap
};

class GraphRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(GraphRoundTrip, WriterAndReaderAgree)
{
    const RoundTripCase& c = GetParam();
    XrTempRoot root;
    XrGridOptions g;
    g.columns = c.columns;
    g.rows = c.columns;
    g.long_links = c.long_links;
    g.seed = static_cast<std::uint32_t>(c.columns * 7 + c.coord_bits);
    XrGraphWriterOptions opt;
    opt.coord_bits = c.coord_bits;
    opt.max_tile_edges = c.max_tile_edges;
    Written w = write_network(root, xr_make_grid_network(g), opt);
    ASSERT_FALSE(w.bytes.empty());
    std::unique_ptr<XrTileHeap> heap(c.heap_size ? new XrTileHeap(c.heap_size) : nullptr);
    check_round_trip(w, c.cache_limit, heap.get());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GraphRoundTrip,
    ::testing::Values(RoundTripCase{"bits8", 8, 60, 12, 3, 0x80000, 0},
                      RoundTripCase{"bits12", 12, 60, 12, 3, 0x80000, 0},
                      RoundTripCase{"long_links", 0, 40, 16, 40, 0x80000, 0},
                      RoundTripCase{"one_leaf", 0, 2048, 5, 0, 0x80000, 0},
                      RoundTripCase{"small_heap", 0, 30, 14, 10, 0x10000, XrTileHeap::MIN_SIZE},
                      RoundTripCase{"tiny_limit", 12, 20, 10, 5, 1, 0}),
    [](const ::testing::TestParamInfo<RoundTripCase>& i) { return std::string(i.param.name); });

TEST(GraphAccessor, RefusesShortFilesAndOtherVersions)
{
    std::vector<BYTE> bytes(HEADER_SIZE - 1, 0);
    XrMemoryStorageAccessor short_file(true, bytes.data(), static_cast<std::uint32_t>(bytes.size()), false);
    XrGraphAccessor2 a(&short_file, 0x80000);
    EXPECT_EQ(a.open(nullptr), 1);
    bytes.assign(HEADER_SIZE, 0);
    xr_bytes::put_u32_le(bytes.data(), 5);
    XrMemoryStorageAccessor v5(true, bytes.data(), static_cast<std::uint32_t>(bytes.size()), false);
    XrGraphAccessor2 b(&v5, 0x80000);
    EXPECT_EQ(b.open(nullptr), 2);
    XrRoutingParams p;
    EXPECT_FALSE(b.read_routing_params(&p));
    // An index that does not fit in the file.
    xr_bytes::put_u32_le(bytes.data(), 6);
    xr_bytes::put_u16_le(bytes.data() + OFF_NUM_INDEX_TILES, 3);
    xr_bytes::put_u16_le(bytes.data() + OFF_NUM_INNER_NODES, 1);
    XrMemoryStorageAccessor cut(true, bytes.data(), static_cast<std::uint32_t>(bytes.size()), false);
    XrGraphAccessor2 c(&cut, 0x80000);
    EXPECT_EQ(c.open(nullptr), 1);
}

TEST(GraphAccessor, RoutingParametersComeFromTheHeader)
{
    XrTempRoot root;
    XrGridOptions g;
    g.columns = g.rows = 3;
    XrGraphWriterOptions opt;
    opt.level_mode = 1;
    opt.level_distance = 12345;
    opt.flag_b = true;
    opt.pruning[3][1][1] = 77; // A2 row 2 multiplier
    opt.category_limits[1][4] = 4444;
    opt.routing_values[6] = 66;
    opt.routing_values[7] = 77;
    opt.routing_values[16] = 1616;
    Written w = write_network(root, xr_make_grid_network(g), opt);
    XrMemoryStorageAccessor s(true, w.bytes.data(), static_cast<std::uint32_t>(w.bytes.size()), false);
    XrGraphAccessor2 a(&s, 0x80000);
    XrRoutingParams p;
    ASSERT_TRUE(a.read_routing_params(&p));
    EXPECT_EQ(p.level_mode, 1u);
    EXPECT_EQ(p.level_distance, 12345u);
    EXPECT_TRUE(p.flag_b);
    EXPECT_TRUE(p.flag_c);
    EXPECT_EQ(p.a2[1].multiplier, 77u);
    EXPECT_EQ(p.b1[3].divisor, 32u);
    EXPECT_EQ(p.category_limits2[4], 4444);
    EXPECT_EQ(p.values[6], 66);
    EXPECT_EQ(p.values[7], 77);
    EXPECT_EQ(p.values[16], 1616);
}

TEST(GraphAccessor, MinusOneHandleLeavesTheEdgeUntouched)
{
    XrTempRoot root;
    XrGridOptions g;
    g.columns = g.rows = 3;
    Written w = write_network(root, xr_make_grid_network(g), XrGraphWriterOptions());
    XrMemoryStorageAccessor s(true, w.bytes.data(), static_cast<std::uint32_t>(w.bytes.size()), false);
    XrGraphAccessor2 a(&s, 0x80000);
    ASSERT_EQ(a.open(nullptr), 0);
    XrGraphAccessor2::XrEdgeData e;
    e.length = 1234;
    EXPECT_EQ(a.get_edge_by_handle(-1, e), -1);
    EXPECT_EQ(e.length, 1234);
    EXPECT_EQ(a.get_edge_end_state(-1), 3);
    // Bit 11 reads the same edge.
    const int h = a.get_edge_handle_by_gid(midpoint_of(w, 0).x, midpoint_of(w, 0).y, w.result.gids[0]);
    ASSERT_NE(h, -1);
    XrGraphAccessor2::XrEdgeData e1, e2;
    ASSERT_NE(a.get_edge_by_handle(h, e1), -1);
    ASSERT_NE(a.get_edge_by_handle(h | HANDLE_DIRECTION, e2), -1);
    EXPECT_EQ(e1.gid, e2.gid);
}

TEST(GraphAccessor, AnswersTheStreetFindersDirectionQuestions)
{
    // A chain of three edges; the middle one is one way either way or two-way.
    struct Case {
        int oneway;
        int state;
    };
    const Case cases[] = {{0, XrEdgeDirections::BothWays},
                          {1, XrEdgeDirections::ForwardOnly},
                          {2, XrEdgeDirections::BackwardOnly}};
    for (const Case& c : cases) {
        XrTempRoot root;
        XrNetwork net;
        for (int i = 0; i < 3; ++i) {
            XrNetworkEdge e;
            e.points = {XrPoint(1000 * i, 0), XrPoint(1000 * (i + 1), 0)};
            e.oneway = i == 1 ? c.oneway : 0;
            net.edges.push_back(e);
        }
        Written w = write_network(root, net, XrGraphWriterOptions());
        XrMemoryStorageAccessor s(true, w.bytes.data(), static_cast<std::uint32_t>(w.bytes.size()), false);
        XrGraphAccessor2 a(&s, 0x80000);
        ASSERT_EQ(a.open(nullptr), 0);
        XrEdgeDirections& asked = a;
        const int h = asked.get_edge_handle_by_gid(1500, 0, w.result.gids[1]);
        ASSERT_NE(h, -1) << c.oneway;
        EXPECT_EQ(asked.get_edge_end_state(h), c.state) << c.oneway;
        EXPECT_EQ(asked.get_edge_handle_by_gid(1500, 0, w.result.gids[1] + 1000), -1);
        EXPECT_EQ(asked.get_edge_end_state(-1), XrEdgeDirections::Unknown);
    }
}

TEST(GraphAccessor, KnownTilesKeepTheirHandlesWhenThePlacesRunOut)
{
    XrTempRoot root;
    XrGridOptions g;
    g.columns = g.rows = 4;
    Written w = write_network(root, xr_make_grid_network(g), XrGraphWriterOptions());
    XrMemoryStorageAccessor s(true, w.bytes.data(), static_cast<std::uint32_t>(w.bytes.size()), false);
    XrGraphAccessor2 a(&s, 0x80000);
    ASSERT_EQ(a.open(nullptr), 0);
    const int t = a.get_num_inner_nodes();
    const int h1 = a.make_handle(t, false, 3);
    EXPECT_EQ(a.make_handle(t, false, 3), h1);
    EXPECT_EQ(a.xr_mapped_handle_tile(h1), t);
    EXPECT_EQ(a.make_handle(t - 1, false, 0), -1); // an inner node
    EXPECT_EQ(a.make_handle(t + 4 * a.get_num_leaves(), false, 0), -1);
}

TEST(GraphAccessor, DistanceEdgeCasesOfTheQuadtree)
{
    EXPECT_EQ(quadrant(5, 5, 5, 5), 0);
    EXPECT_EQ(quadrant(6, 5, 5, 5), 1);
    EXPECT_EQ(quadrant(5, 6, 5, 5), 2);
    EXPECT_EQ(quadrant(6, 6, 5, 5), 3);
    EXPECT_EQ(combine_reference(0x12345678u, 0x3ABCu), (0x12340000u | 0x30000u | 0x0ABCu));
}

TEST(GraphAccessor, LengthCodingOfLongEdges)
{
    // Two-byte stored values: 49999 -> 199996, 50000 -> 0, 50001 -> 4000.
    XrTempRoot root;
    XrNetwork net;
    for (int len : {199996, 4000, 1000}) {
        XrNetworkEdge e;
        const int y = static_cast<int>(net.edges.size()) * 10;
        e.points = {XrPoint(0, y), XrPoint(len, y)};
        net.edges.push_back(e);
    }
    Written w = write_network(root, net, XrGraphWriterOptions());
    XrMemoryStorageAccessor s(true, w.bytes.data(), static_cast<std::uint32_t>(w.bytes.size()), false);
    XrGraphAccessor2 a(&s, 0x80000);
    ASSERT_EQ(a.open(nullptr), 0);
    const int expect[] = {199996, 4000, 1000};
    for (size_t i = 0; i < 3; ++i) {
        const XrPoint m = midpoint_of(w, i);
        XrGraphAccessor2::XrEdgeData e;
        ASSERT_NE(a.get_edge_by_handle(a.get_edge_handle_by_gid(m.x, m.y, w.result.gids[i]), e), -1);
        EXPECT_EQ(e.length, expect[i]);
    }
}

// A damaged tile is reported, not asserted or retried without end.
TEST(GraphAccessor, DamagedTileIsSkippedAndCounted)
{
    XrTempRoot root;
    XrGridOptions g;
    g.columns = g.rows = 6;
    Written w = write_network(root, xr_make_grid_network(g), XrGraphWriterOptions());
    const int inner = w.result.inner_nodes;
    std::vector<BYTE> bytes = w.bytes;
    // Spoil every tile's zlib stream.
    for (int l = 0; l < w.result.leaves; ++l) {
        BYTE* leaf = bytes.data() + HEADER_SIZE + INNER_NODE_SIZE * inner + LEAF_SIZE * l;
        std::uint32_t off = xr_bytes::get_u32_le(leaf) & ~LEAF_TILE_FLAG;
        for (int s = 0; s < TILES_PER_LEAF; ++s) {
            const int len = xr_bytes::get_u16_le(leaf + 4 + 2 * s);
            if (len > 4)
                bytes[off + 4] ^= 0x55;
            off += static_cast<std::uint32_t>(len);
        }
    }
    XrMemoryStorageAccessor s(true, bytes.data(), static_cast<std::uint32_t>(bytes.size()), false);
    XrGraphAccessor2 a(&s, 0x80000);
    ASSERT_EQ(a.open(nullptr), 0);
    const XrPoint m = midpoint_of(w, 0);
    EXPECT_EQ(a.get_edge_handle_by_gid(m.x, m.y, w.result.gids[0]), -1);
    EXPECT_GT(a.get_damage_count(), 0);
    EXPECT_GT(a.get_cache_stats().failures, 0);
    const int h = a.make_handle(inner, false, 0);
    XrGraphAccessor2::XrEdgeData e;
    EXPECT_EQ(a.get_edge_by_handle(h, e), -1);
}

TEST(GraphAccessor, CacheEvictionEmptiesTheList)
{
    XrTempRoot root;
    XrGridOptions g;
    g.columns = g.rows = 6;
    Written w = write_network(root, xr_make_grid_network(g), XrGraphWriterOptions());
    XrMemoryStorageAccessor s(true, w.bytes.data(), static_cast<std::uint32_t>(w.bytes.size()), false);
    XrGraphAccessor2 a(&s, 0x80000);
    ASSERT_EQ(a.open(nullptr), 0);
    int len = -1;
    const BYTE* d = a.get_tile_data(a.get_num_inner_nodes(), true, len);
    ASSERT_NE(d, nullptr);
    EXPECT_GT(a.get_cache_size(), 0);
    EXPECT_FALSE(a.free_cache(0));
    EXPECT_TRUE(a.free_cache(1));
    EXPECT_EQ(a.get_cache_size(), 0);
    EXPECT_FALSE(a.free_cache(-1));
    // A zero-length tile gives no data bytes.
    bool empty_found = false;
    for (int t = a.get_num_inner_nodes(); t < a.get_num_inner_nodes() + 4 * a.get_num_leaves() && !empty_found; ++t) {
        const BYTE* p = a.get_tile_data(t, false, len);
        if (p != nullptr && len == 0)
            empty_found = true;
    }
    (void)empty_found;
}

TEST(TileHeap, SplitsOnlyAboveTheSlackAndMergesNeighbours)
{
    XrTileHeap heap(XrTileHeap::MIN_SIZE);
    void* a = heap.alloc(1000);
    ASSERT_NE(a, nullptr);
    void* b = heap.alloc(1000);
    void* c = heap.alloc(1000);
    ASSERT_NE(c, nullptr);
    heap.free(b);
    // The free block of 1000 bytes: a request leaving 144 spare bytes takes it whole.
    void* d = heap.alloc(1000 - 144);
    EXPECT_EQ(d, b);
    EXPECT_EQ(XrTileHeap::block_size(d), 1000u);
    heap.free(d);
    // 152 spare bytes split it.
    void* e = heap.alloc(1000 - 152);
    EXPECT_EQ(e, b);
    EXPECT_EQ(XrTileHeap::block_size(e), 1000u - 152u);
    heap.free(e);
    heap.free(a);
    heap.free(c);
    EXPECT_EQ(heap.get_used(), 0u);
    // Everything merged back: the largest request fits again.
    void* all = heap.alloc(heap.get_mapped_size() - XrTileHeap::header_size());
    EXPECT_NE(all, nullptr);
    EXPECT_EQ(heap.alloc(8), nullptr);
    heap.free(all);
    EXPECT_EQ(heap.alloc(0), nullptr);
}

} // namespace
