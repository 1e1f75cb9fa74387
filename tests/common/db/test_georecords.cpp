#include <cmath>
#include <random>

#include "geom_test_util.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes bytes_of(const XrByteArray& a)
{
    return Bytes(a.get_items(), a.get_items() + a.get_num_items());
}

Bytes blob(XrGeomRec& r, const XrRecDataOption& o = XrRecDataOption(), XrPoint origin = XrPoint(0, 0))
{
    XrByteArray out;
    XrGeomStorage::XrRecordType kind;
    EXPECT_TRUE(r.get_blob(o, origin, kind, out));
    EXPECT_EQ(kind, r.get_rec_type());
    return bytes_of(out);
}

XrPolypointGeomRec* line(std::initializer_list<XrPoint> pts, bool closed = false, int id = 1, int type = 3)
{
    XrPolypointGeomRec* r = new XrPolypointGeomRec(closed, id, static_cast<unsigned short>(type));
    for (const XrPoint& p : pts)
        r->add_point(p);
    return r;
}

std::vector<XrPoint> points_of(const XrPolypointGeomRec& r)
{
    const XrArray<XrPoint>& a = r.get_points();
    return std::vector<XrPoint>(a.get_items(), a.get_items() + a.get_num_items());
}

} // namespace

TEST(GeomRecBlob, PointDefaultLayout)
{
    // The type with bit 14 set passes unchanged when no attributes are coded.
    XrPointGeomRec p(7, -5, 300, 0x4000, 0x1234);
    EXPECT_EQ(blob(p), (Bytes{7, 0, 0, 0, 0x00, 0x80, 0x34, 0x12, 0xFB, 0xFF, 0xFF, 0xFF, 0x2C, 0x01, 0, 0}));
    XrByteArray out;
    XrGeomStorage::XrRecordType kind;
    ASSERT_TRUE(p.get_blob(kind, out)) << "the short form uses the default options";
    EXPECT_EQ(bytes_of(out), blob(p));
}

TEST(GeomRecBlob, DeltaCodingAgainstTheOrigin)
{
    struct Case {
        XrPoint origin;
        int x;
        bool delta;
    } cases[] = {
        {XrPoint(0, 0), 5, false}, // (0, 0) means no origin
        {XrPoint(1000, 1000), 1000 + 32767, true},
        {XrPoint(1000, 1000), 1000 + 32768, false},
        {XrPoint(1000, 1000), 1000 - 32768, true},
        {XrPoint(1000, 1000), 41000, false},
    };
    XrRecDataOption o;
    o.with_id = 0;
    o.aux_width = 0;
    o.type_width = 1;
    for (const Case& c : cases) {
        XrPointGeomRec p(1, c.x, 1000, 3, 0);
        Bytes b = blob(p, o, c.origin);
        ASSERT_FALSE(b.empty());
        EXPECT_EQ((b[0] & 0x80) != 0, c.delta) << c.x;
        EXPECT_EQ(b.size(), c.delta ? 5u : 9u) << c.x;
        if (c.delta) {
            EXPECT_EQ(static_cast<short>(b[1] | b[2] << 8), c.x - c.origin.x);
        }
        EXPECT_EQ(p.size_in_bytes(o, c.origin), static_cast<int>(b.size()));
    }
}

TEST(GeomRecBlob, AttributeFlagOnACopyOfTheType)
{
    XrRecDataOption o;
    o.attr_count = 2;
    const BYTE attr[] = {0xAB, 0xCD};
    XrPointGeomRec p(1, 10, 20, 0x1234, 0);
    p.set_attributes(attr, 2);
    Bytes first = blob(p, o);
    EXPECT_EQ(first[4], 0x34);
    EXPECT_EQ(first[5], (0x1234 >> 7 | 0x80) & 0xFF) << "0x4000 is bit 7 of the second type byte";
    EXPECT_EQ(Bytes(first.end() - 2, first.end()), (Bytes{0xAB, 0xCD}));
    EXPECT_EQ(p.type, 0x1234) << "the record keeps its type";
    EXPECT_EQ(blob(p, o), first) << "a second serialisation gives the same bytes";

    o.type_width = 1;
    p.type = 0x12;
    Bytes one = blob(p, o);
    EXPECT_EQ(one[4], 0x12 | 0x40);

    // Without type bytes there is no room for the flag: no attributes.
    o.type_width = 0;
    EXPECT_EQ(blob(p, o).size(), 4u + 1 + 2 + 8);

    // Polylines: bit 15 (two type bytes) or bit 7 (one).
    std::unique_ptr<XrPolypointGeomRec> l(line({XrPoint(0, 0), XrPoint(2, 2)}));
    l->set_attributes(attr, 1);
    o.type_width = 2;
    Bytes b = blob(*l, o);
    EXPECT_EQ(b[6], 0x80) << "type 3 | 0x8000, high byte";
    EXPECT_EQ(b[15], 0xAB);
    EXPECT_EQ(b[16], 0) << "a missing attribute byte is written as 0";
    EXPECT_EQ(l->type, 3);
}

