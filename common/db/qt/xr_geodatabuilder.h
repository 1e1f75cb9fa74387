// The point index builder: collects points in work files, splits them into
// a quadtree of at most 512 points a leaf (more only in a cell that cannot be
// split), sorts every leaf by (y, x) and writes the index file and its
// ".data" companion (layout: xr_geodatalayout.h).
#pragma once

#include <cstdint>

#include "common/db/qt/xr_geodata.h"
#include "common/db/qt/xr_geodatamemory.h"
#include "common/db/qt/xr_geodataquad.h"
#include "common/db/qt/xr_geodatastreams.h"

// An entry of the work files (native byte order): the relative point and
// the offset of its payload record in "__meta".
struct SSGeoEntry {
    std::uint32_t x;
    std::uint32_t y;
    std::uint32_t offset;
};
static_assert(sizeof(SSGeoEntry) == 12);

// The open output files of a build.
struct SSGeoOutput;

class DataInfoTreeNodeBase : public CGeoDataObject {
public:
    virtual std::uint32_t get_count() const = 0;
    virtual ~DataInfoTreeNodeBase() = default;
};

// One quadtree node while building.
class DataInfoTreeNode : public DataInfoTreeNodeBase {
public:
    explicit DataInfoTreeNode(const SSQuadRect& r) : rect(r) {}
    ~DataInfoTreeNode() override;
    std::uint32_t get_count() const override { return count; }
    bool has_points_below() const;

    // Entries in the node's subtree.
    std::uint32_t count = 0;
    SSQuadRect rect;
    // The node's own work file while its entries are collected.
    CFileStreamEx* stream = nullptr;
    const char* file_name = nullptr;
    // Start of the node's entries in the merged entry file.
    std::uint64_t offset = UINT64_MAX;
    DataInfoTreeNode* children[4] = {};
    bool sorted = false;
};

class INodeBuilder {
public:
    // Splits a node's entries (in the merged entry file) among four new
    // children; *complete tells whether the whole subtree is done.
    virtual SSGeoDataStatus split(DataInfoTreeNode* node, CFileStreamEx* entries, bool* complete) = 0;

protected:
    virtual ~INodeBuilder() = default;
};

// Splits the whole subtree in memory.
class CMemoryNodeBuilder : public INodeBuilder {
public:
    SSGeoDataStatus split(DataInfoTreeNode* node, CFileStreamEx* entries, bool* complete) override;

private:
    SSGeoDataStatus partition(DataInfoTreeNode* node, SSGeoEntry* first, std::uint32_t count);
};

// Splits one level through four work files; the children still need building.
class CFileNodeBuilder : public INodeBuilder {
public:
    // The names of the four work files.
    void set_names(const char* const names[4]);
    SSGeoDataStatus split(DataInfoTreeNode* node, CFileStreamEx* entries, bool* complete) override;

private:
    const char* m_names[4] = {};
};

class CGeoDataBuilder : public SSGeoDataBuilder, public CGeoDataObject {
public:
    CGeoDataBuilder() = default;

    SSGeoDataStatus create(const char* index_name, const char* temp_dir, const SSGeoDataParams& params) override;
    SSGeoDataStatus add_point(const SSPoint* point) override;
    SSGeoDataStatus build() override;
    void release() override;

private:
    enum class State { empty, created, built, failed };
    // The six work files.
    enum Work { DATA, META, FILE1, FILE2, FILE3, FILE4, WORK_COUNT };

    ~CGeoDataBuilder() override;
    SSGeoDataStatus create_work_files(const char* temp_dir);
    SSGeoDataStatus merge_quarters(CFileStreamEx** entries);
    SSGeoDataStatus build_subtree(DataInfoTreeNode* node, CFileStreamEx* entries);
    SSGeoDataStatus sort_leaf(DataInfoTreeNode* node, CFileStreamEx* entries);
    SSGeoDataStatus write_output(CFileStreamEx* entries);
    SSGeoDataStatus write_tree(SSGeoOutput& out);
    SSGeoDataStatus write_node(DataInfoTreeNode* node, SSGeoOutput& out);
    SSGeoDataStatus write_leaf(DataInfoTreeNode* node, SSGeoOutput& out);
    // Closes the work streams and deletes the work files and their folder.
    void remove_work_files();

    State m_state = State::empty;
    CGeoDataBuffer<char> m_index_name;
    CGeoDataBuffer<char> m_work_dir;
    CGeoDataBuffer<char> m_work_names[WORK_COUNT];
    SSRect m_area;
    std::uint32_t m_size = 0;
    DataInfoTreeNode* m_quarters[4] = {};
    CFileStreamEx* m_meta = nullptr;
    std::uint64_t m_points = 0;
    CMemoryNodeBuilder m_memory_builder;
    CFileNodeBuilder m_file_builder;
};

// A new builder; null when out of memory.
SSGeoDataBuilder* create_geo_data_builder();
