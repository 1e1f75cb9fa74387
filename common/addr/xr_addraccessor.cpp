#include "common/addr/xr_addraccessor.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

#include <zlib.h>

#include "common/misc/xr_utf8.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

unsigned int get_u16(const BYTE* p)
{
    return p[0] | p[1] << 8;
}

unsigned int get_u24(const BYTE* p)
{
    return p[0] | p[1] << 8 | static_cast<unsigned int>(p[2]) << 16;
}

unsigned int get_u32(const BYTE* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<unsigned int>(p[3]) << 24;
}

constexpr unsigned int MAGIC = 'X' | 'R' << 8 | 'A' << 16 | static_cast<unsigned int>('L') << 24;
constexpr std::uint32_t NO_LIST = 0xFFFFFFFF;
constexpr int ENTRY_SIZE = 15;
constexpr unsigned int SUFFIX_TABLE_SIZE = 640;
// Tree keys of the digits "0" to "9".
constexpr unsigned int DIGIT_KEY = 5008;
// Bounds of walks over links and tree levels that bad data could make endless.
constexpr int MAX_LINK_STEPS = 256;
constexpr int MAX_TREE_DEPTH = 1024;
// Longest name taken from a record (bytes), leaving room for suffix and marks.
constexpr unsigned int MAX_NAME_BYTES = 65000;
constexpr int CONTINUATION_THRESHOLD = 30;

constexpr TCHAR LRE = 0x202A;
constexpr TCHAR RLE = 0x202B;
constexpr TCHAR PDF = 0x202C;

unsigned int tree_key(TCHAR c)
{
    if (c >= L'0' && c <= L'9')
        return DIGIT_KEY + (c - L'0');
    if (c >= 0x06F0 && c <= 0x06F9)
        return DIGIT_KEY + (c - 0x06F0);
    return static_cast<unsigned int>(c);
}

TCHAR key_letter(unsigned int key)
{
    if (key >= DIGIT_KEY && key < DIGIT_KEY + 10)
        return static_cast<TCHAR>(L'0' + (key - DIGIT_KEY));
    return static_cast<TCHAR>(key);
}

// Appends text bytes: UTF-8 when valid, else one character a byte.
void append_text(XrString& out, const BYTE* p, unsigned int n)
{
    if (n > MAX_NAME_BYTES)
        n = MAX_NAME_BYTES;
    if (XrUTF8::is_valid_utf8(p, static_cast<int>(n))) {
        XrUTF8::decode_utf8(p, static_cast<int>(n), out);
        return;
    }
    TCHAR buf[256];
    unsigned int k = 0;
    for (unsigned int i = 0; i < n; ++i) {
        if (p[i] == 0)
            continue;
        buf[k++] = p[i];
        if (k == 256) {
            out.append(buf, static_cast<int>(k));
            k = 0;
        }
    }
    if (k > 0)
        out.append(buf, static_cast<int>(k));
}

// One side's from/to in the stored form and its number type.
XrAddrAccessor::NumType side_type(unsigned int& from, unsigned int to, bool byte_form)
{
    const unsigned int top = byte_form ? 0x80 : 0x8000;
    if ((from & top) != 0) {
        from &= ~top;
        return XrAddrAccessor::NUM_MIXED;
    }
    if (byte_form && from == 0 && to == 0)
        return XrAddrAccessor::NUM_NONE;
    if ((from & 1) != (to & 1))
        return XrAddrAccessor::NUM_MIXED;
    return (from & 1) != 0 ? XrAddrAccessor::NUM_ODD : XrAddrAccessor::NUM_EVEN;
}

} // namespace

XrAddrAccessor::XrAddrAccessor() : m_languages(8, 8), m_entries(16)
{
    for (int i = 0; i < SUFFIX_ENTRIES; ++i)
        m_suffix_strings[i] = m_suffix_text[i];
}

XrAddrAccessor::~XrAddrAccessor()
{
    release_county_window();
    release_block_index();
    delete[] m_wk_buffer;
    destroy_cache();
    delete m_storage;
}

void XrAddrAccessor::set_storage(XrStorageAccessor* storage)
{
    release_county_window();
    release_block_index();
    m_wk_loaded = false;
    set_end_state();
    if (m_storage != storage)
        delete m_storage;
    m_storage = storage;
}

const BYTE* XrAddrAccessor::read_bytes(std::uint64_t offset, std::uint32_t length)
{
    if (m_storage == nullptr || offset + length > 0xFFFFFFFFull)
        return nullptr;
    const BYTE* p = nullptr;
    if (m_storage->get_ptr(static_cast<std::uint32_t>(offset), length, &p) != XrStorageAccessor::OK)
        return nullptr;
    return p;
}

void XrAddrAccessor::release(const BYTE* p)
{
    if (p != nullptr && m_storage != nullptr)
        m_storage->release_ptr(p);
}

// ------------------------------------------------------------------ opening