TEST(GeomRecBlob, AuxWidths)
{
    XrRecDataOption o;
    o.with_id = 0;
    o.type_width = 1;
    o.aux_width = 1;
    XrPointGeomRec p(1, 100, 100, 3, 200);
    EXPECT_EQ(blob(p, o)[1], 100) << "one aux byte holds half the value";
    o.aux_width = 0;
    EXPECT_EQ(blob(p, o).size(), 9u);
}

TEST(GeomRecBlob, PolylineHeaderCounts)
{
    struct Case {
        int count;
        int header_bytes;
    } cases[] = {{1, 1}, {15, 1}, {16, 2}, {255, 2}, {4095, 2}};
    XrRecDataOption o;
    o.with_id = 0;
    o.type_width = 0;
    for (const Case& c : cases) {
        XrPolypointGeomRec r(false, 1, 3);
        for (int i = 0; i < c.count; ++i)
            r.add_point(XrPoint(i * 4, 0));
        Bytes b = blob(r, o);
        ASSERT_FALSE(b.empty());
        EXPECT_EQ(b[0] & 0x0F, c.count & 0x0F);
        EXPECT_EQ((b[0] & 0x10) != 0, c.header_bytes == 1) << c.count;
        if (c.header_bytes == 2) {
            EXPECT_EQ(b[1], (c.count >> 4) & 0xFF);
        }
        EXPECT_EQ(static_cast<int>(b.size()), c.header_bytes + 8 + 2 * (c.count - 1));
    }
    for (int count : {0, 4096}) {
        XrPolypointGeomRec r(false, 1, 3);
        for (int i = 0; i < count; ++i)
            r.add_point(XrPoint(i * 4, 0));
        XrByteArray out;
        out.append_byte(0x55);
        XrGeomStorage::XrRecordType kind;
        EXPECT_FALSE(r.get_blob(o, XrPoint(0, 0), kind, out)) << count;
        EXPECT_EQ(out.get_num_items(), 1) << "nothing appended";
        EXPECT_EQ(r.size_in_bytes(o, XrPoint(0, 0)), -1);
    }
}

TEST(GeomRecBlob, PolylineDifferences)
{
    // Byte deltas: half units as signed bytes.
    std::unique_ptr<XrPolypointGeomRec> small(line({XrPoint(0, 0), XrPoint(10, -20)}));
    EXPECT_EQ(blob(*small), (Bytes{1, 0, 0, 0, 0x32, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0xF6}));
    // Variable-length numbers beyond 127 half units.
    std::unique_ptr<XrPolypointGeomRec> wide(line({XrPoint(0, 0), XrPoint(1000, 0)}));
    EXPECT_EQ(blob(*wide), (Bytes{1, 0, 0, 0, 0x12, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC3, 0x74, 0x40}));
    // A difference of 2^20 half units cannot be written.
    std::unique_ptr<XrPolypointGeomRec> far(line({XrPoint(0, 0), XrPoint(1 << 21, 0)}));
    XrByteArray out;
    XrGeomStorage::XrRecordType kind;
    EXPECT_FALSE(far->get_blob(kind, out));
    EXPECT_EQ(out.get_num_items(), 0);
}

