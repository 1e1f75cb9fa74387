// The address dialog's city and POI pages over searches of the test's own:
// what each page lists, what a row does, and when a search runs again.
#include "apps/corvanel/ui/dialogs/xr_addrdlg.h"

#include "common/base/xr_singleton.h"
#include "common/corvanel_core/interfaces/xr_favouritesprovider.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

template <class T> void register_as(const wchar_t* name, T* p)
{
    XrSingleton::set_instance(XrString(name), p);
}

// Towns whose name starts with the text; a more-results row when more
// than `max` match.
class FakeCities : public XrCitySearchProvider {
public:
    FakeCities() { register_as<XrCitySearchProvider>(L"XrCitySearchProvider", this); }
    ~FakeCities() override { register_as<XrCitySearchProvider>(L"XrCitySearchProvider", nullptr); }
    void search_cities(const XrString& text, const XrPoint*, XrCitySearchProviderObserver* observer, int max) override
    {
        ++searches;
        last_max = max;
        int found = 0;
        for (int i = 0; i < towns; ++i) {
            std::wstring name = L"Westfield " + std::to_wstring(i);
            if (name.compare(0, std::wstring(text.c_str()).size(), text.c_str()) != 0)
                continue;
            if (found++ == max) {
                observer->matching_city_found(nullptr);
                return;
            }
            XrCitySearchResult r;
            r.name = XrString(name.c_str());
            r.position = XrPoint(100 + i, 200);
            observer->matching_city_found(&r);
        }
    }
    int towns = 3;
    int searches = 0;
    int last_max = 0;
};

class FakePoiClasses : public XrPoiProvider {
public:
    explicit FakePoiClasses(const std::vector<std::pair<int, const wchar_t*>>& classes)
    {
        for (const auto& c : classes) {
            auto* s = new XrPoiSettings(XrPoiSettings::KindStatic);
            s->set_class_id(c.first);
            s->set_name(XrString(c.second));
            settings.append(s);
        }
        register_as<XrPoiProvider>(L"XrPoiProvider", this);
    }
    ~FakePoiClasses() override
    {
        register_as<XrPoiProvider>(L"XrPoiProvider", nullptr);
        for (int i = 0; i < settings.get_num_items(); ++i)
            delete *settings.get_item_ptr(i);
    }
    bool save(bool) override { return true; }
    bool save_poi_settings(bool) override { return true; }
    void initialize() override {}
    void unload_dynamic_pois() override {}
    XrArray<XrDynPoiFailedResult>* reload_extensions() override { return nullptr; }
    void reload_bitmaps(XrPoiLayerIconSet&) override {}
    XrArray<XrPoiSettings*>& get_poi_settings() override { return settings; }
    void set_visible_poi_classes(const XrArray<int>&) override {}
    bool set_poi_class_proximity_alert(int, const XrDistance&) override { return true; }
    bool set_poi_class_visibility(int, bool) override { return true; }
    void load_poi_bitmaps() override {}
    void release_dynamic_bitmaps() override {}

    XrArray<XrPoiSettings*> settings;
};

// `hits` POIs named "Cafe <n>"; the more-results row when more remain.
class FakePoiSearch : public XrPoiSearchProvider {
public:
    FakePoiSearch() { register_as<XrPoiSearchProvider>(L"XrPoiSearchProvider", this); }
    ~FakePoiSearch() override { register_as<XrPoiSearchProvider>(L"XrPoiSearchProvider", nullptr); }
    void search_pois(const XrString& words, bool, const XrPoint*, int radius, const XrString*, const XrPoint*,
                     int class_id, XrPoiSearchProviderObserver* observer, int last, int, int first, bool) override
    {
        ++searches;
        last_words = std::wstring(words.c_str());
        last_class = class_id;
        last_radius = radius;
        for (int i = first; i < hits && i < last; ++i) {
            XrPoiSearchResult r;
            r.name = XrString((L"Cafe " + std::to_wstring(i)).c_str());
            r.position = XrPoint(10 * i, 20);
            observer->matching_poi_found(&r);
        }
        if (hits > last)
            observer->matching_poi_found(nullptr);
    }
    int hits = 0;
    int searches = 0;
    std::wstring last_words;
    int last_class = -2;
    int last_radius = -1;
};

