#include "common/storage/xr_gdiff.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/container/xr_bytearray.h"
#include "common/misc/xr_path_resolver.h"
#include "common/storage/xr_gdifflayout.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/gdiff_writer.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes bytes(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// A read-only accessor over a copy of the bytes.
std::unique_ptr<XrStorageAccessor> memory(const Bytes& b)
{
    BYTE* copy = new BYTE[b.size() + 1];
    std::copy(b.begin(), b.end(), copy);
    return std::make_unique<XrMemoryStorageAccessor>(true, copy, static_cast<std::uint32_t>(b.size()), true);
}

Bytes contents(XrByteArrayAccessor& a)
{
    XrByteArray* arr = a.get_array();
    return Bytes(arr->get_items(), arr->get_items() + arr->get_num_items());
}

// Applies into a fresh byte array; the result and what the target holds.
bool apply(const Bytes& old, const Bytes& diff, Bytes& out)
{
    auto o = memory(old);
    auto d = memory(diff);
    XrByteArrayAccessor target;
    bool ok = apply_gdiff(o.get(), d.get(), &target, false, nullptr, nullptr);
    out = contents(target);
    return ok;
}

struct GdiffCase {
    const char* what;
    Bytes diff;
    bool ok;
    std::string expected; // the target afterwards
};

class GdiffApply : public ::testing::TestWithParam<GdiffCase> {};

TEST_P(GdiffApply, Result)
{
    const GdiffCase& c = GetParam();
    Bytes out;
    EXPECT_EQ(apply(bytes("XYZ old data"), c.diff, out), c.ok) << c.what;
    EXPECT_EQ(std::string(out.begin(), out.end()), c.expected) << c.what;
}

const Bytes header = [] {
    Bytes b(std::begin(xr_gdiff_layout::MAGIC), std::end(xr_gdiff_layout::MAGIC));
    b.push_back(xr_gdiff_layout::FORMAT_VERSION);
    return b;
}();

Bytes with_header(const Bytes& tail)
{
    Bytes b = header;
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GdiffApply,
    ::testing::Values(
        GdiffCase{"data then copy", with_header({3, 'A', 'B', 'C', 249, 0, 0, 2, 0}), true, "ABCXY"},
        GdiffCase{"end only", with_header({0}), true, ""},
        GdiffCase{"data after the end command is ignored", with_header({1, 'q', 0, 1, 'r'}), true, "q"},
        GdiffCase{"header only: no end command", header, false, ""},
        GdiffCase{"commands without the end command", with_header({2, 'h', 'i'}), false, "hi"},
        GdiffCase{"data cut short", with_header({5, 'a', 'b'}), false, ""},
        GdiffCase{"copy fields cut short", with_header({250, 0, 0, 0}), false, ""},
        GdiffCase{"version 5", {0xD1, 0xFF, 0xD1, 0xFF, 0x05, 0}, false, ""},
        GdiffCase{"bad magic", {0xD1, 0xFF, 0xD0, 0xFF, 0x04, 0}, false, ""},
        GdiffCase{"shorter than the header", {0xD1, 0xFF}, false, ""},
        GdiffCase{"64-bit copy", with_header({1, 'a', 255, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0}), false, "a"},
        GdiffCase{"copy past the old data", with_header({249, 0, 10, 3, 0}), false, ""},
        GdiffCase{"copy of the last bytes", with_header({249, 0, 9, 3, 0}), true, "ata"},
        GdiffCase{"copy with a wrapping range", with_header({254, 0, 0, 0, 5, 0xFF, 0xFF, 0xFF, 0xFF, 0}), false,
                  ""}));

