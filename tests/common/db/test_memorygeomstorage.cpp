#include <cwchar>

#include "common/db/xr_aggregategeomstorage.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/geometry/xr_polygon.h"
#include "geom_test_util.h"
#include "memory_records.h"

namespace {

using Bytes = std::vector<BYTE>;
using Kind = XrGeomStorage::XrRecordType;

// In-memory layouts.
Bytes point_rec(int id, int x, int y, int type = 1, int aux = 0, const char* text = nullptr)
{
    return xr_test::point_record(id, x, y, type, aux, text);
}

Bytes poly_rec(int id, const std::vector<XrPoint>& pts, int type = 3, int aux = 0)
{
    return xr_test::polyline_record(id, pts, type, aux);
}

void add(XrGeomStorage& s, Kind kind, const Bytes& b)
{
    ASSERT_EQ(s.add_record(kind, b.data(), b.size()), XrGeomStorage::OK);
}

// Ids of the records a cursor hands out (their first 4 bytes).
std::vector<int> ids(XrGeomCursor& c)
{
    std::vector<int> out;
    const BYTE* rec = nullptr;
    Kind kind;
    while (c.get_next_record(rec, kind) == XrGeomCursor::OK)
        out.push_back(xr_bytes::get_i32_le(rec));
    return out;
}

XrMemoryGeomStorage* storage_with(std::initializer_list<int> record_ids)
{
    XrMemoryGeomStorage* s = new XrMemoryGeomStorage();
    for (int id : record_ids)
        add(*s, XrGeomStorage::RecPoint, point_rec(id, id, id));
    return s;
}

} // namespace

TEST(MemoryGeomStorage, KindChecks)
{
    XrMemoryGeomStorage s;
    s.set_type(XrGeomStorage::StoragePoints);
    Bytes b = point_rec(1, 2, 3);
    EXPECT_EQ(s.add_record(XrGeomStorage::RecText, b.data(), b.size()), XrGeomStorage::KIND_REFUSED);
    EXPECT_EQ(s.add_record(static_cast<Kind>(0), b.data(), b.size()), XrGeomStorage::OK);
    EXPECT_EQ(s.add_record(static_cast<Kind>(5), b.data(), b.size()), XrGeomStorage::OK);
    EXPECT_EQ(s.add_record(XrGeomStorage::RecPoint, b.data(), b.size()), XrGeomStorage::OK);
    EXPECT_EQ(s.get_record_count(), 3) << "a refused record leaves the storage as it was";
    XrMemoryGeomStorage mixed;
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(mixed.add_record(static_cast<Kind>(k), b.data(), b.size()), XrGeomStorage::OK);
    EXPECT_EQ(mixed.clear(), XrGeomStorage::OK);
    EXPECT_EQ(mixed.get_record_count(), 0);
}

