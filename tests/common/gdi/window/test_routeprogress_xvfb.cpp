// The route progress panel: background choice, bar, icons, guards.
#include "common/bmloader/xr_bitmap_loader.h"
#include "common/gdi/window/xr_routeprogress.h"
#include "window_test_support.h"

namespace {

constexpr XrColorHandle kDriven = 0xD48080;  // (128, 128, 212)
constexpr XrColorHandle kRest = 0xD4C0C0;    // (192, 192, 212)
constexpr XrColorHandle kPanel = 0xE0E0E0;   // background image
constexpr XrColorHandle kPicture = 0x204020; // the map under the panel

class RouteProgressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!xr_window_test_display())
            GTEST_SKIP() << "no X display";
        source = std::make_unique<XrTestMapWindowSource>();
        XrBitmapLoader::initialize(XrString(L"/nonexistent"), XrString(L"maemo"));
    }
    void TearDown() override
    {
        XrBitmapLoader::shutdown();
        source.reset();
    }

    // A loader id for a w x h picture of one colour, or a strip of colours.
    int add_image(int w, int h, const std::vector<XrColorHandle>& cells)
    {
        const std::string path = root.dir() + "/img" + std::to_string(next++) + ".png";
        GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, w, h);
        const int cw = w / static_cast<int>(cells.size());
        for (size_t i = 0; i < cells.size(); ++i) {
            GdkPixbuf* cell = gdk_pixbuf_new_subpixbuf(pb, static_cast<int>(i) * cw, 0, cw, h);
            const XrColorHandle c = cells[i];
            gdk_pixbuf_fill(cell, (XrGDI::get_r(c) << 24) | (XrGDI::get_g(c) << 16) | (XrGDI::get_b(c) << 8) | 0xFF);
            g_object_unref(cell);
        }
        gdk_pixbuf_save(pb, path.c_str(), "png", nullptr, nullptr);
        g_object_unref(pb);
        XrBitmapHandleRec *image = nullptr, *mask = nullptr;
        const XrString wide = XrString(path.c_str());
        EXPECT_TRUE(XrGDI::load_image_file(wide.c_str(), image, mask));
        return XrBitmapLoader::add_bitmap(image, mask);
    }

    XrTempRoot root;
    std::unique_ptr<XrTestMapWindowSource> source;
    int next = 0;
};

