#include "common/ber/xr_streams.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

#include "common/ber/xr_propertybag.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_file.h"
#include "support/xr_temp_root.h"
#include "tests/common/ber/ber_test_util.h"

namespace {

Bytes uncompressed(const Bytes& z, int max)
{
    Bytes out(max);
    int len = max;
    EXPECT_TRUE(zlib_uncompress(z.data(), static_cast<int>(z.size()), out.data(), len));
    out.resize(len);
    return out;
}

Bytes read_all(XrInputStream& in)
{
    Bytes out;
    for (;;) {
        std::size_t n = 7;
        const BYTE* p = in.read(&n);
        if (n == 0)
            return out;
        out.insert(out.end(), p, p + n);
    }
}

bool exists(const XrString& path)
{
    struct stat st;
    std::string p;
    return to_platform_path(path, true, p) && stat(p.c_str(), &st) == 0;
}

Bytes pattern(int n, int seed)
{
    Bytes b(n);
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<BYTE>(i * 31 + seed);
    return b;
}

} // namespace

TEST(XrInputStream, ByteArray)
{
    XrByteArray a;
    a.append("0123456789");
    XrByteArrayInputStream in(&a);
    std::size_t size = 0;
    EXPECT_TRUE(in.get_size(&size));
    EXPECT_EQ(size, 10u);
    std::size_t n = 4;
    const BYTE* p = in.read(&n);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), n), "0123");
    EXPECT_EQ(in.get_position(), 4u);
    n = 100;
    p = in.read(&n);
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), n), "456789");
    n = 1;
    in.read(&n);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(in.get_position(), 10u);
}

TEST(XrInputStream, CompressedBag)
{
    XrPropertyBag empty;
    XrBagInputStream in(empty);
    Bytes z = read_all(in);
    EXPECT_EQ(uncompressed(z, 16), hex("31 00"));
    // The zlib stream of compress() itself.
    Bytes plain = hex("31 00");
    Bytes expected(64);
    int len = 64;
    ASSERT_TRUE(zlib_compress(plain.data(), 2, expected.data(), len));
    expected.resize(len);
    EXPECT_EQ(z, expected);

    XrPropertyBag bag;
    for (int i = 0; i < 1000; ++i)
        bag.add_string(i % 10, XrString(L"repeated text"));
    XrBagInputStream big(bag);
    XrByteArray encoded;
    bag.encode(encoded);
    EXPECT_EQ(uncompressed(read_all(big), encoded.get_num_items() + 16), bytes_of(encoded));
}

TEST(XrOutputStream, ByteArray)
{
    XrByteArrayOutputStream out;
    EXPECT_EQ(out.write("abc", 3), 3u);
    Bytes big = pattern(100000, 1);
    EXPECT_EQ(out.write(big.data(), big.size()), big.size());
    EXPECT_EQ(out.get_size(), 100003u);
    EXPECT_EQ(bytes_of(*out.get_byte_array()), concat({text_bytes("abc"), big}));

    out.reset();
    EXPECT_EQ(out.get_size(), 0u);
    out.write("x", 1);
    XrByteArray* mine = out.detach_byte_array();
    EXPECT_EQ(bytes_of(*mine), text_bytes("x"));
    delete mine;
    EXPECT_EQ(out.get_byte_array(), nullptr);
    EXPECT_EQ(out.get_size(), 0u);
    // A write without an array starts a new one.
    EXPECT_EQ(out.write("yz", 2), 2u);
    EXPECT_EQ(bytes_of(*out.get_byte_array()), text_bytes("yz"));
}

TEST(XrOutputStream, SpillsToATemporaryFile)
{
    XrTempRoot root;
    XrSwappingOutputStream out(100);
    Bytes all;
    // Below the limit everything stays in memory.
    Bytes first = pattern(60, 3);
    out.write(first.data(), first.size());
    all = first;
    EXPECT_EQ(out.get_file(), nullptr);

    Bytes second = pattern(70, 5);
    out.write(second.data(), second.size());
    all = concat({all, second});
    ASSERT_NE(out.get_file(), nullptr);
    const XrString file = out.get_file()->get_name();
    EXPECT_TRUE(exists(file));
    EXPECT_EQ(out.get_file()->get_size(), 130u);
    EXPECT_EQ(out.get_size(), 130u);

    Bytes third = pattern(30, 7);
    out.write(third.data(), third.size());
    all = concat({all, third});
    Bytes fourth = pattern(500, 9);
    out.write(fourth.data(), fourth.size());
    all = concat({all, fourth});
    Bytes fifth = pattern(10, 11);
    out.write(fifth.data(), fifth.size());
    all = concat({all, fifth});
    EXPECT_EQ(out.get_size(), all.size());

    // The file's bytes come back in front of those in memory.
    XrByteArray* a = out.get_byte_array();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(bytes_of(*a), all);
    EXPECT_EQ(out.get_size(), all.size());
    EXPECT_FALSE(exists(file));

    // Spilling again, then detaching.
    Bytes more = pattern(200, 13);
    out.write(more.data(), more.size());
    all = concat({all, more});
    ASSERT_NE(out.get_file(), nullptr);
    const XrString file2 = out.get_file()->get_name();
    XrByteArray* mine = out.detach_byte_array();
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(bytes_of(*mine), all);
    delete mine;
    EXPECT_FALSE(exists(file2));
}

TEST(XrOutputStream, ResetAndDestructorDeleteTheFile)
{
    XrTempRoot root;
    Bytes data = pattern(300, 1);
    XrString file;
    {
        XrSwappingOutputStream out(16);
        out.write(data.data(), data.size());
        ASSERT_NE(out.get_file(), nullptr);
        file = out.get_file()->get_name();
        out.reset();
        EXPECT_FALSE(exists(file));
        EXPECT_EQ(out.get_size(), 0u);
        out.write(data.data(), data.size());
        ASSERT_NE(out.get_file(), nullptr);
        file = out.get_file()->get_name();
        EXPECT_TRUE(exists(file));
    }
    EXPECT_FALSE(exists(file));
}
