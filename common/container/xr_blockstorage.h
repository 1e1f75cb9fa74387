// Records kept in blocks of a fixed number of records: adding never moves a
// record, so pointers to records stay valid until the storage is destroyed.
#pragma once

#include "common/container/xr_defs.h"
#include "common/container/xr_ptrarray.h"

#include <new>

template <class T>
class XrBlockStorage {
public:
    // block_size: records per block; initial_blocks: room in the block list
    // (blocks themselves are allocated on first use).
    explicit XrBlockStorage(int block_size, int initial_blocks = 5)
        : block_size(block_size > 0 ? block_size : 1), blocks(initial_blocks > 0 ? initial_blocks : 1)
    {
    }
    XrBlockStorage(const XrBlockStorage&) = delete;
    XrBlockStorage& operator=(const XrBlockStorage&) = delete;
    ~XrBlockStorage()
    {
        for (int i = 0; i < blocks.get_num_items(); ++i)
            delete[] blocks.get_item(i);
    }

    // Copies a record in at the end (index -1) or over an existing record
    // (0 .. count - 1) and returns its address. Running out of memory is fatal.
    T* add_item(const T& item, int index = -1)
    {
        if (index >= 0) {
            T* p = get_item_ptr(index);
            XR_ASSERT(p);
            *p = item;
            return p;
        }
        const int b = count / block_size;
        if (b >= blocks.get_num_items()) {
            T* block = new (std::nothrow) T[block_size];
            T* p = block;
            XR_ASSERT(p);
            if (!blocks.append(block)) {
                delete[] block;
                XR_ASSERT(false);
            }
        }
        T* p = blocks.get_item(b) + count % block_size;
        *p = item;
        ++count;
        return p;
    }

    // The record at index, or null outside 0 .. count - 1.
    T* get_item_ptr(int index) const
    {
        if (index < 0 || index >= count)
            return nullptr;
        return blocks.get_item(index / block_size) + index % block_size;
    }

    int items() const { return count; }
    int get_block_size() const { return block_size; }
    int get_block_count() const { return blocks.get_num_items(); }

    // Forgets the records; the blocks are kept for reuse.
    void clear() { count = 0; }

private:
    int block_size;
    int count = 0;
    XrPtrArray<T*> blocks;
};
