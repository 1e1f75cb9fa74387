#include "common/db/xr_aggregategeomstorage.h"

// ------------------------------------------------ XrAggregateGeomStorage

XrAggregateGeomStorage::~XrAggregateGeomStorage()
{
    for (int i = 0; i < members.get_num_items(); ++i)
        delete members.get_item(i);
}

void XrAggregateGeomStorage::add_storage(XrGeomStorage* storage, int scale_limit)
{
    if (storage == nullptr)
        return;
    members.append(storage);
    scale_limits.append(scale_limit);
}

void XrAggregateGeomStorage::remove_storage(XrGeomStorage* storage)
{
    int i = find_member(storage);
    if (i < 0)
        return;
    members.remove_item(i);
    scale_limits.remove_item(i);
    delete storage;
}

int XrAggregateGeomStorage::find_member(const XrGeomStorage* storage) const
{
    for (int i = 0; i < members.get_num_items(); ++i) {
        if (members.get_item(i) == storage)
            return i;
    }
    return -1;
}

int XrAggregateGeomStorage::get_scale_limit(int index) const
{
    int limit = 0;
    scale_limits.get_item(index, limit);
    return limit;
}

XrGeomCursor* XrAggregateGeomStorage::get_cursor(const XrRectangle* rect, int scale)
{
    return new XrAggregateGeomStorageCursor(rect, this, scale);
}

XrGeomStorage::Status XrAggregateGeomStorage::add_record(XrRecordType type, const BYTE* data, size_t size)
{
    if (members.get_num_items() != 1)
        return FAILED;
    return members.get_item(0)->add_record(type, data, size);
}

XrGeomStorage::Status XrAggregateGeomStorage::clear()
{
    for (int i = 0; i < members.get_num_items(); ++i)
        members.get_item(i)->clear();
    return OK;
}

const XrRectangle& XrAggregateGeomStorage::get_bounding_box()
{
    union_box = XrRectangle();
    for (int i = 0; i < members.get_num_items(); ++i) {
        const XrRectangle& box = members.get_item(i)->get_bounding_box();
        bool empty = union_box.right == union_box.left || union_box.bottom == union_box.top;
        if (empty) {
            union_box = box;
            continue;
        }
        if (box.left < union_box.left)
            union_box.left = box.left;
        if (box.top < union_box.top)
            union_box.top = box.top;
        if (box.right > union_box.right)
            union_box.right = box.right;
        if (box.bottom > union_box.bottom)
            union_box.bottom = box.bottom;
    }
    return union_box;
}

int XrAggregateGeomStorage::register_id(int member_id, int member_index)
{
    if (id_ring == nullptr) {
        id_ring = std::make_unique<XrIdEntry[]>(ID_RING_SIZE);
        for (int i = 0; i < ID_RING_SIZE; ++i)
            id_ring[i] = XrIdEntry{0, 0, 0};
    }
    int id = next_aggregate_id;
    next_aggregate_id = id >= 1000000 ? 1 : id + 1;
    id_ring[ring_position] = XrIdEntry{id, member_id, static_cast<BYTE>(member_index)};
    ring_position = (ring_position + 1) % ID_RING_SIZE;
    return id;
}

bool XrAggregateGeomStorage::lookup_id(int aggregate_id, int& member_id, int& member_index) const
{
    member_id = -1;
    member_index = -1;
    if (id_ring == nullptr || aggregate_id == 0)
        return false;
    for (int i = 0; i < ID_RING_SIZE; ++i) {
        if (id_ring[i].aggregate_id == aggregate_id) {
            member_id = id_ring[i].member_id;
            member_index = id_ring[i].member_index;
            return true;
        }
    }
    return false;
}

// ------------------------------------------ XrAggregateGeomStorageCursor

void XrAggregateGeomStorageCursor::set_current(XrGeomCursor* cursor, XrGeomStorage* member)
{
    if (cursor != current_cursor.get())
        current_cursor.reset(cursor);
    current_member = member;
}

XrGeomCursor::Status XrAggregateGeomStorageCursor::get_next_record(const BYTE*& data,
                                                                   XrGeomStorage::XrRecordType& type)
{
    if (current_cursor != nullptr) {
        Status s = current_cursor->get_next_record(data, type);
        if (s != END)
            return s;
        set_current(nullptr, nullptr);
    }
    while (member_index < storage->get_member_count()) {
        XrGeomStorage* member = storage->get_member(member_index);
        int limit = storage->get_scale_limit(member_index);
        ++member_index;
        if (limit != 0 && scale != 0 && scale >= limit)
            continue;
        XrGeomCursor* cursor = member->get_cursor(get_query_rect(), scale);
        if (cursor == nullptr)
            continue;
        set_current(cursor, member);
        Status s = cursor->get_next_record(data, type);
        if (s != END)
            return s;
        set_current(nullptr, nullptr);
    }
    return END;
}

void XrAggregateGeomStorageCursor::skip_group()
{
    if (current_cursor != nullptr)
        current_cursor->skip_group();
}

