#include "common/storage/xr_heapstorage.h"

#include <climits>
#include <cstring>
#include <vector>

#include "common/container/xr_bytes.h"
#include "common/storage/xr_storageaccessor.h"

using namespace xr_heap_layout;

namespace {

// The new storage size when n bytes are appended; false when it passes 4 GiB.
bool grown_size(std::uint32_t size, std::uint64_t n, std::uint32_t& out)
{
    std::uint64_t s = static_cast<std::uint64_t>(size) + n;
    if (s > UINT32_MAX)
        return false;
    out = static_cast<std::uint32_t>(s);
    return true;
}

} // namespace

XrHeapStorage::XrHeapStorage(int mode)
    : m_blocks(std::make_unique<XrHash<unsigned int, XrBlockInfo>>(100, false, 80)), m_mode(mode)
{
}

XrHeapStorage::~XrHeapStorage() = default;

void XrHeapStorage::set_storage_accessor(XrStorageAccessor* accessor)
{
    if (accessor != m_accessor.get())
        m_accessor.reset(accessor);
    m_open = false;
}

// ------------------------------------------------------------ raw access

XrHeapStorage::Status XrHeapStorage::read_u32(std::uint32_t offset, std::uint32_t& value)
{
    XrStorageBytes b;
    if (!b.read(m_accessor.get(), offset, 4))
        return FAILED;
    value = xr_bytes::get_u32_le(b.get());
    return OK;
}

XrHeapStorage::Status XrHeapStorage::write_u32(std::uint32_t offset, std::uint32_t value)
{
    BYTE b[4];
    xr_bytes::put_u32_le(b, value);
    return m_accessor->write(offset, 4, b) == XrStorageAccessor::OK ? OK : FAILED;
}

bool XrHeapStorage::valid_link(std::uint32_t offset)
{
    return offset == 0 ||
           (offset >= SIZE_FILE_HDR && static_cast<std::uint64_t>(offset) + SIZE_DATA_BLOCK_HDR <= m_accessor->get_size());
}

XrHeapStorage::Status XrHeapStorage::read_header(std::uint32_t offset, BlockHeader& h)
{
    if (offset == 0 || !valid_link(offset))
        return NOT_HEAP_STORAGE;
    XrStorageBytes b;
    if (!b.read(m_accessor.get(), offset, SIZE_DATA_BLOCK_HDR))
        return FAILED;
    const BYTE* p = b.get();
    h.id = xr_bytes::get_u32_le(p + BLK_ID);
    h.capacity = xr_bytes::get_u32_le(p + BLK_CAPACITY);
    h.length = xr_bytes::get_u32_le(p + BLK_LENGTH);
    h.next = xr_bytes::get_u32_le(p + BLK_NEXT);
    h.prev = xr_bytes::get_u32_le(p + BLK_PREV);
    b.reset();
    std::uint64_t end = static_cast<std::uint64_t>(offset) + SIZE_DATA_BLOCK_HDR + h.capacity;
    if (end > m_accessor->get_size() || h.length > h.capacity || !valid_link(h.next) || !valid_link(h.prev) ||
        h.next == offset || h.prev == offset)
        return NOT_HEAP_STORAGE;
    return OK;
}

XrHeapStorage::Status XrHeapStorage::write_header(std::uint32_t offset, const BlockHeader& h)
{
    BYTE b[SIZE_DATA_BLOCK_HDR];
    xr_bytes::put_u32_le(b + BLK_ID, h.id);
    xr_bytes::put_u32_le(b + BLK_CAPACITY, h.capacity);
    xr_bytes::put_u32_le(b + BLK_LENGTH, h.length);
    xr_bytes::put_u32_le(b + BLK_NEXT, h.next);
    xr_bytes::put_u32_le(b + BLK_PREV, h.prev);
    return m_accessor->write(offset, SIZE_DATA_BLOCK_HDR, b) == XrStorageAccessor::OK ? OK : FAILED;
}

XrHeapStorage::Status XrHeapStorage::link_neighbours(const BlockHeader& h, std::uint32_t prev_target,
                                                     std::uint32_t next_target, std::uint32_t head_field,
                                                     std::uint32_t& head_copy)
{
    if (h.prev != 0) {
        if (write_u32(h.prev + BLK_NEXT, prev_target) != OK)
            return FAILED;
    } else {
        if (write_u32(head_field, prev_target) != OK)
            return FAILED;
        head_copy = prev_target;
    }
    if (h.next != 0 && write_u32(h.next + BLK_PREV, next_target) != OK)
        return FAILED;
    return OK;
}

