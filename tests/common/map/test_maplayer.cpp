// The layer of placed objects: only visible objects drawn, taps to the right
// hot spot, ownership of objects and the map's list.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "common/geometry/xr_projection.h"
#include "common/map/xr_maplayer.h"
#include "common/map/xr_mapobject.h"
#include "common/map/xr_mapservices.h"
#include "map_test_support.h"
#include "tests/support/xr_temp_root.h"

using namespace xr_map_test;

namespace {

struct IdentityServices : XrMapEngineServices {
    XrNullProjection projection;
    int redraws = 0;
    const XrProjection* get_projection() override { return &projection; }
    void request_redraw() override { ++redraws; }
};

struct TapContext : XrMapObjectActionContext {
    std::vector<int> ids;
    bool run_action(int, int id, const XrCoordinate&) override
    {
        ids.push_back(id);
        return true;
    }
};

// Counts its destruction.
struct CountedDisc : XrMapPointObject {
    int* deleted;
    CountedDisc(const XrPoint& p, int* deleted) : XrMapPointObject(p, 3, 0, 0, 0), deleted(deleted) {}
    ~CountedDisc() override { ++*deleted; }
};

struct MapLayerTest : ::testing::Test {
    MapLayerTest() : view(&map)
    {
        set_map_engine_services(&services);
        set_up_view(view);
        dc = xr_recording_dc(800, 480);
        context->add_ref();
    }
    ~MapLayerTest() override
    {
        context->release();
        XrGDI::delete_dc(dc);
        set_map_engine_services(nullptr);
    }
    int ellipses_drawn(XrMapLayerBase& layer)
    {
        XrGdiRecording::instance().clear();
        layer.draw(dc, &view);
        return XrGdiRecording::instance().count("draw_ellipse");
    }

    XrTempRoot root;
    IdentityServices services;
    XrMap map;
    XrMapView view;
    XrDCHandleRec* dc;
    TapContext* context = new TapContext;
};

} // namespace

TEST_F(MapLayerTest, TenThousandDiscsDrawOnlyTheVisibleAndTapTheRightHotSpot)
{
    XrMapLayer layer(&map, XrString(L"discs"));
    // A 100 x 100 grid, 20 units apart, around the view (500 x 300 units).
    int visible = 0;
    std::vector<int> ids;
    for (int i = 0; i < 100; ++i) {
        for (int j = 0; j < 100; ++j) {
            const XrPoint p(99000 + 20 * i, 199000 + 20 * j);
            auto* disc = new XrMapPointObject(p, 3, 255, 0, 0);
            disc->add_hot_spot(XrCoordinate(p.x, p.y), 4, i * 100 + j, context);
            ids.push_back(layer.add_object(disc));
            int sx = 0, sy = 0;
            view.world_to_screen_2d(p.x, p.y, sx, sy);
            if (sx >= 0 && sx <= 800 && sy >= 0 && sy <= 480)
                ++visible;
        }
    }
    ASSERT_EQ(layer.get_object_count(), 10000);
    ASSERT_GT(visible, 100);
    ASSERT_LT(visible, 1000);
    EXPECT_EQ(ellipses_drawn(layer), visible);

    // The map draws its map layers too.
    XrGdiRecording::instance().clear();
    map.draw(dc, &view, 0, XrMap::UnbufferedLayers, -1, -1);
    EXPECT_EQ(XrGdiRecording::instance().count("draw_ellipse"), visible);

    // Grid point (100000, 200000) is i 50, j 50, at screen (400, 240); the
    // neighbours are 32 pixels away.
    EXPECT_TRUE(map.dispatch_map_layer_event(1, 402, 238, &view));
    EXPECT_EQ(context->ids, std::vector<int>{5050});
    // (100020, 200000) is i 51.
    EXPECT_TRUE(layer.dispatch_event(1, 432, 240, &view));
    EXPECT_EQ(context->ids.back(), 5150);
    // Between discs nothing takes the tap.
    EXPECT_FALSE(layer.dispatch_event(1, 416, 256, &view));
    EXPECT_EQ(context->ids.size(), 2u);
    EXPECT_EQ(layer.get_build_count(), 1);

    // Removing a visible disc takes it off the screen and out of the taps.
    ASSERT_TRUE(layer.remove_object(ids[5050]));
    EXPECT_FALSE(layer.remove_object(ids[5050]));
    EXPECT_EQ(layer.get_object(ids[5050]), nullptr);
    EXPECT_EQ(ellipses_drawn(layer), visible - 1);
    EXPECT_FALSE(layer.dispatch_event(1, 400, 240, &view));
}

