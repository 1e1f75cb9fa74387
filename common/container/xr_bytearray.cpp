#include "common/container/xr_bytearray.h"

#include <climits>
#include <cstring>
#include <cwchar>

#include <zlib.h>

namespace {

// Characters of a wide text before the first one whose low 8 bits are 0,
// at most max: the part that narrows to bytes.
int narrowed_length(const wchar_t* s, int max)
{
    int n = 0;
    while (n < max && (s[n] & 0xFF) != 0)
        ++n;
    return n;
}

// Low 8 bits of each of n characters.
void narrow_into(BYTE* dst, const wchar_t* s, int n)
{
    for (int i = 0; i < n; ++i)
        dst[i] = static_cast<BYTE>(s[i]);
}

} // namespace

XrByteArray::XrByteArray(int initial_capacity, int grow_step) : XrArray<BYTE>(initial_capacity, grow_step) {}

XrByteArray::XrByteArray(const XrByteArray& other) : XrArray<BYTE>(16, 16)
{
    append(other);
}

XrByteArray& XrByteArray::operator=(const XrByteArray& other)
{
    if (this != &other)
        set(other.items, other.num_items);
    return *this;
}

bool XrByteArray::set(const BYTE* data, int n)
{
    num_items = 0;
    return append(data, n);
}

bool XrByteArray::grow_to(int n)
{
    if (num_items >= n)
        return true;
    if (items == nullptr) {
        if (!set_capacity(capacity > n ? capacity : n))
            return false;
    } else if (capacity < n) {
        long long want = (long long)n + grow_step;
        if (!set_capacity(want > INT_MAX ? INT_MAX : static_cast<int>(want)))
            return false;
    }
    num_items = n;
    return true;
}

BYTE* XrByteArray::append_space(int n)
{
    if (n < 0 || n > INT_MAX - num_items)
        return nullptr;
    int old = num_items;
    if (!grow_to(old + n))
        return nullptr;
    return items + old;
}

bool XrByteArray::append(const void* data, int n)
{
    if (n == 0)
        return true;
    if (data == nullptr)
        return false;
    // data may point into this array's own storage, which growing moves.
    bool inside = items != nullptr && static_cast<const BYTE*>(data) >= items &&
                  static_cast<const BYTE*>(data) < items + num_items;
    long offset = inside ? static_cast<const BYTE*>(data) - items : 0;
    BYTE* dst = append_space(n);
    if (dst == nullptr)
        return false;
    std::memmove(dst, inside ? items + offset : data, n);
    return true;
}

bool XrByteArray::append(const XrByteArray& other)
{
    return append(other.items, other.num_items);
}

bool XrByteArray::append(const char* s)
{
    if (s == nullptr)
        return true;
    size_t n = std::strlen(s);
    if (n > INT_MAX)
        return false;
    return append(s, static_cast<int>(n));
}

bool XrByteArray::append(const wchar_t* s)
{
    if (s == nullptr)
        return true;
    int len = narrowed_length(s, INT_MAX);
    BYTE* dst = append_space(len);
    if (dst == nullptr)
        return false;
    narrow_into(dst, s, len);
    return true;
}

bool XrByteArray::append_fixed(const wchar_t* s, int n)
{
    if (n < 0)
        return false;
    int len = s == nullptr ? 0 : narrowed_length(s, n);
    BYTE* dst = append_space(n);
    if (dst == nullptr)
        return false;
    narrow_into(dst, s, len);
    std::memset(dst + len, 0, n - len);
    return true;
}

bool XrByteArray::append_byte(BYTE b)
{
    BYTE* dst = append_space(1);
    if (dst == nullptr)
        return false;
    *dst = b;
    return true;
}

namespace {

// Appends the low `bytes` bytes of v, least significant first.
bool append_le(XrByteArray& a, std::uint64_t v, int bytes)
{
    BYTE* dst = a.append_space(bytes);
    if (dst == nullptr)
        return false;
    for (int i = 0; i < bytes; ++i)
        dst[i] = static_cast<BYTE>(v >> (8 * i));
    return true;
}

} // namespace

bool XrByteArray::append_u16_le(std::uint16_t v) { return append_le(*this, v, 2); }
bool XrByteArray::append_u24_le(std::uint32_t v) { return append_le(*this, v, 3); }
bool XrByteArray::append_u32_le(std::uint32_t v) { return append_le(*this, v, 4); }
bool XrByteArray::append_u64_le(std::uint64_t v) { return append_le(*this, v, 8); }

bool XrByteArray::append_u32_be(std::uint32_t v)
{
    BYTE* dst = append_space(4);
    if (dst == nullptr)
        return false;
    for (int i = 0; i < 4; ++i)
        dst[i] = static_cast<BYTE>(v >> (24 - 8 * i));
    return true;
}

bool XrByteArray::append_varint(int value)
{
    // Bit 7: another byte follows; bit 6 of the first byte: not negative.
    std::uint32_t m = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    BYTE lead = value < 0 ? 0x80 : 0xC0;
    BYTE out[3];
    int n;
    if (m < 64) {
        out[0] = static_cast<BYTE>(m | (value < 0 ? 0 : 0x40));
        n = 1;
    } else if (m < 8192) {
        out[0] = static_cast<BYTE>(lead | (m >> 7));
        out[1] = static_cast<BYTE>(m & 0x7F);
        n = 2;
    } else if (m < (1u << 20)) {
        out[0] = static_cast<BYTE>(lead | (m >> 14));
        out[1] = static_cast<BYTE>(0x80 | ((m >> 7) & 0x7F));
        out[2] = static_cast<BYTE>(m & 0x7F);
        n = 3;
    } else {
        return false;
    }
    return append(out, n);
}

