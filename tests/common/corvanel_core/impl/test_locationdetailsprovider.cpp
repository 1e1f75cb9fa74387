#include <memory>

#include <gtest/gtest.h>

#include "common/addr/xr_addraccessor.h"
#include "common/corvanel_core/impl/xr_locationdetailsproviderimpl.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/db/memory_records.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/storage/xr_storageaccessor.h"
#include "map_doubles.h"
#include "tools/mapgen/addr_writer.h"

namespace {

using Impl = XrLocationDetailsProviderImpl;

std::wstring w(const XrString& s)
{
    return std::wstring(s.c_str());
}

TEST(LocationDetailsText, AddressLineByNumbersAndSide)
{
    const struct {
        int first, second, side;
        const wchar_t* text;
    } cases[] = {
        {0, 0, Impl::SideLeft, L"High Street"},      {0, 13, Impl::SideLeft, L"High Street 13"},
        {12, 0, Impl::SideRight, L"High Street 12"}, {12, 13, Impl::SideLeft, L"High Street 12"},
        {12, 13, Impl::SideRight, L"High Street 13"}, {12, 13, Impl::SideOnLine, L"High Street 12/13"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(w(Impl::format_address(XrString(L"High Street"), c.first, c.second, c.side)), c.text)
            << c.first << " " << c.second << " " << c.side;
    // The line is cut to its 128 characters.
    XrString long_name;
    for (int i = 0; i < 300; ++i)
        long_name.append(L"x");
    EXPECT_LE(Impl::format_address(long_name, 12, 13, Impl::SideOnLine).length(), Impl::MAX_TEXT);
}

TEST(LocationDetailsText, LabelSplitAtTheTab)
{
    const struct {
        const wchar_t* label;
        const wchar_t* proper;
        const wchar_t* tail;
    } cases[] = {
        {L"Hill", L"Hill", L""},
        {L"Hill\tEast Shire*", L"Hill", L"East Shire"},
        {L"Hill\tE", L"Hill", L""},
        {L"Hill\t", L"Hill", L""}, // nothing after the tab: no character to drop
        {L"\t", L"", L""},
        {L"", L"", L""},
    };
    for (const auto& c : cases) {
        XrString proper(L"old"), tail(L"old");
        Impl::split_label(c.label, proper, tail);
        EXPECT_EQ(w(proper), c.proper) << c.label;
        EXPECT_EQ(w(tail), c.tail) << c.label;
    }
    XrString proper(L"old"), tail(L"old");
    Impl::split_label(nullptr, proper, tail);
    EXPECT_EQ(w(proper), L"");
    EXPECT_EQ(w(tail), L"");
}

class FakeRouteProvider : public XrRouteProvider {
public:
    FakeRouteProvider() { XrSingleton::set_instance(XrString(L"XrRouteProvider"), static_cast<XrRouteProvider*>(this)); }
    ~FakeRouteProvider() override { XrSingleton::set_instance(XrString(L"XrRouteProvider"), nullptr); }
    XrGeomStorage* get_road_data() override { return roads; }
    XrAddrAccessor* get_addr_accessor() override { return addr; }
    XrGeomStorage* roads = nullptr;
    XrAddrAccessor* addr = nullptr;
};

class FakeMapView : public XrMapViewProvider {
public:
    FakeMapView() { XrSingleton::set_instance(XrString(L"XrMapViewProvider"), static_cast<XrMapViewProvider*>(this)); }
    ~FakeMapView() override { XrSingleton::set_instance(XrString(L"XrMapViewProvider"), nullptr); }
    double get_zoom_ratio() override { return ratio; }
    double ratio = 1.0;
};

// The fake map provider with an "sm" layer of settlement labels.
class MapWithLabels : public FakeMapProvider {
public:
    MapWithLabels()
    {
        sm = new XrGeomLayer(&map, nullptr, false);
        map.add_layer(sm, XrString(L"sm"));
        labels = new XrMemoryGeomStorage();
        sm->get_storage()->add_storage(labels);
    }
    XrLayer* get_sm_layer() override { return sm; }
    void label(int x, int y, const wchar_t* text) { ASSERT_TRUE(xr_add_text_record(labels, 1, {x, y}, 4, text)); }
    XrGeomLayer* sm;
    XrMemoryGeomStorage* labels;
};

class LocationDetails : public ::testing::Test {
protected:
    void SetUp() override
    {
        XrAddrFileOptions options;
        options.countries = {"Elbonia", "Freedonia"};
        XrAddrWriter writer(options);
        const std::uint32_t town = writer.add_county("Town#Region#Shire", 1);
        XrAddrSegmentDef main;
        main.gid = 0;
        main.left_from = 1;
        main.left_to = 9;
        main.right_from = 2;
        main.right_to = 10;
        XrAddrStreetDef high;
        high.name = "High Street";
        high.county = town;
        high.segments = {main};
        const int high_index = writer.add_street(high);
        XrAddrSegmentDef plain;
        plain.gid = 1;
        plain.numbers = false;
        XrAddrStreetDef lane;
        lane.name = "Quiet Lane";
        lane.county = town;
        lane.segments = {plain};
        const int lane_index = writer.add_street(lane);
        std::vector<BYTE> bytes;
        std::string error;
        ASSERT_TRUE(writer.build(bytes, error)) << error;
        BYTE* copy = new BYTE[bytes.size()];
        std::copy(bytes.begin(), bytes.end(), copy);
        addr = std::make_unique<XrAddrAccessor>();
        addr->set_storage(
            new XrMemoryStorageAccessor(true, copy, static_cast<std::uint32_t>(bytes.size()), true));
        ASSERT_EQ(addr->open(), XrAddrAccessor::OK);

        // Road records carry their street's key as id; gid = record order.
        auto road = [&](std::uint32_t key, const std::vector<XrPoint>& pts) {
            std::vector<BYTE> b = xr_test::polyline_record(static_cast<int>(key), pts, 3, 0);
            ASSERT_EQ(roads.add_record(XrGeomStorage::RecPolyline, b.data(), b.size()), XrGeomStorage::OK);
        };
        road(writer.get_street_position(high_index), {{0, 0}, {1000, 0}});
        road(writer.get_street_position(lane_index), {{1000, 0}, {1000, 1000}});
        road(0x70000000, {{5000, 5000}, {6000, 5000}}); // a road without an address
        route.roads = &roads;
        route.addr = addr.get();
    }

    XrMemoryGeomStorage roads;
    std::unique_ptr<XrAddrAccessor> addr;
    MapWithLabels maps;
    FakeRouteProvider route;
    FakeMapView view;
    Impl provider;
};

TEST_F(LocationDetails, StreetAddressBySideOfTheRoad)
{
    const struct {
        XrPoint point;
        const wchar_t* text;
    } cases[] = {
        {{500, 20}, L"High Street 5"},    // left of the edge
        {{500, -20}, L"High Street 6"},   // right of it
        {{500, 0}, L"High Street 5/6"},   // on it
        {{1020, 600}, L"Quiet Lane"},     // no numbers
    };
    for (const auto& c : cases) {
        XrLocationDetails d;
        ASSERT_TRUE(provider.get_details(c.point, d)) << c.point.x << "," << c.point.y;
        EXPECT_EQ(w(d.text), c.text);
        EXPECT_EQ(w(d.county_part1), L"Town");
        EXPECT_EQ(w(d.county_part2), L"Region");
        EXPECT_EQ(w(d.county_part3), L"Shire");
        EXPECT_EQ(w(d.country), L"Freedonia");
    }
    // The coordinate forms convert through the map's projection.
    XrLocationDetails d;
    ASSERT_TRUE(provider.get_details(XrCoordinate(XrPoint(500, 20), maps.get_projection()), d));
    EXPECT_EQ(w(d.text), L"High Street 5");
}

TEST_F(LocationDetails, StreetFoundWithoutAddressKeepsTheText)
{
    XrLocationDetails d;
    d.text = L"kept";
    EXPECT_TRUE(provider.get_details(XrPoint(5500, 5010), d));
    EXPECT_EQ(w(d.text), L"kept");
    EXPECT_EQ(w(d.country), L"");
}

TEST_F(LocationDetails, SearchRadiusFollowsTheZoomRatio)
{
    XrLocationDetails d;
    EXPECT_FALSE(provider.get_details(XrPoint(500, 700), d)); // beyond 2 x 100
    view.ratio = 10.0;
    EXPECT_TRUE(provider.get_details(XrPoint(500, 700), d));
}

TEST_F(LocationDetails, FallbacksInOpenCountry)
{
    const XrPoint far(50000, 50000);
    XrLocationDetails d;
    EXPECT_FALSE(provider.get_details(far, d));

    provider.get_details_or_coordinates(far, d);
    XrString lat, lon;
    XrCoordinate(far, maps.get_projection()).to_strings(lat, lon);
    EXPECT_EQ(w(d.text), w(lat) + L" " + w(lon));
    XrLocationDetails by_coordinate;
    provider.get_details_or_coordinates(XrCoordinate(far, maps.get_projection()), by_coordinate);
    EXPECT_EQ(w(by_coordinate.text), w(d.text));

    // No label near: the text stays empty.
    XrLocationDetails none;
    none.text = L"old";
    provider.get_details_or_nearest_label(far, none);
    EXPECT_EQ(w(none.text), L"");
}

TEST_F(LocationDetails, NearestLabel)
{
    const XrPoint p(50000, 50000);
    maps.label(p.x + 3000, p.y, L"Hill\tEast Shire*");
    maps.label(p.x + 1000, p.y + 1000, L"Dale\tWest Shire*");
    maps.label(p.x - 200, p.y, L"Town"); // the nearest, without a tab
    XrString text, second(L"old");
    provider.get_nearest_label(p, text, &second);
    EXPECT_EQ(w(text), L"Town");
    EXPECT_EQ(w(second), L"West Shire"); // from the nearer of the tabbed ones met first

    XrLocationDetails d;
    provider.get_details_or_nearest_label(p, d);
    EXPECT_EQ(w(d.text), L"Town");
    XrLocationDetails by_coordinate;
    provider.get_details_or_nearest_label(XrCoordinate(p, maps.get_projection()), by_coordinate);
    EXPECT_EQ(w(by_coordinate.text), L"Town");
}

TEST_F(LocationDetails, LabelInTheSquaresCornerGivesOnlyItsSecondText)
{
    const XrPoint p(50000, 50000);
    maps.label(p.x + 4500, p.y + 4000, L"Far\tNorth Shire*"); // 6020 away
    XrLocationDetails d;
    provider.get_details_or_nearest_label(p, d);
    EXPECT_EQ(w(d.text), L"");
    EXPECT_EQ(w(d.county_part1), L"North Shire");
    // A label with nothing after its tab.
    maps.label(p.x + 10, p.y, L"Edge\t");
    XrString text, second(L"old");
    provider.get_nearest_label(p, text, nullptr);
    EXPECT_EQ(w(text), L"Edge");
    provider.get_nearest_label(p, text, &second);
    EXPECT_EQ(w(second), L"");
}

TEST(LocationDetailsWithoutData, NothingRegistered)
{
    Impl provider;
    XrLocationDetails d;
    EXPECT_FALSE(provider.get_details(XrPoint(1, 1), d));
    XrString text(L"old");
    provider.get_nearest_label(XrPoint(1, 1), text, nullptr);
    EXPECT_EQ(w(text), L"");
    provider.get_details_or_nearest_label(XrPoint(1, 1), d);
    EXPECT_EQ(w(d.text), L"");
}

} // namespace
