// The map: named layers in draw order, the passes, scale ranges, picking,
// picked items and draw listeners.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/gdi/recording/xr_gdi_recording.h"
#include "common/geometry/xr_polygon.h"
#include "common/map/xr_map.h"
#include "common/map/xr_maplayer.h"
#include "common/map/xr_mapview.h"
#include "common/visualization/xr_visualsetting.h"

namespace {

std::vector<std::string> g_events;

// Logs every call as "<name>:<operation>".
class FakeLayer : public XrLayer {
public:
    FakeLayer(const char* name, bool buffered = false, bool pick_result = true, int pre_result = 0)
        : name(name), pick_result(pick_result), pre_result(pre_result)
    {
        double_bufferable = buffered;
    }
    ~FakeLayer() override { g_events.push_back(name + ":deleted"); }

    bool pick(const XrPolygon&, XrMapView*, XrMapItems* items) override
    {
        g_events.push_back(name + ":pick");
        items->add_item(new XrLayerMapItem(this, nullptr), true);
        return pick_result;
    }
    int draw_picked_item(XrDCHandleRec*, XrMapView*, const XrMapItem* item) override
    {
        g_events.push_back(name + ":picked" + std::to_string(reinterpret_cast<std::uintptr_t>(item) % 1000 != 0));
        last_picked = item;
        return 0;
    }
    int pre_draw(XrDCHandleRec*, XrMapView*) override
    {
        g_events.push_back(name + ":pre");
        return pre_result;
    }
    bool draw(XrDCHandleRec*, XrMapView*) override
    {
        g_events.push_back(name + ":draw");
        return true;
    }
    int post_draw(XrDCHandleRec*, XrMapView*) override
    {
        g_events.push_back(name + ":post");
        return 0;
    }
    bool draw_3d(XrDCHandleRec*, XrMapView*) override
    {
        g_events.push_back(name + ":draw3d");
        return true;
    }

    std::string name;
    bool pick_result;
    int pre_result;
    const XrMapItem* last_picked = nullptr;
};

class FakeMapLayer : public XrMapLayerBase {
public:
    explicit FakeMapLayer(bool takes) : takes(takes) {}
    void draw(XrDCHandleRec*, XrMapView*) override { g_events.push_back("maplayer:draw"); }
    bool handle_event(int, int, int, XrMapView*) override
    {
        g_events.push_back("maplayer:event");
        return takes;
    }
    bool takes;
};

class Listener : public XrMapDrawListener {
public:
    void on_map_draw(XrDCHandleRec*, XrMapView*) override { ++calls; }
    int calls = 0;
};

struct MapFixture : ::testing::Test {
    MapFixture() : view(&map)
    {
        g_events.clear();
        view.set_screen_size(XrSize(800, 480));
        view.set_visible_rect(XrRectangle(0, 0, 800, 480));
        view.set_default_scale_reference();
        const XrPoint centre(1000, 1000);
        view.set_center_and_scale(&centre, 5000, true);
        dc = xr_recording_dc(800, 480);
        XrGdiRecording::instance().clear();
    }
    ~MapFixture() override
    {
        XrGDI::delete_dc(dc);
        map.get_picked_items().clear();
    }

    FakeLayer* add(const char* name, bool buffered = false, bool pick_result = true, int pre_result = 0)
    {
        auto* layer = new FakeLayer(name, buffered, pick_result, pre_result);
        EXPECT_TRUE(map.add_layer(layer, XrString(name)));
        return layer;
    }
    std::string events() const
    {
        std::string s;
        for (const std::string& e : g_events)
            s += (s.empty() ? "" : " ") + e;
        return s;
    }

