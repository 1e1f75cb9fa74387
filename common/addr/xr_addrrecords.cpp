// The address database's street blocks and records: the work block, the
// street cursor, and the decoding of street records and their segments.
#include <new>

#include "common/addr/xr_addraccessor.h"
#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/misc/xr_utf8.h"

namespace L = xr_addr_layout;

namespace {

// Longest name taken from a record (bytes), leaving room for suffix and marks.
constexpr unsigned int MAX_NAME_BYTES = 65000;

constexpr TCHAR LRE = 0x202A;
constexpr TCHAR RLE = 0x202B;
constexpr TCHAR PDF = 0x202C;

// The offset of the code byte that ends the name at start; len when the
// block ends first.
unsigned int name_end(const BYTE* b, unsigned int len, unsigned int start)
{
    unsigned int end = start;
    while (end < len && b[end] >= L::FIRST_TEXT_BYTE)
        ++end;
    return end;
}

// One side's from/to in the stored form and its number type.
XrAddrAccessor::NumType side_type(unsigned int& from, unsigned int to, bool byte_form)
{
    const unsigned int top = byte_form ? L::MIXED_BYTE : L::MIXED_WORD;
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

void XrAddrAccessor::append_name(XrString& out, const BYTE* p, unsigned int n)
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
    if (n >= m_num_blocks || n > L::MAX_BLOCKS || m_block_index == nullptr)
        return false;
    const BYTE* e = m_block_index.get() + L::INDEX_ENTRY_SIZE * n;
    const unsigned int inflated = xr_bytes::get_u16_le(e + L::INDEX_INFLATED);
    const unsigned int stored = xr_bytes::get_u16_le(e + L::INDEX_STORED);
    const std::uint32_t where = xr_bytes::get_u32_le(e + L::INDEX_WHERE);
    const unsigned int next = (where & L::INDEX_LAST_BLOCK) != 0 ? 0 : n + 1;
    HeldBytes src = read_bytes(where & L::INDEX_OFFSET_MASK, stored);
    if (src == nullptr)
        return false;
    if (m_wk_capacity < inflated || m_wk_buffer == nullptr) {
        const unsigned int capacity = inflated > 0 ? inflated : 1;
        std::unique_ptr<BYTE[]> grown(new (std::nothrow) BYTE[capacity]);
        if (grown == nullptr)
            return false;
        m_wk_buffer = std::move(grown);
        m_wk_capacity = capacity;
    }
    m_wk_loaded = false;
    int produced = static_cast<int>(inflated);
    // A block that does not inflate to its size is bad data.
    if (!zlib_uncompress_whole(src.get(), static_cast<int>(stored), m_wk_buffer.get(), produced) ||
        produced != static_cast<int>(inflated))
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

bool XrAddrAccessor::decode_name(unsigned int offset, bool shared, XrLC language, XrString& name)
{
    const BYTE* b = m_wk_buffer.get();
    const unsigned int len = m_wk_len;
    unsigned int start = offset;
    if (shared) {
        XrByteCursor c(b, len);
        start = c.u16_le_at(offset);
        if (!c.ok())
            return false;
    }
    const unsigned int end = name_end(b, len, start);
    if (end >= len)
        return false;
    name.clear();
    const unsigned int code = b[end];
    const bool marks = language != 0;
    if (marks)
        name += language == LANGUAGE_ARABIC ? RLE : LRE;
    append_name(name, b + start, end - start);
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
    XrByteCursor c(m_wk_buffer.get(), m_wk_len);
    if (!c.seek(offset))
        return false;
    const std::uint32_t head = c.u24_le();
    if (!c.ok())
        return false;
    rec = StreetRecord();
    rec.county = head & L::HEAD_COUNTY_MASK;
    rec.type = static_cast<int>((head >> L::HEAD_TYPE_SHIFT) & L::HEAD_TYPE_MASK);
    const bool shared = (head & L::HEAD_SHARED_NAME) != 0;
    if (m_version >= VERSION_6_2) {
        const unsigned int index = c.u8();
        if (!c.ok())
            return false;
        if (index < m_num_languages && static_cast<int>(index) < m_languages.get_num_items())
            rec.language = *m_languages.get_item_ptr(static_cast<int>(index));
    }
    if (shared) {
        if (!c.has(L::SHARED_NAME_SIZE))
            return false;
        if (name != nullptr && !decode_name(static_cast<unsigned int>(c.pos()), true, rec.language, *name))
            return false;
        c.skip(L::SHARED_NAME_SIZE);
    } else {
        const unsigned int end = name_end(m_wk_buffer.get(), m_wk_len, static_cast<unsigned int>(c.pos()));
        if (end >= m_wk_len)
            return false;
        if (name != nullptr && !decode_name(static_cast<unsigned int>(c.pos()), false, rec.language, *name))
            return false;
        c.seek(end + 1);
    }
    const BYTE marker = c.u8();
    if (!c.ok())
        return false;
    const unsigned int extra = static_cast<unsigned int>(m_extra_size);
    auto read_extra = [&]() {
        const BYTE* x = c.take(extra);
        if (x == nullptr)
            return false;
        rec.link = extra >= L::LINK_SIZE ? xr_bytes::get_u32_le(x) : NO_LINK;
        return true;
    };
    rec.link = NO_LINK;
    if (marker == L::NO_SEGMENTS) {
        rec.gid = c.u32_le();
        if (!c.ok() || !read_extra())
            return false;
        rec.num_segs = -1;
        rec.first_seg = 0;
        rec.length = static_cast<unsigned int>(c.pos()) - offset;
        return true;
    }
    if (m_version >= VERSION_6_3 && !read_extra())
        return false;
    const BYTE s = c.u8();
    int count = s & L::SEG_COUNT_MASK;
    if ((s & L::SEG_SHORT_COUNT) == 0)
        count = count << 8 | c.u8();
    if ((s & L::SEG_COMMON_UPPER) != 0)
        rec.upper_gid = c.u16_le();
    if (!c.ok())
        return false;
    rec.seg_header = s;
    rec.num_segs = count;
    rec.first_seg = static_cast<unsigned int>(c.pos());
    const bool upper = (s & L::SEG_COMMON_UPPER) != 0;
    const bool byte_form = (s & L::SEG_BYTE_NUMBERS) != 0;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t g = upper ? c.u16_le() : c.u32_le();
        if (i == 0)
            rec.gid = upper ? rec.upper_gid << 16 | g : g;
        // The four house numbers, or the lone no-numbers value.
        if (byte_form) {
            if (c.u8() != L::NO_NUMBERS_BYTE)
                c.skip(3);
        } else if (c.u16_le() != L::NO_NUMBERS_WORD) {
            c.skip(6);
        }
        if (!c.ok())
            return false;
    }
    rec.length = static_cast<unsigned int>(c.pos()) - offset;
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

    XrByteCursor c(m_wk_buffer.get(), m_wk_len);
    if (!c.seek(m_next_seg_offset))
        return FAILED;
    const bool byte_form = (m_seg_header & L::SEG_BYTE_NUMBERS) != 0;
    const XrGid read_gid =
        (m_seg_header & L::SEG_COMMON_UPPER) != 0 ? m_upper_gid << 16 | c.u16_le() : c.u32_le();
    unsigned int v[4] = {0, 0, 0, 0};
    bool numbers = false;
    if (byte_form) {
        if (c.has(1) && *c.here() == L::NO_NUMBERS_BYTE) {
            c.skip(1);
        } else {
            for (unsigned int& x : v)
                x = c.u8();
            numbers = true;
        }
    } else if (c.has(2) && xr_bytes::get_u16_le(c.here()) == L::NO_NUMBERS_WORD) {
        c.skip(2);
    } else {
        for (unsigned int& x : v)
            x = c.u16_le();
        numbers = true;
    }
    if (!c.ok())
        return FAILED;
    gid = read_gid;
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
    m_next_seg_offset = static_cast<unsigned int>(c.pos());
    ++m_seg_index;
    return OK;
}