TEST(GeomRecBlob, SharedFirstPoints)
{
    XrRecDataOption o;
    o.with_id = 0;
    o.type_width = 0;
    struct Case {
        int position;
        BYTE mode;
        Bytes back;
    } cases[] = {{255, 0xC0, {0xFF}}, {256, 0x40, {0x00, 0x01}}};
    for (const Case& c : cases) {
        XrHash<XrPoint, int> dict(16, false, 80);
        std::unique_ptr<XrPolypointGeomRec> a(line({XrPoint(100, 100), XrPoint(110, 100)}));
        std::unique_ptr<XrPolypointGeomRec> b(line({XrPoint(101, 101), XrPoint(90, 90)}));
        XrByteArray out;
        XrGeomStorage::XrRecordType kind;
        ASSERT_TRUE(a->get_blob(o, XrPoint(0, 0), kind, out, &dict, 0));
        EXPECT_EQ(out.get_items()[0] & 0xC0, 0) << "the first one writes its point";
        out.remove_all();
        ASSERT_TRUE(b->get_blob(o, XrPoint(0, 0), kind, out, &dict, c.position));
        Bytes got = bytes_of(out);
        EXPECT_EQ(got[0] & 0xC0, c.mode) << "(101, 101) rounds to the same even point";
        EXPECT_EQ(Bytes(got.begin() + 1, got.begin() + 1 + c.back.size()), c.back);
        EXPECT_EQ(got.size(), 1 + c.back.size() + 2);
    }
}

TEST(GeomRecBlob, FormatWords)
{
    std::unique_ptr<XrPolypointGeomRec> r(line({XrPoint(0, 0), XrPoint(4, 4), XrPoint(8, 0)}, false, 9, 5));
    int fw = r->get_format_word();
    EXPECT_EQ(fw, 3 | 5 << 4 | 0x1000);
    int table[] = {0x123, fw};
    XrRecDataOption o;
    XrByteArray out;
    XrGeomStorage::XrRecordType kind;
    ASSERT_TRUE(r->get_blob(o, XrPoint(0, 0), kind, out, nullptr, 0, table, 2));
    EXPECT_EQ(bytes_of(out), (Bytes{9, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 2, 0xFE}))
        << "index 1, no count or type bytes";

    const BYTE attr = 1;
    r->set_attributes(&attr, 1);
    EXPECT_EQ(r->get_format_word(), fw | 0x800);
    std::unique_ptr<XrPolypointGeomRec> big_type(line({XrPoint(0, 0)}, false, 1, 128));
    EXPECT_EQ(big_type->get_format_word(), -1);
    std::unique_ptr<XrPolypointGeomRec> negative(line({XrPoint(0, 0)}, false, 1, 0x8001));
    EXPECT_EQ(negative->get_format_word(), -1);
    XrPolypointGeomRec many(false, 1, 1);
    for (int i = 0; i < 16; ++i)
        many.add_point(XrPoint(i * 2, 0));
    EXPECT_EQ(many.get_format_word(), -1);
}

TEST(GeomRecBlob, ThreeByteCoordinates)
{
    XrRecDataOption o;
    o.three_byte_coords = 1;
    XrPointGeomRec ok(1, 0x7FFFFF, -0x800000, 1, 0);
    EXPECT_EQ(blob(ok, o).size(), 4u + 2 + 2 + 6);
    XrPointGeomRec too_far(1, 0x800000, 0, 1, 0);
    XrByteArray out;
    XrGeomStorage::XrRecordType kind;
    EXPECT_FALSE(too_far.get_blob(o, XrPoint(0, 0), kind, out)) << "3 bytes would cut the coordinate";
    EXPECT_EQ(too_far.size_in_bytes(o, XrPoint(0, 0)), -1);
    // Polylines store half units: twice the range.
    std::unique_ptr<XrPolypointGeomRec> l(line({XrPoint(0xFFFFFE, 0)}));
    EXPECT_TRUE(l->get_blob(o, XrPoint(0, 0), kind, out));
}

