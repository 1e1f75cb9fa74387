// The image layer of add-on tiles: which tiles it requests for the view,
// and the delivered PNG tiles drawn into real pixels, turned with the map.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/gdi/gdi_test_dc.h"
#include "common/geometry/xr_projection.h"
#include "common/map/xr_imagelayer.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"
#include "tests/support/xr_temp_root.h"
#include "tools/imagegen/imagegen.h"

namespace {

constexpr XrColorHandle kGround = 0xC0C0C0;

// 1024 map units a degree: tiles of the test view are exact binary fractions.
struct TileServices : XrMapEngineServices {
    XrProjection projection{1024.0, 0.0, 0.0};
    int redraws = 0;
    const XrProjection* get_projection() override { return &projection; }
    void request_redraw() override { ++redraws; }
};

struct Request {
    double lon, lat, size;
    int pixels;
};

struct RecordingObserver : XrImageLayerObserver {
    std::vector<std::string>* log;
    std::string name;
    std::vector<Request> requests;
    RecordingObserver(std::vector<std::string>* log, std::string name) : log(log), name(std::move(name)) {}
    void start_tile_requests() override
    {
        log->push_back(name + " start");
        requests.clear();
    }
    void request_tile(double lon, double lat, double size, int pixels) override
    {
        if (requests.empty())
            log->push_back(name + " request");
        requests.push_back({lon, lat, size, pixels});
    }
    bool asked(double lon, double lat) const
    {
        for (const Request& r : requests)
            if (r.lon == lon && r.lat == lat)
                return true;
        return false;
    }
};

// A layer on a clock of the test's.
struct ClockedImageLayer : XrImageLayer {
    using XrImageLayer::XrImageLayer;
    std::uint32_t clock = 5000;
    std::uint32_t now_ms() const override { return clock; }
};

// The test view: 800 x 480 around (10, 50) degrees at scale 10000 (500 x 300
// units, 1.6 pixels a unit); tiles of 500 / 1024 / 10 degrees, 50 units.
const double kTile = 0.048828125;

struct ImageLayerTest : ::testing::Test {
    void SetUp() override
    {
        XR_REQUIRE_DISPLAY();
        set_map_engine_services(&services);
        view.set_screen_size(XrSize(800, 480));
        view.set_visible_rect(XrRectangle(0, 0, 800, 480));
        view.set_default_scale_reference();
        const XrPoint centre(10 * 1024, 50 * 1024);
        ASSERT_TRUE(view.set_center_and_scale(&centre, 10000, true));
        layer = std::make_unique<ClockedImageLayer>(10000, view);
        layer->add_listener(&first);
        layer->add_listener(&second);
        dc = std::make_unique<XrTestDC>(800, 480, kGround);
    }
    void TearDown() override
    {
        layer.reset();
        set_map_engine_services(nullptr);
    }
    // A tile image of the given description lines, 64 x 64.
    std::string tile(const std::string& name, const std::string& body)
    {
        const std::string text = "image " + name + ".png 64 64\n" + body;
        const XrImageGenResult r = xr_generate_images(text, name, root.dir());
        EXPECT_TRUE(r.ok) << r.error;
        return root.dir() + "/" + name + ".png";
    }
    XrTestPixels draw()
    {
        dc->clear(kGround);
        EXPECT_TRUE(layer->draw(dc->dc, &view));
        return XrTestPixels(dc->dc);
    }
    // The screen point of a geographic point.
    XrPoint screen(double lon, double lat)
    {
        const XrPoint w(static_cast<int>(std::lround(lon * 1024)), static_cast<int>(std::lround(lat * 1024)));
        XrPoint s;
        view.world_to_screen_2d(w.x, w.y, s.x, s.y);
        return s;
    }

    XrTempRoot root;
    TileServices services;
    XrMapView view;
    std::vector<std::string> log;
    RecordingObserver first{&log, "first"}, second{&log, "second"};
    std::unique_ptr<ClockedImageLayer> layer;
    std::unique_ptr<XrTestDC> dc;
};

} // namespace

