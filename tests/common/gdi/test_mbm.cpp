#include "common/gdi/xr_mbm.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/container/xr_bytes.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/mbm_writer.h"

namespace {

using Bytes = std::vector<BYTE>;

XrMbmBitmap raw_bitmap(std::uint32_t w, std::uint32_t h, std::uint32_t bpp, std::uint32_t compression,
                       Bytes data)
{
    XrMbmBitmap b;
    b.width = w;
    b.height = h;
    b.bits_per_pixel = bpp;
    b.compression = compression;
    b.data = std::move(data);
    return b;
}

// The decoded pixels of a record, or nothing when decoding fails.
bool decode(const Bytes& record, Bytes& out)
{
    BYTE* pixels = nullptr;
    int size = 0;
    if (!XrMbm::fill_bit_values(record.data(), pixels, size, true))
        return false;
    out.assign(pixels, pixels + size);
    delete[] pixels;
    return true;
}

Bytes head(const Bytes& b, std::size_t n)
{
    return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
}

class MbmFileTest : public ::testing::TestWithParam<bool> {
protected:
    XrString write(const Bytes& data)
    {
        std::string path = root.write_file("/pics/test.mbm", std::string(data.begin(), data.end()));
        return XrString(path.c_str());
    }
    XrString write(const std::vector<XrMbmBitmap>& bitmaps)
    {
        return write(GetParam() ? mbm_packed_file(bitmaps) : mbm_file(bitmaps));
    }

    XrTempRoot root;
};

TEST_P(MbmFileTest, LoadsEachRecordWithItsHeader)
{
    std::vector<XrMbmBitmap> bitmaps = {
        mbm_make_rgb(3, 2, {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0, 0x010203}),
        mbm_make_mono(33, 2, std::vector<bool>(66, true), 1),
        raw_bitmap(5, 1, 12, 2, {0x80, 0x2F}),
    };
    XrString path = write(bitmaps);

    int size = 0;
    std::unique_ptr<BYTE[]> rgb(XrMbm::load(path, 0, &size));
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(std::size_t(size), 40 + bitmaps[0].data.size());
    XrBitmapHeader h;
    XrMbm::read_header(rgb.get(), h);
    EXPECT_EQ(h.record_length, std::uint32_t(size));
    EXPECT_EQ(h.header_length, 40u);
    EXPECT_EQ(h.width, 3u);
    EXPECT_EQ(h.height, 2u);
    EXPECT_EQ(h.twips_width, 45u);
    EXPECT_EQ(h.bits_per_pixel, 24u);
    EXPECT_EQ(h.compression, 0u);
    Bytes px;
    ASSERT_TRUE(decode(Bytes(rgb.get(), rgb.get() + size), px));
    // Rows of 4 pixels (3 bytes each) in blue, green, red order.
    EXPECT_EQ(px.size(), 24u * 2 * 4 / 8);
    EXPECT_EQ(head(px, 6), (Bytes{0x30, 0x20, 0x10, 0x60, 0x50, 0x40}));

    std::unique_ptr<BYTE[]> mono(XrMbm::load(path, 1, &size));
    ASSERT_NE(mono, nullptr);
    XrMbm::read_header(mono.get(), h);
    EXPECT_EQ(h.bits_per_pixel, 1u);
    EXPECT_EQ(h.compression, 1u);
    ASSERT_TRUE(decode(Bytes(mono.get(), mono.get() + size), px));
    // 64-pixel rows; the black pixels come out as set bits.
    EXPECT_EQ(px, (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0}));

    std::unique_ptr<BYTE[]> deep(XrMbm::load(path, 2, &size));
    ASSERT_NE(deep, nullptr);
    XrMbm::read_header(deep.get(), h);
    EXPECT_EQ(h.bits_per_pixel, 32u);

    EXPECT_EQ(XrMbm::load(path, 3), nullptr);
    EXPECT_EQ(XrMbm::load(path, -1), nullptr);
}