TEST(GeomRecBlob, TextIsUtf8WithTerminator)
{
    XrRecDataOption o;
    o.with_id = 0;
    o.type_width = 1;
    o.aux_width = 0;
    XrTextGeomRec t(1, 1, 2, 4, 0, "\xC3\x85" "bo");
    Bytes b = blob(t, o);
    EXPECT_EQ(Bytes(b.end() - 5, b.end()), (Bytes{0xC3, 0x85, 'b', 'o', 0}));
    EXPECT_EQ(t.size_in_bytes(o, XrPoint(0, 0)), static_cast<int>(b.size())) << "UTF-8 bytes, not characters";
    XrTextGeomRec latin(1, 1, 2, 4, 0, "\xC5" "bo");
    EXPECT_EQ(latin.text.char_at(0), 0xC5) << "bytes that are not UTF-8 are Latin-1";
}

TEST(GeomRecSize, EqualsTheBlobLength)
{
    std::mt19937 rng(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 2000; ++round) {
        XrRecDataOption o;
        o.with_id = static_cast<BYTE>(pick(0, 1));
        o.three_byte_coords = static_cast<BYTE>(pick(0, 1));
        o.attr_count = static_cast<unsigned int>(pick(0, 3));
        o.aux_width = pick(0, 2);
        o.type_width = pick(-1, 2); // points: one type byte for a negative width too
        XrPoint origin = pick(0, 3) == 0 ? XrPoint(0, 0) : XrPoint(pick(-100000, 100000), pick(-100000, 100000));
        std::unique_ptr<XrGeomRec> r;
        int spread = pick(0, 2) == 0 ? 100 : 2000000;
        switch (pick(0, 2)) {
        case 0:
            r.reset(new XrPointGeomRec(pick(0, 1000), pick(-spread, spread), pick(-spread, spread), 5, 3));
            break;
        case 1:
            r.reset(new XrTextGeomRec(1, pick(-spread, spread), 0, 5, 3, pick(0, 1) ? "T\xC3\xA4\xE2\x82\xAC" : ""));
            break;
        default: {
            XrPolypointGeomRec* l = new XrPolypointGeomRec(pick(0, 1) == 1, 1, 5);
            int n = pick(1, 40);
            for (int i = 0; i < n; ++i)
                l->add_point(XrPoint(pick(-spread, spread), pick(-spread, spread)));
            r.reset(l);
        }
        }
        if (pick(0, 1) == 1) {
            const BYTE attr[] = {1, 2, 3};
            r->set_attributes(attr, 3);
        }
        XrByteArray out;
        XrGeomStorage::XrRecordType kind;
        bool ok = r->get_blob(o, origin, kind, out);
        int size = r->size_in_bytes(o, origin);
        EXPECT_EQ(size, ok ? out.get_num_items() : -1) << "round " << round;
    }
}

TEST(Varint, Forms)
{
    struct Case {
        int value;
        Bytes bytes;
    } cases[] = {
        {0, {0x40}},          {-1, {0x01}},          {63, {0x7F}},
        {-63, {0x3F}},        {64, {0xC0, 0x40}},    {-8191, {0xBF, 0x7F}},
        {8192, {0xC0, 0xC0, 0x00}}, {1048575, {0xFF, 0xFF, 0x7F}}, {-1048575, {0xBF, 0xFF, 0x7F}},
    };
    for (const Case& c : cases) {
        XrByteArray a;
        ASSERT_TRUE(a.append_varint(c.value));
        EXPECT_EQ(bytes_of(a), c.bytes) << c.value;
        EXPECT_EQ(xr_varint::length(a.get_items()), static_cast<int>(c.bytes.size()));
        EXPECT_EQ(xr_varint::size_of(c.value), static_cast<int>(c.bytes.size()));
        const BYTE* p = a.get_items();
        EXPECT_EQ(xr_varint::read(p), c.value);
        EXPECT_EQ(p, a.get_items() + c.bytes.size());
    }
    EXPECT_EQ(xr_varint::size_of(1048576), 0);
    const BYTE endless[] = {0x80, 0x80, 0x80, 0x80};
    const BYTE* p = endless;
    xr_varint::read(p);
    EXPECT_EQ(p, endless + 3) << "a number never takes more than 3 bytes";
    EXPECT_EQ(xr_varint::length_within(endless, endless + 2), 0) << "cut by the end";
}

