#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "common/corvanel_core/impl/xr_appsettingsproviderimpl.h"
#include "common/corvanel_core/impl/xr_favouritesproviderimpl.h"
#include "common/corvanel_core/impl/xr_mapsettingsproviderimpl.h"
#include "common/corvanel_core/impl/xr_parkingproviderimpl.h"
#include "common/corvanel_core/impl/xr_roadblocksproviderimpl.h"
#include "common/corvanel_core/impl/xr_mapviewproviderimpl.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_locationdetailsprovider.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/geometry/xr_polygon.h"
#include "common/map/xr_mapview.h"
#include "map_doubles.h"
#include "provider_files.h"

namespace {

// A "poi" layer that picks every record inside the area's box.
class PickingLayer : public XrGeomLayer {
public:
    explicit PickingLayer(XrMap* map) : XrGeomLayer(map, nullptr, false) {}
    bool pick(const XrPolygon& area, XrMapView* /*view*/, XrMapItems* items) override
    {
        std::unique_ptr<XrGeomCursor> cursor(get_storage()->get_cursor(area.get_bounding_box(), 0));
        const BYTE* data = nullptr;
        XrGeomStorage::XrRecordType kind;
        while (cursor && cursor->get_next_record(data, kind) == XrGeomCursor::OK)
            items->add_item(new XrLayerMapItem(this, cursor->get_current_map_item()), true);
        return true;
    }
};

struct Host : XrMapViewHost {
    void redraw_map(bool immediate) override { redraws.push_back(immediate); }
    void suspend_auto_follow(int a, int b) override { suspended.push_back(a + b); }
    void set_map_scale(const XrPoint& centre, int scale) override
    {
        scaled_at = centre;
        scaled_to = scale;
    }
    std::vector<bool> redraws;
    std::vector<int> suspended;
    XrPoint scaled_at;
    int scaled_to = 0;
};

// The overlay layer's pin.
struct Overlay : XrLayer, XrMapOverlayLayer {
    XrLayer* as_layer() override { return this; }
    void load_images() override {}
    void set_pin(const XrPoint& point, const XrString& label) override
    {
        pin = point;
        pin_label = label;
    }
    void clear_pin() override {}
    XrPoint pin;
    XrString pin_label;
};

// Details of every place: a street, its town and its country.
struct Details : XrLocationDetailsProvider {
    Details() { XrSingleton::set_instance(XrString(L"XrLocationDetailsProvider"), static_cast<XrLocationDetailsProvider*>(this)); }
    ~Details() override { XrSingleton::set_instance(XrString(L"XrLocationDetailsProvider"), nullptr); }
    bool get_details(const XrPoint&, XrLocationDetails&) override { return false; }
    bool get_details(const XrCoordinate&, XrLocationDetails&) override { return false; }
    void get_details_or_coordinates(const XrCoordinate&, XrLocationDetails& out) override
    {
        out.text = L"High Street 5";
        out.county_part1 = L"Town";
        out.county_part3 = L"Shire"; // not shown
        out.country = country;
    }
    void get_details_or_coordinates(const XrPoint&, XrLocationDetails&) override {}
    void get_details_or_nearest_label(const XrCoordinate&, XrLocationDetails&) override {}
    void get_details_or_nearest_label(const XrPoint&, XrLocationDetails&) override {}
    void get_nearest_label(const XrPoint&, XrString&, XrString*) override {}
    XrString country;
};

struct Listener : XrMapViewListener {
    void mappoint_hilighted(XrMapPoint* p) override { types.push_back(p != nullptr ? p->get_type() : -1); }
    void hilight_cleared() override { ++cleared; }
    std::vector<int> types;
    int cleared = 0;
};

class MapView : public ::testing::Test {
protected:
    void SetUp() override
    {
        delete maps.map.remove_layer(XrString(L"poi"));
        poi = new PickingLayer(&maps.map);
        maps.map.add_layer(poi, XrString(L"poi"));
        maps.poi = poi;
        records = new XrMemoryGeomStorage();
        poi->get_storage()->add_storage(records, 0);
        view.set_screen_size(XrSize(800, 480));
        const XrPoint centre(100000, 100000);
        ASSERT_TRUE(view.set_center_and_scale(&centre, 10000, true));
        maps.overlay = &overlay;
        maps.open(); // attaches the view to the map
        provider.add_listener(&listener);
    }

