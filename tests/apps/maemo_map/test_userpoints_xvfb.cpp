// The user's points and the map's POIs on the navigator's map: a favourite
// (among 441 of them), a roadblock, the parked car and a POI of the demo map
// written onto the card in their own files, drawn at their places by the
// program started as a whole, and found by a tap through the map-view
// provider's hit test.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "apps/apps_common/xr_naviapp.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/geometry/xr_projection.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "navigator_run.h"
#include "tools/mapstyle/xr_pixmap_dc.h"

namespace fs = std::filesystem;

// The font and toolkit libraries keep their caches for the whole process.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

namespace {

struct Place {
    const char* what;
    double lat, lon;
    XrRgb colour; // the icon's main colour
    int type;     // the map point a tap finds
    const wchar_t* name;
    int poi_class;
};

// Around the town centre; the POI is the demo map's "Coral Cafe".
const Place kPlaces[] = {
    {"favourite", 31.0009, -24.0004, {235, 170, 0}, XrMapPoint::TypeFavourite, L"Harbour view", 0},
    {"roadblock", 30.9994, -23.9979, {220, 0, 0}, XrMapPoint::TypeRoadblock, nullptr, 0},
    {"parked car", 31.0010, -23.9978, {0, 150, 150}, XrMapPoint::TypeCarPark, nullptr, 0},
    {"POI", 30.9986525, -24.0015720, {150, 90, 50}, XrMapPoint::TypePoi, L"Coral Cafe", 4},
};
constexpr double kCentreLat = 31.0000, kCentreLon = -24.0000;
constexpr int kScale = 16000;
constexpr int kFavourites = 441;

std::string mapdata(const XrTempRoot& root) { return root.dir() + "/media/mmc2/map/mapdata"; }

void write_file(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

void put_le32(std::string& out, int v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((static_cast<unsigned>(v) >> (8 * i)) & 0xFF));
}

// The user's files as the providers write them, and the saved view.
void write_user_files(const XrTempRoot& root)
{
    const std::string dir = mapdata(root);
    char line[200];
    // favourites.txt: UTF-8 behind a byte-order mark, "lat|lon|speed dial|name|uid"
    // lines; the one on screen is the last of many spread over the island.
    std::string favourites = "\xEF\xBB\xBF";
    for (int i = 0; i < kFavourites - 1; ++i) {
        std::snprintf(line, sizeof line, "%1.10f|%1.10f|0|Spot %d|\r\n", 30.990 + 0.0005 * (i % 21),
                      -24.035 + 0.0005 * (i / 21), i);
        favourites += line;
    }
    std::snprintf(line, sizeof line, "%1.10f|%1.10f|0|Harbour view\r\n", kPlaces[0].lat, kPlaces[0].lon);
    favourites += line;
    write_file(dir + "/favourites.txt", favourites);

    // blks.bin: 9-byte records (kind 0, x and y in the map's units).
    std::unique_ptr<XrProjection> projection(create_projection(XrString(L"wgs84://-24,1,-500000,0")));
    ASSERT_NE(projection, nullptr);
    int x = 0, y = 0;
    ASSERT_TRUE(projection->to_map(kPlaces[1].lon, kPlaces[1].lat, x, y));
    std::string blocks(1, '\0');
    put_le32(blocks, x);
    put_le32(blocks, y);
    write_file(dir + "/blks.bin", blocks);

    // parking.txt: REGEDIT4 text, key "\parking".
    std::snprintf(line, sizeof line, "REGEDIT4\r\n\r\n[\\parking]\r\nparked=1\r\ntime=1700000000\r\nposition=%1.10f|%1.10f\r\n",
                  kPlaces[2].lat, kPlaces[2].lon);
    write_file(dir + "/parking.txt", line);

    std::snprintf(line, sizeof line, "REGEDIT4\r\n\r\n[\\settings]\r\ndefaultview=%f|%f|%d|0|2|0\r\n", kCentreLat,
                  kCentreLon, kScale);
    write_file(dir + "/map_settings_v2.txt", line);
}

// Pixels near (x, y) (within 8) of about the colour.
int near_colour(GdkPixbuf* pb, int x, int y, const XrRgb& c)
{
    int n = 0;
    for (int yy = y - 8; yy <= y + 8; ++yy)
        for (int xx = x - 8; xx <= x + 8; ++xx) {
            if (xx < 0 || yy < 0 || xx >= gdk_pixbuf_get_width(pb) || yy >= gdk_pixbuf_get_height(pb))
                continue;
            const XrRgb p = xr_pixel(pb, xx, yy);
            n += std::abs(p.r - c.r) < 30 && std::abs(p.g - c.g) < 30 && std::abs(p.b - c.b) < 30;
        }
    return n;
}

class InProcessApp : public XrNaviApp {
public:
    void create_position_provider() override {}
    void exit_application() override {}
    bool show_route_query(const char* title, const char* text, bool ask) override
    {
        notes.push_back(std::string(ask ? "ask " : "note ") + (title != nullptr ? title : "") + ": " + text);
        return answer;
    }
    void set_screen(const XrSize& size)
    {
        map_view.set_screen_size(size);
        map_view.set_visible_rect(XrRectangle(0, 0, size.width, size.height));
    }
    std::vector<std::string> notes;
    bool answer = false;
};

class UserPointsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(display.ok());
        root.make_dirs("/media/mmc2");
    }
    XrOwnDisplay display;
    XrTempRoot root;
    XrNavigatorRun run{root};
};