XrAddrAccessor::Status XrAddrAccessor::read_version(unsigned int& version)
{
    const BYTE* p = read_bytes(0, 8);
    if (p == nullptr)
        return FAILED;
    const bool magic = get_u32(p) == MAGIC;
    version = get_u16(p + 4) << 16 | get_u16(p + 6);
    release(p);
    return magic ? OK : FAILED;
}

XrAddrAccessor::Status XrAddrAccessor::get_header_size(int& length)
{
    unsigned int version = 0;
    if (read_version(version) != OK)
        return FAILED;
    length = version >= VERSION_6_2 ? 52 : version >= VERSION_6_1 ? 50 : 48;
    return OK;
}

XrAddrAccessor::Status XrAddrAccessor::open()
{
    release_county_window();
    release_block_index();
    m_wk_loaded = false;
    set_end_state();
    m_current_node = 0;
    flush_name_cache();

    int header_size = 0;
    if (get_header_size(header_size) != OK || read_version(m_version) != OK)
        return FAILED;
    const BYTE* h = read_bytes(0, static_cast<std::uint32_t>(header_size));
    if (h == nullptr)
        return FAILED;
    m_header_size = header_size;
    m_header_count = get_u32(h + 8);
    m_num_countries = get_u32(h + 12);
    m_num_blocks = get_u32(h + 16);
    m_county_size = get_u32(h + 20);
    m_tree_size = get_u32(h + 24);
    const std::uint32_t suffix_offset = get_u32(h + 28);
    m_extra_size = m_version >= VERSION_6_1 ? static_cast<std::int16_t>(get_u16(h + 40)) : 4;
    m_num_languages = m_version >= VERSION_6_2 ? get_u16(h + 42) : 0;
    release(h);
    if (m_extra_size < 0)
        return FAILED;

    m_languages.remove_all();
    if (m_num_languages > 0) {
        const BYTE* l = read_bytes(static_cast<std::uint64_t>(m_header_size), 4 * m_num_languages);
        if (l == nullptr)
            return FAILED;
        for (unsigned int i = 0; i < m_num_languages; ++i)
            m_languages.append(get_u32(l + 4 * i));
        release(l);
    }
    m_county_area = static_cast<std::uint64_t>(m_header_size) + 4ull * m_num_languages;
    m_country_area = m_county_area + m_county_size;
    m_index_area = m_country_area + 32ull * m_num_countries;
    m_tree_area = m_index_area + 8ull * m_num_blocks;
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
    const BYTE* p = read_bytes(offset, SUFFIX_TABLE_SIZE);
    if (p == nullptr)
        return false;
    constexpr int units = 20; // 16-bit characters of one entry
    for (int i = 0; i < SUFFIX_ENTRIES; ++i) {
        const BYTE* e = p + 40 * i;
        if (get_u32(e) == 0)
            continue;
        m_suffix_count = i + 1;
        TCHAR* t = m_suffix_text[i];
        int k = 0;
        while (k < units && get_u16(e + 2 * k) != 0) {
            t[k] = static_cast<TCHAR>(get_u16(e + 2 * k));
            ++k;
        }
        m_suffix_split[i] = k;
        t[k++] = 0;
        while (k < units && get_u16(e + 2 * k) != 0) {
            t[k] = static_cast<TCHAR>(get_u16(e + 2 * k));
            ++k;
        }
        t[k] = 0;
    }
    release(p);
    return true;
}

bool XrAddrAccessor::load_block_index()
{
    if (m_block_index != nullptr || m_num_blocks == 0)
        return m_storage != nullptr;
    if (8ull * m_num_blocks > 0xFFFFFFFFull)
        return false;
    m_block_index = read_bytes(m_index_area, 8 * m_num_blocks);
    return m_block_index != nullptr;
}

void XrAddrAccessor::release_block_index()
{
    release(m_block_index);
    m_block_index = nullptr;
}

// ------------------------------------------------------------------ blocks

bool XrAddrAccessor::read_block(unsigned int n)
{
    if (!load_block_index())
        return false;
    ensure_cache();
    if (m_wk_loaded && m_wk_block == n)
        return true;
    if (n == END_BLOCK)
        return true;
    // A street position holds the block in 16 bits.
    if (n >= m_num_blocks || n > 0xFFFF || m_block_index == nullptr)
        return false;
    const BYTE* e = m_block_index + 8 * n;
    const unsigned int inflated = get_u16(e);
    const unsigned int stored = get_u16(e + 2);
    const unsigned int where = get_u32(e + 4);
    const unsigned int next = (where & 0x80000000u) != 0 ? 0 : n + 1;
    const BYTE* src = read_bytes(where & 0x7FFFFFFFu, stored);
    if (src == nullptr)
        return false;
    if (m_wk_capacity < inflated || m_wk_buffer == nullptr) {
        BYTE* grown = new (std::nothrow) BYTE[inflated > 0 ? inflated : 1];
        if (grown == nullptr) {
            release(src);
            return false;
        }
        delete[] m_wk_buffer;
        m_wk_buffer = grown;
        m_wk_capacity = inflated > 0 ? inflated : 1;
    }
    m_wk_loaded = false;
    uLongf produced = inflated;
    const int rc = uncompress(m_wk_buffer, &produced, src, stored);
    release(src);
    // A block that does not inflate to its size is bad data.
    if (rc != Z_OK || produced != inflated)
        return false;
    m_wk_block = n;
    m_wk_len = inflated;
    m_wk_loaded = true;
    m_wk_next_block = next;
    return true;
}