    // A record whose point shows at about the screen position; returns its
    // exact screen position.
    XrPoint add_at_screen(int sx, int sy, int type, int id, const wchar_t* text = L"")
    {
        int x = 0, y = 0;
        view.screen_to_world_2d(sx, sy, x, y);
        EXPECT_TRUE(xr_add_text_record(records, id, XrPoint(x, y), type, text));
        XrPoint s;
        view.world_to_screen_2d(x, y, s.x, s.y);
        return s;
    }

    Overlay overlay;
    FakeMapProvider maps;
    PickingLayer* poi = nullptr;
    XrMemoryGeomStorage* records = nullptr;
    XrMapView view;
    Host host;
    Listener listener;
    XrMapViewProviderImpl provider{&host, &view};
};

TEST_F(MapView, StartValuesAndPresets)
{
    EXPECT_DOUBLE_EQ(provider.get_scale_factor(), 2.0);
    EXPECT_EQ(provider.get_perspective(), 2);
    EXPECT_DOUBLE_EQ(provider.get_zoom_ratio(), 1.0);
    provider.set_perspective(6);
    provider.set_perspective(-1);
    EXPECT_EQ(provider.get_perspective(), 2);
    provider.set_perspective(0);
    EXPECT_EQ(provider.get_perspective(), 0);
    EXPECT_DOUBLE_EQ(view.get_factor_3d(), 2.13);
    EXPECT_EQ(view.get_eye_distance(), 1000);
    provider.set_perspective(5);
    EXPECT_DOUBLE_EQ(view.get_factor_3d(), 1.0);
    EXPECT_EQ(view.get_eye_distance(), 1500);
}

TEST_F(MapView, HitTestTakesTheTopmostRowNotTheNearest)
{
    const XrPoint a = add_at_screen(100, 50, 94, 1, L"Home");
    const XrPoint b = add_at_screen(10, 60, 94, 2, L"Work");
    ASSERT_LT(a.y, b.y);
    // A box that holds both; b is nearer to its centre.
    std::unique_ptr<XrMapPoint> hit(provider.get_mappoint_by_screen_coordinate(XrPoint(20, 60), 100));
    ASSERT_TRUE(hit);
    ASSERT_EQ(hit->get_type(), XrMapPoint::TypeFavourite);
    EXPECT_EQ(static_cast<XrFavourite&>(*hit).get_id(), 1);

    // Box 0: only the exact pixel.
    hit.reset(provider.get_mappoint_by_screen_coordinate(b, 0));
    ASSERT_TRUE(hit);
    EXPECT_EQ(static_cast<XrFavourite&>(*hit).get_id(), 2);
    hit.reset(provider.get_mappoint_by_screen_coordinate(XrPoint(b.x + 1, b.y), 0));
    EXPECT_FALSE(hit);
    // Nothing in an empty corner.
    EXPECT_EQ(provider.get_mappoint_by_screen_coordinate(XrPoint(700, 400), 5), nullptr);
}

TEST_F(MapView, MapPointsByRecordType)
{
    add_at_screen(100, 100, 93, 4);
    add_at_screen(200, 100, 94, 7, L"Home");
    add_at_screen(300, 100, 100, 9);
    add_at_screen(400, 100, 69, 0);
    add_at_screen(500, 100, 12, 33, L"<b>Cafe\t0123\twww.cafe.example");
    add_at_screen(600, 100, 13, 34, L"no fields");
    const struct {
        int sx;
        int type;
        int id;
    } cases[] = {
        {100, XrMapPoint::TypeRoadblock, 4},       {200, XrMapPoint::TypeFavourite, 7},
        {300, XrMapPoint::TypeLocationMessage, 9}, {400, XrMapPoint::TypeCarPark, -1},
        {500, XrMapPoint::TypePoi, 33},            {600, XrMapPoint::TypePoi, 34},
    };
    for (const auto& c : cases) {
        std::unique_ptr<XrMapPoint> p(provider.get_mappoint_by_screen_coordinate(XrPoint(c.sx, 100), 2));
        ASSERT_TRUE(p) << c.sx;
        EXPECT_EQ(p->get_type(), c.type) << c.sx;
        int id = -1;
        if (c.type == XrMapPoint::TypeRoadblock)
            id = static_cast<XrRoadblock&>(*p).get_id();
        else if (c.type == XrMapPoint::TypeFavourite)
            id = static_cast<XrFavourite&>(*p).get_id();
        else if (c.type == XrMapPoint::TypeLocationMessage)
            id = static_cast<XrLocationMessage&>(*p).get_id();
        else if (c.type == XrMapPoint::TypePoi)
            id = static_cast<XrPoi&>(*p).get_id();
        EXPECT_EQ(id, c.id) << c.sx;
    }
    std::unique_ptr<XrMapPoint> fav(provider.get_mappoint_by_screen_coordinate(XrPoint(200, 100), 2));
    EXPECT_EQ(std::wstring(static_cast<XrFavourite&>(*fav).get_name().c_str()), L"Home");
    EXPECT_EQ(static_cast<XrFavourite&>(*fav).get_speed_dial(), -1);
    std::unique_ptr<XrMapPoint> cafe(provider.get_mappoint_by_screen_coordinate(XrPoint(500, 100), 2));
    auto& poi_point = static_cast<XrPoi&>(*cafe);
    EXPECT_EQ(std::wstring(poi_point.get_name().c_str()), L"Cafe");
    EXPECT_EQ(std::wstring(poi_point.get_phone_number().c_str()), L"0123");
    EXPECT_EQ(std::wstring(poi_point.get_url().c_str()), L"www.cafe.example");
    EXPECT_EQ(poi_point.get_class_id(), 12);
    EXPECT_EQ(poi_point.get_storage(), poi->get_storage());
    std::unique_ptr<XrMapPoint> bare(provider.get_mappoint_by_screen_coordinate(XrPoint(600, 100), 2));
    EXPECT_TRUE(static_cast<XrPoi&>(*bare).get_name().is_empty());
}

TEST_F(MapView, StepsThroughTheVisibleItemsInDisplayOrder)
{
    add_at_screen(300, 200, 94, 3);
    add_at_screen(100, 50, 94, 1);
    add_at_screen(50, 100, 94, 2);
    add_at_screen(900, 100, 94, 9); // off screen
    auto id = [&] { return static_cast<XrFavourite*>(provider.get_hilighted_point())->get_id(); };

    provider.hilight_previous(); // from none: the last
    EXPECT_EQ(id(), 3);
    provider.clear_hilight();
    EXPECT_EQ(provider.get_hilighted_point(), nullptr);
    EXPECT_EQ(listener.cleared, 1);

    std::vector<int> order;
    for (int i = 0; i < 4; ++i) {
        provider.hilight_next();
        order.push_back(id());
    }
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 1}));
    EXPECT_EQ(provider.get_visible_count(), 3);
    provider.hilight_previous();
    EXPECT_EQ(id(), 3); // wrapped below 0
    provider.hilight_previous();
    EXPECT_EQ(id(), 2);
    EXPECT_EQ(listener.types.size(), 7u);
    EXPECT_EQ(maps.map.get_picked_items().get_count(), 1);
    EXPECT_FALSE(host.redraws.empty());
    EXPECT_FALSE(host.redraws.back()); // a queued redraw
    EXPECT_EQ(host.suspended.back(), 2 * XrMapViewProviderImpl::FOLLOW_PAUSE_MS);
}

