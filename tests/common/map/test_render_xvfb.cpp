// kestrova-probe render on a generated city: pixel probes of areas,
// casings and labels in the PNG it writes.
#include <gtest/gtest.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdlib>
#include <string>

#include "support/xr_temp_root.h"
#include "tools/mapstyle/city_gen.h"

namespace {

struct Image {
    explicit Image(const std::string& path) { pixbuf = gdk_pixbuf_new_from_file(path.c_str(), nullptr); }
    ~Image()
    {
        if (pixbuf != nullptr)
            g_object_unref(pixbuf);
    }
    // 0xRRGGBB.
    unsigned at(int x, int y) const
    {
        const guchar* p = gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) +
                          x * gdk_pixbuf_get_n_channels(pixbuf);
        return (p[0] << 16) | (p[1] << 8) | p[2];
    }
    int count(unsigned rgb, int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += at(x, y) == rgb;
        return n;
    }
    GdkPixbuf* pixbuf = nullptr;
};

constexpr unsigned kBackground = 0xF5F0E6, kBuilding = 0xDCC8B4, kPark = 0xAADC96, kMotorway = 0xFAC83C,
                   kCasing = 0x503C28, kText = 0x000000, kStreet = 0xFFFFFF;

struct RenderFixture : ::testing::Test {
    RenderFixture()
    {
        map_dir = root.make_dirs("/media/mmc1/map/city");
        XrCityOptions options;
        EXPECT_TRUE(xr_centre_city(options, "wgs84://25,1,0,0", 24.94, 60.17));
        std::string error;
        EXPECT_TRUE(xr_write_city_map(map_dir, options, error)) << error;
        probe = XR_PROBE_PATH;
    }
    int render(const std::string& args, const std::string& out)
    {
        const std::string cmd = probe + " render " + map_dir + " " + args + " -o " + out + " >/dev/null 2>&1";
        const int rc = std::system(cmd.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }

    XrTempRoot root;
    std::string map_dir;
    std::string probe;
};

// At scale 20000 one unit is 0.8 pixels: the city's streets run every 80
// pixels (x = 80 a motorway), blocks between them.
TEST_F(RenderFixture, FlatViewShowsAreasCasingsAndLabels)
{
    const std::string png = root.dir() + "/flat.png";
    ASSERT_EQ(render("--center 60.17,24.94 --scale 20000 --size 800x480", png), 0);
    Image img(png);
    ASSERT_NE(img.pixbuf, nullptr);
    ASSERT_EQ(gdk_pixbuf_get_width(img.pixbuf), 800);
    ASSERT_EQ(gdk_pixbuf_get_height(img.pixbuf), 480);
    EXPECT_EQ(img.at(100, 296), kBuilding);
    EXPECT_EQ(img.at(360, 360), kPark);
    EXPECT_EQ(img.at(120, 296), kBackground);
    // The motorway: yellow inside, casing at its edges.
    EXPECT_EQ(img.at(80, 280), kMotorway);
    EXPECT_GT(img.count(kCasing, 74, 280, 88, 281), 0);
    // A street: white with casing.
    EXPECT_EQ(img.at(160, 280), kStreet);
    EXPECT_GT(img.count(kCasing, 154, 280, 168, 281), 0);
    // Labels: black text on white halos.
    EXPECT_GT(img.count(kText, 0, 0, 800, 480), 100);
}

TEST_F(RenderFixture, RotationAndPerspective)
{
    const std::string turned = root.dir() + "/turned.png";
    ASSERT_EQ(render("--center 60.17,24.94 --scale 20000 --rotation 90", turned), 0);
    Image img(turned);
    ASSERT_NE(img.pixbuf, nullptr);
    // Turned by 90 degrees east points down the screen: the park at
    // (360, 360) moves to (280, 200); the motorway running east-west at
    // 400 units south of the centre now runs down the screen at x = 80.
    EXPECT_EQ(img.at(280, 200), kPark);
    EXPECT_EQ(img.at(80, 280), kMotorway);
    EXPECT_EQ(img.at(500, 400), kStreet);

    const std::string tilted = root.dir() + "/tilted.png";
    ASSERT_EQ(render("--center 60.17,24.94 --scale 20000 --3d", tilted), 0);
    Image img3d(tilted);
    ASSERT_NE(img3d.pixbuf, nullptr);
    // Roads converge towards the horizon; the lower part shows ground.
    EXPECT_GT(img3d.count(kCasing, 0, 240, 800, 480), 1000);
    EXPECT_GT(img3d.count(kBackground, 0, 240, 800, 480), 1000);
}

TEST_F(RenderFixture, BadArgumentsAndMissingMaps)
{
    const std::string png = root.dir() + "/x.png";
    EXPECT_EQ(render("--scale 20000", png), 2);
    EXPECT_EQ(render("--center 60.17,24.94 --scale 0", png), 2);
    EXPECT_EQ(render("--center 60.17,24.94 --scale 1000 --size 0x10", png), 2);
    const std::string cmd = probe + " render " + root.dir() + "/nosuch --center 1,2 --scale 1000 -o " + png +
                            " >/dev/null 2>&1";
    const int rc = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(rc), 1);
}

} // namespace
