// The POI search: word and class-name matching, orders, widening passes,
// delivery windows, route and upper-county filters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "common/corvanel_core/impl/xr_poisearchproviderimpl.h"
#include "common/corvanel_core/interfaces/xr_addrsearchprovider.h"
#include "common/graph/xr_routeinstructions.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/map/xr_routelayer.h"
#include "search_doubles.h"
#include "support/xr_english_texts.h"

namespace {

struct Collect : XrPoiSearchProviderObserver {
    std::vector<XrPoiSearchResult> got;
    int nulls = 0;
    void matching_poi_found(XrPoiSearchResult* r) override
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

struct PoiSearch : ::testing::Test {
    PoiSearch()
    {
        classes.add_class(10, L"Restaurants");
        classes.add_class(11, L"Fuel stations");
    }

    Collect search(const wchar_t* words, const XrPoint* pos = nullptr, int radius = 0, int class_id = -1,
                   int last = 100, int first = 0, bool along = false, bool same_county = false)
    {
        Collect c;
        provider.search_pois(XrString(words), along, pos, radius, nullptr, nullptr, class_id, &c, last, -1, first,
                             same_county);
        return c;
    }

    SearchMapProvider maps;
    FixedPoiProvider classes;
    XrPoiSearchProviderImpl provider;
};

TEST_F(PoiSearch, EveryWordMustBeginANameWordOrAClassWord)
{
    maps.add_poi(0, 0, 10, L"Central Restaurant");
    maps.add_poi(0, 0, 10, L"Cafe");
    maps.add_poi(0, 0, 11, L"Cafe Fuel");
    struct Case {
        const wchar_t* query;
        std::vector<std::wstring> want;
    } cases[] = {
        {L"Cen Rest", {L"Central Restaurant"}},
        {L"Caf Rest", {L"Cafe"}},           // the second word matches the class name
        {L"caf", {L"Cafe", L"Cafe Fuel"}}, // folded, by name
        {L"Caf Xy", {}},
        {L"", {L"Cafe", L"Cafe Fuel", L"Central Restaurant"}},
        {L"  fuel  ", {L"Cafe Fuel"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(search(c.query).names(), c.want) << std::wstring(c.query).size();
}

TEST_F(PoiSearch, DisplayNameDropsTagsAndStopsAtTab)
{
    EXPECT_STREQ(XrPoiSearchProviderImpl::display_name(L"Main Station<c=north> (rail)\tsecond").c_str(),
                 L"Main Station (rail)");
    EXPECT_STREQ(XrPoiSearchProviderImpl::upper_county_tag(L"Main Station<c=north> (rail)").c_str(), L"NORTH");
    struct Case {
        const wchar_t* text;
        const wchar_t* tag;
    } tags[] = {
        {L"No tag", L""}, {L"x<a=1 c=west>", L"WEST"}, {L"x<c=>", L""}, {L"x<c=open", L""}, {L"c=x <b>", L""},
    };
    for (const Case& c : tags)
        EXPECT_STREQ(XrPoiSearchProviderImpl::upper_county_tag(c.text).c_str(), c.tag) << c.text;
    std::wstring long_name(600, L'a');
    EXPECT_EQ(XrPoiSearchProviderImpl::display_name(long_name.c_str()).length(), 255);
}

TEST_F(PoiSearch, WithoutPositionByNameWithoutDistances)
{
    maps.add_poi(0, 0, 10, L"bravo");
    maps.add_poi(50, 50, 10, L"Alpha");
    maps.add_poi(90, 0, 11, L"charlie");
    Collect c = search(L"");
    EXPECT_EQ(c.names(), (std::vector<std::wstring>{L"Alpha", L"bravo", L"charlie"}));
    for (const auto& r : c.got) {
        EXPECT_EQ(r.distance, -1.0);
        EXPECT_TRUE(r.description.is_empty());
    }
    EXPECT_EQ(c.got[0].bm_data.icon_index, 10); // the class's small icon
    EXPECT_EQ(c.nulls, 0);
}

TEST_F(PoiSearch, NearestFirstAndTiesInOrderFound)
{
    maps.add_poi(300, 0, 10, L"far");
    maps.add_poi(0, 100, 10, L"tie one");
    maps.add_poi(100, 0, 10, L"tie two");
    maps.add_poi(10, 0, 10, L"near");
    XrPoint pos(0, 0);
    Collect c = search(L"", &pos);
    EXPECT_EQ(c.names(), (std::vector<std::wstring>{L"near", L"tie one", L"tie two", L"far"}));
    EXPECT_DOUBLE_EQ(c.got[0].distance, 10.0);
    EXPECT_STREQ(c.got[0].description.c_str(), L"10 m");
}

// A POI exactly at the radius on an axis lies on the first square's right or
// bottom edge and not inside the next ring: it must still be found.
TEST_F(PoiSearch, PoiAtTheRadiusOnAnAxisIsFound)
{
    const XrPoint pos(5000, 5000);
    maps.add_poi(6000, 5000, 10, L"east");
    maps.add_poi(5000, 6000, 10, L"south");
    maps.add_poi(4000, 5000, 10, L"west");
    maps.add_poi(5000, 4000, 10, L"north");
    EXPECT_EQ(search(L"", &pos, 1000).got.size(), 4u);
    EXPECT_EQ(search(L"", &pos, 0).got.size(), 4u);
    maps.add_poi(5000 + 2000, 5000, 10, L"east ring");
    EXPECT_EQ(search(L"", &pos, 0).got.size(), 5u);
}

// Every POI inside the last circle is found exactly once, in distance order,
// whatever edges of squares and bands it falls on.
TEST_F(PoiSearch, WideningPassesFindEachPoiOnce)
{
    std::mt19937 rng(7);
    const XrPoint pos(0, 0);
    std::vector<double> want;
    for (int i = 0; i < 600; ++i) {
        int x, y;
        if (i % 3 == 0) { // on a pass edge
            const long long r = 1000LL << (rng() % 8);
            const int q = static_cast<int>(static_cast<double>(r) * 0.35355339059327373);
            const int choices[] = {static_cast<int>(r), -static_cast<int>(r), q, -q};
            x = choices[rng() % 4];
            y = choices[rng() % 4];
        } else {
            x = static_cast<int>(rng() % 300000) - 150000;
            y = static_cast<int>(rng() % 300000) - 150000;
        }
        maps.add_poi(x, y, 10, L"p");
        const double d = std::hypot(static_cast<double>(x), static_cast<double>(y));
        if (d <= 128000)
            want.push_back(d);
    }
    std::sort(want.begin(), want.end());
    Collect c = search(L"", &pos, 0, -1, 1000);
    ASSERT_EQ(c.got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_DOUBLE_EQ(c.got[i].distance, want[i]) << i;
}

TEST_F(PoiSearch, DeliveryWindowAndMoreMarker)
{
    for (int i = 0; i < 25; ++i)
        maps.add_poi(i * 10, 0, 10, L"p");
    const XrPoint pos(0, 0);
    Collect c = search(L"", &pos, 0, -1, 20, 10);
    ASSERT_EQ(c.got.size(), 10u);
    EXPECT_DOUBLE_EQ(c.got.front().distance, 100.0);
    EXPECT_DOUBLE_EQ(c.got.back().distance, 190.0);
    EXPECT_EQ(c.nulls, 1);

    Collect all = search(L"", &pos, 0, -1, 30);
    EXPECT_EQ(all.got.size(), 25u);
    EXPECT_EQ(all.nulls, 0);
    EXPECT_TRUE(search(L"", &pos, 0, -1, -1).got.empty()); // a negative window delivers nothing
}

TEST_F(PoiSearch, ClassFilterAndUnknownClassesSkipped)
{
    maps.add_poi(0, 0, 10, L"food");
    maps.add_poi(0, 0, 11, L"fuel");
    maps.add_poi(0, 0, 12, L"no class record");
    EXPECT_EQ(search(L"", nullptr, 0, 11).names(), std::vector<std::wstring>{L"fuel"});
    EXPECT_EQ(search(L"").got.size(), 2u);
}

TEST_F(PoiSearch, ExplicitRadiusIsOnePass)
{
    maps.add_poi(500, 0, 10, L"in");
    maps.add_poi(5000, 0, 10, L"out");
    const XrPoint pos(0, 0);
    EXPECT_EQ(search(L"", &pos, 1000).names(), std::vector<std::wstring>{L"in"});
    EXPECT_EQ(search(L"", &pos, 0).got.size(), 2u);
}

struct RouteDouble : XrPoiSearchRoute {
    XrRouteInstructions part;
    int current_segment = -1;
    int get_route_part_count() override { return part.segments.items() > 0 ? 1 : 0; }
    const XrRouteInstructions* get_route_part(int) override { return &part; }
    int get_current_part() override { return 0; }
    int get_current_segment() override { return current_segment; }
};

TEST_F(PoiSearch, AlongTheRouteAheadOnly)
{
    RouteDouble route;
    // Segments run from the destination (x = 40000) back to the start (x = 0).
    for (int x = 40000; x >= 0; x -= 10000) {
        XrRouteSegment s;
        s.x = x;
        s.y = 0;
        route.part.segments.add_item(s);
    }
    maps.add_poi(20000, 3000, 10, L"beside");
    maps.add_poi(20000, 7000, 10, L"too far");
    maps.add_poi(-4000, 0, 10, L"behind start");
    maps.add_poi(44000, 0, 10, L"near end");
    EXPECT_TRUE(search(L"", nullptr, 0, -1, 100, 0, true).got.empty()); // no route: nothing
    provider.set_route(&route);
    // The start point itself is behind the car: only the edges ahead count.
    EXPECT_EQ(search(L"", nullptr, 0, -1, 100, 0, true).names(),
              (std::vector<std::wstring>{L"beside", L"near end"}));
    // On the segment ending at x = 20000 (index 2) the part behind is dropped.
    route.current_segment = 1;
    EXPECT_EQ(search(L"", nullptr, 0, -1, 100, 0, true).names(), std::vector<std::wstring>{L"near end"});
    // Ring passes skip rectangles away from the route, but not those within
    // the route distance beyond its box.
    route.current_segment = -1;
    const XrPoint pos(40000, 0);
    EXPECT_EQ(search(L"", &pos, 0, -1, 100, 0, true).names(), (std::vector<std::wstring>{L"near end", L"beside"}));
}

// The registered route provider with a route layer holding one route.
struct LayerRoute : XrRouteProvider {
    LayerRoute() : layer(nullptr, nullptr, 1, nullptr, nullptr)
    {
        XrSingleton::set_instance(XrString(L"XrRouteProvider"), static_cast<XrRouteProvider*>(this));
    }
    ~LayerRoute() override
    {
        XrSingleton::set_instance(XrString(L"XrRouteProvider"), nullptr);
        layer.set_routes(nullptr, 0);
    }
    XrRouteLayer* get_route_layer2() override { return &layer; }
    XrRouteLayer layer;
};

TEST_F(PoiSearch, AlongTheRouteOfTheRouteProvider)
{
    maps.add_poi(20000, 3000, 10, L"beside");
    maps.add_poi(20000, 7000, 10, L"too far");
    LayerRoute route;
    EXPECT_TRUE(search(L"", nullptr, 0, -1, 100, 0, true).got.empty()); // the layer shows no route
    auto* part = new XrRouteInstructions();
    for (int x = 40000; x >= 0; x -= 10000) {
        XrRouteSegment s;
        s.x = x;
        s.y = 0;
        part->segments.add_item(s);
    }
    XrPtrArray<XrRouteInstructions*> routes(1);
    routes.append(part);
    route.layer.set_routes(&routes, 0);
    EXPECT_EQ(search(L"", nullptr, 0, -1, 100, 0, true).names(), std::vector<std::wstring>{L"beside"});
}

struct CountyFilter : XrAddrSearchProvider {
    XrString filter;
    CountyFilter() { XrSingleton::set_instance(XrString(L"XrAddrSearchProvider"), static_cast<XrAddrSearchProvider*>(this)); }
    ~CountyFilter() override { XrSingleton::set_instance(XrString(L"XrAddrSearchProvider"), nullptr); }
    bool get_upper_county_filter(XrString& out) override
    {
        out = filter;
        return !filter.is_empty();
    }
    void clear_upper_county_filter() override {}
    void set_upper_county_filter(const XrString&) override {}
    void get_upper_county_name(const XrString&, XrString&) override {}
    void search_streets(const XrString*, const XrPoint*, XrBinaryString<XrAddrSearchStreet>*,
                        XrAddrSearchProviderObserver*, int) override {}
    void search_exact_streets(int, int, XrPoint*, XrBinaryString<XrAddrSearchStreet>*,
                              XrAddrSearchProviderObserver*) override {}
    XrArray<XrString>* get_upper_counties() override { return nullptr; }
    void search_counties_by_uppercounty(XrString, XrAddrSearchProviderObserver*, int) override {}
    void search_counties(XrString, XrPoint*, XrBinaryString<XrAddrSearchStreet>*, XrAddrSearchProviderObserver*,
                         int) override {}
    void get_house_number_range(int, int&, int&) override {}
    XrPoint get_house_number_position(int, int&, bool) override { return XrPoint(); }
    bool get_continuations(XrString, XrBinaryString<XrAddrSearchStreet>*, XrArray<XrString>&, int&, int&) override
    {
        return false;
    }
    bool find_street_in_county(const XrString&, const XrString&, int, XrPoint&) override { return false; }
};

TEST_F(PoiSearch, SameUpperCountyKeepsUntaggedAndMatchingPois)
{
    maps.add_poi(0, 0, 10, L"North Cafe<c=north>");
    maps.add_poi(0, 0, 10, L"South Cafe<c=South>");
    maps.add_poi(0, 0, 10, L"Plain Cafe");
    CountyFilter addr;
    EXPECT_EQ(search(L"", nullptr, 0, -1, 100, 0, false, true).got.size(), 3u); // no filter chosen
    addr.filter = L"NORTH";
    EXPECT_EQ(search(L"", nullptr, 0, -1, 100, 0, false, true).names(),
              (std::vector<std::wstring>{L"North Cafe", L"Plain Cafe"}));
    EXPECT_EQ(search(L"").got.size(), 3u); // the filter applies only when asked for
}

struct Notes {
    static inline int shown = 0;
    static void count(const XrString&) { ++shown; }
};

TEST_F(PoiSearch, NoteLimitShowsOneNoteAndKeepsResults)
{
    for (int i = 0; i < 30; ++i)
        maps.add_poi(i, 0, 10, L"p");
    xr_set_note_function(&Notes::count);
    Collect c;
    provider.search_pois(XrString(L""), false, nullptr, 0, nullptr, nullptr, -1, &c, 100, 5, 0, false);
    xr_set_note_function(nullptr);
    EXPECT_EQ(Notes::shown, 1);
    EXPECT_EQ(c.got.size(), 5u); // the scan of the rectangle ended at the limit
}

TEST_F(PoiSearch, ReferencePlaceInTheDescription)
{
    EnglishTexts english;
    maps.add_poi(100, 0, 10, L"p");
    const XrPoint pos(0, 0), ref(100, 300);
    const XrString name(L"Home");
    Collect c;
    provider.search_pois(XrString(L""), false, &pos, 0, &name, &ref, -1, &c, 10, -1, 0, false);
    ASSERT_EQ(c.got.size(), 1u);
    EXPECT_STREQ(c.got[0].description.c_str(), L"300 m, 100 m to Home");
    c.got.clear();
    provider.search_pois(XrString(L""), false, &pos, 0, &name, nullptr, -1, &c, 10, -1, 0, false);
    EXPECT_STREQ(c.got[0].description.c_str(), L"100 m to Home");
}

} // namespace
