#include "common/db/xr_storedgeomstoragecursor.h"

#include "common/misc/xr_utf8.h"

namespace {

bool meets(const XrRectangle& a, const XrRectangle& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

} // namespace

XrStoredGeomStorageCursor::XrStoredGeomStorageCursor(const XrRectangle* rect, XrStoredGeomStorage* storage)
    : XrGeomCursor(rect), storage(storage), stack(16), misses_at_start(storage->get_cache_misses())
{
    size_t root = storage->get_root_handle();
    const BYTE* node = nullptr;
    // A storage without nodes has no records.
    if (!storage->get_node(root, node))
        return;
    storage->release_node(node);
    XrGCState s;
    s.handle = root;
    s.quarter = 0;
    s.rect = storage->get_bounding_box();
    stack.append(s);
    visited.insert(root);
}

XrStoredGeomStorageCursor::~XrStoredGeomStorageCursor()
{
    storage->age_cache(storage->get_cache_misses() == misses_at_start);
}

XrGeomCursor::Status XrStoredGeomStorageCursor::fail_walk()
{
    stack.remove_all();
    in_bucket = false;
    return FAILED;
}

const XrGeomBucket* XrStoredGeomStorageCursor::ensure_bucket(size_t handle)
{
    const XrGeomBucket* b = storage->get_loaded_bucket(handle);
    if (b != nullptr)
        return b;
    int size = 0, compact_end = 0, side_start = 0;
    XrPoint origin;
    if (!storage->load_node_into_wb(handle, size, origin, compact_end, side_start))
        return nullptr;
    return storage->get_loaded_bucket(handle);
}

XrGeomCursor::Status XrStoredGeomStorageCursor::get_next_record(const BYTE*& data, XrGeomStorage::XrRecordType& type)
{
    for (;;) {
        if (in_bucket) {
            // Another cursor may have loaded a bucket meanwhile.
            const XrGeomBucket* b = ensure_bucket(bucket_handle);
            if (b == nullptr) {
                in_bucket = false;
                return FAILED;
            }
            while (side_pos < b->side_count) {
                const XrGeomSideEntry& e = b->side[side_pos++];
                bool polypoint = e.kind == XrGeomStorage::RecPolyline || e.kind == XrGeomStorage::RecPolygon;
                if (polypoint && has_query_rect && !meets(e.box, query_rect))
                    continue;
                has_record = true;
                record_bucket = bucket_handle;
                record_offset = e.offset;
                data = b->data + e.offset;
                type = static_cast<XrGeomStorage::XrRecordType>(e.kind);
                return OK;
            }
            in_bucket = false;
        }
        int top = stack.get_num_items() - 1;
        if (top < 0)
            return END;
        XrGCState state = stack.get_items()[top];
        stack.remove_item(top);
        const BYTE* node = nullptr;
        if (!storage->get_node(state.handle, node))
            return fail_walk();
        bool descended = false;
        for (int q = state.quarter; q < 4 && !descended; ++q) {
            size_t child = storage->get_child_handle(node, q);
            if (child == 0)
                continue;
            const BYTE* child_node = nullptr;
            XrRectangle child_rect;
            // Nodes met twice (a cycle, or a shared subtree) or paths deeper
            // than any sound tree: a damaged file.
            if (visited.count(child) != 0 || stack.get_num_items() >= XrStoredGeomStorage::MAX_TREE_DEPTH ||
                !storage->get_node(child, child_node)) {
                storage->release_node(node);
                return fail_walk();
            }
            bool ok = storage->get_node_rect(node, child_node, child_rect, state.rect, q);
            storage->release_node(child_node);
            if (!ok) {
                storage->release_node(node);
                return fail_walk();
            }
            if (has_query_rect && !meets(child_rect, query_rect))
                continue;
            XrGCState parent = state;
            parent.quarter = q + 1;
            XrGCState next;
            next.handle = child;
            next.quarter = 0;
            next.rect = child_rect;
            stack.append(parent);
            stack.append(next);
            visited.insert(child);
            descended = true;
        }
        if (descended) {
            storage->release_node(node);
            continue;
        }
        size_t bucket = storage->get_bucket_handle(node);
        storage->release_node(node);
        const XrGeomBucket* b = ensure_bucket(bucket);
        if (b == nullptr)
            return FAILED;
        if (b->side_count > 0) {
            in_bucket = true;
            bucket_handle = bucket;
            side_pos = 0;
        }
    }
}

void XrStoredGeomStorageCursor::skip_group()
{
    if (!in_bucket)
        return;
    const XrGeomBucket* b = ensure_bucket(bucket_handle);
    if (b == nullptr) {
        in_bucket = false;
        return;
    }
    side_pos = side_pos <= b->side_start ? b->side_start : b->side_count;
}

XrMapItem* XrStoredGeomStorageCursor::get_current_map_item()
{
    if (!has_record)
        return nullptr;
    return new XrHeapGeomStorageMapItem(record_bucket, record_offset);
}

bool XrStoredGeomStorageCursor::get_current_record_geom_id(XrGid& id)
{
    if (!has_record || record_bucket > 0xFFFF || record_offset > 0xFFFF)
        return false;
    id = static_cast<XrGid>(record_bucket << 16 | static_cast<unsigned int>(record_offset));
    return true;
}

XrGeomCursor::Status XrStoredGeomStorageCursor::fetch(size_t handle, int offset, XrGeomStorage::XrRecordType& type,
                                                      const BYTE*& data)
{
    const XrGeomBucket* b = ensure_bucket(handle);
    if (b == nullptr)
        return FAILED;
    const XrGeomSideEntry* e = b->find_entry(offset);
    if (e == nullptr)
        return FAILED;
    has_record = true;
    record_bucket = handle;
    record_offset = offset;
    data = b->data + offset;
    type = storage->is_polyline_only() ? XrGeomStorage::RecPolyline : static_cast<XrGeomStorage::XrRecordType>(e->kind);
    return OK;
}

XrGeomCursor::Status XrStoredGeomStorageCursor::get_record(const XrMapItem* item, XrGeomStorage::XrRecordType& type,
                                                           const BYTE*& data)
{
    const XrHeapGeomStorageMapItem* hi = dynamic_cast<const XrHeapGeomStorageMapItem*>(item);
    if (hi == nullptr)
        return FAILED;
    return fetch(hi->bucket_handle, hi->record_offset, type, data);
}

XrGeomCursor::Status XrStoredGeomStorageCursor::get_record_by_geom_id(XrGid id, XrGeomStorage::XrRecordType& type,
                                                                      const BYTE*& data)
{
    return fetch(id >> 16, static_cast<int>(id & 0xFFFF), type, data);
}

XrGeomCursor::Status XrStoredGeomStorageCursor::get_approximated_point_for_geom_id(int id, XrPoint& point)
{
    return storage->get_approximated_point_for_geom_id(id, point);
}

bool XrStoredGeomStorageCursor::find_record(const BYTE* record, const XrGeomBucket*& bucket,
                                            const XrGeomSideEntry*& entry) const
{
    // Only a record of the bucket in the working buffer can be read.
    const XrGeomBucket* b = nullptr;
    if (in_bucket)
        b = storage->get_loaded_bucket(bucket_handle);
    if (b == nullptr && has_record)
        b = storage->get_loaded_bucket(record_bucket);
    if (b == nullptr || record == nullptr || record < b->data || record >= b->data + b->size)
        return false;
    entry = b->find_entry(static_cast<int>(record - b->data));
    bucket = b;
    return entry != nullptr;
}

bool XrStoredGeomStorageCursor::get_pt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                                       const BYTE*& attributes)
{
    const XrGeomBucket* b = nullptr;
    const XrGeomSideEntry* e = nullptr;
    XrStoredGeomStorage::XrPointFields f;
    if (!find_record(record, b, e) || (e->kind != XrGeomStorage::RecPoint && e->kind != XrGeomStorage::RecText) ||
        !storage->decode_point(*b, *e, f))
        return false;
    id = f.id;
    x = f.x;
    y = f.y;
    type = static_cast<short>(f.type);
    aux = static_cast<short>(f.aux);
    if (f.attributes != nullptr)
        attributes = f.attributes;
    return true;
}

