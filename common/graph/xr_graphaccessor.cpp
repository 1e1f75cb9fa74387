#include "common/graph/xr_graphaccessor.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/db/xr_geomstorage.h"
#include "common/geometry/xr_polygon.h"
#include "common/graph/xr_graphaccessor_alloc_maemo.h"
#include "common/graph/xr_graphlayout.h"
#include "common/storage/xr_storageaccessor.h"

using namespace xr_graph;

namespace {

// Reads bytes through the storage accessor into a vector.
bool read_bytes(XrStorageAccessor* s, std::uint32_t off, std::uint32_t len, std::vector<BYTE>& out)
{
    out.clear();
    if (len == 0)
        return true;
    const BYTE* p = nullptr;
    if (s->get_ptr(off, len, &p) != XrStorageAccessor::OK || p == nullptr)
        return false;
    out.assign(p, p + len);
    s->release_ptr(p);
    return true;
}

void read_rows(XrByteCursor& c, int off, XrRoutingParams::Row* rows)
{
    c.seek(static_cast<std::size_t>(off));
    for (int r = 0; r < PRUNING_ROWS; ++r) {
        rows[r].distance = c.u32_le();
        rows[r].multiplier = c.u32_le();
        rows[r].divisor = c.u32_le();
    }
}

void fill_params(const std::vector<BYTE>& header, XrRoutingParams* p)
{
    XrByteCursor c(header);
    c.seek(OFF_LEVEL_MODE);
    p->level_mode = c.u8();
    p->level_distance = c.u32_le();
    p->geom_opt = c.u8() == 1;
    p->flag_b = c.u8() == 1;
    p->flag_c = c.u8() == 1;
    read_rows(c, OFF_PRUNING_A1, p->a1);
    read_rows(c, OFF_PRUNING_A2, p->a2);
    read_rows(c, OFF_PRUNING_B1, p->b1);
    read_rows(c, OFF_PRUNING_B2, p->b2);
    read_rows(c, OFF_PRUNING_C1, p->c1);
    read_rows(c, OFF_PRUNING_C2, p->c2);
    c.seek(OFF_CATEGORY_LIMITS1);
    for (int i = 0; i < CATEGORY_LIMITS; ++i)
        p->category_limits1[i] = c.i32_le();
    for (int i = 0; i < CATEGORY_LIMITS; ++i)
        p->category_limits2[i] = c.i32_le();
    c.seek(OFF_ROUTING_VALUES_0);
    for (int i = 0; i < 7; ++i)
        p->values[i] = c.i32_le();
    c.seek(OFF_ROUTING_VALUES_7);
    for (int i = 7; i < ROUTING_VALUES; ++i)
        p->values[i] = c.i32_le();
}

void adjust_type_and_speed(int& type, int& speed)
{
    if (type == 7) {
        if (speed != 6 && speed != 7)
            type = ROAD_TYPE_8;
        else
            speed = 4;
    } else if (type == 1) {
        speed = 0;
    } else if (speed <= 6) {
        ++speed;
    }
}

} // namespace

XrGraphAccessor2::XrGraphAccessor2(XrStorageAccessor* storage, int cache_limit, XrTileHeap* heap)
    : storage(storage), cache_limit(cache_limit), heap(heap != nullptr ? heap : &XrTileHeap::shared()),
      mapped_to_id_map(1024)
{
}

XrGraphAccessor2::~XrGraphAccessor2()
{
    for (size_t l = 0; l < cache.size(); ++l)
        for (BYTE*& b : cache[l].blocks) {
            heap->free(b);
            b = nullptr;
        }
}

bool XrGraphAccessor2::read_routing_params(XrRoutingParams* params)
{
    if (params == nullptr || storage == nullptr || storage->get_size() < static_cast<std::uint32_t>(HEADER_SIZE))
        return false;
    std::vector<BYTE> header;
    if (!read_bytes(storage, 0, HEADER_SIZE, header))
        return false;
    if (xr_bytes::get_u32_le(header.data() + OFF_VERSION) != VERSION)
        return false;
    fill_params(header, params);
    return true;
}

