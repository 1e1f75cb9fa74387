// Reader of the road graph file "graph.bin": the header and quadtree tile
// index, edges decoded on demand from zlib tiles kept in a bounded cache.
// Damaged data never ends the process: a read that fails gives -1 or false
// and is counted (get_damage_count).
#pragma once

#include <cstdint>
#include <vector>

#include "common/addr/xr_edgedirections.h"
#include "common/container/xr_array.h"
#include "common/container/xr_defs.h"
#include "common/db/xr_gid.h"
#include "common/geometry/xr_point.h"
#include "common/graph/xr_routingparams.h"

class XrStorageAccessor;
class XrTileHeap;
class XrGeomStorage;
class XrGeomCursor;
class XrPolygon;

// The reader answers the street finder's questions on driving directions.
class XrGraphAccessor2 : public XrEdgeDirections {
public:
    struct XrEdgeData {
        int road_category = 0;
        int road_type = 0;
        int speed_class = 0;
        int num_connections = 0;
        XrGid gid = 0;
        std::uint8_t end_flag = 0;
        std::uint8_t restricted = 0;
        int length = 0;
        int x = 0;
        int y = 0;
        int first_connection = 0;
        int connection_cursor = 0;
        int connections_read = 0;
        int handle = -1;
        int dist_to_end = -1;
        int dist_to_start = -1;
        int record_offset = -1; // of the record in its tile, once decoded
    };

    // Counters of the tile cache.
    struct XrCacheStats {
        long long lookups = 0;
        long long hits = 0;
        long long inflates = 0;
        long long evictions = 0;
        long long failures = 0; // tiles that could not be read or held
    };

    // The storage is not owned. cache_limit: bytes of inflated tiles kept
    // (a tile in use is kept even above it). heap: null for the shared heap.
    XrGraphAccessor2(XrStorageAccessor* storage, int cache_limit, XrTileHeap* heap = nullptr);
    ~XrGraphAccessor2() override;
    XrGraphAccessor2(const XrGraphAccessor2&) = delete;
    XrGraphAccessor2& operator=(const XrGraphAccessor2&) = delete;

    // 0 on success, 1 when the file is short, unreadable or inconsistent, 2
    // for another version.
    int open(XrRoutingParams* params);
    bool read_routing_params(XrRoutingParams* params);

    // Tile number of the detail tile that holds a point; -1 when the index
    // is damaged.
    int find_tile_for_coordinate(int x, int y, bool coarse);
    // The handle, or -1 (edge untouched for -1; otherwise a damaged record).
    int get_edge_by_handle(int handle, XrEdgeData& edge);
    bool get_next_edge_connection(XrEdgeData& edge, int& handle, int& turn);
    // All connections not read yet, at once (room for 15 in each array);
    // their number. Stops at a damaged one.
    int get_edge_connections(XrEdgeData& edge, int* handles, int* turns);
    int get_edge_handle_by_gid(int x, int y, XrGid gid) override;
    // Reads the gid's polyline from the storage (into poly when given) and
    // looks the edge up at its midpoint; -1 when either fails.
    int get_edge_handle_by_geometry(XrGeomStorage* storage, XrGid gid, XrPolygon* poly);
    // 0 to 3 as XrEdgeDirections::EdgeEndState.
    int get_edge_end_state(int handle) override;
    bool get_tile_flag(int handle);
    // Tile number of a handle; -1 for an unknown place.
    int xr_mapped_handle_tile(int handle) const;
    // -1 when the tile number is out of range or no place is left.
    int make_handle(int tile, bool main, int e);

    // Stored references carry tile numbers where handles carry places.
    std::uint32_t handle_to_reference(int handle) const;
    // The handle of a stored reference, -1 when its tile has no place yet.
    int reference_to_handle(std::uint32_t ref) const;
    // The k-th manoeuvre entry whose first words are (r0, r1), stored
    // references; its words and their number.
    bool find_manoeuvre(std::uint32_t r1, std::uint32_t r0, int k, const std::uint32_t*& entry, int& count);
    bool has_manoeuvres() const { return manoeuvres1 > 0; }

    // Tile cache.
    int get_tile_pos(int tile, bool main, int& sub_tile) const;
    // The inflated data of a tile (length in len), or null when it cannot be
    // read or held.
    const BYTE* get_tile_data(int tile, bool main, int& len);
    void free_one_cache_item();
    bool free_cache(int n);

    int get_cache_limit() const { return cache_limit; }
    int get_cache_size() const { return cache_curr_size; }
    const XrCacheStats& get_cache_stats() const { return stats; }
    long long get_damage_count() const { return damage; }
    int get_num_inner_nodes() const { return num_index_inner_nodes; }
    int get_num_leaves() const { return num_index_tiles - num_index_inner_nodes; }
    int get_mapped_tile_count() const { return mapped_to_id_map.get_num_items(); }

    // The point at half the length of a polyline.
    static bool get_midpoint(const XrPolygon& poly, XrPoint& out);
    // Reads a polyline record by gid; flags gets its record type (one-way bits).
    static bool read_polyline(XrGeomCursor* cursor, XrGid gid, XrPolygon& poly, int* type);

    // Places are 16-bit: this many tiles can be handed out.
    static constexpr int MAX_PLACES = 0xFFFF;

private:
    struct CacheEntry {
        BYTE* blocks[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
        int older = -1;
        int newer = -1;
    };

    BYTE* read_tile(int leaf, int sub, bool& damaged);
    void unlink(int leaf);
    void link_head(int leaf);
    void evict(int leaf);
    // Evicts from the tail, sparing one entry; false when nothing could go.
    bool evict_except(int spare);
    const BYTE* leaf_record(int leaf) const { return index.data() + LEAF_BASE(leaf); }
    std::size_t LEAF_BASE(int leaf) const;
    // Decodes the record of edge e in a tile; false when damaged.
    bool locate(const BYTE* data, int len, int e, int& offset) const;
    // The record of a decoded edge in its tile: its remembered offset, else
    // looked up again.
    bool record_of(const BYTE* data, int len, const XrEdgeData& edge, int& offset) const;
    // Decodes the head of edge e of a tile of a leaf (no connections).
    bool parse_record(const BYTE* data, int len, int leaf, int e, XrEdgeData& edge) const;
    // The connection at the edge's cursor in its tile (record at off).
    bool decode_connection(const BYTE* data, int len, int tile, int off, XrEdgeData& edge, int& handle, int& turn);
    void note_damage() { ++damage; }

    XrStorageAccessor* storage;
    int cache_limit;
    int cache_curr_size = 0;
    int cache_head = -1; // most recently used leaf
    int cache_tail = -1;
    std::vector<BYTE> index;
    int num_index_tiles = 0;
    int num_index_inner_nodes = 0;
    int index_size = 0;
    std::uint16_t dictionary[128] = {};
    std::vector<CacheEntry> cache;
    XrTileHeap* heap;
    std::vector<BYTE> compressed; // the tile being read
    std::vector<BYTE> manoeuvre1;
    int manoeuvres1 = 0;
    std::vector<BYTE> manoeuvre2;
    int manoeuvres2 = 0;
    std::uint32_t scratch[3] = {0, 0, 0};
    std::uint32_t entry1[4] = {0, 0, 0, 0};
    XrArray<int> mapped_to_id_map;
    std::vector<int> tile_places; // tile number -> 1-based place, 0 none
    bool opened = false;
    // The tile returned last, while it stays in the cache.
    int last_tile = -1;
    bool last_main = false;
    int last_len = 0;
    const BYTE* last_data = nullptr;
    long long damage = 0;
    XrCacheStats stats;
};
