#include <functional>

#include "addr_test_util.h"
#include "common/container/xr_bytearray.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/zlib_stream.h"

namespace {

namespace L = xr_addr_layout;

using St = XrAddrAccessor::Status;

constexpr XrLC FIN = 'f' | 'i' << 8 | 'n' << 16;
constexpr XrLC SWE = 's' | 'w' << 8 | 'e' << 16;
constexpr XrLC DEU = 'd' | 'e' << 8 | 'u' << 16;
constexpr XrLC ARA = 0x617261;

XrAddrFileOptions version(unsigned int major, unsigned int minor)
{
    XrAddrFileOptions o;
    o.major = major;
    o.minor = minor;
    return o;
}

// The bytes with block n inflated, changed and stored again (at the end).
std::vector<BYTE> with_block(std::vector<BYTE> db, unsigned int n, const std::function<void(std::vector<BYTE>&)>& change)
{
    AddrLayout l(db);
    BYTE* e = db.data() + l.index + L::INDEX_ENTRY_SIZE * n;
    std::vector<BYTE> data(xr_bytes::get_u16_le(e + L::INDEX_INFLATED));
    int len = static_cast<int>(data.size());
    const std::uint32_t where = xr_bytes::get_u32_le(e + L::INDEX_WHERE);
    EXPECT_TRUE(zlib_uncompress_whole(db.data() + (where & L::INDEX_OFFSET_MASK), xr_bytes::get_u16_le(e + L::INDEX_STORED),
                                      data.data(), len));
    change(data);
    const std::vector<BYTE> z = xr_zlib_stream(data);
    xr_bytes::put_u16_le(e + L::INDEX_INFLATED, static_cast<std::uint16_t>(data.size()));
    xr_bytes::put_u16_le(e + L::INDEX_STORED, static_cast<std::uint16_t>(z.size()));
    xr_bytes::put_u32_le(e + L::INDEX_WHERE, static_cast<std::uint32_t>(db.size()) | (where & L::INDEX_LAST_BLOCK));
    db.insert(db.end(), z.begin(), z.end());
    return db;
}

// ------------------------------------------------------------------ header and versions

TEST(AddrAccessor, OpensEveryVersion)
{
    struct Case {
        unsigned int minor;
        int header;
        int extra;
        int languages;
        std::wstring cedar;
    };
    const Case cases[] = {
        {0, L::HEADER_SIZE_6_0, 4, 0, L"Cedar"},
        {1, L::HEADER_SIZE_6_1, 6, 0, L"Cedar"},
        {2, L::HEADER_SIZE_6_2, 6, 2, L"\u202ACedar\u202C"},
        {3, L::HEADER_SIZE_6_2, 6, 2, L"\u202ACedar\u202C"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.minor);
        XrAddrFileOptions o = version(6, c.minor);
        o.extra_size = 6;
        o.languages = {FIN, ARA};
        XrAddrWriter w(o);
        XrAddrStreetDef cedar = street("Cedar", 2);
        cedar.language = 0;
        cedar.gid = 77;
        w.add_street(cedar);
        const int alder = w.add_street(street("Alder", 1, {seg(0x10002, 1, 9, 2, 10)}, 5));
        XrAddrStreetDef birch = street("Birch", 3);
        birch.gid = 55;
        birch.link = c.minor < 3 ? alder : -1;
        w.add_street(birch);
        auto a = open_db(build_db(w));

        int header = 0;
        EXPECT_EQ(a->get_header_size(header), XrAddrAccessor::OK);
        EXPECT_EQ(header, c.header);
        EXPECT_EQ(a->get_version(), 0x60000u + c.minor);
        EXPECT_EQ(a->get_extra_size(), c.extra);
        EXPECT_EQ(a->get_language_codes().get_num_items(), c.languages);
        EXPECT_EQ(a->get_header_count(), 3u);

        ASSERT_EQ(a->find_first_street(L"", false), XrAddrAccessor::OK);
        XrString name;
        unsigned int county = 0;
        int type = 0;
        XrGid gid = 0;
        ASSERT_EQ(a->get_next_street(&name, &county, &type, &gid, nullptr), XrAddrAccessor::OK);
        EXPECT_EQ(wstr(name), L"Alder");
        EXPECT_EQ(county, 1u);
        EXPECT_EQ(type, 5);
        EXPECT_EQ(gid, 0x10002u);
        EXPECT_EQ(read_segments(*a), (std::vector<SegmentRead>{{0x10002, 1, 9, 2, 10, 1, 0}}));
        ASSERT_EQ(a->get_next_street(&name, nullptr, nullptr, &gid, nullptr), XrAddrAccessor::OK);
        EXPECT_EQ(wstr(name), L"Birch");
        EXPECT_EQ(gid, 55u);
        if (c.minor < 3) { // the segments of Alder
            EXPECT_EQ(read_segments(*a).size(), 1u);
        }
        XrLC lang = 1;
        ASSERT_EQ(a->get_next_street(&name, nullptr, nullptr, &gid, &lang), XrAddrAccessor::OK);
        EXPECT_EQ(wstr(name), c.cedar);
        EXPECT_EQ(lang, c.languages > 0 ? FIN : 0u);
        EXPECT_EQ(a->get_next_street(&name, nullptr, nullptr, nullptr, nullptr), XrAddrAccessor::END);
    }
}

TEST(AddrAccessor, OpenFailures)
{
    XrAddrWriter w;
    w.add_street(street("Main", 0, {seg(1, 1, 3, 2, 4)}));
    const std::vector<BYTE> good = build_db(w);

    XrAddrAccessor none;
    EXPECT_EQ(none.open(), XrAddrAccessor::FAILED);
    unsigned int v = 0;
    EXPECT_EQ(none.read_version(v), XrAddrAccessor::FAILED);

    struct Case {
        const char* what;
        std::function<void(std::vector<BYTE>&)> change;
    };
    const Case cases[] = {
        {"magic", [](std::vector<BYTE>& b) { b[3] = 'X'; }},
        {"cut header", [](std::vector<BYTE>& b) { b.resize(30); }},
        {"languages beyond the file",
         [](std::vector<BYTE>& b) { xr_bytes::put_u16_le(b.data() + L::LANGUAGE_COUNT_OFFSET, 0x7FFF); }},
        {"suffix table beyond the file",
         [](std::vector<BYTE>& b) { xr_bytes::put_u32_le(b.data() + L::SUFFIX_OFFSET, 0x7FFFFF00); }},
        {"block index beyond the file",
         [](std::vector<BYTE>& b) { xr_bytes::put_u32_le(b.data() + L::BLOCK_COUNT_OFFSET, 0x10000000); }},
        {"negative extra size", [](std::vector<BYTE>& b) { b[L::EXTRA_SIZE_OFFSET + 1] = 0x80; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<BYTE> bad = good;
        c.change(bad);
        open_db(bad, nullptr, XrAddrAccessor::FAILED);
    }
}

TEST(AddrAccessor, OpensFromAFile)
{
    XrTempRoot root;
    XrAddrWriter w;
    w.add_street(street("Harbour", 0, {seg(4, 1, 5, 2, 6)}));
    w.add_street(street("Dock", 0, {seg(5, 1, 1, 2, 2)}));
    const std::string path = root.dir() + "/addr.dat";
    std::string error;
    ASSERT_TRUE(w.write(path, error)) << error;
    XrAddrAccessor a;
    a.set_storage(open_storage_accessor(XrString(path.c_str()), true));
    ASSERT_NE(a.get_storage(), nullptr);
    ASSERT_EQ(a.open(), XrAddrAccessor::OK);
    ASSERT_EQ(a.find_first_street(L"", false), XrAddrAccessor::OK);
    EXPECT_EQ(walk_names(a), (std::vector<std::wstring>{L"Dock", L"Harbour"}));
}

// ------------------------------------------------------------------ street walk

TEST(AddrAccessor, WalkSpansBlocksAndEndsWithItsSequence)
{
    XrAddrFileOptions o;
    o.block_size = 64;
    XrAddrWriter w(o);
    std::vector<std::wstring> all;
    for (int i = 0; i < 40; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Street %02d", i);
        XrAddrStreetDef s = street(name, 0, {seg(i, 1, 3, 2, 4)});
        s.ends_sequence = i == 9;
        w.add_street(s);
        all.push_back(std::wstring(name, name + std::strlen(name)));
    }
    auto a = open_db(build_db(w));
    EXPECT_GT(a->get_block_count(), 5u);

    St last = XrAddrAccessor::OK;
    ASSERT_EQ(a->find_first_street(L"", false), XrAddrAccessor::OK);
    EXPECT_EQ(walk_names(*a, &last), std::vector<std::wstring>(all.begin(), all.begin() + 10));
    EXPECT_EQ(last, XrAddrAccessor::END);
    EXPECT_EQ(a->get_next_street(nullptr, nullptr, nullptr, nullptr, nullptr), XrAddrAccessor::END);

    ASSERT_EQ(a->find_first_street(L"STREET1", false), XrAddrAccessor::OK);
    EXPECT_EQ(walk_names(*a, &last), std::vector<std::wstring>(all.begin() + 10, all.end()));
    EXPECT_EQ(last, XrAddrAccessor::END);
}

TEST(AddrAccessor, PositionsAndSeeking)
{
    XrAddrFileOptions o;
    o.block_size = 40;
    XrAddrWriter w(o);
    const int a1 = w.add_street(street("Aspen", 0, {seg(1, 1, 3, 2, 4)}));
    const int b1 = w.add_street(street("Beech", 0, {seg(2, 1, 3, 2, 4)}));
    const int c1 = w.add_street(street("Cherry", 0, {seg(3, 1, 3, 2, 4)}));
    auto a = open_db(build_db(w));
    EXPECT_EQ(a->get_current_position(), XrAddrAccessor::END_BLOCK);

    ASSERT_EQ(a->find_first_street(L"", false), XrAddrAccessor::OK);
    ASSERT_EQ(a->get_next_street(nullptr, nullptr, nullptr, nullptr, nullptr), XrAddrAccessor::OK);
    EXPECT_EQ(a->get_current_position(), w.get_street_position(a1));
    ASSERT_EQ(a->get_next_street(nullptr, nullptr, nullptr, nullptr, nullptr), XrAddrAccessor::OK);
    EXPECT_EQ(a->get_current_position(), w.get_street_position(b1));

    ASSERT_TRUE(a->set_current_position(w.get_street_position(c1)));
    EXPECT_EQ(walk_names(*a), (std::vector<std::wstring>{L"Cherry"}));
    ASSERT_TRUE(a->set_current_position(w.get_street_position(a1)));
    // Segments of the street before the cursor, then the walk from it.
    EXPECT_EQ(read_segments(*a).size(), 1u);
    EXPECT_EQ(walk_names(*a).size(), 3u);

    EXPECT_EQ(a->seek_block(XrAddrAccessor::END_BLOCK, 0), XrAddrAccessor::OK);
    EXPECT_EQ(a->get_next_street(nullptr, nullptr, nullptr, nullptr, nullptr), XrAddrAccessor::END);
    EXPECT_EQ(a->seek_block(a->get_block_count(), 0), XrAddrAccessor::FAILED);
    EXPECT_FALSE(a->set_current_position(0x7000u << 16));
    EXPECT_EQ(a->read_block_by_gid(w.get_street_position(b1) | 0xFFFF), XrAddrAccessor::FAILED);
    EXPECT_EQ(a->read_block_by_gid((w.get_street_position(b1) & 0xFFFF0000) | 0xFFF0), XrAddrAccessor::FAILED);
}

TEST(AddrAccessor, SuffixesAndSharedNames)
{
    XrAddrFileOptions o;
    o.suffixes = {{u" Street", u"St"}, {u" Road", u"Rd"}, {u" Lane", u"Ln"}};
    XrAddrWriter shared(o);
    o.share_names = false;
    XrAddrWriter plain(o);
    for (XrAddrWriter* w : {&shared, &plain}) {
        XrAddrStreetDef s = street("Oak", 0, {seg(1, 1, 1, 2, 2)});
        s.suffix = 3;
        w->add_street(s);
        s.suffix = 1;
        w->add_street(s);
        s = street("Elm", 1, {seg(2, 1, 1, 2, 2)});
        s.suffix = 2;
        w->add_street(s);
        s.county = 2;
        w->add_street(s);
    }
    std::vector<BYTE> db = build_db(shared);
    build_db(plain);
    // The second "Elm" refers to the first one's name: 2 bytes instead of 4.
    EXPECT_EQ(plain.get_street_position(0) - shared.get_street_position(0), 2u);

    auto a = open_db(db);
    ASSERT_EQ(a->find_first_street(L"", false), XrAddrAccessor::OK);
    EXPECT_EQ(walk_names(*a), (std::vector<std::wstring>{L"Elm Road", L"Elm Road", L"Oak Lane", L"Oak Street"}));

    const TCHAR* const* strings = nullptr;
    const int* splits = nullptr;
    int count = 0;
    a->get_suffix_table(strings, splits, count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(std::wstring(strings[2]), L" Lane");
    EXPECT_EQ(std::wstring(strings[2] + splits[2] + 1), L"Ln");
    EXPECT_EQ(splits[2], 5);
}

TEST(AddrAccessor, DirectionMarksByLanguage)
{
    XrAddrFileOptions o = version(6, 2);
    o.languages = {FIN, ARA};
    XrAddrWriter w(o);
    const struct {
        const char* name;
        int language;
        std::wstring expect;
        XrLC code;
    } cases[] = {
        {"Aleksanterinkatu", 0, L"\u202AAleksanterinkatu\u202C", FIN},
        {"\xD8\xB3\xD9\x88\xD9\x82", 1, L"\u202B\u0633\u0648\u0642\u202C", ARA},
        {"Bulevardi", 2, L"Bulevardi", 0},
        {"Esplanadi", 0xFF, L"Esplanadi", 0},
    };
    for (const auto& c : cases) {
        XrAddrStreetDef s = street(c.name, 0, {seg(1, 1, 1, 2, 2)});
        s.language = c.language;
        const int i = w.add_street(s);
        (void)i;
    }
    auto a = open_db(build_db(w));
    for (size_t i = 0; i < std::size(cases); ++i) {
        XrString name;
        XrLC lang = 99;
        ASSERT_EQ(a->get_street_by_gid(w.get_street_position(static_cast<int>(i)), name, nullptr, nullptr, 0, &lang),
                  XrAddrAccessor::OK);
        EXPECT_EQ(wstr(name), cases[i].expect);
        EXPECT_EQ(lang, cases[i].code);
    }
}

// ------------------------------------------------------------------ segments

TEST(AddrAccessor, SegmentForms)
{
    using F = XrAddrStreetDef;
    auto mixed_left = [](XrAddrSegmentDef s) {
        s.left_mixed = true;
        return s;
    };
    struct Case {
        const char* what;
        std::vector<XrAddrSegmentDef> segments;
        int bytes;
        int upper;
        std::vector<SegmentRead> expect;
    };
    std::vector<SegmentRead> forty;
    std::vector<XrAddrSegmentDef> forty_in;
    for (int i = 0; i < 40; ++i) {
        forty_in.push_back(seg(0x50000 + i, 1, 3, 2, 4));
        forty.push_back({static_cast<XrGid>(0x50000 + i), 1, 3, 2, 4, 1, 0});
    }
    const Case cases[] = {
        {"words", {seg(0x10001, 2, 10, 1, 9)}, F::OFF, F::OFF, {{0x10001, 2, 10, 1, 9, 0, 1}}},
        {"words without numbers", {seg_without_numbers(0x10002)}, F::OFF, F::OFF, {{0x10002, 0, 0, 0, 0, 3, 3}}},
        {"bytes without numbers", {seg_without_numbers(7)}, F::ON, F::OFF, {{7, 0, 0, 0, 0, 3, 3}}},
        {"bytes 0/0", {seg(5, 0, 0, 3, 7)}, F::ON, F::OFF, {{5, 0, 0, 3, 7, 3, 1}}},
        {"words 0/0", {seg(5, 0, 0, 3, 7)}, F::OFF, F::OFF, {{5, 0, 0, 3, 7, 0, 1}}},
        {"words mixed bit", {mixed_left(seg(6, 5, 11, 2, 3))}, F::OFF, F::OFF, {{6, 5, 11, 2, 3, 2, 2}}},
        {"bytes mixed bit", {mixed_left(seg(6, 5, 11, 2, 3))}, F::ON, F::OFF, {{6, 5, 11, 2, 3, 2, 2}}},
        {"large words", {seg(8, 30001, 30099, 32000, 32766)}, F::AUTO, F::AUTO, {{8, 30001, 30099, 32000, 32766, 1, 0}}},
        {"common upper half",
         {seg(0x30001, 1, 5, 2, 6), seg(0x3FFFF, 7, 9, 8, 8)},
         F::AUTO,
         F::ON,
         {{0x30001, 1, 5, 2, 6, 1, 0}, {0x3FFFF, 7, 9, 8, 8, 1, 0}}},
        {"forty segments", forty_in, F::AUTO, F::AUTO, forty},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        XrAddrWriter w;
        XrAddrStreetDef s = street("Quay", 0, c.segments);
        s.byte_numbers = c.bytes;
        s.common_upper = c.upper;
        w.add_street(s);
        s.name = "Pier";
        s.long_count = true;
        w.add_street(s);
        auto a = open_db(build_db(w));
        ASSERT_EQ(a->find_first_street(L"", false), XrAddrAccessor::OK);
        for (int k = 0; k < 2; ++k) {
            XrGid first = 0;
            ASSERT_EQ(a->get_next_street(nullptr, nullptr, nullptr, &first, nullptr), XrAddrAccessor::OK);
            EXPECT_EQ(first, c.expect[0].gid);
            St last = XrAddrAccessor::OK;
            EXPECT_EQ(read_segments(*a, &last), c.expect);
            EXPECT_EQ(last, XrAddrAccessor::END);
            EXPECT_EQ(read_segments(*a).size(), 0u);
        }
    }
}

TEST(AddrAccessor, SegmentsOfALinkedRecordBefore63)
{
    XrAddrWriter w(version(6, 2));
    w.add_street(street("Alpha", 0, {seg(1, 1, 3, 2, 4), seg(2, 5, 7, 6, 8)}));
    const int gamma = w.add_street(street("Gamma", 0, {seg(9, 1, 1, 2, 2)}));
    XrAddrStreetDef beta = street("Beta");
    beta.gid = 9;
    beta.link = gamma;
    const int b = w.add_street(beta);
    XrAddrStreetDef delta = street("Delta");
    delta.link = b; // a record without segments
    w.add_street(delta);
    XrAddrStreetDef epsilon = street("Epsilon");
    w.add_street(epsilon); // no link at all
    auto a = open_db(build_db(w));

    ASSERT_EQ(a->find_first_street(L"B", false), XrAddrAccessor::OK);
    XrString name;
    ASSERT_EQ(a->get_next_street(&name, nullptr, nullptr, nullptr, nullptr), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"Beta");
    EXPECT_EQ(read_segments(*a), (std::vector<SegmentRead>{{9, 1, 1, 2, 2, 1, 0}}));
    // The walk goes on behind Beta, not behind the record that held its segments.
    ASSERT_EQ(a->get_next_street(&name, nullptr, nullptr, nullptr, nullptr), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"Delta");
    St last = XrAddrAccessor::OK;
    EXPECT_TRUE(read_segments(*a, &last).empty());
    EXPECT_EQ(last, XrAddrAccessor::FAILED);
    ASSERT_EQ(a->get_next_street(&name, nullptr, nullptr, nullptr, nullptr), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"Epsilon");
    EXPECT_TRUE(read_segments(*a, &last).empty());
    EXPECT_EQ(last, XrAddrAccessor::FAILED);
    EXPECT_EQ(walk_names(*a), (std::vector<std::wstring>{L"Gamma"}));
}

TEST(AddrAccessor, LanguageRingsOf63)
{
    XrAddrFileOptions o = version(6, 3);
    o.languages = {FIN, SWE};
    o.block_size = 48;
    XrAddrWriter w(o);
    // Kauppakatu -> Handelsgatan -> Kauppakatu; Solo alone; Ring A -> B -> C -> B.
    const int k = 0, h = 1, solo = 2, i1 = 3, i2 = 4, i3 = 5;
    XrAddrStreetDef fi = street("Kauppakatu", 4, {seg(21, 1, 9, 2, 10), seg(22, 11, 13, 12, 14)}, 2);
    fi.language = 0;
    fi.link = h;
    EXPECT_EQ(w.add_street(fi), k);
    XrAddrStreetDef sv = street("Handelsgatan", 4, {}, 2);
    sv.language = 1;
    sv.gid = 21;
    sv.link = k;
    EXPECT_EQ(w.add_street(sv), h);
    EXPECT_EQ(w.add_street(street("Solo")), solo);
    for (auto [name, link] : {std::pair{"Ring A", i2}, {"Ring B", i3}, {"Ring C", i2}}) {
        XrAddrStreetDef r = street(name);
        r.link = link;
        w.add_street(r);
    }
    const std::vector<BYTE> db = build_db(w);
    auto a = open_db(db);
    const std::vector<SegmentRead> kauppakatu = {{21, 1, 9, 2, 10, 1, 0}, {22, 11, 13, 12, 14, 1, 0}};

    ASSERT_EQ(a->find_first_street(L"H", false), XrAddrAccessor::OK);
    XrString name;
    ASSERT_EQ(a->get_next_street(&name, nullptr, nullptr, nullptr, nullptr), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"\u202AHandelsgatan\u202C");
    EXPECT_EQ(read_segments(*a), kauppakatu);
    ASSERT_EQ(a->get_next_street(&name, nullptr, nullptr, nullptr, nullptr), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"\u202AKauppakatu\u202C");

    // By key in the wanted language; the cursor stays on the record found.
    XrLC lang = 0;
    unsigned int county = 0;
    int type = 0;
    ASSERT_EQ(a->get_street_by_gid(w.get_street_position(k), name, &county, &type, SWE, &lang), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"\u202AHandelsgatan\u202C");
    EXPECT_EQ(lang, SWE);
    EXPECT_EQ(county, 4u);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(a->get_current_position(), w.get_street_position(h));
    EXPECT_EQ(read_segments(*a), kauppakatu);
    ASSERT_EQ(a->get_street_by_gid(w.get_street_position(k), name, nullptr, nullptr, 0, &lang), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"\u202AKauppakatu\u202C");
    EXPECT_EQ(lang, FIN);
    ASSERT_EQ(a->get_street_by_gid(w.get_street_position(h), name, nullptr, nullptr, DEU, &lang), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"\u202AHandelsgatan\u202C");
    // The same key again in another language is not the cached name.
    ASSERT_EQ(a->get_street_by_gid(w.get_street_position(h), name, nullptr, nullptr, FIN, &lang), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"\u202AKauppakatu\u202C");

    // Rings without segments end with a failure.
    for (int i : {solo, i1}) {
        ASSERT_TRUE(a->set_current_position(w.get_street_position(i)));
        St last = XrAddrAccessor::OK;
        EXPECT_TRUE(read_segments(*a, &last).empty());
        EXPECT_EQ(last, XrAddrAccessor::FAILED);
    }
    ASSERT_EQ(a->get_street_by_gid(w.get_street_position(i1), name, nullptr, nullptr, DEU, nullptr), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"Ring A");
}

// ------------------------------------------------------------------ street keys

// Road records kept at the roads' gids: a lookup by a road's gid gives its
// street's name and, through the link, the street's segments; a road
// without a name gives an empty name; the name walk never enters them.
TEST(AddrAccessor, RoadRecordsAtTheirGids)
{
    for (const auto& [major, minor] : std::vector<std::pair<unsigned, unsigned>>{{6, 0}, {6, 2}, {6, 3}}) {
        SCOPED_TRACE(minor);
        XrAddrWriter w(version(major, minor));
        const int alpha = w.add_street(street("Alpha", 0, {seg(0x10002, 1, 3, 2, 4), seg(0x10020, 5, 7, 6, 8)}));
        const int beta = w.add_street(street("Beta Road", 0, {seg(0x00005, 9, 9, 10, 10)}));
        w.add_road(0x10020, alpha);
        w.add_road(0x00005, beta);
        w.add_road(0x10002, alpha);
        w.add_road(0x10040, -1);
        auto a = open_db(build_db(w));
        EXPECT_GE(w.get_street_position(alpha) >> 16, 2u) << "the streets follow the road blocks";

        for (const auto& [gid, name] : std::vector<std::pair<XrGid, std::wstring>>{
                 {0x10002, L"Alpha"}, {0x10020, L"Alpha"}, {0x00005, L"Beta Road"}, {0x10040, L""}}) {
            XrString found;
            ASSERT_EQ(a->get_street_by_gid(gid, found), XrAddrAccessor::OK) << std::hex << gid;
            EXPECT_EQ(wstr(found), name);
            if (name.empty())
                continue;
            bool listed = false;
            for (const SegmentRead& r : read_segments(*a))
                listed = listed || r.gid == gid;
            EXPECT_TRUE(listed) << std::hex << gid;
        }
        ASSERT_EQ(a->find_first_street(L"", false), XrAddrAccessor::OK);
        EXPECT_EQ(walk_names(*a), (std::vector<std::wstring>{L"Alpha", L"Beta Road"}));
    }

    // Before 6.3 a road of a street whose segments another record holds
    // links to that record.
    XrAddrWriter before(version(6, 2));
    const int alpha = before.add_street(street("Alpha", 0, {seg(0x10002, 1, 3, 2, 4)}));
    XrAddrStreetDef gamma = street("Gamma");
    gamma.gid = 0x10002;
    gamma.link = alpha;
    before.add_road(0x10002, before.add_street(gamma));
    auto b = open_db(build_db(before));
    XrString found;
    ASSERT_EQ(b->get_street_by_gid(0x10002, found), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(found), L"Gamma");
    EXPECT_EQ(read_segments(*b), (std::vector<SegmentRead>{{0x10002, 1, 3, 2, 4, 1, 0}}));

    // Records that would overlap are refused.
    XrAddrWriter w;
    const int first = w.add_street(street("Alpha", 0, {seg(0x10002, 1, 3, 2, 4)}));
    w.add_road(0x10002, first);
    w.add_road(0x10008, first);
    std::vector<BYTE> out;
    std::string error;
    EXPECT_FALSE(w.build(out, error));
    EXPECT_NE(error.find("overlap"), std::string::npos) << error;
}

class AddrKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        XrAddrFileOptions o;
        o.block_size = 512;
        XrAddrWriter writer(o);
        for (int i = 0; i < 200; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "Road %03d", i);
            writer.add_street(street(name, static_cast<std::uint32_t>(i), {seg(1000 + i, 1, 5, 2, 6)}, i % 8));
        }
        db = build_db(writer);
        for (int i = 0; i < 200; ++i)
            keys.push_back(writer.get_street_position(i));
        a = open_db(db, &storage);
    }

    std::wstring name_of(int i)
    {
        XrString name;
        EXPECT_EQ(a->get_street_by_gid(keys[i], name, nullptr, nullptr, 0, nullptr), XrAddrAccessor::OK);
        return wstr(name);
    }
    static std::wstring expected(int i)
    {
        wchar_t buf[16];
        std::swprintf(buf, 16, L"Road %03d", i);
        return buf;
    }

    std::vector<BYTE> db;
    std::vector<XrGid> keys;
    std::unique_ptr<XrAddrAccessor> a;
    CountingAccessor* storage = nullptr;
};

TEST_F(AddrKeys, SecondLookupComesFromTheCache)
{
    XrString name;
    unsigned int county = 0;
    int type = 0;
    ASSERT_EQ(a->get_street_by_gid(keys[42], name, &county, &type, 0, nullptr), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"Road 042");
    EXPECT_EQ(county, 42u);
    EXPECT_EQ(type, 2);
    const int reads = storage->reads;
    ASSERT_EQ(a->get_street_by_gid(keys[42], name, &county, &type, 0, nullptr), XrAddrAccessor::OK);
    EXPECT_EQ(storage->reads, reads);
    EXPECT_EQ(wstr(name), L"Road 042");
    EXPECT_EQ(county, 42u);
    EXPECT_EQ(type, 2);
    // The cursor is on that street: its segments, then the next street.
    EXPECT_EQ(read_segments(*a), (std::vector<SegmentRead>{{1042, 1, 5, 2, 6, 1, 0}}));
    EXPECT_EQ(walk_names(*a, nullptr, 1), (std::vector<std::wstring>{L"Road 043"}));
}

TEST_F(AddrKeys, TheLeastRecentlyUsedNameIsEvicted)
{
    name_of(0); // the key 0: the first record of block 0
    name_of(1);
    for (int i = 2; i < 129; ++i) {
        name_of(i);
        if (i == 64)
            name_of(1); // used again: moves to the head
    }
    int reads = storage->reads;
    EXPECT_EQ(name_of(1), expected(1));
    EXPECT_EQ(storage->reads, reads);
    EXPECT_EQ(name_of(0), expected(0));
    EXPECT_GT(storage->reads, reads);
    // Every key keeps its own name while the cache turns over.
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 200; i += 7)
            EXPECT_EQ(name_of(i), expected(i));
    }
    a->flush_name_cache();
    reads = storage->reads;
    EXPECT_EQ(name_of(1), expected(1));
    EXPECT_GT(storage->reads, reads);
}