void XrAddrAccessor::set_end_state()
{
    m_road_blk = END_BLOCK;
    m_road_offset = 0;
    m_road_len = 0;
    m_at_end = true;
    m_next_seg_offset = NO_SEGMENT;
    m_num_segs = -1;
    m_seg_index = 0;
}

XrAddrAccessor::Status XrAddrAccessor::seek_block(unsigned int block, unsigned int offset)
{
    if (block == END_BLOCK) {
        set_end_state();
        return OK;
    }
    if (offset >= NO_SEGMENT || !read_block(block)) {
        set_end_state();
        return FAILED;
    }
    m_road_blk = block;
    m_road_offset = offset;
    m_road_len = 0;
    m_at_end = false;
    m_next_seg_offset = NO_SEGMENT;
    m_num_segs = -1;
    m_seg_index = 0;
    return OK;
}

unsigned int XrAddrAccessor::get_current_position() const
{
    if (m_road_blk == END_BLOCK)
        return END_BLOCK;
    XR_ASSERT_MSG((m_road_blk & 0xffff0000) == 0, "(road_blk & 0xffff0000) == 0");
    XR_ASSERT_MSG((m_road_offset & 0xffff0000) == 0, "(curr_road_offset & 0xffff0000) == 0");
    return m_road_blk << 16 | m_road_offset;
}

bool XrAddrAccessor::set_current_position(unsigned int pos)
{
    return seek_block(pos >> 16, pos & 0xFFFF) == OK;
}

XrAddrAccessor::Status XrAddrAccessor::read_block_by_gid(XrGid gid)
{
    const unsigned int roffs = gid & 0xFFFF;
    if (roffs >= 0xFFFF || seek_block(gid >> 16, roffs) != OK)
        return FAILED;
    if (m_wk_len <= roffs) {
        set_end_state();
        return FAILED;
    }
    return OK;
}

// ------------------------------------------------------------------ records

bool XrAddrAccessor::decode_name(unsigned int offset, bool shared, XrLC language, XrString& name,
                                 unsigned int& after)
{
    const BYTE* b = m_wk_buffer;
    const unsigned int len = m_wk_len;
    unsigned int start = offset;
    if (shared) {
        if (len < 2 || offset > len - 2)
            return false;
        start = get_u16(b + offset);
        after = offset + 2;
    }
    unsigned int end = start;
    while (end < len && b[end] >= 16)
        ++end;
    if (end >= len)
        return false;
    if (!shared)
        after = end + 1;
    name.clear();
    const unsigned int code = b[end];
    const bool marks = language != 0;
    if (marks)
        name += language == LANGUAGE_ARABIC ? RLE : LRE;
    append_text(name, b + start, end - start);
    if (code >= 1 && code <= 15) {
        const TCHAR* suffix = m_suffix_text[code - 1];
        const int n = m_suffix_split[code - 1];
        if (n > 0)
            name.append(suffix, n);
    }
    if (marks)
        name += PDF;
    return true;
}

bool XrAddrAccessor::decode_record(unsigned int offset, StreetRecord& rec, XrString* name)
{
    if (!m_wk_loaded)
        return false;
    const BYTE* b = m_wk_buffer;
    const unsigned int len = m_wk_len;
    unsigned int p = offset;
    auto have = [&](unsigned int n) { return p <= len && len - p >= n; };

    if (!have(3))
        return false;
    const unsigned int head = get_u24(b + p);
    p += 3;
    rec = StreetRecord();
    rec.county = head & 0xFFFFF;
    rec.type = (head >> 20) & 7;
    const bool shared = (head & 0x800000) != 0;
    if (m_version >= VERSION_6_2) {
        if (!have(1))
            return false;
        const unsigned int index = b[p++];
        if (index < m_num_languages && static_cast<int>(index) < m_languages.get_num_items())
            rec.language = *m_languages.get_item_ptr(static_cast<int>(index));
    }
    if (shared) {
        if (!have(2))
            return false;
        if (name != nullptr) {
            unsigned int after = 0;
            if (!decode_name(p, true, rec.language, *name, after))
                return false;
        }
        p += 2;
    } else {
        unsigned int end = p;
        while (end < len && b[end] >= 16)
            ++end;
        if (end >= len)
            return false;
        if (name != nullptr) {
            unsigned int after = 0;
            if (!decode_name(p, false, rec.language, *name, after))
                return false;
        }
        p = end + 1;
    }
    if (!have(1))
        return false;
    const BYTE marker = b[p++];
    const unsigned int extra = static_cast<unsigned int>(m_extra_size);
    auto read_extra = [&]() {
        if (!have(extra))
            return false;
        rec.link = extra >= 4 ? get_u32(b + p) : NO_LINK;
        p += extra;
        return true;
    };
    rec.link = NO_LINK;
    if (marker == 0) {
        if (!have(4))
            return false;
        rec.gid = get_u32(b + p);
        p += 4;
        if (!read_extra())
            return false;
        rec.num_segs = -1;
        rec.first_seg = 0;
        rec.length = p - offset;
        return true;
    }
    if (m_version >= VERSION_6_3 && !read_extra())
        return false;
    if (!have(1))
        return false;
    const BYTE s = b[p++];
    int count = s & 31;
    if ((s & 0x20) == 0) {
        if (!have(1))
            return false;
        count = count << 8 | b[p++];
    }
    if ((s & 0x40) != 0) {
        if (!have(2))
            return false;
        rec.upper_gid = get_u16(b + p);
        p += 2;
    }
    rec.seg_header = s;
    rec.num_segs = count;
    rec.first_seg = p;
    const unsigned int gid_size = (s & 0x40) != 0 ? 2 : 4;
    const bool byte_form = (s & 0x80) != 0;
    for (int i = 0; i < count; ++i) {
        if (!have(gid_size))
            return false;
        if (i == 0)
            rec.gid = gid_size == 2 ? rec.upper_gid << 16 | get_u16(b + p) : get_u32(b + p);
        p += gid_size;
        if (byte_form) {
            if (!have(1))
                return false;
            p += b[p] == 0xFF ? 1 : 4;
        } else {
            if (!have(2))
                return false;
            p += get_u16(b + p) == 0xFFFE ? 2 : 8;
        }
        if (p > len)
            return false;
    }
    rec.length = p - offset;
    return true;
}