TEST_F(MapView, HighlightFindsTheMatchingItem)
{
    add_at_screen(100, 100, 94, 5, L"Home");
    add_at_screen(200, 100, 93, 5);
    add_at_screen(300, 100, 69, 0);
    XrRoadblock block;
    block.set_id(5);
    provider.hilight(block);
    ASSERT_NE(provider.get_hilighted_point(), nullptr);
    EXPECT_EQ(provider.get_hilighted_point()->get_type(), XrMapPoint::TypeRoadblock);
    EXPECT_EQ(provider.get_hilight_index(), 1);
    provider.hilight(XrFavourite(5));
    EXPECT_EQ(provider.get_hilighted_point()->get_type(), XrMapPoint::TypeFavourite);
    EXPECT_EQ(provider.get_hilight_index(), 0);
    provider.hilight(XrCarParkMapPoint());
    EXPECT_EQ(provider.get_hilight_index(), 2);
    // Not on screen: nothing highlighted.
    provider.hilight(XrFavourite(77));
    EXPECT_EQ(provider.get_hilighted_point(), nullptr);
    EXPECT_EQ(provider.get_hilight_index(), -1);
}

TEST_F(MapView, HighlightOfAPlainCoordinatePlacesThePin)
{
    int x = 0, y = 0;
    view.screen_to_world_2d(400, 300, x, y);
    const XrCoordinate c(XrPoint(x, y), maps.get_projection());
    provider.hilight(XrCoordinateMapPoint(c));
    ASSERT_NE(provider.get_hilighted_point(), nullptr);
    EXPECT_EQ(provider.get_hilighted_point()->get_type(), XrMapPoint::TypeCoordinate);
    EXPECT_EQ(overlay.pin, c.to_point(maps.get_projection()));
    EXPECT_TRUE(overlay.pin_label.is_empty()); // no details provider
    {
        Details details;
        const struct {
            const wchar_t* country;
            const wchar_t* label;
        } cases[] = {{L"Freedonia", L"High Street 5\nTown\nFreedonia"}, {L"", L"High Street 5\nTown"}};
        for (const auto& k : cases) {
            details.country = k.country;
            provider.hilight(XrCoordinateMapPoint(c));
            EXPECT_EQ(std::wstring(overlay.pin_label.c_str()), k.label);
        }
    }
    // A favourite on that very pixel is highlighted instead.
    ASSERT_TRUE(xr_add_text_record(records, 8, XrPoint(x, y), 94, L""));
    provider.favourites_changed(); // the items are collected again
    const size_t told = listener.types.size();
    provider.hilight(XrCoordinateMapPoint(c));
    ASSERT_NE(provider.get_hilighted_point(), nullptr);
    EXPECT_EQ(provider.get_hilighted_point()->get_type(), XrMapPoint::TypeFavourite);
    EXPECT_EQ(listener.types.size(), told + 1);
    EXPECT_TRUE(overlay.pin_label.is_empty());
}