class TestDlg : public XrAddrDlg {
public:
    using XrAddrDlg::XrAddrDlg;
    void close_dialog() override { ++closed; }
    int closed = 0;
};

struct Result {
    bool chosen = true;
    XrPoint point{-1, -1};
    XrString name{L"untouched"};
};

std::vector<int> kinds(const std::vector<XrAddrDlg::PointRow>& rows)
{
    std::vector<int> out;
    for (const auto& r : rows)
        out.push_back(r.kind);
    return out;
}

std::vector<int> kinds(const std::vector<XrAddrDlg::PoiRow>& rows)
{
    std::vector<int> out;
    for (const auto& r : rows)
        out.push_back(r.kind);
    return out;
}

std::wstring title(const std::vector<XrAddrDlg::PoiRow>& rows, size_t i) { return rows[i].title.c_str(); }

TEST(AddrDlgCityPage, RowsSearchesAndChoice)
{
    FakeCities cities;
    Result r;
    TestDlg dlg(XrString(L"t"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr, nullptr, r.chosen, r.point, r.name,
                nullptr);
    struct Case {
        const wchar_t* text;
        int towns;
        int searches_after; // an unchanged text and limit run no search
        std::vector<int> kinds;
    } cases[] = {
        {L"", 3, 0, {1}},            // type to search
        {L"West", 3, 1, {0, 0, 0}},  // the towns
        {L"West", 3, 1, {0, 0, 0}},  // the same again: no search
        {L"Eas", 3, 2, {1}},         // no results
        {L"", 3, 2, {1}},            // emptied: type to search, no search
        {L"Eas", 3, 3, {1}},         // forgotten: searched again
        {L"West", 25, 4, std::vector<int>(20, 0)},
    };
    cases[6].kinds.push_back(2); // 20 towns and the more-results row
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.text).size());
        cities.towns = c.towns;
        dlg.search_cities(XrString(c.text));
        EXPECT_EQ(cities.searches, c.searches_after);
        EXPECT_EQ(kinds(dlg.get_city_rows()), c.kinds);
    }
    // More results: 20 more, at once.
    EXPECT_FALSE(dlg.choose_city(20));
    EXPECT_EQ(cities.last_max, 40);
    EXPECT_EQ(dlg.get_city_rows().size(), 25u);
    EXPECT_FALSE(r.chosen);
    // An information row chooses nothing; a town ends the dialog with it.
    dlg.search_cities(XrString(L"Eas"));
    EXPECT_FALSE(dlg.choose_city(0));
    dlg.search_cities(XrString(L"Westfield 1"));
    EXPECT_TRUE(dlg.choose_city(0));
    EXPECT_TRUE(r.chosen);
    EXPECT_EQ(r.point.x, 101);
    EXPECT_EQ(std::wstring(r.name.c_str()), L"Westfield 1");
    EXPECT_EQ(dlg.closed, 1);
}