    XrMap map;
    XrMapView view;
    XrDCHandleRec* dc;
};

TEST_F(MapFixture, LayersByNameAndPosition)
{
    FakeLayer* a = add("a");
    add("c");
    const int one = 1;
    EXPECT_TRUE(map.add_layer(new FakeLayer("b"), XrString(L"b"), &one));
    const int far = 99;
    EXPECT_TRUE(map.add_layer(new FakeLayer("d"), XrString(L"d"), &far));
    ASSERT_EQ(map.get_layer_count(), 4);
    EXPECT_EQ(map.get_layer_info_at(1)->name, XrString(L"b"));
    EXPECT_EQ(map.get_layer_info_at(3)->name, XrString(L"d"));
    EXPECT_EQ(map.get_layer_index(XrString(L"c")), 2);
    EXPECT_EQ(map.get_layer(XrString(L"a")), a);
    EXPECT_EQ(*map.get_layer_name(a), XrString(L"a"));
    EXPECT_EQ(map.get_layer(XrString(L"A")), nullptr); // case-sensitive
    EXPECT_EQ(map.get_layer_index(XrString(L"zz")), -1);
    EXPECT_EQ(map.get_layer_info(XrString(L"zz")), nullptr);

    // A second layer of a name in use is refused and stays the caller's.
    FakeLayer dup("dup");
    EXPECT_FALSE(map.add_layer(&dup, XrString(L"a")));
    EXPECT_EQ(map.get_layer_count(), 4);

    XrLayer* removed = map.remove_layer(XrString(L"b"));
    EXPECT_EQ(map.get_layer_info_at(1)->name, XrString(L"c"));
    EXPECT_EQ(map.remove_layer(XrString(L"b")), nullptr);
    delete removed;
    EXPECT_EQ(events(), "b:deleted");
}

TEST_F(MapFixture, PassesSelectLayersAndPaintBackgroundOnce)
{
    add("buffered", true);
    add("live", false);
    map.draw(dc, &view, 0, XrMap::BufferedLayers, -1, -1);
    EXPECT_EQ(events(), "buffered:pre buffered:draw buffered:post");
    g_events.clear();
    map.draw(dc, &view, 0, XrMap::UnbufferedLayers, -1, -1);
    EXPECT_EQ(events(), "live:pre live:draw live:post");
    g_events.clear();
    map.set_3d(true);
    map.draw(dc, &view, 0, XrMap::AllLayers, -1, -1);
    EXPECT_EQ(events(), "buffered:pre live:pre buffered:draw3d live:draw3d buffered:post live:post");
}

TEST_F(MapFixture, FirstAndEndBoundOnlyTheMainPass)
{
    add("a");
    add("b");
    add("c");
    map.draw(dc, &view, 0, XrMap::AllLayers, 3, 2);
    EXPECT_EQ(events(), "a:pre b:pre c:pre a:post b:post c:post");
    g_events.clear();
    map.draw(dc, &view, 0, XrMap::AllLayers, 1, 99);
    EXPECT_EQ(events(), "a:pre b:pre c:pre b:draw c:draw a:post b:post c:post");
}

TEST_F(MapFixture, ScaleRangeAndVisibility)
{
    add("a");
    XrMap::XrLayerInfo* info = map.get_layer_info(XrString(L"a"));
    struct {
        unsigned low, high, scale;
        bool drawn;
    } cases[] = {{5000, 0, 5000, true}, {5000, 0, 4999, false}, {0, 5000, 5000, true},
                 {0, 5000, 5001, false}, {0, 0, 1, true},       {100, 200, 150, true}};
    for (const auto& c : cases) {
        info->lowest_scale = c.low;
        info->highest_scale = c.high;
        const XrPoint centre(1000, 1000);
        view.set_center_and_scale(&centre, c.scale, true);
        ASSERT_EQ(view.get_scale_value(), c.scale);
        g_events.clear();
        map.draw(dc, &view, 0, XrMap::AllLayers, -1, -1);
        EXPECT_EQ(events() == "a:pre a:draw a:post", c.drawn) << c.low << " " << c.high << " " << c.scale;
    }
    info->lowest_scale = info->highest_scale = 0;
    info->visible = false;
    g_events.clear();
    map.draw(dc, &view, 0, XrMap::AllLayers, -1, -1);
    EXPECT_EQ(events(), "");
}

TEST_F(MapFixture, BackgroundUnlessALayerPaintedIt)
{
    XrVisualSetting background;
    map.set_background(&background);
    // No layers: passes 0 and 1 paint the background, pass 2 does not.
    for (int pass : {0, 1, 2}) {
        XrGdiRecording::instance().clear();
        map.draw(dc, &view, 0, pass, -1, -1);
        const auto rects = XrGdiRecording::instance().find("draw_rectangle");
        ASSERT_EQ(rects.size(), pass == 2 ? 0u : 1u) << pass;
        if (!rects.empty()) {
            EXPECT_EQ(rects[0]->args, (std::vector<long long>{-1, -1, 801, 481}));
        }
    }
    // Nor when drawing starts past the first layer.
    XrGdiRecording::instance().clear();
    map.draw(dc, &view, 0, 0, 1, -1);
    EXPECT_EQ(XrGdiRecording::instance().count("draw_rectangle"), 0);
    // A layer that painted it itself.
    add("sky", false, true, 1);
    XrGdiRecording::instance().clear();
    map.draw(dc, &view, 0, 0, -1, -1);
    EXPECT_EQ(XrGdiRecording::instance().count("draw_rectangle"), 0);
    map.set_background(nullptr);
}

TEST_F(MapFixture, PickAsksPickableLayersInOrder)
{
    XrPolygon area;
    area.add_point(XrPoint(0, 0));
    EXPECT_TRUE(map.pick(area, &view, nullptr)); // no layers
    add("a");
    add("hidden")->pick_result = true;
    map.get_layer_info(XrString(L"hidden"))->visible = false;
    add("unpickable");
    map.get_layer_info(XrString(L"unpickable"))->pickable = false;
    add("stop", false, false);
    add("behind");
    XrMapItems items;
    EXPECT_FALSE(map.pick(area, &view, &items));
    EXPECT_EQ(events(), "a:pick hidden:pick stop:pick");
    EXPECT_EQ(items.get_count(), 3);
    EXPECT_EQ(map.get_picked_items().get_count(), 0);
}

TEST_F(MapFixture, PickedItemsDrawnOnceForThePoiLayer)
{
    FakeLayer* poi = add("poi");
    FakeLayer* other = add("other");
    XrMapItems& picked = map.get_picked_items();
    auto* p1 = new XrLayerMapItem(poi, nullptr);
    auto* p2 = new XrLayerMapItem(poi, nullptr);
    auto* o1 = new XrLayerMapItem(other, nullptr);
    auto* o2 = new XrLayerMapItem(other, nullptr);
    picked.add_item(p1, true);
    picked.add_item(o1, true);
    picked.add_item(p2, true);
    picked.add_item(o2, true);
    g_events.clear();
    map.draw(dc, &view, 0, XrMap::BufferedLayers, -1, -1);
    EXPECT_EQ(events().find("picked"), std::string::npos); // not in pass 1
    g_events.clear();
    map.draw(dc, &view, 0, XrMap::AllLayers, -1, -1);
    int poi_calls = 0, other_calls = 0;
    for (const std::string& e : g_events) {
        poi_calls += e.rfind("poi:picked", 0) == 0;
        other_calls += e.rfind("other:picked", 0) == 0;
    }
    EXPECT_EQ(poi_calls, 1);
    EXPECT_EQ(poi->last_picked, p1);
    EXPECT_EQ(other_calls, 2);
    EXPECT_EQ(other->last_picked, o2);
}

TEST_F(MapFixture, MapItemsOwnership)
{
    XrMapItems items;
    auto* owned = new XrLayerMapItem(nullptr, nullptr);
    XrLayerMapItem kept(nullptr, nullptr);
    items.add_item(owned, true);
    items.add_item(&kept, false);
    items.add_item(nullptr, true);
    EXPECT_EQ(items.get_count(), 3);
    XrMapItem* taken = items.take_item(0);
    EXPECT_EQ(taken, owned);
    items.clear();
    EXPECT_EQ(items.get_count(), 0);
    delete taken; // still alive: the list gave it away
}

TEST_F(MapFixture, DrawListenersAndMapLayers)
{
    Listener one, two;
    map.add_draw_listener(&one);
    map.add_draw_listener(&one);
    map.add_draw_listener(&two);
    EXPECT_EQ(map.get_draw_listener_count(), 2);
    view.notify_draw(dc);
    EXPECT_EQ(one.calls, 1);
    EXPECT_EQ(two.calls, 1);
    EXPECT_TRUE(map.remove_draw_listener(&one));
    EXPECT_FALSE(map.remove_draw_listener(&one));
    view.notify_draw(dc);
    EXPECT_EQ(one.calls, 1);
    EXPECT_EQ(two.calls, 2);

    FakeMapLayer refuses(false), takes(true);
    map.add_map_layer(&refuses);
    map.add_map_layer(&takes);
    map.draw(dc, &view, 0, XrMap::BufferedLayers, -1, -1);
    EXPECT_EQ(events(), "maplayer:draw maplayer:draw");
    g_events.clear();
    EXPECT_TRUE(map.dispatch_map_layer_event(1, 2, 3, &view));
    EXPECT_EQ(events(), "maplayer:event maplayer:event");
    // Registered layers leave the list before they go, as real ones do.
    EXPECT_TRUE(map.remove_map_layer(&refuses));
    EXPECT_TRUE(map.remove_map_layer(&takes));
}

TEST_F(MapFixture, ViewDrawsItsMap)
{
    add("a");
    map.set_3d(true);
    view.set_3d_parameters(1000, 200, 80, 2000, 4000, 500);
    view.draw(dc, nullptr, 0, -1, -1);
    EXPECT_EQ(events(), "a:pre a:draw3d a:post");
    EXPECT_GE(map.get_last_draw_ms(), 0);
    // The 3D rectangle was brought up to date before drawing.
    EXPECT_EQ(view.get_world_rect_3d().right - view.get_world_rect_3d().left, 4000);
}

} // namespace
