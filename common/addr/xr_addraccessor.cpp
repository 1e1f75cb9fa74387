// The address database: storage, opening (header, language codes, suffix
// table, block index), county and country names, low memory. Street records
// are in xr_addrrecords.cpp, the street-name cache in xr_addrnamecache.cpp,
// the name tree in xr_addrnametree.cpp.
#include "common/addr/xr_addraccessor.h"

#include <algorithm>
#include <cstring>

#include "common/container/xr_bytes.h"
#include "common/storage/xr_storageaccessor.h"

namespace L = xr_addr_layout;

void XrAddrAccessor::StorageRelease::operator()(const BYTE* p) const
{
    if (storage != nullptr)
        storage->release_ptr(p);
}

XrAddrAccessor::XrAddrAccessor() : m_languages(8, 8), m_entries(16)
{
    for (int i = 0; i < SUFFIX_ENTRIES; ++i)
        m_suffix_strings[i] = m_suffix_text[i];
}

XrAddrAccessor::~XrAddrAccessor() = default;

void XrAddrAccessor::set_storage(XrStorageAccessor* storage)
{
    release_county_window();
    m_block_index.reset();
    m_wk_loaded = false;
    set_end_state();
    if (m_storage.get() != storage)
        m_storage.reset(storage);
}

XrAddrAccessor::HeldBytes XrAddrAccessor::read_bytes(std::uint64_t offset, std::uint32_t length)
{
    if (m_storage == nullptr || offset + length > 0xFFFFFFFFull)
        return HeldBytes();
    const BYTE* p = nullptr;
    if (m_storage->get_ptr(static_cast<std::uint32_t>(offset), length, &p) != XrStorageAccessor::OK)
        return HeldBytes();
    return HeldBytes(p, StorageRelease{m_storage.get()});
}

// ------------------------------------------------------------------ opening

XrAddrAccessor::Status XrAddrAccessor::read_version(unsigned int& version)
{
    HeldBytes p = read_bytes(0, L::VERSION_SIZE);
    if (p == nullptr)
        return FAILED;
    const bool magic = xr_bytes::get_u32_le(p.get() + L::MAGIC_OFFSET) == L::MAGIC;
    version = static_cast<unsigned int>(xr_bytes::get_u16_le(p.get() + L::MAJOR_OFFSET)) << 16 |
              xr_bytes::get_u16_le(p.get() + L::MINOR_OFFSET);
    return magic ? OK : FAILED;
}

XrAddrAccessor::Status XrAddrAccessor::get_header_size(int& length)
{
    unsigned int version = 0;
    if (read_version(version) != OK)
        return FAILED;
    length = static_cast<int>(L::header_size(version));
    return OK;
}

