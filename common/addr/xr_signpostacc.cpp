#include "common/addr/xr_signpostacc.h"

#include <cstring>
#include <memory>

#include "common/container/xr_bytes.h"
#include "common/misc/xr_utf8.h"
#include "common/storage/xr_storageaccessor.h"

namespace L = xr_signs_layout;

namespace {

// Copies length bytes at offset of the storage into a new buffer.
std::unique_ptr<BYTE[]> read_copy(XrStorageAccessor* storage, std::uint32_t offset, std::uint32_t length)
{
    const BYTE* p = nullptr;
    if (storage->get_ptr(offset, length, &p) != XrStorageAccessor::OK || p == nullptr) {
        storage->release_ptr(p);
        return nullptr;
    }
    std::unique_ptr<BYTE[]> copy(new BYTE[length]);
    std::memcpy(copy.get(), p, length);
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

XrSignpostAccessor::XrSignpostAccessor() = default;

XrSignpostAccessor::~XrSignpostAccessor() = default;

std::uint32_t XrSignpostAccessor::hash_gid(XrGid gid)
{
    return L::hash_gid(gid);
}

bool XrSignpostAccessor::is_valid_shape(int shape)
{
    return shape == 0 || shape == Rectangle || shape == RoundRectangle || (shape >= 19 && shape <= 25);
}

bool XrSignpostAccessor::open(XrStorageAccessor* new_storage)
{
    release();
    index.reset();
    num_ndx_items = 0;
    if (new_storage != storage.get())
        storage.reset(new_storage);
    if (storage == nullptr)
        return false;

    std::unique_ptr<BYTE[]> header = read_copy(storage.get(), 0, L::HEADER_SIZE);
    if (header == nullptr || std::memcmp(header.get(), L::MAGIC, L::MAGIC_SIZE) != 0 ||
        xr_bytes::get_u32_le(header.get() + L::VERSION_OFFSET) != VERSION)
        return false;
    int n = xr_bytes::get_i16_le(header.get() + L::BUCKET_COUNT_OFFSET);
    if (n <= 0)
        return false;
    index = read_copy(storage.get(), L::INDEX_OFFSET, static_cast<std::uint32_t>(n) * L::INDEX_ENTRY_SIZE);
    if (index == nullptr)
        return false;
    num_ndx_items = n;
    return true;
}

bool XrSignpostAccessor::get_sp_colors(int i, BYTE& c1, BYTE& c2, BYTE& c3, BYTE& c4, BYTE& c5, BYTE& c6, BYTE& c7,
                                       BYTE& c8, BYTE& c9, Shape& shape)
{
    if (i < 1 || i > NUM_SP_COLORS || storage == nullptr)
        return false;
    const std::unique_ptr<BYTE[]> scheme =
        read_copy(storage.get(), static_cast<std::uint32_t>(i) * L::SCHEME_SIZE, L::SCHEME_SIZE);
    if (scheme == nullptr || !is_valid_shape(scheme[L::SCHEME_SHAPE]))
        return false;
    BYTE* out[L::SCHEME_COLORS] = {&c1, &c2, &c3, &c4, &c5, &c6, &c7, &c8, &c9};
    for (unsigned int k = 0; k < L::SCHEME_COLORS; ++k)
        *out[k] = scheme[k];
    shape = static_cast<Shape>(scheme[L::SCHEME_SHAPE]);
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
    bucket.reset();
    bucket_len = 0;
    clear_record();
}

XrSignpostAccessor::Decoded XrSignpostAccessor::decode_record(int offset, XrArray<XrGid>& path)
{
    clear_record();
    if (offset < 0)
        return Damaged;
    XrByteCursor c(bucket.get(), static_cast<std::size_t>(bucket_len));
    const unsigned int size = c.u16_le_at(static_cast<std::size_t>(offset) + L::RECORD_SIZE);
    if (!c.ok())
        return Damaged;
    if (size == L::END_OF_RECORDS)
        return NoMoreRecords;
    if (size < L::RECORD_HEAD || offset + static_cast<int>(size) > bucket_len)
        return Damaged;
    const int count = bucket[offset + L::RECORD_PATH_COUNT];
    const int head = static_cast<int>(L::RECORD_HEAD + L::PATH_GID_SIZE * count);
    if (head > static_cast<int>(size))
        return Damaged;

    path.remove_all();
    path.append(current_gid);
    c.seek(static_cast<std::size_t>(offset) + L::RECORD_HEAD);
    for (int k = 0; k < count; ++k)
        path.append(c.u32_le());
    instr_offset = offset + head;
    instr_len = static_cast<int>(size) - head;
    next_record = offset + static_cast<int>(size);
    return Record;
}

int XrSignpostAccessor::get_first_path(XrGid gid, XrArray<XrGid>& path)
{
    release();
    if (index == nullptr || storage == nullptr || num_ndx_items <= 0)
        return 0;

    const BYTE* entry =
        index.get() + (hash_gid(gid) % static_cast<std::uint32_t>(num_ndx_items)) * L::INDEX_ENTRY_SIZE;
    std::uint32_t offset = xr_bytes::get_u32_le(entry + L::INDEX_BUCKET_OFFSET);
    int length = xr_bytes::get_i16_le(entry + L::INDEX_BUCKET_LENGTH);
    if (length <= 0)
        return 0;
    bucket = read_copy(storage.get(), offset, static_cast<std::uint32_t>(length));
    if (bucket == nullptr)
        return 0;
    bucket_len = length;

    int keys = bucket[0];
    if (static_cast<int>(L::KEYS_OFFSET + keys * L::KEY_SIZE) > bucket_len) {
        release();
        return 0;
    }
    int lo = 0;
    int hi = keys - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        const BYTE* key = bucket.get() + L::KEYS_OFFSET + mid * L::KEY_SIZE;
        XrGid key_gid = xr_bytes::get_u32_le(key + L::KEY_GID);
        if (key_gid < gid) {
            lo = mid + 1;
        } else if (key_gid > gid) {
            hi = mid - 1;
        } else {
            current_gid = gid;
            path.remove_all();
            if (decode_record(xr_bytes::get_u16_le(key + L::KEY_RECORD), path) == Damaged)
                break;
            return path.get_num_items();
        }
    }
    release();
    return 0;
}

int XrSignpostAccessor::get_next_path(XrArray<XrGid>& path)
{
    if (bucket == nullptr || next_record < 0)
        return 0;
    if (decode_record(next_record, path) != Record) {
        clear_record();
        return 0;
    }
    return path.get_num_items();
}

bool XrSignpostAccessor::get_instructions(XrPtrArray<XrInstruction*>& list, XrLC language)
{
    delete_items(list);
    if (bucket == nullptr || instr_offset < 0)
        return false;

    const BYTE* p = bucket.get() + instr_offset;
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

        auto instruction = std::make_unique<XrInstruction>();
        instruction->kind = kind;
        instruction->text = selected;
        if (list.append(instruction.get()))
            instruction.release();
    }
    return true;
}