bool XrStoredGeomStorageCursor::get_txt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                                        const TCHAR*& text, const BYTE*& attributes, int language,
                                        int* found_language)
{
    const BYTE* attr = nullptr;
    if (!get_pt(record, id, x, y, type, aux, attr))
        return false;
    const XrGeomBucket* b = nullptr;
    const XrGeomSideEntry* e = nullptr;
    XrStoredGeomStorage::XrPointFields f;
    if (!find_record(record, b, e) || e->kind != XrGeomStorage::RecText || !storage->decode_point(*b, *e, f))
        return false;
    if (attr != nullptr)
        attributes = attr;
    bool utf8 = storage->has_utf8_texts() || XrUTF8::is_valid_utf8(f.text, f.text_len);
    text = set_text(f.text, f.text_len, utf8, storage->has_convert_texts(), language, found_language);
    return true;
}

int XrStoredGeomStorageCursor::get_pp(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                                      const BYTE*& points, BYTE& coding, const BYTE*& attributes)
{
    const BYTE* rec_start = record;
    const XrGeomBucket* b = nullptr;
    const XrGeomSideEntry* e = nullptr;
    XrStoredGeomStorage::XrPolyHeader h;
    if (!find_record(rec_start, b, e) || e->kind == XrGeomStorage::RecPoint || e->kind == XrGeomStorage::RecText ||
        !storage->decode_poly(*b, *e, h))
        return 0;
    id = h.id;
    x = h.first.x;
    y = h.first.y;
    type = static_cast<short>(h.type);
    aux = 0;
    points = h.points;
    coding = static_cast<BYTE>((h.byte_deltas ? 8 : 32) | (storage->has_half_unit_deltas() ? 1 : 0));
    if (h.attributes != nullptr)
        attributes = h.attributes;
    pp_end = b->data + e->offset + e->length;
    return h.count;
}

void XrStoredGeomStorageCursor::get_pp_next_pt(BYTE coding, int& x, int& y, const BYTE*& p)
{
    if (p == nullptr || pp_end == nullptr || p >= pp_end)
        return;
    XrStoredGeomCoding::step_point((coding & 8) != 0, (coding & 1) != 0, p, pp_end, x, y);
}
