// The stored geometry storages: XrSimpleGeomStorage reads a geometry file
// ("XRQT") with its node table in memory; XrHeapGeomStorage reads nodes and
// buckets as blocks of a heap storage (see xr_heapgeomlayout.h).
//
// All stored storages share one working buffer: a record handed out by a
// cursor stays valid only until any stored storage loads another bucket.
#pragma once

#include <cstddef>
#include <memory>

#include "common/db/xr_simplegeomstorage.h"
#include "common/db/xr_storedgeomstorage.h"
#include "common/db/xr_storedgeomstoragecursor.h"

class XrHeapStorage;

class XrHeapGeomStorage : public XrStoredGeomStorage {
public:
    // Takes the heap storage (deleted with the storage); no block cache.
    XrHeapGeomStorage(XrHeapStorage* heap, bool polyline_only, bool flag2);
    ~XrHeapGeomStorage() override;

    // OPENED when the heap holds a readable geometry header, else
    // OPEN_FAILED.
    int open();
    bool is_open() const { return opened; }

    bool load_node_into_wb(size_t handle, int& size, XrPoint& origin, int& compact_end, int& side_start) override;
    bool get_node(size_t handle, const BYTE*& node) override;
    void release_node(const BYTE* node) override;
    bool get_node_rect(const BYTE* node, const BYTE* child_node, XrRectangle& child, const XrRectangle& node_rect,
                       int quarter) override;
    size_t get_child_handle(const BYTE* node, size_t quarter) override;
    size_t get_bucket_handle(const BYTE* node) override;
    size_t get_root_handle() override { return opened ? root : 0; }
    // Not kept by heap storages.
    XrGeomCursor::Status get_approximated_point_for_geom_id(int geom_id, XrPoint& point) override;

private:
    // Reads the header block; false when it is not sound.
    bool read_header();
    // Makes the bucket block the working buffer.
    bool load_bucket_of(size_t handle);

    std::unique_ptr<XrHeapStorage> heap;
    size_t root = 0;
    bool opened = false;
};