TEST(MemoryGeomStorage, DecodersReadTheMemoryLayout)
{
    XrMemoryGeomStorage s;
    add(s, XrGeomStorage::RecPoint, point_rec(-7, -100, 200, 0xFF85, 45));
    add(s, XrGeomStorage::RecText, point_rec(8, 5, 6, 2, 0xFFFF, "fin#Helsinki#swe#Helsingfors##"));
    std::vector<XrPoint> pts = {XrPoint(-1000, 50), XrPoint(-900, 60), XrPoint(100000, 60), XrPoint(0, 0)};
    add(s, XrGeomStorage::RecPolyline, poly_rec(9, pts, 4, 0x8000 | 12));
    // The query rectangle does not filter.
    XrRectangle nowhere(1000000, 1000000, 1000001, 1000001);
    std::unique_ptr<XrGeomCursor> c(s.get_cursor(&nowhere, 0));
    const BYTE* rec = nullptr;
    Kind kind;
    int id = 0, x = 0, y = 0;
    short type = 0, aux = 0;
    const BYTE* attributes = nullptr;

    ASSERT_EQ(c->get_next_record(rec, kind), XrGeomCursor::OK);
    EXPECT_EQ(kind, XrGeomStorage::RecPoint);
    ASSERT_TRUE(c->get_pt(rec, id, x, y, type, aux, attributes));
    EXPECT_EQ(std::vector<int>({id, x, y, type, aux}), std::vector<int>({-7, -100, 200, -123, 45}));
    EXPECT_EQ(attributes, nullptr);

    ASSERT_EQ(c->get_next_record(rec, kind), XrGeomCursor::OK);
    const TCHAR* text = nullptr;
    int found = -1;
    const int swe = 's' | 'w' << 8 | 'e' << 16;
    ASSERT_TRUE(c->get_txt(rec, id, x, y, type, aux, text, attributes, swe, &found));
    ASSERT_NE(text, nullptr);
    EXPECT_NE(std::wcsstr(text, L"Helsingfors"), nullptr) << "the Swedish variant";
    EXPECT_EQ(std::wcsstr(text, L"Helsinki"), nullptr);
    EXPECT_EQ(found, swe);
    EXPECT_EQ(static_cast<unsigned short>(aux), 0xFFFF);

    ASSERT_EQ(c->get_next_record(rec, kind), XrGeomCursor::OK);
    EXPECT_EQ(kind, XrGeomStorage::RecPolyline);
    XrPolygon poly;
    ASSERT_TRUE(read_polygon_from_cursor(poly, kind, rec, c.get(), false));
    EXPECT_TRUE(poly.is_open());
    EXPECT_EQ(poly.get_type(), 4);
    ASSERT_EQ(poly.get_point_count(), 4) << "the points run to the record's end";
    for (int i = 0; i < 4; ++i) {
        XrPoint p;
        poly.get_point(i, p);
        EXPECT_EQ(p, pts[i]);
    }
    const BYTE* points = nullptr;
    BYTE coding = 0;
    EXPECT_EQ(c->get_pp(rec, id, x, y, type, aux, points, coding, attributes), 4);
    EXPECT_EQ(coding, 16) << "aux bit 15";
    EXPECT_EQ(aux, 12);
    EXPECT_FALSE(read_polygon_from_cursor(poly, XrGeomStorage::RecPoint, rec, c.get(), false));
    EXPECT_EQ(c->get_next_record(rec, kind), XrGeomCursor::END);

    // A record too short for its layout is not decoded.
    XrMemoryGeomStorage shorty;
    add(shorty, XrGeomStorage::RecPoint, Bytes{1, 2, 3});
    std::unique_ptr<XrGeomCursor> sc(shorty.get_cursor(nullptr, 0));
    ASSERT_EQ(sc->get_next_record(rec, kind), XrGeomCursor::OK);
    EXPECT_FALSE(sc->get_pt(rec, id, x, y, type, aux, attributes));

    // A text without its terminator, cut inside a UTF-8 sequence, is read
    // up to the record's end only.
    Bytes cut = point_rec(3, 0, 0, 1, 0, "ab");
    cut.back() = 0xC3;
    add(shorty, XrGeomStorage::RecText, cut);
    ASSERT_EQ(sc->get_next_record(rec, kind), XrGeomCursor::OK);
    ASSERT_TRUE(sc->get_txt(rec, id, x, y, type, aux, text, attributes, 0, nullptr));
    EXPECT_EQ(std::wcsncmp(text, L"ab", 2), 0);
    EXPECT_EQ(std::wcslen(text), 3u);
}

