// XrFontTextLayout drawing real text on an off-screen pixmap.
#include <gtest/gtest.h>

#include <gdk/gdk.h>

#include "common/gdi/xr_gdi.h"
#include "common/gdi/xr_textlayout.h"

// Fontconfig keeps its font patterns in caches that it never frees.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 100;

class FontTextLayoutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(gdk_init_check(nullptr, nullptr)) << "no X display"; }

    void SetUp() override
    {
        pixmap = gdk_pixmap_new(gdk_get_default_root_window(), kWidth, kHeight, -1);
        dc = XrDCHandleRec{};
        dc.drawable = pixmap;
        dc.gc = gdk_gc_new(pixmap);
        dc.layout = pango_layout_new(gdk_pango_context_get());
        dc.context = pango_layout_get_context(dc.layout);
        dc.pen.style = XrPenHandle::Null;
        dc.pen.width = 1;
        dc.brush.null_marker = XrBrushHandle::NullMarker;
        dc.transparent_text = 1;
        font = XrGDI::create_font(L"Arial", 13, 1, false);
        fill(0, 0, 255);
    }

    void TearDown() override
    {
        XrGDI::delete_font(font);
        g_object_unref(dc.layout);
        g_object_unref(dc.gc);
        g_object_unref(pixmap);
    }

    void fill(int r, int g, int b)
    {
        XrBrushHandle brush = XrGDI::create_brush(XrGDI::BrushSolid, r, g, b);
        gdk_gc_set_foreground(dc.gc, &brush.color);
        gdk_draw_rectangle(pixmap, dc.gc, TRUE, 0, 0, kWidth, kHeight);
    }

    // Counts the pixels of one colour inside the rectangle.
    int count(int r, int g, int b, const XrRectangle& area = XrRectangle(0, 0, kWidth, kHeight))
    {
        GdkPixbuf* pb = gdk_pixbuf_get_from_drawable(nullptr, pixmap, gdk_colormap_get_system(), 0, 0, 0, 0,
                                                     kWidth, kHeight);
        const int stride = gdk_pixbuf_get_rowstride(pb);
        const int channels = gdk_pixbuf_get_n_channels(pb);
        const guchar* px = gdk_pixbuf_get_pixels(pb);
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                const guchar* p = px + y * stride + x * channels;
                if (p[0] == r && p[1] == g && p[2] == b)
                    ++n;
            }
        }
        g_object_unref(pb);
        return n;
    }

    GdkPixmap* pixmap = nullptr;
    XrDCHandleRec dc{};
    XrFontHandleRec* font = nullptr;
};

TEST_F(FontTextLayoutTest, DrawsInTheDcTextColour)
{
    XrFontTextLayout layout(font, XrRectangle(10, 10, 190, 90));
    layout.set_dc(&dc);
    XrGDI::set_text_color(&dc, XrGDI::rgb(0, 255, 0));
    EXPECT_EQ(layout.draw(XrString(L"Hello"), nullptr, 0), XrTextLayout::Ok);
    EXPECT_GT(count(0, 255, 0), 10);
    EXPECT_EQ(count(255, 0, 0), 0);
    // Nothing left of or above the layout's corner.
    EXPECT_EQ(count(0, 255, 0, XrRectangle(0, 0, 10, kHeight)), 0);
    EXPECT_EQ(count(0, 255, 0, XrRectangle(0, 0, kWidth, 10)), 0);
}

TEST_F(FontTextLayoutTest, HaloSurroundsTheText)
{
    XrFontTextLayout layout(font, XrRectangle(10, 10, 190, 90));
    layout.set_dc(&dc);
    layout.set_halo(XrGDI::rgb(255, 0, 0), XrGDI::rgb(0, 255, 0));
    EXPECT_EQ(layout.draw(XrString(L"Hello"), nullptr, 2), XrTextLayout::Ok);
    EXPECT_GT(count(255, 0, 0), 10);
    EXPECT_GT(count(0, 255, 0), 10);
    // The halo reaches one pixel beyond the glyphs, not more.
    EXPECT_EQ(count(255, 0, 0, XrRectangle(0, 0, kWidth, 8)), 0);
}

TEST_F(FontTextLayoutTest, MeasuresWrappedLinesInTheFont)
{
    int w = 0, h = 0;
    XrGDI::get_text_size(font, L"Xij", &w, &h);
    ASSERT_GT(h, 0);
    const int line = static_cast<int>(h * 1.2);

    int word_w = 0;
    XrGDI::get_text_size(font, L"wordy ", &word_w, &h);
    // Room for one word and a half per line.
    XrFontTextLayout layout(font, XrRectangle(0, 0, word_w + word_w / 2, 1000));
    XrTextLayout::XrMeasurement m;
    EXPECT_EQ(layout.measure(XrString(L"wordy wordy wordy"), &m, nullptr, 0), XrTextLayout::Ok);
    EXPECT_EQ(m.height, 3 * line);
    EXPECT_EQ(m.rect.left, 0);
    EXPECT_EQ(m.rect.bottom, 3 * line);
    EXPECT_LE(m.rect.right, word_w + word_w / 2);
}

TEST_F(FontTextLayoutTest, LinesAreClippedToTheRightAndBottom)
{
    int w = 0, h = 0;
    XrGDI::get_text_size(font, L"Overflowing", &w, &h);
    ASSERT_GT(w, 40);
    struct {
        const char* name;
        XrRectangle dc_clip; // all zero: none
        bool halo;
    } cases[] = {
        {"no clip", XrRectangle(), false},
        {"halo", XrRectangle(), true},
        {"inside the DC's clip", XrRectangle(0, 0, 150, 100), false},
    };
    for (const auto& c : cases) {
        fill(0, 0, 255);
        // A word wider than the layout stands alone and overflows it; the
        // layout is as high as one line and a half.
        const XrRectangle rect(10, 10, 10 + w / 2, 10 + h + h / 2);
        XrFontTextLayout layout(font, rect);
        layout.set_dc(&dc);
        if (c.dc_clip.right != 0)
            XrGDI::set_clip_rect(&dc, c.dc_clip);
        else
            XrGDI::clear_clip_rect(&dc);
        if (c.halo)
            layout.set_halo(XrGDI::rgb(255, 0, 0), XrGDI::rgb(0, 255, 0));
        else
            XrGDI::set_text_color(&dc, XrGDI::rgb(0, 255, 0));
        EXPECT_EQ(layout.draw(XrString(L"Overflowing"), nullptr, 0), XrTextLayout::Ok) << c.name;
        EXPECT_GT(count(0, 255, 0, rect), 10) << c.name;
        EXPECT_EQ(count(0, 0, 255, XrRectangle(rect.right, 0, kWidth, kHeight)), (kWidth - rect.right) * kHeight)
            << c.name;
        EXPECT_EQ(count(0, 0, 255, XrRectangle(0, rect.bottom, kWidth, kHeight)), kWidth * (kHeight - rect.bottom))
            << c.name;
        // The DC's own clip is back afterwards.
        EXPECT_EQ(dc.clip, c.dc_clip) << c.name;
    }
}

TEST_F(FontTextLayoutTest, DrawingWithoutDcIsFatal)
{
    // GDK runs threads of its own: the child must start afresh.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    XrFontTextLayout layout(font, XrRectangle(0, 0, 100, 100));
    EXPECT_DEATH(layout.draw(XrString(L"x"), nullptr, 0), "dc");
}

} // namespace
