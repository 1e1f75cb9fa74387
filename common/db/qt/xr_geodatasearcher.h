// The point index searcher: reads the node table of an index file into
// memory and streams the points of a rectangle from its ".data" companion
// through cursors. Every offset, length and count read from the files is
// checked; a damaged file ends a cursor with 3.
#pragma once

#include <cstdint>

#include "common/db/qt/xr_geodata.h"
#include "common/db/qt/xr_geodatamemory.h"
#include "common/db/qt/xr_geodataquad.h"
#include "common/db/qt/xr_geodatastreams.h"

class CGeoDataSearcherImpl;

// Walks the node table in pre-order to the nodes a query has to read.
class CQuartersIterator {
public:
    // A node to read: its record in the data file, whether its whole subtree
    // lies in the query, and whether the search ends after it.
    struct Node {
        std::uint64_t offset = 0;
        bool whole = false;
        bool last = false;
        bool root = false;
    };

    void start(const std::uint32_t* table, std::uint32_t count, std::uint32_t size, const SSQuadRect& query,
               const SSQuadRect* exclude);
    // 0 and the next node, 2 when no node is left, 3 for a damaged table.
    SSGeoDataStatus next_quarter(Node* node);

private:
    enum class Kind { skip, whole, partial, enclosing };

    Kind classify(const SSQuadRect& n) const;
    // Steps over the subtree of the current word; false when the table ends
    // inside it.
    bool skip_subtree();
    // Moves to the parent's next present quarter, popping finished levels.
    void advance();

    // Stack byte: bits 7-4 the node's child flags (bit 7 quarter 0), bits 1-0
    // the quarter being visited, bit 3 the query lies strictly inside.
    static constexpr int STACK_SIZE = 40;
    static constexpr BYTE ENCLOSING = 0x08;
    BYTE m_stack[STACK_SIZE] = {};
    SSQuadRect m_rects[STACK_SIZE];
    int m_top = -1;
    const std::uint32_t* m_table = nullptr;
    std::uint32_t m_count = 0;
    std::uint32_t m_word = 0;
    // Inner-node records since the last leaf record.
    std::uint32_t m_inner = 0;
    // The rectangle of the node whose word is next.
    SSQuadRect m_pending;
    SSQuadRect m_query;
    SSQuadRect m_exclude;
    bool m_has_exclude = false;
    bool m_done = true;
    bool m_damaged = false;
};

class CPointCursor : public SSPointCursor, public CGeoDataObject {
public:
    explicit CPointCursor(CGeoDataSearcherImpl* searcher);
    // Allocates the reader's buffers; on failure every read answers 3.
    void init();
    // A new query (relative rectangles).
    void reset(const SSQuadRect& query, const SSQuadRect* exclude);

    SSGeoDataStatus get_next_point(SSPoint* point) override;
    void release() override;
    std::uint32_t get_read_count() const override { return m_reader.get_read_count() - m_reads_before; }

    void add_ref() { ++m_refs; }
    int ref_count() const { return m_refs; }

private:
    ~CPointCursor() override = default;
    SSGeoDataStatus fail();
    SSGeoDataStatus enter_node();
    bool start_leaf(std::uint32_t count);
    bool end_leaf();
    bool read_u32(std::uint32_t* value);

    int m_refs = 1;
    bool m_active = false;
    CQuartersIterator m_quarters;
    CGeoDataSearcherImpl* m_searcher;
    SSRect m_area;
    CFileStreamWithCompression m_reader;
    std::uint32_t m_reads_before = 0;
    std::uint32_t m_subtree_left = 0;
    std::uint32_t m_leaf_left = 0;
    std::uint32_t m_previous_x = 0;
    std::uint32_t m_previous_y = 0;
    bool m_first = false;
    SSQuadRect m_query;
    SSQuadRect m_exclude;
    bool m_has_exclude = false;
    bool m_whole = false;
    bool m_last = false;
};

// The cursor of a query outside the index: no points.
class CEmptyPointCursor : public SSPointCursor {
public:
    SSGeoDataStatus get_next_point(SSPoint*) override { return SSGEO_NO_MORE_POINTS; }
    // Stateless and shared: nothing to destroy.
    void release() override {}
    std::uint32_t get_read_count() const override { return 0; }
    ~CEmptyPointCursor() override = default;
};

class CGeoDataSearcherImpl : public SSGeoDataSearcher, public CGeoDataObject {
public:
    CGeoDataSearcherImpl() = default;

    SSGeoDataStatus open(const char* index_name) override;
    SSPointCursor* query(const SSRect& area, const SSRect* exclude) override;
    void get_bounds(std::int32_t out[4]) const override;
    bool release() override;

    // For the cursors.
    void add_ref() { ++m_refs; }
    bool release_ref();
    const std::uint32_t* node_table() const { return m_nodes.get(); }
    std::uint32_t node_count() const { return static_cast<std::uint32_t>(m_nodes.count()); }
    std::uint32_t root_size() const { return m_size; }
    const SSRect& area() const { return m_area; }
    int data_fd() const { return m_data_fd; }
    std::uint64_t data_size() const { return m_data_size; }

private:
    ~CGeoDataSearcherImpl() override;
    SSGeoDataStatus read_index(const char* index_name);
    bool overlaps(const SSRect& r) const;
    // r clamped to the area, relative to its minimum corner.
    SSQuadRect relative(const SSRect& r) const;

    int m_refs = 1;
    CGeoDataBuffer<std::uint32_t> m_nodes;
    SSRect m_area;
    std::uint32_t m_size = 0;
    int m_data_fd = -1;
    std::uint64_t m_data_size = 0;
    CPointCursor* m_cached = nullptr;
};

// A new searcher; null when out of memory.
SSGeoDataSearcher* create_geo_data_searcher();
