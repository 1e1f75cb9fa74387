#include "common/addr/xr_signpostacc.h"

#include <cstring>
#include <memory>

#include "common/db/xr_geomstorage.h"
#include "common/misc/xr_utf8.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

constexpr std::uint32_t HEADER_SIZE = 10;
constexpr int SCHEME_SIZE = 10;
constexpr int BUCKET_ENTRY_SIZE = 6;
constexpr int KEY_SIZE = 6;
constexpr unsigned int END_OF_RECORDS = 0xFFFF;
// Size, P: the fixed part of a record.
constexpr int RECORD_HEAD = 3;

// Copies length bytes at offset of the storage into a new buffer.
BYTE* read_copy(XrStorageAccessor* storage, std::uint32_t offset, std::uint32_t length)
{
    const BYTE* p = nullptr;
    if (storage->get_ptr(offset, length, &p) != XrStorageAccessor::OK || p == nullptr) {
        storage->release_ptr(p);
        return nullptr;
    }
    BYTE* copy = new BYTE[length];
    std::memcpy(copy, p, length);
    storage->release_ptr(p);
    return copy;
}

// The handed-out kind of a file kind byte; -1 for an unknown byte.
int instruction_kind(BYTE b)
{
    switch (b) {
    case 1:
        return 1;
    case 2:
        return 0;
    case 3:
        return 2;
    case 4:
        return 3;
    default:
        return -1;
    }
}

void delete_items(XrPtrArray<XrSignpostAccessor::XrInstruction*>& list)
{
    for (int i = 0; i < list.get_num_items(); ++i)
        delete list.get_item(i);
    list.remove_all();
}

} // namespace

XrSignpostAccessor::~XrSignpostAccessor()
{
    delete[] index;
    delete[] bucket;
    delete storage;
}

std::uint32_t XrSignpostAccessor::hash_gid(XrGid gid)
{
    return (gid & 0xFFFFu) * 8923u + (gid >> 16) * 213522346u;
}

bool XrSignpostAccessor::is_valid_shape(int shape)
{
    return shape == 0 || shape == Rectangle || shape == RoundRectangle || (shape >= 19 && shape <= 25);
}

bool XrSignpostAccessor::open(XrStorageAccessor* new_storage)
{
    release();
    delete[] index;
    index = nullptr;
    num_ndx_items = 0;
    if (new_storage != storage)
        delete storage;
    storage = new_storage;
    if (storage == nullptr)
        return false;

    std::unique_ptr<BYTE[]> header(read_copy(storage, 0, HEADER_SIZE));
    if (header == nullptr || std::memcmp(header.get(), "XRSP", 4) != 0 || xr_get_u32(header.get() + 4) != VERSION)
        return false;
    int n = xr_get_s16(header.get() + 8);
    if (n <= 0)
        return false;
    BYTE* ndx = read_copy(storage, INDEX_OFFSET, static_cast<std::uint32_t>(n) * BUCKET_ENTRY_SIZE);
    if (ndx == nullptr)
        return false;
    index = ndx;
    num_ndx_items = n;
    return true;
}

bool XrSignpostAccessor::get_sp_colors(int i, BYTE& c1, BYTE& c2, BYTE& c3, BYTE& c4, BYTE& c5, BYTE& c6, BYTE& c7,
                                       BYTE& c8, BYTE& c9, Shape& shape)
{
    if (i < 1 || i > NUM_SP_COLORS || storage == nullptr)
        return false;
    const BYTE* p = nullptr;
    if (storage->get_ptr(static_cast<std::uint32_t>(i) * SCHEME_SIZE, SCHEME_SIZE, &p) != XrStorageAccessor::OK ||
        p == nullptr) {
        storage->release_ptr(p);
        return false;
    }
    BYTE bytes[SCHEME_SIZE];
    std::memcpy(bytes, p, SCHEME_SIZE);
    storage->release_ptr(p);
    if (!is_valid_shape(bytes[9]))
        return false;
    BYTE* out[9] = {&c1, &c2, &c3, &c4, &c5, &c6, &c7, &c8, &c9};
    for (int k = 0; k < 9; ++k)
        *out[k] = bytes[k];
    shape = static_cast<Shape>(bytes[9]);
    return true;
}