// Every record kind through a geometry file and back, under several codings.
TEST(GeomRecRoundTrip, EveryKindThroughAFile)
{
    const Bytes attr2 = {0x11, 0x22};
    GeomItem pt{XrGeomStorage::RecPoint, 11, 5, 90, {XrPoint(1000, 2000)}, "", {}};
    GeomItem pt_attr{XrGeomStorage::RecPoint, 12, 6, 200, {XrPoint(-70000, 3)}, "", attr2};
    GeomItem txt{XrGeomStorage::RecText, 13, 2, 8, {XrPoint(1500, 2500)}, "H\xC3\xA4meenlinna", {}};
    GeomItem pl{XrGeomStorage::RecPolyline, 14, 3, 0, {XrPoint(100, 100), XrPoint(200, 200), XrPoint(4000, 250)}, "", {}};
    GeomItem shared{XrGeomStorage::RecPolyline, 15, 3, 0, {XrPoint(100, 100), XrPoint(50, 60)}, "", attr2};
    GeomItem pg{XrGeomStorage::RecPolygon, 16, 7, 0,
                {XrPoint(0, 0), XrPoint(1000, 0), XrPoint(1000, 1000), XrPoint(0, 1000), XrPoint(0, 0)}, "", {}};
    GeomItem longline{XrGeomStorage::RecPolyline, 17, 40, 0, {}, "", {}};
    for (int i = 0; i < 40; ++i)
        longline.points.push_back(XrPoint(i * 300, (i % 3) * 1000));

    struct Case {
        const char* what;
        std::vector<GeomItem> items;
        XrGeomFileOptions options;
    };
    std::vector<Case> cases;
    cases.push_back({"defaults, mixed", {pt, txt, pl, shared, pg, longline}, XrGeomFileOptions()});
    {
        XrGeomFileOptions o;
        o.three_byte_coords = true;
        o.type_width = 1;
        o.aux_width = 1;
        o.attr_count = 2;
        cases.push_back({"narrow codings with attributes", {pt, pt_attr, txt, pl, shared, pg}, o});
    }
    {
        XrGeomFileOptions o;
        o.with_id = false;
        o.type_width = 0;
        o.default_type = 5;
        o.aux_width = 0;
        o.default_aux = 90;
        GeomItem a = pt, b = pt;
        a.id = b.id = 0;
        b.points[0] = XrPoint(-3, 4);
        cases.push_back({"points without ids, types or aux", {a, b}, o});
    }
    {
        XrGeomFileOptions o;
        o.with_id = false;
        o.version = 0x10005;
        GeomItem t = txt;
        t.id = 0;
        cases.push_back({"texts of version 0x10005", {t}, o});
    }
    {
        XrGeomFileOptions o;
        o.version = 0x10004;
        cases.push_back({"version 0x10004", {pt, txt}, o});
    }
    {
        XrGeomFileOptions o;
        o.attr_count = 2;
        o.format_table = false;
        o.share_first_points = false;
        cases.push_back({"full headers only", {pl, shared, pg, longline}, o});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<XrSimpleGeomStorage> s(open_bytes(build_file(c.items, c.options)));
        ASSERT_NE(s, nullptr);
        std::vector<GeomItem> got = query(*s, nullptr, c.options.attr_count);
        std::vector<GeomItem> want = c.items;
        if (c.options.attr_count == 0) {
            for (GeomItem& g : want)
                g.attributes.clear();
        }
        sort_by_id(got);
        sort_by_id(want);
        if (!c.options.with_id) {
            // Without ids the order within the one bucket is the file order.
            got = query(*s, nullptr, c.options.attr_count);
            want = c.items;
        }
        EXPECT_EQ(got, want);
    }
}

TEST(PolypointPrepare, DropsWhatHalfUnitsCannotTellApart)
{
    struct Case {
        std::vector<XrPoint> in;
        std::vector<XrPoint> out;
    } cases[] = {
        {{{0, 0}, {1, 1}, {3, 3}, {2, 2}, {10, 10}, {0, 0}, {5, 5}}, {{0, 0}, {3, 3}, {10, 10}, {0, 0}, {5, 5}}},
        {{{0, 0}, {5, 5}, {1, 1}, {0, 0}}, {{0, 0}, {5, 5}, {1, 1}}},
        {{{0, 0}, {0, 0}}, {{0, 0}, {0, 0}}}, // a run of one step keeps its end
        {{{7, 7}}, {{7, 7}}},
    };
    for (const Case& c : cases) {
        XrPolypointGeomRec r(true, 1, 1);
        for (const XrPoint& p : c.in)
            r.add_point(p);
        int before = XrPolypointGeomRec::get_prepared_count();
        r.prepare_points();
        r.prepare_points();
        EXPECT_EQ(XrPolypointGeomRec::get_prepared_count(), before + 1) << "once per record";
        EXPECT_EQ(points_of(r), c.out);
    }
}

