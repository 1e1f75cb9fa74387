// The address search: county lines, streets by prefix with merging and
// allowed counties, street-type spellings, continuations, upper counties
// and house-number positions.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/addr/addr_test_util.h"
#include "common/corvanel_core/impl/provider_files.h"
#include "common/corvanel_core/impl/xr_addrsearchproviderimpl.h"
#include "common/corvanel_core/impl/xr_mapsettingsproviderimpl.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/db/xr_simplegeomstorage.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/xrqt_writer.h"

namespace {

struct Collect : XrAddrSearchProviderObserver {
    std::vector<XrAddrSearchResult> got;
    int nulls = 0;
    void matching_address_found(XrAddrSearchResult* r) override
    {
        if (r == nullptr)
            ++nulls;
        else
            got.push_back(*r);
    }
    std::vector<std::wstring> names() const
    {
        std::vector<std::wstring> out;
        for (const auto& r : got)
            out.emplace_back(r.name.c_str());
        return out;
    }
};

class AddrMapProvider : public XrMapProvider {
public:
    AddrMapProvider() { XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(this)); }
    ~AddrMapProvider() override { XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr); }
    XrAddrAccessor* get_addr_accessor() override { return accessor.get(); }
    XrSimpleGeomStorage* get_pb_storage() override { return pb.get(); }
    XrSimpleGeomStorage* get_pc_storage() override { return pc.get(); }
    std::unique_ptr<XrAddrAccessor> accessor;
    std::unique_ptr<XrSimpleGeomStorage> pb, pc;
};

// A geometry file of text records, opened as a stored storage.
std::unique_ptr<XrSimpleGeomStorage> text_storage(const std::string& path, std::vector<XrTextGeomRec*> recs,
                                                  int attr_count)
{
    XrGeomFileOptions o;
    o.attr_count = attr_count;
    std::vector<XrGeomRec*> all(recs.begin(), recs.end());
    std::string error;
    EXPECT_TRUE(write_xrqt(path, all, o, error)) << error;
    for (XrTextGeomRec* r : recs)
        delete r;
    auto s = std::make_unique<XrSimpleGeomStorage>(open_storage_accessor(XrString(path.c_str()), true), false, false,
                                                   nullptr);
    EXPECT_EQ(s->open(), XrStoredGeomStorage::OPENED);
    return s;
}

std::wstring strip_marks(const XrString& s)
{
    std::wstring out;
    for (const TCHAR* p = s.c_str(); *p != 0; ++p)
        if (*p != 0x202A && *p != 0x202B && *p != 0x202C)
            out += *p;
    return out;
}

struct AddrSearch : ::testing::Test {
    AddrSearch()
    {
        XrSingleton::set_instance(XrString(L"XrMapSettingsProvider"), static_cast<XrMapSettingsProvider*>(&settings));
        springfield = writer.add_county("Springfield#Clark County#Ohio");
        dayton = writer.add_county("Dayton#Montgomery County#Ohio");
        austin = writer.add_county("Austin#Travis County#Texas");
        writer.add_street(street("Main Street", springfield, {seg(1, 1, 9, 2, 10)}));
        writer.add_street(street("Main Street", dayton, {seg(2, 1, 5, 2, 6)}));
        writer.add_street(street("Main Street", austin, {seg(3, 11, 19, 12, 20)}));
        writer.add_street(street("Maple Avenue", dayton));
        writer.add_street(street("Oak St", springfield));
        writer.add_street(street("Oak Street", austin));
        writer.add_street(street("1st Street", austin));
        writer.add_street(street("12th Street", austin));
        writer.add_street(street("North Road", austin));
    }
    ~AddrSearch() override { XrSingleton::set_instance(XrString(L"XrMapSettingsProvider"), nullptr); }

    static XrAddrSegmentDef seg(std::uint32_t gid, int lf, int lt, int rf, int rt)
    {
        XrAddrSegmentDef s;
        s.gid = gid;
        s.left_from = lf;
        s.left_to = lt;
        s.right_from = rf;
        s.right_to = rt;
        return s;
    }

    void open()
    {
        bytes = build_db(writer);
        maps.accessor = open_db(bytes);
    }

    Collect streets(const wchar_t* text, int max = 20, XrBinaryString<XrAddrSearchStreet>* allowed = nullptr)
    {
        Collect c;
        const XrString t(text);
        provider.search_streets(&t, nullptr, allowed, &c, max);
        return c;
    }

    ProviderFiles files;
    XrMapSettingsProviderImpl settings;
    AddrMapProvider maps;
    XrAddrWriter writer;
    std::vector<BYTE> bytes;
    std::uint32_t springfield = 0, dayton = 0, austin = 0;
    XrAddrSearchProviderImpl provider;
};