void XrSignpostAccessor::clear_record()
{
    instr_offset = -1;
    instr_len = 0;
    next_record = -1;
}

void XrSignpostAccessor::release()
{
    delete[] bucket;
    bucket = nullptr;
    bucket_len = 0;
    clear_record();
}

XrSignpostAccessor::Decoded XrSignpostAccessor::decode_record(int offset, XrArray<XrGid>& path)
{
    clear_record();
    if (offset < 0 || offset + 2 > bucket_len)
        return Damaged;
    unsigned int size = xr_get_u16(bucket + offset);
    if (size == END_OF_RECORDS)
        return NoMoreRecords;
    if (size < RECORD_HEAD || offset + static_cast<int>(size) > bucket_len)
        return Damaged;
    int count = bucket[offset + 2];
    int head = RECORD_HEAD + 4 * count;
    if (head > static_cast<int>(size))
        return Damaged;

    path.remove_all();
    path.append(current_gid);
    for (int k = 0; k < count; ++k)
        path.append(xr_get_u32(bucket + offset + RECORD_HEAD + 4 * k));
    instr_offset = offset + head;
    instr_len = static_cast<int>(size) - head;
    next_record = offset + static_cast<int>(size);
    return Record;
}

bool XrSignpostAccessor::get_first_path(XrGid gid, XrArray<XrGid>& path)
{
    release();
    if (index == nullptr || storage == nullptr || num_ndx_items <= 0)
        return false;

    const BYTE* entry = index + (hash_gid(gid) % static_cast<std::uint32_t>(num_ndx_items)) * BUCKET_ENTRY_SIZE;
    std::uint32_t offset = xr_get_u32(entry);
    int length = xr_get_s16(entry + 4);
    if (length <= 0)
        return false;
    bucket = read_copy(storage, offset, static_cast<std::uint32_t>(length));
    if (bucket == nullptr)
        return false;
    bucket_len = length;

    int keys = bucket[0];
    if (1 + keys * KEY_SIZE > bucket_len) {
        release();
        return false;
    }
    int lo = 0;
    int hi = keys - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        const BYTE* key = bucket + 1 + mid * KEY_SIZE;
        XrGid key_gid = xr_get_u32(key);
        if (key_gid < gid) {
            lo = mid + 1;
        } else if (key_gid > gid) {
            hi = mid - 1;
        } else {
            current_gid = gid;
            path.remove_all();
            if (decode_record(static_cast<int>(xr_get_u16(key + 4)), path) == Damaged)
                break;
            return true;
        }
    }
    release();
    return false;
}

bool XrSignpostAccessor::get_next_path(XrArray<XrGid>& path)
{
    if (bucket == nullptr || next_record < 0)
        return false;
    if (decode_record(next_record, path) != Record) {
        clear_record();
        return false;
    }
    return true;
}

bool XrSignpostAccessor::get_instructions(XrPtrArray<XrInstruction*>& list, XrLC language)
{
    delete_items(list);
    if (bucket == nullptr || instr_offset < 0)
        return false;

    const BYTE* p = bucket + instr_offset;
    const BYTE* end = p + instr_len;
    std::unique_ptr<TCHAR[]> text(new TCHAR[static_cast<size_t>(instr_len) + 1]);
    while (p < end) {
        int kind = instruction_kind(*p++);
        const BYTE* stop = static_cast<const BYTE*>(std::memchr(p, 0, static_cast<size_t>(end - p)));
        if (kind < 0 || stop == nullptr) {
            delete_items(list);
            return false;
        }
        int n = 0;
        while (p < stop && n < XrString::max_length)
            text[n++] = static_cast<TCHAR>(XrUTF8::read_utf8(p));
        text[n] = 0;
        p = stop + 1;
        TCHAR* selected = text.get();
        select_language_variant(selected, L'\t', static_cast<int>(language), nullptr);

        XrInstruction* instruction = new XrInstruction;
        instruction->kind = kind;
        instruction->text = selected;
        list.append(instruction);
    }
    return true;
}
