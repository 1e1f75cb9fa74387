#include "common/db/xr_memorygeomstorage.h"

#include <climits>
#include <cstring>

namespace {

BYTE* copy_bytes(const BYTE* data, size_t size)
{
    BYTE* copy = new BYTE[size > 0 ? size : 1];
    if (size > 0)
        std::memcpy(copy, data, size);
    return copy;
}

} // namespace

// --------------------------------------------------- XrMemoryGeomStorage

XrMemoryGeomStorage::~XrMemoryGeomStorage()
{
    clear();
}

XrGeomCursor* XrMemoryGeomStorage::get_cursor(const XrRectangle* rect, int scale)
{
    (void)scale;
    return new XrMemoryGeomStorageCursor(rect, this);
}

bool XrMemoryGeomStorage::accepts(int type) const
{
    return storage_type == StorageMixed || !is_record_kind(type) || type == storage_type;
}

XrGeomStorage::Status XrMemoryGeomStorage::add_record(XrRecordType type, const BYTE* data, size_t size)
{
    if (!accepts(type))
        return KIND_REFUSED;
    if (size > INT_MAX || (data == nullptr && size > 0))
        return FAILED;
    XrRecInfo info;
    info.type = type;
    info.data = copy_bytes(data, size);
    info.size = static_cast<int>(size);
    if (!records.append(info)) {
        delete[] info.data;
        return FAILED;
    }
    return OK;
}

XrGeomStorage::Status XrMemoryGeomStorage::clear()
{
    for (int i = 0; i < records.get_num_items(); ++i)
        delete[] records.get_items()[i].data;
    records.remove_all();
    return OK;
}

const XrMemoryGeomStorage::XrRecInfo* XrMemoryGeomStorage::get_record_info(int index) const
{
    if (index < 0 || index >= records.get_num_items())
        return nullptr;
    return records.get_items() + index;
}

bool XrMemoryGeomStorage::replace_record(int index, XrRecordType type, const BYTE* data, size_t size)
{
    if (index < 0 || index >= records.get_num_items() || size > INT_MAX || (data == nullptr && size > 0))
        return false;
    // Copied first: data may point into the record it replaces.
    BYTE* copy = copy_bytes(data, size);
    XrRecInfo& info = records.get_items()[index];
    delete[] info.data;
    info.data = copy;
    info.type = type;
    info.size = static_cast<int>(size);
    return true;
}

bool XrMemoryGeomStorage::remove_record(int index)
{
    if (index < 0 || index >= records.get_num_items())
        return false;
    delete[] records.get_items()[index].data;
    return records.remove_item(index);
}

// --------------------------------------------- XrMemoryGeomStorageCursor

XrGeomCursor::Status XrMemoryGeomStorageCursor::take(int index, XrGeomStorage::XrRecordType& type,
                                                     const BYTE*& data)
{
    const XrMemoryGeomStorage::XrRecInfo* info = storage->get_record_info(index);
    if (info == nullptr)
        return END;
    data = info->data;
    type = static_cast<XrGeomStorage::XrRecordType>(info->type);
    position = index + 1;
    return OK;
}

XrGeomCursor::Status XrMemoryGeomStorageCursor::get_next_record(const BYTE*& data, XrGeomStorage::XrRecordType& type)
{
    if (position >= storage->get_record_count())
        return END;
    return take(position, type, data);
}

XrMapItem* XrMemoryGeomStorageCursor::get_current_map_item()
{
    return new XrMemoryGeomStorageMapItem(position - 1, storage);
}

bool XrMemoryGeomStorageCursor::get_current_record_geom_id(XrGid& id)
{
    if (position <= 0 || position > storage->get_record_count())
        return false;
    id = static_cast<XrGid>(position - 1);
    return true;
}

XrGeomCursor::Status XrMemoryGeomStorageCursor::get_record(const XrMapItem* item, XrGeomStorage::XrRecordType& type,
                                                           const BYTE*& data)
{
    const XrMemoryGeomStorageMapItem* mi = dynamic_cast<const XrMemoryGeomStorageMapItem*>(item);
    if (mi == nullptr || mi->storage != storage)
        return FAILED;
    if (mi->index < 0 || mi->index >= storage->get_record_count())
        return END;
    return take(mi->index, type, data);
}

XrGeomCursor::Status XrMemoryGeomStorageCursor::get_record_by_rec_id(int id, XrGeomStorage::XrRecordType& type,
                                                                     const BYTE*& data)
{
    for (int i = 0; i < storage->get_record_count(); ++i) {
        const XrMemoryGeomStorage::XrRecInfo* info = storage->get_record_info(i);
        if (info->size >= 4 && xr_bytes::get_i32_le(info->data) == id)
            return take(i, type, data);
    }
    return NOT_FOUND;
}

XrGeomCursor::Status XrMemoryGeomStorageCursor::get_record_by_geom_id(XrGid id, XrGeomStorage::XrRecordType& type,
                                                                      const BYTE*& data)
{
    if (id >= static_cast<XrGid>(storage->get_record_count()))
        return NOT_FOUND;
    return take(static_cast<int>(id), type, data);
}

XrGeomCursor::Status XrMemoryGeomStorageCursor::delete_current_record()
{
    if (position <= 0 || position > storage->get_record_count())
        return FAILED;
    storage->remove_record(position - 1);
    // The records behind moved down one place.
    --position;
    return OK;
}

XrGeomCursor::Status XrMemoryGeomStorageCursor::replace_current_record(XrGeomStorage::XrRecordType type,
                                                                       const BYTE* data, size_t size)
{
    if (position <= 0 || position > storage->get_record_count())
        return FAILED;
    if (!storage->accepts(type))
        return KIND_REFUSED;
    return storage->replace_record(position - 1, type, data, size) ? OK : FAILED;
}

const BYTE* XrMemoryGeomStorageCursor::get_record_end(const BYTE* record)
{
    // Usually the record last handed out.
    const XrMemoryGeomStorage::XrRecInfo* info = storage->get_record_info(position - 1);
    if (info != nullptr && info->data == record)
        return info->data + info->size;
    for (int i = 0; i < storage->get_record_count(); ++i) {
        info = storage->get_record_info(i);
        if (info->data == record)
            return info->data + info->size;
    }
    return nullptr;
}

// -------------------------------------------- XrMemoryGeomStorageMapItem

bool XrMemoryGeomStorageMapItem::get_id_string(XrString& out) const
{
    const XrMemoryGeomStorage::XrRecInfo* info = storage != nullptr ? storage->get_record_info(index) : nullptr;
    if (info == nullptr || info->size < 4)
        return false;
    out.format(16, L"%d", xr_bytes::get_i32_le(info->data));
    return true;
}