TEST(AddrCountyLines, ByPartAndByUpperCounty)
{
    struct Case {
        const wchar_t* text;
        int m;
        bool upper;
        const wchar_t* first;
        const wchar_t* second;
    } cases[] = {
        {L"Springfield#Clark County#Ohio", 1, false, L"Springfield", L"(Ohio Clark County)"},
        {L"Springfield#Clark County#Ohio", 1, true, L"Springfield", L"(Clark County)"},
        {L"Springfield#Clark County#", 1, false, L"Springfield", L"(Clark County)"},
        {L"Springfield#Clark County#Ohio", 2, false, L"Clark County", L"(Ohio Springfield)"},
        {L"Springfield#Clark County#Ohio", 2, true, L"Clark County", L"(Springfield)"},
        {L"Springfield#Clark County#Ohio", 3, false, L"Ohio", L"Springfield (Clark County)"},
    };
    for (const Case& c : cases) {
        XrString a, b;
        ASSERT_TRUE(XrAddrSearchProviderImpl::county_lines(XrString(c.text), c.m, c.upper, a, b)) << c.text;
        EXPECT_EQ(strip_marks(a), c.first);
        EXPECT_EQ(strip_marks(b), c.second);
        EXPECT_EQ(a.char_at(0), 0x202A);
        EXPECT_EQ(b.char_at(b.length() - 1), 0x202C);
    }
    XrString a, b;
    EXPECT_FALSE(XrAddrSearchProviderImpl::county_lines(XrString(L"##x"), 1, false, a, b));
    EXPECT_FALSE(XrAddrSearchProviderImpl::county_lines(XrString(L"One#part"), 1, false, a, b));
    ASSERT_TRUE(XrAddrSearchProviderImpl::county_lines(XrString(L"\x0628#\x062C#"), 1, false, a, b));
    EXPECT_EQ(a.char_at(0), 0x202B);
}

TEST_F(AddrSearch, SameNamedStreetsMergeUnlessCountiesAreGiven)
{
    open();
    Collect c = streets(L"main");
    ASSERT_EQ(c.got.size(), 1u);
    EXPECT_EQ(c.got[0].kind, XrAddrSearchResult::MergedStreets);
    EXPECT_EQ(c.got[0].street_count, 3);
    EXPECT_STREQ(c.got[0].details.c_str(), L"3 streets");
    for (int i = 1; i < 3; ++i)
        EXPECT_LT(c.got[0].streets.get(i - 1).county, c.got[0].streets.get(i).county);

    XrBinaryString<XrAddrSearchStreet> allowed;
    allowed.append({springfield, 0});
    allowed.append({austin, 0});
    Collect two = streets(L"main", 20, &allowed);
    ASSERT_EQ(two.got.size(), 2u);
    for (const auto& r : two.got) {
        EXPECT_EQ(r.kind, XrAddrSearchResult::Street);
        EXPECT_EQ(r.street_count, 1);
    }
    EXPECT_NE(strip_marks(two.got[0].details).find(L"Springfield"), std::wstring::npos);

    EXPECT_EQ(streets(L"ma").names(), (std::vector<std::wstring>{L"Main Street", L"Maple Avenue"}));
    EXPECT_TRUE(streets(L"mz").got.empty());
}

// max results are delivered, then one null when more exist.
TEST_F(AddrSearch, DeliversMaxThenMore)
{
    open();
    Collect one = streets(L"ma", 1);
    EXPECT_EQ(one.names(), std::vector<std::wstring>{L"Main Street"});
    EXPECT_EQ(one.nulls, 1);
    Collect two = streets(L"ma", 2);
    EXPECT_EQ(two.got.size(), 2u);
    EXPECT_EQ(two.nulls, 0);
}

TEST_F(AddrSearch, StreetTypeSpellingsFindEachStreetOnce)
{
    open();
    EXPECT_EQ(streets(L"oak street").names(), (std::vector<std::wstring>{L"Oak St", L"Oak Street"}));
    EXPECT_EQ(streets(L"oak st").names(), (std::vector<std::wstring>{L"Oak St", L"Oak Street"}));
    EXPECT_EQ(streets(L"n road").names(), std::vector<std::wstring>{L"North Road"});
    // Every word a street type: the forks are capped, the search returns at once.
    const auto t0 = std::chrono::steady_clock::now();
    streets(L"st st st st st st st st st st st st");
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
}

