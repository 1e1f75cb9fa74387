#include "tools/imagegen/imagegen.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

// Fontconfig keeps its font patterns in caches that it never frees.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace fs = std::filesystem;

namespace {

class ImageGen : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/imagegen.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { fs::remove_all(dir); }

    // ARGB of one pixel of a written PNG (premultiplied as cairo keeps it).
    static uint32_t pixel(const std::string& png, int x, int y)
    {
        cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
        EXPECT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
        const unsigned char* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        uint32_t v = *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4);
        cairo_surface_destroy(s);
        return v;
    }

    std::string dir;
};

TEST_F(ImageGen, DrawsShapesInColourOnTransparent)
{
    XrImageGenResult r = xr_generate_images(
        "# two icons in a strip\n"
        "image strip.png 40 20\n"
        "color 255 0 0\n"
        "fill rect 2 2 16 16\n"
        "translate 20 0\n"
        "color 0 0 255\n"
        "fill circle 10 10 6\n"
        "image second.png 8 8\n"
        "color 0 255 0 255\n"
        "width 2\n"
        "line 0 4 8 4\n",
        "t.desc", dir);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.written.size(), 2u);
    const std::string strip = dir + "/strip.png";
    EXPECT_EQ(pixel(strip, 10, 10), 0xFFFF0000u);
    EXPECT_EQ(pixel(strip, 30, 10), 0xFF0000FFu);
    EXPECT_EQ(pixel(strip, 0, 0), 0u);    // untouched: transparent
    EXPECT_EQ(pixel(strip, 39, 0), 0u);   // corner of the circle's cell
    EXPECT_EQ(pixel(dir + "/second.png", 4, 4), 0xFF00FF00u);
    EXPECT_EQ(pixel(dir + "/second.png", 4, 0), 0u);
}

TEST_F(ImageGen, TextAndStrokesLeaveInkWhereAsked)
{
    XrImageGenResult r = xr_generate_images(
        "image t.png 60 30\ncolor 0 0 0\ntextc 30 22 18 \"W\"\nwidth 3\nstroke rrect 1 1 58 28 6\n",
        "t.desc", dir);
    ASSERT_TRUE(r.ok) << r.error;
    int inked = 0;
    for (int x = 20; x < 40; ++x)
        for (int y = 8; y < 22; ++y)
            inked += (pixel(dir + "/t.png", x, y) >> 24) > 128;
    EXPECT_GT(inked, 20);
    EXPECT_EQ(pixel(dir + "/t.png", 30, 1) >> 24, 0xFFu);  // top edge of the frame
    EXPECT_EQ(pixel(dir + "/t.png", 5, 26) >> 24, 0u);     // inside the frame, away from the glyph
}

TEST_F(ImageGen, RefusesBadDescriptionsWithTheirLine)
{
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"fill rect 0 0 1 1\n", "t.desc:1: drawing before the first \"image\" line"},
        {"image a.png 4 4\nfill square 0 0 1\n", "t.desc:2: bad square (shape or number of values)"},
        {"image a.png 4 4\nfill rect 0 0 1\n", "t.desc:2: bad rect (shape or number of values)"},
        {"image ../a.png 4 4\n", "t.desc:1: image name must be a plain NAME.png"},
        {"image a.bmp 4 4\n", "t.desc:1: image name must be a plain NAME.png"},
        {"image a.png 0 4\n", "t.desc:1: image size must be whole numbers 1..8192"},
        {"image a.png 4 4\ncolor 300 0 0\n", "t.desc:2: colour values are 0..255"},
        {"image a.png 4 4\nline 0 x 1 1\n", "t.desc:2: bad number \"x\""},
        {"image a.png 4 4\ntext 0 0 10 \"open\n", "t.desc:2: unterminated text"},
        {"image a.png 4 4\nspin 1\n", "t.desc:2: unknown command \"spin\""},
    };
    for (const Case& c : cases) {
        XrImageGenResult r = xr_generate_images(c.text, "t.desc", dir);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_EQ(r.error, c.error) << c.text;
    }
    // Nothing half-written is left behind by a failed description.
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().extension(), ".png") << e.path();
}

} // namespace
