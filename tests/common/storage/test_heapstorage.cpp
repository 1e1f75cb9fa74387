#include "common/storage/xr_heapstorage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/misc/xr_path_resolver.h"
#include "common/container/xr_bytes.h"
#include "common/storage/xr_heapstoragelayout.h"
#include "common/storage/xr_storageaccessor.h"
#include "support/xr_temp_root.h"

namespace {

using Bytes = std::vector<BYTE>;

using namespace xr_heap_layout;

std::uint32_t u32_at(const Bytes& b, std::size_t off)
{
    return xr_bytes::get_u32_le(b.data() + off);
}

void put_u32(Bytes& b, std::size_t off, std::uint32_t v)
{
    xr_bytes::put_u32_le(b.data() + off, v);
}

class HeapStorageTest : public ::testing::Test {
protected:
    // A heap storage on the test file (created when missing).
    std::unique_ptr<XrHeapStorage> make(int mode = 0, bool read_only = false)
    {
        auto heap = std::make_unique<XrHeapStorage>(mode);
        auto* a = new XrFileStorageAccessor();
        bool ok = read_only ? a->open(from_platform_path(path.c_str()), true)
                            : a->create(from_platform_path(path.c_str()));
        EXPECT_TRUE(ok);
        heap->set_storage_accessor(a);
        return heap;
    }
    std::unique_ptr<XrHeapStorage> opened(int mode = 0)
    {
        auto heap = make(mode);
        EXPECT_EQ(heap->open(true), XrHeapStorage::OK);
        return heap;
    }
    Bytes file() const
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void set_file(const Bytes& b) const
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    static Bytes block_data(XrHeapStorage& heap, unsigned int id)
    {
        const BYTE* p = nullptr;
        std::uint32_t n = heap.get_block_size(id);
        EXPECT_EQ(heap.read_block_data(id, 0, n, &p), XrHeapStorage::OK);
        Bytes out(p, p + n);
        heap.release_data(p);
        return out;
    }
    static unsigned int alloc(XrHeapStorage& heap, const std::string& text)
    {
        unsigned int id = 0;
        EXPECT_EQ(heap.allocate_block(static_cast<std::uint32_t>(text.size()), &id), XrHeapStorage::OK);
        EXPECT_EQ(heap.write_block_data(id, 0, static_cast<std::uint32_t>(text.size()),
                                        reinterpret_cast<const BYTE*>(text.data())),
                  XrHeapStorage::OK);
        return id;
    }
    static std::string text(XrHeapStorage& heap, unsigned int id)
    {
        Bytes b = block_data(heap, id);
        return std::string(b.begin(), b.end());
    }

