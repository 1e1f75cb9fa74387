// Several geometry storages behind one: a cursor walks the members in order,
// each member only while the cursor's scale is below the member's limit.
#pragma once

#include <memory>

#include "common/container/xr_array.h"
#include "common/container/xr_ptrarray.h"
#include "common/db/xr_geomstorage.h"

class XrAggregateGeomStorage : public XrGeomStorage {
public:
    // Aggregate ids remembered for get_record_by_geom_id.
    static constexpr int ID_RING_SIZE = 210;
    static constexpr int DEFAULT_SCALE_LIMIT = 50000;

    XrAggregateGeomStorage() : members(8), scale_limits(8) {}
    ~XrAggregateGeomStorage() override;

    // Appends a member, owned from now on; a scale limit of 0 means none.
    void add_storage(XrGeomStorage* storage, int scale_limit);
    void add_storage(XrGeomStorage* storage) { add_storage(storage, DEFAULT_SCALE_LIMIT); }
    // Removes and deletes a member; nothing when it is not one.
    void remove_storage(XrGeomStorage* storage);

    XrGeomCursor* get_cursor(const XrRectangle* rect, int scale) override;
    // Goes to the only member; FAILED with none or several.
    Status add_record(XrRecordType type, const BYTE* data, size_t size) override;
    Status clear() override;
    // The union of the members' boxes.
    const XrRectangle& get_bounding_box() override;

    int get_member_count() const { return members.get_num_items(); }
    XrGeomStorage* get_member(int index) const { return members.get_item(index); }
    int get_scale_limit(int index) const;
    int find_member(const XrGeomStorage* storage) const;

    // A new aggregate id for a member's record id.
    int register_id(int member_id, int member_index);
    // The member's record id and the member's index of an aggregate id;
    // false when the id is not (or no longer) registered.
    bool lookup_id(int aggregate_id, int& member_id, int& member_index) const;

private:
    struct XrIdEntry {
        int aggregate_id;
        int member_id;
        BYTE member_index;
    };

    XrPtrArray<XrGeomStorage*> members;
    XrArray<int> scale_limits;
    int ring_position = 0;
    int next_aggregate_id = 1;
    std::unique_ptr<XrIdEntry[]> id_ring;
    XrRectangle union_box;
};

class XrAggregateGeomStorageCursor : public XrGeomCursor {
public:
    // The item of a member's record: the member and the member cursor's item.
    class XrAggerateGeomStorageMapItem : public XrMapItem {
    public:
        XrAggerateGeomStorageMapItem(XrGeomStorage* member, XrMapItem* inner) : member(member), inner(inner) {}
        ~XrAggerateGeomStorageMapItem() override { delete inner; }
        bool get_id_string(XrString& out) const override { return inner != nullptr && inner->get_id_string(out); }

        XrGeomStorage* member;
        XrMapItem* inner; // owned
    };

    XrAggregateGeomStorageCursor(const XrRectangle* rect, XrAggregateGeomStorage* storage, int scale)
        : XrGeomCursor(rect), storage(storage), scale(scale)
    {
    }
    ~XrAggregateGeomStorageCursor() override = default;

    Status get_next_record(const BYTE*& data, XrGeomStorage::XrRecordType& type) override;
    void skip_group() override;
    XrMapItem* get_current_map_item() override;
    bool get_current_record_geom_id(XrGid& id) override;
    Status get_record(const XrMapItem* item, XrGeomStorage::XrRecordType& type, const BYTE*& data) override;
    Status get_record_by_rec_id(int id, XrGeomStorage::XrRecordType& type, const BYTE*& data) override;
    Status get_record_by_geom_id(XrGid id, XrGeomStorage::XrRecordType& type, const BYTE*& data) override;
    Status get_approximated_point_for_geom_id(int id, XrPoint& point) override;
    Status delete_current_record() override;

    // The decoders of the member cursor of the current record.
    bool get_pt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux,
                const BYTE*& attributes) override;
    bool get_txt(const BYTE* record, int& id, int& x, int& y, short& type, short& aux, const TCHAR*& text,
                 const BYTE*& attributes, int language, int* found_language) override;
    int get_pp(const BYTE* record, int& id, int& x, int& y, short& type, short& aux, const BYTE*& points,
               BYTE& coding, const BYTE*& attributes) override;
    void get_pp_next_pt(BYTE coding, int& x, int& y, const BYTE*& p) override;

private:
    // Makes cursor (may be null) the current one, deleting the previous.
    void set_current(XrGeomCursor* cursor, XrGeomStorage* member);

    XrAggregateGeomStorage* storage;
    int member_index = 0;
    XrGeomStorage* current_member = nullptr;
    std::unique_ptr<XrGeomCursor> current_cursor;
    int scale;
};
