#include <functional>
#include <random>

#include <zlib.h>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/db/xr_geomfilelayout.h"
#include "common/storage/xr_heapstorage.h"
#include "geom_test_util.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/heapgeom_writer.h"

namespace {

using Bytes = std::vector<BYTE>;
using Cache = XrStoredGeomStorage::XrBlockCache;

// The layer loader takes 0 as success of both stored storages.
static_assert(XrStoredGeomStorage::OPENED == 0);

// Random records in [0, extent]: polylines and polygons on even points with
// distinct neighbours (so that they come back as they were written).
std::vector<GeomItem> random_items(int n, const std::vector<int>& kinds, unsigned seed, int extent = 1000000,
                                   bool attributes = false)
{
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto even = [&](int lo, int hi) { return pick(lo / 2, hi / 2) * 2; };
    std::vector<GeomItem> items;
    for (int i = 0; i < n; ++i) {
        GeomItem g;
        g.kind = kinds[pick(0, static_cast<int>(kinds.size()) - 1)];
        g.id = i + 1;
        if (g.kind == XrGeomStorage::RecPoint || g.kind == XrGeomStorage::RecText) {
            g.type = pick(0, 0x3FFF);
            g.aux = pick(-32768, 32767);
            g.points.push_back(XrPoint(pick(0, extent), pick(0, extent)));
            if (g.kind == XrGeomStorage::RecText) {
                g.aux &= 0xFFFF;
                g.text = "t" + std::to_string(i);
            }
        } else {
            g.type = pick(0, 3) == 0 ? pick(0, 0x3FFF) : pick(0, 20);
            int count = pick(2, pick(0, 5) == 0 ? 60 : 12);
            // Mostly short, some long reaching lines.
            int step = pick(0, 20) == 0 ? 40000 : 400;
            XrPoint p(even(0, extent), even(0, extent));
            g.points.push_back(p);
            for (int k = 1; k < count; ++k) {
                XrPoint q;
                do {
                    q = XrPoint(std::clamp(p.x + even(-step, step), 0, extent & ~1),
                                std::clamp(p.y + even(-step, step), 0, extent & ~1));
                } while (q == p);
                g.points.push_back(q);
                p = q;
            }
            if (g.kind == XrGeomStorage::RecPolygon)
                g.points.push_back(g.points[0]);
        }
        if (attributes && pick(0, 2) == 0)
            g.attributes = {static_cast<BYTE>(pick(0, 255)), static_cast<BYTE>(pick(0, 255))};
        items.push_back(g);
    }
    return items;
}

std::vector<GeomItem> brute_force(const std::vector<GeomItem>& items, const XrRectangle* rect, int attr_count)
{
    std::vector<GeomItem> out;
    for (GeomItem g : items) {
        if (rect != nullptr && !g.meets(*rect))
            continue;
        if (attr_count == 0)
            g.attributes.clear();
        out.push_back(g);
    }
    sort_by_id(out);
    return out;
}

std::vector<GeomItem> sorted(std::vector<GeomItem> v)
{
    sort_by_id(v);
    return v;
}

// A rectangle query gives every record that meets the rectangle; besides
// those only points and texts, which come with the whole bucket they lie in.
// Returns what came, by id.
std::vector<GeomItem> expect_query(XrGeomStorage& s, const XrRectangle* rect, const std::vector<GeomItem>& items,
                                   int attr_count, const std::vector<GeomItem>* all_items = nullptr)
{
    std::vector<GeomItem> got = sorted(query(s, rect, attr_count));
    std::vector<GeomItem> all = all_items != nullptr ? *all_items : brute_force(items, nullptr, attr_count);
    std::vector<GeomItem> meeting, beside;
    for (const GeomItem& g : got)
        (rect == nullptr || g.meets(*rect) ? meeting : beside).push_back(g);
    EXPECT_EQ(meeting, brute_force(items, rect, attr_count));
    for (size_t i = 1; i < got.size(); ++i)
        EXPECT_NE(got[i - 1].id, got[i].id) << "handed out twice";
    for (const GeomItem& g : beside) {
        EXPECT_TRUE(g.kind == XrGeomStorage::RecPoint || g.kind == XrGeomStorage::RecText) << g;
        auto it = std::lower_bound(all.begin(), all.end(), g, [](const GeomItem& a, const GeomItem& b) { return a.id < b.id; });
        EXPECT_TRUE(it != all.end() && *it == g) << g;
    }
    return got;
}

// Node table access of a geometry file.
using xr_bytes::get_u16_le;
using xr_bytes::get_u32_le;

int inner_count(const Bytes& f)
{
    return static_cast<int>(get_u32_le(f.data() + xrqt::OFF_INNER_SIZE) / xrqt::INNER_NODE_SIZE);
}

int node_count(const Bytes& f)
{
    int inner = inner_count(f);
    return inner + static_cast<int>((get_u32_le(f.data() + xrqt::OFF_TREE_SIZE) - inner * xrqt::INNER_NODE_SIZE) /
                                    xrqt::LEAF_NODE_SIZE);
}

size_t node_at(const Bytes& f, int handle, size_t tree = xrqt::HEADER_SIZE)
{
    int inner = inner_count(f);
    return handle < inner ? tree + handle * xrqt::INNER_NODE_SIZE
                          : tree + inner * xrqt::INNER_NODE_SIZE + (handle - inner) * xrqt::LEAF_NODE_SIZE;
}

// The decompressed bucket of a node (size word of compact headers first).
Bytes read_bucket(const Bytes& f, int handle, size_t tree = xrqt::HEADER_SIZE)
{
    size_t n = node_at(f, handle, tree);
    std::uint32_t off = get_u32_le(f.data() + n + xrqt::NODE_BUCKET_OFFSET);
    std::uint32_t len = get_u16_le(f.data() + n + xrqt::NODE_BUCKET_LENGTH);
    if (len == 0)
        return {};
    int size = get_u16_le(f.data() + off);
    Bytes raw(size);
    EXPECT_TRUE(zlib_uncompress(f.data() + off + xrqt::BUCKET_SIZE_WORD,
                                static_cast<int>(len - xrqt::BUCKET_SIZE_WORD), raw.data(), size));
    return raw;
}

// Appends a new bucket for the node (declared size: the raw size unless given).
void replace_bucket(Bytes& f, int handle, const Bytes& raw, int declared = -1)
{
    int packed = static_cast<int>(compressBound(static_cast<uLong>(raw.size())));
    Bytes z(packed);
    ASSERT_TRUE(zlib_compress(raw.data(), static_cast<int>(raw.size()), z.data(), packed));
    size_t n = node_at(f, handle);
    put_u32(f, n + xrqt::NODE_BUCKET_OFFSET, static_cast<unsigned int>(f.size()));
    put_u16(f, n + xrqt::NODE_BUCKET_LENGTH, static_cast<unsigned int>(packed + xrqt::BUCKET_SIZE_WORD));
    f.resize(f.size() + xrqt::BUCKET_SIZE_WORD);
    put_u16(f, f.size() - xrqt::BUCKET_SIZE_WORD, static_cast<unsigned int>(declared >= 0 ? declared : raw.size()));
    f.insert(f.end(), z.begin(), z.begin() + packed);
}

} // namespace

