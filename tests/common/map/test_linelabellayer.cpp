// The road layer: cased roads in class order with the route on top, traffic,
// one-way markers, street names on the longest segment, upright, without
// collisions, shortened by the suffix table; the perspective drawing.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/map/xr_mapconfig.h"
#include "common/map/xr_mapservices.h"
#include "road_test_support.h"

using namespace xr_road_test;

namespace {

std::string pen(unsigned rgb, int width)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "pen %06X/%d", rgb, width);
    return buf;
}

std::string line(const std::vector<XrPoint>& pts)
{
    std::string s = "line";
    for (const XrPoint& p : pts)
        s += " " + std::to_string(p.x) + "," + std::to_string(p.y);
    return s;
}

std::vector<std::wstring> placed_names(const XrLineLabelLayer& layer)
{
    std::vector<std::wstring> out;
    for (const auto& l : layer.get_placed_labels())
        out.push_back(l.name);
    return out;
}

} // namespace

TEST_F(RoadFixture, CasingUnderCoreClassesInOrderRouteOnTop)
{
    road(2, {at(-200, 50), at(200, 50)});                    // street, class 4
    road(1, {at(-200, 0), at(200, 0)});                      // motorway, class 3
    const XrGid on_route = road(2, {at(-200, -50), at(200, -50)}); // the active route
    RouteDouble route;
    route.gids = {on_route};
    const XrRouteEdgeSource* routes[] = {&route};
    layer->set_route_edges(routes, 1, 0);
    draw();
    const std::vector<std::string> got = drawing();
    const std::vector<std::string> want = {
        pen(xr_city_style::CASING, 4),  line({{80, 160}, {720, 160}}),
        pen(xr_city_style::CASING, 6),  line({{80, 240}, {720, 240}}),
        pen(ROUTE_OUT, 8),              line({{80, 320}, {720, 320}}),
        pen(xr_city_style::STREET, 2),  line({{80, 160}, {720, 160}}),
        pen(xr_city_style::MOTORWAY, 4), line({{80, 240}, {720, 240}}),
        pen(ROUTE_IN, 6),               line({{80, 320}, {720, 320}}),
    };
    ASSERT_GE(got.size(), want.size()) << joined(got);
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + static_cast<long>(want.size())), want)
        << joined(got);

    // Without routes the same road is an ordinary street again.
    layer->set_route_edges(nullptr, 0, -1);
    draw();
    EXPECT_EQ(joined(drawing()).find(pen(ROUTE_OUT, 8)), std::string::npos);
}

TEST_F(RoadFixture, NameOnTheLongestSegmentOnceAndUpright)
{
    const XrGid a = road(2, {at(-200, 60), at(-170, 60), at(-140, 60)});
    const XrGid b = road(2, {at(150, -20), at(-150, -20)}); // drawn westwards
    names.names = {{a, L"Main Street"}, {b, L"Main Street"}};
    draw();
    ASSERT_EQ(layer->get_placed_labels().size(), 1u);
    const auto& l = layer->get_placed_labels()[0];
    EXPECT_EQ(l.name, L"Main Street");
    EXPECT_EQ(l.centre_x, 400);
    EXPECT_EQ(l.centre_y, 272);
    EXPECT_EQ(l.angle, 0);
    EXPECT_EQ(names.lookups, 1);
    // Halo twice, then the text.
    EXPECT_EQ(XrGdiRecording::instance().count("draw_bidi_text"), 3);
}

TEST_F(RoadFixture, LabelAnglesNeverReadUpsideDown)
{
    struct Case {
        XrPoint from, to;
    };
    const Case cases[] = {
        {at(-100, -60), at(100, 60)}, {at(100, 60), at(-100, -60)}, {at(0, -90), at(0, 90)},
        {at(0, 90), at(0, -90)},      {at(100, -60), at(-100, 60)},
    };
    for (const Case& c : cases) {
        storage->clear();
        const XrGid g = road(2, {c.from, c.to});
        names.names = {{g, L"Oak"}};
        draw();
        ASSERT_EQ(layer->get_placed_labels().size(), 1u);
        const int angle = layer->get_placed_labels()[0].angle;
        EXPECT_TRUE(angle < 91 || angle > 269) << angle;
    }
}

TEST_F(RoadFixture, CollidingLabelIsShortenedThenDropped)
{
    const XrGid a = road(2, {at(-100, -60), at(100, 60)});
    const XrGid b = road(2, {at(-100, 60), at(100, -60)});
    const XrGid c = road(2, {at(-200, -120), at(-20, -120)});
    names.names = {{a, L"Alpha Street"}, {b, L"Beta Street"}, {c, L"Gamma Street"}};
    draw();
    EXPECT_EQ(placed_names(*layer), (std::vector<std::wstring>{L"Alpha Street", L"Gamma Street"}));
}