TEST(RouteProgressBar, DrivenWidth)
{
    struct {
        double remaining_km, total_km;
        int driven;
    } cases[] = {
        {0, 10, 340}, {10, 10, 0}, {5, 10, 170}, {15, 10, 0}, {3, 0, 0}, {0, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XrRouteProgress::driven_width(340, XrDistance(c.remaining_km, XrDistance::Kilometres),
                                                XrDistance(c.total_km, XrDistance::Kilometres)),
                  c.driven)
            << c.remaining_km << " of " << c.total_km;
    EXPECT_EQ(XrRouteProgress::driven_width(340, XrDistance(), XrDistance(1, XrDistance::Kilometres)), 0);
}

TEST_F(RouteProgressTest, ChoosesTheWidestFittingBackground)
{
    const int narrow = add_image(400, 100, {kPanel});
    const int wide = add_image(600, 100, {kPanel});
    const int strip = add_image(30, 10, {kRed, kGreen, kBlue});
    XrRouteProgress p;
    p.add_bitmap_def(narrow, strip);
    p.add_bitmap_def(wide, strip);
    struct {
        int width;
        int chosen;
    } cases[] = {{500, narrow}, {700, wide}, {600, wide}, {399, 0}};
    for (const auto& c : cases) {
        p.load_bitmaps(XrSize(c.width, 200));
        EXPECT_EQ(p.get_background_id(), static_cast<unsigned>(c.chosen)) << c.width;
    }
}

TEST_F(RouteProgressTest, NoFittingBackgroundDrawsNothing)
{
    XrRouteProgress p;
    p.add_bitmap_def(add_image(400, 100, {kPanel}), add_image(30, 10, {kRed, kGreen, kBlue}));
    XrTestDC target(300, 100, kPicture);
    p.draw(target.dc, target.dc, XrSize(300, 100), 0, 0, XrDistance(1, XrDistance::Kilometres),
           XrDistance(2, XrDistance::Kilometres));
    XrTestPixels px(target.dc);
    EXPECT_EQ(px.count(kPicture), 300 * 100);
}

TEST_F(RouteProgressTest, BarShowsTheDrivenShare)
{
    XrRouteProgress p;
    p.add_bitmap_def(add_image(400, 100, {kPanel}), add_image(30, 10, {kRed, kGreen, kBlue}));
    // Bar (no font repository: 12-point text): x 48 to 390, y 60 to 74.
    struct {
        double remaining, total;
        XrColorHandle left, right;
    } cases[] = {
        {0, 10, kDriven, kDriven},
        {10, 10, kRest, kRest},
        {12, 10, kRest, kRest}, // more left than the whole route: empty bar
        {5, 10, kDriven, kRest},
        {4, 0, kRest, kRest}, // a route of length 0 draws an empty bar
    };
    for (const auto& c : cases) {
        XrTestDC target(400, 100, kPicture);
        p.draw(target.dc, target.dc, XrSize(400, 100), 0, 0, XrDistance(c.remaining, XrDistance::Kilometres),
               XrDistance(c.total, XrDistance::Kilometres));
        XrTestPixels px(target.dc);
        EXPECT_EQ(px.at(50, 62), c.left) << c.remaining << "/" << c.total;
        EXPECT_EQ(px.at(388, 62), c.right) << c.remaining << "/" << c.total;
        EXPECT_EQ(px.at(48, 62), kBlack);  // outline
        EXPECT_EQ(px.at(200, 60), kBlack); // outline top
        EXPECT_EQ(px.at(10, 95), kPanel);
    }
}

TEST_F(RouteProgressTest, PanelIsCentredAndIconsFollowTheStates)
{
    XrRouteProgress p;
    p.add_bitmap_def(add_image(400, 100, {kPanel}), add_image(30, 10, {kRed, kGreen, kBlue}));
    p.set_icon_indices(2, 1, 0, 1, 2);
    XrTestDC target(600, 200, kPicture);
    // Panel at (100, 50); icon A at x = 400 - 10 - 105 = 285, icon B at 352.
    struct {
        int state_a, state_b;
        XrColorHandle a, b;
    } cases[] = {
        {0, 0, kBlue, kGreen}, {1, 1, kGreen, kBlue}, {2, 0, kRed, kGreen}, {7, -1, kRed, kRed},
    };
    for (const auto& c : cases) {
        p.draw(target.dc, target.dc, XrSize(600, 200), c.state_a, c.state_b, XrDistance(1, XrDistance::Kilometres),
               XrDistance(2, XrDistance::Kilometres));
        XrTestPixels px(target.dc);
        EXPECT_EQ(px.at(100 + 285 + 5, 50 + 24), c.a) << c.state_a;
        EXPECT_EQ(px.at(100 + 352 + 5, 50 + 24), c.b) << c.state_b;
        EXPECT_EQ(px.at(50, 20), kPicture);
        EXPECT_EQ(px.at(105, 145), kPanel);
    }
    EXPECT_EQ(p.get_load_count(), 1); // the same size never reloads

    // Indices beyond the three-icon strip fall back to its first icon.
    p.set_icon_indices(9, 1, 0, -4, 2);
    p.draw(target.dc, target.dc, XrSize(600, 200), 0, 0, XrDistance(1, XrDistance::Kilometres),
           XrDistance(2, XrDistance::Kilometres));
    XrTestPixels px(target.dc);
    EXPECT_EQ(px.at(100 + 285 + 5, 50 + 24), kRed);
    EXPECT_EQ(px.at(100 + 352 + 5, 50 + 24), kRed);
}

} // namespace