TEST_F(MapView, ChangedItemsAreCollectedAgain)
{
    add_at_screen(100, 100, 94, 1);
    provider.hilight_next();
    EXPECT_EQ(provider.get_visible_count(), 1);
    add_at_screen(200, 100, 93, 2);
    add_at_screen(300, 100, 69, 0);
    provider.hilight_next(); // same view, no news: the list stands
    EXPECT_EQ(provider.get_visible_count(), 1);
    const struct {
        void (XrMapViewProviderImpl::*notify)();
        bool redraw_now;
    } notices[] = {
        {&XrMapViewProviderImpl::roadblocks_changed, true},
        {&XrMapViewProviderImpl::parking_changed, true},
        {&XrMapViewProviderImpl::favourites_changed, true},
        {&XrMapViewProviderImpl::map_settings_changed, true},
        {&XrMapViewProviderImpl::settings_changed, true},
        {&XrMapViewProviderImpl::poi_settings_changed, true},
    };
    for (const auto& n : notices) {
        host.redraws.clear();
        (provider.*n.notify)();
        ASSERT_EQ(host.redraws.size(), 1u);
        EXPECT_EQ(host.redraws[0], n.redraw_now);
    }
    provider.hilight_next();
    EXPECT_EQ(provider.get_visible_count(), 3);
    // The highlighted item is recognised in the new list.
    EXPECT_EQ(provider.get_hilight_index(), 1);
}