TEST(SimpleGeomStorage, OpenChecksTheHeader)
{
    Bytes good = build_file(random_items(20, {1, 2}, 1), XrGeomFileOptions());
    struct Case {
        const char* what;
        size_t at;
        Bytes patch;
        bool opens;
    } cases[] = {
        {"as written", 0, {}, true},
        {"magic", 0, {'X', 'R', 'Q', 'X'}, false},
        {"version 0x10008", xrqt::OFF_VERSION, {0x08, 0x00, 0x01, 0x00}, false},
        {"version 0x10003", xrqt::OFF_VERSION, {0x03, 0x00, 0x01, 0x00}, false},
        {"kind 6", xrqt::OFF_KIND, {6, 0, 0, 0}, false},
        {"kind 0", xrqt::OFF_KIND, {0, 0, 0, 0}, false},
        {"inner region not whole nodes", xrqt::OFF_INNER_SIZE, {25, 0, 0, 0}, false},
        {"node table past the end", xrqt::OFF_TREE_SIZE, {0, 0, 0, 1}, false},
        {"aux width 3", xrqt::OFF_CODING + xrqt::coding::AUX_WIDTH, {3}, false},
        {"type width 3", xrqt::OFF_CODING + xrqt::coding::TYPE_WIDTH, {3}, false},
        {"mixed without ids", xrqt::OFF_CODING + xrqt::coding::FLAGS, {0}, false},
    };
    for (const Case& c : cases) {
        Bytes f = good;
        std::copy(c.patch.begin(), c.patch.end(), f.begin() + c.at);
        std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(f));
        EXPECT_EQ(s != nullptr, c.opens) << c.what;
    }
    Bytes cut(good.begin(), good.begin() + 100);
    EXPECT_EQ(open_bytes(cut), nullptr) << "shorter than the header";

    std::unique_ptr<XrSimpleGeomStorage> mixed(open_bytes(good));
    ASSERT_NE(mixed, nullptr);
    EXPECT_EQ(mixed->get_type(), XrGeomStorage::StorageMixed) << "kind 5";
    XrString text;
    EXPECT_EQ(mixed->get_description(text), XrGeomStorage::FAILED);
    mixed->set_description(XrString("roads"));
    EXPECT_EQ(mixed->get_description(text), XrGeomStorage::OK);
    EXPECT_EQ(mixed->add_record(XrGeomStorage::RecPoint, nullptr, 0), XrGeomStorage::NOT_SUPPORTED);
}