TEST_F(MapLayerTest, ObjectsAddedAfterADrawAreDrawnNext)
{
    XrMapLayer layer(&map, XrString(L"late"));
    EXPECT_EQ(ellipses_drawn(layer), 0);
    EXPECT_FALSE(layer.dispatch_event(1, 400, 240, &view));
    layer.add_object(new XrMapPointObject(XrPoint(100000, 200000), 3, 0, 0, 0));
    EXPECT_EQ(ellipses_drawn(layer), 1);
    layer.add_object(new XrMapPointObject(XrPoint(100010, 200010), 3, 0, 0, 0));
    // Off the view.
    layer.add_object(new XrMapPointObject(XrPoint(500000, 200000), 3, 0, 0, 0));
    EXPECT_EQ(ellipses_drawn(layer), 2);
    EXPECT_EQ(layer.add_object(nullptr), 0);
}

TEST_F(MapLayerTest, ScaleBoundsLimitDrawingNotEvents)
{
    struct Case {
        int lowest, highest;
        unsigned scale;
        int drawn;
    };
    const Case cases[] = {
        {1000, 0, 999, 0}, {1000, 0, 1000, 1}, {0, 5000, 5001, 0}, {0, 5000, 5000, 1}, {0, 0, 999, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scale);
        XrMapLayer layer(&map, XrString(L"bounds"), c.lowest, c.highest);
        set_up_view(view, c.scale);
        auto* disc = new XrMapPointObject(XrPoint(100000, 200000), 3, 0, 0, 0);
        disc->add_screen_rect(XrRectangle(0, 0, 800, 480), 7, context);
        layer.add_object(disc);
        EXPECT_EQ(ellipses_drawn(layer), c.drawn);
        EXPECT_TRUE(layer.dispatch_event(1, 10, 10, &view));
    }
}

TEST_F(MapLayerTest, OwnershipOfObjectsAndTheMapsList)
{
    int deleted = 0;
    std::string index;
    {
        XrMapLayer layer(&map, XrString(L"owned"));
        EXPECT_EQ(map.get_map_layer_count(), 1);
        const int a = layer.add_object(new CountedDisc(XrPoint(100000, 200000), &deleted));
        layer.add_object(new CountedDisc(XrPoint(100010, 200000), &deleted));
        EXPECT_EQ(ellipses_drawn(layer), 2);
        EXPECT_TRUE(layer.remove_object(a));
        EXPECT_EQ(deleted, 1);
        EXPECT_EQ(ellipses_drawn(layer), 1);

        // Clearing deletes the objects and keeps one entry in the map's list.
        layer.clear();
        EXPECT_EQ(deleted, 2);
        EXPECT_EQ(layer.get_object_count(), 0);
        EXPECT_EQ(map.get_map_layer_count(), 1);
        EXPECT_EQ(ellipses_drawn(layer), 0);
        layer.add_object(new CountedDisc(XrPoint(100000, 200000), &deleted));
        XrGdiRecording::instance().clear();
        map.draw(dc, &view, 0, XrMap::UnbufferedLayers, -1, -1);
        EXPECT_EQ(XrGdiRecording::instance().count("draw_ellipse"), 1);
        index = layer.get_index_file();
        EXPECT_EQ(index.rfind(root.dir() + "/tmp/owned.", 0), 0u) << index;
        EXPECT_TRUE(std::filesystem::exists(index));
        EXPECT_TRUE(std::filesystem::exists(index + ".data"));
    }
    // The layer left the map's list, deleted its objects and its index.
    EXPECT_EQ(deleted, 3);
    EXPECT_EQ(map.get_map_layer_count(), 0);
    EXPECT_FALSE(std::filesystem::exists(index));
    EXPECT_FALSE(std::filesystem::exists(index + ".data"));
    XrGdiRecording::instance().clear();
    map.draw(dc, &view, 0, XrMap::UnbufferedLayers, -1, -1);
    EXPECT_FALSE(map.dispatch_map_layer_event(1, 400, 240, &view));

    std::unique_ptr<XrMapLayer> created(XrMapLayer::create(&map, XrString(L"made"), 0, 0));
    EXPECT_EQ(map.get_map_layer_count(), 1);
    XrMapLayer::request_redraw();
    EXPECT_EQ(services.redraws, 1);
}