TEST_F(RoadFixture, TooLongNameIsShortenedAndPlaced)
{
    // 80 units = 128 pixels; the name with its margin is wider.
    const XrGid a = road(2, {at(-40, 0), at(40, 0)});
    names.names = {{a, L"Longer Name Street"}};
    draw();
    EXPECT_EQ(placed_names(*layer), (std::vector<std::wstring>{L"Longer Name St"}));
}

TEST_F(RoadFixture, ShortSegmentsGetNoLabel)
{
    // Segments of 5 units (8 pixels).
    const XrGid a = road(2, {at(0, 0), at(5, 0), at(10, 0), at(15, 0)});
    names.names = {{a, L"Tiny"}};
    layer->set_tolerances(0, 0);
    draw();
    EXPECT_TRUE(layer->get_placed_labels().empty());
}

TEST(LineLabelSuffix, TableOfShortenings)
{
    const std::wstring long_name = std::wstring(120, L'x') + L" Street";
    struct Case {
        std::wstring name;
        std::wstring want;
        bool changed;
    };
    const Case cases[] = {
        {L"Main Street", L"Main St", true},      // after a space: upper case
        {L"Hauptstreet", L"Hauptst", true},      // no space: as in the table
        {L"Main STREET", L"Main St", true},      // case ignored
        {L"Park Avenue", L"Park Ave", true},
        {L"Main Road", L"Main Road", false},     // no entry matches
        {L"Street", L"st", true},                // the whole name: nothing before it
        {L"eet", L"eet", false},                 // shorter than the suffix
        {long_name, std::wstring(120, L'x') + L" St", true}, // longer than 64 characters
    };
    const TCHAR* table[] = {L"Street\0st", L"Avenue\0Ave"};
    const int lengths[] = {6, 6};
    for (const Case& c : cases) {
        XrString name(c.name.c_str());
        EXPECT_EQ(XrLineLabelLayer::apply_suffix(name, table, lengths, 2), c.changed) << std::string(c.name.begin(), c.name.end());
        EXPECT_EQ(std::wstring(name.c_str()), c.want);
    }
}

TEST_F(RoadFixture, OneWayMarkerWithoutName)
{
    road(2 | XrLineLabelLayer::ONEWAY_ALONG, {at(-100, 0), at(100, 0)});
    draw();
    const auto polys = XrGdiRecording::instance().find("draw_polygon_outlined");
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(polys[0]->points, (std::vector<XrPoint>{{260, 243}, {267, 240}, {260, 237}, {260, 243}}));
    EXPECT_EQ(polys[0]->brush_rgb(), 0xA05050);
}

TEST_F(RoadFixture, NoMarkerWhenStyleHasNoLabelFont)
{
    // Tracks (type 4) have no label font: drawn, but no marker.
    road(4 | XrLineLabelLayer::ONEWAY_ALONG, {at(-100, 0), at(100, 0)});
    draw();
    EXPECT_EQ(XrGdiRecording::instance().count("draw_polygon_outlined"), 0);
    EXPECT_GE(XrGdiRecording::instance().count("draw_polyline"), 1);
}

TEST_F(RoadFixture, TrafficValuesAreCombinedAndClamped)
{
    const XrGid g = road(2, {at(-100, 0), at(100, 0)});
    RouteDouble route;
    route.gids = {g};
    const XrRouteEdgeSource* routes[] = {&route};
    layer->set_route_edges(routes, 1, 0);
    int position = 0;
    EXPECT_TRUE(layer->find_route_edge(g, 0, &position));
    EXPECT_EQ(position, -1); // the index is made only while traffic exists
    layer->set_route_edges(nullptr, 0, -1);

    EXPECT_FALSE(layer->add_traffic_road(g, true, 2));
    EXPECT_EQ(layer->get_traffic_value(g), 0x21);
    layer->add_traffic_road(g, false, 1);
    EXPECT_EQ(layer->get_traffic_value(g), 0x23);
    layer->add_traffic_road(g, true, 300); // beyond the 4 bits: the highest level
    EXPECT_EQ(layer->get_traffic_value(g), 0xF3);
    layer->add_traffic_road(g, true, -5);
    EXPECT_EQ(layer->get_traffic_value(g), 0xF3);
    layer->clear_traffic_road(g);
    EXPECT_EQ(layer->get_traffic_value(g), 0);

    layer->set_route_edges(routes, 1, 0);
    EXPECT_TRUE(layer->add_traffic_road(g, true, 2));
    EXPECT_TRUE(layer->find_route_edge(g, 0, &position));
    EXPECT_EQ(position, 0);
    EXPECT_FALSE(layer->find_route_edge(g + 1, 0, &position));
}

