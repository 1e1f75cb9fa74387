// The map configuration reader: layers from their definitions, in number
// order, with their storages and options; failures and the kinds to come.
#include <gtest/gtest.h>

#include <set>

#include "common/map/xr_geomlayer.h"
#include "common/map/xr_mapconfig.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_maptxtlayer.h"
#include "map_test_support.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/heapgeom_writer.h"
#include "tools/mapgen/xrqt_writer.h"
#include "tools/mapstyle/city_gen.h"

using namespace xr_map_test;

namespace {

struct ConfigFixture : ::testing::Test {
    ConfigFixture() : view(&map)
    {
        register_fonts();
        dir = root.make_dirs("/media/mmc1/map");
        // One small geometry file for the layers that need one.
        std::vector<XrGeomRec*> recs;
        auto* road = new XrPolypointGeomRec(false, 1, 2);
        road->add_point(at(-100, 0));
        road->add_point(at(100, 0));
        recs.push_back(road);
        std::string error;
        EXPECT_TRUE(write_xrqt(dir + "/roads.qt", recs, XrGeomFileOptions(), error)) << error;
        XrGeomFileOptions heap_options;
        heap_options.name = "heaproads";
        EXPECT_TRUE(write_heap_geom(dir + "/roads.heap", recs, heap_options, error)) << error;
        root.make_dirs("/media/mmc1/map/vector");
        heap_options.name = "scanned";
        EXPECT_TRUE(write_heap_geom(dir + "/vector/a.heap", recs, heap_options, error)) << error;
        heap_options.name = "other";
        EXPECT_TRUE(write_heap_geom(dir + "/vector/b.heap", recs, heap_options, error)) << error;
        for (XrGeomRec* r : recs)
            delete r;
        set_up_view(view);
    }

    XrLayerDef def(const char* name, int number, const char* type = "geom")
    {
        XrLayerDef d;
        d.name = name;
        d.number = number;
        d.type = type;
        d.resource = dir + "/roads.qt";
        return d;
    }

    int read(const std::vector<XrLayerDef>& layers, const std::string& vector_dir = "")
    {
        config = config_from(xr_map_config_text(layers, {}, vector_dir));
        EXPECT_EQ(config->open_key(L"\\map"), XrConfiguration::OK);
        return read_map_configuration(&map, config.get(), context, nullptr);
    }

    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < map.get_layer_count(); ++i) {
            std::string n;
            for (const TCHAR* p = map.get_layer_info_at(i)->name.c_str(); *p; ++p)
                n += static_cast<char>(*p);
            out.push_back(n);
        }
        return out;
    }

    XrGeomLayer* geom(const TCHAR* name) { return dynamic_cast<XrGeomLayer*>(map.get_layer(XrString(name))); }

    XrTempRoot root;
    std::string dir;
    XrMapConfigContext context; // outlives the map's layers (declared first)
    XrMap map;
    XrMapView view;
    std::unique_ptr<XrMemoryConfiguration> config;
};

TEST_F(ConfigFixture, LayersInNumberOrderWithTheirFlags)
{
    XrLayerDef a = def("thirty", 30), b = def("ten", 10, "maptxt"), c = def("twenty", 20);
    b.extra = {"visible=0", "pickable=0", "visibility_low=100", "visibility_high=2000", "double_bufferable=1"};
    XrLayerDef raster = def("raster", 5, "raster");
    XrLayerDef untyped = def("untyped", 6, "");
    XrLayerDef unknown_vs = def("nostyle", 7);
    unknown_vs.visual_settings = "nosuch";
    XrLayerDef bad_storage = def("badstorage", 8);
    bad_storage.storage = "tape";
    ASSERT_EQ(read({a, b, c, raster, untyped, unknown_vs, bad_storage}), MapConfigOk);
    EXPECT_EQ(names(), (std::vector<std::string>{"ten", "twenty", "thirty"}));
    const XrMap::XrLayerInfo* ten = map.get_layer_info(XrString(L"ten"));
    EXPECT_FALSE(ten->visible);
    EXPECT_FALSE(ten->pickable);
    EXPECT_EQ(ten->lowest_scale, 100u);
    EXPECT_EQ(ten->highest_scale, 2000u);
    EXPECT_EQ(ten->kind, LayerMapText);
    EXPECT_TRUE(ten->layer->is_double_bufferable());
    EXPECT_NE(dynamic_cast<XrMapTxtLayer*>(ten->layer), nullptr);
    EXPECT_FALSE(map.get_layer(XrString(L"twenty"))->is_double_bufferable());
    EXPECT_EQ(geom(L"twenty")->get_storage()->get_member_count(), 1);
    EXPECT_EQ(geom(L"twenty")->get_storage()->get_member(0)->get_name(), XrString((dir + "/roads.qt").c_str()));
    // The background is the style named by "map_vs".
    ASSERT_NE(map.get_background(), nullptr);
    EXPECT_EQ(map.get_background()->get_background_brush().color.red >> 8, 245);
    // The view's limits come from the layers "a7" and "wa" (none here).
    XrRectangle extent;
    EXPECT_FALSE(view.get_map_extent(extent));
}

