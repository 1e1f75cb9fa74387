// The POI icon images drawn at build time: strips of square icons with the
// same icons in three sizes, the dot and the note symbol.
#include <gtest/gtest.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <memory>
#include <string>

namespace {

struct PixbufUnref {
    void operator()(GdkPixbuf* p) const { g_object_unref(p); }
};
using Pixbuf = std::unique_ptr<GdkPixbuf, PixbufUnref>;

Pixbuf load(const std::string& name)
{
    const std::string path = std::string(XR_POI_IMAGES) + "/" + name + ".png";
    return Pixbuf(gdk_pixbuf_new_from_file(path.c_str(), nullptr));
}

// 0xRRGGBBAA.
unsigned pixel(GdkPixbuf* p, int x, int y)
{
    const guchar* q = gdk_pixbuf_get_pixels(p) + y * gdk_pixbuf_get_rowstride(p) + x * gdk_pixbuf_get_n_channels(p);
    return (q[0] << 24) | (q[1] << 16) | (q[2] << 8) | q[3];
}

// The opaque colour of icon n's group of ten.
unsigned group_colour(int n)
{
    static const unsigned groups[] = {0x285AC8FF, 0x1E963CFF, 0xC82828FF, 0xE68214FF,
                                      0x823CAAFF, 0x008C96FF, 0x825A32FF};
    return groups[(n / 10) % 7];
}

TEST(PoiIcons, StripsHoldTheSameIconsInThreeSizes)
{
    struct Case {
        const char* name;
        int side;
        int icons;
    };
    const Case cases[] = {
        {"poi_small", 16, 70},      {"poi_medium", 24, 70},      {"poi_large", 32, 70},
        {"poi_set2_small", 16, 2},  {"poi_set2_medium", 24, 2},  {"poi_set2_large", 32, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pixbuf p = load(c.name);
        ASSERT_NE(p, nullptr);
        ASSERT_TRUE(gdk_pixbuf_get_has_alpha(p.get()));
        EXPECT_EQ(gdk_pixbuf_get_height(p.get()), c.side);
        EXPECT_EQ(gdk_pixbuf_get_width(p.get()), c.side * c.icons);
        for (int n = 0; n < c.icons; ++n) {
            const int x0 = n * c.side, inset = c.side * 5 / 32;
            // Transparent corners (masked out when drawn), the group's
            // colour inside, a white glyph in the middle (the ring, 7, and
            // the two dots, 9, leave it free).
            EXPECT_LT(pixel(p.get(), x0, 0) & 0xFF, 50u) << n;
            EXPECT_LT(pixel(p.get(), x0 + c.side - 1, c.side - 1) & 0xFF, 50u) << n;
            EXPECT_EQ(pixel(p.get(), x0 + inset, inset), group_colour(n)) << n;
            EXPECT_EQ(pixel(p.get(), x0 + c.side - 1 - inset, c.side - 1 - inset), group_colour(n)) << n;
            const unsigned middle = pixel(p.get(), x0 + c.side / 2, c.side / 2);
            EXPECT_EQ(middle == 0xFFFFFFFF, n % 10 != 7 && n % 10 != 9) << n;
        }
    }
}

TEST(PoiIcons, DotAndNoteSymbol)
{
    Pixbuf dot = load("poi_dot"), symbol = load("poi_note_symbol");
    ASSERT_NE(dot, nullptr);
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(dot.get()), 6);
    EXPECT_EQ(gdk_pixbuf_get_height(dot.get()), 6);
    EXPECT_EQ(pixel(dot.get(), 3, 3), 0x283C8CFFu);
    EXPECT_LT(pixel(dot.get(), 0, 0) & 0xFF, 50u);
    EXPECT_EQ(gdk_pixbuf_get_width(symbol.get()), 12);
    EXPECT_EQ(gdk_pixbuf_get_height(symbol.get()), 12);
    EXPECT_EQ(pixel(symbol.get(), 6, 7), 0xFFFFFFFFu); // the "i"
    EXPECT_EQ(pixel(symbol.get(), 3, 6), 0x285AC8FFu);
    EXPECT_LT(pixel(symbol.get(), 0, 0) & 0xFF, 50u);
}

} // namespace
