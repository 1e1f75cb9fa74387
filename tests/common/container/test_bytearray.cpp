#include "common/container/xr_bytearray.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> bytes(const XrByteArray& a)
{
    return std::vector<BYTE>(a.get_items(), a.get_items() + a.get_num_items());
}

std::vector<BYTE> compressed(const std::vector<BYTE>& plain)
{
    std::vector<BYTE> out(plain.size() + plain.size() / 100 + 64);
    int len = static_cast<int>(out.size());
    EXPECT_TRUE(zlib_compress(plain.data(), static_cast<int>(plain.size()), out.data(), len));
    out.resize(len);
    return out;
}

} // namespace

TEST(XrByteArray, IntegerAppends)
{
    XrByteArray a;
    a.append_u32_le(0x11223344);
    a.append_u32_be(0x11223344);
    a.append_u24_le(0x11223344);
    a.append_u16_le(0xA1B2);
    a.append_u64_le(0x0102030405060708ULL);
    a.append_byte(0xFE);
    EXPECT_EQ(bytes(a), (std::vector<BYTE>{0x44, 0x33, 0x22, 0x11, 0x11, 0x22, 0x33, 0x44, 0x44, 0x33, 0x22, 0xB2,
                                           0xA1, 8, 7, 6, 5, 4, 3, 2, 1, 0xFE}));
}

TEST(XrByteArray, Varints)
{
    struct Case {
        int value;
        std::vector<BYTE> out;
    } cases[] = {
        {5, {0x45}},
        {-5, {0x05}},
        {0, {0x40}},
        {63, {0x7F}},
        {-63, {0x3F}},
        {64, {0xC0, 0x40}},
        {-64, {0x80, 0x40}},
        {300, {0xC2, 0x2C}},
        {8191, {0xFF, 0x7F}},
        {8192, {0xC0, 0xC0, 0x00}},
        {-8192, {0x80, 0xC0, 0x00}},
        {1048575, {0xFF, 0xFF, 0x7F}},
        {-1048575, {0xBF, 0xFF, 0x7F}},
    };
    for (const Case& c : cases) {
        XrByteArray a;
        EXPECT_TRUE(a.append_varint(c.value)) << c.value;
        EXPECT_EQ(bytes(a), c.out) << c.value;
    }
    for (int refused : {1048576, -1048576, INT_MAX, INT_MIN}) {
        XrByteArray a;
        a.append_byte(1);
        EXPECT_FALSE(a.append_varint(refused)) << refused;
        EXPECT_EQ(a.get_num_items(), 1);
    }
}