void XrAddrAccessor::set_street_state(unsigned int block, const StreetRecord& rec)
{
    m_seg_blk = block;
    m_num_segs = rec.num_segs;
    m_next_seg_offset = rec.first_seg;
    m_seg_index = 0;
    m_seg_header = rec.seg_header;
    m_upper_gid = rec.upper_gid;
    m_extra = rec.link;
}

bool XrAddrAccessor::decode_current(StreetRecord& rec, XrString* name)
{
    if (m_road_blk == END_BLOCK || !read_block(m_road_blk))
        return false;
    return decode_record(m_road_offset, rec, name);
}

XrAddrAccessor::Status XrAddrAccessor::get_next_street(XrString* name, unsigned int* county, int* type, XrGid* gid,
                                                       XrLC* lang)
{
    if (m_at_end || m_road_blk == END_BLOCK)
        return END;
    if (!read_block(m_road_blk))
        return FAILED;
    if (m_road_len < 0) {
        StreetRecord rec;
        if (!decode_record(m_road_offset, rec, nullptr))
            return FAILED;
        m_road_len = static_cast<int>(rec.length);
    }
    unsigned int offset = m_road_offset + static_cast<unsigned int>(m_road_len);
    unsigned int block = m_road_blk;
    while (offset >= m_wk_len) {
        if (m_wk_next_block == 0) {
            m_at_end = true;
            return END;
        }
        block = m_wk_next_block;
        if (!read_block(block))
            return FAILED;
        offset = 0;
    }
    StreetRecord rec;
    XrString text;
    if (!decode_record(offset, rec, name != nullptr ? &text : nullptr))
        return FAILED;
    m_road_blk = block;
    m_road_offset = offset;
    m_road_len = static_cast<int>(rec.length);
    set_street_state(block, rec);
    if (name != nullptr)
        *name = text;
    if (county != nullptr)
        *county = rec.county;
    if (type != nullptr)
        *type = rec.type;
    if (gid != nullptr)
        *gid = rec.gid;
    if (lang != nullptr)
        *lang = rec.language;
    return OK;
}