XrHeapStorage::Status XrHeapStorage::push_free(std::uint32_t offset, BlockHeader h)
{
    if (m_free_head != 0) {
        BlockHeader head;
        Status s = read_header(m_free_head, head);
        if (s != OK)
            return s;
        if (head.id != 0 || head.prev != 0)
            return NOT_HEAP_STORAGE;
    }
    h.id = 0;
    h.prev = 0;
    h.next = m_free_head;
    if (write_header(offset, h) != OK)
        return FAILED;
    if (m_free_head != 0 && write_u32(m_free_head + BLK_PREV, offset) != OK)
        return FAILED;
    if (write_u32(HDR_FREE_HEAD, offset) != OK)
        return FAILED;
    m_free_head = offset;
    return OK;
}

XrHeapStorage::Status XrHeapStorage::move_data(std::uint32_t from, std::uint32_t to, std::uint32_t data_len)
{
    if (data_len == 0)
        return OK;
    // Through a copy: the two ranges may overlap, and a memory storage
    // hands out pointers into itself.
    XrStorageBytes b;
    if (!b.read(m_accessor.get(), from + SIZE_DATA_BLOCK_HDR, data_len))
        return FAILED;
    std::vector<BYTE> copy(b.get(), b.get() + data_len);
    b.reset();
    return m_accessor->write(to + SIZE_DATA_BLOCK_HDR, data_len, copy.data()) == XrStorageAccessor::OK ? OK : FAILED;
}

// ---------------------------------------------------------------- opening

XrHeapStorage::Status XrHeapStorage::open(bool create)
{
    m_open = false;
    m_blocks->clear();
    m_free_head = m_used_head = 0;
    m_root = 0;
    m_highest_id = 0;
    if (m_accessor == nullptr)
        return FAILED;

    if (m_accessor->get_size() == 0) {
        if (!create)
            return NOT_HEAP_STORAGE;
        if (m_accessor->is_read_only())
            return READ_ONLY;
        BYTE hdr[SIZE_FILE_HDR] = {};
        std::memcpy(hdr + HDR_MAGIC, MAGIC, MAGIC_SIZE);
        xr_bytes::put_u32_le(hdr + HDR_VERSION, FORMAT_VERSION);
        if (m_accessor->set_size(SIZE_FILE_HDR) != XrStorageAccessor::OK ||
            m_accessor->write(0, SIZE_FILE_HDR, hdr) != XrStorageAccessor::OK)
            return FAILED;
    }
    if (m_accessor->get_size() < SIZE_FILE_HDR)
        return NOT_HEAP_STORAGE;

    XrStorageBytes b;
    if (!b.read(m_accessor.get(), 0, SIZE_FILE_HDR))
        return FAILED;
    const BYTE* p = b.get();
    const bool magic_ok = std::memcmp(p + HDR_MAGIC, MAGIC, MAGIC_SIZE) == 0;
    const std::uint32_t file_version = xr_bytes::get_u32_le(p + HDR_VERSION);
    const std::uint32_t used_head = xr_bytes::get_u32_le(p + HDR_USED_HEAD);
    const std::uint32_t free_head = xr_bytes::get_u32_le(p + HDR_FREE_HEAD);
    const std::uint32_t root = xr_bytes::get_u32_le(p + HDR_ROOT);
    b.reset();
    if (!magic_ok)
        return NOT_HEAP_STORAGE;
    if (file_version != FORMAT_VERSION)
        return BAD_VERSION;
    if (!valid_link(used_head) || !valid_link(free_head))
        return NOT_HEAP_STORAGE;

    m_used_head = used_head;
    m_free_head = free_head;
    m_root = root;
    Status s = scan_used_list();
    if (s != OK) {
        m_blocks->clear();
        m_highest_id = 0;
        return s;
    }
    m_open = true;
    return OK;
}

XrHeapStorage::Status XrHeapStorage::scan_used_list()
{
    // Every block takes at least a header, so a sound list has no more
    // members than that; a longer walk is a loop.
    const std::uint32_t max_blocks = (m_accessor->get_size() - SIZE_FILE_HDR) / SIZE_DATA_BLOCK_HDR;
    std::uint32_t steps = 0;
    std::uint32_t prev = 0;
    for (std::uint32_t off = m_used_head; off != 0;) {
        if (++steps > max_blocks)
            return NOT_HEAP_STORAGE;
        BlockHeader h;
        Status s = read_header(off, h);
        if (s != OK)
            return s;
        if (h.id == 0 || h.prev != prev)
            return NOT_HEAP_STORAGE;
        if (!m_blocks->insert(h.id, XrBlockInfo{off, h.length}))
            return NOT_HEAP_STORAGE; // an id used twice
        if (h.id > m_highest_id)
            m_highest_id = h.id;
        prev = off;
        off = h.next;
    }
    return OK;
}

XrHeapStorage::Status XrHeapStorage::recreate()
{
    if (m_accessor == nullptr || m_accessor->set_size(0) != XrStorageAccessor::OK)
        return FAILED;
    return open(true);
}

