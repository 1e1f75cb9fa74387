#include <gtest/gtest.h>

#include "common/container/xr_bytearray.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/storage/xr_tmctablerecord.h"

namespace {

TEST(PairKey, MakeAndSplit)
{
    struct Case {
        const TCHAR* text;
        std::uint16_t low;
        std::uint32_t key;
    } cases[] = {
        {L"1A", 5, 26u * 65536u + 5u},
        {L"0x1a", 5, 26u * 65536u + 5u},
        {L"0X1F", 0, 0x1Fu << 16},
        {L"fF", 0xFFFF, 0x00FFFFFFu},
        {L"12g4", 1, (0x12u << 16) + 1},
        {L"", 7, 7},
        {L"zz", 3, 3},
        {L"0x", 1, 1},
        {L"x12", 2, 2},
        {L" 12", 2, 2},
        {nullptr, 9, 9},
        // Only the low 16 bits of the number fit into the key.
        {L"12345", 0, 0x2345u << 16},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(make_pair_key(c.text, c.low), c.key) << (c.text != nullptr ? c.text : L"(null)");
        std::uint16_t high = 1, low = 1;
        split_pair_key(c.key, high, low);
        EXPECT_EQ(low, c.low);
        EXPECT_EQ(high, c.key >> 16);
    }
}

TEST(PairKey, Slot)
{
    EXPECT_EQ(key_slot(7, 20), 6u);
    EXPECT_EQ(key_slot(10, 0xFFFFFFFFu), 5u); // unsigned
    EXPECT_EQ(key_slot(1, 12345), 0u);
    EXPECT_EQ(key_slot(0, 12345), 0u); // an empty table
}

// Counts the pointers given back.
class CountingAccessor : public XrMemoryStorageAccessor {
public:
    explicit CountingAccessor(BYTE* data) : XrMemoryStorageAccessor(true, data, 64, false) {}
    void release_ptr(const BYTE* ptr) override
    {
        released.push_back(ptr);
        XrMemoryStorageAccessor::release_ptr(ptr);
    }
    std::vector<const BYTE*> released;
};

TEST(TmcTableRecord, LifeCycle)
{
    BYTE data[64] = {};
    CountingAccessor storage(data);
    XrTmcTableRecord r;
    EXPECT_EQ(r.block_number, -1);
    EXPECT_EQ(r.loaded_group, -1);
    EXPECT_EQ(r.storage, nullptr);
    EXPECT_EQ(r.window_data, nullptr);
    EXPECT_EQ(r.window_offset, 0u);
    EXPECT_EQ(r.window_size, 0u);
    EXPECT_EQ(r.block, nullptr);
    for (BYTE* b : r.buffers)
        EXPECT_EQ(b, nullptr);
    for (BYTE* b : r.work_buffers)
        EXPECT_EQ(b, nullptr);

    r.storage = &storage;
    r.buffers[0] = new BYTE[4];
    r.buffers[3] = new BYTE[8];
    r.free_buffers();
    for (BYTE* b : r.buffers)
        EXPECT_EQ(b, nullptr);
    r.free_buffers(); // nothing left to free

    const BYTE* window = nullptr;
    ASSERT_EQ(storage.get_ptr(16, 8, &window), XrStorageAccessor::OK);
    r.window_offset = 16;
    r.window_size = 8;
    r.window_data = window;
    r.release_window();
    EXPECT_EQ(storage.released, (std::vector<const BYTE*>{window}));
    EXPECT_EQ(r.window_data, nullptr);
    EXPECT_EQ(r.window_offset, 0u);
    EXPECT_EQ(r.window_size, 0u);
    r.release_window(); // no window held: nothing given back
    EXPECT_EQ(storage.released.size(), 1u);

    r.block = new XrByteArray();
    r.block_number = 4;
    r.drop_block();
    EXPECT_EQ(r.block, nullptr);
    EXPECT_EQ(r.block_number, -1);
    r.drop_block();
}

TEST(TmcTableRecord, DestructionFreesEverything)
{
    BYTE data[64] = {};
    CountingAccessor storage(data);
    const BYTE* window = nullptr;
    ASSERT_EQ(storage.get_ptr(0, 4, &window), XrStorageAccessor::OK);
    {
        XrTmcTableRecord r;
        r.storage = &storage;
        for (BYTE*& b : r.buffers)
            b = new BYTE[16];
        for (BYTE*& b : r.work_buffers)
            b = new BYTE[16];
        r.window_data = window;
        r.window_size = 4;
        r.block = new XrByteArray();
        r.block_number = 2;
    }
    // The sanitizer build reports anything not freed.
    EXPECT_EQ(storage.released, (std::vector<const BYTE*>{window}));
}

} // namespace
