#include "common/storage/xr_tmctablerecord.h"

#include "common/container/xr_bytearray.h"
#include "common/misc/xr_textutil.h"
#include "common/storage/xr_storageaccessor.h"

std::uint32_t make_pair_key(const TCHAR* text, std::uint16_t low)
{
    std::uint32_t value = 0;
    if (text != nullptr) {
        if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X'))
            text += 2;
        for (int digit = hex_value(*text); digit >= 0; digit = hex_value(*++text))
            value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return (value << 16) + low;
}

void split_pair_key(std::uint32_t key, std::uint16_t& high, std::uint16_t& low)
{
    high = static_cast<std::uint16_t>(key >> 16);
    low = static_cast<std::uint16_t>(key & 0xFFFF);
}

std::uint32_t key_slot(std::uint32_t table_size, std::uint32_t key)
{
    return table_size != 0 ? key % table_size : 0;
}

XrTmcTableRecord::XrTmcTableRecord() = default;

XrTmcTableRecord::~XrTmcTableRecord()
{
    for (BYTE*& b : work_buffers) {
        delete[] b;
        b = nullptr;
    }
    free_buffers();
    release_window();
    drop_block();
}

void XrTmcTableRecord::free_buffers()
{
    for (BYTE*& b : buffers) {
        delete[] b;
        b = nullptr;
    }
}

void XrTmcTableRecord::release_window()
{
    if (window_data == nullptr)
        return;
    if (storage != nullptr)
        storage->release_ptr(window_data);
    window_offset = 0;
    window_size = 0;
    window_data = nullptr;
}

void XrTmcTableRecord::drop_block()
{
    delete block;
    block = nullptr;
    block_number = -1;
}