TEST_F(UserPointsTest, FavouriteRoadblockParkedCarAndPoiAreDrawnAndTappable)
{
    // A first start prepares the card with the demo map.
    run.start();
    ASSERT_TRUE(run.wait_screen(30, [&](GdkPixbuf* pb) {
        return fs::exists(mapdata(root) + "/graph.bin") && xr_is_land(xr_pixel(pb, 300, 150));
    })) << run.output();
    ASSERT_EQ(run.terminate(), 0) << run.output();
    write_user_files(root);

    // In this process, on the same card: where each place lies on the
    // navigator's screen, what the map draws there, and what a tap finds.
    std::vector<XrPoint> screen;
    {
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
        XrFontRepositoryMaemo fonts;
        fonts.initialize();
        XrSingleton::set_instance(XrString(L"XrFontRepository"), &fonts);
        // The window opens in its windowed layout and goes full screen
        // after the providers are built, as in the program.
        InProcessApp app;
        app.set_screen(XrMapWindow::get_view_size_of(1));
        ASSERT_TRUE(app.construct());
        app.set_screen(XrMapWindow::get_view_size_of(0));
        XrMapView& view = app.get_map_view();
        ASSERT_NEAR(static_cast<double>(view.get_scale_value()), kScale, kScale * 0.01); // the saved view
        XrProjection* projection = XrMapProvider::get_instance()->get_projection();
        const XrSize size(view.get_screen_width(), view.get_screen_height());
        XrPixmapDC target(size.width, size.height);
        view.draw(target.dc, nullptr, XrMap::AllLayers, -1, -1);
        GdkPixbuf* drawn = gdk_pixbuf_get_from_drawable(nullptr, target.pixmap, gdk_colormap_get_system(), 0, 0, 0, 0,
                                                        size.width, size.height);
        ASSERT_NE(drawn, nullptr);
        XrMapViewProvider* views = XrMapViewProvider::get_instance();
        ASSERT_NE(views, nullptr);
        for (const Place& p : kPlaces) {
            const XrPoint world = XrCoordinate(p.lon, p.lat).to_point(projection);
            int sx = 0, sy = 0;
            view.world_to_screen_2d(world.x, world.y, sx, sy);
            ASSERT_TRUE(sx > 20 && sy > 20 && sx < size.width - 20 && sy < size.height - 20)
                << p.what << " at " << sx << "," << sy;
            screen.push_back(XrPoint(sx, sy));
            EXPECT_GE(near_colour(drawn, sx, sy, p.colour), 20) << p.what << " at " << sx << "," << sy;
            std::unique_ptr<XrMapPoint> hit(views->get_mappoint_by_screen_coordinate(XrPoint(sx + 3, sy - 2), 8));
            ASSERT_NE(hit, nullptr) << p.what;
            EXPECT_EQ(hit->get_type(), p.type) << p.what;
            if (p.type == XrMapPoint::TypeFavourite) {
                EXPECT_TRUE(static_cast<XrFavourite*>(hit.get())->get_name() == XrString(p.name));
            } else if (p.type == XrMapPoint::TypePoi) {
                // A POI of the map's own data: its class and its name.
                EXPECT_EQ(static_cast<XrPoi*>(hit.get())->get_class_id(), p.poi_class);
                EXPECT_TRUE(static_cast<XrPoi*>(hit.get())->get_name() == XrString(p.name));
            }
        }
        g_object_unref(drawn);
        // Between the places: nothing to find.
        std::unique_ptr<XrMapPoint> none(views->get_mappoint_by_screen_coordinate(XrPoint(5, size.height - 5), 2));
        EXPECT_EQ(none, nullptr);
        app.destroy_providers();
        XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
    }
    write_user_files(root);

    // The program as a whole shows them at those places.
    run.start();
    const bool shown = run.wait_screen(30, [&](GdkPixbuf* pb) {
        for (size_t i = 0; i < screen.size(); ++i)
            if (near_colour(pb, screen[i].x, screen[i].y, kPlaces[i].colour) < 20)
                return false;
        return true;
    });
    if (!shown) {
        if (GdkPixbuf* pb = run.screenshot()) {
            for (size_t i = 0; i < screen.size(); ++i)
                ADD_FAILURE() << kPlaces[i].what << " at " << screen[i].x << "," << screen[i].y << ": "
                              << near_colour(pb, screen[i].x, screen[i].y, kPlaces[i].colour) << " pixels";
            g_object_unref(pb);
        }
    }
    EXPECT_TRUE(shown) << run.output();
    EXPECT_EQ(run.terminate(), 0) << run.output();
}

} // namespace
