// Map objects: drawing of the three shapes and taps offered to their areas.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/geometry/xr_projection.h"
#include "common/map/xr_mapobject.h"
#include "common/map/xr_mapservices.h"
#include "map_test_support.h"

using namespace xr_map_test;

namespace {

struct IdentityServices : XrMapEngineServices {
    XrNullProjection projection;
    const XrProjection* get_projection() override { return &projection; }
};

// Records the actions it runs and answers from a table by id.
struct RecordingContext : XrMapObjectActionContext {
    std::vector<int>* log;
    std::vector<int> taking;
    bool* deleted;
    RecordingContext(std::vector<int>* log, std::vector<int> taking, bool* deleted)
        : log(log), taking(std::move(taking)), deleted(deleted)
    {
    }
    ~RecordingContext() override { *deleted = true; }
    bool run_action(int, int id, const XrCoordinate&) override
    {
        log->push_back(id);
        for (int t : taking)
            if (t == id)
                return true;
        return false;
    }
};

struct MapObjectTest : ::testing::Test {
    MapObjectTest() : view(&map)
    {
        set_map_engine_services(&services);
        set_up_view(view);
        dc = xr_recording_dc(800, 480);
        XrGdiRecording::instance().clear();
    }
    ~MapObjectTest() override
    {
        XrGDI::delete_dc(dc);
        set_map_engine_services(nullptr);
    }
    // The drawing calls in order, one a line.
    static std::string calls()
    {
        std::string s;
        char buf[64];
        for (const XrGdiCall& c : XrGdiRecording::instance().get_calls()) {
            if (c.name == "draw_ellipse") {
                std::snprintf(buf, sizeof buf, "ellipse %lld,%lld %lld,%lld", c.args[0], c.args[1], c.args[2],
                              c.args[3]);
                s += buf;
            } else if (c.name == "select_pen") {
                std::snprintf(buf, sizeof buf, "pen %06llX/%lld", c.args[0], c.args[1]);
                s += buf;
            } else if (c.name == "select_brush") {
                std::snprintf(buf, sizeof buf, "brush %06llX", c.args[0]);
                s += buf;
            } else if (c.name == "draw_polygon" || c.name == "draw_polyline") {
                s += c.name == "draw_polygon" ? "polygon" : "line";
                for (const XrPoint& p : c.points)
                    s += " " + std::to_string(p.x) + "," + std::to_string(p.y);
            } else {
                continue;
            }
            s += "\n";
        }
        return s;
    }

    IdentityServices services;
    XrMap map;
    XrMapView view;
    XrDCHandleRec* dc;
};

} // namespace