TEST_F(AddrSearch, ContinuationsShowDigitsAsTyped)
{
    writer = XrAddrWriter();
    const std::uint32_t c = writer.add_county("Town#Area#");
    for (const char* n : {"1st Street", "12th Street", "13th Avenue", "14th Road"})
        writer.add_street(street(n, c));
    XrAddrFileOptions options;
    open();
    XrArray<XrString> out;
    int first = 0, second = 0;
    ASSERT_TRUE(provider.get_continuations(XrString(L"1"), nullptr, out, first, second));
    ASSERT_GT(out.get_num_items(), 0);
    for (int i = 0; i < out.get_num_items(); ++i) {
        const std::wstring s = out.get_item_ptr(i)->c_str();
        EXPECT_EQ(s.front(), L'1') << s;
        EXPECT_EQ(s.substr(s.size() - 3), L"...") << s;
    }
    out.remove_all();
    EXPECT_FALSE(provider.get_continuations(XrString(L"zz"), nullptr, out, first, second) && out.get_num_items() > 0);
}

TEST_F(AddrSearch, UpperCountiesAndTheirFilter)
{
    open();
    XrArray<XrString>* upper = provider.get_upper_counties();
    ASSERT_NE(upper, nullptr);
    std::vector<std::wstring> names;
    for (int i = 0; i < upper->get_num_items(); ++i)
        names.emplace_back(upper->get_item_ptr(i)->c_str());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Clark County", L"Montgomery County", L"Travis County"}));

    Collect by_upper;
    provider.search_counties_by_uppercounty(XrString(L"Travis County"), &by_upper, 5);
    ASSERT_EQ(by_upper.got.size(), 1u);
    EXPECT_EQ(strip_marks(by_upper.got[0].details), L"(Travis County)");

    provider.set_upper_county_filter(XrString(L"Clark County"));
    EXPECT_EQ(streets(L"main").got.size(), 1u);
    Collect counties;
    provider.search_counties(XrString(L""), nullptr, nullptr, &counties, 10);
    EXPECT_EQ(counties.names().size(), 1u);

    // A stored filter that names no upper county of this map is not a filter.
    provider.clear_upper_county_filter();
    settings.set_last_filter(XrString(L"Nowhere"));
    XrString out;
    EXPECT_FALSE(provider.get_upper_county_filter(out));
    settings.set_last_filter(XrString(L"Travis County"));
    EXPECT_TRUE(provider.get_upper_county_filter(out));
    EXPECT_STREQ(out.c_str(), L"Travis County");
}

TEST_F(AddrSearch, CountiesByNameAndInAllowedList)
{
    open();
    Collect all;
    provider.search_counties(XrString(L"o"), nullptr, nullptr, &all, 10);
    // "Ohio" is the third part of two counties: one result, merged.
    bool merged = false;
    for (const auto& r : all.got)
        merged |= r.street_count == 2 && r.details.is_empty();
    EXPECT_TRUE(merged);

    XrBinaryString<XrAddrSearchStreet> allowed;
    allowed.append({springfield, 0});
    allowed.append({dayton, 0});
    Collect some;
    provider.search_counties(XrString(L"d"), nullptr, &allowed, &some, 10);
    ASSERT_EQ(some.got.size(), 1u);
    EXPECT_EQ(some.got[0].kind, XrAddrSearchResult::AllowedCounty);
    Collect capped;
    provider.search_counties(XrString(L""), nullptr, &allowed, &capped, 1);
    EXPECT_EQ(capped.got.size(), 1u);
    EXPECT_EQ(capped.nulls, 1);
}

// With no county of that name, the places inside a named area are found.
TEST_F(AddrSearch, PlacesInsideANamedAreaWhenNoCountyMatches)
{
    open();
    const std::string dir = files.root().make_dirs("/places");
    auto place = [](int id, int x, const char* name) { return new XrTextGeomRec(id, x, 10000, 1, 0, name); };
    maps.pc = text_storage(dir + "/pc.qt", {place(1, 11000, "Riverton Mall"), place(2, 13000, "Riverton Park"),
                                            place(3, 10500, "Other")},
                           0);
    for (int attr_count : {3, 1}) {
        XrTextGeomRec* area = place(9, 10000, "Riverton");
        const BYTE side[3] = {0x00, 0x0F, 0xA0}; // 4000 map units
        area->set_attributes(side, attr_count);
        maps.pb = text_storage(dir + "/pb" + std::to_string(attr_count) + ".qt", {area}, attr_count);
        Collect c;
        const XrPoint pos(10000, 10000);
        provider.search_counties(XrString(L"riverton"), const_cast<XrPoint*>(&pos), nullptr, &c, 10);
        std::vector<std::wstring> want = {L"Riverton Mall"};
        if (attr_count < 3) // no size stored: the default square of 20000 holds both
            want.push_back(L"Riverton Park");
        EXPECT_EQ(c.names(), want) << attr_count;
        ASSERT_FALSE(c.got.empty());
        EXPECT_EQ(c.got[0].kind, XrAddrSearchResult::Place);
        EXPECT_DOUBLE_EQ(c.got[0].distance, 1000.0);
    }
}

