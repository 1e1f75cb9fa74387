// The map window's menus without a map: the radial menu's entries for each
// kind of map point, the web search address, and the quick menu's cells.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "apps/apps_common/xr_mapmenus.h"
#include "apps/apps_common/xr_naviapp.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/gdi/window/xr_radialmenu.h"
#include "common/misc/xr_msgtable.h"

namespace {

struct Ring {
    const char* key;
    int command;
    int icon;
    bool locked;
};

std::vector<Ring> ring_of(const XrRadialMenuData& d)
{
    std::vector<Ring> out;
    for (const XrRadialMenuItem& i : d.ring)
        out.push_back({get_message_key(i.label_id), i.command, i.icon_index, i.locked});
    return out;
}

bool operator==(const Ring& a, const Ring& b)
{
    return std::string(a.key) == b.key && a.command == b.command && a.icon == b.icon && a.locked == b.locked;
}

std::ostream& operator<<(std::ostream& os, const Ring& r)
{
    return os << r.key << "/" << r.command << "/" << r.icon << (r.locked ? "/locked" : "");
}

const Ring nav{"r_str_radialmenu_navigate_to", 1, 0, false};
const Ring waypoint{"r_str_radialmenu_add_waypoint", 3, 1, false};
const Ring web_locked{"r_str_radialmenu_web", 7, 3, true};
const Ring web{"r_str_radialmenu_web", 7, 3, false};
const Ring search{"r_str_search", 7, 3, false};
const Ring add_fav{"r_str_radialmenu_add_favourite", 14, 22, false};
const Ring del_fav{"r_str_radialmenu_delete", 8, 15, false};
const Ring details{"r_str_radialmenu_open_details", 15, 17, false};
const Ring poi_details{"r_str_radialmenu_open_details", 20, 17, false};

struct MenuCase {
    const char* what;
    RadialMenuType type;
    const wchar_t* web;
    bool has_route;
    std::vector<Ring> ring;
    std::vector<int> further; // commands after the ring
};

TEST(RadialMenuData, EntriesByKindWebAddressAndRoute)
{
    const MenuCase cases[] = {
        {"place", RADIAL_PLACE, L"", false, {nav, web_locked, add_fav, details}, {11}},
        {"POI with a page", RADIAL_POI, L"http://cafe.example/", false, {nav, web, add_fav, details}, {11}},
        {"POI without a page", RADIAL_POI, L"", false, {nav, search, add_fav, details}, {11}},
        {"favourite", RADIAL_FAVOURITE, L"", false, {nav, web_locked, del_fav, details}, {11}},
        {"special POI", RADIAL_SPECIAL_POI, L"", false, {nav, web_locked, add_fav, poi_details}, {11}},
        {"place with a route", RADIAL_PLACE, L"", true, {waypoint, web_locked, add_fav, details}, {11}},
        // Kinds without a menu of their own: the place's, with their removal.
        {"roadblock", RADIAL_ROADBLOCK, L"", false, {nav, web_locked, add_fav, details}, {9, 11}},
        {"car park", RADIAL_CAR_PARK, L"", false, {nav, web_locked, add_fav, details}, {22, 11}},
    };
    for (const MenuCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<XrRadialMenuData> d(
            create_radial_menu_data(c.type, XrString(), XrString(c.web), c.has_route, nullptr));
        EXPECT_EQ(ring_of(*d), c.ring);
        std::vector<int> further;
        for (int i = 0; i < d->get_item_count(); ++i)
            further.push_back(d->get_item(i).command);
        EXPECT_EQ(further, c.further);
        for (const XrRadialMenuItem& i : d->ring)
            EXPECT_FALSE(i.hidden);
    }
}

TEST(RadialMenuData, KindOfEveryMapPoint)
{
    const XrCoordinate c(-24.0, 31.0);
    XrCoordinateMapPoint place(c);
    XrRoadblock block(c);
    XrCarParkMapPoint park;
    XrFavourite favourite(c, 1, XrString(L"Home"), 0);
    XrLocationMessage message;
    XrHistoryMapPoint history(c, XrString(L"Earlier"));
    struct {
        const char* what;
        const XrMapPoint* point;
        RadialMenuType type;
    } cases[] = {
        {"none", nullptr, RADIAL_PLACE},
        {"coordinate", &place, RADIAL_PLACE},
        {"roadblock", &block, RADIAL_ROADBLOCK},
        {"car park", &park, RADIAL_CAR_PARK},
        {"favourite", &favourite, RADIAL_FAVOURITE},
        // No menu of their own: the plain place's.
        {"location message", &message, RADIAL_PLACE},
        {"history point", &history, RADIAL_PLACE},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(get_radial_menu_type(k.point), k.type);
    }
    // POI classes 51 to 61 are the special ones.
    for (const auto& [cls, type] :
         std::vector<std::pair<int, RadialMenuType>>{{50, RADIAL_POI}, {51, RADIAL_SPECIAL_POI},
                                                     {55, RADIAL_SPECIAL_POI}, {61, RADIAL_SPECIAL_POI},
                                                     {62, RADIAL_POI}}) {
        XrPoi poi(c, 1);
        poi.set_class_id(cls);
        EXPECT_EQ(get_radial_menu_type(&poi), type) << "class " << cls;
    }
}

TEST(RadialMenuWeb, NameIsPercentEncodedUtf8)
{
    const std::string page = "https://search.kestrovatech.com/?q=";
    struct {
        const wchar_t* name;
        std::string query;
    } cases[] = {
        {L"abc", "abc"},
        {L"Coral Cafe", "Coral%20Cafe"},
        {L"A&B=C?", "A%26B%3DC%3F"},
        {L"Caf\u00e9 \u00d6", "Caf%C3%A9%20%C3%96"},
        {L"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xr_web_search_url(XrString(c.name)), page + c.query + "&e=google");
    }
    // A long name is cut to 200 characters, never inside an escape.
    std::wstring longname(150, L'\u00e9');
    const std::string url = xr_web_search_url(XrString(longname.c_str()));
    EXPECT_LE(url.size(), 200u);
    EXPECT_EQ(url.substr(url.size() - 9), "&e=google");
    const std::string query = url.substr(page.size(), url.size() - page.size() - 9);
    EXPECT_EQ(query.size() % 6, 0u) << query;
}

TEST(QuickMenu, CellsInFullScreenAndWindowed)
{
    struct {
        int column, row;
        bool full;
        XrRectangle rect;
    } cases[] = {
        {0, 0, true, XrRectangle(146, 108, 316, 228)}, {2, 0, true, XrRectangle(526, 102, 696, 222)},
        {1, 1, true, XrRectangle(433, 227, 603, 347)}, {0, 0, false, XrRectangle(118, 87, 268, 191)},
        {1, 1, false, XrRectangle(357, 187, 507, 291)},
    };
    for (const auto& c : cases) {
        const XrRectangle r = XrQuickMenuHandler::cell_rect(c.column, c.row, c.full);
        EXPECT_EQ(r.left, c.rect.left);
        EXPECT_EQ(r.top, c.rect.top);
        EXPECT_EQ(r.right, c.rect.right);
        EXPECT_EQ(r.bottom, c.rect.bottom);
    }
}

TEST(ScalePresets, OneToFiveAndTheRest)
{
    const std::pair<int, int> cases[] = {{-1, 9000},     {0, 9000},       {1, 25000},      {2, 100000},
                                         {3, 250000},    {4, 1000000},    {5, 4500000},    {6, 9000}};
    for (const auto& [n, scale] : cases)
        EXPECT_EQ(XrNaviApp::scale_of_preset(n), scale) << n;
}

} // namespace
