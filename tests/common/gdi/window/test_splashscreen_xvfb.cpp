// Message boxes painted into the map window: placement in the view, the
// plain box and a masked picture, the text area, the hold and the redraw
// afterwards, read back from the X server.
#include "common/bmloader/xr_bitmap.h"
#include "common/gdi/window/xr_splashscreen.h"
#include "common/misc/xr_msgtable.h"
#include "window_test_support.h"

namespace {

constexpr XrColorHandle kBox = 0x5A3C28;     // r 40, g 60, b 90: the plain box
constexpr XrColorHandle kPicture = 0x2080C0; // r 192, g 128, b 32
constexpr XrColorHandle kWhite = 0xFFFFFF;

class SplashScreenTest : public XrWindowFixture {
protected:
    XrTestPixels screen() const
    {
        gdk_flush();
        return XrTestPixels(GDK_DRAWABLE(area()->window));
    }
    // A 200 x 100 picture, its left half transparent.
    XrBitmap* picture()
    {
        const std::string path = xr_write_png(root->dir() + "/box.png", 200, 100, kPicture, true);
        return XrGDI::load_bitmap_file(XrString(path.c_str()).c_str());
    }
    // Where a box of w x h goes: the middle of the view of the window's layout.
    XrPoint centred(int w, int h) const
    {
        const XrRectangle v = window->get_view_rect();
        return XrPoint((v.right - v.left - w) / 2, (v.bottom - v.top - h) / 2);
    }
};

TEST_F(SplashScreenTest, PlainBoxIsCentredInTheViewAndHoldsItsText)
{
    XrPoint corner(-1, -1);
    draw_splash_screen(window.get(), L"Drive to a road", nullptr, 0, nullptr, true, nullptr, nullptr, false, &corner);
    EXPECT_EQ(corner, centred(150, 75));
    const XrTestPixels px = screen();
    EXPECT_EQ(px.at(corner.x, corner.y), kBox);
    EXPECT_EQ(px.at(corner.x + 149, corner.y + 74), kBox);
    EXPECT_EQ(px.at(corner.x - 1, corner.y), view.pass1_color);
    EXPECT_EQ(px.at(corner.x + 150, corner.y + 75), view.pass1_color);
    // The text stays inside the inner area: 5 pixels in, 10 short of the far edges.
    EXPECT_GT(px.count(kWhite, corner.x + 5, corner.y + 5, corner.x + 140, corner.y + 65), 20);
    EXPECT_EQ(px.count(kWhite), px.count(kWhite, corner.x + 5, corner.y + 5, corner.x + 141, corner.y + 66));
}

TEST_F(SplashScreenTest, PictureIsDrawnThroughItsMaskAndTheTextRectangleIsRelative)
{
    std::unique_ptr<XrBitmap> box(picture());
    ASSERT_NE(box, nullptr);
    XrPoint corner;
    const XrRectangle text(110, 10, 190, 90);
    draw_splash_screen(window.get(), L"GPS", nullptr, 0, &text, false, box->bitmap(), box->mask(), false, &corner);
    EXPECT_EQ(corner, centred(200, 100));
    const int x = corner.x, y = corner.y;
    const XrTestPixels px = screen();
    EXPECT_EQ(px.at(x + 10, y + 10), view.pass1_color); // transparent half: the map shows
    EXPECT_EQ(px.at(x + 195, y + 95), kPicture);
    EXPECT_GT(px.count(kWhite, x + 110, y + 10, x + 190, y + 90), 5);
    EXPECT_EQ(px.count(kWhite), px.count(kWhite, x + 110, y + 10, x + 190, y + 90));
}

TEST_F(SplashScreenTest, HoldsForTheWaitThenRedrawsTheMapWhenAsked)
{
    const gint64 start = g_get_monotonic_time();
    draw_splash_screen(window.get(), L"x", nullptr, 300, nullptr, true, nullptr, nullptr, true, nullptr);
    EXPECT_GE(g_get_monotonic_time() - start, 300 * 1000);
    xr_pump(50);
    EXPECT_EQ(screen().count(kBox), 0);
    EXPECT_EQ(screen().at(centred(0, 0).x, centred(0, 0).y), view.pass1_color);
}

TEST_F(SplashScreenTest, MessageIdentifierFormAndNoWindow)
{
    XrPoint corner(-7, -7);
    draw_splash_screen(nullptr, L"nothing", nullptr, 0, nullptr, true, nullptr, nullptr, true, &corner);
    EXPECT_EQ(corner, XrPoint(-7, -7));
    draw_splash_screen(window.get(), get_message_id("r_str_drive_to_road"), nullptr, 0, nullptr, true, nullptr,
                       nullptr, false, &corner);
    EXPECT_EQ(corner, centred(150, 75));
    EXPECT_GT(screen().count(kWhite, corner.x, corner.y, corner.x + 150, corner.y + 75), 20);
}

} // namespace
