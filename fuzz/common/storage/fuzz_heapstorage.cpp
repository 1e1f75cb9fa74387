// Heap storage files of any kind: opening and compacting never run out of
// bounds or loop. A file that compacts is sound; a script of operations on
// it never reports damage, and the result reopens with the same blocks.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "common/storage/xr_heapstorage.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

// A growable storage in memory that writes in place, like a file.
class VectorAccessor : public XrStorageAccessor {
public:
    explicit VectorAccessor(std::vector<BYTE> bytes) : m_bytes(std::move(bytes)) {}
    Status get_ptr(std::uint32_t offset, std::uint32_t length, const BYTE** out) override
    {
        *out = nullptr;
        if (std::uint64_t(offset) + length > m_bytes.size())
            return FAILED;
        *out = m_bytes.data() + offset;
        return OK;
    }
    void release_ptr(const BYTE*) override {}
    Status write(std::uint32_t offset, std::uint32_t length, const BYTE* data) override
    {
        if (std::uint64_t(offset) + length > m_bytes.size())
            return FAILED;
        if (length > 0)
            std::memmove(m_bytes.data() + offset, data, length);
        return OK;
    }
    std::uint32_t get_size() override { return static_cast<std::uint32_t>(m_bytes.size()); }
    Status set_size(std::uint32_t size) override
    {
        if (size > (1u << 20))
            return FAILED;
        m_bytes.resize(size);
        return OK;
    }
    bool is_read_only() override { return false; }
    bool remove() override { return true; }

    std::vector<BYTE> m_bytes;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    std::vector<BYTE> script = in.ConsumeBytes<BYTE>(in.ConsumeIntegralInRange<std::size_t>(0, 64));
    std::vector<BYTE> file = in.ConsumeRemainingBytes<BYTE>();

    auto* storage = new VectorAccessor(file);
    XrHeapStorage heap(script.empty() ? 0 : script[0] & 1);
    heap.set_storage_accessor(storage);
    if (heap.open(false) != XrHeapStorage::OK)
        return 0;

    // Read every block a small id names.
    for (unsigned int id = 1; id <= 32; ++id) {
        const BYTE* p = nullptr;
        std::uint32_t n = heap.get_block_size(id);
        if (heap.read_block_data(id, 0, n, &p) == XrHeapStorage::OK) {
            volatile BYTE sink = 0;
            for (std::uint32_t i = 0; i < n; ++i)
                sink = sink + p[i];
            heap.release_data(p);
        }
    }

    if (heap.compact() != XrHeapStorage::OK)
        return 0;
    for (std::size_t i = 0; i + 1 < script.size(); i += 2) {
        unsigned int arg = script[i + 1];
        unsigned int id = arg % 8 + 1;
        XrHeapStorage::Status s = XrHeapStorage::OK;
        switch (script[i] % 6) {
        case 0: {
            unsigned int new_id = 0;
            s = heap.allocate_block(arg + 1, &new_id);
            break;
        }
        case 1: s = heap.reallocate_block(id, arg * 3); break;
        case 2: s = heap.free_block(id); break;
        case 3: s = heap.compact(); break;
        case 4: {
            std::uint32_t n = heap.get_block_size(id);
            std::vector<BYTE> fill(n, static_cast<BYTE>(arg));
            s = heap.write_block_data(id, 0, n, fill.data());
            break;
        }
        case 5: s = heap.set_root(id); break;
        }
        if (s == XrHeapStorage::NOT_HEAP_STORAGE)
            std::abort();
    }

    std::map<unsigned int, std::uint32_t> sizes;
    for (unsigned int id = 1; id <= 300; ++id) {
        if (heap.get_block_size(id) != 0)
            sizes[id] = heap.get_block_size(id);
    }
    XrHeapStorage again(0);
    again.set_storage_accessor(new VectorAccessor(storage->m_bytes));
    if (again.open(false) != XrHeapStorage::OK)
        std::abort();
    for (auto [id, n] : sizes) {
        if (again.get_block_size(id) != n)
            std::abort();
    }
    return 0;
}