bool XrByteArray::insert(int pos, const void* data, int n)
{
    if (pos < 0 || pos > num_items || n < 0 || (n > 0 && data == nullptr))
        return false;
    // The source may lie in this array; keep a copy across the move.
    XrByteArray copy;
    if (!copy.append(data, n))
        return false;
    int old = num_items;
    if (append_space(n) == nullptr)
        return false;
    std::memmove(items + pos + n, items + pos, old - pos);
    if (n > 0)
        std::memcpy(items + pos, copy.items, n);
    return true;
}

bool XrByteArray::remove_range(int pos, int n)
{
    if (pos < 0 || n < 0 || n > num_items - pos)
        return false;
    if (n == 0)
        return true;
    std::memmove(items + pos, items + pos + n, num_items - pos - n);
    num_items -= n;
    return true;
}

bool XrByteArray::set_item(int index, BYTE b)
{
    if (index < 0 || (index >= num_items && !grow_to(index + 1)))
        return false;
    items[index] = b;
    return true;
}

bool XrByteArray::get_bit(int i) const
{
    if (i < 0 || i / 8 >= num_items)
        return false;
    return (items[i / 8] >> (i % 8)) & 1;
}

bool XrByteArray::set_bit(int i, bool value)
{
    if (i < 0)
        return false;
    int byte = i / 8;
    if (byte >= num_items) {
        int old = num_items;
        if (!grow_to(byte + 1))
            return false;
        std::memset(items + old, 0, num_items - old);
    }
    if (value)
        items[byte] |= static_cast<BYTE>(1 << (i % 8));
    else
        items[byte] &= static_cast<BYTE>(~(1 << (i % 8)));
    return true;
}

int XrByteArray::highest_set_bit() const
{
    for (int byte = num_items - 1; byte >= 0; --byte) {
        for (int bit = 7; bit >= 0; --bit) {
            if ((items[byte] >> bit) & 1)
                return byte * 8 + bit;
        }
    }
    return -1;
}

int XrByteArray::count_set_bits() const
{
    int n = 0;
    for (int i = 0; i < num_items; ++i)
        n += __builtin_popcount(items[i]);
    return n;
}

int XrByteArray::or_with(const XrByteArray& other)
{
    int old = num_items;
    if (other.num_items > old) {
        if (!grow_to(other.num_items))
            return 0;
        std::memset(items + old, 0, num_items - old);
    }
    for (int i = 0; i < other.num_items; ++i)
        items[i] |= other.items[i];
    return other.num_items;
}

bool zlib_compress(const BYTE* src, int src_len, BYTE* dst, int& dst_len)
{
    if (src_len < 0 || dst_len < 0)
        return false;
    if (src_len == 0) {
        dst_len = 0;
        return true;
    }
    uLongf out = static_cast<uLongf>(dst_len);
    if (compress(dst, &out, src, static_cast<uLong>(src_len)) != Z_OK)
        return false;
    dst_len = static_cast<int>(out);
    return true;
}

namespace {

// Inflates a whole zlib stream into dst (dst_len bytes, both checked by the
// caller); dst_len becomes the length produced. When the output fills the
// buffer, the rest of the stream must be sound and, with head_only, the
// buffer at most 8 bytes long (the head of a longer stream); without, the
// stream must end there.
bool inflate_stream(const BYTE* src, int src_len, BYTE* dst, int& dst_len, bool head_only)
{
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return false;
    BYTE none[1];
    zs.next_in = const_cast<BYTE*>(src);
    zs.avail_in = static_cast<uInt>(src_len);
    zs.next_out = dst_len > 0 ? dst : none;
    zs.avail_out = static_cast<uInt>(dst_len);
    int rc = inflate(&zs, Z_FINISH);
    const int produced = dst_len - static_cast<int>(zs.avail_out);
    if (rc == Z_BUF_ERROR && zs.avail_out == 0 && head_only && produced <= 8) {
        BYTE scratch[4096];
        do {
            zs.next_out = scratch;
            zs.avail_out = sizeof scratch;
            rc = inflate(&zs, Z_FINISH);
        } while (rc == Z_BUF_ERROR && zs.avail_out == 0);
    } else if (rc == Z_BUF_ERROR && zs.avail_out == 0 && !head_only) {
        // Not one byte more may follow.
        zs.next_out = none;
        zs.avail_out = 1;
        rc = inflate(&zs, Z_FINISH);
        if (zs.avail_out == 0)
            rc = Z_BUF_ERROR;
    }
    inflateEnd(&zs);
    if (rc != Z_STREAM_END)
        return false;
    dst_len = produced;
    return true;
}

} // namespace

bool zlib_uncompress(const BYTE* src, int src_len, BYTE* dst, int& dst_len)
{
    if (src_len < 0 || dst_len < 0 || (src_len > 0 && src == nullptr) || (dst_len > 0 && dst == nullptr))
        return false;
    if (src_len == 0) {
        dst_len = 0;
        return true;
    }
    return inflate_stream(src, src_len, dst, dst_len, true);
}

bool zlib_uncompress_whole(const BYTE* src, int src_len, BYTE* dst, int& dst_len)
{
    if (src_len <= 0 || src == nullptr || dst_len < 0 || (dst_len > 0 && dst == nullptr))
        return false;
    return inflate_stream(src, src_len, dst, dst_len, false);
}