XrAddrAccessor::Status XrAddrAccessor::open()
{
    release_county_window();
    m_block_index.reset();
    m_wk_loaded = false;
    set_end_state();
    m_current_node = 0;
    flush_name_cache();

    int header_size = 0;
    if (get_header_size(header_size) != OK || read_version(m_version) != OK)
        return FAILED;
    std::uint32_t suffix_offset = 0;
    {
        HeldBytes h = read_bytes(0, static_cast<std::uint32_t>(header_size));
        if (h == nullptr)
            return FAILED;
        const BYTE* p = h.get();
        m_header_size = header_size;
        m_header_count = xr_bytes::get_u32_le(p + L::HEADER_COUNT_OFFSET);
        m_num_countries = xr_bytes::get_u32_le(p + L::COUNTRY_COUNT_OFFSET);
        m_num_blocks = xr_bytes::get_u32_le(p + L::BLOCK_COUNT_OFFSET);
        m_county_size = xr_bytes::get_u32_le(p + L::COUNTY_SIZE_OFFSET);
        m_tree_size = xr_bytes::get_u32_le(p + L::TREE_SIZE_OFFSET);
        suffix_offset = xr_bytes::get_u32_le(p + L::SUFFIX_OFFSET);
        m_extra_size = m_version >= VERSION_6_1 ? xr_bytes::get_i16_le(p + L::EXTRA_SIZE_OFFSET) : L::EXTRA_SIZE_6_0;
        m_num_languages = m_version >= VERSION_6_2 ? xr_bytes::get_u16_le(p + L::LANGUAGE_COUNT_OFFSET) : 0;
    }
    if (m_extra_size < 0)
        return FAILED;

    m_languages.remove_all();
    if (m_num_languages > 0) {
        HeldBytes l = read_bytes(static_cast<std::uint64_t>(m_header_size), L::LANGUAGE_CODE_SIZE * m_num_languages);
        if (l == nullptr)
            return FAILED;
        for (unsigned int i = 0; i < m_num_languages; ++i)
            m_languages.append(xr_bytes::get_u32_le(l.get() + L::LANGUAGE_CODE_SIZE * i));
    }
    m_county_area = static_cast<std::uint64_t>(m_header_size) + L::LANGUAGE_CODE_SIZE * std::uint64_t(m_num_languages);
    m_country_area = m_county_area + m_county_size;
    m_index_area = m_country_area + L::COUNTRY_NAME_SIZE * std::uint64_t(m_num_countries);
    m_tree_area = m_index_area + L::INDEX_ENTRY_SIZE * std::uint64_t(m_num_blocks);
    m_cid_area = m_tree_area + m_tree_size;

    std::memset(m_suffix_text, 0, sizeof(m_suffix_text));
    std::memset(m_suffix_split, 0, sizeof(m_suffix_split));
    m_suffix_count = 0;
    if (suffix_offset != 0 && !read_suffix_table(suffix_offset))
        return FAILED;
    if (!load_block_index())
        return FAILED;
    ensure_cache();
    return OK;
}

bool XrAddrAccessor::read_suffix_table(std::uint32_t offset)
{
    HeldBytes p = read_bytes(offset, L::SUFFIX_TABLE_SIZE);
    if (p == nullptr)
        return false;
    for (int i = 0; i < SUFFIX_ENTRIES; ++i) {
        const BYTE* e = p.get() + L::SUFFIX_ENTRY_SIZE * i;
        if (xr_bytes::get_u32_le(e) == 0)
            continue;
        m_suffix_count = i + 1;
        TCHAR* t = m_suffix_text[i];
        auto unit = [e](int k) { return xr_bytes::get_u16_le(e + 2 * k); };
        int k = 0;
        while (k < L::SUFFIX_UNITS && unit(k) != 0) {
            t[k] = static_cast<TCHAR>(unit(k));
            ++k;
        }
        m_suffix_split[i] = k;
        t[k++] = 0;
        while (k < L::SUFFIX_UNITS && unit(k) != 0) {
            t[k] = static_cast<TCHAR>(unit(k));
            ++k;
        }
        t[k] = 0;
    }
    return true;
}

bool XrAddrAccessor::load_block_index()
{
    if (m_block_index != nullptr || m_num_blocks == 0)
        return m_storage != nullptr;
    if (std::uint64_t(L::INDEX_ENTRY_SIZE) * m_num_blocks > 0xFFFFFFFFull)
        return false;
    m_block_index = read_bytes(m_index_area, L::INDEX_ENTRY_SIZE * m_num_blocks);
    return m_block_index != nullptr;
}

void XrAddrAccessor::get_suffix_table(const TCHAR* const*& strings, const int*& splits, int& count) const
{
    strings = m_suffix_strings;
    splits = m_suffix_split;
    count = m_suffix_count;
}

// ------------------------------------------------------------------ counties and countries

void XrAddrAccessor::release_county_window()
{
    m_county_window.reset();
    m_window_start = 0;
    m_window_end = 0;
}

void XrAddrAccessor::set_name_caching(bool on)
{
    release_county_window();
    m_name_caching = on;
}