int XrGraphAccessor2::open(XrRoutingParams* params)
{
    if (storage == nullptr)
        return 1;
    const std::uint32_t file_size = storage->get_size();
    if (file_size < static_cast<std::uint32_t>(HEADER_SIZE))
        return 1;
    std::vector<BYTE> header;
    if (!read_bytes(storage, 0, HEADER_SIZE, header))
        return 1;
    XrByteCursor c(header);
    if (c.u32_le_at(OFF_VERSION) != VERSION)
        return 2;
    num_index_tiles = c.u16_le_at(OFF_NUM_INDEX_TILES);
    num_index_inner_nodes = c.u16_le_at(OFF_NUM_INNER_NODES);
    const int m1 = c.u16_le_at(OFF_NUM_MANOEUVRE1);
    const int m2 = c.u16_le_at(OFF_NUM_MANOEUVRE2);
    if (num_index_inner_nodes > num_index_tiles)
        return 1;
    // Each pair is stored head byte 1 first: read little-endian, head byte 0 is high.
    for (int i = 0; i < DICTIONARY_ENTRIES; ++i)
        dictionary[i] = c.u16_le_at(OFF_DICTIONARY + 2 * i);
    if (params != nullptr)
        fill_params(header, params);
    const int leaves = num_index_tiles - num_index_inner_nodes;
    index_size = INNER_NODE_SIZE * num_index_inner_nodes + LEAF_SIZE * leaves;
    const std::uint64_t need = static_cast<std::uint64_t>(HEADER_SIZE) + index_size +
                               static_cast<std::uint64_t>(m1) * MANOEUVRE1_SIZE +
                               static_cast<std::uint64_t>(m2) * MANOEUVRE2_SIZE;
    if (need > file_size)
        return 1;
    if (!read_bytes(storage, HEADER_SIZE, static_cast<std::uint32_t>(index_size), index) ||
        !read_bytes(storage, HEADER_SIZE + index_size, static_cast<std::uint32_t>(m1 * MANOEUVRE1_SIZE), manoeuvre1) ||
        !read_bytes(storage, HEADER_SIZE + index_size + m1 * MANOEUVRE1_SIZE,
                    static_cast<std::uint32_t>(m2 * MANOEUVRE2_SIZE), manoeuvre2))
        return 1;
    manoeuvres1 = m1;
    manoeuvres2 = m2;
    // Every child of an inner node names a node or leaf of the index.
    for (int k = 0; k < num_index_inner_nodes; ++k)
        for (int q = 0; q < 4; ++q) {
            const int child = xr_bytes::get_u16_le(index.data() + INNER_NODE_SIZE * k + INNER_OFF_CHILDREN + 2 * q);
            if (child >= num_index_tiles)
                return 1;
        }
    cache.assign(static_cast<size_t>(leaves), CacheEntry());
    last_data = nullptr;
    tile_places.assign(static_cast<size_t>(num_index_inner_nodes) + 4 * static_cast<size_t>(leaves), 0);
    opened = true;
    return 0;
}

std::size_t XrGraphAccessor2::LEAF_BASE(int leaf) const
{
    return static_cast<std::size_t>(INNER_NODE_SIZE) * num_index_inner_nodes +
           static_cast<std::size_t>(LEAF_SIZE) * leaf;
}

int XrGraphAccessor2::find_tile_for_coordinate(int px, int py, bool coarse)
{
    if (!opened || num_index_tiles == num_index_inner_nodes)
        return -1;
    auto round_even = [coarse](int v) { return coarse ? v / 2 * 2 : v; };
    int node = 0;
    if (num_index_inner_nodes > 0) {
        // A damaged index may loop: a walk never takes more steps than nodes.
        for (int steps = 0;; ++steps) {
            if (steps > num_index_inner_nodes) {
                note_damage();
                return -1;
            }
            const BYTE* n = index.data() + INNER_NODE_SIZE * node;
            const int cx = round_even(sign24(xr_bytes::get_u24_le(n + INNER_OFF_CENTRE_X)));
            const int cy = round_even(sign24(xr_bytes::get_u24_le(n + INNER_OFF_CENTRE_Y)));
            const int child = xr_bytes::get_u16_le(n + INNER_OFF_CHILDREN + 2 * quadrant(px, py, cx, cy));
            if (child >= num_index_inner_nodes) {
                node = child;
                break;
            }
            node = child;
        }
    }
    const int leaf = node - num_index_inner_nodes;
    const BYTE* l = leaf_record(leaf);
    const int lx = round_even(sign24(xr_bytes::get_u24_le(l + LEAF_OFF_ORIGIN_X)));
    const int ly = round_even(sign24(xr_bytes::get_u24_le(l + LEAF_OFF_ORIGIN_Y)));
    return num_index_inner_nodes + 4 * leaf + quadrant(px, py, lx, ly);
}