XrAddrAccessor::Status XrAddrAccessor::get_next_segment(XrGid& gid, short& left_from, short& left_to,
                                                        NumType& left_type, short& right_from, short& right_to,
                                                        NumType& right_type)
{
    if (m_road_blk == END_BLOCK)
        return FAILED;
    if (m_next_seg_offset == NO_SEGMENT) {
        StreetRecord rec;
        if (!decode_current(rec, nullptr))
            return FAILED;
        if (m_road_len < 0)
            m_road_len = static_cast<int>(rec.length);
        set_street_state(m_road_blk, rec);
    }
    if (m_num_segs == -1) {
        // The segments are kept by another record of the street.
        const unsigned int start = m_road_blk << 16 | m_road_offset;
        unsigned int link = m_extra;
        for (int steps = 0; m_num_segs == -1; ++steps) {
            if (link == NO_LINK || steps >= MAX_LINK_STEPS)
                return FAILED;
            // In a ring of language variants, coming back means none has segments.
            if (m_version >= VERSION_6_3 && link == start)
                return FAILED;
            const unsigned int block = link >> 16;
            StreetRecord rec;
            if (!read_block(block) || !decode_record(link & 0xFFFF, rec, nullptr))
                return FAILED;
            if (m_version < VERSION_6_3 && rec.num_segs == -1)
                return FAILED;
            set_street_state(block, rec);
            link = rec.link;
        }
    }
    if (m_seg_index >= m_num_segs)
        return END;
    if (!read_block(m_seg_blk))
        return FAILED;

    const BYTE* b = m_wk_buffer;
    const unsigned int len = m_wk_len;
    unsigned int p = m_next_seg_offset;
    auto have = [&](unsigned int n) { return p <= len && len - p >= n; };
    const bool byte_form = (m_seg_header & 0x80) != 0;
    if ((m_seg_header & 0x40) != 0) {
        if (!have(2))
            return FAILED;
        gid = m_upper_gid << 16 | get_u16(b + p);
        p += 2;
    } else {
        if (!have(4))
            return FAILED;
        gid = get_u32(b + p);
        p += 4;
    }
    unsigned int v[4] = {0, 0, 0, 0};
    bool numbers = false;
    if (byte_form) {
        if (!have(1))
            return FAILED;
        if (b[p] == 0xFF) {
            p += 1;
        } else {
            if (!have(4))
                return FAILED;
            for (int i = 0; i < 4; ++i)
                v[i] = b[p + i];
            p += 4;
            numbers = true;
        }
    } else {
        if (!have(2))
            return FAILED;
        if (get_u16(b + p) == 0xFFFE) {
            p += 2;
        } else {
            if (!have(8))
                return FAILED;
            for (int i = 0; i < 4; ++i)
                v[i] = get_u16(b + p + 2 * i);
            p += 8;
            numbers = true;
        }
    }
    if (numbers) {
        left_type = side_type(v[0], v[1], byte_form);
        right_type = side_type(v[2], v[3], byte_form);
    } else {
        left_type = NUM_NONE;
        right_type = NUM_NONE;
    }
    left_from = static_cast<short>(v[0]);
    left_to = static_cast<short>(v[1]);
    right_from = static_cast<short>(v[2]);
    right_to = static_cast<short>(v[3]);
    m_next_seg_offset = p;
    ++m_seg_index;
    return OK;
}

// ------------------------------------------------------------------ street keys

void XrAddrAccessor::ensure_cache()
{
    if (m_cache != nullptr)
        return;
    m_cache = new XrGidCacheItem[CACHE_ITEMS];
    m_gid_cache = new XrHash<unsigned int, XrGidCacheItem*>(160, false, 80);
    flush_name_cache();
}

void XrAddrAccessor::destroy_cache()
{
    delete[] m_cache;
    m_cache = nullptr;
    delete m_gid_cache;
    m_gid_cache = nullptr;
    m_cache_head = nullptr;
    m_cache_tail = nullptr;
}

void XrAddrAccessor::flush_name_cache()
{
    if (m_cache == nullptr)
        return;
    m_gid_cache->clear();
    for (int i = 0; i < CACHE_ITEMS; ++i) {
        XrGidCacheItem& item = m_cache[i];
        item.prev = i > 0 ? &m_cache[i - 1] : nullptr;
        item.next = i + 1 < CACHE_ITEMS ? &m_cache[i + 1] : nullptr;
        item.name.clear();
        item.gid = 0;
        item.county_type = 0;
        item.position = 0;
        item.wanted_language = 0;
        item.language = 0;
        item.used = false;
    }
    m_cache_head = &m_cache[0];
    m_cache_tail = &m_cache[CACHE_ITEMS - 1];
}

void XrAddrAccessor::cache_move_to_head(XrGidCacheItem* item)
{
    if (item == m_cache_head)
        return;
    item->prev->next = item->next;
    if (item->next != nullptr)
        item->next->prev = item->prev;
    else
        m_cache_tail = item->prev;
    item->prev = nullptr;
    item->next = m_cache_head;
    m_cache_head->prev = item;
    m_cache_head = item;
}

void XrAddrAccessor::cache_enter(XrGid gid, XrLC wanted, const XrString& name, unsigned int county_type,
                                 XrLC language)
{
    XrGidCacheItem* ci = nullptr;
    if (!m_gid_cache->find(gid, ci)) {
        ci = m_cache_tail;
        if (ci->used)
            m_gid_cache->remove(ci->gid);
        ci->used = m_gid_cache->insert(gid, ci);
        ci->gid = gid;
    }
    XR_ASSERT_MSG(ci->gid == gid, "ci->gid == gid");
    ci->position = get_current_position();
    ci->name = name;
    ci->county_type = county_type;
    ci->wanted_language = wanted;
    ci->language = language;
    cache_move_to_head(ci);
}

