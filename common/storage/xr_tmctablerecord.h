// Keys of the TMC location tables: a table number (high 16 bits) and a
// location code (low 16 bits) in one 32-bit key; and the record of the TMC
// table reader with its life-cycle helpers.
#pragma once

#include <cstdint>

#include "common/container/xr_defs.h"

class XrByteArray;
class XrStorageAccessor;

// The text is read as hexadecimal (an optional "0x" or "0X", then digits up
// to the first other character; none gives 0, a null text too); the key is
// that value shifted left by 16 plus low.
std::uint32_t make_pair_key(const TCHAR* text, std::uint16_t low);
void split_pair_key(std::uint32_t key, std::uint16_t& high, std::uint16_t& low);
// The key's slot in a table of table_size slots; 0 for an empty table.
std::uint32_t key_slot(std::uint32_t table_size, std::uint32_t key);

// The state of a TMC table reader. Buffers and the block are owned; the
// window is bytes of the storage, given back through it.
struct XrTmcTableRecord {
    static constexpr int NUM_BUFFERS = 4;
    static constexpr int NUM_WORK_BUFFERS = 2;

    // Every field 0, the block number and the loaded group -1.
    XrTmcTableRecord();
    // Deletes the work buffers, then frees the buffers, releases the window
    // and drops the block.
    ~XrTmcTableRecord();
    XrTmcTableRecord(const XrTmcTableRecord&) = delete;
    XrTmcTableRecord& operator=(const XrTmcTableRecord&) = delete;

    // Deletes each buffer that is set and clears its pointer.
    void free_buffers();
    // Gives a held window back to the storage and clears it.
    void release_window();
    // Deletes the block and forgets its number.
    void drop_block();

    XrStorageAccessor* storage = nullptr; // not owned
    BYTE* buffers[NUM_BUFFERS] = {};
    BYTE* work_buffers[NUM_WORK_BUFFERS] = {};
    std::uint32_t window_offset = 0;
    std::uint32_t window_size = 0;
    const BYTE* window_data = nullptr;
    XrByteArray* block = nullptr;
    int block_number = -1;
    int loaded_group = -1;
};