TEST_F(MapView, CursorAndDetailView)
{
    EXPECT_FALSE(provider.is_cursor_visible());
    provider.set_cursor_visible(true);
    const XrCoordinate c(11.5, 48.2);
    provider.set_cursor_coordinate(c);
    EXPECT_EQ(provider.get_cursor_coordinate(), c);
    EXPECT_EQ(host.suspended.back(), 2 * XrMapViewProviderImpl::FOLLOW_PAUSE_MS);
    provider.set_cursor_visible(false);
    EXPECT_FALSE(provider.get_cursor_coordinate().is_valid());

    view.set_rotation(45);
    provider.show_point(XrPoint(5, 6));
    EXPECT_EQ(view.get_rotation(), 0);
    EXPECT_EQ(host.scaled_at, XrPoint(5, 6));
    EXPECT_EQ(host.scaled_to, XrMapViewProviderImpl::DETAIL_SCALE);
}

TEST_F(MapView, ClosingTheMapForgetsTheView)
{
    add_at_screen(100, 100, 94, 1);
    provider.hilight_next();
    provider.set_cursor_visible(true);
    provider.set_perspective(4);
    ASSERT_EQ(maps.map.get_picked_items().get_count(), 1);
    maps.close();
    EXPECT_EQ(maps.map.get_picked_items().get_count(), 0); // it pointed into the visible items
    EXPECT_EQ(provider.get_hilighted_point(), nullptr);
    EXPECT_EQ(provider.get_visible_count(), 0);
    EXPECT_EQ(provider.get_perspective(), 2);
    EXPECT_FALSE(provider.is_cursor_visible());
    EXPECT_EQ(view.get_map(), nullptr);
    EXPECT_FALSE(provider.is_3d());
}

// The saved view is applied when a map opens; the view mode is stored.
TEST_F(MapView, SavedViewOnOpening)
{
    ProviderFiles files;
    XrMapSettingsProviderImpl settings;
    XrSingleton::set_instance(XrString(L"XrMapSettingsProvider"), static_cast<XrMapSettingsProvider*>(&settings));
    const XrPoint centre(120000, 110000);
    const XrCoordinate c(centre, maps.get_projection());
    const struct {
        int mode;
        std::uint32_t scale;
        int rotation;
        bool is_3d;
    } cases[] = {{0, 20000, 0, false}, {1, XrMapViewProviderImpl::DETAIL_SCALE, 30, true}};
    for (const auto& k : cases) {
        maps.close();
        settings.set_default_view(c, 20000, 4, 30, k.mode);
        ASSERT_TRUE(settings.save(true));
        maps.open();
        EXPECT_EQ(view.get_map(), &maps.map);
        EXPECT_EQ(provider.get_perspective(), 4);
        EXPECT_EQ(view.get_scale_value(), k.scale) << k.mode;
        EXPECT_EQ(view.get_rotation(), k.rotation) << k.mode;
        EXPECT_EQ(provider.is_3d(), k.is_3d) << k.mode;
        // The centre as the settings file keeps it.
        XrCoordinate kept;
        int scale = 0, preset = 0, rotation = 0, mode = 0;
        settings.get_default_view(kept, scale, preset, rotation, mode);
        const XrPoint expected = kept.to_point(maps.get_projection());
        EXPECT_LE(std::abs(view.get_centre().x - expected.x), 1) << k.mode;
        EXPECT_LE(std::abs(view.get_centre().y - expected.y), 1) << k.mode;
    }
    provider.set_view_mode(0);
    EXPECT_FALSE(provider.is_3d());
    XrCoordinate stored;
    int scale = 0, preset = 0, rotation = 0, mode = -1;
    settings.get_default_view(stored, scale, preset, rotation, mode);
    EXPECT_EQ(mode, 0);
    maps.close();
    XrSingleton::set_instance(XrString(L"XrMapSettingsProvider"), nullptr);
}