TEST_F(AddrSearch, HouseNumberRange)
{
    open();
    Collect c = streets(L"main");
    ASSERT_EQ(c.got.size(), 1u);
    int lo = 0, hi = 0;
    provider.get_house_number_range(static_cast<int>(c.got[0].streets.get(2).position), lo, hi);
    EXPECT_EQ(lo, 11);
    EXPECT_EQ(hi, 20);
}

// Asking for the exact number only: a number the street lacks gives (0, 0)
// and the closest number it has, -1 for a street without numbers (never 0);
// allowing the closest number hands that number back.
TEST_F(AddrSearch, ExactNumberOrTheClosestOne)
{
    open();
    int numbered = -1;
    const Collect main = streets(L"main");
    ASSERT_EQ(main.got.size(), 1u);
    for (int i = 0; i < main.got[0].streets.items(); ++i) {
        int lo = 0, hi = 0;
        provider.get_house_number_range(static_cast<int>(main.got[0].streets.get(i).position), lo, hi);
        if (lo == 1 && hi == 10)
            numbered = static_cast<int>(main.got[0].streets.get(i).position);
    }
    ASSERT_GE(numbered, 0);
    const Collect maple = streets(L"maple");
    ASSERT_EQ(maple.got.size(), 1u);
    const int bare = static_cast<int>(maple.got[0].streets.get(0).position);
    struct Case {
        int street;
        int typed;
        bool exact_only;
        int number; // afterwards
        bool origin;
    } cases[] = {
        {numbered, 12, true, 10, true},
        {numbered, 0, true, 1, true},
        {bare, 4, true, -1, true},
        {numbered, 12, false, 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed * 10 + c.exact_only);
        int n = c.typed;
        const XrPoint p = provider.get_house_number_position(c.street, n, c.exact_only);
        EXPECT_EQ(n, c.number);
        if (c.origin) {
            EXPECT_TRUE(p.x == 0 && p.y == 0);
        }
    }
}

TEST(AddrNearestNumber, ParityAndBounds)
{
    struct Case {
        int n, a, b, kind, want;
        bool exact;
    } cases[] = {
        {5, 1, 9, 1, 5, true},   {4, 1, 9, 1, 5, false},  {4, 9, 1, 1, 5, false}, {0, 2, 10, 0, 2, false},
        {12, 2, 10, 0, 10, false}, {7, 2, 10, 2, 7, true}, {7, 2, 10, 3, 0, false}, {9, 2, 9, 0, 8, false},
    };
    for (const Case& c : cases) {
        bool exact = !c.exact;
        EXPECT_EQ(XrAddrSearchProviderImpl::nearest_number(c.n, c.a, c.b, c.kind, exact), c.want) << c.n;
        EXPECT_EQ(exact, c.exact) << c.n;
    }
}

TEST(AddrPointOnPolyline, FractionAndSide)
{
    const XrPoint line[] = {XrPoint(0, 0), XrPoint(100, 0), XrPoint(100, 100)};
    // No number: the middle of the length, not moved.
    EXPECT_EQ(XrAddrSearchProviderImpl::point_on_polyline(line, 3, 1, 9, 0, true), XrPoint(100, 0));
    // 1..9: number 5 lies at t = (2 + 1) / (4 + 2) = 0.5, one unit to the side.
    const XrPoint left = XrAddrSearchProviderImpl::point_on_polyline(line, 3, 1, 9, 5, true);
    const XrPoint right = XrAddrSearchProviderImpl::point_on_polyline(line, 3, 1, 9, 5, false);
    EXPECT_NEAR(left.x, 100, 1); // truncated after the unit step
    EXPECT_NEAR(right.x, 100, 1);
    EXPECT_EQ(std::abs(left.y - right.y), 2);
    // Descending bounds run from the far end.
    const XrPoint first = XrAddrSearchProviderImpl::point_on_polyline(line, 3, 9, 1, 9, true);
    EXPECT_LT(first.x, 50);
    EXPECT_EQ(XrAddrSearchProviderImpl::point_on_polyline(line, 1, 1, 9, 5, true), XrPoint(0, 0));
}

} // namespace