int XrGraphAccessor2::get_tile_pos(int tile, bool main, int& sub_tile) const
{
    if (tile < num_index_inner_nodes)
        return -1;
    const int r = tile - num_index_inner_nodes;
    const int leaf = r / 4;
    if (leaf >= num_index_tiles - num_index_inner_nodes)
        return -1;
    sub_tile = main ? 0 : (r % 4) + 1;
    return static_cast<int>(LEAF_BASE(leaf));
}

BYTE* XrGraphAccessor2::read_tile(int leaf, int sub, bool& damaged)
{
    damaged = false;
    const BYTE* l = leaf_record(leaf);
    std::uint32_t off = xr_bytes::get_u32_le(l + LEAF_OFF_GROUP) & ~LEAF_TILE_FLAG;
    for (int s = 0; s < sub; ++s)
        off += xr_bytes::get_u16_le(l + LEAF_OFF_LENGTHS + 2 * s);
    const std::uint32_t clen = xr_bytes::get_u16_le(l + LEAF_OFF_LENGTHS + 2 * sub);
    std::vector<BYTE>& raw = compressed; // kept between reads: no allocation per tile
    int tile_len = 0;
    if (clen > 0) {
        if (clen < 2 || !read_bytes(storage, off, clen, raw)) {
            damaged = true;
            return nullptr;
        }
        tile_len = xr_bytes::get_u16_le(raw.data());
    }
    BYTE* block = static_cast<BYTE*>(heap->alloc(static_cast<std::size_t>(tile_len) + 2));
    if (block == nullptr)
        return nullptr;
    if (tile_len > 0) {
        int olen = tile_len;
        if (!zlib_uncompress(raw.data() + 2, static_cast<int>(clen) - 2, block + 2, olen) || olen != tile_len) {
            heap->free(block);
            damaged = true;
            return nullptr;
        }
        ++stats.inflates;
    }
    xr_bytes::put_u16_le(block, static_cast<std::uint16_t>(tile_len));
    return block;
}

void XrGraphAccessor2::unlink(int leaf)
{
    CacheEntry& e = cache[leaf];
    if (e.older >= 0)
        cache[e.older].newer = e.newer;
    else if (cache_tail == leaf)
        cache_tail = e.newer;
    if (e.newer >= 0)
        cache[e.newer].older = e.older;
    else if (cache_head == leaf)
        cache_head = e.older;
    e.older = e.newer = -1;
}

void XrGraphAccessor2::link_head(int leaf)
{
    CacheEntry& e = cache[leaf];
    e.older = cache_head;
    e.newer = -1;
    if (cache_head >= 0)
        cache[cache_head].newer = leaf;
    cache_head = leaf;
    if (cache_tail < 0)
        cache_tail = leaf;
}

void XrGraphAccessor2::evict(int leaf)
{
    last_data = nullptr;
    CacheEntry& e = cache[leaf];
    for (int s = TILES_PER_LEAF - 1; s >= 0; --s) {
        if (e.blocks[s] != nullptr) {
            cache_curr_size -= xr_bytes::get_u16_le(e.blocks[s]);
            heap->free(e.blocks[s]);
            e.blocks[s] = nullptr;
        }
    }
    XR_ASSERT(cache_curr_size >= 0);
    unlink(leaf);
    ++stats.evictions;
}

bool XrGraphAccessor2::evict_except(int spare)
{
    int victim = cache_tail;
    if (victim == spare && victim >= 0)
        victim = cache[victim].newer;
    if (victim < 0)
        return false;
    evict(victim);
    return true;
}

