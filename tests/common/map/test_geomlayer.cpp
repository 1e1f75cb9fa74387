// The geometry layer drawing records of a storage with the city style,
// checked on the recorded drawing calls.
#include <gtest/gtest.h>

#include "common/geometry/xr_polygon.h"
#include "common/map/xr_geomlayer.h"
#include "common/map/xr_mapservices.h"
#include "map_test_support.h"

using namespace xr_map_test;
namespace style = xr_city_style;

namespace {

struct GeomFixture : ::testing::Test {
    GeomFixture() : view(&map)
    {
        vs = city_style(map.get_palette());
        layer = new XrGeomLayer(&map, vs.get(), false);
        storage = new XrMemoryGeomStorage();
        layer->get_storage()->add_storage(storage, 0);
        EXPECT_TRUE(map.add_layer(layer, XrString(L"geo")));
        set_up_view(view);
        dc = xr_recording_dc(800, 480);
        XrGdiRecording::instance().clear();
    }
    ~GeomFixture() override
    {
        map.get_picked_items().clear();
        XrGDI::delete_dc(dc);
    }

    std::vector<std::string> draw()
    {
        XrGdiRecording::instance().clear();
        layer->draw(dc, &view);
        return drawing();
    }

    XrMap map;
    XrMapView view;
    std::unique_ptr<XrVisualSetting> vs;
    XrGeomLayer* layer;
    XrMemoryGeomStorage* storage;
    XrDCHandleRec* dc;
};

std::string pen(unsigned rgb, int width)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "pen %06X/%d", rgb, width);
    return buf;
}

TEST_F(GeomFixture, CasedLineDrawsOuterThenInner)
{
    add_line(*storage, 2, {at(-100, 0), at(100, 0)});
    const std::vector<std::string> expected = {
        pen(style::CASING, 6), "line 240,240 560,240", pen(style::STREET, 4), "line 240,240 560,240",
        pen(style::CASING, 6),
    };
    EXPECT_EQ(joined(draw()), joined(expected));
}

TEST_F(GeomFixture, LineWidthsByStyle)
{
    // Positive width: both pens at that width; no outer pen: nothing.
    add_line(*storage, 4, {at(-100, 10), at(100, 10)});
    add_line(*storage, 3, {at(-100, 20), at(100, 20)});
    const std::vector<std::string> expected = {
        pen(style::TRACK_OUT, 3), "line 240,224 560,224", pen(style::TRACK_IN, 3), "line 240,224 560,224",
        pen(style::TRACK_OUT, 3),
    };
    EXPECT_EQ(joined(draw()), joined(expected));
    // Above scale 20000 the street is cased at 2 + 2, above 100000 plain.
    storage->clear();
    add_line(*storage, 2, {at(-100, 0), at(100, 0)});
    view.set_center_and_scale(&kCentre, 200000, true);
    const std::vector<std::string> plain = draw();
    ASSERT_GE(plain.size(), 2u);
    EXPECT_EQ(plain[0], pen(style::OUTLINE, 1));
    EXPECT_EQ(plain[1], "line 392,240 408,240");
    // No inner pen: the last selection restores the DC's earlier pen.
    EXPECT_EQ(std::count(plain.begin(), plain.end(), pen(style::STREET, 2)), 0);
}

TEST_F(GeomFixture, TwoPhaseLinesDrawAllCasingsFirst)
{
    layer->set_lines_in_2phases(true);
    add_line(*storage, 2, {at(-100, 0), at(100, 0)});
    add_line(*storage, 2, {at(0, -100), at(0, 100)});
    const std::vector<std::string> d = draw();
    std::vector<std::string> lines;
    std::string current_pen;
    for (const std::string& s : d) {
        if (s.rfind("pen", 0) == 0)
            current_pen = s;
        else if (s.rfind("line", 0) == 0)
            lines.push_back(current_pen);
    }
    const std::vector<std::string> expected = {pen(style::CASING, 6), pen(style::CASING, 6), pen(style::STREET, 4),
                                               pen(style::STREET, 4)};
    EXPECT_EQ(lines, expected);
}

TEST_F(GeomFixture, PolylineThinnedToTolerance)
{
    // 7 pixels are 4 units: points closer than that to the last kept one go.
    add_line(*storage, 2, {at(0, 0), at(2, 1), at(3, -3), at(3, 3), at(50, 0)});
    std::vector<std::string> d = draw();
    ASSERT_GE(d.size(), 2u);
    EXPECT_EQ(d[1], "line 400,240 480,240");
    // All within the tolerance and on one pixel: first and last coincide.
    storage->clear();
    add_line(*storage, 2, {at(0, 0), at(1, 0), at(2, 0), at(0, 0)});
    d = draw();
    EXPECT_EQ(std::count_if(d.begin(), d.end(), [](const std::string& s) { return s.rfind("line", 0) == 0; }), 0);
}

