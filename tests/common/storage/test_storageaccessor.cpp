#include "common/storage/xr_storageaccessor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/container/xr_bytearray.h"
#include "common/misc/xr_path_resolver.h"
#include "support/xr_temp_root.h"

namespace {

XrString wide(const std::string& s)
{
    return from_platform_path(s.c_str());
}

std::string bytes_of(XrByteArray& a)
{
    return std::string(reinterpret_cast<const char*>(a.get_items()), static_cast<size_t>(a.get_num_items()));
}

const BYTE* B(const char* s)
{
    return reinterpret_cast<const BYTE*>(s);
}

struct RangeCase {
    std::uint32_t offset;
    std::uint32_t length;
    XrStorageAccessor::Status memory; // over a 10-byte block
    XrStorageAccessor::Status array;  // over a 10-byte array
};

class AccessorRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(AccessorRange, GetPtrAndWrite)
{
    const RangeCase& c = GetParam();
    BYTE block[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    XrMemoryStorageAccessor mem(false, block, 10, false);
    const BYTE* p = nullptr;
    EXPECT_EQ(mem.get_ptr(c.offset, c.length, &p), c.memory);
    if (c.memory == XrStorageAccessor::OK)
        EXPECT_EQ(p, block + c.offset);
    else
        EXPECT_EQ(p, nullptr);
    mem.release_ptr(p);
    // A write inside the block needs no more bytes than the range names.
    std::vector<BYTE> data(c.length <= 64 ? c.length : 0, 0xEE);
    if (c.length <= 64) {
        EXPECT_EQ(mem.write(c.offset, c.length, data.data()), c.memory);
    }

    XrByteArrayAccessor arr;
    arr.get_array()->append(block, 10);
    EXPECT_EQ(arr.get_ptr(c.offset, c.length, &p), c.array);
    arr.release_ptr(p);
}

constexpr auto OK = XrStorageAccessor::OK;
constexpr auto FAILED = XrStorageAccessor::FAILED;

INSTANTIATE_TEST_SUITE_P(Cases, AccessorRange,
                         ::testing::Values(RangeCase{0, 10, OK, OK}, RangeCase{3, 7, OK, OK},
                                           RangeCase{10, 0, OK, OK},        // the end, nothing
                                           RangeCase{10, 1, FAILED, FAILED}, // one past the end
                                           RangeCase{11, 0, FAILED, FAILED}, RangeCase{4, 7, FAILED, FAILED},
                                           // offset + length wraps in 32 bits
                                           RangeCase{5, 0xFFFFFFFFu, FAILED, FAILED},
                                           RangeCase{0xFFFFFFF8u, 0x10, FAILED, FAILED}));

TEST(MemoryStorageAccessor, WriteCopiesIntoTheBlock)
{
    BYTE block[4] = {1, 2, 3, 4};
    XrMemoryStorageAccessor mem(false, block, 4, false);
    const BYTE two[2] = {9, 8};
    EXPECT_EQ(mem.write(1, 2, two), OK);
    EXPECT_EQ(std::memcmp(block, "\x01\x09\x08\x04", 4), 0);
    EXPECT_FALSE(mem.is_read_only());
    EXPECT_TRUE(mem.remove());
}

struct SizeCase {
    bool read_only;
    bool owner;
    std::uint32_t new_size;
    XrStorageAccessor::Status expected;
    std::uint32_t size_after;
};

class MemorySetSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(MemorySetSize, Rules)
{
    const SizeCase& c = GetParam();
    BYTE* block = new BYTE[8]();
    XrMemoryStorageAccessor mem(c.read_only, block, 8, c.owner);
    EXPECT_EQ(mem.set_size(c.new_size), c.expected);
    EXPECT_EQ(mem.get_size(), c.size_after);
    const BYTE b = 1;
    EXPECT_EQ(mem.write(0, 1, &b), c.read_only ? XrStorageAccessor::NOT_ALLOWED : OK);
    if (!c.owner)
        delete[] block;
}

constexpr auto NOT_ALLOWED = XrStorageAccessor::NOT_ALLOWED;

INSTANTIATE_TEST_SUITE_P(Cases, MemorySetSize,
                         ::testing::Values(SizeCase{true, true, 4, NOT_ALLOWED, 8},   // read-only
                                           SizeCase{false, false, 4, NOT_ALLOWED, 8}, // not owned
                                           SizeCase{false, true, 4, OK, 4},           // shrinks for real
                                           SizeCase{false, true, 8, OK, 8},
                                           SizeCase{false, true, 9, NOT_ALLOWED, 8})); // no growing

TEST(MemoryStorageAccessor, ShrunkBlockRefusesTheCutBytes)
{
    XrMemoryStorageAccessor mem(false, new BYTE[8](), 8, true);
    ASSERT_EQ(mem.set_size(2), OK);
    const BYTE* p = nullptr;
    EXPECT_EQ(mem.get_ptr(0, 3, &p), FAILED);
    const BYTE b[3] = {};
    EXPECT_EQ(mem.write(1, 2, b), FAILED);
}

TEST(ByteArrayAccessor, WritesInsertOrAppend)
{
    XrByteArrayAccessor a;
    const BYTE ab[2] = {'a', 'b'};
    ASSERT_EQ(a.write(0, 2, ab), OK);
    ASSERT_EQ(a.write(0, 1, B("x")), OK); // insertion before the rest
    EXPECT_EQ(bytes_of(*a.get_array()), "xab");
    ASSERT_EQ(a.write(3, 1, B("y")), OK); // at the end: appended
    EXPECT_EQ(bytes_of(*a.get_array()), "xaby");
    EXPECT_EQ(a.write(5, 1, B("z")), FAILED); // past the end
    EXPECT_EQ(a.write(0xFFFFFFFFu, 1, B("z")), FAILED);
    EXPECT_EQ(bytes_of(*a.get_array()), "xaby");
    EXPECT_EQ(a.get_size(), 4u);
    EXPECT_FALSE(a.is_read_only());
}

TEST(ByteArrayAccessor, SetSizeShrinksAndLeavesGrowthToWrites)
{
    XrByteArrayAccessor a;
    ASSERT_EQ(a.write(0, 5, B("hello")), OK);
    EXPECT_EQ(a.set_size(9), OK); // growing: the appending writes do it
    EXPECT_EQ(a.get_size(), 5u);
    EXPECT_EQ(a.set_size(2), OK);
    EXPECT_EQ(bytes_of(*a.get_array()), "he");
    EXPECT_EQ(a.set_size(0), OK);
    EXPECT_EQ(a.get_size(), 0u);
    EXPECT_EQ(a.replace_all(B("new"), 3), OK);
    EXPECT_EQ(bytes_of(*a.get_array()), "new");
}

TEST(ByteArrayAccessor, CallersArrayIsReadButNotChanged)
{
    XrByteArray mine;
    mine.append("abc");
    XrByteArrayAccessor a;
    a.attach(&mine);
    const BYTE* p = nullptr;
    ASSERT_EQ(a.get_ptr(1, 2, &p), OK);
    EXPECT_EQ(std::memcmp(p, "bc", 2), 0);
    EXPECT_EQ(a.write(3, 1, B("d")), FAILED);
    EXPECT_EQ(a.set_size(1), NOT_ALLOWED);
    EXPECT_EQ(a.replace_all(B("x"), 1), FAILED);
    EXPECT_EQ(bytes_of(mine), "abc");
    // The accessor leaves the caller's array alone when it goes.
}

TEST(BufferableStorageAccessor, GetAllAndGetBuffer)
{
    BYTE block[5] = {'h', 'e', 'l', 'l', 'o'};
    XrMemoryStorageAccessor mem(true, block, 5, false);
    std::size_t n = 0;
    const BYTE* p = nullptr;
    ASSERT_EQ(mem.get_all(&n, &p), OK);
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(p, block);
    ASSERT_EQ(mem.get_buffer(4, 1, &p), OK);
    EXPECT_EQ(*p, 'o');
    EXPECT_EQ(mem.get_buffer(4, 2, &p), FAILED);
}

class FileStorageAccessorTest : public ::testing::Test {
protected:
    XrTempRoot root;
    std::string dir = root.make_dirs("/data");
};

TEST_F(FileStorageAccessorTest, SchemesAndCreation)
{
    EXPECT_EQ(create_storage_accessor(L"http://host/file"), nullptr);
    EXPECT_EQ(open_storage_accessor(L"ftp://host/file", true), nullptr);
    EXPECT_EQ(open_storage_accessor(wide(dir + "/missing"), true), nullptr);

    std::unique_ptr<XrStorageAccessor> a(create_storage_accessor(wide("file://" + dir + "/new.bin")));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->get_size(), 0u);
    EXPECT_TRUE(std::ifstream(dir + "/new.bin").good());

