// The stored geometry storage of a geometry file ("XRQT", see
// xr_geomfilelayout.h): the node table is held in memory, buckets are read
// through a storage accessor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/db/xr_storedgeomstorage.h"
#include "common/storage/xr_storageaccessor.h"

class XrSimpleGeomStorage : public XrStoredGeomStorage {
public:
    // Takes the accessor (deleted with the storage); cache may be null.
    XrSimpleGeomStorage(XrStorageAccessor* accessor, bool polyline_only, bool flag2, XrBlockCache* cache);
    ~XrSimpleGeomStorage() override;

    // OPENED when the header is sound and the node table was read, else
    // OPEN_FAILED.
    int open();

    void free_memory() override;
    XrGeomCursor* get_cursor(const XrRectangle* rect, int scale) override;

    bool load_node_into_wb(size_t handle, int& size, XrPoint& origin, int& compact_end, int& side_start) override;
    bool get_node(size_t handle, const BYTE*& node) override;
    void release_node(const BYTE* node) override;
    bool get_node_rect(const BYTE* node, const BYTE* child_node, XrRectangle& child, const XrRectangle& node_rect,
                       int quarter) override;
    size_t get_child_handle(const BYTE* node, size_t quarter) override;
    size_t get_bucket_handle(const BYTE* node) override;
    size_t get_root_handle() override { return 0; }
    // The centre of the bucket of node id >> 16.
    XrGeomCursor::Status get_approximated_point_for_geom_id(int geom_id, XrPoint& point) override;

    int get_node_count() const { return inner_count + leaf_count; }
    int get_version() const { return version; }

private:
    // Reads the header; false when it is not sound.
    bool read_header();
    bool load_tree();
    void release_tree();
    bool is_inner(const BYTE* node) const { return node < tree.get() + inner_size; }
    // The origin of a node's bucket: the centre of its split values, or of
    // its parent's for a leaf.
    bool bucket_origin(const BYTE* node, XrPoint& origin);
    // Makes the bucket of a node the working buffer.
    bool load_bucket_of(size_t handle, const BYTE* node, const XrPoint& origin);

    std::unique_ptr<XrStorageAccessor> accessor;
    XrStorageBytes tree; // the node table, or nothing when unloaded
    std::uint32_t tree_size = 0;
    std::uint32_t tree_offset = 0;
    std::uint32_t inner_size = 0;
    int inner_count = 0;
    int leaf_count = 0;
    int version = 0;
    bool opened = false;
};
