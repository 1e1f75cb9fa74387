// The overlay layer during guidance: when its map's route layer holds a
// route it draws neither the centre point nor its own position marker (the
// route layer draws the car), even where no engine services answer for the
// route provider.
#include <gtest/gtest.h>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "common/gdi/gdi_test_dc.h"
#include "common/map/xr_map.h"
#include "common/map/xr_overlaylayer.h"
#include "common/map/xr_routelayer.h"
#include "map_test_support.h"
#include "routelayer_fixture.h"
#include "tests/support/xr_temp_root.h"

using namespace xr_map_test;

namespace {

constexpr XrColorHandle kGround = 0xC0C0C0;
const XrColorHandle kMarker = XrGDI::rgb(255, 0, 0);
const XrColorHandle kCentre = XrGDI::rgb(0, 0, 255);

// A square PNG of one opaque colour.
bool write_square(const std::string& path, int side, guint32 rgba)
{
    GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, side, side);
    gdk_pixbuf_fill(pb, rgba);
    const bool ok = gdk_pixbuf_save(pb, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(pb);
    return ok;
}

TEST(OverlayDuringGuidance, NoMarkerOrCentreWhileTheMapsRouteLayerHasARoute)
{
    XR_REQUIRE_DISPLAY();
    // The network's own folder first: the root of the images is the test's.
    XrRouteMap m(xr_ladder_network());
    XrTempRoot root;
    register_fonts();
    const std::string images = root.make_dirs("/usr/share/kestrova/images");
    ASSERT_TRUE(write_square(images + "/position.png", 12, 0xFF0000FF));
    ASSERT_TRUE(write_square(images + "/center_point.png", 8, 0x0000FFFF));

    XrMap map;
    auto* routes = new XrRouteLayer(nullptr, &map, 1, nullptr, nullptr);
    routes->initialize(m.roads.get(), nullptr);
    ASSERT_TRUE(map.add_layer(routes, XrString(L"route_layer")));
    auto* overlay = new XrOverlayLayer();
    overlay->load_images(); // the pin and highlight images are not needed
    ASSERT_TRUE(map.add_layer(overlay, XrString(L"overlay")));
    XrMapView view(&map);
    set_up_view(view);
    // The car right of the screen's centre.
    overlay->set_position(at(100, 0), 1);
    XrTestDC dc(800, 480, kGround);

    auto draw = [&] {
        dc.clear(kGround);
        overlay->draw(dc.dc, &view);
        return XrTestPixels(dc.dc);
    };
    const XrTestPixels before = draw();
    EXPECT_GT(before.count(kMarker), 100);
    EXPECT_GT(before.count(kCentre), 30);

    XrPtrArray<XrRouteInstructions*> list;
    XrRouteInstructions* route = m.route(XrPoint(100050, 200000), XrPoint(102000, 200950));
    ASSERT_NE(route, nullptr);
    list.append(route);
    routes->set_routes(&list, 0);
    const XrTestPixels during = draw();
    EXPECT_EQ(during.count(kMarker), 0);
    EXPECT_EQ(during.count(kCentre), 0);

    // The route cleared: both come back.
    routes->set_routes(nullptr, 0);
    EXPECT_GT(draw().count(kMarker), 100);
}

} // namespace
