// Pictures whose data ends before their pixels do: the pixels the data does
// not reach read as zero (before the 1-bit inversion), whatever the buffer
// held, and nothing past the picture is written.
#include "common/gdi/xr_mbm.h"

#include <gtest/gtest.h>

#include <vector>

#include "tools/mapgen/mbm_writer.h"

namespace {

using Bytes = std::vector<BYTE>;

struct Case {
    const char* what;
    std::uint32_t width, bpp, compression;
    Bytes data;
    Bytes pixels; // the whole decoded row
};

TEST(MbmShortDataTest, PixelsPastTheDataAreZero)
{
    const Case cases[] = {
        {"uncompressed", 4, 8, XrMbm::NONE, {1, 2}, {1, 2, 0, 0}},
        {"byte runs", 4, 8, XrMbm::RLE_BYTE, {0x00, 7}, {7, 0, 0, 0}},
        {"byte literals", 8, 8, XrMbm::RLE_BYTE, {0xFE, 5, 6}, {5, 6, 0, 0, 0, 0, 0, 0}},
        {"12-bit runs", 4, 32, XrMbm::RLE_12BIT, {0x21, 0x03}, {0x11, 0x22, 0x33, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"1-bit, inverted after", 32, 1, XrMbm::RLE_BYTE, {0x00, 0x0F}, {0xF0, 0xFF, 0xFF, 0xFF}},
        {"no data at all", 4, 8, XrMbm::RLE_BYTE, {}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        XrMbmBitmap b;
        b.width = c.width;
        b.height = 1;
        b.bits_per_pixel = c.bpp;
        b.compression = c.compression;
        b.data = c.data;
        const Bytes record = mbm_record(b);
        // Into the caller's buffer, one byte larger than the picture.
        Bytes buffer(c.pixels.size() + 1, 0x5A);
        BYTE* pixels = buffer.data();
        int size = static_cast<int>(buffer.size());
        ASSERT_TRUE(XrMbm::fill_bit_values(record.data(), pixels, size, false)) << c.what;
        ASSERT_EQ(size, static_cast<int>(c.pixels.size())) << c.what;
        EXPECT_EQ(Bytes(buffer.begin(), buffer.end() - 1), c.pixels) << c.what;
        EXPECT_EQ(buffer.back(), 0x5A) << c.what;
        // And into a buffer of its own.
        BYTE* own = nullptr;
        int own_size = 0;
        ASSERT_TRUE(XrMbm::fill_bit_values(record.data(), own, own_size, true)) << c.what;
        EXPECT_EQ(Bytes(own, own + own_size), c.pixels) << c.what;
        delete[] own;
    }
}

} // namespace