XrAddrAccessor::Status XrAddrAccessor::get_street_by_gid(XrGid gid, XrString& name, unsigned int* county, int* type,
                                                         XrLC lang, XrLC* lang_out)
{
    ensure_cache();
    XrGidCacheItem* ci = nullptr;
    if (m_gid_cache->find(gid, ci) && ci->wanted_language == lang) {
        XR_ASSERT_MSG(ci->gid == gid, "ci->gid == gid");
        cache_move_to_head(ci);
        name = ci->name;
        if (county != nullptr)
            *county = ci->county_type & 0xFFFFF;
        if (type != nullptr)
            *type = static_cast<int>(ci->county_type >> 20);
        if (lang_out != nullptr)
            *lang_out = ci->language;
        m_road_blk = ci->position >> 16;
        m_road_offset = ci->position & 0xFFFF;
        m_road_len = -1;
        m_at_end = false;
        m_next_seg_offset = NO_SEGMENT;
        return OK;
    }

    if (read_block_by_gid(gid) != OK)
        return FAILED;
    StreetRecord rec;
    XrString text;
    if (!decode_record(m_road_offset, rec, &text))
        return FAILED;
    unsigned int pos = gid;
    if (m_version >= VERSION_6_3 && lang != 0 && rec.language != lang) {
        // The ring of the street's records in other languages.
        unsigned int link = rec.link;
        for (int steps = 0; link != NO_LINK && link != gid && steps < MAX_LINK_STEPS; ++steps) {
            StreetRecord other;
            XrString other_text;
            if (!read_block(link >> 16) || !decode_record(link & 0xFFFF, other, &other_text))
                break;
            if (other.language == lang) {
                rec = other;
                text = other_text;
                pos = link;
                break;
            }
            link = other.link;
        }
    }
    m_road_blk = pos >> 16;
    m_road_offset = pos & 0xFFFF;
    m_road_len = static_cast<int>(rec.length);
    m_at_end = false;
    set_street_state(m_road_blk, rec);

    cache_enter(gid, lang, text, rec.county | static_cast<unsigned int>(rec.type) << 20, rec.language);
    name = text;
    if (county != nullptr)
        *county = rec.county;
    if (type != nullptr)
        *type = rec.type;
    if (lang_out != nullptr)
        *lang_out = rec.language;
    return OK;
}

XrAddrAccessor::Status XrAddrAccessor::get_streets_by_gids(XrArray<XrStreetsByGidsRequest>& requests)
{
    const int n = requests.get_num_items();
    // In key order: blocks are read once each, and a repeated key is adjacent.
    XrArray<int> order(n > 0 ? n : 1);
    for (int i = 0; i < n; ++i)
        order.append(i);
    XrStreetsByGidsRequest* r = requests.get_items();
    std::stable_sort(order.get_items(), order.get_items() + n, [r](int a, int b) { return r[a].gid < r[b].gid; });
    Status status = OK;
    for (int k = 0; k < n; ++k) {
        XrStreetsByGidsRequest& q = r[order.get_items()[k]];
        if (k > 0 && r[order.get_items()[k - 1]].gid == q.gid)
            status = FAILED;
        if (q.name.is_empty() && get_street_by_gid(q.gid, q.name, nullptr, nullptr, q.language, nullptr) != OK)
            status = FAILED;
    }
    return status;
}

// ------------------------------------------------------------------ counties and countries

void XrAddrAccessor::release_county_window()
{
    release(m_county_window);
    m_county_window = nullptr;
    m_window_start = 0;
    m_window_end = 0;
}

void XrAddrAccessor::set_name_caching(bool on)
{
    release_county_window();
    m_name_caching = on;
}

namespace {

// A county record at p (avail bytes, at area offset off).
bool parse_county(const BYTE* p, unsigned int avail, unsigned int off, XrString& name, BYTE* attribute,
                  unsigned int* next_id)
{
    const BYTE* z = static_cast<const BYTE*>(std::memchr(p, 0, avail));
    if (z == nullptr)
        return false;
    const unsigned int n = static_cast<unsigned int>(z - p);
    if (n + 1 >= avail)
        return false;
    name.clear();
    append_text(name, p, n);
    if (attribute != nullptr)
        *attribute = p[n + 1];
    if (next_id != nullptr)
        *next_id = static_cast<unsigned int>(((static_cast<std::uint64_t>(off) + n + 2 + 3) & ~3ull) / 4);
    return true;
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
        q = static_cast<unsigned int>(((static_cast<std::uint64_t>(start) + last + 3) & ~3ull) - start);
    }
    return last;
}

} // namespace

XrAddrAccessor::Status XrAddrAccessor::get_county(unsigned int id, XrString& name, BYTE* attribute,
                                                  unsigned int* next_id)
{
    const std::uint64_t off64 = 4ull * id;
    if (off64 >= m_county_size)
        return FAILED;
    const unsigned int off = static_cast<unsigned int>(off64);
    if (m_name_caching) {
        if (m_county_window == nullptr || off < m_window_start || off >= m_window_end) {
            release_county_window();
            const unsigned int len = std::min<unsigned int>(COUNTY_WINDOW, m_county_size - off);
            const BYTE* w = read_bytes(m_county_area + off, len);
            if (w == nullptr)
                return FAILED;
            // The window ends behind its last whole record.
            const unsigned int end = off + len == m_county_size ? len : complete_records(w, off, len);
            if (end > 0) {
                m_county_window = w;
                m_window_start = off;
                m_window_end = off + end;
            } else {
                release(w);
            }
        }
        if (m_county_window != nullptr) {
            const unsigned int at = off - m_window_start;
            return parse_county(m_county_window + at, m_window_end - off, off, name, attribute, next_id) ? OK
                                                                                                       : FAILED;
        }
    }
    const unsigned int len = std::min<unsigned int>(COUNTY_RECORD_MAX, m_county_size - off);
    const BYTE* p = read_bytes(m_county_area + off, len);
    if (p == nullptr)
        return FAILED;
    const bool ok = parse_county(p, len, off, name, attribute, next_id);
    release(p);
    return ok ? OK : FAILED;
}