TEST_F(AddrKeys, LowMemoryDropsBuffersAndCache)
{
    ASSERT_EQ(a->find_first_street(L"ROAD1", false), XrAddrAccessor::OK);
    EXPECT_EQ(walk_names(*a, nullptr, 2), (std::vector<std::wstring>{L"Road 100", L"Road 101"}));
    a->free_memory();
    // The walk reads its block again.
    EXPECT_EQ(walk_names(*a, nullptr, 1), (std::vector<std::wstring>{L"Road 102"}));
    name_of(7);
    a->free_memory();
    const int reads = storage->reads;
    EXPECT_EQ(name_of(7), expected(7));
    EXPECT_GT(storage->reads, reads);
    EXPECT_EQ(walk_names(*a, nullptr, 1), (std::vector<std::wstring>{L"Road 008"}));
}

TEST_F(AddrKeys, StreetsByKeys)
{
    XrArray<XrAddrAccessor::XrStreetsByGidsRequest> requests(4);
    for (int i : {150, 3, 77}) {
        XrAddrAccessor::XrStreetsByGidsRequest r;
        r.gid = keys[i];
        requests.append(r);
    }
    requests.get_item_ptr(2)->name = L"kept";
    EXPECT_EQ(a->get_streets_by_gids(requests), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(requests.get_item_ptr(0)->name), L"Road 150");
    EXPECT_EQ(wstr(requests.get_item_ptr(1)->name), L"Road 003");
    EXPECT_EQ(wstr(requests.get_item_ptr(2)->name), L"kept");

    XrAddrAccessor::XrStreetsByGidsRequest again;
    again.gid = keys[3];
    requests.append(again);
    EXPECT_EQ(a->get_streets_by_gids(requests), XrAddrAccessor::FAILED);
    EXPECT_EQ(wstr(requests.get_item_ptr(3)->name), L"Road 003");

    XrArray<XrAddrAccessor::XrStreetsByGidsRequest> unknown(1);
    XrAddrAccessor::XrStreetsByGidsRequest bad;
    bad.gid = 0x7FFF0000;
    unknown.append(bad);
    EXPECT_EQ(a->get_streets_by_gids(unknown), XrAddrAccessor::FAILED);
    EXPECT_TRUE(unknown.get_item_ptr(0)->name.is_empty());
}

