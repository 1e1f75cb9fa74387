#include "common/container/xr_bytes.h"

#include <gtest/gtest.h>

#include <limits>

TEST(Bytes, WriterAndCursorAgreeOnBothByteOrders)
{
    XrByteWriter w;
    w.u8(0xAB);
    w.u16_le(0x1234);
    w.u24_le(0x56789A);
    w.u32_le(0xDEADBEEF);
    w.u64_le(0x0102030405060708ull);
    w.u16_be(0x1234);
    w.u24_be(0x56789A);
    w.u32_be(0xCAFEBABE);
    w.u64_be(0x0102030405060708ull);
    ASSERT_EQ(w.size(), 1u + 2 + 3 + 4 + 8 + 2 + 3 + 4 + 8);
    EXPECT_EQ(w.bytes()[1], 0x34);
    EXPECT_EQ(w.bytes()[18], 0x12);

    XrByteCursor c(w.bytes());
    EXPECT_EQ(c.u8(), 0xAB);
    EXPECT_EQ(c.u16_le(), 0x1234);
    EXPECT_EQ(c.u24_le(), 0x56789Au);
    EXPECT_EQ(c.u32_le(), 0xDEADBEEFu);
    EXPECT_EQ(c.u64_le(), 0x0102030405060708ull);
    EXPECT_EQ(c.u16_be(), 0x1234);
    EXPECT_EQ(c.u24_be(), 0x56789Au);
    EXPECT_EQ(c.u32_be(), 0xCAFEBABEu);
    EXPECT_EQ(c.u64_be(), 0x0102030405060708ull);
    EXPECT_TRUE(c.ok());
    EXPECT_TRUE(c.at_end());
}

TEST(Bytes, SignedValuesKeepTheirSign)
{
    XrByteWriter w;
    w.u16_le(static_cast<std::uint16_t>(-2));
    w.u32_be(static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::min()));
    XrByteCursor c(w.bytes());
    EXPECT_EQ(c.i16_le(), -2);
    EXPECT_EQ(c.i32_be(), std::numeric_limits<std::int32_t>::min());
}

TEST(Bytes, ReadingPastTheEndFailsForGoodAndKeepsThePosition)
{
    const BYTE data[] = {1, 2, 3};
    XrByteCursor c(data, sizeof data);
    EXPECT_EQ(c.u16_le(), 0x0201);
    EXPECT_EQ(c.u32_le(), 0u);
    EXPECT_FALSE(c.ok());
    EXPECT_EQ(c.pos(), 2u);
    EXPECT_EQ(c.u8(), 0);  // sticky: even a byte that exists is refused now
    EXPECT_EQ(c.take(0), nullptr);
}

TEST(Bytes, SeekSubAndAbsoluteReadsAreBounded)
{
    const BYTE data[] = {0, 1, 2, 3, 4, 5, 6, 7};
    struct Case { std::size_t off, n; bool ok; };
    for (const Case& k : {Case{0, 8, true}, Case{8, 0, true}, Case{7, 2, false}, Case{9, 0, false},
                          Case{SIZE_MAX, 2, false}, Case{2, SIZE_MAX, false}}) {
        XrByteCursor c(data, sizeof data);
        EXPECT_EQ(c.at(k.off, k.n) != nullptr, k.ok) << k.off << "+" << k.n;
        EXPECT_EQ(c.ok(), k.ok);
    }
    XrByteCursor c(data, sizeof data);
    ASSERT_TRUE(c.seek(2));
    XrByteCursor s = c.sub(4);
    EXPECT_EQ(c.pos(), 6u);
    EXPECT_EQ(s.size(), 4u);
    EXPECT_EQ(s.u32_be(), 0x02030405u);
    EXPECT_FALSE(s.sub(1).ok());
    XrByteCursor t = c.sub(3);
    EXPECT_FALSE(t.ok());
    EXPECT_EQ(t.size(), 0u);
    EXPECT_FALSE(c.ok());
    XrByteCursor e;
    EXPECT_EQ(e.u8(), 0);
    EXPECT_FALSE(e.ok());
}

TEST(Bytes, WriterPatchesAndAligns)
{
    XrByteWriter w;
    w.u32_le(0);
    w.u8(7);
    w.align(4);
    EXPECT_EQ(w.size(), 8u);
    w.patch_le(0, 0xA1B2, 2);
    w.patch_be(2, 0xC3D4, 2);
    const std::vector<BYTE> want = {0xB2, 0xA1, 0xC3, 0xD4, 7, 0, 0, 0};
    EXPECT_EQ(w.bytes(), want);
    EXPECT_EQ(w.take(), want);
    EXPECT_EQ(w.size(), 0u);
}

TEST(Bytes, BlankIsSpaceTabAndLineEnds)
{
    for (wchar_t c : {L' ', L'\t', L'\r', L'\n'})
        EXPECT_TRUE(xr_bytes::is_blank(c));
    for (char c : {'a', '\0', '\v', '_'})
        EXPECT_FALSE(xr_bytes::is_blank(c));
}