TEST(MemoryGeomStorage, ItemsAndIds)
{
    std::unique_ptr<XrMemoryGeomStorage> s(storage_with({10, 20, 30}));
    std::unique_ptr<XrGeomCursor> c(s->get_cursor(nullptr, 0));
    const BYTE* rec = nullptr;
    Kind kind;
    XrGid gid = 99;
    EXPECT_FALSE(c->get_current_record_geom_id(gid)) << "no record yet";
    c->get_next_record(rec, kind);
    c->get_next_record(rec, kind);
    ASSERT_TRUE(c->get_current_record_geom_id(gid));
    EXPECT_EQ(gid, 1u);
    std::unique_ptr<XrMapItem> item(c->get_current_map_item());
    XrString text;
    ASSERT_TRUE(item->get_id_string(text));
    EXPECT_STREQ(text.c_str(), L"20");

    std::unique_ptr<XrGeomCursor> other(s->get_cursor(nullptr, 0));
    ASSERT_EQ(other->get_record(item.get(), kind, rec), XrGeomCursor::OK);
    EXPECT_EQ(xr_bytes::get_i32_le(rec), 20);
    EXPECT_EQ(ids(*other), std::vector<int>({30})) << "the position follows the record";
    EXPECT_EQ(other->get_record(nullptr, kind, rec), XrGeomCursor::FAILED);
    XrMemoryGeomStorageMapItem beyond(3, s.get());
    EXPECT_EQ(other->get_record(&beyond, kind, rec), XrGeomCursor::END);

    EXPECT_EQ(other->get_record_by_rec_id(10, kind, rec), XrGeomCursor::OK);
    EXPECT_EQ(ids(*other), std::vector<int>({20, 30}));
    EXPECT_EQ(other->get_record_by_rec_id(11, kind, rec), XrGeomCursor::NOT_FOUND);
    EXPECT_EQ(other->get_record_by_geom_id(2, kind, rec), XrGeomCursor::OK);
    EXPECT_EQ(xr_bytes::get_i32_le(rec), 30);
    EXPECT_EQ(other->get_record_by_geom_id(3, kind, rec), XrGeomCursor::NOT_FOUND);
    EXPECT_EQ(other->get_record_by_geom_id(static_cast<XrGid>(-1), kind, rec), XrGeomCursor::NOT_FOUND);

    XrMemoryGeomStorage empty;
    std::unique_ptr<XrGeomCursor> ec(empty.get_cursor(nullptr, 0));
    EXPECT_EQ(ec->get_record_by_rec_id(1, kind, rec), XrGeomCursor::NOT_FOUND);
}

TEST(MemoryGeomStorage, DeleteAndReplaceTheCurrentRecord)
{
    {
        std::unique_ptr<XrMemoryGeomStorage> s(storage_with({1, 2, 3}));
        std::unique_ptr<XrGeomCursor> c(s->get_cursor(nullptr, 0));
        const BYTE* rec = nullptr;
        Kind kind;
        EXPECT_EQ(c->delete_current_record(), XrGeomCursor::FAILED) << "nothing returned yet";
        c->get_next_record(rec, kind);
        ASSERT_EQ(c->delete_current_record(), XrGeomCursor::OK);
        EXPECT_EQ(ids(*c), std::vector<int>({2, 3})) << "the record after the deleted one comes next";
        // After the last record: deletes it, then the one before.
        ASSERT_EQ(c->delete_current_record(), XrGeomCursor::OK);
        ASSERT_EQ(c->delete_current_record(), XrGeomCursor::OK);
        EXPECT_EQ(s->get_record_count(), 0);
    }
    {
        std::unique_ptr<XrMemoryGeomStorage> s(storage_with({1, 2, 3}));
        s->set_type(XrGeomStorage::StoragePoints);
        std::unique_ptr<XrGeomCursor> c(s->get_cursor(nullptr, 0));
        const BYTE* rec = nullptr;
        Kind kind;
        Bytes b = point_rec(42, 0, 0);
        EXPECT_EQ(c->replace_current_record(XrGeomStorage::RecPoint, b.data(), b.size()), XrGeomCursor::FAILED);
        c->get_next_record(rec, kind);
        EXPECT_EQ(c->replace_current_record(XrGeomStorage::RecText, b.data(), b.size()), XrGeomCursor::KIND_REFUSED);
        ASSERT_EQ(c->replace_current_record(XrGeomStorage::RecPoint, b.data(), b.size()), XrGeomCursor::OK);
        EXPECT_EQ(ids(*c), std::vector<int>({2, 3})) << "the next record is untouched";
        std::unique_ptr<XrGeomCursor> again(s->get_cursor(nullptr, 0));
        EXPECT_EQ(ids(*again), std::vector<int>({42, 2, 3})) << "the record last returned was replaced";
    }
}