TEST(ImageGrid, StartsAtTheTileBoundaryBelow)
{
    const struct {
        double v, t, start;
    } cases[] = {{-1.2, 0.5, -1.5}, {1.2, 0.5, 1.0}, {-1.5, 0.5, -1.5}, {0.0, 0.5, 0.0}, {-0.1, 0.25, -0.25}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(xr_image_grid_start(c.v, c.t), c.start) << c.v << " / " << c.t;
}

TEST_F(ImageLayerTest, SizesTilesFromTheViewAtItsScale)
{
    EXPECT_DOUBLE_EQ(layer->get_tile_size(), kTile);
    EXPECT_EQ(layer->get_tile_pixels(), 200);
    EXPECT_TRUE(layer->is_double_bufferable());
}

TEST_F(ImageLayerTest, RequestsEveryTileOfTheView)
{
    draw();
    // Each observer is told to start once, before the first request.
    EXPECT_EQ(log, (std::vector<std::string>{"first start", "second start", "first request", "second request"}));
    // Longitude 9.7559 .. 10.2441 from the grid line 9.7168: 11 columns;
    // latitude 49.8535 .. 50.1465 from 49.8535 itself: 6 rows.
    ASSERT_EQ(first.requests.size(), 66u);
    EXPECT_EQ(second.requests.size(), 66u);
    const Request& r = first.requests.front();
    EXPECT_DOUBLE_EQ(r.lon, 199 * kTile);
    EXPECT_DOUBLE_EQ(r.lat, 1021 * kTile);
    EXPECT_DOUBLE_EQ(r.size, kTile);
    EXPECT_EQ(r.pixels, 200);
    EXPECT_TRUE(first.asked(209 * kTile, 1026 * kTile));
    EXPECT_FALSE(first.asked(210 * kTile, 1021 * kTile));
    EXPECT_FALSE(first.asked(199 * kTile, 1027 * kTile));
}

TEST_F(ImageLayerTest, ZoomedOutTooFarRequestsNothing)
{
    // Tiles of a view at scale 4000 are 2.5 times smaller: 25 columns.
    ClockedImageLayer small(4000, view);
    small.add_listener(&first);
    EXPECT_TRUE(small.draw(dc->dc, &view));
    EXPECT_TRUE(log.empty());
}

TEST_F(ImageLayerTest, DeliveredTileIsDrawnTurnedWithTheMap)
{
    // West half red, east half blue.
    const std::string file = tile("half", "color 255 0 0\nfill rect 0 0 32 64\ncolor 0 0 255\nfill rect 32 0 32 64\n");
    const double lon = 204 * kTile, lat = 1024 * kTile; // the tile at the centre
    layer->add_tile(XrString(file.c_str()), lon, lat);
    EXPECT_EQ(services.redraws, 1);

    // (At other angles the turned view spans more than ten tiles.)
    for (int rotation : {0, 90, 180, 270}) {
        SCOPED_TRACE(rotation);
        view.set_rotation(rotation);
        const XrTestPixels px = draw();
        EXPECT_FALSE(first.asked(lon, lat));
        EXPECT_GE(first.requests.size(), 65u);
        // Probes a quarter of the tile west and east of its centre.
        const XrPoint west = screen(lon + kTile / 4, lat + kTile / 2);
        const XrPoint east = screen(lon + 3 * kTile / 4, lat + kTile / 2);
        EXPECT_EQ(px.at(west.x, west.y), kRed) << west.x << "," << west.y;
        EXPECT_EQ(px.at(east.x, east.y), kBlue) << east.x << "," << east.y;
        // Just outside the tile's north edge lies the ground.
        const XrPoint north = screen(lon + kTile / 2, lat + kTile * 1.1);
        EXPECT_EQ(px.at(north.x, north.y), kGround);
    }
    EXPECT_EQ(layer->get_shown_count(), 1);
}

TEST_F(ImageLayerTest, TileThatFailedToLoadIsRequestedAgainLater)
{
    const double lon = 204 * kTile, lat = 1024 * kTile;
    layer->add_tile(XrString((root.dir() + "/missing.png").c_str()), lon, lat);
    draw();
    EXPECT_FALSE(first.asked(lon, lat));
    layer->clock += XrImageLayer::RETRY_MS - 1;
    draw();
    EXPECT_FALSE(first.asked(lon, lat));
    layer->clock += 1;
    draw();
    EXPECT_TRUE(first.asked(lon, lat));
    EXPECT_EQ(layer->get_delivered_count(), 0);

    // Delivered again, now readable.
    const std::string file = tile("green", "color 0 255 0\nfill rect 0 0 64 64\n");
    layer->add_tile(XrString(file.c_str()), lon, lat);
    const XrTestPixels px = draw();
    EXPECT_FALSE(first.asked(lon, lat));
    const XrPoint mid = screen(lon + kTile / 2, lat + kTile / 2);
    EXPECT_EQ(px.at(mid.x, mid.y), kGreen);
}

TEST_F(ImageLayerTest, TileOutOfViewGivesItsBitmapBack)
{
    const std::string file = tile("green", "color 0 255 0\nfill rect 0 0 64 64\n");
    const double lon = 204 * kTile, lat = 1024 * kTile;
    layer->add_tile(XrString(file.c_str()), lon, lat);
    draw();
    EXPECT_EQ(layer->get_shown_count(), 1);
    // Two degrees east: out of view, still delivered.
    const XrPoint away(12 * 1024, 50 * 1024);
    ASSERT_TRUE(view.set_center_and_scale(&away, 10000, true));
    draw();
    EXPECT_EQ(layer->get_shown_count(), 0);
    EXPECT_EQ(layer->get_delivered_count(), 1);
    const XrPoint back(10 * 1024, 50 * 1024);
    ASSERT_TRUE(view.set_center_and_scale(&back, 10000, true));
    const XrTestPixels px = draw();
    const XrPoint mid = screen(lon + kTile / 2, lat + kTile / 2);
    EXPECT_EQ(px.at(mid.x, mid.y), kGreen);
}
