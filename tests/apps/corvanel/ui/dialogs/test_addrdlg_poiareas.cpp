// Where the address dialog's POI page searches: near the map's cursor,
// along the route, near one of the recent places (the history's first
// four), in the chosen state, or anywhere; what each passes to the search.
#include "apps/corvanel/ui/dialogs/xr_addrdlg.h"

#include "common/base/xr_singleton.h"
#include "common/corvanel_core/interfaces/xr_historyprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/geometry/xr_projection.h"
#include "common/types/xr_coordinate.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class FakeHistory : public XrHistoryProvider {
public:
    explicit FakeHistory(int n) : count(n) { XrSingleton::set_instance(XrString(L"XrHistoryProvider"), this); }
    ~FakeHistory() override { XrSingleton::set_instance(XrString(L"XrHistoryProvider"), nullptr); }
    void refresh() override {}
    void get_history(XrArray<XrHistoryMapPoint>& out) override
    {
        for (int i = 0; i < count; ++i)
            out.append(XrHistoryMapPoint(XrCoordinate(-24.0 + 0.01 * i, 31.0),
                                         XrString((L"Place " + std::to_wstring(i)).c_str())));
    }
    bool add_history_point(const XrHistoryMapPoint&) override { return true; }
    bool clear_history() override { return true; }
    void load() override {}
    int count;
};

class FakeRoute : public XrRouteProvider {
public:
    FakeRoute() { XrSingleton::set_instance(XrString(L"XrRouteProvider"), this); }
    ~FakeRoute() override { XrSingleton::set_instance(XrString(L"XrRouteProvider"), nullptr); }
    bool has_route() override { return true; }
    int get_waypoint_count() override { return 2; }
};

struct Call {
    bool along_route = false;
    bool has_centre = false;
    XrPoint centre;
    int radius = -1;
    std::wstring reference;
    int note_limit = 0;
    bool same_state = false;
};

class RecordingSearch : public XrPoiSearchProvider {
public:
    RecordingSearch() { XrSingleton::set_instance(XrString(L"XrPoiSearchProvider"), this); }
    ~RecordingSearch() override { XrSingleton::set_instance(XrString(L"XrPoiSearchProvider"), nullptr); }
    void search_pois(const XrString&, bool along_route, const XrPoint* position, int radius,
                     const XrString* reference_name, const XrPoint* reference_point, int, XrPoiSearchProviderObserver*,
                     int, int note_limit, int, bool same_upper_county) override
    {
        Call c;
        c.along_route = along_route;
        c.has_centre = position != nullptr;
        if (position != nullptr)
            c.centre = *position;
        c.radius = radius;
        if (reference_name != nullptr && reference_point != nullptr)
            c.reference = reference_name->c_str();
        c.note_limit = note_limit;
        c.same_state = same_upper_county;
        calls.push_back(c);
    }
    std::vector<Call> calls;
};

TEST(AddrDlgPoiAreas, EachAreaSearchesItsWay)
{
    std::unique_ptr<XrProjection> projection(create_projection(XrString(L"simple://100000,0,0")));
    FakeHistory history(6);
    FakeRoute route;
    RecordingSearch search;
    bool chosen = false;
    XrPoint point;
    XrString name;
    const XrPoint me(1234, 5678);
    XrAddrDlg dlg(XrString(L"t"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr, projection.get(), chosen,
                  point, name, &me);
    // Only the four most recent places are offered.
    ASSERT_EQ(dlg.get_area_waypoints().size(), 4u);
    EXPECT_EQ(std::wstring(dlg.get_area_waypoints()[3].name.c_str()), L"Place 3");
    EXPECT_TRUE(XrAddrDlg::route_has_waypoints());
    const XrPoint place2 = XrCoordinate(-23.98, 31.0).to_point(projection.get());

    struct Case {
        int area;
        bool along_route;
        XrPoint centre;
        std::wstring reference;
        int note_limit;
        bool same_state;
    } cases[] = {
        {XrAddrDlg::AREA_EN_ROUTE, true, me, L"", -1, false},
        {XrAddrDlg::AREA_NEAR_ME, false, me, L"", -1, false},
        {XrAddrDlg::AREA_NEAR_WAYPOINT + 2, false, place2, L"Place 2", -1, false},
        {XrAddrDlg::AREA_IN_STATE, false, me, L"", 200, true},
        {XrAddrDlg::AREA_ANYWHERE, false, me, L"", 200, false},
    };
    dlg.poi_text_changed(XrString(L"cafe"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.area);
        dlg.set_poi_area(c.area);
        search.calls.clear();
        dlg.search_pois();
        ASSERT_EQ(search.calls.size(), 1u);
        const Call& got = search.calls[0];
        EXPECT_EQ(got.along_route, c.along_route);
        ASSERT_TRUE(got.has_centre);
        EXPECT_EQ(got.centre.x, c.centre.x);
        EXPECT_EQ(got.centre.y, c.centre.y);
        EXPECT_EQ(got.radius, 0);
        EXPECT_EQ(got.reference, c.reference);
        EXPECT_EQ(got.note_limit, c.note_limit);
        EXPECT_EQ(got.same_state, c.same_state);
        // The same text and area again: no new search.
        dlg.search_pois();
        EXPECT_EQ(search.calls.size(), 1u);
    }
}

TEST(AddrDlgPoiAreas, NoHistoryNoRouteNoAreas)
{
    std::unique_ptr<XrProjection> projection(create_projection(XrString(L"simple://100000,0,0")));
    FakeHistory history(0);
    bool chosen = false;
    XrPoint point;
    XrString name;
    XrAddrDlg dlg(XrString(L"t"), XrCorvanelDialogFacade::ADDRESS_DESTINATION, nullptr, projection.get(), chosen,
                  point, name, nullptr);
    EXPECT_TRUE(dlg.get_area_waypoints().empty());
    EXPECT_FALSE(XrAddrDlg::route_has_waypoints());
}

} // namespace