TEST(Gdiff, EveryCommandForm)
{
    // Old data long enough for 32-bit positions.
    Bytes old(70000 + 300);
    for (std::size_t i = 0; i < old.size(); ++i)
        old[i] = static_cast<BYTE>(i * 7 + i / 251);
    Bytes big(70000, 'D');
    XrGdiffWriter w;
    w.raw(247, {0x00, 0x03, 'x', 'y', 'z'});             // DATA, u16 length
    w.data(big);                                         // 248: u32 length
    w.raw(249, {0x00, 0x10, 0x02});                      // u16 pos, u8 len
    w.raw(250, {0x00, 0x20, 0x01, 0x00});                // u16 pos, u16 len
    w.raw(251, {0x00, 0x30, 0x00, 0x00, 0x00, 0x03});    // u16 pos, u32 len
    w.raw(252, {0x00, 0x01, 0x11, 0x70, 0x04});          // u32 pos, u8 len
    w.raw(253, {0x00, 0x01, 0x11, 0x71, 0x01, 0x00});    // u32 pos, u16 len
    w.raw(254, {0x00, 0x01, 0x11, 0x72, 0, 0, 0, 5});    // u32 pos, u32 len
    w.end();
    ASSERT_EQ(w.bytes()[5 + 1 + 2 + 3], 248);

    Bytes expected = bytes("xyz");
    expected.insert(expected.end(), big.begin(), big.end());
    auto add = [&](std::size_t pos, std::size_t len) {
        expected.insert(expected.end(), old.begin() + static_cast<long>(pos), old.begin() + static_cast<long>(pos + len));
    };
    add(0x10, 2);
    add(0x20, 256);
    add(0x30, 3);
    add(0x11170, 4);
    add(0x11171, 256);
    add(0x11172, 5);

    Bytes out;
    ASSERT_TRUE(apply(old, w.bytes(), out));
    EXPECT_EQ(out, expected);
}

TEST(Gdiff, WriterRoundTripIntoAFile)
{
    XrTempRoot root;
    std::string path = root.make_dirs("/diff") + "/new.bin";
    Bytes old(100000), changed;
    for (std::size_t i = 0; i < old.size(); ++i)
        old[i] = static_cast<BYTE>(i % 253);
    changed = old;
    for (std::size_t i = 5000; i < 75000; ++i) // a long literal stretch
        changed[i] = static_cast<BYTE>(~changed[i]);
    changed.insert(changed.begin() + 90000, 10, 'n');
    Bytes diff = make_gdiff(old, changed);
    ASSERT_LT(diff.size(), changed.size());

    auto o = memory(old);
    auto d = memory(diff);
    std::unique_ptr<XrStorageAccessor> out(create_storage_accessor(from_platform_path(path.c_str())));
    ASSERT_NE(out, nullptr);
    const BYTE junk[4] = {1, 2, 3, 4};
    ASSERT_EQ(out->set_size(4), XrStorageAccessor::OK);
    ASSERT_EQ(out->write(0, 4, junk), XrStorageAccessor::OK);

    struct Seen {
        Bytes bytes;
        int calls = 0;
    } seen;
    auto progress = [](const BYTE* b, std::uint32_t n, void* user) {
        Seen* s = static_cast<Seen*>(user);
        s->bytes.insert(s->bytes.end(), b, b + n);
        ++s->calls;
    };
    ASSERT_TRUE(apply_gdiff(o.get(), d.get(), out.get(), false, progress, &seen));
    std::ifstream in(path, std::ios::binary);
    Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, changed); // the old contents were dropped first
    EXPECT_EQ(seen.bytes, changed);
    EXPECT_GT(seen.calls, 2);
}

TEST(Gdiff, KeepOutputWritesOverTheTarget)
{
    BYTE* block = new BYTE[6];
    std::copy_n("......", 6, block);
    XrMemoryStorageAccessor out(false, block, 6, true);
    auto o = memory(bytes("old"));
    auto d = memory(with_header({2, 'a', 'b', 249, 0, 0, 2, 0}));
    ASSERT_TRUE(apply_gdiff(o.get(), d.get(), &out, true, nullptr, nullptr));
    EXPECT_EQ(std::string(block, block + 6), "abol..");
    // Without keep_output the target grows with each block, which a memory
    // block refuses.
    EXPECT_FALSE(apply_gdiff(o.get(), d.get(), &out, false, nullptr, nullptr));
}

TEST(Gdiff, BigEndianHelpers)
{
    const BYTE b[4] = {0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(read_be(b, 1), 0x12u);
    EXPECT_EQ(read_be(b, 2), 0x1234u);
    EXPECT_EQ(read_be(b, 4), 0x12345678u);
    BYTE w[4] = {};
    write_be(w, 0xA1B2C3D4u, 4);
    EXPECT_EQ(read_be(w, 4), 0xA1B2C3D4u);
    write_be(w, 0x0102u, 2);
    EXPECT_EQ(w[0], 0x01);
    EXPECT_EQ(w[1], 0x02);
}

} // namespace