void XrGraphAccessor2::free_one_cache_item()
{
    if (cache_tail >= 0)
        evict(cache_tail);
}

bool XrGraphAccessor2::free_cache(int n)
{
    if (n == 0 || n < -1)
        return false;
    const int before = cache_curr_size;
    const bool had = cache_tail >= 0;
    for (int i = 0; (n == -1 || i < n) && cache_tail >= 0; ++i)
        evict(cache_tail);
    return cache_curr_size < before || (had && before == 0 && false);
}

const BYTE* XrGraphAccessor2::get_tile_data(int tile, bool main, int& len)
{
    if (tile == last_tile && main == last_main && last_data != nullptr) {
        // The tile just read again: the usual case while a search expands edges.
        ++stats.lookups;
        ++stats.hits;
        len = last_len;
        return last_data;
    }
    len = 0;
    int sub = 0;
    if (!opened || get_tile_pos(tile, main, sub) < 0) {
        note_damage();
        return nullptr;
    }
    const int leaf = (tile - num_index_inner_nodes) / 4;
    CacheEntry& e = cache[leaf];
    ++stats.lookups;
    if (e.blocks[sub] == nullptr) {
        // A full heap gives up other tiles of this reader, least recently
        // used first; a tile that cannot be read is reported at once.
        BYTE* block = nullptr;
        for (;;) {
            bool damaged = false;
            block = read_tile(leaf, sub, damaged);
            if (block != nullptr || damaged || !evict_except(leaf))
                break;
        }
        if (block == nullptr) {
            ++stats.failures;
            note_damage();
            return nullptr;
        }
        e.blocks[sub] = block;
        cache_curr_size += xr_bytes::get_u16_le(block);
        // The limit holds for everything but the tile just read.
        while (cache_curr_size > cache_limit && evict_except(leaf)) {
        }
    } else {
        ++stats.hits;
    }
    if (cache_head != leaf) {
        if (cache[leaf].older >= 0 || cache[leaf].newer >= 0 || cache_tail == leaf)
            unlink(leaf);
        link_head(leaf);
    }
    len = xr_bytes::get_u16_le(e.blocks[sub]);
    last_tile = tile;
    last_main = main;
    last_len = len;
    last_data = e.blocks[sub] + 2;
    return last_data;
}

int XrGraphAccessor2::xr_mapped_handle_tile(int handle) const
{
    if (handle == NO_EDGE)
        return -1;
    const int place = static_cast<int>(static_cast<std::uint32_t>(handle) >> HANDLE_PLACE_SHIFT);
    if (place < 1 || place > mapped_to_id_map.get_num_items())
        return -1;
    return *mapped_to_id_map.get_item_ptr(place - 1);
}

int XrGraphAccessor2::make_handle(int tile, bool main, int e)
{
    if (tile < num_index_inner_nodes || tile >= static_cast<int>(tile_places.size()))
        return NO_EDGE;
    int place = tile_places[static_cast<size_t>(tile)];
    if (place == 0) {
        if (mapped_to_id_map.get_num_items() >= MAX_PLACES || !mapped_to_id_map.append(tile))
            return NO_EDGE;
        place = mapped_to_id_map.get_num_items();
        tile_places[static_cast<size_t>(tile)] = place;
    }
    std::uint32_t h = static_cast<std::uint32_t>(place) << HANDLE_PLACE_SHIFT |
                      static_cast<std::uint32_t>(e & (HANDLE_EDGE | HANDLE_DIRECTION | HANDLE_MAIN));
    if (main)
        h |= HANDLE_MAIN;
    return static_cast<int>(h);
}

std::uint32_t XrGraphAccessor2::handle_to_reference(int handle) const
{
    const int tile = xr_mapped_handle_tile(handle);
    if (tile < 0)
        return 0;
    return static_cast<std::uint32_t>(tile) << 16 | (static_cast<std::uint32_t>(handle) & (HANDLE_EDGE | HANDLE_MAIN));
}

int XrGraphAccessor2::reference_to_handle(std::uint32_t ref) const
{
    const std::uint32_t tile = ref >> 16;
    if (tile >= tile_places.size() || tile_places[tile] == 0)
        return NO_EDGE;
    return static_cast<int>(static_cast<std::uint32_t>(tile_places[tile]) << 16 | (ref & (HANDLE_EDGE | HANDLE_MAIN)));
}