// ------------------------------------------------------------------ counties and countries

TEST(AddrAccessor, CountiesWithAndWithoutTheWindow)
{
    XrAddrWriter w;
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < 5000; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "County %04d#Region %d#Land", i, i % 7);
        ids.push_back(w.add_county(name, static_cast<BYTE>(i % 256)));
    }
    ids.push_back(w.add_county("AB", 200)); // four bytes, no padding
    w.add_street(street("Main", ids[0], {seg(1, 1, 1, 2, 2)}));
    auto a = open_db(build_db(w));

    for (bool window : {false, true}) {
        SCOPED_TRACE(window);
        a->set_name_caching(window);
        unsigned int id = 0;
        for (size_t i = 0; i < ids.size(); ++i) {
            ASSERT_EQ(id, ids[i]);
            XrString name;
            BYTE attribute = 0;
            unsigned int next = 0;
            ASSERT_EQ(a->get_county(id, name, &attribute, &next), XrAddrAccessor::OK);
            if (i < 5000) {
                wchar_t expect[48];
                std::swprintf(expect, 48, L"County %04d#Region %d#Land", static_cast<int>(i), static_cast<int>(i % 7));
                ASSERT_EQ(wstr(name), expect);
                ASSERT_EQ(attribute, static_cast<int>(i % 256));
            } else {
                EXPECT_EQ(wstr(name), L"AB");
                EXPECT_EQ(attribute, 200);
            }
            id = next;
        }
        XrString name;
        EXPECT_EQ(a->get_county(id, name, nullptr, nullptr), XrAddrAccessor::FAILED);
        // Backwards across window borders.
        for (size_t i = ids.size() - 1; i < ids.size(); i -= std::min<size_t>(i + 1, 97)) {
            ASSERT_EQ(a->get_county(ids[i], name, nullptr, nullptr), XrAddrAccessor::OK);
            if (i == 1217) {
                EXPECT_EQ(wstr(name), L"County 1217#Region 6#Land");
            }
        }
    }
}