TEST(SimpleGeomStorage, HeaderFields)
{
    std::vector<GeomItem> items = random_items(30, {2}, 2);
    XrGeomFileOptions o;
    o.name = "pb";
    Bytes f = build_file(items, o);
    EXPECT_EQ(std::string(f.begin() + xrqt::OFF_NAME, f.begin() + xrqt::OFF_NAME + 2), "pb");
    std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(f));
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->get_name().c_str(), L"pb");
    EXPECT_EQ(s->get_type(), XrGeomStorage::StoragePolylines);
    XrRectangle box = items[0].box();
    for (const GeomItem& g : items) {
        XrRectangle b = g.box();
        box = XrRectangle(std::min(box.left, b.left), std::min(box.top, b.top), std::max(box.right, b.right),
                          std::max(box.bottom, b.bottom));
    }
    EXPECT_EQ(s->get_bounding_box(), box);
}

TEST(SimpleGeomStorage, Version10004)
{
    std::vector<GeomItem> items = random_items(300, {1, 4}, 3);
    XrGeomFileOptions o;
    o.version = 0x10004;
    o.bucket_bytes = 512;
    o.name = "old";
    Bytes f = build_file(items, o);
    const size_t tree = xrqt::HEADER_SIZE_NO_TABLE;
    ASSERT_GT(f.size(), tree);
    EXPECT_EQ(std::string(f.begin() + xrqt::OFF_NAME_NO_TABLE, f.begin() + xrqt::OFF_NAME_NO_TABLE + 3), "old")
        << "no format table: the name at 43";
    // The root node at 85: its bucket lies behind the node table.
    EXPECT_EQ(get_u32_le(f.data() + tree) == 0 ||
                  get_u32_le(f.data() + tree) >= tree + get_u32_le(f.data() + xrqt::OFF_TREE_SIZE),
              true);
    std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(f));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->get_version(), 0x10004);
    EXPECT_GT(s->get_node_count(), 3);
    EXPECT_EQ(sorted(query(*s, nullptr)), brute_force(items, nullptr, 0));

    // A bucket of such a file starts with records, not with a size word.
    std::vector<GeomItem> one = {items[0]};
    one[0].kind = XrGeomStorage::RecPoint;
    one[0].text.clear();
    Bytes g = build_file(one, o);
    Bytes raw = read_bucket(g, 0, tree);
    ASSERT_GE(raw.size(), xrqt::ID_SIZE);
    EXPECT_EQ(get_u32_le(raw.data()) & 0x3FFFFFFF, static_cast<unsigned int>(one[0].id));
}

// The acceptance test: rectangle queries agree with a brute-force filter.
TEST(SimpleGeomStorage, RandomSetsMatchBruteForce)
{
    struct Case {
        int n;
        std::vector<int> kinds;
        int bucket;
        bool attributes;
    } cases[] = {
        {0, {1}, 16384, false},        {1, {2}, 16384, false},         {3, {1, 2, 3, 4}, 16384, false},
        {400, {2}, 2048, true},        {3000, {1, 2, 3, 4}, 4096, true}, {40000, {2, 3}, 1024, false},
        {20000, {1}, 65533, false},
    };
    Cache cache(4 << 20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        std::vector<GeomItem> items = random_items(c.n, c.kinds, 10 + c.n, 1000000, c.attributes);
        XrGeomFileOptions o;
        o.bucket_bytes = c.bucket;
        o.attr_count = c.attributes ? 2 : 0;
        Bytes f = build_file(items, o);
        std::unique_ptr<XrSimpleGeomStorage> plain(open_bytes(f));
        std::unique_ptr<XrSimpleGeomStorage> cached(open_bytes(f, &cache));
        ASSERT_NE(plain, nullptr);
        ASSERT_NE(cached, nullptr);
        if (c.n == 40000) {
            EXPECT_GT(plain->get_node_count(), 500) << "many nodes";
        }
        std::mt19937 rng(c.n);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        std::vector<XrRectangle> rects = {XrRectangle(0, 0, 1000000, 1000000), XrRectangle(500000, 500000, 500000, 500000),
                                          XrRectangle(-10, -10, -1, -1)};
        for (int q = 0; q < 12; ++q) {
            int w = pick(0, 2) == 0 ? pick(0, 300000) : pick(0, 20000);
            int x = pick(-1000, 1000000), y = pick(-1000, 1000000);
            rects.push_back(XrRectangle(x, y, x + w, y + w * 3 / 5));
        }
        const std::vector<GeomItem> all = brute_force(items, nullptr, o.attr_count);
        EXPECT_EQ(sorted(query(*plain, nullptr, o.attr_count)), all);
        for (const XrRectangle& r : rects) {
            SCOPED_TRACE(testing::Message() << r.left << "," << r.top << " " << r.right << "," << r.bottom);
            std::vector<GeomItem> got = expect_query(*plain, &r, items, o.attr_count, &all);
            EXPECT_EQ(sorted(query(*cached, &r, o.attr_count)), got) << "through the block cache";
        }
    }
    EXPECT_GT(cache.get_hits(), 0);
}