TEST(PolypointGeometry, LengthBoxAndDuplicates)
{
    std::unique_ptr<XrPolypointGeomRec> r(line({XrPoint(0, 0), XrPoint(1, 1), XrPoint(2, 2), XrPoint(2, 2)}));
    EXPECT_EQ(r->get_length(), 2) << "each segment truncated";
    EXPECT_NEAR(r->get_total_length(), 2 * std::sqrt(2.0), 1e-9);
    XrRectangle box;
    ASSERT_TRUE(r->get_bounding_box(box));
    EXPECT_EQ(box, XrRectangle(0, 0, 2, 2));
    bool ends = false;
    EXPECT_EQ(r->count_duplicate_points(&ends), 1);
    EXPECT_TRUE(ends);
    r->add_point(XrPoint(12, 2));
    EXPECT_EQ(r->get_length(), 12) << "the cache follows new points";
    XrPolypointGeomRec empty(false, 1, 1);
    EXPECT_FALSE(empty.get_bounding_box(box));

    XrArray<XrPoint> ring;
    for (XrPoint p : {XrPoint(0, 0), XrPoint(1, 0), XrPoint(0, 0)})
        ring.append(p);
    EXPECT_TRUE(xr_is_degenerate_ring(ring));
    ring.insert_item(XrPoint(1, 1), 2);
    EXPECT_FALSE(xr_is_degenerate_ring(ring));
}

TEST(PolypointGeneralize, Thinning)
{
    std::unique_ptr<XrPolypointGeomRec> bend(
        line({XrPoint(0, 0), XrPoint(10, 1), XrPoint(20, 0), XrPoint(30, 0), XrPoint(40, 20)}));
    ASSERT_TRUE(bend->generalize(3, false, false, false));
    EXPECT_EQ(points_of(*bend), (std::vector<XrPoint>{{0, 0}, {30, 0}, {40, 20}}));

    struct Case {
        bool hold_start, hold_end;
        std::vector<XrPoint> out;
    } cases[] = {
        {false, false, {{0, 0}, {30, 0}}},
        {true, false, {{0, 0}, {10, 0}, {30, 0}}},
        {false, true, {{0, 0}, {20, 0}, {30, 0}}},
        {true, true, {{0, 0}, {10, 0}, {20, 0}, {30, 0}}},
    };
    for (const Case& c : cases) {
        std::unique_ptr<XrPolypointGeomRec> straight(line({XrPoint(0, 0), XrPoint(10, 0), XrPoint(20, 0), XrPoint(30, 0)}));
        ASSERT_TRUE(straight->generalize(1, false, c.hold_start, c.hold_end));
        EXPECT_EQ(points_of(*straight), c.out) << c.hold_start << c.hold_end;
    }
    std::unique_ptr<XrPolypointGeomRec> two(line({XrPoint(0, 0), XrPoint(5, 5)}));
    EXPECT_TRUE(two->generalize(100, false, false, false));
    EXPECT_EQ(two->get_point_count(), 2) << "short lines stay";
}

TEST(PolypointGeneralize, SplitAtRepeatedPoints)
{
    std::unique_ptr<XrPolypointGeomRec> rings(line({XrPoint(0, 0), XrPoint(100, 0), XrPoint(100, 100), XrPoint(50, 100),
                                                    XrPoint(0, 100), XrPoint(0, 0), XrPoint(400, 400),
                                                    XrPoint(401, 400), XrPoint(400, 400), XrPoint(200, 200),
                                                    XrPoint(300, 200), XrPoint(300, 300), XrPoint(200, 200)},
                                                   true));
    ASSERT_TRUE(rings->generalize(1, true, false, false));
    EXPECT_EQ(points_of(*rings), (std::vector<XrPoint>{{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}, {200, 200},
                                                       {300, 200}, {300, 300}, {200, 200}}))
        << "the middle point and the tiny ring go";

    std::unique_ptr<XrPolypointGeomRec> bad_first(
        line({XrPoint(0, 0), XrPoint(1, 0), XrPoint(0, 0), XrPoint(50, 50), XrPoint(90, 50), XrPoint(50, 90)}, true));
    EXPECT_FALSE(bad_first->generalize(1, true, false, false));
    EXPECT_EQ(bad_first->get_point_count(), 6) << "unchanged";
}