XrAddrAccessor::Status XrAddrAccessor::get_country_name(unsigned int i, XrString& name)
{
    if (i >= m_num_countries)
        return FAILED;
    const BYTE* p = read_bytes(m_country_area + 32ull * i, 32);
    if (p == nullptr)
        return FAILED;
    int n = 0;
    while (n < 32 && p[n] != 0)
        ++n;
    name.clear();
    name.assign_latin1(reinterpret_cast<const char*>(p), n);
    release(p);
    return OK;
}

void XrAddrAccessor::get_suffix_table(const TCHAR* const*& strings, const int*& splits, int& count) const
{
    strings = m_suffix_strings;
    splits = m_suffix_split;
    count = m_suffix_count;
}

// ------------------------------------------------------------------ name tree

bool XrAddrAccessor::read_node(std::uint64_t node, XrArray<TreeEntry>& entries)
{
    entries.remove_all();
    const std::uint64_t tree_end = m_tree_area + m_tree_size;
    if (node < m_tree_area || node + 2 > tree_end)
        return false;
    const BYTE* h = read_bytes(node, 2);
    if (h == nullptr)
        return false;
    const unsigned int n = get_u16(h);
    release(h);
    if (node + 2 + static_cast<std::uint64_t>(ENTRY_SIZE) * n > tree_end)
        return false;
    if (n == 0)
        return true;
    const BYTE* p = read_bytes(node + 2, ENTRY_SIZE * n);
    if (p == nullptr)
        return false;
    for (unsigned int i = 0; i < n; ++i) {
        const BYTE* e = p + ENTRY_SIZE * i;
        TreeEntry t;
        t.key = get_u16(e);
        if (get_u16(e + 2) == 0xFFFF) {
            t.child = true;
            t.child_node = get_u32(e + 4);
        } else {
            t.block = get_u32(e + 2);
            t.offset = get_u16(e + 6);
        }
        t.cid_list = get_u32(e + 8);
        t.count = static_cast<int>(get_u24(e + 12) << 8) >> 8;
        entries.append(t);
    }
    release(p);
    return true;
}

XrAddrAccessor::Status XrAddrAccessor::find_first_street(const TCHAR* prefix, bool stop_at_node)
{
    m_current_node = 0;
    set_end_state();
    if (m_storage == nullptr || m_tree_area == 0)
        return FAILED;
    const int len = prefix != nullptr ? static_cast<int>(std::wcslen(prefix)) : 0;
    std::uint64_t node = m_tree_area;
    for (int depth = 0; depth < MAX_TREE_DEPTH; ++depth) {
        if (depth >= len && stop_at_node) {
            m_current_node = node;
            return PREFIX_AT_NODE;
        }
        const unsigned int ch = depth < len ? tree_key(prefix[depth]) : 0;
        if (!read_node(node, m_entries))
            return FAILED;
        const TreeEntry* taken = nullptr;
        for (int i = 0; i < m_entries.get_num_items(); ++i) {
            const TreeEntry* e = m_entries.get_item_ptr(i);
            if (e->key < ch)
                continue;
            if (e->key == ch || ch == 0)
                taken = e;
            break;
        }
        if (taken == nullptr)
            return OK;
        if (!taken->child)
            return seek_block(taken->block, taken->offset);
        node = taken->child_node;
    }
    return FAILED;
}

XrAddrAccessor::Status XrAddrAccessor::find_first_street(const TCHAR* prefix, TCHAR ch)
{
    XrString extended(prefix != nullptr ? prefix : L"");
    extended += ch;
    return find_first_street(extended.c_str(), false);
}