TEST_F(MapView, AGoneProviderLeavesTheMapNoHighlightedItem)
{
    add_at_screen(100, 100, 94, 1);
    {
        XrMapViewProviderImpl other(&host, &view);
        other.hilight_next();
        ASSERT_EQ(maps.map.get_picked_items().get_count(), 1);
    }
    EXPECT_EQ(maps.map.get_picked_items().get_count(), 0);
}

TEST_F(MapView, InitializeListensToTheProvidersUntilGone)
{
    ProviderFiles files;
    XrAppSettingsProviderImpl app;
    XrMapSettingsProviderImpl map_settings;
    XrFavouritesProviderImpl favourites(nullptr);
    XrParkingProviderImpl parking(nullptr);
    XrRoadblocksProviderImpl roadblocks;
    const struct {
        const wchar_t* name;
        void* provider;
        XrObservableBase* observable;
    } providers[] = {
        {L"XrAppSettingsProvider", static_cast<XrAppSettingsProvider*>(&app), &app},
        {L"XrMapSettingsProvider", static_cast<XrMapSettingsProvider*>(&map_settings), &map_settings},
        {L"XrFavouritesProvider", static_cast<XrFavouritesProvider*>(&favourites), &favourites},
        {L"XrParkingProvider", static_cast<XrParkingProvider*>(&parking), &parking},
        {L"XrRoadblocksProvider", static_cast<XrRoadblocksProvider*>(&roadblocks), &roadblocks},
    };
    for (const auto& p : providers)
        XrSingleton::set_instance(XrString(p.name), p.provider);
    {
        XrMapViewProviderImpl other(&host, &view);
        other.initialize();
        EXPECT_EQ(view.get_min_scale(), 2500u);
        EXPECT_EQ(view.get_max_scale(), 100000000u);
        EXPECT_EQ(view.get_reference_units(), 50);
        EXPECT_EQ(view.get_reference_pixels(), 800);
        for (const auto& p : providers)
            EXPECT_EQ(p.observable->get_listener_count(), 1) << p.name;
        // A change of the settings redraws the map at once.
        host.redraws.clear();
        ASSERT_TRUE(app.save(false));
        EXPECT_EQ(host.redraws, std::vector<bool>{true});
    }
    for (const auto& p : providers) {
        EXPECT_EQ(p.observable->get_listener_count(), 0) << p.name;
        XrSingleton::set_instance(XrString(p.name), nullptr);
    }
}

TEST(MapViewMoveAhead, QuarterScreenAlongTheHeadingInTheFlatView)
{
    XrMapView view;
    view.set_screen_size(XrSize(800, 480));
    const XrPoint centre(0, 0);
    ASSERT_TRUE(view.set_center_and_scale(&centre, 10000, true));
    const int quarter = view.pixels_to_world(120);
    EXPECT_EQ(xr_move_point_ahead(view, XrPoint(10, 10)), XrPoint(10, 10 + quarter)); // rotation 0: +90 degrees
    view.set_rotation(90);
    const XrPoint moved = xr_move_point_ahead(view, XrPoint(10, 10));
    EXPECT_NEAR(moved.x, 10 - quarter, 1);
    EXPECT_NEAR(moved.y, 10, 1);
    ASSERT_TRUE(view.set_center_and_scale(nullptr, 250000, true));
    EXPECT_EQ(xr_move_point_ahead(view, XrPoint(10, 10)), XrPoint(10, 10));
}

} // namespace