TEST(XrByteArray, Bits)
{
    XrByteArray a;
    EXPECT_EQ(a.highest_set_bit(), -1);
    EXPECT_FALSE(a.get_bit(0));
    ASSERT_TRUE(a.set_bit(17, true));
    EXPECT_EQ(bytes(a), (std::vector<BYTE>{0x00, 0x00, 0x02}));
    EXPECT_EQ(a.highest_set_bit(), 17);
    EXPECT_EQ(a.count_set_bits(), 1);
    EXPECT_TRUE(a.get_bit(17));
    EXPECT_FALSE(a.get_bit(16));
    EXPECT_FALSE(a.get_bit(1000));
    EXPECT_FALSE(a.get_bit(-1));

    a.set_bit(0, true);
    a.set_bit(7, true);
    EXPECT_EQ(a.count_set_bits(), 3);
    a.set_bit(17, false);
    EXPECT_EQ(a.highest_set_bit(), 7);
    EXPECT_EQ(a.get_num_items(), 3);
    a.set_bit(40, false); // clearing beyond the end still extends with zeros
    EXPECT_EQ(bytes(a), (std::vector<BYTE>{0x81, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(a.set_bit(-3, true));
}

TEST(XrByteArray, OrWith)
{
    XrByteArray a, b;
    a.set_bit(1, true);
    b.set_bit(0, true);
    b.set_bit(20, true);
    EXPECT_EQ(a.or_with(b), 3);
    EXPECT_EQ(bytes(a), (std::vector<BYTE>{0x03, 0x00, 0x10}));
    XrByteArray shorter;
    shorter.append_byte(0x40);
    EXPECT_EQ(a.or_with(shorter), 1);
    EXPECT_EQ(bytes(a), (std::vector<BYTE>{0x43, 0x00, 0x10}));
}

TEST(XrByteArray, TextAppends)
{
    XrByteArray a;
    a.append("ab");
    a.append(L"c\x00E9\x1234"); // low 8 bits of each character
    a.append(static_cast<const char*>(nullptr));
    EXPECT_EQ(bytes(a), (std::vector<BYTE>{'a', 'b', 'c', 0xE9, 0x34}));

    XrByteArray b;
    b.append(L"x\x0100y"); // a character whose low 8 bits are 0 ends the text
    EXPECT_EQ(bytes(b), (std::vector<BYTE>{'x'}));

    XrByteArray f;
    f.append_fixed(L"abcdef", 4);
    f.append_fixed(L"ab", 4);
    f.append_fixed(L"", 2);
    EXPECT_EQ(bytes(f), (std::vector<BYTE>{'a', 'b', 'c', 'd', 'a', 'b', 0, 0, 0, 0}));
    EXPECT_FALSE(f.append_fixed(L"a", -1));
}

TEST(XrByteArray, LongWideTextIsNotCut)
{
    // Far beyond the 2048 characters of the shared conversion buffer.
    std::wstring w(10000, L'q');
    w[9999] = L'z';
    XrByteArray a;
    ASSERT_TRUE(a.append(w.c_str()));
    ASSERT_EQ(a.get_num_items(), 10000);
    EXPECT_EQ(a.get_items()[0], 'q');
    EXPECT_EQ(a.get_items()[9999], 'z');
    XrByteArray f;
    ASSERT_TRUE(f.append_fixed(w.c_str(), 5000));
    EXPECT_EQ(f.get_num_items(), 5000);
}

TEST(XrByteArray, InsertRemoveAndSetItem)
{
    XrByteArray a;
    a.append("acd", 3);
    ASSERT_TRUE(a.insert(1, "b", 1));
    ASSERT_TRUE(a.insert(4, "ef", 2));
    ASSERT_TRUE(a.insert(0, "", 0));
    EXPECT_FALSE(a.insert(7, "x", 1));
    EXPECT_FALSE(a.insert(-1, "x", 1));
    EXPECT_EQ(std::string(a.get_items(), a.get_items() + a.get_num_items()), "abcdef");

    XrByteArray empty;
    EXPECT_TRUE(empty.remove_range(0, 0)); // no storage yet
    EXPECT_FALSE(a.remove_range(4, 3));
    EXPECT_FALSE(a.remove_range(-1, 1));
    EXPECT_FALSE(a.remove_range(1, INT_MAX));
    ASSERT_TRUE(a.remove_range(4, 2)); // pos + n equal to the count: only shortens
    ASSERT_TRUE(a.remove_range(0, 1));
    EXPECT_EQ(std::string(a.get_items(), a.get_items() + a.get_num_items()), "bcd");

    ASSERT_TRUE(a.set_item(0, 'B'));
    ASSERT_TRUE(a.set_item(5, 'F'));
    EXPECT_EQ(a.get_num_items(), 6);
    EXPECT_EQ(a.get_items()[0], 'B');
    EXPECT_EQ(a.get_items()[5], 'F');
    EXPECT_FALSE(a.set_item(-1, 0));
}

TEST(XrByteArray, InsertOfItsOwnBytes)
{
    XrByteArray a;
    a.append("0123456789abcdef", 16); // storage exactly full
    ASSERT_TRUE(a.insert(0, a.get_items() + 10, 6));
    EXPECT_EQ(std::string(a.get_items(), a.get_items() + a.get_num_items()), "abcdef0123456789abcdef");
    ASSERT_TRUE(a.append(a));
    EXPECT_EQ(a.get_num_items(), 44);
    ASSERT_TRUE(a.append(a.get_items() + 40, 4));
    EXPECT_EQ(std::string(a.get_items() + 44, a.get_items() + 48), "cdef");
}

TEST(XrByteArray, GrowSpaceSetCopyAssign)
{
    XrByteArray a;
    ASSERT_TRUE(a.grow_to(3));
    EXPECT_EQ(a.get_num_items(), 3);
    EXPECT_EQ(a.get_capacity(), 16);
    ASSERT_TRUE(a.grow_to(1)); // never shrinks
    EXPECT_EQ(a.get_num_items(), 3);
    ASSERT_TRUE(a.grow_to(20));
    EXPECT_EQ(a.get_capacity(), 36);
    EXPECT_EQ(a.append_space(-1), nullptr);
    EXPECT_EQ(a.append_space(INT_MAX), nullptr);
    EXPECT_EQ(a.get_num_items(), 20);
    BYTE* p = a.append_space(2);
    ASSERT_NE(p, nullptr);
    p[0] = 'x';
    p[1] = 'y';
    EXPECT_EQ(a.get_num_items(), 22);

    const BYTE src[] = {1, 2, 3};
    ASSERT_TRUE(a.set(src, 3));
    EXPECT_EQ(bytes(a), (std::vector<BYTE>{1, 2, 3}));
    XrByteArray copy(a);
    EXPECT_EQ(bytes(copy), bytes(a));
    XrByteArray other;
    other.append("zz");
    other = a;
    EXPECT_EQ(bytes(other), bytes(a));
    XrByteArray& same = other;
    other = same;
    EXPECT_EQ(bytes(other), bytes(a));
    EXPECT_FALSE(a.append(src, -1));
    EXPECT_FALSE(a.append(nullptr, 1));
}

TEST(XrZlib, RoundTrip)
{
    std::vector<BYTE> plain;
    for (int i = 0; i < 5000; ++i)
        plain.push_back(static_cast<BYTE>(i * 7 % 13));
    std::vector<BYTE> z = compressed(plain);
    ASSERT_LT(z.size(), plain.size());

    std::vector<BYTE> back(plain.size());
    int len = static_cast<int>(back.size());
    ASSERT_TRUE(zlib_uncompress(z.data(), static_cast<int>(z.size()), back.data(), len));
    EXPECT_EQ(len, 5000);
    EXPECT_EQ(back, plain);

    // A larger buffer reports the length produced.
    std::vector<BYTE> big(9000);
    len = static_cast<int>(big.size());
    ASSERT_TRUE(zlib_uncompress(z.data(), static_cast<int>(z.size()), big.data(), len));
    EXPECT_EQ(len, 5000);
}

TEST(XrZlib, EmptySource)
{
    BYTE out[4];
    int len = 4;
    EXPECT_TRUE(zlib_compress(nullptr, 0, out, len));
    EXPECT_EQ(len, 0);
    len = 4;
    EXPECT_TRUE(zlib_uncompress(nullptr, 0, out, len));
    EXPECT_EQ(len, 0);
}

TEST(XrZlib, CompressIntoTooSmallBuffer)
{
    std::vector<BYTE> plain(1000);
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<BYTE>(i * 131 + i / 7);
    BYTE out[16];
    int len = sizeof out;
    EXPECT_FALSE(zlib_compress(plain.data(), 1000, out, len));
    EXPECT_FALSE(zlib_compress(plain.data(), -1, out, len));
}

TEST(XrZlib, CorruptAndCutData)
{
    const std::vector<BYTE> abc = {'a', 'b', 'c'};
    std::vector<BYTE> z = compressed(abc);

    struct Case {
        const char* what;
        std::vector<BYTE> data;
    };
    std::vector<BYTE> bad_sum = z, bad_body = z, bad_header = z, cut = z;
    bad_sum.back() ^= 0x01;
    bad_body[3] ^= 0x55;
    bad_header[0] = 0x00;
    cut.resize(cut.size() - 2);
    const Case cases[] = {
        {"bad checksum", bad_sum},
        {"bad body", bad_body},
        {"bad header", bad_header},
        {"cut checksum", cut},
        {"garbage", {1, 2, 3, 4, 5, 6}},
    };
    for (const Case& c : cases) {
        // A short output that fills the buffer exactly: still an error.
        BYTE out[3];
        int len = 3;
        EXPECT_FALSE(zlib_uncompress(c.data.data(), static_cast<int>(c.data.size()), out, len)) << c.what;
        BYTE roomy[64];
        len = 64;
        EXPECT_FALSE(zlib_uncompress(c.data.data(), static_cast<int>(c.data.size()), roomy, len)) << c.what;
    }
}

TEST(XrZlib, ShortPrefixOfALongerStream)
{
    std::vector<BYTE> plain;
    for (int i = 0; i < 100; ++i)
        plain.push_back(static_cast<BYTE>(i));
    std::vector<BYTE> z = compressed(plain);

    BYTE head[8];
    int len = 8;
    ASSERT_TRUE(zlib_uncompress(z.data(), static_cast<int>(z.size()), head, len));
    EXPECT_EQ(len, 8);
    EXPECT_EQ(std::vector<BYTE>(head, head + 8), std::vector<BYTE>(plain.begin(), plain.begin() + 8));

    BYTE more[9];
    len = 9;
    EXPECT_FALSE(zlib_uncompress(z.data(), static_cast<int>(z.size()), more, len));
}

TEST(XrZlib, WholeStreamOnly)
{
    std::vector<BYTE> plain;
    for (int i = 0; i < 100; ++i)
        plain.push_back(static_cast<BYTE>(i * 3));
    const std::vector<BYTE> z = compressed(plain);
    const std::vector<BYTE> abc = compressed({'a', 'b', 'c'});
    std::vector<BYTE> cut = z;
    cut.resize(cut.size() - 2);

    struct Case {
        const char* what;
        const std::vector<BYTE>* data;
        int room;
        bool ok;
        int length;
    };
    const Case cases[] = {
        {"exact fit", &z, 100, true, 100},
        {"roomy buffer", &z, 200, true, 100},
        {"one byte short", &z, 99, false, 0},
        {"a head of at most 8 bytes", &z, 8, false, 0},
        {"no room", &z, 0, false, 0},
        {"short stream, exact", &abc, 3, true, 3},
        {"short stream, short", &abc, 2, false, 0},
        {"cut", &cut, 200, false, 0},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> out(static_cast<size_t>(c.room) + 1, 0xEE);
        int len = c.room;
        EXPECT_EQ(zlib_uncompress_whole(c.data->data(), static_cast<int>(c.data->size()), out.data(), len), c.ok)
            << c.what;
        if (c.ok) {
            EXPECT_EQ(len, c.length) << c.what;
        }
        EXPECT_EQ(out[static_cast<size_t>(c.room)], 0xEE) << c.what; // nothing written past the room
    }
    BYTE out[4];
    int len = 4;
    EXPECT_FALSE(zlib_uncompress_whole(nullptr, 0, out, len));
    EXPECT_FALSE(zlib_uncompress_whole(z.data(), 0, out, len));
}