bool XrGraphAccessor2::locate(const BYTE* data, int len, int e, int& offset) const
{
    if (len < TILE_OFF_LOOKUP)
        return false;
    const int lookup_size = xr_bytes::get_u16_le(data + TILE_OFF_LOOKUP_SIZE);
    const int group = e / LOOKUP_GROUP_EDGES;
    if (group * LOOKUP_GROUP_SIZE + (e % LOOKUP_GROUP_EDGES) >= lookup_size ||
        TILE_OFF_LOOKUP + (group + 1) * LOOKUP_GROUP_SIZE > len)
        return false;
    const BYTE* g = data + TILE_OFF_LOOKUP + group * LOOKUP_GROUP_SIZE;
    int off = xr_bytes::get_u16_le(g);
    for (int k = 0; k < e % LOOKUP_GROUP_EDGES; ++k)
        off += g[2 + k];
    if (off >= len)
        return false;
    offset = off;
    return true;
}

bool XrGraphAccessor2::record_of(const BYTE* data, int len, const XrEdgeData& edge, int& offset) const
{
    if (edge.record_offset >= 0 && edge.record_offset < len) {
        offset = edge.record_offset;
        return true;
    }
    return locate(data, len, edge.handle & HANDLE_EDGE, offset);
}

bool XrGraphAccessor2::parse_record(const BYTE* data, int len, int leaf, int e, XrEdgeData& edge) const
{
    int off = 0;
    if (!locate(data, len, e, off))
        return false;
    const BYTE* l = leaf_record(leaf);
    const int coding = xr_bytes::get_u16_le(l + LEAF_OFF_CODING);
    const int mult = coding & 0x7FFF;
    const int ox = sign24(xr_bytes::get_u24_le(l + LEAF_OFF_ORIGIN_X));
    const int oy = sign24(xr_bytes::get_u24_le(l + LEAF_OFF_ORIGIN_Y));
    const int num_dict = xr_bytes::get_u16_le(data + TILE_OFF_NUM_DICT_EDGES);
    const std::size_t counts = TILE_OFF_LOOKUP + static_cast<std::size_t>(xr_bytes::get_u16_le(data + TILE_OFF_LOOKUP_SIZE));
    if (counts + 2 > static_cast<std::size_t>(len))
        return false;
    const int num_neighbours = data[counts];
    const int num_gids = data[counts + 1];
    const std::size_t highs = counts + 2 + 2 * static_cast<std::size_t>(num_neighbours);
    // The head fields take at most ten bytes: near the end of the tile they
    // are read from a zero-padded copy and the bytes used are checked after.
    constexpr int MAX_HEAD = 10;
    BYTE padded[MAX_HEAD] = {};
    const int avail = len - off;
    const BYTE* start = data + off;
    if (avail < MAX_HEAD) {
        std::memcpy(padded, start, static_cast<std::size_t>(avail));
        start = padded;
    }
    const BYTE* p = start;
    int h0, h1;
    if (e < num_dict) {
        const int b = *p++;
        const std::uint16_t pair = dictionary[b & 0x7F];
        h0 = pair >> 8;
        h1 = pair & 0xFF;
        if (h1 & HEAD1_GID_EXPLICIT)
            return false; // a dictionary entry never carries it
        if (b & DICT_HEAD_EXPLICIT)
            h1 |= HEAD1_GID_EXPLICIT;
    } else {
        h0 = p[0];
        h1 = p[1];
        p += 2;
    }
    int dx, dy;
    if (coding & LEAF_CODING_12BIT) {
        const int b0 = p[0], b1 = p[1], b2 = p[2];
        p += 3;
        dx = b0 | (b2 & 0xF0) << 4;
        dy = b1 | (b2 & 0x0F) << 8;
        if (dx & 0x800)
            dx -= 0x1000;
        if (dy & 0x800)
            dy -= 0x1000;
    } else {
        dx = static_cast<std::int8_t>(p[0]);
        dy = static_cast<std::int8_t>(p[1]);
        p += 2;
    }
    long long v;
    if (h1 & HEAD1_LONG_LENGTH) {
        v = xr_bytes::get_u16_le(p);
        p += 2;
    } else {
        v = *p++;
    }
    if (v >= LENGTH_LARGE_BASE)
        v = (v - LENGTH_LARGE_BASE) * LENGTH_LARGE_FACTOR;
    v *= LENGTH_UNIT;
    std::size_t high_at = highs;
    std::uint32_t low;
    if (h1 & HEAD1_GID_EXPLICIT) {
        low = xr_bytes::get_u16_le(p);
        p += 2;
        if (num_gids < 1)
            return false;
    } else {
        const int b = *p++;
        low = xr_bytes::get_u16_le(p);
        p += 2;
        if (b >= num_gids)
            return false;
        high_at += 2 * static_cast<std::size_t>(b);
    }
    const int used = static_cast<int>(p - start);
    if (used > avail || high_at + 2 > static_cast<std::size_t>(len))
        return false;
    const std::uint32_t high = xr_bytes::get_u16_le(data + high_at);
    edge.road_category = h0 >> HEAD0_CATEGORY_SHIFT;
    edge.road_type = h1 >> HEAD1_TYPE_SHIFT;
    edge.speed_class = h1 & HEAD1_SPEED;
    adjust_type_and_speed(edge.road_type, edge.speed_class);
    edge.num_connections = h0 & HEAD0_CONNECTIONS;
    edge.end_flag = (h0 & HEAD0_NOT_END) == 0;
    edge.restricted = (low & GID_RESTRICTED) != 0;
    edge.gid = high << 16 | (low & 0x7FFF);
    edge.length = static_cast<int>(std::min<long long>(v, 0x7FFFFFFF));
    edge.x = static_cast<int>(ox + static_cast<long long>(dx) * mult);
    edge.y = static_cast<int>(oy + static_cast<long long>(dy) * mult);
    edge.first_connection = used;
    edge.connection_cursor = used;
    edge.connections_read = 0;
    edge.record_offset = off;
    return true;
}