TEST(AddrAccessor, ALongCountyNeedsTheWindow)
{
    XrAddrWriter w;
    const std::uint32_t first = w.add_county("Short", 1);
    const std::uint32_t long_one = w.add_county(std::string(200, 'L'), 2);
    w.add_street(street("Main", first, {seg(1, 1, 1, 2, 2)}));
    auto a = open_db(build_db(w));
    XrString name;
    BYTE attribute = 0;
    // Without the window only 128 bytes of a record are read.
    EXPECT_EQ(a->get_county(long_one, name, &attribute, nullptr), XrAddrAccessor::FAILED);
    a->set_name_caching(true);
    ASSERT_EQ(a->get_county(long_one, name, &attribute, nullptr), XrAddrAccessor::OK);
    EXPECT_EQ(name.length(), 200);
    EXPECT_EQ(attribute, 2);
}

TEST(AddrAccessor, CountryNames)
{
    XrAddrFileOptions o;
    o.countries = {"Suomi", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", "\xC5land"};
    XrAddrWriter w(o);
    w.add_street(street("Main", 0, {seg(1, 1, 1, 2, 2)}));
    auto a = open_db(build_db(w));
    EXPECT_EQ(a->get_country_count(), 3u);
    XrString name;
    ASSERT_EQ(a->get_country_name(0, name), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"Suomi");
    ASSERT_EQ(a->get_country_name(1, name), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
    ASSERT_EQ(a->get_country_name(2, name), XrAddrAccessor::OK);
    EXPECT_EQ(wstr(name), L"\u00C5land");
    EXPECT_EQ(a->get_country_name(3, name), XrAddrAccessor::FAILED);
}

// The short forms the providers call: a street's name and country by its key,
// a county's text, attribute and next id by reference.
TEST(AddrAccessor, StreetCountryAndCountyByReference)
{
    XrAddrFileOptions o;
    o.countries = {"Suomi", "Sverige"};
    XrAddrWriter w(o);
    const std::uint32_t helsinki = w.add_county("Helsinki", 0);
    const std::uint32_t stockholm = w.add_county("Stockholm", 1);
    const std::uint32_t elsewhere = w.add_county("Elsewhere", 9); // no such country
    const int mann = w.add_street(street("Mannerheimintie", helsinki, {seg(1, 1, 9, 2, 10)}));
    const int drott = w.add_street(street("Drottninggatan", stockholm, {seg(2, 1, 9, 2, 10)}));
    const int nowhere = w.add_street(street("Nowhere", elsewhere, {seg(3, 1, 9, 2, 10)}));
    auto a = open_db(build_db(w));

    struct Case {
        int street;
        std::wstring name;
        unsigned int country;
    };
    const Case cases[] = {{mann, L"Mannerheimintie", 0}, {drott, L"Drottninggatan", 1}, {nowhere, L"Nowhere", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.name));
        const XrGid gid = w.get_street_position(c.street);
        XrString name;
        unsigned int country = 77;
        ASSERT_EQ(a->get_street_by_gid(gid, name, country), XrAddrAccessor::OK);
        EXPECT_EQ(wstr(name), c.name);
        EXPECT_EQ(country, c.country);
        XrString again;
        ASSERT_EQ(a->get_street_by_gid(gid, again), XrAddrAccessor::OK);
        EXPECT_EQ(wstr(again), c.name);
    }
    XrString name;
    unsigned int country = 77;
    EXPECT_EQ(a->get_street_by_gid(w.get_street_position(mann) | 0xFFF0, name, country), XrAddrAccessor::FAILED);
    EXPECT_EQ(country, 77u);

    // The counties one after the other through the next id.
    std::vector<std::pair<std::wstring, int>> read;
    int id = 0;
    BYTE attribute = 0;
    for (int guard = 0; guard < 10 && a->get_county(static_cast<unsigned int>(id), name, attribute, id) ==
                                          XrAddrAccessor::OK;
         ++guard)
        read.push_back({wstr(name), attribute});
    EXPECT_EQ(read, (std::vector<std::pair<std::wstring, int>>{{L"Helsinki", 0}, {L"Stockholm", 1},
                                                                {L"Elsewhere", 9}}));
    EXPECT_EQ(static_cast<unsigned int>(id), elsewhere + 3); // "Elsewhere", its end and attribute: 11 bytes
}

// ------------------------------------------------------------------ name tree

class AddrTree : public ::testing::Test {
protected:
    std::unique_ptr<XrAddrAccessor> make(const std::vector<std::pair<std::string, std::uint32_t>>& streets,
                                         XrAddrFileOptions o = XrAddrFileOptions())
    {
        writer = XrAddrWriter(o);
        for (const auto& s : streets)
            writer.add_street(street(s.first, s.second, {seg(1, 1, 1, 2, 2)}));
        return open_db(build_db(writer));
    }

    static std::vector<std::wstring> letters(XrAddrAccessor& a, const TCHAR* prefix,
                                             std::vector<unsigned int> counties = {}, bool* exact = nullptr,
                                             unsigned int* position = nullptr)
    {
        EXPECT_EQ(a.find_first_street(prefix, true), XrAddrAccessor::PREFIX_AT_NODE);
        XrArray<XrString> list(8);
        bool e = false;
        unsigned int block = 0, offset = 0;
        EXPECT_EQ(a.get_next_letters(list, counties.empty() ? nullptr : counties.data(),
                                     static_cast<int>(counties.size()), e, block, offset),
                  XrAddrAccessor::OK);
        if (exact != nullptr)
            *exact = e;
        if (position != nullptr)
            *position = block << 16 | offset;
        std::vector<std::wstring> out;
        for (int i = 0; i < list.get_num_items(); ++i)
            out.push_back(wstr(*list.get_item_ptr(i)));
        return out;
    }

    XrAddrWriter writer;
};

TEST_F(AddrTree, FindFirstStreet)
{
    auto a = make({{"Main", 1}, {"Maple", 2}, {"Market", 1}, {"Mill", 3}, {"Moss", 2}});
    struct Case {
        const TCHAR* prefix;
        std::vector<std::wstring> expect;
    };
    const Case cases[] = {
        {L"MA", {L"Main", L"Maple", L"Market", L"Mill", L"Moss"}},
        {L"MAP", {L"Maple", L"Market", L"Mill", L"Moss"}},
        {L"MAX", {}},
        {L"A", {}},
        {L"Z", {}},
        {L"MO", {L"Moss"}},
        {L"MOSSY", {L"Moss"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.prefix)));
        ASSERT_EQ(a->find_first_street(c.prefix, false), XrAddrAccessor::OK);
        St last = XrAddrAccessor::OK;
        EXPECT_EQ(walk_names(*a, &last), c.expect);
        EXPECT_EQ(last, XrAddrAccessor::END);
    }
    ASSERT_EQ(a->find_first_street(L"MA", L'R'), XrAddrAccessor::OK);
    EXPECT_EQ(walk_names(*a, nullptr, 1), (std::vector<std::wstring>{L"Market"}));
}

