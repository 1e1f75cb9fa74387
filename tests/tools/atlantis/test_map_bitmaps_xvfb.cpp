// The map bitmaps as the build stages them: their index resolves the ids of
// the POI icon strips, the note symbol, the dot and the route layer's signs,
// and kestrova-probe render draws Atlantis's POIs with those icons.
#include <gtest/gtest.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdlib>
#include <string>

#include "common/bmloader/xr_bitmap_loader.h"
#include "common/gdi/gdi_test_dc.h"
#include "support/xr_command_run.h"
#include "support/xr_temp_root.h"

namespace {

const std::string IMAGES = std::string(XR_STAGE_DIR) + "/usr/share/kestrova/images";

TEST(MapBitmaps, TheIndexResolvesTheMapIcons)
{
    if (!xr_test_gdk_ready())
        GTEST_SKIP() << "no X display";
    ASSERT_TRUE(XrBitmapLoader::initialize(XrString(IMAGES.c_str()), XrString(L"maemo")));
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString(L"map_bitmaps.def")));
    // The POI strips (small, normal, large): one square icon per class
    // 0..92; the user's points (roadblock, favourite) have strips of two.
    const struct {
        unsigned int id;
        int side;
        int icons;
    } strips[] = {{0x49A7006B, 20, 93}, {0x49A70069, 24, 93}, {0x49A7006E, 32, 93},
                  {0x49A70073, 20, 2},  {0x49A70071, 24, 2},  {0x49A70072, 32, 2}};
    for (const auto& s : strips) {
        XrIcon icon;
        ASSERT_TRUE(XrBitmapLoader::load_bitmap_internal(s.id, icon, false)) << std::hex << s.id;
        EXPECT_EQ(icon.height(), s.side);
        EXPECT_EQ(icon.width(), s.icons * s.side);
        EXPECT_NE(icon.mask(), nullptr);
    }
    // The note symbol, the dot and a route layer sign.
    for (unsigned int id : {0x49A70068u, 0x49A7006Du, 0x6DB20009u}) {
        XrIcon icon;
        EXPECT_TRUE(XrBitmapLoader::load_bitmap_internal(id, icon, false)) << std::hex << id;
        EXPECT_GT(icon.width(), 0);
    }
    XrBitmapLoader::shutdown();
}

TEST(MapBitmaps, RenderedPoisShowTheirClassIcons)
{
    XrTempRoot root;
    const std::string png = root.dir() + "/cafe.png";
    // Coral Cafe (class 4, a brown icon) in the middle of the picture.
    const XrCommandRun r = xr_run_command("KESTROVA_ROOT=" + std::string(XR_STAGE_DIR) + " " + XR_PROBE_PROGRAM +
                                          " render " + XR_ATLANTIS_DIR +
                                          " --center 30.998653,-24.001571 --scale 8000 --size 200x200 -o " + png);
    ASSERT_EQ(r.status, 0) << r.out;
    GdkPixbuf* pb = gdk_pixbuf_new_from_file(png.c_str(), nullptr);
    ASSERT_NE(pb, nullptr);
    const int n = gdk_pixbuf_get_n_channels(pb), stride = gdk_pixbuf_get_rowstride(pb);
    const guchar* p = gdk_pixbuf_get_pixels(pb);
    int brown = 0;
    for (int y = 90; y < 110; ++y)
        for (int x = 90; x < 110; ++x) {
            const guchar* q = p + y * stride + x * n;
            brown += std::abs(q[0] - 150) < 25 && std::abs(q[1] - 90) < 25 && std::abs(q[2] - 50) < 25;
        }
    g_object_unref(pb);
    EXPECT_GT(brown, 100) << "no cafe icon at the centre";
}

} // namespace