int XrGraphAccessor2::get_edge_by_handle(int handle, XrEdgeData& edge)
{
    if (handle == NO_EDGE)
        return NO_EDGE;
    const int tile = xr_mapped_handle_tile(handle);
    const bool main = (handle & HANDLE_MAIN) != 0;
    int len = 0;
    const BYTE* data = tile < 0 ? nullptr : get_tile_data(tile, main, len);
    if (data == nullptr || !parse_record(data, len, (tile - num_index_inner_nodes) / 4, handle & HANDLE_EDGE, edge)) {
        note_damage();
        return NO_EDGE;
    }
    edge.handle = handle;
    edge.dist_to_end = -1;
    edge.dist_to_start = -1;
    return handle;
}

bool XrGraphAccessor2::decode_connection(const BYTE* data, int len, int tile, int off, XrEdgeData& edge, int& handle,
                                         int& turn)
{
    XrByteCursor c(data, static_cast<std::size_t>(len));
    const int lookup_size = xr_bytes::get_u16_le(data + TILE_OFF_LOOKUP_SIZE);
    if (!c.seek(static_cast<std::size_t>(off) + static_cast<std::size_t>(edge.connection_cursor)))
        return false;
    const int first = c.u8();
    int target_tile;
    bool target_main = false;
    std::uint16_t w;
    int h;
    if (first < CONN_LONG) {
        c.seek(c.pos() - 1);
        w = c.u16_be();
        if (w & CONN_MAIN) {
            target_tile = num_index_inner_nodes + ((tile - num_index_inner_nodes) & ~3);
            target_main = true;
        } else {
            target_tile = tile;
        }
        if (target_tile == tile && target_main == ((edge.handle & HANDLE_MAIN) != 0))
            // The edge's own tile already has its place.
            h = static_cast<int>((static_cast<std::uint32_t>(edge.handle) & ~0xFFFFu) |
                                 (w & HANDLE_EDGE) | (target_main ? HANDLE_MAIN : 0));
        else
            h = make_handle(target_tile, target_main, w & HANDLE_EDGE);
    } else {
        const int ni = first & 0x7F;
        const BYTE* np = c.at(TILE_OFF_LOOKUP + static_cast<std::size_t>(lookup_size), 1);
        const int num_neighbours = np != nullptr ? np[0] : 0;
        w = c.u16_be();
        if (ni >= num_neighbours)
            return false;
        target_tile = c.u16_le_at(TILE_OFF_LOOKUP + static_cast<std::size_t>(lookup_size) + 2 + 2 * ni);
        h = make_handle(target_tile, false, w & (HANDLE_EDGE | HANDLE_MAIN));
    }
    if ((w & CONN_COMPACT) == 0)
        turn = c.u8();
    else
        turn = (w >> 6) & 0xC0;
    if (!c.ok() || h == NO_EDGE)
        return false;
    edge.connection_cursor = static_cast<int>(c.pos()) - off;
    ++edge.connections_read;
    handle = static_cast<int>(static_cast<std::uint32_t>(h) | (w & CONN_WRONG_WAY));
    return true;
}