namespace {

// The next county id: the record's end rounded up to the alignment.
unsigned int aligned_id(std::uint64_t end)
{
    return static_cast<unsigned int>(((end + L::COUNTY_ALIGN - 1) & ~std::uint64_t(L::COUNTY_ALIGN - 1)) /
                                     L::COUNTY_ALIGN);
}

// The end (window offset) of the last record that lies wholly in the window;
// 0 when none does.
unsigned int complete_records(const BYTE* p, unsigned int start, unsigned int len)
{
    unsigned int q = 0, last = 0;
    while (q < len) {
        const BYTE* z = static_cast<const BYTE*>(std::memchr(p + q, 0, len - q));
        if (z == nullptr)
            break;
        const unsigned int zi = static_cast<unsigned int>(z - p);
        if (zi + 1 >= len)
            break;
        last = zi + 2;
        q = aligned_id(std::uint64_t(start) + last) * L::COUNTY_ALIGN - start;
    }
    return last;
}

} // namespace

XrAddrAccessor::Status XrAddrAccessor::get_county(unsigned int id, XrString& name, BYTE& attribute, int& next_id)
{
    unsigned int next = 0;
    const Status st = get_county(id, name, &attribute, &next);
    if (st == OK)
        next_id = static_cast<int>(next); // ids are below 2^30: the area is 32-bit
    return st;
}

XrAddrAccessor::Status XrAddrAccessor::get_county(unsigned int id, XrString& name, BYTE* attribute,
                                                  unsigned int* next_id)
{
    const std::uint64_t off64 = std::uint64_t(L::COUNTY_ALIGN) * id;
    if (off64 >= m_county_size)
        return FAILED;
    const unsigned int off = static_cast<unsigned int>(off64);
    HeldBytes single;
    const BYTE* p = nullptr;
    unsigned int avail = 0;
    if (m_name_caching) {
        if (m_county_window == nullptr || off < m_window_start || off >= m_window_end) {
            release_county_window();
            const unsigned int len = std::min<unsigned int>(COUNTY_WINDOW, m_county_size - off);
            HeldBytes w = read_bytes(m_county_area + off, len);
            if (w == nullptr)
                return FAILED;
            // The window ends behind its last whole record.
            const unsigned int end = off + len == m_county_size ? len : complete_records(w.get(), off, len);
            if (end > 0) {
                m_county_window = std::move(w);
                m_window_start = off;
                m_window_end = off + end;
            }
        }
        if (m_county_window != nullptr) {
            p = m_county_window.get() + (off - m_window_start);
            avail = m_window_end - off;
        }
    }
    if (p == nullptr) {
        avail = std::min<unsigned int>(COUNTY_RECORD_MAX, m_county_size - off);
        single = read_bytes(m_county_area + off, avail);
        if (single == nullptr)
            return FAILED;
        p = single.get();
    }
    // A county record: the zero-terminated name, then the attribute byte.
    const BYTE* z = static_cast<const BYTE*>(std::memchr(p, 0, avail));
    if (z == nullptr)
        return FAILED;
    const unsigned int n = static_cast<unsigned int>(z - p);
    if (n + 1 >= avail)
        return FAILED;
    name.clear();
    append_name(name, p, n);
    if (attribute != nullptr)
        *attribute = p[n + 1];
    if (next_id != nullptr)
        *next_id = aligned_id(std::uint64_t(off) + n + 2);
    return OK;
}

XrAddrAccessor::Status XrAddrAccessor::get_country_name(unsigned int i, XrString& name)
{
    if (i >= m_num_countries)
        return FAILED;
    HeldBytes p = read_bytes(m_country_area + std::uint64_t(L::COUNTRY_NAME_SIZE) * i, L::COUNTRY_NAME_SIZE);
    if (p == nullptr)
        return FAILED;
    int n = 0;
    while (n < static_cast<int>(L::COUNTRY_NAME_SIZE) && p.get()[n] != 0)
        ++n;
    name.clear();
    name.assign_latin1(reinterpret_cast<const char*>(p.get()), n);
    return OK;
}

// ------------------------------------------------------------------ memory

void XrAddrAccessor::free_memory()
{
    m_wk_buffer.reset();
    m_wk_capacity = 0;
    m_wk_loaded = false;
    m_block_index.reset();
    destroy_cache();
}