    root.write_file("/data/old.bin", "content");
    std::unique_ptr<XrStorageAccessor> b(open_storage_accessor(wide("file://" + dir + "/old.bin"), true));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->get_size(), 7u);
    EXPECT_TRUE(b->is_read_only());
}

TEST_F(FileStorageAccessorTest, ReadWriteInsideTheSize)
{
    root.write_file("/data/f.bin", "0123456789");
    std::unique_ptr<XrStorageAccessor> a(open_storage_accessor(wide(dir + "/f.bin"), false));
    ASSERT_NE(a, nullptr);
    const BYTE* p = nullptr;
    ASSERT_EQ(a->get_ptr(2, 3, &p), OK);
    EXPECT_EQ(std::memcmp(p, "234", 3), 0);
    a->release_ptr(p);
    EXPECT_EQ(a->get_ptr(8, 3, &p), FAILED);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(a->get_ptr(0xFFFFFFF0u, 0x20, &p), FAILED);

    EXPECT_EQ(a->write(9, 2, B("xy")), FAILED); // past the size: grow first
    ASSERT_EQ(a->set_size(11), OK);
    ASSERT_EQ(a->write(9, 2, B("xy")), OK);
    EXPECT_EQ(XrTempRoot::read_file(dir + "/f.bin"), "012345678xy");
    ASSERT_EQ(a->set_size(4), OK);
    EXPECT_EQ(XrTempRoot::read_file(dir + "/f.bin"), "0123");
    EXPECT_TRUE(a->remove());
    EXPECT_FALSE(std::ifstream(dir + "/f.bin").good());
}