TEST(SimpleGeomStorage, QueryEdgesCount)
{
    std::vector<GeomItem> items = {
        {XrGeomStorage::RecPolyline, 1, 1, 0, {XrPoint(100, 100), XrPoint(200, 200)}, "", {}},
        {XrGeomStorage::RecPoint, 2, 1, 0, {XrPoint(50, 50)}, "", {}},
    };
    std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(build_file(items, XrGeomFileOptions())));
    ASSERT_NE(s, nullptr);
    // One bucket: its point comes whatever the rectangle, the polyline only
    // when its box meets the rectangle.
    struct Case {
        XrRectangle rect;
        std::vector<int> ids;
    } cases[] = {
        {XrRectangle(200, 200, 300, 300), {1, 2}}, {XrRectangle(201, 100, 300, 300), {2}},
        {XrRectangle(0, 0, 50, 50), {2}},          {XrRectangle(51, 51, 99, 99), {2}},
        {XrRectangle(150, 0, 160, 100), {1, 2}},   {XrRectangle(0, 0, 1000, 1000), {1, 2}},
    };
    for (const Case& c : cases) {
        std::vector<int> got;
        for (const GeomItem& g : sorted(query(*s, &c.rect)))
            got.push_back(g.id);
        EXPECT_EQ(got, c.ids) << c.rect.left << "," << c.rect.top;
    }

    // Points of nodes whose boxes miss the rectangle stay out.
    std::vector<GeomItem> clusters;
    for (int i = 0; i < 400; ++i)
        clusters.push_back({XrGeomStorage::RecPoint, 100 + i, 1, 0, {XrPoint(i % 2 == 0 ? i : 900000 + i, 1000)}, "", {}});
    XrGeomFileOptions o;
    o.bucket_bytes = 1024;
    s.reset(open_bytes(build_file(clusters, o)));
    ASSERT_NE(s, nullptr);
    XrRectangle west(0, 0, 100, 2000);
    std::vector<GeomItem> got = query(*s, &west);
    EXPECT_GE(got.size(), 51u);
    for (const GeomItem& g : got)
        EXPECT_LT(g.points[0].x, 500000) << g;
    expect_query(*s, &west, clusters, 0);
}

TEST(SimpleGeomStorage, GeomIdsItemsAndRecords)
{
    std::vector<GeomItem> items = random_items(3000, {1, 2, 3, 4}, 5);
    XrGeomFileOptions o;
    o.bucket_bytes = 1024;
    std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(build_file(items, o)));
    std::unique_ptr<XrSimpleGeomStorage> lines(open_bytes(build_file(items, o), nullptr, true));
    ASSERT_NE(s, nullptr);
    std::unique_ptr<XrGeomCursor> walk(s->get_cursor(nullptr, 0));
    std::unique_ptr<XrGeomCursor> other(s->get_cursor(nullptr, 0));
    std::unique_ptr<XrGeomCursor> poly(lines->get_cursor(nullptr, 0));
    const BYTE* rec = nullptr;
    XrGeomStorage::XrRecordType kind;
    XrGid gid = 0;
    EXPECT_FALSE(walk->get_current_record_geom_id(gid));
    EXPECT_EQ(walk->get_current_map_item(), nullptr);
    size_t last_bucket = ~size_t(0);
    int count = 0;
    while (walk->get_next_record(rec, kind) == XrGeomCursor::OK) {
        GeomItem g = decode(*walk, rec, kind, 0);
        ASSERT_TRUE(walk->get_current_record_geom_id(gid));
        std::unique_ptr<XrMapItem> item(walk->get_current_map_item());
        auto* hi = dynamic_cast<XrStoredGeomStorageCursor::XrHeapGeomStorageMapItem*>(item.get());
        ASSERT_NE(hi, nullptr);
        EXPECT_EQ(gid, hi->bucket_handle << 16 | static_cast<unsigned int>(hi->record_offset));
        if (hi->bucket_handle != last_bucket) {
            EXPECT_EQ(hi->record_offset, 0) << "a bucket's first record";
            last_bucket = hi->bucket_handle;
        }
        // Every 7th record is read back by id and by item, from another cursor.
        if (++count % 7 != 0)
            continue;
        const BYTE* again = nullptr;
        XrGeomStorage::XrRecordType again_kind;
        ASSERT_EQ(other->get_record_by_geom_id(gid, again_kind, again), XrGeomCursor::OK);
        EXPECT_EQ(decode(*other, again, again_kind, 0), g);
        ASSERT_EQ(other->get_record(item.get(), again_kind, again), XrGeomCursor::OK);
        EXPECT_EQ(again_kind, kind);
        ASSERT_EQ(poly->get_record_by_geom_id(gid, again_kind, again), XrGeomCursor::OK);
        EXPECT_EQ(again_kind, XrGeomStorage::RecPolyline) << "a polyline-only storage says so for every record";
        if (hi->record_offset > 0) {
            EXPECT_EQ(other->get_record_by_geom_id(gid - 1, again_kind, again), XrGeomCursor::FAILED)
                << "not the start of a record";
        }
    }
    EXPECT_EQ(count, 3000) << "the walk goes on after the other cursors loaded other buckets";
    EXPECT_EQ(other->get_record_by_geom_id(0xFFFF0000u, kind, rec), XrGeomCursor::FAILED) << "no such node";
    XrMapItem foreign;
    EXPECT_EQ(other->get_record(&foreign, kind, rec), XrGeomCursor::FAILED);
    EXPECT_EQ(other->get_record(nullptr, kind, rec), XrGeomCursor::FAILED);
    XrPoint centre;
    EXPECT_EQ(other->get_approximated_point_for_geom_id(static_cast<int>(gid), centre), XrGeomCursor::OK);
    EXPECT_EQ(other->get_approximated_point_for_geom_id(0x7FFF0000, centre), XrGeomCursor::FAILED);
}