TEST_F(GeomFixture, LineTouchingTheViewEdgeIsNotDrawn)
{
    // The world rectangle runs from x - 250 to x + 250.
    add_line(*storage, 2, {at(-300, 0), at(-250, 0)});
    add_line(*storage, 2, {at(-300, 10), at(-249, 10)});
    const std::vector<std::string> d = draw();
    EXPECT_EQ(std::count_if(d.begin(), d.end(), [](const std::string& s) { return s.rfind("line", 0) == 0; }), 2);
}

TEST_F(GeomFixture, PolygonsFillWithOutline)
{
    add_line(*storage, 10, {at(-100, -100), at(100, -100), at(100, 100), at(-100, 100), at(-100, -100)}, true);
    const std::vector<std::string> expected = {
        pen(style::OUTLINE, 1), "brush " + [] {
            char b[16];
            std::snprintf(b, sizeof b, "%06X", style::WATER);
            return std::string(b);
        }(),
        "area [5] 240,400 560,400 560,80 240,80 240,400",
    };
    EXPECT_EQ(joined(draw()), joined(expected));
    const auto calls = XrGdiRecording::instance().find("draw_polygon_outlined");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]->args[1], 1); // outline asked for
}

TEST_F(GeomFixture, PolygonRingThinning)
{
    layer->set_tolerances(5, 7); // 5 pixels = 3.125 units
    // A ring whose second point repeats its first vanishes; so does one
    // whose points all lie within the tolerance of its first.
    add_line(*storage, 12,
             {at(0, 0), at(0, 0), at(50, 0), at(50, 50), at(0, 50), at(50, 0), at(10, 10), at(11, 11), at(12, 10),
              at(10, 10), at(-50, -50), at(-10, -50), at(-9, -49), at(-10, -10), at(-50, -50)},
             true);
    const std::vector<std::string> d = draw();
    ASSERT_EQ(d.size(), 3u) << joined(d);
    // The repeat closed the ring of (0, 0) alone: the next ring starts at
    // (50, 0). The ring within the tolerance of (10, 10) is gone. The
    // pending (-9, -49) is kept before (-10, -10), which lies farther.
    EXPECT_EQ(d[2], "area [4,5] 480,240 480,160 400,160 480,240 320,320 384,320 386,318 384,256 320,320");
}

TEST_F(GeomFixture, TextsWithHaloCutAtTab)
{
    add_text(*storage, 20, at(0, 0), "Main St\tbis");
    char halo[16], text[16];
    std::snprintf(halo, sizeof halo, "%06X", style::HALO);
    std::snprintf(text, sizeof text, "%06X", style::TEXT);
    const std::vector<std::string> expected = {
        std::string("colour ") + halo, "text 399,239 \"Main St\"", "text 401,241 \"Main St\"",
        std::string("colour ") + text, "text 400,240 \"Main St\"",
    };
    EXPECT_EQ(joined(draw()), joined(expected));
    // Centred on the point.
    const auto calls = XrGdiRecording::instance().find("draw_text_rect");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2]->args[4], XrGDI::CentreMiddle);
}

TEST_F(GeomFixture, WideViewTolerancesDoNotWrap)
{
    // 7 pixels of 800 over 700 million units: a 32-bit product would wrap.
    EXPECT_EQ(XrGeomLayer::tolerance_to_world(7, 700000000, 800), 6125000);
    EXPECT_EQ(XrGeomLayer::tolerance_to_world(7, 500, 800), 4);
    EXPECT_EQ(XrGeomLayer::tolerance_to_world(7, 500, 0), 0);
}