TEST_F(FileStorageAccessorTest, ReadOnlyFileRefusesChanges)
{
    root.write_file("/data/f.bin", "abc");
    std::unique_ptr<XrStorageAccessor> a(open_storage_accessor(wide(dir + "/f.bin"), true));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->write(0, 1, B("x")), NOT_ALLOWED);
    EXPECT_EQ(a->set_size(1), NOT_ALLOWED);
    EXPECT_EQ(a->replace_all(B("x"), 1), NOT_ALLOWED);
    EXPECT_EQ(XrTempRoot::read_file(dir + "/f.bin"), "abc");
}

TEST_F(FileStorageAccessorTest, ReplaceAllSwapsInANewFile)
{
    root.write_file("/data/f.bin", "old contents");
    std::unique_ptr<XrStorageAccessor> a(open_storage_accessor(wide(dir + "/f.bin"), false));
    ASSERT_NE(a, nullptr);
    // A reader that opened the file before keeps the whole old file: the
    // new one is renamed over it, never written in place.
    std::ifstream before(dir + "/f.bin", std::ios::binary);
    ASSERT_EQ(a->replace_all(B("new"), 3), OK);
    std::string old_seen((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
    EXPECT_EQ(old_seen, "old contents");
    EXPECT_EQ(XrTempRoot::read_file(dir + "/f.bin"), "new");
    // The accessor works on the new file.
    EXPECT_EQ(a->get_size(), 3u);
    ASSERT_EQ(a->write(0, 1, B("N")), OK);
    EXPECT_EQ(XrTempRoot::read_file(dir + "/f.bin"), "New");
}

} // namespace