TEST(MemoryGeomStorage, FindRecordById)
{
    XrMemoryGeomStorage s;
    add(s, XrGeomStorage::RecPoint, point_rec(1, 0, 0));
    add(s, static_cast<Kind>(0), point_rec(5, 0, 0));
    add(s, XrGeomStorage::RecText, point_rec(5, 0, 0, 1, 0, "x"));
    add(s, XrGeomStorage::RecPolygon, poly_rec(6, {XrPoint(0, 0), XrPoint(1, 1)}));
    std::unique_ptr<XrGeomCursor> c(s.get_cursor(nullptr, 0));
    const BYTE* rec = nullptr;
    Kind kind;
    ASSERT_EQ(c->find_record_by_id(5, kind, rec), XrGeomCursor::OK);
    EXPECT_EQ(kind, XrGeomStorage::RecText) << "records of other kinds are passed over";
    ASSERT_EQ(c->find_record_by_id(6, kind, rec), XrGeomCursor::OK);
    EXPECT_EQ(kind, XrGeomStorage::RecPolygon);
    EXPECT_EQ(c->find_record_by_id(1, kind, rec), XrGeomCursor::NOT_FOUND) << "it reads on, not from the start";
}

TEST(AggregateGeomStorage, ScaleLimits)
{
    struct Case {
        int scale;
        std::vector<int> ids;
    } cases[] = {{20000, {1, 2}}, {0, {1, 2, 3}}, {60000, {1}}, {9999, {1, 2, 3}}};
    for (const Case& c : cases) {
        XrAggregateGeomStorage agg;
        agg.add_storage(storage_with({1}), 0);
        agg.add_storage(storage_with({2}));
        agg.add_storage(storage_with({3}), 10000);
        std::unique_ptr<XrGeomCursor> cur(agg.get_cursor(nullptr, c.scale));
        EXPECT_EQ(ids(*cur), c.ids) << c.scale;
    }
}

TEST(AggregateGeomStorage, AggregateIds)
{
    XrAggregateGeomStorage agg;
    agg.add_storage(storage_with({100, 101}));
    agg.add_storage(storage_with({200}));
    std::unique_ptr<XrGeomCursor> c(agg.get_cursor(nullptr, 0));
    const BYTE* rec = nullptr;
    Kind kind;
    XrGid gid = 0;
    EXPECT_FALSE(c->get_current_record_geom_id(gid));
    c->get_next_record(rec, kind);
    ASSERT_TRUE(c->get_current_record_geom_id(gid));
    EXPECT_EQ(gid, 1u);
    c->get_next_record(rec, kind);
    c->get_next_record(rec, kind);
    ASSERT_TRUE(c->get_current_record_geom_id(gid));
    EXPECT_EQ(gid, 2u);
    int member_id = 0, member = 0;
    ASSERT_TRUE(agg.lookup_id(2, member_id, member));
    EXPECT_EQ(member, 1);
    EXPECT_EQ(member_id, 0);

    std::unique_ptr<XrGeomCursor> other(agg.get_cursor(nullptr, 0));
    ASSERT_EQ(other->get_record_by_geom_id(1, kind, rec), XrGeomCursor::OK);
    EXPECT_EQ(xr_bytes::get_i32_le(rec), 100);
    ASSERT_EQ(other->get_record_by_geom_id(2, kind, rec), XrGeomCursor::OK);
    EXPECT_EQ(xr_bytes::get_i32_le(rec), 200);
    for (int i = 0; i < XrAggregateGeomStorage::ID_RING_SIZE; ++i)
        agg.register_id(0, 0);
    EXPECT_FALSE(agg.lookup_id(1, member_id, member)) << "older than 210 registrations";
    EXPECT_EQ(other->get_record_by_geom_id(1, kind, rec), XrGeomCursor::FAILED);

    XrAggregateGeomStorage one;
    one.add_storage(storage_with({7, 8}));
    std::unique_ptr<XrGeomCursor> oc(one.get_cursor(nullptr, 0));
    ASSERT_EQ(oc->get_record_by_geom_id(1, kind, rec), XrGeomCursor::OK) << "one member: its own ids";
    EXPECT_EQ(xr_bytes::get_i32_le(rec), 8);
}