TEST_F(RoadFixture, TrafficLookCasingCoreAndArrows)
{
    const XrGid g = road(2, {at(-100, 0), at(100, 0)});
    layer->reset_traffic(8);
    layer->add_traffic_road(g, true, 2);
    draw();
    const std::string d = joined(drawing());
    // Black casing of core + 8, white core of core + 4, red arrows.
    EXPECT_NE(d.find(pen(0x000000, 10) + "\n" + line({{240, 240}, {560, 240}})), std::string::npos) << d;
    EXPECT_NE(d.find(pen(0xFFFFFF, 6) + "\n" + line({{240, 240}, {560, 240}})), std::string::npos) << d;
    const auto heads = XrGdiRecording::instance().find("draw_polygon");
    ASSERT_GT(heads.size(), 10u);
    for (const XrGdiCall* h : heads)
        EXPECT_EQ(h->brush_rgb(), 0x0000FF);
}

TEST_F(RoadFixture, PieceIndicesBeyond65535Points)
{
    // A zigzag of 70000 points, then a motorway: its points must be its own.
    // Built here: the differences are 0 and +-160 units (one and two bytes).
    std::vector<BYTE> rec = xr_test::polyline_record(1, {at(-100, -80)}, 4, 0);
    for (int i = 1; i < 70000; ++i) {
        rec.push_back(0x40);                          // x: +0
        rec.push_back(i % 2 == 1 ? 0xC1 : 0x81);      // y: +160 or -160
        rec.push_back(0x20);
    }
    ASSERT_EQ(storage->add_record(XrGeomStorage::RecPolyline, rec.data(), rec.size()), XrGeomStorage::OK);
    road(1, {at(-100, 100), at(100, 100)});
    layer->set_tolerances(0, 0);
    draw();
    const std::string d = joined(drawing());
    EXPECT_NE(d.find(pen(xr_city_style::CASING, 6) + "\n" + line({{240, 80}, {560, 80}})), std::string::npos);
    bool long_line = false;
    for (const XrGdiCall* c : XrGdiRecording::instance().find("draw_polyline"))
        long_line = long_line || c->points.size() == 70000;
    EXPECT_TRUE(long_line);
}

TEST_F(RoadFixture, BadRecordsAndEmptyScreenAreSkipped)
{
    add_text(*storage, 2, at(0, 0), "not a road");
    road(2, {at(-100, 0), at(100, 0)});
    const int warnings = xr_map_warning_count();
    draw();
    EXPECT_GT(xr_map_warning_count(), warnings);
    EXPECT_GE(XrGdiRecording::instance().count("draw_polyline"), 2);

    XrMapView unfitted(&map);
    XrGdiRecording::instance().clear();
    EXPECT_TRUE(layer->draw(dc, &unfitted));
    EXPECT_TRUE(layer->draw_3d(dc, &unfitted));
    EXPECT_EQ(XrGdiRecording::instance().count("draw_polyline"), 0);
}

TEST_F(RoadFixture, LabelWiderThanAnyScreenIsDropped)
{
    auto* huge = new XrLineLabelLayer(L"arial", 5000, &map, vs.get(), false, 5, 6);
    auto* s = new XrMemoryGeomStorage();
    huge->get_storage()->add_storage(s, 0);
    huge->set_street_names(&names);
    map.add_layer(huge, XrString(L"huge"));
    add_line(*s, 2, {at(-200, 0), at(200, 0)});
    names.names = {{0, L"Main Street"}};
    XrGdiRecording::instance().clear();
    EXPECT_TRUE(huge->draw(dc, &view));
    EXPECT_TRUE(huge->get_placed_labels().empty());
    EXPECT_EQ(XrGdiRecording::instance().count("draw_bidi_text"), 0);
}

TEST_F(RoadFixture, LanguageChangeFlushesTheNameCache)
{
    struct Language : XrMapEngineServices {
        int get_text_language() override { return 7; }
    } language;
    draw();
    EXPECT_EQ(names.flushes, 0);
    set_map_engine_services(&language);
    draw();
    draw();
    set_map_engine_services(nullptr);
    EXPECT_EQ(names.flushes, 1);
}

TEST(LineLabel3D, SlopeFactor)
{
    EXPECT_EQ(XrLineLabelLayer::slope_width_factor(0, 50), 1024);
    EXPECT_EQ(XrLineLabelLayer::slope_width_factor(100, 0), 512);
    EXPECT_EQ(XrLineLabelLayer::slope_width_factor(100, 100), (256 * 32 - 8192) / 128 + 989);
    EXPECT_EQ(XrLineLabelLayer::slope_width_factor(10, 100), 1024);
    EXPECT_EQ(XrLineLabelLayer::row_shift_for(240), 2);
    EXPECT_EQ(XrLineLabelLayer::row_shift_for(480), 3);
}