TEST_F(AddrTree, DigitsInEitherForm)
{
    auto a = make({{"1st Avenue", 0}, {"2nd Street", 0}, {"Bay", 0}});
    for (const TCHAR* prefix : {L"2", L"\u06F2", L"2N"}) {
        ASSERT_EQ(a->find_first_street(prefix, false), XrAddrAccessor::OK);
        EXPECT_EQ(walk_names(*a, nullptr, 1), (std::vector<std::wstring>{L"2nd Street"}));
    }
    EXPECT_EQ(letters(*a, L""), (std::vector<std::wstring>{L"B", L"1", L"2"}));
}

TEST_F(AddrTree, NextLettersAndExactNames)
{
    auto a = make({{"Main", 1}, {"Mains", 2}, {"Maple", 2}, {"Market", 1}, {"Mill", 3}});
    bool exact = true;
    // "I" has one way on, to "IN".
    EXPECT_EQ(letters(*a, L"MA", {}, &exact), (std::vector<std::wstring>{L"IN", L"P", L"R"}));
    EXPECT_FALSE(exact);
    unsigned int position = 0;
    EXPECT_EQ(letters(*a, L"MAIN", {}, &exact, &position), (std::vector<std::wstring>{L"S"}));
    EXPECT_TRUE(exact);
    EXPECT_EQ(position, writer.get_street_position(0));
    // County filter: only entries with a street in one of the counties.
    EXPECT_EQ(letters(*a, L"M", {3}), (std::vector<std::wstring>{L"I"}));
    EXPECT_EQ(letters(*a, L"M", {2, 3}), (std::vector<std::wstring>{L"A", L"I"}));
    EXPECT_EQ(letters(*a, L"MA", {1}), (std::vector<std::wstring>{L"I", L"R"}));
    EXPECT_TRUE(letters(*a, L"M", {4}).empty());

    XrArray<XrString> list(4);
    bool e = false;
    unsigned int block = 0, offset = 0;
    ASSERT_EQ(a->find_first_street(L"MA", false), XrAddrAccessor::OK);
    EXPECT_EQ(a->get_next_letters(list, nullptr, 0, e, block, offset), XrAddrAccessor::FAILED);
}

