#include "common/bmloader/xr_bitmap_loader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/gdi/gdi_test_dc.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/mbm_writer.h"

namespace {

constexpr XrColorHandle red = 0x0000FF;
constexpr XrColorHandle green = 0x00FF00;
constexpr XrColorHandle white = 0xFFFFFF;

XrMbmBitmap solid(std::uint32_t w, std::uint32_t h, std::uint32_t rgb)
{
    return mbm_make_rgb(w, h, std::vector<std::uint32_t>(std::size_t(w) * h, rgb));
}

// A mask drawing the left half of the picture.
XrMbmBitmap left_half(std::uint32_t w, std::uint32_t h)
{
    std::vector<bool> set(std::size_t(w) * h);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w / 2; ++x)
            set[std::size_t(y) * w + x] = true;
    return mbm_make_mono(w, h, set);
}

XrString wide(const std::string& s)
{
    return XrString(s.c_str());
}

class BitmapLoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XR_REQUIRE_DISPLAY();
        dir = root.make_dirs("/pics");
        // icons.mbm: a red strip 90 x 10 with its mask, a green 4 x 4 square.
        write_mbm("icons.mbm", {solid(90, 10, 0xFF0000), left_half(90, 10), solid(4, 4, 0x00FF00)});
        write_mbm("other.mbm", {solid(5, 3, 0x0000FF)});
        ASSERT_TRUE(XrBitmapLoader::initialize(wide(dir), XrString("maemo")));
    }
    void TearDown() override { XrBitmapLoader::shutdown(); }

    void write_mbm(const std::string& name, const std::vector<XrMbmBitmap>& bitmaps, bool packed = false)
    {
        std::string error;
        ASSERT_TRUE(write_mbm_file(dir + "/" + name, bitmaps, packed, error)) << error;
    }
    void write_index(const std::string& name, const std::string& text)
    {
        root.write_file("/pics/" + name, text);
    }
    static XrBitmapLoader* loader() { return XrBitmapLoader::get_instance(); }

    XrTempRoot root;
    std::string dir;
};