TEST_F(ConfigFixture, NameAlreadyInTheMapDropsTheConfiguredLayer)
{
    // A layer the application added first keeps its name; the configured
    // one of that name is deleted, not leaked.
    auto* own = new XrGeomLayer(&map, nullptr, false);
    ASSERT_TRUE(map.add_layer(own, XrString(L"a")));
    const int warnings = xr_map_warning_count();
    ASSERT_EQ(read({def("a", 1), def("b", 2)}), MapConfigOk);
    EXPECT_EQ(map.get_layer(XrString(L"a")), own);
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(xr_map_warning_count(), warnings + 1);
}

TEST_F(ConfigFixture, DrawOptions)
{
    XrLayerDef keep = def("keep", 1), fallback = def("fallback", 2), set = def("set", 3);
    keep.extra = {"draw_opt=-1", "outline_polygons=-1", "lines_in_2phases=-1"};
    set.extra = {"draw_opt=9", "outline_polygons=1", "lines_in_2phases=1"};
    ASSERT_EQ(read({keep, fallback, set}), MapConfigOk);
    EXPECT_EQ(geom(L"keep")->get_polygon_tolerance(), 0);
    EXPECT_EQ(geom(L"keep")->get_polyline_tolerance(), 7);
    EXPECT_TRUE(geom(L"keep")->get_outline_polygons());
    EXPECT_EQ(geom(L"fallback")->get_polygon_tolerance(), 5);
    EXPECT_EQ(geom(L"fallback")->get_polyline_tolerance(), 5);
    EXPECT_FALSE(geom(L"fallback")->get_outline_polygons());
    EXPECT_FALSE(geom(L"fallback")->get_lines_in_2phases());
    EXPECT_EQ(geom(L"set")->get_saved_polyline_tolerance(), 9);
    EXPECT_TRUE(geom(L"set")->get_saved_lines_in_2phases());
    EXPECT_TRUE(geom(L"set")->get_outline_polygons());
}

TEST_F(ConfigFixture, MemoryStorageAlwaysGivesAGeometryLayer)
{
    XrLayerDef poi = def("poi", 1, "poi");
    poi.storage = "memory";
    poi.resource.clear();
    ASSERT_EQ(read({poi}), MapConfigOk);
    XrLayer* layer = map.get_layer(XrString(L"poi"));
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(typeid(*layer), typeid(XrGeomLayer));
    EXPECT_EQ(map.get_layer_info(XrString(L"poi"))->kind, LayerPoi);
}

TEST_F(ConfigFixture, MissingLayerFileIsReported)
{
    XrLayerDef missing = def("missing", 1);
    missing.resource = dir + "/nosuch.qt";
    XrLayerDef not_geometry = def("garbage", 2);
    root.write_file("/media/mmc1/map/garbage.qt", "this is no geometry file");
    not_geometry.resource = dir + "/garbage.qt";
    ASSERT_EQ(read({missing, not_geometry, def("fine", 3)}), MapConfigMissingFiles);
    // The layers are there, without the storage.
    EXPECT_EQ(names(), (std::vector<std::string>{"missing", "garbage", "fine"}));
    EXPECT_EQ(geom(L"missing")->get_storage()->get_member_count(), 0);
    EXPECT_EQ(geom(L"garbage")->get_storage()->get_member_count(), 0);
    ASSERT_EQ(context.missing_files.get_num_items(), 2);
    const XrString first = *context.missing_files.get_item_ptr(0), second = *context.missing_files.get_item_ptr(1);
    const XrString expected((dir + "/nosuch.qt").c_str());
    EXPECT_TRUE(first == expected || second == expected);
}