TEST(AggregateGeomStorage, ItemsRecordsAndForwarding)
{
    XrAggregateGeomStorage agg;
    XrMemoryGeomStorage* a = storage_with({1, 2});
    XrMemoryGeomStorage* b = storage_with({3, 4});
    agg.add_storage(a);
    Bytes rec_bytes = point_rec(9, 0, 0);
    EXPECT_EQ(agg.add_record(XrGeomStorage::RecPoint, rec_bytes.data(), rec_bytes.size()), XrGeomStorage::OK)
        << "one member takes the record";
    agg.add_storage(b);
    EXPECT_EQ(agg.add_record(XrGeomStorage::RecPoint, rec_bytes.data(), rec_bytes.size()), XrGeomStorage::FAILED);

    std::unique_ptr<XrGeomCursor> c(agg.get_cursor(nullptr, 0));
    const BYTE* rec = nullptr;
    Kind kind;
    for (int i = 0; i < 4; ++i)
        c->get_next_record(rec, kind);
    EXPECT_EQ(xr_bytes::get_i32_le(rec), 3);
    std::unique_ptr<XrMapItem> item(c->get_current_map_item());
    ASSERT_NE(item, nullptr);
    XrString text;
    ASSERT_TRUE(item->get_id_string(text));
    EXPECT_STREQ(text.c_str(), L"3");
    int id = 0, x = 0, y = 0;
    short type = 0, aux = 0;
    const BYTE* attributes = nullptr;
    EXPECT_TRUE(c->get_pt(rec, id, x, y, type, aux, attributes)) << "the member cursor decodes";
    EXPECT_EQ(c->delete_current_record(), XrGeomCursor::OK);
    EXPECT_EQ(b->get_record_count(), 1);

    std::unique_ptr<XrGeomCursor> other(agg.get_cursor(nullptr, 0));
    ASSERT_EQ(other->get_record(item.get(), kind, rec), XrGeomCursor::OK);
    EXPECT_EQ(xr_bytes::get_i32_le(rec), 4) << "index 0 of member b now holds record 4";
    ASSERT_EQ(other->get_record_by_rec_id(9, kind, rec), XrGeomCursor::OK);
    EXPECT_EQ(other->get_record_by_rec_id(77, kind, rec), XrGeomCursor::FAILED);

    agg.remove_storage(b);
    EXPECT_EQ(agg.get_member_count(), 1);
    EXPECT_EQ(other->get_record(item.get(), kind, rec), XrGeomCursor::FAILED) << "the member is gone";
    EXPECT_EQ(agg.clear(), XrGeomStorage::OK);
    EXPECT_EQ(a->get_record_count(), 0);
}

namespace {

class BoxStorage : public XrMemoryGeomStorage {
public:
    explicit BoxStorage(const XrRectangle& box) { bounding_box = box; }
};

} // namespace

TEST(AggregateGeomStorage, BoundingBoxUnion)
{
    XrAggregateGeomStorage agg;
    agg.add_storage(new BoxStorage(XrRectangle(5, 5, 5, 9)));
    agg.add_storage(new BoxStorage(XrRectangle(10, 10, 20, 20)));
    EXPECT_EQ(agg.get_bounding_box(), XrRectangle(10, 10, 20, 20)) << "an empty first box is replaced";
    agg.add_storage(new BoxStorage(XrRectangle(-5, 15, 0, 30)));
    EXPECT_EQ(agg.get_bounding_box(), XrRectangle(-5, 10, 20, 30));
}
