// Areas with holes: multipolygons compiled with their inner rings and drawn
// through the map layers with those rings left open.
#include <gtest/gtest.h>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <array>
#include <filesystem>
#include <string>

#include "support/xr_command_run.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/compile_osm.h"
#include "tools/mapgen/xr_osm_text_test.h"

namespace fs = std::filesystem;

namespace {

using Rgb = std::array<int, 3>;

// A square way of four new nodes (ids from first_node) around a centre.
void square(OsmText& o, int way, int first_node, double east, double north, double half,
            const std::map<std::string, std::string>& tags = {})
{
    o.node(first_node, east - half, north - half);
    o.node(first_node + 1, east + half, north - half);
    o.node(first_node + 2, east + half, north + half);
    o.node(first_node + 3, east - half, north + half);
    o.way(way, {first_node, first_node + 1, first_node + 2, first_node + 3, first_node}, tags);
}

// The colour at the centre of a small picture of the map centred on a place.
bool centre_colour(const std::string& map, const std::string& png, double east, double north, Rgb& out,
                   std::string& error)
{
    const XrCommandRun r = xr_run_command("KESTROVA_ROOT=" + std::string(XR_STAGE_DIR) + " " + XR_PROBE_PROGRAM +
                                          " render " + map + " --center " + OsmText::at(east, north) +
                                          " --scale 5000 --size 60x60 -o " + png);
    if (r.status != 0) {
        error = r.out;
        return false;
    }
    GdkPixbuf* pb = gdk_pixbuf_new_from_file(png.c_str(), nullptr);
    if (pb == nullptr) {
        error = "no picture";
        return false;
    }
    const guchar* p = gdk_pixbuf_get_pixels(pb) + 30 * gdk_pixbuf_get_rowstride(pb) + 30 * gdk_pixbuf_get_n_channels(pb);
    out = {p[0], p[1], p[2]};
    g_object_unref(pb);
    return true;
}

TEST(CompileAreas, HolesOfLakesAndForestsAreNotFilled)
{
    // A lake of 1 km with an island of 200 m, and beside it a forest of 1 km
    // with a clearing of 200 m, both multipolygons; a road along the south.
    OsmText o;
    o.node(1, -300, -300);
    o.node(2, 2800, -300);
    o.way(1, {1, 2}, {{"highway", "secondary"}, {"name", "Shore Road"}});
    square(o, 10, 100, 500, 500, 500);
    square(o, 11, 110, 500, 500, 100);
    o.multipolygon(1000, {10}, {11}, {{"natural", "water"}, {"name", "Lake"}});
    square(o, 20, 200, 2000, 500, 500);
    square(o, 21, 210, 2000, 500, 100);
    o.multipolygon(1001, {20}, {21}, {{"landuse", "forest"}});

    XrTempRoot root;
    const std::string in = root.write_file("/in/holes.osm", o.text());
    const std::string map = root.dir() + "/out/holes";
    fs::create_directories(root.dir() + "/out");
    XrCompileOptions options;
    XrCompileStats stats;
    std::string error;
    ASSERT_TRUE(xr_compile_osm_file(in, map, options, stats, error)) << error;
    EXPECT_EQ(stats.areas, 2);

    struct Place {
        const char* what;
        double east, north;
        Rgb colour{};
    };
    Place places[] = {
        {"land", 1250, 500}, {"lake", 150, 500}, {"island", 500, 500}, {"forest", 1650, 500}, {"clearing", 2000, 520},
    };
    for (Place& p : places) {
        SCOPED_TRACE(p.what);
        ASSERT_TRUE(centre_colour(map, root.dir() + "/" + p.what + ".png", p.east, p.north, p.colour, error))
            << error;
    }
    const Rgb& land = places[0].colour;
    EXPECT_NE(places[1].colour, land) << "the lake is not drawn";
    EXPECT_NE(places[3].colour, land) << "the forest is not drawn";
    EXPECT_NE(places[1].colour, places[3].colour);
    EXPECT_EQ(places[2].colour, land) << "the island is drawn as water";
    EXPECT_EQ(places[4].colour, land) << "the clearing is drawn as forest";
}

} // namespace