bool XrGraphAccessor2::get_next_edge_connection(XrEdgeData& edge, int& handle, int& turn)
{
    if (edge.connections_read >= edge.num_connections)
        return false;
    const int tile = xr_mapped_handle_tile(edge.handle);
    const bool main = (edge.handle & HANDLE_MAIN) != 0;
    int len = 0, off = 0;
    const BYTE* data = tile < 0 ? nullptr : get_tile_data(tile, main, len);
    if (data == nullptr || !record_of(data, len, edge, off) ||
        !decode_connection(data, len, tile, off, edge, handle, turn)) {
        note_damage();
        return false;
    }
    return true;
}

int XrGraphAccessor2::get_edge_connections(XrEdgeData& edge, int* handles, int* turns)
{
    if (edge.connections_read >= edge.num_connections)
        return 0;
    const int tile = xr_mapped_handle_tile(edge.handle);
    const bool main = (edge.handle & HANDLE_MAIN) != 0;
    int len = 0, off = 0;
    const BYTE* data = tile < 0 ? nullptr : get_tile_data(tile, main, len);
    if (data == nullptr || !record_of(data, len, edge, off)) {
        note_damage();
        return 0;
    }
    int n = 0;
    while (edge.connections_read < edge.num_connections) {
        if (!decode_connection(data, len, tile, off, edge, handles[n], turns[n])) {
            note_damage();
            break;
        }
        ++n;
    }
    return n;
}

int XrGraphAccessor2::get_edge_handle_by_gid(int x, int y, XrGid gid)
{
    for (int pass = 0; pass < 2; ++pass) {
        const int tile = find_tile_for_coordinate(x, y, pass == 1);
        if (tile < 0)
            return NO_EDGE;
        const int leaf = (tile - num_index_inner_nodes) / 4;
        const int group = num_index_inner_nodes + 4 * leaf;
        for (int level = 0; level < 2; ++level) {
            const bool main = level == 0;
            const int t = main ? group : tile;
            int len = 0;
            const BYTE* data = get_tile_data(t, main, len);
            if (data == nullptr)
                continue;
            XrEdgeData edge;
            for (int e = 0; e < MAX_TILE_EDGES && parse_record(data, len, leaf, e, edge); ++e) {
                if (edge.gid == gid)
                    return make_handle(t, main, e);
            }
        }
    }
    return NO_EDGE;
}

bool XrGraphAccessor2::get_midpoint(const XrPolygon& poly, XrPoint& out)
{
    std::int16_t dir = 0;
    const double len = poly.get_length();
    if (poly.get_point_count() < 2)
        return false;
    if (len <= 0) {
        return poly.get_point(0, out);
    }
    return poly.get_point_at_distance(len / 2, out, dir);
}

bool XrGraphAccessor2::read_polyline(XrGeomCursor* cursor, XrGid gid, XrPolygon& poly, int* type)
{
    if (cursor == nullptr)
        return false;
    XrGeomStorage::XrRecordType kind;
    const BYTE* rec = nullptr;
    if (cursor->get_record_by_geom_id(gid, kind, rec) != XrGeomCursor::OK || rec == nullptr)
        return false;
    if (!read_polygon_from_cursor(poly, XrGeomStorage::RecPolyline, rec, cursor, false) || poly.get_point_count() < 2)
        return false;
    if (type != nullptr)
        *type = poly.get_type();
    return true;
}