TEST_F(MapLayerTest, LayerOutlivingItsMapDoesNotTouchIt)
{
    int deleted = 0;
    auto other = std::make_unique<XrMap>();
    auto layer = std::make_unique<XrMapLayer>(other.get(), XrString(L"orphan"));
    layer->add_object(new CountedDisc(XrPoint(100000, 200000), &deleted));
    EXPECT_EQ(other->get_map_layer_count(), 1);
    other.reset();
    // Under ASan a late remove_map_layer on the freed map would fail here.
    layer.reset();
    EXPECT_EQ(deleted, 1);
}

TEST_F(MapLayerTest, AnActionMayRemoveItsOwnObject)
{
    // Removes (or clears everything) from inside the tap, then declines so
    // that the object's next area is tried too.
    struct RemovingContext : XrMapObjectActionContext {
        XrMapLayer* layer = nullptr;
        int target = 0;
        bool clear_all = false;
        std::vector<int> ids;
        bool run_action(int, int id, const XrCoordinate&) override
        {
            ids.push_back(id);
            if (clear_all)
                layer->clear();
            else
                layer->remove_object(target);
            return false;
        }
    };
    for (bool clear_all : {false, true}) {
        SCOPED_TRACE(clear_all);
        int deleted = 0;
        XrMapLayer layer(&map, XrString(L"removing"));
        auto* removing = new RemovingContext;
        removing->add_ref();
        removing->layer = &layer;
        removing->clear_all = clear_all;
        auto* disc = new CountedDisc(XrPoint(100000, 200000), &deleted);
        disc->add_hot_spot(XrCoordinate(100000, 200000), 4, 1, removing);
        disc->add_screen_rect(XrRectangle(390, 230, 410, 250), 2, removing);
        removing->target = layer.add_object(disc);
        layer.add_object(new CountedDisc(XrPoint(100010, 200000), &deleted));

        EXPECT_FALSE(layer.dispatch_event(1, 400, 240, &view));
        // Both areas ran on the living object; it was deleted after the tap.
        EXPECT_EQ(removing->ids, (std::vector<int>{1, 2}));
        EXPECT_EQ(deleted, clear_all ? 2 : 1);
        EXPECT_EQ(layer.get_object(removing->target), nullptr);
        EXPECT_EQ(ellipses_drawn(layer), clear_all ? 0 : 1);
        removing->release();
    }
}

TEST_F(MapLayerTest, LayersOfOneNameKeepTheirOwnIndex)
{
    // Names come from add-ons: two alike, and one that is no file name.
    XrMapLayer first(&map, XrString(L"pins"));
    XrMapLayer second(&map, XrString(L"pins"));
    XrMapLayer dots(&map, XrString(L".."));
    // The first layer's second object lies off the view; all of the
    // second layer's are in it.
    first.add_object(new XrMapPointObject(XrPoint(100000, 200000), 3, 0, 0, 0));
    first.add_object(new XrMapPointObject(XrPoint(500000, 200000), 3, 0, 0, 0));
    for (int i = 0; i < 3; ++i)
        second.add_object(new XrMapPointObject(XrPoint(100000 + 10 * i, 200000), 3, 0, 0, 0));
    dots.add_object(new XrMapPointObject(XrPoint(100000, 200000), 3, 0, 0, 0));
    EXPECT_EQ(ellipses_drawn(first), 1);
    EXPECT_EQ(ellipses_drawn(second), 3);
    EXPECT_EQ(ellipses_drawn(first), 1);
    EXPECT_EQ(ellipses_drawn(dots), 1);
    EXPECT_NE(first.get_index_file(), second.get_index_file());
    EXPECT_TRUE(std::filesystem::is_regular_file(dots.get_index_file()));
    {
        XrMapLayer gone(&map, XrString(L"pins"));
        gone.add_object(new XrMapPointObject(XrPoint(100000, 200000), 3, 0, 0, 0));
        EXPECT_EQ(ellipses_drawn(gone), 1);
    }
    // The others' files outlive a third layer of the name.
    EXPECT_EQ(ellipses_drawn(first), 1);
    EXPECT_EQ(ellipses_drawn(second), 3);
}
