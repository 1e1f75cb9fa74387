// A geometry storage in memory: record blobs in the in-memory layout (see
// XrGeomCursor), kept in the order they were added.
#pragma once

#include "common/container/xr_array.h"
#include "common/db/xr_geomstorage.h"

class XrMemoryGeomStorage : public XrGeomStorage {
public:
    struct XrRecInfo {
        int type = 0;
        BYTE* data = nullptr; // owned
        int size = 0;
    };

    XrMemoryGeomStorage() : records(8) {}
    ~XrMemoryGeomStorage() override;

    XrGeomCursor* get_cursor(const XrRectangle* rect, int scale) override;
    // Copies the bytes; KIND_REFUSED for a record kind 1 to 4 that differs
    // from the storage's own kind (a mixed storage takes every kind).
    Status add_record(XrRecordType type, const BYTE* data, size_t size) override;
    Status clear() override;

    int get_record_count() const { return records.get_num_items(); }
    const XrRecInfo* get_record_info(int index) const;
    // Whether a typed storage takes a record of this kind.
    bool accepts(int type) const;
    // Replaces record index by a copy of the data.
    bool replace_record(int index, XrRecordType type, const BYTE* data, size_t size);
    bool remove_record(int index);

private:
    XrArray<XrRecInfo> records;
};

class XrMemoryGeomStorageCursor : public XrGeomCursor {
public:
    XrMemoryGeomStorageCursor(const XrRectangle* rect, XrMemoryGeomStorage* storage)
        : XrGeomCursor(rect), storage(storage)
    {
    }

    // Every record, in order: the rectangle does not filter.
    Status get_next_record(const BYTE*& data, XrGeomStorage::XrRecordType& type) override;
    XrMapItem* get_current_map_item() override;
    bool get_current_record_geom_id(XrGid& id) override;
    Status get_record(const XrMapItem* item, XrGeomStorage::XrRecordType& type, const BYTE*& data) override;
    Status get_record_by_rec_id(int id, XrGeomStorage::XrRecordType& type, const BYTE*& data) override;
    Status get_record_by_geom_id(XrGid id, XrGeomStorage::XrRecordType& type, const BYTE*& data) override;
    // Deletes the record last returned; the next record is the one after it.
    Status delete_current_record() override;
    // Replaces the record last returned.
    Status replace_current_record(XrGeomStorage::XrRecordType type, const BYTE* data, size_t size) override;

protected:
    const BYTE* get_record_end(const BYTE* record) override;

private:
    // Hands out record index and moves the position after it.
    Status take(int index, XrGeomStorage::XrRecordType& type, const BYTE*& data);

    XrMemoryGeomStorage* storage;
    int position = 0;
};

class XrMemoryGeomStorageMapItem : public XrMapItem {
public:
    XrMemoryGeomStorageMapItem(int index, XrMemoryGeomStorage* storage) : index(index), storage(storage) {}
    // The record's id (its first 4 bytes) in decimal.
    bool get_id_string(XrString& out) const override;

    int index;
    XrMemoryGeomStorage* storage;
};