bool XrAddrAccessor::read_cid_list(unsigned int offset, XrArray<unsigned int>& ids)
{
    ids.remove_all();
    const std::uint64_t at = m_cid_area + offset;
    const BYTE* h = read_bytes(at, 6);
    if (h == nullptr)
        return false;
    const unsigned int head = get_u24(h);
    const unsigned int second = get_u24(h + 3);
    release(h);

    unsigned int count = 0;
    BYTE* inflated = nullptr;
    const BYTE* items = nullptr;
    unsigned int size = 0;
    if ((head & 0x800000) != 0) {
        count = second;
        size = head & 0x7FFFFF;
        items = size > 0 ? read_bytes(at + 6, size) : nullptr;
        if (items == nullptr)
            return false;
    } else {
        const BYTE* c = read_bytes(at + 6, 3);
        if (c == nullptr)
            return false;
        count = get_u24(c);
        release(c);
        const BYTE* z = head > 0 ? read_bytes(at + 9, head) : nullptr;
        if (z == nullptr || second == 0) {
            release(z);
            return false;
        }
        inflated = new (std::nothrow) BYTE[second];
        uLongf produced = second;
        const bool ok = inflated != nullptr && uncompress(inflated, &produced, z, head) == Z_OK;
        release(z);
        if (!ok) {
            delete[] inflated;
            return false;
        }
        size = static_cast<unsigned int>(produced);
        items = inflated;
    }
    // Every id takes at least one byte.
    bool ok = count > 0 && count <= size;
    unsigned int value = 0;
    unsigned int p = 0;
    for (unsigned int k = 0; ok && k < count; ++k) {
        if (p >= size) {
            ok = false;
            break;
        }
        switch (items[p] & 3) {
        case 1:
            value += items[p] >> 2;
            p += 1;
            break;
        case 2:
            ok = size - p >= 2;
            if (ok)
                value += get_u16(items + p) >> 2;
            p += 2;
            break;
        case 3:
            ok = size - p >= 3;
            if (ok)
                value = get_u24(items + p) >> 2;
            p += 3;
            break;
        default:
            ok = false;
        }
        if (ok)
            ids.append(value);
    }
    if (inflated != nullptr)
        delete[] inflated;
    else
        release(items);
    return ok;
}

bool XrAddrAccessor::check_cids(const TreeEntry& e, const unsigned int* county_ids, int n, bool& match)
{
    match = true;
    if (county_ids == nullptr || n <= 0 || e.cid_list == NO_LIST)
        return true;
    XrArray<unsigned int> list(16);
    if (!read_cid_list(e.cid_list, list))
        return false;
    const unsigned int* a = list.get_items();
    const int na = list.get_num_items();
    const unsigned int* b = county_ids;
    // Both lists ascend: each side's next id is searched in the other.
    int i = 0, j = 0;
    match = false;
    while (i < na && j < n) {
        j = static_cast<int>(std::lower_bound(b + j, b + n, a[i]) - b);
        if (j == n)
            break;
        if (b[j] == a[i]) {
            match = true;
            break;
        }
        i = static_cast<int>(std::lower_bound(a + i, a + na, b[j]) - a);
        if (i < na && a[i] == b[j]) {
            match = true;
            break;
        }
    }
    return true;
}

void XrAddrAccessor::store_continuation(const XrString& text, XrArray<XrString>& list, int& stores)
{
    if (stores < 2 || list.get_num_items() == 0)
        list.append(text);
    else
        *list.get_item_ptr(list.get_num_items() - 1) = text;
    ++stores;
}

void XrAddrAccessor::predict_continuation(unsigned int node, XrString text, int threshold, XrArray<XrString>& list)
{
    int stores = 0;
    XrArray<TreeEntry> entries(16);
    for (int depth = 0; depth < MAX_TREE_DEPTH; ++depth) {
        if (!read_node(node, entries))
            break;
        long long total = 0;
        int best = -1;
        for (int i = 0; i < entries.get_num_items(); ++i) {
            const int c = entries.get_item_ptr(i)->count;
            if (c <= 0)
                continue;
            total += c;
            if (best < 0 || c > entries.get_item_ptr(best)->count)
                best = i;
        }
        if (best < 0)
            break;
        const TreeEntry e = *entries.get_item_ptr(best);
        const bool all = e.count == total;
        if (!e.child) {
            if (all && e.key != 0)
                text += key_letter(e.key);
            break;
        }
        if (!all) {
            store_continuation(text, list, stores);
            if (e.count * 100LL / total < threshold)
                return;
            threshold += (100 - threshold) / 2;
        }
        if (e.key != 0)
            text += key_letter(e.key);
        node = e.child_node;
    }
    store_continuation(text, list, stores);
}

XrAddrAccessor::Status XrAddrAccessor::get_next_letters(XrArray<XrString>& list, const unsigned int* county_ids,
                                                        int n, bool& exact, unsigned int& block, unsigned int& offset)
{
    exact = false;
    if (m_current_node == 0)
        return FAILED;
    XrArray<TreeEntry> entries(16);
    if (!read_node(m_current_node, entries))
        return FAILED;
    const bool any_county = county_ids == nullptr || n <= 0;
    for (int i = 0; i < entries.get_num_items(); ++i) {
        const TreeEntry e = *entries.get_item_ptr(i);
        if (e.key == 0) {
            if (!e.child) {
                exact = true;
                block = e.block;
                offset = e.offset;
            }
            continue;
        }
        bool match = true;
        if (!check_cids(e, county_ids, n, match))
            return FAILED;
        if (!match)
            continue;
        XrString letter;
        letter += key_letter(e.key);
        if (e.child && any_county)
            predict_continuation(e.child_node, letter, CONTINUATION_THRESHOLD, list);
        else
            list.append(letter);
    }
    return OK;
}

// ------------------------------------------------------------------ memory

void XrAddrAccessor::free_memory()
{
    delete[] m_wk_buffer;
    m_wk_buffer = nullptr;
    m_wk_capacity = 0;
    m_wk_loaded = false;
    release_block_index();
    destroy_cache();
}
