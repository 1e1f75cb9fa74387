// A small heap in a storage accessor: variable-length data blocks addressed
// by numeric ids (file layout: xr_heapstoragelayout.h). Every block is in
// the used or the free list; every change is written through at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/container/xr_defs.h"
#include "common/container/xr_hash.h"
#include "common/storage/xr_heapstoragelayout.h"

class XrStorageAccessor;

class XrHeapStorage {
public:
    enum Status {
        OK = 0,
        FAILED = 1,           // a storage operation failed, or a zero length was requested
        NOT_HEAP_STORAGE = 2, // bad magic, empty and not to be created, or a damaged structure
        READ_ONLY = 3,        // an empty read-only storage cannot be initialised
        BAD_VERSION = 4,
        UNKNOWN_BLOCK = 5,
        OUT_OF_BLOCK = 6, // the range passes the end of the block's data
    };

    // Mode 1 always appends new blocks; any other mode reuses a free block
    // that is large enough.
    static constexpr int MODE_APPEND_ONLY = 1;

    static constexpr std::uint32_t SIZE_FILE_HDR = xr_heap_layout::FILE_HDR_SIZE;
    static constexpr std::uint32_t SIZE_DATA_BLOCK_HDR = xr_heap_layout::BLOCK_HDR_SIZE;

    struct XrBlockInfo {
        std::uint32_t offset = 0;
        std::uint32_t length = 0; // data length
    };

    explicit XrHeapStorage(int mode);
    ~XrHeapStorage();
    XrHeapStorage(const XrHeapStorage&) = delete;
    XrHeapStorage& operator=(const XrHeapStorage&) = delete;

    // Takes ownership (a previous accessor is deleted).
    void set_storage_accessor(XrStorageAccessor* accessor);
    XrStorageAccessor* get_storage_accessor() { return m_accessor.get(); }

    // Reads the header and the used list. An empty storage becomes a new
    // heap when create is set.
    Status open(bool create);
    // Empties the storage and opens it as a new heap.
    Status recreate();

    // *out points to length bytes at offset of the block's data; hand it back
    // with release_data.
    Status read_block_data(unsigned int id, std::uint32_t offset, std::uint32_t length, const BYTE** out);
    void release_data(const BYTE* ptr);
    Status write_block_data(unsigned int id, std::uint32_t offset, std::uint32_t length, const BYTE* data);
    // The block's data length; 0 for an unknown id.
    std::uint32_t get_block_size(unsigned int id) const;

    unsigned int get_root() const { return m_root; }
    Status set_root(unsigned int value);

    Status allocate_block(std::uint32_t length, unsigned int* id);
    Status reallocate_block(unsigned int id, std::size_t length);
    Status free_block(unsigned int id);
    // Moves the used blocks together, trims them to their data and drops the
    // free blocks.
    Status compact();

private:
    struct BlockHeader {
        std::uint32_t id = 0;
        std::uint32_t capacity = 0;
        std::uint32_t length = 0;
        std::uint32_t next = 0;
        std::uint32_t prev = 0;
    };

    Status read_u32(std::uint32_t offset, std::uint32_t& value);
    Status write_u32(std::uint32_t offset, std::uint32_t value);
    // Reads a block header; NOT_HEAP_STORAGE when the block does not fit
    // the storage or its fields contradict each other.
    Status read_header(std::uint32_t offset, BlockHeader& h);
    // The table entry and the header of a block; UNKNOWN_BLOCK, or
    // NOT_HEAP_STORAGE when the header there names another id.
    Status find_block(unsigned int id, XrBlockInfo*& bi, BlockHeader& h);
    Status write_header(std::uint32_t offset, const BlockHeader& h);
    // True for 0 or an offset where a block header can stand.
    bool valid_link(std::uint32_t offset);
    // Sets the next field of the block's previous neighbour (or the list
    // head and its copy) to prev_target and the previous field of its next
    // neighbour to next_target: unlinking or moving the block.
    Status link_neighbours(const BlockHeader& h, std::uint32_t prev_target, std::uint32_t next_target,
                           std::uint32_t head_field, std::uint32_t& head_copy);
    // Links the block at offset into the free list head.
    Status push_free(std::uint32_t offset, BlockHeader h);
    // Copies data_len bytes of data from one block to another.
    Status move_data(std::uint32_t from, std::uint32_t to, std::uint32_t data_len);
    Status scan_used_list();

    std::unique_ptr<XrStorageAccessor> m_accessor;
    std::unique_ptr<XrHash<unsigned int, XrBlockInfo>> m_blocks;
    std::uint32_t m_free_head = 0;
    std::uint32_t m_used_head = 0;
    unsigned int m_root = 0;
    unsigned int m_highest_id = 0;
    int m_mode;
    bool m_open = false;
};