// ---------------------------------------------------------- block data

XrHeapStorage::Status XrHeapStorage::read_block_data(unsigned int id, std::uint32_t offset, std::uint32_t length,
                                                     const BYTE** out)
{
    *out = nullptr;
    const XrBlockInfo* bi = m_open ? m_blocks->find_ptr(id) : nullptr;
    if (bi == nullptr)
        return UNKNOWN_BLOCK;
    if (static_cast<std::uint64_t>(offset) + length > bi->length)
        return OUT_OF_BLOCK;
    if (m_accessor->get_ptr(bi->offset + SIZE_DATA_BLOCK_HDR + offset, length, out) != XrStorageAccessor::OK) {
        m_accessor->release_ptr(*out);
        *out = nullptr;
        return FAILED;
    }
    return OK;
}

void XrHeapStorage::release_data(const BYTE* ptr)
{
    if (m_accessor != nullptr)
        m_accessor->release_ptr(ptr);
}

XrHeapStorage::Status XrHeapStorage::write_block_data(unsigned int id, std::uint32_t offset, std::uint32_t length,
                                                      const BYTE* data)
{
    const XrBlockInfo* bi = m_open ? m_blocks->find_ptr(id) : nullptr;
    if (bi == nullptr)
        return UNKNOWN_BLOCK;
    if (static_cast<std::uint64_t>(offset) + length > bi->length)
        return OUT_OF_BLOCK;
    if (m_accessor->write(bi->offset + SIZE_DATA_BLOCK_HDR + offset, length, data) != XrStorageAccessor::OK)
        return FAILED;
    return OK;
}

std::uint32_t XrHeapStorage::get_block_size(unsigned int id) const
{
    const XrBlockInfo* bi = m_blocks->find_ptr(id);
    return bi == nullptr ? 0 : bi->length;
}

XrHeapStorage::Status XrHeapStorage::set_root(unsigned int value)
{
    if (!m_open || write_u32(HDR_ROOT, value) != OK)
        return FAILED;
    m_root = value;
    return OK;
}

// ------------------------------------------------------------ allocation

XrHeapStorage::Status XrHeapStorage::allocate_block(std::uint32_t length, unsigned int* id)
{
    if (!m_open || length == 0 || m_highest_id == UINT_MAX)
        return FAILED;

    std::uint32_t off = 0;
    std::uint32_t capacity = length;
    if (m_mode != MODE_APPEND_ONLY) {
        // First fit along the free list (bounded like the used list).
        const std::uint32_t max_blocks = (m_accessor->get_size() - SIZE_FILE_HDR) / SIZE_DATA_BLOCK_HDR;
        std::uint32_t steps = 0;
        std::uint32_t prev = 0;
        BlockHeader h;
        for (std::uint32_t f = m_free_head; f != 0; prev = f, f = h.next) {
            if (++steps > max_blocks)
                return NOT_HEAP_STORAGE;
            Status s = read_header(f, h);
            if (s != OK)
                return s;
            if (h.id != 0 || h.prev != prev)
                return NOT_HEAP_STORAGE;
            if (h.capacity >= length) {
                if (link_neighbours(h, h.next, h.prev, HDR_FREE_HEAD, m_free_head) != OK)
                    return FAILED;
                off = f;
                capacity = h.capacity;
                break;
            }
        }
    }
    if (off == 0) {
        std::uint32_t size = m_accessor->get_size();
        std::uint32_t new_size;
        if (!grown_size(size, std::uint64_t(SIZE_DATA_BLOCK_HDR) + length, new_size) ||
            m_accessor->set_size(new_size) != XrStorageAccessor::OK)
            return FAILED;
        off = size;
    }

    BlockHeader nh;
    nh.id = m_highest_id + 1;
    nh.capacity = capacity;
    nh.length = length;
    nh.next = m_used_head;
    nh.prev = 0;
    if (write_header(off, nh) != OK)
        return FAILED;
    if (m_used_head != 0 && write_u32(m_used_head + BLK_PREV, off) != OK)
        return FAILED;
    if (write_u32(HDR_USED_HEAD, off) != OK)
        return FAILED;
    m_used_head = off;
    if (!m_blocks->insert(nh.id, XrBlockInfo{off, length}))
        return FAILED;
    m_highest_id = nh.id;
    *id = nh.id;
    return OK;
}

XrHeapStorage::Status XrHeapStorage::find_block(unsigned int id, XrBlockInfo*& bi, BlockHeader& h)
{
    bi = m_open ? m_blocks->find_ptr(id) : nullptr;
    if (bi == nullptr)
        return UNKNOWN_BLOCK;
    Status s = read_header(bi->offset, h);
    if (s != OK)
        return s;
    return h.id == id ? OK : NOT_HEAP_STORAGE;
}