// Handing records out leaves the buffered bucket as read: a second pass
// over the same (cached or shared) bucket sees the same kinds.
TEST(SimpleGeomStorage, SecondPassSeesTheSameKinds)
{
    std::vector<GeomItem> items = random_items(200, {1, 2, 3, 4}, 6);
    Bytes f = build_file(items, XrGeomFileOptions());
    Cache cache(1 << 20);
    for (Cache* c : {static_cast<Cache*>(nullptr), &cache}) {
        std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(f, c));
        std::vector<GeomItem> first = query(*s, nullptr);
        std::vector<GeomItem> second = query(*s, nullptr);
        EXPECT_EQ(first, second);
        EXPECT_EQ(sorted(first), brute_force(items, nullptr, 0));
    }
}

TEST(SimpleGeomStorage, InterleavedCursors)
{
    std::vector<GeomItem> a = random_items(2000, {2}, 7);
    std::vector<GeomItem> b = random_items(2000, {1, 4}, 8);
    XrGeomFileOptions o;
    o.bucket_bytes = 1024;
    std::unique_ptr<XrSimpleGeomStorage> sa(open_bytes(build_file(a, o)));
    std::unique_ptr<XrSimpleGeomStorage> sb(open_bytes(build_file(b, o)));
    std::unique_ptr<XrGeomCursor> ca(sa->get_cursor(nullptr, 0));
    std::unique_ptr<XrGeomCursor> cb(sb->get_cursor(nullptr, 0));
    std::vector<GeomItem> got_a, got_b;
    bool more_a = true, more_b = true;
    while (more_a || more_b) {
        const BYTE* rec = nullptr;
        XrGeomStorage::XrRecordType kind;
        if (more_a && (more_a = ca->get_next_record(rec, kind) == XrGeomCursor::OK))
            got_a.push_back(decode(*ca, rec, kind, 0));
        if (more_b && (more_b = cb->get_next_record(rec, kind) == XrGeomCursor::OK))
            got_b.push_back(decode(*cb, rec, kind, 0));
    }
    EXPECT_EQ(sorted(got_a), brute_force(a, nullptr, 0));
    EXPECT_EQ(sorted(got_b), brute_force(b, nullptr, 0));
}

TEST(SimpleGeomStorage, SkipGroup)
{
    // Three polylines with a format-table header, then two with full ones.
    std::vector<GeomItem> items;
    for (int i = 0; i < 3; ++i)
        items.push_back({XrGeomStorage::RecPolyline, i + 1, 2, 0, {XrPoint(i * 10, 0), XrPoint(i * 10 + 4, 4)}, "", {}});
    for (int i = 0; i < 2; ++i) {
        GeomItem g{XrGeomStorage::RecPolyline, 10 + i, 2, 0, {}, "", {}};
        for (int k = 0; k < 20; ++k)
            g.points.push_back(XrPoint(k * 2000, i * 100));
        items.push_back(g);
    }
    std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(build_file(items, XrGeomFileOptions())));
    auto first_ids = [&](int skip_after) {
        std::unique_ptr<XrGeomCursor> c(s->get_cursor(nullptr, 0));
        std::vector<int> out;
        const BYTE* rec = nullptr;
        XrGeomStorage::XrRecordType kind;
        while (c->get_next_record(rec, kind) == XrGeomCursor::OK) {
            out.push_back(decode(*c, rec, kind, 0).id);
            if (static_cast<int>(out.size()) == skip_after)
                c->skip_group();
        }
        return out;
    };
    EXPECT_EQ(first_ids(0), (std::vector<int>{1, 2, 3, 10, 11}));
    EXPECT_EQ(first_ids(1), (std::vector<int>{1, 10, 11})) << "to the full headers";
    EXPECT_EQ(first_ids(4), (std::vector<int>{1, 2, 3, 10})) << "to the bucket's end";
}