int XrGraphAccessor2::get_edge_handle_by_geometry(XrGeomStorage* gs, XrGid gid, XrPolygon* poly)
{
    if (gs == nullptr)
        return NO_EDGE;
    std::unique_ptr<XrGeomCursor> cur(gs->get_cursor(nullptr, 0));
    XrPolygon local(true);
    XrPolygon& line = poly != nullptr ? *poly : local;
    XrPoint mid;
    if (!read_polyline(cur.get(), gid, line, nullptr) || !get_midpoint(line, mid))
        return NO_EDGE;
    return get_edge_handle_by_gid(mid.x, mid.y, gid);
}

int XrGraphAccessor2::get_edge_end_state(int handle)
{
    XrEdgeData edge;
    if (handle == NO_EDGE || get_edge_by_handle(handle, edge) == NO_EDGE)
        return Unknown;
    if (edge.end_flag)
        return BothWays;
    int h = 0, turn = 0;
    while (get_next_edge_connection(edge, h, turn)) {
        if ((h & HANDLE_DIRECTION) == 0)
            return (turn & TURN_FROM_START) ? BackwardOnly : ForwardOnly;
    }
    return Unknown;
}

bool XrGraphAccessor2::get_tile_flag(int handle)
{
    const int tile = xr_mapped_handle_tile(handle);
    if (tile < num_index_inner_nodes)
        return false;
    const int leaf = (tile - num_index_inner_nodes) / 4;
    if (leaf >= num_index_tiles - num_index_inner_nodes)
        return false;
    return (xr_bytes::get_u32_le(leaf_record(leaf) + LEAF_OFF_GROUP) & LEAF_TILE_FLAG) != 0;
}

bool XrGraphAccessor2::find_manoeuvre(std::uint32_t r1, std::uint32_t r0, int k, const std::uint32_t*& entry,
                                      int& count)
{
    if (manoeuvres1 == 0)
        return false;
    int found = 0;
    const std::uint32_t m1 = static_cast<std::uint32_t>(manoeuvres1);
    std::uint32_t slot = manoeuvre_slot(r0, r1, m1);
    const std::uint32_t probes1 = m1 > 1 ? m1 - 1 : 1;
    for (std::uint32_t probe = 0; probe < probes1; ++probe) {
        const BYTE* e = manoeuvre1.data() + static_cast<std::size_t>(slot) * MANOEUVRE1_SIZE;
        const std::uint32_t w0 = xr_bytes::get_u32_le(e);
        if (w0 == 0)
            break;
        if (w0 == r0 && xr_bytes::get_u32_le(e + 4) == r1 && found++ == k) {
            count = 0;
            for (int i = 0; i < 4; ++i) {
                entry1[i] = xr_bytes::get_u32_le(e + 4 * i);
                if (entry1[i] != 0)
                    count = i + 1;
            }
            entry = entry1;
            return true;
        }
        slot = (slot + probe + 1) % m1;
    }
    if (manoeuvres2 == 0)
        return false;
    const std::uint32_t m2 = static_cast<std::uint32_t>(manoeuvres2);
    slot = manoeuvre_slot(r0, r1, m2);
    found = 0;
    const std::uint32_t probes2 = m2 > 1 ? m2 - 1 : 1;
    for (std::uint32_t probe = 0; probe < probes2; ++probe) {
        const BYTE* e = manoeuvre2.data() + static_cast<std::size_t>(slot) * MANOEUVRE2_SIZE;
        const std::uint32_t a = xr_bytes::get_u32_le(e);
        if (a == 0)
            break;
        const std::uint32_t b = combine_reference(a, xr_bytes::get_u16_le(e + 4));
        if (a == r0 && b == r1 && found++ == k) {
            scratch[0] = a;
            scratch[1] = b;
            scratch[2] = combine_reference(a, xr_bytes::get_u16_le(e + 6));
            entry = scratch;
            count = 3;
            return true;
        }
        slot = (slot + probe + 1) % m2;
    }
    return false;
}