TEST_F(ConfigFixture, HeapStoragesByPathAndByStoredName)
{
    XrLayerDef by_path = def("bypath", 1);
    by_path.storage = "heap";
    by_path.resource = dir + "/roads.heap";
    XrLayerDef scanned = def("scanned", 2);
    scanned.storage = "heap";
    scanned.resource.clear();
    XrLayerDef nothing = def("nothing", 3);
    nothing.storage = "heap";
    nothing.resource.clear();
    nothing.extra = {"draw_opt=9"};
    ASSERT_EQ(read({by_path, scanned, nothing}, dir + "/vector"), MapConfigOk);
    EXPECT_EQ(geom(L"bypath")->get_storage()->get_member_count(), 1);
    ASSERT_EQ(geom(L"scanned")->get_storage()->get_member_count(), 1);
    EXPECT_EQ(geom(L"scanned")->get_storage()->get_member(0)->get_name(), XrString((dir + "/vector/a.heap").c_str()));
    // Neither a path nor a file of its name: no draw options either.
    EXPECT_EQ(geom(L"nothing")->get_storage()->get_member_count(), 0);
    EXPECT_EQ(geom(L"nothing")->get_polyline_tolerance(), 7);
    // The heap layer draws its road.
    XrDCHandleRec* dc = xr_recording_dc(800, 480);
    XrGdiRecording::instance().clear();
    geom(L"bypath")->draw(dc, &view);
    EXPECT_EQ(XrGdiRecording::instance().count("draw_polyline"), 2);
    XrGDI::delete_dc(dc);
}

XrGeomLayer* label_factory(XrMap* map, XrVisualSetting* vs, XrConfiguration& config, XrMapConfigContext&)
{
    auto* layer = new XrMapTxtLayer(map, vs, false);
    XrString font;
    const TCHAR* fallback = L"arial";
    config.get_string(L"street_font_name", font, fallback);
    layer->set_tolerances(static_cast<int>(font.length()), 1);
    return layer;
}

TEST_F(ConfigFixture, KindsToComeUseTheirRegisteredFactory)
{
    // Without a factory a label layer still draws its data as geometry.
    ASSERT_EQ(read({def("road", 1, "linelabel"), def("numbers", 2, "RoadNumber")}), MapConfigOk);
    EXPECT_EQ(typeid(*map.get_layer(XrString(L"road"))), typeid(XrGeomLayer));
    EXPECT_EQ(map.get_layer_info(XrString(L"road"))->kind, LayerLineLabel);
    EXPECT_EQ(map.get_layer_info(XrString(L"numbers"))->kind, LayerRoadNumber);

    register_configured_layer_kind(LayerLineLabel, label_factory);
    XrMap other;
    auto cfg = config_from(xr_map_config_text({def("road", 1, "linelabel")}));
    ASSERT_EQ(cfg->open_key(L"\\map"), XrConfiguration::OK);
    XrMapConfigContext ctx;
    EXPECT_EQ(read_map_configuration(&other, cfg.get(), ctx, nullptr), MapConfigOk);
    register_configured_layer_kind(LayerLineLabel, nullptr);
    auto* road = dynamic_cast<XrMapTxtLayer*>(other.get_layer(XrString(L"road")));
    ASSERT_NE(road, nullptr);
    // "draw_opt" (5) is applied after the factory; the factory saw the default font name.
    EXPECT_EQ(road->get_saved_polygon_tolerance(), 5);
}

TEST_F(ConfigFixture, SectionFailuresEndTheRead)
{
    auto failing = [&](const std::string& text) {
        XrMap m;
        XrMapConfigContext ctx;
        auto cfg = config_from(text);
        cfg->open_key(L"\\map");
        return read_map_configuration(&m, cfg.get(), ctx, nullptr);
    };
    const std::string good = xr_map_config_text({def("a", 1)});
    EXPECT_EQ(failing(good), MapConfigOk);
    // No symbol library key, an unreadable library, no layers key, a broken style.
    std::string t = good;
    t.replace(t.find("[\\map\\symbol_libs]\n"), 19, "");
    EXPECT_EQ(failing(t), MapConfigFailed);
    t = good;
    t.replace(t.find("[\\map\\symbol_libs]\n"), 19, "[\\map\\symbol_libs]\nlib=" + dir + "/nosuch.lib\n");
    EXPECT_EQ(failing(t), MapConfigFailed);
    t = good;
    t.replace(t.find("[\\map\\layers]\n"), 14, "");
    t.replace(t.find("[\\map\\layers\\a]"), 15, "[\\map\\other\\a]");
    EXPECT_EQ(failing(t), MapConfigFailed);
    t = good;
    t.replace(t.find("[\\map\\visual_settings\\city\\lines]\n"), 34, "[\\map\\visual_settings\\city\\lines]\n1=99,99,1\n");
    EXPECT_EQ(failing(t), MapConfigFailed);
}