TEST(SimpleGeomStorage, FreeMemoryReloadsTheTree)
{
    std::vector<GeomItem> items = random_items(3000, {1, 2}, 9);
    XrGeomFileOptions o;
    o.bucket_bytes = 1024;
    Cache cache(1 << 20);
    std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(build_file(items, o), &cache));
    std::unique_ptr<XrGeomCursor> c(s->get_cursor(nullptr, 0));
    std::vector<GeomItem> got;
    const BYTE* rec = nullptr;
    XrGeomStorage::XrRecordType kind;
    while (c->get_next_record(rec, kind) == XrGeomCursor::OK) {
        got.push_back(decode(*c, rec, kind, 0));
        if (got.size() % 500 == 0) {
            s->free_memory();
            EXPECT_EQ(cache.get_block_count(), 0);
        }
    }
    EXPECT_EQ(sorted(got), brute_force(items, nullptr, 0));
}

TEST(SimpleGeomStorage, LargeBucketsNeedNoFixedBuffer)
{
    // One bucket of nearly 64 KiB (beyond the old 45000-byte buffer).
    std::vector<GeomItem> items = random_items(4000, {1}, 11);
    XrGeomFileOptions o;
    o.bucket_bytes = 65533;
    Bytes f = build_file(items, o);
    ASSERT_EQ(node_count(f), 1);
    EXPECT_GT(read_bucket(f, 0).size(), 45000u);
    std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(f));
    EXPECT_EQ(sorted(query(*s, nullptr)), brute_force(items, nullptr, 0));
}

// Damaged files give FAILED, never a crash or an endless walk.
TEST(SimpleGeomStorage, DamagedBuckets)
{
    std::vector<GeomItem> items = {
        {XrGeomStorage::RecPolyline, 1, 200, 0, {XrPoint(100, 100), XrPoint(110, 100)}, "", {}},
        {XrGeomStorage::RecPolyline, 2, 200, 0, {XrPoint(100, 100), XrPoint(90, 90)}, "", {}},
        {XrGeomStorage::RecText, 3, 1, 0, {XrPoint(5, 5)}, "abc", {}},
    };
    XrGeomFileOptions o;
    o.format_table = false;
    const Bytes good = build_file(items, o);
    const Bytes raw = read_bucket(good, 0);
    ASSERT_GT(raw.size(), 20u);
    // The second polyline (id 2, kind bits 1) shares the first one's point.
    const Bytes id2 = {2, 0, 0, 0x40};
    const size_t second = std::search(raw.begin(), raw.end(), id2.begin(), id2.end()) - raw.begin();
    ASSERT_LT(second, raw.size());
    ASSERT_EQ(raw[second + 4] & 0xC0, 0xC0);
    const int first_len = static_cast<int>(second - 2);
    ASSERT_EQ(raw[second + 7], first_len);

    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        int declared;
    } cases[] = {
        {"back reference 0", [&](Bytes& r) { r[second + 7] = 0; }, -1},
        {"back reference before the bucket", [&](Bytes& r) { r[second + 7] = 200; }, -1},
        {"back reference into a record", [&](Bytes& r) { r[second + 7] = static_cast<BYTE>(first_len - 1); }, -1},
        {"text without its end", [&](Bytes& r) { r.back() = 'x'; }, -1},
        {"a record cut by the end", [&](Bytes& r) { r.pop_back(); r.pop_back(); }, -1},
        {"compact headers past the end", [&](Bytes& r) { r[0] = 0xFF; r[1] = 0xFF; }, -1},
        {"the size word lies", [&](Bytes&) {}, 4000},
        {"an empty bucket of 1 byte", [&](Bytes& r) { r.resize(1); }, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes f = good;
        Bytes r = raw;
        c.damage(r);
        replace_bucket(f, 0, r, c.declared);
        std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(f));
        ASSERT_NE(s, nullptr);
        XrGeomCursor::Status status = XrGeomCursor::OK;
        query(*s, nullptr, 0, &status);
        EXPECT_EQ(status, XrGeomCursor::FAILED);
        std::unique_ptr<XrGeomCursor> c2(s->get_cursor(nullptr, 0));
        const BYTE* rec = nullptr;
        XrGeomStorage::XrRecordType kind;
        EXPECT_EQ(c2->get_record_by_geom_id(static_cast<XrGid>(first_len), kind, rec), XrGeomCursor::FAILED);
    }
    // The bucket beyond the end of the file.
    Bytes f = good;
    put_u32(f, node_at(f, 0) + xrqt::NODE_BUCKET_OFFSET, static_cast<unsigned int>(f.size() - 3));
    std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(f));
    XrGeomCursor::Status status = XrGeomCursor::OK;
    query(*s, nullptr, 0, &status);
    EXPECT_EQ(status, XrGeomCursor::FAILED);
}

