// The cursor of the stored geometry storages: a depth-first walk over the
// nodes whose boxes meet the query rectangle, handing out the records of
// each node's bucket from the working buffer.
#pragma once

#include <cstddef>
#include <unordered_set>

#include "common/container/xr_array.h"
#include "common/db/xr_storedgeomstorage.h"

class XrStoredGeomStorageCursor : public XrGeomCursor {
public:
    class XrHeapGeomStorageMapItem : public XrMapItem {
    public:
        XrHeapGeomStorageMapItem(size_t bucket_handle, int record_offset)
            : bucket_handle(bucket_handle), record_offset(record_offset)
        {
        }
        size_t bucket_handle;
        int record_offset;
    };

    struct XrGCState {
        size_t handle = 0;
        int quarter = 0;
        XrRectangle rect;
    };

    XrStoredGeomStorageCursor(const XrRectangle* rect, XrStoredGeomStorage* storage);
    ~XrStoredGeomStorageCursor() override;

    // The records of the nodes whose boxes meet the rectangle: every point
    // and text of such a node (callers test positions and label extents
    // themselves), its polylines and polygons only when their box meets the
    // rectangle (edges included); every record without a rectangle. A node's
    // records come after those of its children.
    Status get_next_record(const BYTE*& data, XrGeomStorage::XrRecordType& type) override;
    void skip_group() override;
    XrMapItem* get_current_map_item() override;
    // Bucket handle << 16 | record offset.
    bool get_current_record_geom_id(XrGid& id) override;
    Status get_record(const XrMapItem* item, XrGeomStorage::XrRecordType& type, const BYTE*& data) override;
    Status get_record_by_geom_id(XrGid id, XrGeomStorage::XrRecordType& type, const BYTE*& data) override;
    Status get_approximated_point_for_geom_id(int id, XrPoint& point) override;

    bool get_pt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                const BYTE*& attributes) override;
    bool get_txt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux, const TCHAR*& text,
                 const BYTE*& attributes, int language, int* found_language) override;
    int get_pp(const BYTE* record, int& id, int& x, int& y, short& type, short& aux, const BYTE*& points,
               BYTE& coding, const BYTE*& attributes) override;
    void get_pp_next_pt(BYTE coding, int& x, int& y, const BYTE*& p) override;

private:
    // The loaded bucket and the entry of a record handed out from it.
    bool find_record(const BYTE* record, const XrGeomBucket*& bucket, const XrGeomSideEntry*& entry) const;
    // Loads the bucket of the handle unless the working buffer holds it.
    const XrGeomBucket* ensure_bucket(size_t handle);
    Status fetch(size_t handle, int offset, XrGeomStorage::XrRecordType& type, const BYTE*& data);
    // Ends the walk after a damaged node.
    Status fail_walk();

    XrStoredGeomStorage* storage;
    XrArray<XrGCState> stack;
    std::unordered_set<size_t> visited;
    bool in_bucket = false;
    size_t bucket_handle = 0;
    int side_pos = 0;
    // The record last returned.
    bool has_record = false;
    size_t record_bucket = 0;
    int record_offset = 0;
    // The end of the polyline that get_pp decoded last.
    const BYTE* pp_end = nullptr;
    long long misses_at_start;
};