TEST_F(ConfigFixture, ReloadKeepsTheOldLayerUntilTheNewOneIsRead)
{
    ASSERT_EQ(read({def("a", 1), def("b", 2), def("c", 3)}), MapConfigOk);
    XrLayer* old_b = map.get_layer(XrString(L"b"));
    ASSERT_EQ(config->open_key(L"\\map"), XrConfiguration::OK);
    EXPECT_EQ(reload_layer(&map, XrString(L"b"), config.get(), context, nullptr), 0);
    EXPECT_NE(map.get_layer(XrString(L"b")), old_b);
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(reload_layer(&map, XrString(L"zz"), config.get(), context, nullptr), 1);

    // A definition that no longer gives a layer keeps the one in the map.
    XrLayerDef broken = def("b", 2);
    broken.visual_settings = "gone";
    config = config_from(xr_map_config_text({def("a", 1), broken, def("c", 3)}));
    ASSERT_EQ(config->open_key(L"\\map"), XrConfiguration::OK);
    XrLayer* current = map.get_layer(XrString(L"b"));
    EXPECT_EQ(reload_layer(&map, XrString(L"b"), config.get(), context, nullptr), 1);
    EXPECT_EQ(map.get_layer(XrString(L"b")), current);
}

TEST_F(ConfigFixture, GeneratedCityDrawsAtMost80SeparateTexts)
{
    XrCityOptions options;
    options.origin_x = kCentre.x - 2000;
    options.origin_y = kCentre.y - 2000;
    std::string error;
    ASSERT_TRUE(xr_write_city_map(dir + "/city", options, error)) << error;
    std::string text = XrTempRoot::read_file(dir + "/city/mapcfg.txt");
    config = config_from(text);
    ASSERT_EQ(config->open_key(L"\\map"), XrConfiguration::OK);
    ASSERT_EQ(read_map_configuration(&map, config.get(), context, nullptr), MapConfigOk);
    EXPECT_EQ(names(), (std::vector<std::string>{"wa", "a7", "txt"}));
    view.set_map(&map);
    XrRectangle extent;
    ASSERT_TRUE(view.get_map_extent(extent));
    EXPECT_EQ(view.get_limits(), extent);

    XrDCHandleRec* dc = xr_recording_dc(800, 480);
    for (unsigned scale : {5000u, 20000u, 60000u, 250000u}) {
        ASSERT_TRUE(view.set_center_and_scale(&kCentre, scale, true));
        XrGdiRecording::instance().clear();
        view.draw(dc, nullptr, XrMap::AllLayers, -1, -1);
        const auto texts = XrGdiRecording::instance().find("draw_bidi_text");
        ASSERT_EQ(texts.size() % 3, 0u);
        EXPECT_LE(texts.size() / 3, 80u) << scale;
        if (scale >= 20000) { // the closest view may fall between the names
            EXPECT_GT(texts.size(), 0u) << scale;
        }
        for (size_t i = 2; i < texts.size(); i += 3)
            for (size_t j = i + 3; j < texts.size(); j += 3) {
                const XrRectangle a(static_cast<int>(texts[i]->args[0]), static_cast<int>(texts[i]->args[1]),
                                    static_cast<int>(texts[i]->args[2]), static_cast<int>(texts[i]->args[3]));
                const XrRectangle b(static_cast<int>(texts[j]->args[0]), static_cast<int>(texts[j]->args[1]),
                                    static_cast<int>(texts[j]->args[2]), static_cast<int>(texts[j]->args[3]));
                EXPECT_FALSE(a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom)
                    << scale << ": overlapping labels";
            }
        EXPECT_GT(XrGdiRecording::instance().count("draw_polygon_outlined"), 0) << scale;
        EXPECT_GT(XrGdiRecording::instance().count("draw_polyline"), 0) << scale;
    }
    XrGDI::delete_dc(dc);
}

} // namespace