TEST(SimpleGeomStorage, DamagedNodeTables)
{
    XrGeomFileOptions o;
    o.bucket_bytes = 256;
    const Bytes good = build_file(random_items(2000, {1}, 12), o);
    ASSERT_GT(inner_count(good), 3);
    // An inner node with an inner child: make the child point back at it.
    int parent = -1, child = -1, slot = -1;
    for (int h = 1; h < inner_count(good) && parent < 0; ++h) { // 0 cannot be named as a child
        for (int q = 0; q < 4; ++q) {
            int c = static_cast<int>(get_u16_le(good.data() + node_at(good, h) + xrqt::INNER_CHILDREN + 2 * q));
            if (c > 0 && c < inner_count(good)) {
                parent = h;
                child = c;
                slot = q;
                break;
            }
        }
    }
    ASSERT_GE(child, 0);
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"a cycle",
         [&](Bytes& f) { put_u16(f, node_at(f, child) + xrqt::INNER_CHILDREN, static_cast<unsigned int>(parent)); }},
        {"a node met twice",
         [&](Bytes& f) {
             put_u16(f, node_at(f, parent) + xrqt::INNER_CHILDREN + 2 * ((slot + 1) % 4),
                     static_cast<unsigned int>(child));
         }},
        {"a child beyond the table",
         [&](Bytes& f) { put_u16(f, node_at(f, parent) + xrqt::INNER_CHILDREN + 2 * slot, 0xFFFF); }},
        {"a leaf with a bad parent",
         [&](Bytes& f) { put_u16(f, node_at(f, node_count(f) - 1) + xrqt::LEAF_PARENT, 0x7FFF); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes f = good;
        c.damage(f);
        std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(f));
        ASSERT_NE(s, nullptr);
        XrGeomCursor::Status status = XrGeomCursor::OK;
        query(*s, nullptr, 0, &status);
        EXPECT_EQ(status, XrGeomCursor::FAILED);
    }
}

TEST(BlockCache, LeastRecentlyUsedEviction)
{
    const int MiB = 1 << 20;
    Cache cache(4 * MiB);
    const void* owner = &cache;
    auto block = [](int n) { return std::make_unique<BYTE[]>(n); };
    for (std::uint32_t i = 0; i < 4; ++i)
        ASSERT_TRUE(cache.insert_block(owner, i, 10, block(MiB / 2), MiB / 2, nullptr, 0));
    EXPECT_EQ(cache.get_used(), 2 * MiB);
    // Blocks 0 and 2 used again: 1 and 3 are now the oldest.
    ASSERT_NE(cache.find_block(owner, 0, 10), nullptr);
    ASSERT_NE(cache.find_block(owner, 2, 10), nullptr);
    EXPECT_EQ(cache.find_block(owner, 2, 11), nullptr) << "all three keys";
    ASSERT_TRUE(cache.insert_block(owner, 9, 10, block(3 * MiB), 3 * MiB, nullptr, 0));
    EXPECT_LT(cache.get_used(), 4 * MiB);
    EXPECT_EQ(cache.get_used(), 3 * MiB + MiB / 2) << "the evictions stop below the budget";
    EXPECT_EQ(cache.find_block(owner, 1, 10), nullptr);
    EXPECT_EQ(cache.find_block(owner, 3, 10), nullptr);
    EXPECT_EQ(cache.find_block(owner, 0, 10), nullptr);
    EXPECT_NE(cache.find_block(owner, 2, 10), nullptr) << "the most recently used small block stays";

    EXPECT_FALSE(cache.insert_block(owner, 9, 10, block(16), 16, nullptr, 0)) << "already cached";
    EXPECT_FALSE(cache.insert_block(owner, 20, 10, block(4 * MiB), 4 * MiB, nullptr, 0)) << "never fits";
    cache.drop_storage(owner);
    EXPECT_EQ(cache.get_block_count(), 0);
    EXPECT_EQ(cache.get_used(), 0);
}

TEST(BlockCache, AgeingDropsBlocksNotUsedSinceTheLastRound)
{
    Cache cache(1 << 20);
    const void* owner = &cache;
    for (std::uint32_t i = 0; i < 3; ++i)
        cache.insert_block(owner, i, 1, std::make_unique<BYTE[]>(10), 10, std::make_unique<XrGeomSideEntry[]>(1),
                           sizeof(XrGeomSideEntry));
    for (int i = 0; i < 3; ++i)
        cache.age(false); // first round: sets the threshold only
    EXPECT_EQ(cache.get_block_count(), 3);
    cache.find_block(owner, 1, 1);
    for (int i = 0; i < 30; ++i)
        cache.age(true);
    EXPECT_EQ(cache.get_block_count(), 1);
    EXPECT_NE(cache.find_block(owner, 1, 1), nullptr);
    cache.set_budget(100);
    EXPECT_EQ(cache.get_block_count(), 0);
    EXPECT_EQ(cache.get_budget(), 100);
}