TEST_F(AddrTree, PredictedContinuations)
{
    std::vector<std::pair<std::string, std::uint32_t>> streets;
    for (int i = 0; i < 7; ++i)
        streets.push_back({"XAAA" + std::to_string(i), 0});
    for (const char* s : {"XAAB", "XAB", "XB", "KESTAA", "KESTAB", "KESTB", "MAA", "MAB", "MB", "MC", "MD", "ME", "MF"})
        streets.push_back({s, 0});
    auto a = make(streets);
    // K: one way down to KEST, then KESTA with two of three streets.
    // M: the largest branch (MA, 2 of 7) is below 30 percent.
    // X: stores at X, XA, XAA and XAAA; from the third on the last one is replaced.
    EXPECT_EQ(letters(*a, L""), (std::vector<std::wstring>{L"KEST", L"KESTA", L"M", L"X", L"XAAA"}));
    // With counties, the letters stand alone.
    EXPECT_EQ(letters(*a, L"", {0}), (std::vector<std::wstring>{L"K", L"M", L"X"}));
}

TEST_F(AddrTree, CountyListForms)
{
    for (unsigned int compress : {0u, 1u}) {
        SCOPED_TRACE(compress);
        XrAddrFileOptions o;
        o.compress_lists_from = compress;
        // Ids 3, 70 (a two-byte delta), 20000 (absolute) and 20001.
        auto a = make({{"Ash", 3}, {"Ask", 70}, {"Asp", 20000}, {"Ast", 20001}, {"Bay", 5}}, o);
        EXPECT_EQ(letters(*a, L"", {20001}), (std::vector<std::wstring>{L"A"}));
        EXPECT_EQ(letters(*a, L"", {4, 5}), (std::vector<std::wstring>{L"B"}));
        EXPECT_EQ(letters(*a, L"", {70, 99999}), (std::vector<std::wstring>{L"A"}));
        EXPECT_EQ(letters(*a, L"AS", {3, 20000}), (std::vector<std::wstring>{L"H", L"P"}));
        EXPECT_TRUE(letters(*a, L"", {6, 71, 19999}).empty());
    }
}

