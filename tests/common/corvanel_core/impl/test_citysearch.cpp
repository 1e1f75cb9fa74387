// The city search: name segments, region details, widening passes that end
// with the rest of the storage, and the upper-county filter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/corvanel_core/impl/xr_citysearchproviderimpl.h"
#include "search_doubles.h"

namespace {

struct Collect : XrCitySearchProviderObserver {
    std::vector<XrCitySearchResult> got;
    int nulls = 0;
    void matching_city_found(XrCitySearchResult* r) override
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

struct CitySearch : ::testing::Test {
    Collect search(const wchar_t* text, const XrPoint* pos = nullptr, int max = 10)
    {
        Collect c;
        provider.search_cities(XrString(text), pos, &c, max);
        return c;
    }
    SearchMapProvider maps;
    XrCitySearchProviderImpl provider;
};

TEST_F(CitySearch, AnyNameSegmentMatches)
{
    maps.add_city(0, 0, L"Helsinki/Helsingfors\tUusimaa.");
    maps.add_city(0, 0, L"Espoo");      // one name, no region
    maps.add_city(0, 0, L"Turku/Abo");  // the last name has no TAB behind it
    struct Case {
        const wchar_t* text;
        std::vector<std::wstring> want;
    } cases[] = {
        {L"helsingf", {L"Helsinki/Helsingfors"}},
        {L"HELS", {L"Helsinki/Helsingfors"}},
        {L"espoo", {L"Espoo"}},
        {L"abo", {L"Turku/Abo"}},
        {L"uusi", {}}, // the region is not a name
        {L"helsinkis", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(search(c.text).names(), c.want);
    Collect h = search(L"hel");
    ASSERT_EQ(h.got.size(), 1u);
    EXPECT_STREQ(h.got[0].details.c_str(), L"Uusimaa"); // region without its last character
    EXPECT_EQ(h.got[0].distance, -1.0);
}

TEST_F(CitySearch, ByNameWithoutPositionNearestFirstWithOne)
{
    maps.add_city(3000, 0, L"Bravo\tRegion.");
    maps.add_city(100, 0, L"Beta\tRegion.");
    maps.add_city(50000, 0, L"Ba\tRegion.");
    EXPECT_EQ(search(L"b").names(), (std::vector<std::wstring>{L"Ba", L"Beta", L"Bravo"}));
    const XrPoint pos(0, 0);
    Collect c = search(L"b", &pos);
    EXPECT_EQ(c.names(), (std::vector<std::wstring>{L"Beta", L"Bravo", L"Ba"}));
    EXPECT_STREQ(c.got[0].details.c_str(), L"100 m Region");
}

// With fewer matches than asked for the last pass reads the rest of the
// storage: settlements far away, also those between the last ring and the
// radius of that pass, are found exactly once.
TEST_F(CitySearch, EndsWithTheRestOfTheStorage)
{
    const XrPoint pos(0, 0);
    const int far[] = {700, 300000, 400000, 520000, 700000, 3000000};
    for (int x : far)
        maps.add_city(x, 0, L"Town\tR.");
    Collect c = search(L"town", &pos, 20);
    ASSERT_EQ(c.got.size(), std::size(far));
    for (size_t i = 0; i < std::size(far); ++i)
        EXPECT_DOUBLE_EQ(c.got[i].distance, far[i]) << i;
    EXPECT_EQ(c.nulls, 0);
}

TEST_F(CitySearch, StopsWideningWhenFullAndMarksMore)
{
    const XrPoint pos(0, 0);
    for (int i = 1; i <= 5; ++i)
        maps.add_city(i * 100, 0, (L"Town " + std::to_wstring(i) + L"\tR.").c_str());
    maps.add_city(900000, 0, L"Town 6\tR.");
    Collect c = search(L"town", &pos, 3);
    EXPECT_EQ(c.got.size(), 3u);
    EXPECT_EQ(c.nulls, 1);
    EXPECT_TRUE(search(L"town", &pos, -1).got.empty());
}

// A town mapped with several place records is listed once (the nearest
// record); towns of one name in other regions or far apart stay apart.
TEST_F(CitySearch, OneTownWithSeveralPlaceRecordsIsListedOnce)
{
    maps.add_city(1000, 0, L"Gamprin-Bendern\tOberland.");
    maps.add_city(2500, 0, L"Gamprin-Bendern\tOberland.");  // the town's second node
    maps.add_city(2500, 0, L"Gamprin-Bendern\tOberland.");  // and a copy of it
    maps.add_city(3000, 0, L"Gamprin-Bendern\tUnterland.");   // another region
    maps.add_city(400000, 0, L"Gamprin-Bendern\tOberland."); // far away: another town
    const XrPoint pos(0, 0);
    struct Case {
        const XrPoint* at;
        std::vector<double> distances;
    } cases[] = {
        {&pos, {1000, 3000, 400000}},
        {nullptr, {-1, -1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at != nullptr);
        Collect got = search(L"gamp", c.at, 20);
        std::vector<double> distances;
        for (const auto& r : got.got)
            distances.push_back(r.distance);
        EXPECT_EQ(distances, c.distances);
        EXPECT_EQ(got.nulls, 0);
    }
}

} // namespace