    XrTempRoot root;
    std::string path = root.make_dirs("/heap") + "/h.bin";
};

TEST_F(HeapStorageTest, EmptyStorage)
{
    auto heap = make();
    EXPECT_EQ(heap->open(false), XrHeapStorage::NOT_HEAP_STORAGE);
    EXPECT_TRUE(file().empty());
    EXPECT_EQ(heap->open(true), XrHeapStorage::OK);
    Bytes expected = {'X', 'R', 'H', 'S', 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(file(), expected);

    std::remove(path.c_str());
    set_file({});
    auto ro = make(0, true);
    EXPECT_EQ(ro->open(true), XrHeapStorage::READ_ONLY);
}

TEST_F(HeapStorageTest, AllocateFreeReopenCompact)
{
    auto heap = opened();
    unsigned int id1 = 0, id2 = 0;
    ASSERT_EQ(heap->allocate_block(10, &id1), XrHeapStorage::OK);
    ASSERT_EQ(heap->allocate_block(30, &id2), XrHeapStorage::OK);
    EXPECT_EQ(id1, 1u);
    EXPECT_EQ(id2, 2u);
    Bytes f = file();
    ASSERT_EQ(f.size(), 100u);
    EXPECT_EQ(u32_at(f, HDR_USED_HEAD), 50u);  // used head: the newest block
    EXPECT_EQ(u32_at(f, 50 + BLK_NEXT), 20u); // its next: block 1
    EXPECT_EQ(u32_at(f, 20 + BLK_PREV), 50u); // and back
    EXPECT_EQ(u32_at(f, 20 + BLK_CAPACITY), 10u);
    EXPECT_EQ(u32_at(f, 50 + BLK_CAPACITY), 30u);
    Bytes payload(30);
    for (int i = 0; i < 30; ++i)
        payload[i] = static_cast<BYTE>('a' + i % 26);
    ASSERT_EQ(heap->write_block_data(2, 0, 30, payload.data()), XrHeapStorage::OK);

    ASSERT_EQ(heap->free_block(1), XrHeapStorage::OK);
    heap = make();
    ASSERT_EQ(heap->open(false), XrHeapStorage::OK);
    EXPECT_EQ(heap->get_block_size(1), 0u);
    EXPECT_EQ(heap->get_block_size(2), 30u);
    f = file();
    EXPECT_EQ(u32_at(f, 20 + BLK_ID), 0u);    // block 20 is free
    EXPECT_EQ(u32_at(f, HDR_FREE_HEAD), 20u); // the free head
    EXPECT_EQ(u32_at(f, HDR_USED_HEAD), 50u);

    ASSERT_EQ(heap->compact(), XrHeapStorage::OK);
    f = file();
    ASSERT_EQ(f.size(), 70u);
    EXPECT_EQ(u32_at(f, 20 + BLK_ID), 2u);
    EXPECT_EQ(u32_at(f, HDR_USED_HEAD), 20u);
    EXPECT_EQ(u32_at(f, HDR_FREE_HEAD), 0u);
    EXPECT_EQ(block_data(*heap, 2), payload);
    heap = make();
    ASSERT_EQ(heap->open(false), XrHeapStorage::OK);
    EXPECT_EQ(block_data(*heap, 2), payload);
}

TEST_F(HeapStorageTest, BlockRanges)
{
    auto heap = opened();
    unsigned int id = 0;
    ASSERT_EQ(heap->allocate_block(10, &id), XrHeapStorage::OK);
    ASSERT_EQ(heap->allocate_block(30, &id), XrHeapStorage::OK);
    const BYTE* p = nullptr;
    EXPECT_EQ(heap->read_block_data(2, 25, 10, &p), XrHeapStorage::OUT_OF_BLOCK);
    EXPECT_EQ(heap->read_block_data(2, 0xFFFFFFF0u, 0x20, &p), XrHeapStorage::OUT_OF_BLOCK);
    EXPECT_EQ(heap->read_block_data(7, 0, 1, &p), XrHeapStorage::UNKNOWN_BLOCK);
    EXPECT_EQ(p, nullptr);
    ASSERT_EQ(heap->read_block_data(2, 20, 10, &p), XrHeapStorage::OK);
    heap->release_data(p);
    const BYTE b[11] = {};
    EXPECT_EQ(heap->write_block_data(1, 0, 11, b), XrHeapStorage::OUT_OF_BLOCK); // no spill into block 2
    EXPECT_EQ(heap->write_block_data(9, 0, 1, b), XrHeapStorage::UNKNOWN_BLOCK);
    EXPECT_EQ(heap->allocate_block(0, &id), XrHeapStorage::FAILED);
    EXPECT_EQ(heap->free_block(9), XrHeapStorage::UNKNOWN_BLOCK);
    EXPECT_EQ(heap->reallocate_block(9, 4), XrHeapStorage::UNKNOWN_BLOCK);
}

TEST_F(HeapStorageTest, IdsContinueAboveTheHighestAfterReopening)
{
    auto heap = opened(XrHeapStorage::MODE_APPEND_ONLY);
    for (int i = 0; i < 3; ++i)
        alloc(*heap, "x");
    ASSERT_EQ(heap->free_block(3), XrHeapStorage::OK);
    EXPECT_EQ(alloc(*heap, "y"), 4u); // never reused while open
    ASSERT_EQ(heap->free_block(4), XrHeapStorage::OK);
    heap = make(XrHeapStorage::MODE_APPEND_ONLY);
    ASSERT_EQ(heap->open(false), XrHeapStorage::OK);
    EXPECT_EQ(alloc(*heap, "z"), 3u); // the highest used id found is 2
}

TEST_F(HeapStorageTest, FreeBlocksAreReusedUnlessAppendOnly)
{
    for (int mode : {0, XrHeapStorage::MODE_APPEND_ONLY}) {
        SCOPED_TRACE(mode);
        std::remove(path.c_str());
        auto heap = opened(mode);
        alloc(*heap, "0123456789");
        alloc(*heap, "abc");
        ASSERT_EQ(heap->free_block(1), XrHeapStorage::OK);
        const std::size_t size = file().size();
        unsigned int id = alloc(*heap, "four");
        EXPECT_EQ(id, 3u);
        Bytes f = file();
        if (mode == 0) {
            EXPECT_EQ(f.size(), size);   // the free block at 20 took it
            EXPECT_EQ(u32_at(f, 20 + BLK_ID), 3u);
            EXPECT_EQ(u32_at(f, 20 + BLK_CAPACITY), 10u); // keeps its capacity
            EXPECT_EQ(u32_at(f, HDR_FREE_HEAD), 0u);        // the free list is empty again
        } else {
            EXPECT_EQ(f.size(), size + 24);
        }
        EXPECT_EQ(text(*heap, 3), "four");
        EXPECT_EQ(text(*heap, 2), "abc");
        heap = make(mode);
        ASSERT_EQ(heap->open(false), XrHeapStorage::OK);
        EXPECT_EQ(text(*heap, 3), "four");
    }
}

TEST_F(HeapStorageTest, Reallocate)
{
    auto heap = opened();
    alloc(*heap, "first block");
    alloc(*heap, "second");
    EXPECT_EQ(heap->reallocate_block(2, 6), XrHeapStorage::OK); // same length
    // Within the capacity only the length changes.
    ASSERT_EQ(heap->reallocate_block(1, 5), XrHeapStorage::OK);
    EXPECT_EQ(text(*heap, 1), "first");
    // The last block grows in place.
    std::size_t size = file().size();
    ASSERT_EQ(heap->reallocate_block(2, 10), XrHeapStorage::OK);
    EXPECT_EQ(file().size(), size + 4);
    EXPECT_EQ(text(*heap, 2).substr(0, 6), "second");
    // Any other block moves to the end; its old place becomes free.
    ASSERT_EQ(heap->reallocate_block(1, 40), XrHeapStorage::OK);
    Bytes f = file();
    EXPECT_EQ(f.size(), size + 4 + 60);
    EXPECT_EQ(u32_at(f, 20 + BLK_ID), 0u);
    EXPECT_EQ(u32_at(f, HDR_FREE_HEAD), 20u);
    EXPECT_EQ(text(*heap, 1).substr(0, 5), "first");
    EXPECT_EQ(heap->get_block_size(1), 40u);

    heap = make();
    ASSERT_EQ(heap->open(false), XrHeapStorage::OK);
    EXPECT_EQ(text(*heap, 1).substr(0, 5), "first");
    EXPECT_EQ(text(*heap, 2).substr(0, 6), "second");
    ASSERT_EQ(heap->compact(), XrHeapStorage::OK);
    EXPECT_EQ(file().size(), 20u + 20 + 40 + 20 + 10);
    EXPECT_EQ(text(*heap, 1).substr(0, 5), "first");
    EXPECT_EQ(text(*heap, 2).substr(0, 6), "second");
    heap = make();
    ASSERT_EQ(heap->open(false), XrHeapStorage::OK);
    EXPECT_EQ(text(*heap, 2).substr(0, 6), "second");
}

TEST_F(HeapStorageTest, CompactTrimsAndMovesManyBlocks)
{
    auto heap = opened();
    std::vector<unsigned int> ids;
    for (int i = 0; i < 20; ++i)
        ids.push_back(alloc(*heap, std::string(static_cast<size_t>(5 + i), static_cast<char>('a' + i))));
    for (int i = 0; i < 20; i += 3)
        ASSERT_EQ(heap->free_block(ids[i]), XrHeapStorage::OK);
    for (int i = 1; i < 20; i += 3)
        ASSERT_EQ(heap->reallocate_block(ids[i], 2), XrHeapStorage::OK);
    ASSERT_EQ(heap->compact(), XrHeapStorage::OK);
    std::size_t expected = 20;
    for (int i = 0; i < 20; ++i) {
        if (i % 3 == 0)
            continue;
        std::size_t n = i % 3 == 1 ? 2 : static_cast<size_t>(5 + i);
        expected += 20 + n;
        EXPECT_EQ(text(*heap, ids[i]), std::string(n, static_cast<char>('a' + i)));
    }
    EXPECT_EQ(file().size(), expected);
    heap = make();
    ASSERT_EQ(heap->open(false), XrHeapStorage::OK);
    for (int i = 2; i < 20; i += 3)
        EXPECT_EQ(text(*heap, ids[i]), std::string(static_cast<size_t>(5 + i), static_cast<char>('a' + i)));
}

TEST_F(HeapStorageTest, RootValue)
{
    auto heap = opened();
    alloc(*heap, "a");
    alloc(*heap, "b");
    ASSERT_EQ(heap->set_root(2), XrHeapStorage::OK);
    heap = make();
    ASSERT_EQ(heap->open(false), XrHeapStorage::OK);
    EXPECT_EQ(heap->get_root(), 2u);
    ASSERT_EQ(heap->free_block(2), XrHeapStorage::OK);
    EXPECT_EQ(heap->get_root(), 0u);
    EXPECT_EQ(u32_at(file(), HDR_ROOT), 0u);
}

TEST_F(HeapStorageTest, Recreate)
{
    auto heap = opened();
    alloc(*heap, "data");
    ASSERT_EQ(heap->recreate(), XrHeapStorage::OK);
    EXPECT_EQ(file().size(), 20u);
    EXPECT_EQ(heap->get_block_size(1), 0u);
    EXPECT_EQ(alloc(*heap, "x"), 1u);
}

// A sound file of three blocks (ids 1, 2, 3 at 20, 45, 70; used list
// 70 -> 45 -> 20), then one damage applied.
struct DamageCase {
    const char* what;
    std::function<void(Bytes&)> damage;
    XrHeapStorage::Status expected;
};

class HeapStorageDamage : public HeapStorageTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(HeapStorageDamage, OpenFailsWithoutLooping)
{
    {
        auto heap = opened();
        alloc(*heap, "aaaaa");
        alloc(*heap, "bbbbb");
        alloc(*heap, "ccccc");
    }
    Bytes f = file();
    ASSERT_EQ(f.size(), 95u);
    GetParam().damage(f);
    set_file(f);
    auto heap = make();
    EXPECT_EQ(heap->open(false), GetParam().expected) << GetParam().what;
    EXPECT_EQ(file(), f); // nothing changed
    unsigned int id = 0;
    EXPECT_NE(heap->allocate_block(4, &id), XrHeapStorage::OK);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeapStorageDamage,
    ::testing::Values(
        DamageCase{"bad magic", [](Bytes& f) { f[3] = 'X'; }, XrHeapStorage::NOT_HEAP_STORAGE},
        DamageCase{"version 2", [](Bytes& f) { f[HDR_VERSION] = 2; }, XrHeapStorage::BAD_VERSION},
        DamageCase{"short header", [](Bytes& f) { f.resize(12); }, XrHeapStorage::NOT_HEAP_STORAGE},
        DamageCase{"cycle back to the head", [](Bytes& f) { put_u32(f, 20 + BLK_NEXT, 70); },
                   XrHeapStorage::NOT_HEAP_STORAGE},
        DamageCase{"block points at itself", [](Bytes& f) { put_u32(f, 45 + BLK_NEXT, 45); },
                   XrHeapStorage::NOT_HEAP_STORAGE},
        DamageCase{"next past the end", [](Bytes& f) { put_u32(f, 45 + BLK_NEXT, 0xFFFFFF00u); },
                   XrHeapStorage::NOT_HEAP_STORAGE},
        DamageCase{"next inside the file header", [](Bytes& f) { put_u32(f, 45 + BLK_NEXT, 4); },
                   XrHeapStorage::NOT_HEAP_STORAGE},
        DamageCase{"used head past the end", [](Bytes& f) { put_u32(f, HDR_USED_HEAD, 90); },
                   XrHeapStorage::NOT_HEAP_STORAGE},
        DamageCase{"capacity past the end", [](Bytes& f) { put_u32(f, 70 + BLK_CAPACITY, 0xFFFFFFF0u); },
                   XrHeapStorage::NOT_HEAP_STORAGE},
        DamageCase{"length above capacity", [](Bytes& f) { put_u32(f, 45 + BLK_LENGTH, 6); },
                   XrHeapStorage::NOT_HEAP_STORAGE},
        DamageCase{"id used twice", [](Bytes& f) { put_u32(f, 45 + BLK_ID, 1); }, XrHeapStorage::NOT_HEAP_STORAGE},
        DamageCase{"free block in the used list", [](Bytes& f) { put_u32(f, 45 + BLK_ID, 0); },
                   XrHeapStorage::NOT_HEAP_STORAGE},
        DamageCase{"previous link wrong", [](Bytes& f) { put_u32(f, 20 + BLK_PREV, 70); },
                   XrHeapStorage::NOT_HEAP_STORAGE}));

TEST_F(HeapStorageTest, DamagedBlockChainStopsCompact)
{
    {
        auto heap = opened();
        alloc(*heap, "aaaaa");
        alloc(*heap, "bbbbb");
        ASSERT_EQ(heap->free_block(1), XrHeapStorage::OK);
    }
    Bytes f = file();
    put_u32(f, 20 + BLK_CAPACITY, 1000); // the free block claims more than the file holds
    set_file(f);
    auto heap = make();
    ASSERT_EQ(heap->open(false), XrHeapStorage::OK); // free blocks are not walked on open
    EXPECT_EQ(heap->compact(), XrHeapStorage::NOT_HEAP_STORAGE);
    EXPECT_EQ(file(), f);
    unsigned int id = 0;
    EXPECT_EQ(heap->allocate_block(3, &id), XrHeapStorage::NOT_HEAP_STORAGE);
    EXPECT_EQ(file(), f);
}

TEST_F(HeapStorageTest, ReadOnlyStorage)
{
    {
        auto heap = opened();
        alloc(*heap, "abc");
    }
    auto heap = make(0, true);
    ASSERT_EQ(heap->open(false), XrHeapStorage::OK);
    EXPECT_EQ(text(*heap, 1), "abc");
    unsigned int id = 0;
    EXPECT_EQ(heap->allocate_block(3, &id), XrHeapStorage::FAILED);
    EXPECT_EQ(heap->write_block_data(1, 0, 1, reinterpret_cast<const BYTE*>("x")), XrHeapStorage::FAILED);
    EXPECT_EQ(heap->set_root(1), XrHeapStorage::FAILED);
    EXPECT_EQ(heap->get_root(), 0u);
}

} // namespace