TEST_F(RoadFixture, PerspectiveRoadsGrowTowardsTheViewer)
{
    map.set_3d(true);
    view.set_tilt(44);
    view.set_3d_parameters(1000, 200, 80, 2000, 4000, 500);
    view.update_3d();
    XrLineLabelLayer::invalidate_3d_width_tables();
    EXPECT_FALSE(XrLineLabelLayer::width_tables_valid());
    road(2, {at(0, -300), at(0, 2500)}); // straight ahead
    road(2, {at(0, -3000), at(10, -2500)}); // behind the eye
    draw();
    EXPECT_TRUE(XrLineLabelLayer::width_tables_valid());
    EXPECT_LE(XrLineLabelLayer::narrow_width(5), XrLineLabelLayer::narrow_width(60));
    EXPECT_GT(XrLineLabelLayer::narrow_width(60), 0);

    // Pen widths by band: never below 1, wider at the bottom of the screen.
    int top_width = 0, bottom_width = 0, top_y = 1 << 30, bottom_y = -1;
    int current = 0;
    for (const XrGdiCall& c : XrGdiRecording::instance().get_calls()) {
        if (c.name == "set_pen_width") {
            current = static_cast<int>(c.args[0]);
            EXPECT_GE(current, 1);
        } else if (c.name == "draw_polyline") {
            ASSERT_EQ(c.points.size(), 2u);
            for (const XrPoint& p : c.points) {
                EXPECT_GT(p.y, -40); // nothing of the road behind the eye
                if (p.y < top_y) {
                    top_y = p.y;
                    top_width = current;
                }
                if (p.y > bottom_y) {
                    bottom_y = p.y;
                    bottom_width = current;
                }
            }
        }
    }
    EXPECT_LT(top_y, bottom_y);
    EXPECT_LT(top_width, bottom_width);
    EXPECT_EQ(XrGdiRecording::instance().count("draw_bidi_text"), 0);
}

TEST_F(RoadFixture, PerspectiveSegmentIsOneLinePerWidth)
{
    map.set_3d(true);
    view.set_tilt(44);
    view.set_3d_parameters(1000, 200, 80, 2000, 4000, 500);
    view.update_3d();
    XrLineLabelLayer::compute_3d_width_tables(&view);
    XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 0, 0, 0), 1);
    XrGdiRecording::instance().clear();
    XrLineLabelLayer::draw_3d_segment(dc, XrPoint(300, 10), XrPoint(420, 470), XrSize(800, 480), 3, false);
    // The lines run end to end from the upper point to the lower one, each
    // in a width of its own: wider further down, never two of one width in
    // a row, and the width set only when it changes.
    std::vector<const XrGdiCall*> lines = XrGdiRecording::instance().find("draw_polyline");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front()->points[0], XrPoint(300, 10));
    EXPECT_EQ(lines.back()->points[1], XrPoint(420, 470));
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i]->points.size(), 2u);
        if (i > 0) {
            EXPECT_EQ(lines[i]->points[0], lines[i - 1]->points[1]) << i;
            EXPECT_GT(lines[i]->pen.width, lines[i - 1]->pen.width) << i;
        }
    }
    EXPECT_EQ(XrGdiRecording::instance().count("set_pen_width"), static_cast<int>(lines.size()));
    EXPECT_LT(lines.size(), 23u); // fewer than the 20-row bands
}

TEST(LineLabelConfig, ConfiguredKindReadsItsKeys)
{
    register_fonts();
    register_line_label_layer_kind();
    XrLayerDef road;
    road.name = "road";
    road.number = 10;
    road.type = "linelabel";
    road.storage = "memory";
    XrLayerDef named = road;
    named.name = "named";
    named.number = 20;
    named.storage = "simple";
    named.extra = {"street_font_name=sans", "street_font_size=14", "type_override1=5", "type_override2=6"};
    auto config = config_from(xr_map_config_text({road, named}));
    ASSERT_EQ(config->open_key(L"\\map"), XrConfiguration::OK);
    XrMap map;
    XrMapConfigContext context;
    EXPECT_NE(read_map_configuration(&map, config.get(), context, nullptr), MapConfigFailed);
    auto* l = dynamic_cast<XrLineLabelLayer*>(map.get_layer(XrString(L"named")));
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(std::wstring(l->get_street_font_name().c_str()), L"sans");
    EXPECT_EQ(l->get_street_font_size(), 14);
    EXPECT_EQ(l->get_type_override1(), 5);
    EXPECT_EQ(l->get_type_override2(), 6);
    // "memory" storage always gives a plain geometry layer.
    EXPECT_EQ(dynamic_cast<XrLineLabelLayer*>(map.get_layer(XrString(L"road"))), nullptr);
    register_configured_layer_kind(LayerLineLabel, nullptr);
}