XrMapItem* XrAggregateGeomStorageCursor::get_current_map_item()
{
    if (current_cursor == nullptr || current_member == nullptr)
        return nullptr;
    XrMapItem* inner = current_cursor->get_current_map_item();
    if (inner == nullptr)
        return nullptr;
    return new XrAggerateGeomStorageMapItem(current_member, inner);
}

bool XrAggregateGeomStorageCursor::get_current_record_geom_id(XrGid& id)
{
    if (current_cursor == nullptr || current_member == nullptr)
        return false;
    if (storage->get_member_count() == 1)
        return current_cursor->get_current_record_geom_id(id);
    XrGid member_id = 0;
    if (!current_cursor->get_current_record_geom_id(member_id))
        return false;
    id = static_cast<XrGid>(storage->register_id(static_cast<int>(member_id), member_index - 1));
    return true;
}

XrGeomCursor::Status XrAggregateGeomStorageCursor::get_record(const XrMapItem* item,
                                                              XrGeomStorage::XrRecordType& type, const BYTE*& data)
{
    const XrAggerateGeomStorageMapItem* ai = dynamic_cast<const XrAggerateGeomStorageMapItem*>(item);
    if (ai == nullptr)
        return FAILED;
    int index = storage->find_member(ai->member);
    if (index < 0)
        return FAILED;
    member_index = index + 1;
    XrGeomCursor* cursor = ai->member->get_cursor(nullptr, scale);
    if (cursor == nullptr)
        return FAILED;
    Status s = cursor->get_record(ai->inner, type, data);
    set_current(cursor, ai->member);
    return s;
}

XrGeomCursor::Status XrAggregateGeomStorageCursor::get_record_by_rec_id(int id, XrGeomStorage::XrRecordType& type,
                                                                        const BYTE*& data)
{
    set_current(nullptr, nullptr);
    for (int i = 0; i < storage->get_member_count(); ++i) {
        XrGeomStorage* member = storage->get_member(i);
        XrGeomCursor* cursor = member->get_cursor(nullptr, scale);
        if (cursor == nullptr)
            continue;
        if (cursor->get_record_by_rec_id(id, type, data) == OK) {
            set_current(cursor, member);
            member_index = i + 1;
            return OK;
        }
        delete cursor;
    }
    return FAILED;
}

XrGeomCursor::Status XrAggregateGeomStorageCursor::get_record_by_geom_id(XrGid id, XrGeomStorage::XrRecordType& type,
                                                                         const BYTE*& data)
{
    int member_id = static_cast<int>(id);
    int index = 0;
    if (storage->get_member_count() != 1 && !storage->lookup_id(static_cast<int>(id), member_id, index))
        return FAILED;
    XrGeomStorage* member = storage->get_member(index);
    if (member == nullptr)
        return FAILED;
    XrGeomCursor* cursor = member->get_cursor(nullptr, scale);
    if (cursor == nullptr)
        return FAILED;
    set_current(cursor, member);
    member_index = index + 1;
    return cursor->get_record_by_geom_id(static_cast<XrGid>(member_id), type, data);
}

XrGeomCursor::Status XrAggregateGeomStorageCursor::get_approximated_point_for_geom_id(int id, XrPoint& point)
{
    for (int i = 0; i < storage->get_member_count(); ++i) {
        XrGeomStorage* member = storage->get_member(i);
        XrGeomCursor* cursor = member->get_cursor(nullptr, scale);
        if (cursor == nullptr)
            continue;
        set_current(cursor, member);
        member_index = i + 1;
        if (cursor->get_approximated_point_for_geom_id(id, point) == OK)
            return OK;
    }
    return FAILED;
}

XrGeomCursor::Status XrAggregateGeomStorageCursor::delete_current_record()
{
    if (current_cursor == nullptr)
        return FAILED;
    return current_cursor->delete_current_record();
}

bool XrAggregateGeomStorageCursor::get_pt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                                          const BYTE*& attributes)
{
    XR_ASSERT_MSG(current_cursor != nullptr, "current_cursor");
    return current_cursor->get_pt(record, id, x, y, type, aux, attributes);
}

bool XrAggregateGeomStorageCursor::get_txt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                                           const TCHAR*& text, const BYTE*& attributes, int language,
                                           int* found_language)
{
    XR_ASSERT_MSG(current_cursor != nullptr, "current_cursor");
    return current_cursor->get_txt(record, id, x, y, type, aux, text, attributes, language, found_language);
}

int XrAggregateGeomStorageCursor::get_pp(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                                         const BYTE*& points, BYTE& coding, const BYTE*& attributes)
{
    XR_ASSERT_MSG(current_cursor != nullptr, "current_cursor");
    return current_cursor->get_pp(record, id, x, y, type, aux, points, coding, attributes);
}

void XrAggregateGeomStorageCursor::get_pp_next_pt(BYTE coding, int& x, int& y, const BYTE*& p)
{
    XR_ASSERT_MSG(current_cursor != nullptr, "current_cursor");
    current_cursor->get_pp_next_pt(coding, x, y, p);
}