TEST_F(GeomFixture, PickUsesTheSameStyleRuleAsDrawing)
{
    // Type 18 has no line style (18 modulo 16 would be the street).
    add_line(*storage, 18, {at(-100, 0), at(100, 0)});
    add_line(*storage, 2, {at(-100, 50), at(100, 50)});
    EXPECT_EQ(draw().size(), 5u);
    XrPolygon area;
    area.add_point(at(-5, -5));
    area.add_point(at(5, -5));
    area.add_point(at(5, 55));
    area.add_point(at(-5, 55));
    area.add_point(at(-5, -5));
    XrMapItems items;
    EXPECT_TRUE(map.pick(area, &view, &items));
    ASSERT_EQ(items.get_count(), 1);
    EXPECT_EQ(xr_item_layer(items.get_item(0)), layer);

    // The picked street is highlighted: black 9, then teal 7.
    XrGdiRecording::instance().clear();
    EXPECT_EQ(layer->draw_picked_item(dc, &view, items.get_item(0)), 1);
    // Then the DC's pen of before comes back.
    const std::vector<std::string> expected = {pen(0x000000, 9), "line 240,160 560,160", pen(0x808000, 7),
                                               "line 240,160 560,160", pen(style::CASING, 6)};
    EXPECT_EQ(joined(drawing()), joined(expected));
    // An item of another layer draws nothing.
    XrLayerMapItem foreign(nullptr, nullptr);
    EXPECT_EQ(layer->draw_picked_item(dc, &view, &foreign), 0);
}

TEST_F(GeomFixture, MapDrawsPickedItemsOfItsList)
{
    add_line(*storage, 2, {at(-100, 0), at(100, 0)});
    XrPolygon area;
    area.add_point(at(0, -5));
    area.add_point(at(0, 5));
    EXPECT_TRUE(map.pick(area, &view, nullptr));
    ASSERT_EQ(map.get_picked_items().get_count(), 1);
    XrGdiRecording::instance().clear();
    map.draw(dc, &view, 0, XrMap::AllLayers, -1, -1);
    EXPECT_EQ(XrGdiRecording::instance().count("draw_polyline"), 4); // casing, inner, two highlights
}

// A storage whose cursor hands out a record of an unknown kind.
class OddStorage : public XrGeomStorage {
public:
    class Cursor : public XrGeomCursor {
    public:
        Cursor() : XrGeomCursor(nullptr) {}
        Status get_next_record(const BYTE*& data, XrGeomStorage::XrRecordType& type) override
        {
            static const BYTE bytes[16] = {};
            if (done)
                return END;
            done = true;
            data = bytes;
            type = static_cast<XrGeomStorage::XrRecordType>(7);
            return OK;
        }
        XrMapItem* get_current_map_item() override { return nullptr; }
        bool get_current_record_geom_id(XrGid&) override { return false; }
        Status get_record(const XrMapItem*, XrGeomStorage::XrRecordType&, const BYTE*&) override
        {
            return NOT_FOUND;
        }
        bool done = false;
    };
    XrGeomCursor* get_cursor(const XrRectangle*, int) override { return new Cursor(); }
};

TEST_F(GeomFixture, UnknownRecordKindIsSkippedWithAWarning)
{
    layer->get_storage()->add_storage(new OddStorage(), 0);
    add_line(*storage, 2, {at(-100, 0), at(100, 0)});
    const int warnings = xr_map_warning_count();
    const std::vector<std::string> d = draw();
    EXPECT_EQ(xr_map_warning_count(), warnings + 1);
    EXPECT_EQ(d.size(), 5u); // the street is still drawn
}

struct Geom3D : GeomFixture {
    Geom3D()
    {
        map.set_3d(true);
        view.set_tilt(44);
        view.set_3d_parameters(1000, 200, 80, 2000, 4000, 500);
        view.update_3d();
    }
};

TEST_F(Geom3D, PolygonsBehindTheEyeAreNotDrawnAndCrossingOnesCut)
{
    // Depth (y - 80) * 3 < -1000 lies behind the eye: y below about -253.
    add_line(*storage, 10, {at(-100, -480), at(100, -480), at(100, -400), at(-100, -400), at(-100, -480)}, true);
    EXPECT_EQ(XrGdiRecording::instance().count("draw_polygon_outlined"), 0);
    draw();
    EXPECT_EQ(XrGdiRecording::instance().count("draw_polygon_outlined"), 0);
    storage->clear();
    add_line(*storage, 10, {at(-100, -480), at(100, -480), at(100, 400), at(-100, 400), at(-100, -480)}, true);
    draw();
    const auto calls = XrGdiRecording::instance().find("draw_polygon_outlined");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]->args[2], 1); // the 3D flag
    // The cut point, the two front corners and the other cut point.
    ASSERT_EQ(calls[0]->rings.size(), 1u);
    EXPECT_EQ(calls[0]->rings[0], 4);
}

TEST_F(Geom3D, LinesAreClippedSegmentBySegment)
{
    add_line(*storage, 2, {at(-100, 0), at(0, 0), at(100, 100)});
    draw();
    const auto lines = XrGdiRecording::instance().find("draw_polyline");
    ASSERT_EQ(lines.size(), 2u); // one 2-point line a segment, no inner line
    EXPECT_EQ(lines[0]->points.size(), 2u);
}

} // namespace