XrHeapStorage::Status XrHeapStorage::free_block(unsigned int id)
{
    XrBlockInfo* bi;
    BlockHeader h;
    Status s = find_block(id, bi, h);
    if (s != OK)
        return s;
    const std::uint32_t off = bi->offset;
    if (id == m_root) {
        if (write_u32(HDR_ROOT, 0) != OK)
            return FAILED;
        m_root = 0;
    }
    if (link_neighbours(h, h.next, h.prev, HDR_USED_HEAD, m_used_head) != OK)
        return FAILED;
    m_blocks->remove(id);
    return push_free(off, h);
}

XrHeapStorage::Status XrHeapStorage::reallocate_block(unsigned int id, std::size_t length)
{
    XrBlockInfo* bi = m_open ? m_blocks->find_ptr(id) : nullptr;
    if (bi == nullptr)
        return UNKNOWN_BLOCK;
    if (length > UINT32_MAX)
        return FAILED;
    const std::uint32_t len = static_cast<std::uint32_t>(length);
    if (len == bi->length)
        return OK;
    BlockHeader h;
    Status s = find_block(id, bi, h);
    if (s != OK)
        return s;
    const std::uint32_t off = bi->offset;

    if (len <= h.capacity) {
        if (write_u32(off + BLK_LENGTH, len) != OK)
            return FAILED;
        bi->length = len;
        return OK;
    }

    const std::uint32_t size = m_accessor->get_size();
    std::uint32_t new_size;
    if (static_cast<std::uint64_t>(off) + SIZE_DATA_BLOCK_HDR + h.capacity == size) {
        // The last block grows in place.
        if (!grown_size(size, len - h.capacity, new_size) || m_accessor->set_size(new_size) != XrStorageAccessor::OK)
            return FAILED;
        h.capacity = h.length = len;
        if (write_header(off, h) != OK)
            return FAILED;
        bi->length = len;
        return OK;
    }

    // Move the block to the end; its old place becomes free.
    if (!grown_size(size, std::uint64_t(SIZE_DATA_BLOCK_HDR) + len, new_size) ||
        m_accessor->set_size(new_size) != XrStorageAccessor::OK)
        return FAILED;
    BlockHeader nh = h;
    nh.capacity = nh.length = len;
    if (write_header(size, nh) != OK || move_data(off, size, h.length) != OK)
        return FAILED;
    if (link_neighbours(h, size, size, HDR_USED_HEAD, m_used_head) != OK)
        return FAILED;
    bi->offset = size;
    bi->length = len;
    return push_free(off, h);
}

XrHeapStorage::Status XrHeapStorage::compact()
{
    if (!m_open)
        return FAILED;
    const std::uint32_t size = m_accessor->get_size();

    // Check the whole chain of blocks before anything moves.
    std::uint32_t used = 0;
    for (std::uint32_t pos = SIZE_FILE_HDR; pos < size;) {
        BlockHeader h;
        Status s = read_header(pos, h);
        if (s != OK)
            return s;
        if (h.id != 0) {
            const XrBlockInfo* bi = m_blocks->find_ptr(h.id);
            if (bi == nullptr || bi->offset != pos)
                return NOT_HEAP_STORAGE;
            ++used;
        }
        pos += SIZE_DATA_BLOCK_HDR + h.capacity;
    }
    if (used != m_blocks->get_count())
        return NOT_HEAP_STORAGE;

    std::uint32_t write_pos = SIZE_FILE_HDR;
    for (std::uint32_t pos = SIZE_FILE_HDR; pos < size;) {
        BlockHeader h;
        Status s = read_header(pos, h);
        if (s != OK)
            return s;
        const std::uint32_t next_pos = pos + SIZE_DATA_BLOCK_HDR + h.capacity;
        if (h.id != 0) {
            if (pos != write_pos) {
                BlockHeader nh = h;
                nh.capacity = h.length;
                if (write_header(write_pos, nh) != OK || move_data(pos, write_pos, h.length) != OK)
                    return FAILED;
                if (link_neighbours(h, write_pos, write_pos, HDR_USED_HEAD, m_used_head) != OK)
                    return FAILED;
                m_blocks->find_ptr(h.id)->offset = write_pos;
            } else if (h.capacity > h.length) {
                if (write_u32(pos + BLK_CAPACITY, h.length) != OK)
                    return FAILED;
            }
            write_pos += SIZE_DATA_BLOCK_HDR + h.length;
        }
        pos = next_pos;
    }
    if (write_pos != size && m_accessor->set_size(write_pos) != XrStorageAccessor::OK)
        return FAILED;
    if (write_u32(HDR_FREE_HEAD, 0) != OK)
        return FAILED;
    m_free_head = 0;
    return OK;
}