TEST_F(BitmapLoaderTest, IndexRowsAndTheFirstDefinitionWins)
{
    write_index("gdi_bitmaps.def", "10,0\n"            // before any BITMAP line: ignored
                                   "BITMAP icons.mbm\r\n"
                                   "10, 0, masked\r\n"
                                   "11,2\n"
                                   "12 , 2 ,  masked_too\n"
                                   "13,x\n"            // not a number
                                   "14\n"              // no bitmap number
                                   "junk\n"
                                   "BITMAP /abs/where/x.mbm\n"
                                   "20,4,plain\n");
    write_index("map_bitmaps.def", "BITMAP other.mbm\n11,0\n30,0\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("gdi_bitmaps.def")));
    ASSERT_TRUE(XrBitmapLoader::load_index(wide(dir + "/map_bitmaps.def")));

    struct Row {
        unsigned int id;
        std::string file;
        int number;
        bool masked;
    };
    const Row rows[] = {
        {10, dir + "/icons.mbm", 0, true}, {11, dir + "/icons.mbm", 2, false},
        {12, dir + "/icons.mbm", 2, true}, {20, "/abs/where/x.mbm", 4, false},
        {30, dir + "/other.mbm", 0, false},
    };
    for (const Row& r : rows) {
        const XrBitmapLoader::XrIconIdMap* row = loader()->find_row(r.id);
        ASSERT_NE(row, nullptr) << r.id;
        EXPECT_EQ(row->bitmap_file, wide(r.file)) << r.id;
        EXPECT_EQ(row->bitmap_number, r.number) << r.id;
        EXPECT_EQ(row->masked != 0, r.masked) << r.id;
    }
    for (unsigned int id : {13u, 14u})
        EXPECT_EQ(loader()->find_row(id), nullptr) << id;
    EXPECT_EQ(loader()->get_next_free_id(), 31u);

    // Id 11 keeps the icons.mbm picture: 4 x 4, not other.mbm's 5 x 3.
    XrBitmap b(11, false);
    EXPECT_EQ(b.width(), 4);
    EXPECT_EQ(b.height(), 4);
}

TEST_F(BitmapLoaderTest, BadIndexFilesAreReportedNotFatal)
{
    EXPECT_FALSE(XrBitmapLoader::load_index(XrString("missing.def")));
    // Rows under a BITMAP line without a name have no file: skipped.
    write_index("empty_name.def", "BITMAP\n40,0\nBITMAP \n41,0\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("empty_name.def")));
    EXPECT_EQ(loader()->find_row(40), nullptr);
    EXPECT_EQ(loader()->find_row(41), nullptr);
    // A line longer than 511 characters goes on as the next line, less one
    // character.
    write_index("long.def", "BITMAP icons.mbm\n" + std::string(511, ' ') + "X42,2\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("long.def")));
    EXPECT_NE(loader()->find_row(42), nullptr);
}

TEST_F(BitmapLoaderTest, SharedBitmapsCountReferences)
{
    write_index("a.def", "BITMAP icons.mbm\n1,2\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("a.def")));
    EXPECT_EQ(loader()->get_reference_count(1), -1);
    {
        XrBitmap a(1, false);
        EXPECT_FALSE(a.is_loaded()); // loaded on first use
        ASSERT_NE(a.bitmap(), nullptr);
        EXPECT_EQ(loader()->get_reference_count(1), 1);
        EXPECT_EQ(XrGDI::get_bitmap_pixel(a.bitmap(), 1, 1), green);
        XrBitmap b(1, false);
        EXPECT_EQ(b.bitmap(), a.bitmap());
        EXPECT_EQ(loader()->get_reference_count(1), 2);
        {
            XrBitmap c(a);
            XrBitmap d;
            d = b;
            EXPECT_EQ(c.bitmap(), a.bitmap());
            EXPECT_EQ(d.width(), 4);
            EXPECT_EQ(loader()->get_reference_count(1), 4);
            d = XrBitmap(); // gives its reference back
            EXPECT_EQ(loader()->get_reference_count(1), 3);
            // A copy of a bitmap not loaded yet takes no reference.
            XrBitmap unloaded(1, false);
            XrBitmap e(unloaded);
            EXPECT_EQ(loader()->get_reference_count(1), 3);
        }
        EXPECT_EQ(loader()->get_reference_count(1), 2);
        b.free_handles();
        EXPECT_EQ(b.bitmap(), a.bitmap()); // loads again on access
        EXPECT_EQ(loader()->get_reference_count(1), 2);
    }
    EXPECT_EQ(loader()->get_reference_count(1), -1); // unloaded
}

TEST_F(BitmapLoaderTest, PrivateBitmapsBypassTheCacheAndOwnTheirHandles)
{
    write_index("a.def", "BITMAP icons.mbm\n1,2\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("a.def")));
    XrBitmap shared(1, false);
    XrBitmap own(1, true);
    ASSERT_NE(own.bitmap(), nullptr);
    EXPECT_NE(own.bitmap(), shared.bitmap());
    EXPECT_EQ(own.get_loader(), nullptr);
    EXPECT_TRUE(own.owns_handles());
    EXPECT_EQ(loader()->get_reference_count(1), 1); // the shared one only
}

TEST_F(BitmapLoaderTest, PlatformTokenPrefersThePlatformFile)
{
    write_mbm("plat_maemo.mbm", {solid(6, 2, 0)});
    write_mbm("generic.mbm", {solid(8, 3, 0)});
    write_index("a.def", "BITMAP plat_$$$PLAT$$$.mbm\n1,0\nBITMAP generic_$$$PLAT$$$.mbm\n2,0\n"
                         "BITMAP none_$$$PLAT$$$.mbm\n3,0\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("a.def")));
    XrBitmap platform(1, false), generic(2, false), none(3, false);
    EXPECT_EQ(platform.width(), 6);
    EXPECT_EQ(generic.width(), 8);
    EXPECT_EQ(none.bitmap(), nullptr);
    EXPECT_EQ(none.width(), 0);
}

TEST_F(BitmapLoaderTest, SizesComeFromTheHeaderWithoutLoading)
{
    write_mbm("plat_maemo.mbm", {solid(6, 2, 0)});
    write_mbm("generic.mbm", {solid(8, 3, 0)});
    write_index("a.def", "BITMAP icons.mbm\n1,0,masked\n2,2\n9,7\nBITMAP plat_$$$PLAT$$$.mbm\n3,0\n"
                         "BITMAP generic_$$$PLAT$$$.mbm\n4,0\nBITMAP none_$$$PLAT$$$.mbm\n5,0\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("a.def")));
    struct Case {
        unsigned int id;
        bool found;
        int width, height;
    } cases[] = {{1, true, 90, 10}, {2, true, 4, 4}, {3, true, 6, 2}, {4, true, 8, 3},
                 {5, false, 0, 0},   {9, false, 0, 0}, {77, false, 0, 0}};
    for (const Case& c : cases) {
        int w = 0, h = 0;
        EXPECT_EQ(XrBitmapLoader::get_bitmap_size(c.id, w, h), c.found) << c.id;
        if (c.found) {
            EXPECT_EQ(w, c.width) << c.id;
            EXPECT_EQ(h, c.height) << c.id;
        }
        EXPECT_EQ(loader()->get_reference_count(c.id), -1) << c.id;
    }
    // A loaded picture answers from the cache, as the picture itself says.
    XrBitmap strip(1, false);
    ASSERT_EQ(strip.width(), 90);
    int w = 0, h = 0;
    EXPECT_TRUE(XrBitmapLoader::get_bitmap_size(1, w, h));
    EXPECT_EQ(w, 90);
    EXPECT_EQ(h, 10);
    EXPECT_EQ(loader()->get_reference_count(1), 1);
}

TEST_F(BitmapLoaderTest, MaskedRowsLoadTheNextBitmapAsMask)
{
    write_mbm("nomask.mbm", {solid(4, 4, 0)}, true);
    write_index("a.def", "BITMAP icons.mbm\n1,0,masked\n2,2,masked\nBITMAP nomask.mbm\n3,0\n4,0,masked\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("a.def")));
    XrBitmap masked(1, false);
    ASSERT_NE(masked.bitmap(), nullptr);
    ASSERT_NE(masked.mask(), nullptr);
    EXPECT_NE(masked.mask()->mask, nullptr);

    // Bitmap 3 of icons.mbm and bitmap 1 of nomask.mbm do not exist.
    for (unsigned int id : {2u, 4u}) {
        XrBitmap b(id, false);
        EXPECT_EQ(b.bitmap(), nullptr) << id;
        EXPECT_EQ(b.mask(), nullptr) << id;
        EXPECT_FALSE(b.is_loaded()) << id;
        EXPECT_EQ(loader()->get_reference_count(id), -1) << id;
    }
    XrBitmap plain(3, false);
    EXPECT_NE(plain.bitmap(), nullptr);
    EXPECT_EQ(plain.mask(), nullptr);
}

TEST_F(BitmapLoaderTest, UnknownIdsStayUnloadedAndAreTriedAgain)
{
    XrBitmap b(77, false);
    EXPECT_EQ(b.bitmap(), nullptr);
    EXPECT_EQ(b.width(), 0);
    write_index("late.def", "BITMAP icons.mbm\n77,2\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("late.def")));
    EXPECT_EQ(b.width(), 4);
}

TEST_F(BitmapLoaderTest, IconStrips)
{
    write_index("a.def", "BITMAP icons.mbm\n1,0\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("a.def")));
    for (int i = 0; i < 4; ++i) {
        XrIcon icon(1, i, false, 4);
        EXPECT_EQ(icon.icon_width(), 23);
        EXPECT_EQ(icon.icon_height(), 10);
        EXPECT_EQ(icon.x_offset(), 23 * i);
    }
    XrIcon square(1, 2, false, 0);
    EXPECT_EQ(square.icon_width(), 10);
    EXPECT_EQ(square.x_offset(), 20);
    EXPECT_EQ(square.width(), 90);
    XrIcon copy(square);
    EXPECT_EQ(copy.x_offset(), 20);
    EXPECT_EQ(loader()->get_reference_count(1), 2);
}

TEST_F(BitmapLoaderTest, AddedBitmapsArePinned)
{
    XrBitmapHandleRec* image = XrGDI::load_bitmap(wide(dir + "/icons.mbm").c_str(), 2);
    ASSERT_NE(image, nullptr);
    int id = XrBitmapLoader::add_bitmap(image, nullptr);
    ASSERT_GT(id, 0);
    EXPECT_TRUE(loader()->is_pinned(id));
    EXPECT_EQ(loader()->get_reference_count(id), 1);
    {
        XrBitmap b(id, false);
        EXPECT_EQ(b.bitmap(), image);
        EXPECT_EQ(loader()->get_reference_count(id), 2);
        XrBitmapLoader::set_pinned(id, false);
        EXPECT_EQ(loader()->get_reference_count(id), 1);
        EXPECT_EQ(XrGDI::get_bitmap_pixel(b.bitmap(), 0, 0), green);
    }
    EXPECT_EQ(loader()->get_reference_count(id), -1);

    XrBitmapLoader::XrIconIdMap row;
    row.bitmap_file = wide(dir + "/other.mbm");
    int icon_id = XrBitmapLoader::add_icon(row);
    EXPECT_EQ(icon_id, id + 1);
    XrBitmap other(icon_id, false);
    EXPECT_EQ(other.width(), 5);
}

TEST_F(BitmapLoaderTest, PinningKeepsAPictureWithoutUsers)
{
    write_index("a.def", "BITMAP icons.mbm\n1,2\n2,2\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("a.def")));
    // Pinned before it is loaded: stays at reference count 0.
    XrBitmapLoader::set_pinned(1, true);
    XrBitmapLoader::set_pinned(1, true);
    {
        XrBitmap b(1, false);
        EXPECT_TRUE(b.load());
    }
    EXPECT_EQ(loader()->get_reference_count(1), 0);
    XrBitmapLoader::set_pinned(1, false);
    EXPECT_EQ(loader()->get_reference_count(1), -1);

    // Pinned while in use: unpinning leaves the user's picture alone.
    XrBitmap user(2, false);
    ASSERT_NE(user.bitmap(), nullptr);
    XrBitmapLoader::set_pinned(2, true);
    EXPECT_EQ(loader()->get_reference_count(2), 2);
    XrBitmapLoader::set_pinned(2, false);
    EXPECT_EQ(loader()->get_reference_count(2), 1);
    EXPECT_EQ(XrGDI::get_bitmap_pixel(user.bitmap(), 3, 3), green);
}

TEST_F(BitmapLoaderTest, PinnedBeforeLoadAndUnpinnedWhileInUseStaysLoaded)
{
    // The route provider's flow: pin the ids of a search, keep copies of the
    // pictures as members, unpin when the route is cleared.
    write_index("a.def", "BITMAP icons.mbm\n1,2\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("a.def")));
    XrBitmapLoader::set_pinned(1, true);
    XrBitmap member;
    {
        XrBitmap used(1, false);
        ASSERT_NE(used.bitmap(), nullptr);
        member = used;
    }
    EXPECT_EQ(loader()->get_reference_count(1), 1);
    XrBitmapLoader::set_pinned(1, false);
    EXPECT_FALSE(loader()->is_pinned(1));
    EXPECT_EQ(loader()->get_reference_count(1), 1);
    ASSERT_NE(member.bitmap(), nullptr);
    EXPECT_EQ(XrGDI::get_bitmap_pixel(member.bitmap(), 2, 2), green);
    member = XrBitmap();
    EXPECT_EQ(loader()->get_reference_count(1), -1);
}

TEST_F(BitmapLoaderTest, CopiesShareOwnedHandlesUntilTheLastLetsGo)
{
    write_index("a.def", "BITMAP icons.mbm\n1,2\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("a.def")));
    GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 3, 2);
    gdk_pixbuf_fill(pb, 0x00FF00FF);
    const std::string png = dir + "/picture.png";
    ASSERT_TRUE(gdk_pixbuf_save(pb, png.c_str(), "png", nullptr, nullptr));
    g_object_unref(pb);

    // Owned handles of both kinds: a private load and an image file.
    std::unique_ptr<XrBitmap> file(XrGDI::load_bitmap_file(wide(png).c_str()));
    ASSERT_NE(file, nullptr);
    auto private_load = std::make_unique<XrBitmap>(1, true);
    ASSERT_TRUE(private_load->load());
    struct {
        const char* name;
        std::unique_ptr<XrBitmap>& source;
        XrColorHandle pixel;
    } cases[] = {{"image file", file, green}, {"private load", private_load, green}};
    for (auto& c : cases) {
        XrBitmapHandleRec* image = c.source->bitmap();
        XrBitmap member;
        member = *c.source; // "copy it into a member"
        XrBitmap second(*c.source);
        EXPECT_TRUE(member.owns_handles()) << c.name;
        c.source.reset();
        EXPECT_EQ(member.bitmap(), image) << c.name;
        EXPECT_EQ(XrGDI::get_bitmap_pixel(member.bitmap(), 1, 1), c.pixel) << c.name;
        member = XrBitmap();
        EXPECT_EQ(XrGDI::get_bitmap_pixel(second.bitmap(), 0, 0), c.pixel) << c.name;
        const XrBitmap& alias = second;
        second = alias; // self-assignment keeps the handles
        XrBitmap third(second);
        second.free_handles(); // the other holder keeps them
        EXPECT_EQ(XrGDI::get_bitmap_pixel(third.bitmap(), 0, 1), c.pixel) << c.name;
    } // the last holders delete the handles (ASan checks that it is once)
    EXPECT_EQ(loader()->get_reference_count(1), -1); // private loads never enter the cache
}

TEST_F(BitmapLoaderTest, ShutdownWaitsForTheLastUser)
{
    write_index("a.def", "BITMAP icons.mbm\n1,2\n2,0\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("a.def")));
    XrBitmapLoader::set_pinned(2, true);
    auto b = std::make_unique<XrBitmap>(1, false);
    ASSERT_NE(b->bitmap(), nullptr);
    XrBitmap pinned(2, false);
    ASSERT_TRUE(pinned.load());
    pinned.free_handles();
    XrBitmapLoader::shutdown();
    EXPECT_EQ(XrBitmapLoader::get_instance(), nullptr);
    // The static operations do nothing now.
    EXPECT_FALSE(XrBitmapLoader::load_index(XrString("a.def")));
    EXPECT_EQ(XrBitmapLoader::add_bitmap(nullptr, nullptr), -1);
    EXPECT_EQ(XrBitmapLoader::add_icon(XrBitmapLoader::XrIconIdMap()), -1);
    XrBitmapLoader::set_pinned(1, true);
    // The loader lives on for b; the pinned picture went at shutdown.
    XrBitmapLoader* kept = b->get_loader();
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->get_reference_count(1), 1);
    EXPECT_EQ(kept->get_reference_count(2), -1);
    EXPECT_EQ(XrGDI::get_bitmap_pixel(b->bitmap(), 0, 0), green);
    b.reset(); // the last release destroys the loader (the leak check sees it)
}

TEST_F(BitmapLoaderTest, InitializeTwiceKeepsTheInstance)
{
    XrBitmapLoader* first = loader();
    EXPECT_TRUE(XrBitmapLoader::initialize(XrString("/elsewhere"), XrString("other")));
    EXPECT_EQ(loader(), first);
}

TEST_F(BitmapLoaderTest, DrawsAMaskedIcon)
{
    write_index("a.def", "BITMAP icons.mbm\n1,0,masked\n");
    ASSERT_TRUE(XrBitmapLoader::load_index(XrString("a.def")));
    XrTestDC target(120, 30, white);
    XrBitmap b(1, false);
    XrGDI::draw_bitmap_object(target.dc, 10, 5, &b, true);
    XrTestPixels px(target.dc);
    // The mask lets the left half (45 x 10) through.
    EXPECT_EQ(px.count(red), 45 * 10);
    EXPECT_EQ(px.ink(white), XrRectangle(10, 5, 55, 15));
    XrGDI::draw_bitmap_object(target.dc, 10, 5, &b, false);
    EXPECT_EQ(XrTestPixels(target.dc).count(red), 90 * 10);
}

} // namespace