TEST(PolypointGeneralize, GridSnapping)
{
    struct Case {
        XrPoint in, out;
    } cases[] = {
        {{14, 3}, {10, 0}},   {{15, 3}, {10, 0}},     {{16, 3}, {20, 0}},    {{14, 13}, {15, 10}},
        {{-14, -3}, {-10, 0}}, {{-15, -3}, {-20, 0}}, {{-5, -13}, {-5, -10}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(xr_snap_to_grid(c.in, 10), c.out) << c.in.x << "," << c.in.y;

    std::unique_ptr<XrPolypointGeomRec> merged(
        line({XrPoint(0, 0), XrPoint(3, 0), XrPoint(12, 0), XrPoint(14, 1), XrPoint(25, 0)}));
    ASSERT_TRUE(merged->generalize(-10, false, false, false));
    EXPECT_EQ(points_of(*merged), (std::vector<XrPoint>{{0, 0}, {10, 0}, {20, 0}}));

    auto loop = [] {
        return line({XrPoint(0, 0), XrPoint(20, 0), XrPoint(20, 20), XrPoint(1, 1), XrPoint(40, 0)});
    };
    std::unique_ptr<XrPolypointGeomRec> open(loop());
    ASSERT_TRUE(open->generalize(-10, false, false, false));
    EXPECT_EQ(points_of(*open), (std::vector<XrPoint>{{0, 0}, {40, 0}, {0, 0}, {20, 0}, {20, 20}, {0, 0}}))
        << "the closed loop follows the line as a ring";
    std::unique_ptr<XrPolypointGeomRec> split(loop());
    ASSERT_TRUE(split->generalize(-10, true, false, false));
    EXPECT_EQ(points_of(*split), (std::vector<XrPoint>{{0, 0}, {20, 0}, {20, 20}, {0, 0}}));
    std::unique_ptr<XrPolypointGeomRec> dot(line({XrPoint(0, 0), XrPoint(2, 2)}));
    EXPECT_FALSE(dot->generalize(-10, false, false, false));
}

TEST(PolypointGeneralize, RemoveSmallRings)
{
    std::vector<XrPoint> pts = {{0, 0},       {100, 0},     {100, 100},   {0, 0},       {500, 500},
                                {501, 500},   {501, 501},   {500, 500},   {1000, 1000}, {1100, 1000},
                                {1100, 1100}, {1000, 1000}};
    XrPolypointGeomRec polygon(true, 1, 1);
    XrPolypointGeomRec polyline(false, 1, 1);
    for (const XrPoint& p : pts) {
        polygon.add_point(p);
        polyline.add_point(p);
    }
    EXPECT_FALSE(polyline.remove_small_rings(10));
    ASSERT_TRUE(polygon.remove_small_rings(10));
    std::vector<XrPoint> want(pts.begin(), pts.begin() + 4);
    want.insert(want.end(), pts.begin() + 8, pts.end());
    EXPECT_EQ(points_of(polygon), want);
}

TEST(PolypointDeltas, RangeTests)
{
    XrArray<XrPoint> a;
    a.append(XrPoint(0, 0));
    a.append(XrPoint(254, -254));
    EXPECT_TRUE(xr_fits_byte_deltas(a));
    EXPECT_TRUE(xr_fits_12bit_deltas(a));
    a.append(XrPoint(254 + 256, -254));
    EXPECT_FALSE(xr_fits_byte_deltas(a));
    a.append(XrPoint(254 + 256 + 2049, -254));
    EXPECT_FALSE(xr_fits_12bit_deltas(a));
    EXPECT_TRUE(xr_fits_short_deltas(a));
    a.append(XrPoint(100000, 0));
    EXPECT_FALSE(xr_fits_short_deltas(a));
}