TEST_F(MapObjectTest, ShapesDrawWithFillAndOutline)
{
    // The view centre (100000, 200000) is at screen (400, 240); 1.6 pixels a
    // unit, y growing north.
    const XrPoint line[] = {XrPoint(100000, 200000), XrPoint(100010, 200000)};
    const XrPoint area[] = {XrPoint(100000, 200000), XrPoint(100010, 200000), XrPoint(100000, 200010)};
    struct Case {
        const char* name;
        std::function<XrMapObject*()> make;
        std::string expected;
    };
    const Case cases[] = {
        {"disc", [] { return new XrMapPointObject(XrPoint(100000, 200000), 8, 255, 0, 0); },
         "brush 0000FF\nellipse 392,232 408,248\n"},
        {"disc with outline",
         [] {
             auto* o = new XrMapPointObject(XrCoordinate(100000, 200000), 8, 255, 0, 0);
             o->set_outline(2, 0, 0, 255);
             return o;
         },
         "brush FF0000\nellipse 392,232 408,248\nbrush 0000FF\nellipse 394,234 406,246\n"},
        {"line with outline 2 of width 6",
         [&] {
             auto* o = new XrMapPolyline(line, 2, 6, 0, 255, 0);
             o->set_outline(2, 0, 0, 0);
             return o;
         },
         "pen 000000/6\nline 400,240 416,240\npen 00FF00/4\nline 400,240 416,240\n"},
        {"line without points", [] { return new XrMapPolyline(4, 0, 255, 0); }, ""},
        {"polygon without outline", [&] { return new XrMapPolygon(area, 3, 1, 2, 3); },
         "brush 030201\npolygon 400,240 416,240 400,224\n"},
        {"polygon with outline",
         [&] {
             auto* o = new XrMapPolygon(area, 3, 1, 2, 3);
             o->set_outline(3, 9, 9, 9);
             return o;
         },
         "brush 030201\npolygon 400,240 416,240 400,224\npen 090909/3\nline 400,240 416,240 400,224 400,240\n"},
        {"count below 1 appends nothing", [&] { return new XrMapPolygon(area, 0, 1, 2, 3); }, ""},
        // World (0, 0) lies 160000 pixels west and 320000 south of the centre.
        {"disc without points at world (0, 0)",
         [] {
             auto* o = new XrMapPointObject(XrPoint(100000, 200000), 2, 0, 0, 0);
             o->clear_points();
             return o;
         },
         "brush 000000\nellipse -159602,320238 -159598,320242\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<XrMapObject> object(c.make());
        XrGdiRecording::instance().clear();
        object->draw(dc, &view);
        EXPECT_EQ(calls(), c.expected);
    }
}

TEST_F(MapObjectTest, PointsFromCoordinatesAndClearing)
{
    const XrCoordinate coords[] = {XrCoordinate(10, 20), XrCoordinate(30, 40)};
    XrMapPolyline line(coords, 2, 3, 0, 0, 0);
    EXPECT_TRUE(line.add_coordinate(XrCoordinate(50, 60)));
    ASSERT_EQ(line.get_points().get_num_items(), 3);
    EXPECT_EQ(*line.get_points().get_item_ptr(2), XrPoint(50, 60));
    EXPECT_EQ(line.get_point(), XrPoint(10, 20));
    line.clear_points();
    EXPECT_EQ(line.get_point(), XrPoint(0, 0));
}

TEST_F(MapObjectTest, TapRunsTheFirstAreaThatTakesIt)
{
    // Screen (400, 240) is world (100000, 200000).
    struct Case {
        const char* name;
        std::vector<int> taking;
        bool result;
        std::vector<int> run;
    };
    const Case cases[] = {
        {"first takes it", {1, 2}, true, {1}},
        {"first declines, second takes it", {2}, true, {1, 2}},
        {"none takes it", {}, false, {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<int> log;
        bool deleted = false;
        {
            auto* context = new RecordingContext(&log, c.taking, &deleted);
            XrMapPointObject disc(XrPoint(100000, 200000), 5, 0, 0, 0);
            disc.add_hot_spot(XrCoordinate(100000, 200000), 5, 1, context);
            disc.add_screen_rect(XrRectangle(390, 230, 410, 250), 2, context);
            disc.add_action_area(XrCoordinate(100100, 200100), XrCoordinate(100200, 200200), 3, context);
            EXPECT_EQ(disc.get_area_count(), 3);
            EXPECT_EQ(disc.handle_tap(0, 400, 240, &view), c.result);
            EXPECT_EQ(log, c.run);
            EXPECT_FALSE(deleted);
        }
        // The object's areas released the shared context.
        EXPECT_TRUE(deleted);
    }
}

TEST_F(MapObjectTest, MissAndClearedAreasRunNothing)
{
    std::vector<int> log;
    bool deleted = false;
    auto* context = new RecordingContext(&log, {1}, &deleted);
    context->add_ref();
    XrMapPointObject disc(XrPoint(100000, 200000), 5, 0, 0, 0);
    disc.add_hot_spot(XrCoordinate(100000, 200000), 5, 1, context);
    EXPECT_FALSE(disc.handle_tap(0, 406, 240, &view));
    EXPECT_TRUE(disc.handle_tap(0, 405, 235, &view));
    disc.clear_areas();
    EXPECT_EQ(disc.get_area_count(), 0);
    EXPECT_FALSE(disc.handle_tap(0, 400, 240, &view));
    EXPECT_EQ(log, std::vector<int>{1});
    EXPECT_FALSE(deleted);
    context->release();
    EXPECT_TRUE(deleted);
}
