// XrBitmapRectangle: framed boxes from a strip of nine tiles.
#include <gtest/gtest.h>

#include "common/bmloader/xr_bitmap_loader.h"
#include "common/bmloader/xr_bitmaprectangle.h"
#include "common/gdi/gdi_test_dc.h"

namespace {

// One colour per tile number.
XrColorHandle tile_color(int tile)
{
    return XrGDI::rgb(10 + tile * 20, 200 - tile * 20, 100 + tile);
}

// A strip of nine square tiles of the given size; with a mask that leaves
// out the top-left pixel of every tile.
XrBitmapHandleRec* make_strip(int tile, bool mask)
{
    const int width = 9 * tile, height = tile;
    auto* bm = new XrBitmapHandleRec{new XrBitmapHeader{}, new BYTE[width * height * 3], nullptr, nullptr, nullptr};
    bm->header->width = width;
    bm->header->height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            XrColorHandle c = tile_color(x / tile);
            if (mask)
                c = (x % tile == 0 && y == 0) ? kWhite : 0;
            BYTE* p = bm->buffer + (y * width + x) * 3;
            p[0] = XrGDI::get_r(c);
            p[1] = XrGDI::get_g(c);
            p[2] = XrGDI::get_b(c);
        }
    return bm;
}

class BitmapRectangleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XR_REQUIRE_DISPLAY();
        XrBitmapLoader::initialize(XrString(L"/nonexistent"), XrString(L"maemo"));
        surface = std::make_unique<XrTestDC>(200, 100);
    }
    void TearDown() override
    {
        surface.reset();
        XrBitmapLoader::shutdown();
    }

    unsigned int add_strip(int tile, bool masked = false)
    {
        return XrBitmapLoader::add_bitmap(make_strip(tile, false), masked ? make_strip(tile, true) : nullptr);
    }
    XrDCHandleRec* dc() { return surface->dc; }
    XrTestPixels pixels() { return XrTestPixels(surface->dc); }

    std::unique_ptr<XrTestDC> surface;
};

TEST_F(BitmapRectangleTest, LoadsSquareTiles)
{
    XrBitmapRectangle box;
    EXPECT_EQ(box.get_min_size(), XrSize(0, 0));
    EXPECT_FALSE(box.load_bitmap(12345));
    EXPECT_TRUE(box.load_bitmap(add_strip(4)));
    EXPECT_EQ(box.get_min_size(), XrSize(8, 8));
    // Not drawn once freed.
    box.free_bitmap();
    box.draw(dc(), XrPoint(10, 10), XrSize(50, 50));
    EXPECT_EQ(pixels().ink(kWhite), XrRectangle());
}

TEST_F(BitmapRectangleTest, MinimumSizeShowsOnlyTheCorners)
{
    XrBitmapRectangle box;
    ASSERT_TRUE(box.load_bitmap(add_strip(4)));
    for (XrSize size : {XrSize(8, 8), XrSize(3, 2)}) {
        surface->clear(kWhite);
        box.draw(dc(), XrPoint(10, 10), size);
        XrTestPixels px = pixels();
        EXPECT_EQ(px.ink(kWhite), XrRectangle(10, 10, 18, 18));
        EXPECT_EQ(px.count(tile_color(XrBitmapRectangle::TopLeft), 10, 10, 14, 14), 16);
        EXPECT_EQ(px.count(tile_color(XrBitmapRectangle::TopRight), 14, 10, 18, 14), 16);
        EXPECT_EQ(px.count(tile_color(XrBitmapRectangle::BottomRight), 14, 14, 18, 18), 16);
        EXPECT_EQ(px.count(tile_color(XrBitmapRectangle::BottomLeft), 10, 14, 14, 18), 16);
    }
}

TEST_F(BitmapRectangleTest, EdgesRepeatAndTheLastTileIsCut)
{
    XrBitmapRectangle box;
    ASSERT_TRUE(box.load_bitmap(add_strip(4)));
    // 18 x 14: the top edge spans 10 pixels (two whole tiles and half of one).
    box.draw(dc(), XrPoint(10, 10), XrSize(18, 14));
    XrTestPixels px = pixels();
    EXPECT_EQ(px.ink(kWhite), XrRectangle(10, 10, 28, 24));
    EXPECT_EQ(px.count(tile_color(XrBitmapRectangle::TopEdge)), 10 * 4);
    EXPECT_EQ(px.count(tile_color(XrBitmapRectangle::BottomEdge)), 10 * 4);
    EXPECT_EQ(px.count(tile_color(XrBitmapRectangle::LeftEdge)), 4 * 6);
    EXPECT_EQ(px.count(tile_color(XrBitmapRectangle::RightEdge)), 4 * 6);
    EXPECT_EQ(px.count(tile_color(XrBitmapRectangle::Centre)), 10 * 6);
    EXPECT_EQ(px.at(23, 10), tile_color(XrBitmapRectangle::TopEdge));
    EXPECT_EQ(px.at(24, 10), tile_color(XrBitmapRectangle::TopRight));
    EXPECT_EQ(px.at(20, 16), tile_color(XrBitmapRectangle::Centre));
}

TEST_F(BitmapRectangleTest, OneSideAboveTheMinimumKeepsItsLength)
{
    XrBitmapRectangle box;
    ASSERT_TRUE(box.load_bitmap(add_strip(4)));
    box.draw(dc(), XrPoint(10, 10), XrSize(100, 5));
    XrTestPixels px = pixels();
    EXPECT_EQ(px.ink(kWhite), XrRectangle(10, 10, 110, 18));
    // No inside at the minimum height.
    EXPECT_EQ(px.count(tile_color(XrBitmapRectangle::Centre)), 0);
}

TEST_F(BitmapRectangleTest, MaskedStripAndTheCallersClip)
{
    XrBitmapRectangle box;
    ASSERT_TRUE(box.load_bitmap(add_strip(8, true)));
    XrGDI::set_clip_rect(dc(), XrRectangle(0, 0, 30, 100));
    box.draw(dc(), XrPoint(10, 10), XrSize(40, 20));
    XrTestPixels px = pixels();
    // The top-left pixel of each tile is masked out.
    EXPECT_EQ(px.at(10, 10), kWhite);
    EXPECT_EQ(px.at(11, 10), tile_color(XrBitmapRectangle::TopLeft));
    EXPECT_EQ(px.at(18, 10), kWhite);
    EXPECT_EQ(px.at(19, 10), tile_color(XrBitmapRectangle::TopEdge));
    // Nothing past the caller's clip, which is still set afterwards.
    EXPECT_EQ(px.count(tile_color(XrBitmapRectangle::TopRight)), 0);
    EXPECT_EQ(px.ink(kWhite).right, 30);
    EXPECT_EQ(dc()->clip, XrRectangle(0, 0, 30, 100));
}

} // namespace