TEST(HeapGeomStorage, WrittenAndRead)
{
    XrTempRoot root;
    std::string path = root.dir() + "/layer.heap";
    std::vector<GeomItem> items = random_items(3000, {1, 2, 3, 4}, 13, 1000000, true);
    XrGeomFileOptions o;
    o.name = "poi";
    o.bucket_bytes = 2048;
    o.attr_count = 2;
    {
        RecordSet set(items);
        std::string error;
        ASSERT_TRUE(write_heap_geom(path, set.records, o, error)) << error;
    }
    auto open = [&](int& result) {
        XrFileStorageAccessor* acc = new XrFileStorageAccessor();
        EXPECT_TRUE(acc->open(XrString(path.c_str()), true));
        XrHeapStorage* heap = new XrHeapStorage(0);
        heap->set_storage_accessor(acc);
        EXPECT_EQ(heap->open(false), XrHeapStorage::OK);
        XrHeapGeomStorage* s = new XrHeapGeomStorage(heap, false, false);
        result = s->open();
        return s;
    };
    int result = 0;
    std::unique_ptr<XrHeapGeomStorage> s(open(result));
    ASSERT_EQ(result, XrHeapGeomStorage::OPENED);
    EXPECT_TRUE(s->is_open());
    XrString name;
    ASSERT_EQ(s->get_description(name), XrGeomStorage::OK);
    EXPECT_STREQ(name.c_str(), L"poi");
    EXPECT_EQ(s->get_type(), XrGeomStorage::StorageMixed);
    EXPECT_EQ(sorted(query(*s, nullptr, 2)), brute_force(items, nullptr, 2));
    for (const XrRectangle& r : {XrRectangle(0, 0, 300000, 200000), XrRectangle(400000, 100000, 420000, 600000)})
        expect_query(*s, &r, items, 2);
    std::unique_ptr<XrGeomCursor> c(s->get_cursor(nullptr, 0));
    const BYTE* rec = nullptr;
    XrGeomStorage::XrRecordType kind;
    ASSERT_EQ(c->get_next_record(rec, kind), XrGeomCursor::OK);
    GeomItem first = decode(*c, rec, kind, 2);
    XrGid gid = 0;
    ASSERT_TRUE(c->get_current_record_geom_id(gid));
    std::unique_ptr<XrGeomCursor> other(s->get_cursor(nullptr, 0));
    ASSERT_EQ(other->get_record_by_geom_id(gid, kind, rec), XrGeomCursor::OK);
    EXPECT_EQ(decode(*other, rec, kind, 2), first);
    XrPoint p;
    EXPECT_EQ(other->get_approximated_point_for_geom_id(static_cast<int>(gid), p), XrGeomCursor::NOT_SUPPORTED);
}

TEST(HeapGeomStorage, FailedOpenIsVisible)
{
    XrTempRoot root;
    std::string path = root.dir() + "/plain.heap";
    {
        XrFileStorageAccessor* acc = new XrFileStorageAccessor();
        ASSERT_TRUE(acc->create(XrString(path.c_str())));
        XrHeapStorage heap(0);
        heap.set_storage_accessor(acc);
        ASSERT_EQ(heap.open(true), XrHeapStorage::OK);
        unsigned int id = 0;
        ASSERT_EQ(heap.allocate_block(30, &id), XrHeapStorage::OK);
        BYTE junk[30] = {'X', 'R', 'Q', 'T', 9, 9, 9, 9};
        heap.write_block_data(id, 0, 30, junk);
        heap.set_root(id);
    }
    XrFileStorageAccessor* acc = new XrFileStorageAccessor();
    ASSERT_TRUE(acc->open(XrString(path.c_str()), true));
    XrHeapStorage* heap = new XrHeapStorage(0);
    heap->set_storage_accessor(acc);
    ASSERT_EQ(heap->open(false), XrHeapStorage::OK);
    XrHeapGeomStorage s(heap, false, false);
    EXPECT_EQ(s.open(), XrHeapGeomStorage::OPEN_FAILED) << "a bad version";
    EXPECT_FALSE(s.is_open());
    XrGeomCursor::Status status = XrGeomCursor::OK;
    EXPECT_TRUE(query(s, nullptr, 0, &status).empty());
    EXPECT_EQ(status, XrGeomCursor::END);
    XrHeapGeomStorage none(nullptr, false, false);
    EXPECT_EQ(none.open(), XrHeapGeomStorage::OPEN_FAILED);
}