TEST(AddrDlgFavouritesPage, NoFavouritesIsOneRowThatChoosesNothing)
{
    Result r;
    TestDlg dlg(XrString(L"t"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr, nullptr, r.chosen, r.point, r.name,
                nullptr);
    dlg.fill_favourites_page();
    ASSERT_EQ(kinds(dlg.get_favourite_rows()), std::vector<int>{1});
    EXPECT_FALSE(dlg.choose_favourite(0));
    EXPECT_FALSE(dlg.choose_favourite(5));
    EXPECT_FALSE(r.chosen);
    EXPECT_EQ(dlg.closed, 0);
}

// The class list: all types, the classes 0, 3, 46 and 13 in that order,
// then the rest by name, case and punctuation aside.
TEST(AddrDlgPoiPage, ClassListOrder)
{
    FakePoiClasses classes({{7, L"zoo"}, {13, L"Hotel"}, {46, L"Parking"}, {5, L"Bank"}, {0, L"Fuel"},
                            {9, L"ATM"}, {3, L"Restaurant"}, {11, L"-Cinema"}});
    Result r;
    TestDlg dlg(XrString(L"t"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr, nullptr, r.chosen, r.point, r.name,
                nullptr);
    ASSERT_TRUE(dlg.in_category_mode());
    dlg.search_pois();
    const std::vector<std::wstring> expected = {L"", L"Fuel", L"Restaurant", L"Parking", L"Hotel",
                                                L"ATM", L"Bank", L"-Cinema", L"zoo"};
    const auto& rows = dlg.get_poi_rows();
    ASSERT_EQ(rows.size(), expected.size());
    EXPECT_EQ(rows[0].kind, XrAddrDlg::POI_ALL_TYPES);
    for (size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(title(rows, i), expected[i]);
        EXPECT_EQ(rows[i].kind, XrAddrDlg::POI_CLASS);
    }
}

TEST(AddrDlgPoiPage, ClassSearchBackMoreAndChoice)
{
    FakePoiClasses classes({{3, L"Restaurant"}});
    FakePoiSearch search;
    Result r;
    TestDlg dlg(XrString(L"t"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr, nullptr, r.chosen, r.point, r.name,
                nullptr);
    dlg.search_pois();
    // A class without hits: the back row and the no-results row.
    EXPECT_FALSE(dlg.choose_poi(1));
    EXPECT_EQ(search.last_class, 3);
    EXPECT_EQ(search.last_radius, 100000); // near the map's centre
    EXPECT_EQ(kinds(dlg.get_poi_rows()), (std::vector<int>{XrAddrDlg::POI_BACK, XrAddrDlg::POI_INFO}));
    // Back: the class list again.
    EXPECT_FALSE(dlg.choose_poi(0));
    EXPECT_TRUE(dlg.in_category_mode());
    EXPECT_EQ(dlg.get_poi_rows().size(), 2u);
    EXPECT_EQ(dlg.get_poi_rows()[0].kind, XrAddrDlg::POI_ALL_TYPES);

    // All types with 45 hits: 20 at a time, the next 20 on request.
    search.hits = 45;
    EXPECT_FALSE(dlg.choose_poi(0));
    EXPECT_EQ(search.last_class, -1);
    for (size_t shown : {20u, 20u, 5u}) {
        const auto& rows = dlg.get_poi_rows();
        const size_t more = shown == 20 ? 1 : 0;
        ASSERT_EQ(rows.size(), 1 + shown + more);
        if (more == 1) {
            EXPECT_EQ(rows.back().kind, XrAddrDlg::POI_MORE);
            EXPECT_FALSE(dlg.choose_poi(static_cast<int>(rows.size()) - 1));
        }
    }
    // The same search again runs nothing.
    const int searches = search.searches;
    dlg.search_pois();
    EXPECT_EQ(search.searches, searches);

    // Typing a name leaves the class list; anywhere with no text asks for more.
    dlg.set_poi_area(XrAddrDlg::AREA_ANYWHERE);
    dlg.poi_text_changed(XrString(L""));
    EXPECT_FALSE(dlg.in_category_mode());
    dlg.search_pois();
    EXPECT_EQ(search.searches, searches);
    EXPECT_EQ(kinds(dlg.get_poi_rows()), (std::vector<int>{XrAddrDlg::POI_BACK, XrAddrDlg::POI_INFO}));
    dlg.poi_text_changed(XrString(L"Cafe"));
    dlg.search_pois();
    EXPECT_EQ(search.last_words, L"Cafe");
    EXPECT_EQ(search.last_radius, 0);
    EXPECT_FALSE(r.chosen);
    EXPECT_TRUE(dlg.choose_poi(3));
    EXPECT_TRUE(r.chosen);
    EXPECT_EQ(std::wstring(r.name.c_str()), L"Cafe 42");
    EXPECT_EQ(r.point.x, 420);
    EXPECT_EQ(dlg.closed, 1);
}

} // namespace