TEST_P(MbmFileTest, ReadDirectoryTellsTheKind)
{
    XrString path = write(std::vector<XrMbmBitmap>{mbm_make_rgb(1, 1, {0}), mbm_make_rgb(1, 1, {1})});
    std::string p;
    for (TCHAR c : std::wstring(path.c_str()))
        p += static_cast<char>(c);
    std::FILE* f = std::fopen(p.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    XrArray<std::uint32_t> offsets;
    bool packed = !GetParam();
    EXPECT_TRUE(XrMbm::read_directory(f, offsets, packed));
    EXPECT_EQ(packed, GetParam());
    EXPECT_EQ(offsets.get_num_items(), 2);
    std::fclose(f);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MbmFileTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Packed" : "Plain"; });

class MbmCorruptTest : public ::testing::Test {
protected:
    XrString write(const Bytes& data)
    {
        std::string path = root.write_file("/bad.mbm", std::string(data.begin(), data.end()));
        return XrString(path.c_str());
    }
    XrTempRoot root;
};

// A plain file of one 24-bit 2 x 1 bitmap: the head, the record behind it,
// then the directory.
TEST_F(MbmCorruptTest, BadFilesAndRecordsGiveNull)
{
    namespace L = xr_mbm_layout;
    struct Case {
        const char* what;
        std::size_t at;
        std::uint32_t value;
    };
    const std::size_t record = L::PLAIN_HEAD_SIZE;
    const Case cases[] = {
        {"UID1", L::UID1_OFFSET, 0x10000038},
        {"UID2 neither kind", L::UID2_OFFSET, 0x10000043},
        {"directory offset past the end", L::PLAIN_DIRECTORY_POINTER, 0x7FFFFFFF},
        {"record length below a header", record + L::RECORD_LENGTH, 39},
        {"record length past the file", record + L::RECORD_LENGTH, 0x00100000},
        {"header length below 40", record + L::HEADER_LENGTH, 12},
        {"header length past the record", record + L::HEADER_LENGTH, 400},
    };
    for (const Case& c : cases) {
        Bytes file = mbm_file({mbm_make_rgb(2, 1, {0xFFFFFF, 0})});
        xr_bytes::put_u32_le(file.data() + c.at, c.value);
        std::unique_ptr<BYTE[]> r(XrMbm::load(write(file), 0));
        EXPECT_EQ(r, nullptr) << c.what;
    }
    EXPECT_EQ(XrMbm::load(XrString((root.dir() + "/missing.mbm").c_str()), 0), nullptr);
    EXPECT_EQ(XrMbm::load(write(Bytes{0x37, 0, 0}), 0), nullptr);
}

TEST_F(MbmCorruptTest, PackedRecordShorterThanAHeaderGivesNull)
{
    XrByteWriter head;
    head.u32_le(XrMbm::UID1);
    head.u32_le(XrMbm::UID2_PACKED);
    Bytes short_record(30, 0);
    short_record[0] = 30;
    EXPECT_EQ(XrMbm::load(write(packed_file_array(head.bytes(), {short_record})), 0), nullptr);
}

TEST(MbmDecodeTest, ByteRunLength)
{
    Bytes px;
    ASSERT_TRUE(decode(mbm_record(raw_bitmap(5, 1, 8, 1, {0x02, 0x41, 0xFE, 0x42, 0x43})), px));
    EXPECT_EQ(px, (Bytes{0x41, 0x41, 0x41, 0x42, 0x43, 0, 0, 0}));
}

TEST(MbmDecodeTest, TwelveBitRunLength)
{
    Bytes px;
    ASSERT_TRUE(decode(mbm_record(raw_bitmap(3, 1, 12, 2, {0x80, 0x2F})), px));
    EXPECT_EQ(px.size(), 16u);
    EXPECT_EQ(head(px, 12), (Bytes{0x00, 0x88, 0xFF, 0x00, 0x00, 0x88, 0xFF, 0x00, 0x00, 0x88, 0xFF, 0x00}));
}

TEST(MbmDecodeTest, EncodersRoundTrip)
{
    Bytes raw = {1, 1, 1, 2, 3, 4, 4, 5};
    for (int i = 0; i < 300; ++i)
        raw.push_back(static_cast<BYTE>(i < 150 ? 9 : i));
    raw.resize(8 * 40, 0); // 40 rows of 8 bytes at 8 bits per pixel
    Bytes px;
    ASSERT_TRUE(decode(mbm_record(raw_bitmap(8, 40, 8, 1, mbm_encode_rle_byte(raw))), px));
    EXPECT_EQ(px, raw);

    std::vector<std::uint16_t> pix(4 * 5, 0x0ABC);
    pix[3] = 0x0123;
    ASSERT_TRUE(decode(mbm_record(raw_bitmap(4, 5, 12, 2, mbm_encode_rle_12bit(pix))), px));
    EXPECT_EQ(head(px, 16), (Bytes{0xCC, 0xBB, 0xAA, 0, 0xCC, 0xBB, 0xAA, 0, 0xCC, 0xBB, 0xAA, 0,
                                   0x33, 0x22, 0x11, 0}));
}

TEST(MbmDecodeTest, OneBitRowsPadTo32AndAreInverted)
{
    XrBitmapHeader h{};
    h.width = 33;
    h.bits_per_pixel = 1;
    int padded = 0;
    int padding = 0;
    XrMbm::get_row_padding(h, padded, padding);
    EXPECT_EQ(padded, 64);
    EXPECT_EQ(padding, 31);
    h.width = 64;
    XrMbm::get_row_padding(h, padded, padding);
    EXPECT_EQ(padded, 64);
    EXPECT_EQ(padding, 0);
    h.width = 5;
    h.bits_per_pixel = 24;
    XrMbm::get_row_padding(h, padded, padding);
    EXPECT_EQ(padded, 8);
    EXPECT_EQ(padding, 3);

    Bytes px;
    ASSERT_TRUE(decode(mbm_record(raw_bitmap(33, 1, 1, 0, {0x0F, 0xFF, 0, 0, 0x80})), px));
    EXPECT_EQ(px, (Bytes{0xF0, 0x00, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF}));
}

TEST(MbmDecodeTest, FourBitNibblesAreSwapped)
{
    Bytes px;
    ASSERT_TRUE(decode(mbm_record(raw_bitmap(8, 1, 4, 0, {0x12, 0x34, 0xAB, 0xF0})), px));
    EXPECT_EQ(px, (Bytes{0x21, 0x43, 0xBA, 0x0F}));
}

TEST(MbmDecodeTest, ShortDataLeavesZerosAndLongDataIsCut)
{
    Bytes px;
    ASSERT_TRUE(decode(mbm_record(raw_bitmap(4, 2, 8, 0, {1, 2, 3})), px));
    EXPECT_EQ(px, (Bytes{1, 2, 3, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(decode(mbm_record(raw_bitmap(4, 1, 8, 0, {1, 2, 3, 4, 5, 6})), px));
    EXPECT_EQ(px, (Bytes{1, 2, 3, 4}));
}

// Faults of the pixel data are reported, never fatal.
TEST(MbmDecodeTest, BadPixelDataFails)
{
    struct Case {
        const char* what;
        XrMbmBitmap bitmap;
    };
    const Case cases[] = {
        {"repeat run past the size", raw_bitmap(4, 1, 8, 1, {0x04, 0x41})},
        {"literal run past the size", raw_bitmap(4, 1, 8, 1, {0xFB, 1, 2, 3, 4, 5})},
        {"literal run past the data", raw_bitmap(8, 1, 8, 1, {0xFC, 1, 2})},
        {"repeat marker without its byte", raw_bitmap(8, 1, 8, 1, {0x01, 7, 0x01})},
        {"12-bit run past the size", raw_bitmap(3, 1, 12, 2, {0x00, 0xF0})},
        {"16-bit run-length", raw_bitmap(2, 2, 16, 3, {0, 0})},
        {"24-bit run-length", raw_bitmap(2, 2, 24, 4, {0, 0})},
        {"unknown compression", raw_bitmap(2, 2, 24, 9, {0, 0})},
        {"unknown depth", raw_bitmap(2, 2, 7, 0, {0, 0})},
        {"no pixels", raw_bitmap(0, 2, 24, 0, {})},
        {"too wide", raw_bitmap(70000, 1, 1, 0, {})},
        {"too large", raw_bitmap(65535, 65535, 32, 0, {})},
    };
    for (const Case& c : cases) {
        Bytes px;
        EXPECT_FALSE(decode(mbm_record(c.bitmap), px)) << c.what;
    }
}

TEST(MbmDecodeTest, DecodesIntoTheCallersBuffer)
{
    Bytes record = mbm_record(raw_bitmap(4, 1, 8, 1, {0x03, 0x07}));
    BYTE buffer[6] = {9, 9, 9, 9, 9, 9};
    BYTE* pixels = buffer;
    int size = 3;
    EXPECT_FALSE(XrMbm::fill_bit_values(record.data(), pixels, size, false));
    size = 6;
    ASSERT_TRUE(XrMbm::fill_bit_values(record.data(), pixels, size, false));
    EXPECT_EQ(pixels, buffer);
    EXPECT_EQ(size, 4);
    EXPECT_EQ(Bytes(buffer, buffer + 6), (Bytes{7, 7, 7, 7, 9, 9}));
}

TEST(MbmDecodeTest, CheckRecord)
{
    Bytes r = mbm_record(raw_bitmap(1, 1, 8, 0, {5}));
    EXPECT_TRUE(XrMbm::check_record(r.data(), static_cast<std::uint32_t>(r.size())));
    EXPECT_TRUE(XrMbm::check_record(r.data(), static_cast<std::uint32_t>(r.size() + 10)));
    EXPECT_FALSE(XrMbm::check_record(r.data(), static_cast<std::uint32_t>(r.size() - 1)));
    EXPECT_FALSE(XrMbm::check_record(r.data(), 39));
    EXPECT_FALSE(XrMbm::check_record(nullptr, 100));
}

} // namespace