TEST_F(AddrTree, CollapsedEntriesPointAtTheirFirstStreet)
{
    XrAddrFileOptions o;
    o.leaf_streets = 3;
    auto a = make({{"Main", 0}, {"Maple", 0}, {"Mill", 0}, {"Bay", 0}}, o);
    ASSERT_EQ(a->find_first_street(L"MIL", false), XrAddrAccessor::OK);
    EXPECT_EQ(walk_names(*a), (std::vector<std::wstring>{L"Main", L"Maple", L"Mill"}));
}

// Trees whose child pointers loop back (bad data): the continuations stop at
// the first node met twice, and one call reads a bounded number of entries.
TEST(AddrAccessor, LoopingTreeIsWalkedInBoundedTime)
{
    constexpr unsigned int ENTRIES = 400;
    XrAddrWriter w;
    // Enough streets for a tree area that holds the nodes written below.
    for (unsigned int i = 0; i < 2000; ++i)
        w.add_street(street("S" + std::to_string(10000 + i), 0, {seg(i, 1, 1, 2, 2)}));
    const std::vector<BYTE> good = build_db(w);
    const AddrLayout l(good);

    // A node at `at` of n entries with keys from key on, each a child pointer
    // to `child`; the first holds all streets (counts 0 elsewhere).
    auto put_node = [](std::vector<BYTE>& db, unsigned int at, unsigned int n, unsigned int key, unsigned int child) {
        XrByteWriter node;
        node.u16_le(static_cast<std::uint16_t>(n));
        for (unsigned int i = 0; i < n; ++i) {
            node.u16_le(static_cast<std::uint16_t>(key + i));
            node.u16_le(L::CHILD_MARK);
            node.u32_le(child);
            node.u32_le(L::NO_LIST);
            node.u24_le(i == 0 ? 5 : 0);
        }
        std::copy(node.bytes().begin(), node.bytes().end(), db.begin() + at);
        return at + static_cast<unsigned int>(node.size());
    };
    const unsigned int root_size = L::NODE_HEAD_SIZE + L::ENTRY_SIZE * ENTRIES;
    constexpr unsigned int CHAIN = 1000;
    ASSERT_GE(l.tree_size, root_size + CHAIN * (L::NODE_HEAD_SIZE + L::ENTRY_SIZE) + L::NODE_HEAD_SIZE);

    struct Case {
        const char* what;
        std::function<void(std::vector<BYTE>&)> change;
        std::wstring first;       // the continuation of the first entry
        std::size_t second_size;  // the length of the second entry's
        int max_reads;
    };
    const Case cases[] = {
        {"node pointing at itself", [&](std::vector<BYTE>& db) { put_node(db, l.tree, ENTRIES, 'A', l.tree); },
         L"AA", 2, 4 * ENTRIES},
        {"two nodes pointing at each other",
         [&](std::vector<BYTE>& db) {
             const unsigned int second = put_node(db, l.tree, ENTRIES, 'A', l.tree + root_size);
             put_node(db, second, 1, 'Z', l.tree);
         },
         L"AZA", 3, 8 * ENTRIES},
        // No loop, but every entry leads into one long chain: the entry
        // budget ends the walks, the later letters stand alone.
        {"entries sharing a long chain",
         [&](std::vector<BYTE>& db) {
             unsigned int at = put_node(db, l.tree, ENTRIES, 'A', l.tree + root_size);
             for (unsigned int i = 0; i < CHAIN; ++i)
                 at = put_node(db, at, 1, 'C', at + L::NODE_HEAD_SIZE + L::ENTRY_SIZE);
             put_node(db, at, 0, 0, 0); // an empty node ends the chain
         },
         L"A" + std::wstring(CHAIN, L'C'), 1 + CHAIN, 2 * 140000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<BYTE> bad = good;
        c.change(bad);
        CountingAccessor* counter = nullptr;
        auto a = open_db(bad, &counter);
        ASSERT_EQ(a->find_first_street(L"", true), XrAddrAccessor::PREFIX_AT_NODE);
        counter->reads = 0;
        XrArray<XrString> list(16);
        bool exact = true;
        unsigned int block = 0, offset = 0;
        ASSERT_EQ(a->get_next_letters(list, nullptr, 0, exact, block, offset), XrAddrAccessor::OK);
        EXPECT_FALSE(exact);
        ASSERT_EQ(list.get_num_items(), static_cast<int>(ENTRIES));
        EXPECT_EQ(wstr(*list.get_item_ptr(0)), c.first);
        EXPECT_EQ(static_cast<std::size_t>(list.get_item_ptr(1)->length()), c.second_size);
        EXPECT_EQ(wstr(*list.get_item_ptr(ENTRIES - 1)).front(), static_cast<wchar_t>('A' + ENTRIES - 1));
        EXPECT_LE(counter->reads, c.max_reads);
    }
}

// ------------------------------------------------------------------ bad data

TEST(AddrAccessor, BadDataIsReportedNotFatal)
{
    XrAddrFileOptions o;
    o.suffixes = {{u" Road", u"Rd"}};
    XrAddrWriter w(o);
    w.add_street(street("Alder", 1, {seg(1, 1, 3, 2, 4)}));
    w.add_street(street("Birch", 2, {seg(2, 1, 3, 2, 4), seg(3, 5, 7, 6, 8)}));
    w.add_street(street("Cedar", 3, {seg(4, 1, 3, 2, 4)}));
    const std::vector<BYTE> good = build_db(w);
    const AddrLayout l(good);
    const unsigned int birch = w.get_street_position(1);

    struct Case {
        const char* what;
        std::function<std::vector<BYTE>(std::vector<BYTE>)> change;
        std::function<St(XrAddrAccessor&)> run;
    };
    auto walk_all = [](XrAddrAccessor& a) {
        St last = a.find_first_street(L"", false);
        if (last != XrAddrAccessor::OK)
            return last;
        walk_names(a, &last);
        return last;
    };
    auto segments_of_birch = [birch](XrAddrAccessor& a) {
        EXPECT_TRUE(a.set_current_position(birch));
        EXPECT_EQ(a.get_next_street(nullptr, nullptr, nullptr, nullptr, nullptr), XrAddrAccessor::OK);
        St last = XrAddrAccessor::OK;
        read_segments(a, &last);
        return last;
    };
    auto in_block = [](std::function<void(std::vector<BYTE>&)> f) {
        return [f](std::vector<BYTE> db) { return with_block(db, 0, f); };
    };
    const unsigned int b = birch & 0xFFFF;
    const Case cases[] = {
        {"compressed bytes",
         [&](std::vector<BYTE> db) {
             const unsigned int at = xr_bytes::get_u32_le(db.data() + l.index + L::INDEX_WHERE) & L::INDEX_OFFSET_MASK;
             db[at + 2] ^= 0x55;
             db[at + 3] ^= 0xAA;
             return db;
         },
         walk_all},
        {"inflated size",
         [&](std::vector<BYTE> db) {
             db[l.index + L::INDEX_INFLATED] += 1;
             return db;
         },
         walk_all},
        {"block beyond the file",
         [&](std::vector<BYTE> db) {
             xr_bytes::put_u32_le(db.data() + l.index + L::INDEX_WHERE, 0x7FFFFF00);
             return db;
         },
         walk_all},
        {"tree child outside the tree",
         [&](std::vector<BYTE> db) {
             // The root's first entry becomes a child pointer.
             BYTE* entry = db.data() + l.tree + L::NODE_HEAD_SIZE;
             xr_bytes::put_u16_le(entry + L::ENTRY_CHILD_MARK, L::CHILD_MARK);
             xr_bytes::put_u32_le(entry + L::ENTRY_CHILD, 0x10);
             return db;
         },
         walk_all},
        {"tree node count", [&](std::vector<BYTE> db) { db[l.tree + 1] = 0x7F; return db; }, walk_all},
        {"name without its end", in_block([](std::vector<BYTE>& d) { std::fill(d.begin() + 3, d.end(), 'x'); }),
         walk_all},
        {"shared name outside the block",
         in_block([b](std::vector<BYTE>& d) {
             d[b + 2] |= 0x80;
             d[b + 4] = 0xF0;
             d[b + 5] = 0xFF;
         }),
         [](XrAddrAccessor& a) {
             XrString name;
             EXPECT_EQ(a.find_first_street(L"B", false), XrAddrAccessor::OK);
             return a.get_next_street(&name, nullptr, nullptr, nullptr, nullptr);
         }},
        // Birch: head (3), language (1), name and its end (6), marker (1),
        // extra field (4), segment header at 15.
        {"segment count beyond the block", in_block([b](std::vector<BYTE>& d) { d[b + 15] = 0x3F; }), walk_all},
        {"segments cut", in_block([b](std::vector<BYTE>& d) { d.resize(b + 15 + 1 + 2 + 6 + 3); }), walk_all},
        {"link to a record beyond the block",
         in_block([b](std::vector<BYTE>& d) {
             d[b + 10] = 0;     // no segments of its own
             d[b + 15] = 0xF0;  // the link (in the gid's place the extra field follows)
         }),
         segments_of_birch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<BYTE> bad = c.change(good);
        auto a = open_db(bad);
        EXPECT_EQ(c.run(*a), XrAddrAccessor::FAILED);
    }

    // County-id lists: no ids, an item of form 0, a cut stream.
    XrAddrWriter lw;
    lw.add_street(street("Ash", 3, {seg(1, 1, 1, 2, 2)}));
    lw.add_street(street("Bay", 4, {seg(1, 1, 1, 2, 2)}));
    const std::vector<BYTE> lists = build_db(lw);
    const AddrLayout ll(lists);
    const std::function<void(std::vector<BYTE>&)> list_cases[] = {
        [&](std::vector<BYTE>& d) { d[ll.lists + 3] = 0; },
        [&](std::vector<BYTE>& d) { d[ll.lists + 6] = 0x04; },
        [&](std::vector<BYTE>& d) { d[ll.lists + 2] = 0x00; d[ll.lists] = 0x40; },
    };
    for (const auto& change : list_cases) {
        std::vector<BYTE> bad = lists;
        change(bad);
        auto a = open_db(bad);
        ASSERT_EQ(a->find_first_street(L"", true), XrAddrAccessor::PREFIX_AT_NODE);
        XrArray<XrString> list(4);
        bool exact = false;
        unsigned int block = 0, offset = 0;
        const unsigned int ids[] = {3};
        EXPECT_EQ(a->get_next_letters(list, ids, 1, exact, block, offset), XrAddrAccessor::FAILED);
    }
}

} // namespace
