// The one place where integers meet bytes: little- and big-endian get/put on
// raw buffers, a bounds-checked read cursor and an appending writer. Every
// file and wire format reads and writes its bytes through these.
#pragma once

#include "common/container/xr_defs.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace xr_bytes {

// ---- Raw access (the caller guarantees that the bytes exist) -------------

inline std::uint16_t get_u16_le(const BYTE* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t get_u24_le(const BYTE* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16);
}
inline std::uint32_t get_u32_le(const BYTE* p)
{
    return get_u24_le(p) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t get_u64_le(const BYTE* p)
{
    return static_cast<std::uint64_t>(get_u32_le(p)) | (static_cast<std::uint64_t>(get_u32_le(p + 4)) << 32);
}
inline std::uint16_t get_u16_be(const BYTE* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t get_u24_be(const BYTE* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) |
           static_cast<std::uint32_t>(p[2]);
}
inline std::uint32_t get_u32_be(const BYTE* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | get_u24_be(p + 1);
}
inline std::uint64_t get_u64_be(const BYTE* p)
{
    return (static_cast<std::uint64_t>(get_u32_be(p)) << 32) | get_u32_be(p + 4);
}
inline std::int16_t get_i16_le(const BYTE* p) { return static_cast<std::int16_t>(get_u16_le(p)); }
inline std::int32_t get_i32_le(const BYTE* p) { return static_cast<std::int32_t>(get_u32_le(p)); }
inline std::int16_t get_i16_be(const BYTE* p) { return static_cast<std::int16_t>(get_u16_be(p)); }
inline std::int32_t get_i32_be(const BYTE* p) { return static_cast<std::int32_t>(get_u32_be(p)); }

// Writes the n low bytes of v, least significant first (n = 1..8).
inline void put_le(BYTE* p, std::uint64_t v, int n)
{
    for (int i = 0; i < n; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}
// Writes the n low bytes of v, most significant first (n = 1..8).
inline void put_be(BYTE* p, std::uint64_t v, int n)
{
    for (int i = 0; i < n; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * (n - 1 - i)));
}
inline void put_u16_le(BYTE* p, std::uint16_t v) { put_le(p, v, 2); }
inline void put_u24_le(BYTE* p, std::uint32_t v) { put_le(p, v, 3); }
inline void put_u32_le(BYTE* p, std::uint32_t v) { put_le(p, v, 4); }
inline void put_u64_le(BYTE* p, std::uint64_t v) { put_le(p, v, 8); }
inline void put_u16_be(BYTE* p, std::uint16_t v) { put_be(p, v, 2); }
inline void put_u24_be(BYTE* p, std::uint32_t v) { put_be(p, v, 3); }
inline void put_u32_be(BYTE* p, std::uint32_t v) { put_be(p, v, 4); }
inline void put_u64_be(BYTE* p, std::uint64_t v) { put_be(p, v, 8); }

// Space, tab, carriage return or line feed.
template <typename C>
constexpr bool is_blank(C c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace xr_bytes

// Reads integers and byte runs from a buffer it does not own. Every read is
// checked against the end: a read past it returns 0 (or copies nothing),
// leaves the position where it was and makes the cursor fail for good, so a
// reader can decode a whole record and test ok() once.
class XrByteCursor {
public:
    XrByteCursor() = default;
    XrByteCursor(const BYTE* data, std::size_t size) : m_data(data), m_size(data ? size : 0) {}
    explicit XrByteCursor(const std::vector<BYTE>& bytes) : XrByteCursor(bytes.data(), bytes.size()) {}

    bool ok() const { return m_ok; }
    // Marks the data as bad (a value out of range, say); reads go on failing.
    void fail() { m_ok = false; }

    std::size_t pos() const { return m_pos; }
    std::size_t size() const { return m_size; }
    std::size_t remaining() const { return m_size - m_pos; }
    bool at_end() const { return m_pos == m_size; }
    bool has(std::size_t n) const { return m_ok && n <= m_size - m_pos; }
    // The bytes at the position; valid for remaining() bytes.
    const BYTE* here() const { return m_data + m_pos; }
    const BYTE* data() const { return m_data; }

    // Moves to an absolute offset; false (and failure) past the end.
    bool seek(std::size_t pos)
    {
        if (!m_ok || pos > m_size)
            return m_ok = false;
        m_pos = pos;
        return true;
    }
    bool skip(std::size_t n)
    {
        take(n);
        return m_ok;
    }

    // The next n bytes, moving past them; null (and failure) when fewer remain.
    const BYTE* take(std::size_t n)
    {
        if (!has(n)) {
            m_ok = false;
            return nullptr;
        }
        const BYTE* p = m_data + m_pos;
        m_pos += n;
        return p;
    }
    bool read_bytes(void* dst, std::size_t n)
    {
        const BYTE* p = take(n);
        if (p && n)
            std::memcpy(dst, p, n);
        return m_ok;
    }
    // A cursor over the next n bytes, moving past them (an empty, failed
    // cursor when fewer remain).
    XrByteCursor sub(std::size_t n)
    {
        const BYTE* p = take(n);
        XrByteCursor c(p, p ? n : 0);
        c.m_ok = p != nullptr;
        return c;
    }

    BYTE u8() { const BYTE* p = take(1); return p ? p[0] : 0; }
    std::uint16_t u16_le() { const BYTE* p = take(2); return p ? xr_bytes::get_u16_le(p) : 0; }
    std::uint32_t u24_le() { const BYTE* p = take(3); return p ? xr_bytes::get_u24_le(p) : 0; }
    std::uint32_t u32_le() { const BYTE* p = take(4); return p ? xr_bytes::get_u32_le(p) : 0; }
    std::uint64_t u64_le() { const BYTE* p = take(8); return p ? xr_bytes::get_u64_le(p) : 0; }
    std::uint16_t u16_be() { const BYTE* p = take(2); return p ? xr_bytes::get_u16_be(p) : 0; }
    std::uint32_t u24_be() { const BYTE* p = take(3); return p ? xr_bytes::get_u24_be(p) : 0; }
    std::uint32_t u32_be() { const BYTE* p = take(4); return p ? xr_bytes::get_u32_be(p) : 0; }
    std::uint64_t u64_be() { const BYTE* p = take(8); return p ? xr_bytes::get_u64_be(p) : 0; }
    std::int8_t i8() { return static_cast<std::int8_t>(u8()); }
    std::int16_t i16_le() { return static_cast<std::int16_t>(u16_le()); }
    std::int32_t i32_le() { return static_cast<std::int32_t>(u32_le()); }
    std::int16_t i16_be() { return static_cast<std::int16_t>(u16_be()); }
    std::int32_t i32_be() { return static_cast<std::int32_t>(u32_be()); }

    // Values at an absolute offset, without moving (0 and failure past the end).
    std::uint16_t u16_le_at(std::size_t off) { const BYTE* p = at(off, 2); return p ? xr_bytes::get_u16_le(p) : 0; }
    std::uint32_t u32_le_at(std::size_t off) { const BYTE* p = at(off, 4); return p ? xr_bytes::get_u32_le(p) : 0; }
    std::uint16_t u16_be_at(std::size_t off) { const BYTE* p = at(off, 2); return p ? xr_bytes::get_u16_be(p) : 0; }
    std::uint32_t u32_be_at(std::size_t off) { const BYTE* p = at(off, 4); return p ? xr_bytes::get_u32_be(p) : 0; }

    // n bytes at an absolute offset, or null (and failure).
    const BYTE* at(std::size_t off, std::size_t n)
    {
        if (!m_ok || off > m_size || n > m_size - off) {
            m_ok = false;
            return nullptr;
        }
        return m_data + off;
    }

private:
    const BYTE* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

// Appends integers and bytes to a std::vector<BYTE>, and patches values
// written earlier (lengths and offsets known only later).
class XrByteWriter {
public:
    XrByteWriter() = default;

    const std::vector<BYTE>& bytes() const { return m_bytes; }
    std::vector<BYTE>& bytes() { return m_bytes; }
    std::vector<BYTE> take() { return std::move(m_bytes); }
    std::size_t size() const { return m_bytes.size(); }

    void u8(BYTE v) { m_bytes.push_back(v); }
    void le(std::uint64_t v, int n) { xr_bytes::put_le(grow(n), v, n); }
    void be(std::uint64_t v, int n) { xr_bytes::put_be(grow(n), v, n); }
    void u16_le(std::uint16_t v) { le(v, 2); }
    void u24_le(std::uint32_t v) { le(v, 3); }
    void u32_le(std::uint32_t v) { le(v, 4); }
    void u64_le(std::uint64_t v) { le(v, 8); }
    void u16_be(std::uint16_t v) { be(v, 2); }
    void u24_be(std::uint32_t v) { be(v, 3); }
    void u32_be(std::uint32_t v) { be(v, 4); }
    void u64_be(std::uint64_t v) { be(v, 8); }
    void bytes(const void* p, std::size_t n)
    {
        if (n)
            std::memcpy(grow(n), p, n);
    }
    void bytes(const std::vector<BYTE>& v) { bytes(v.data(), v.size()); }
    void zeros(std::size_t n) { m_bytes.resize(m_bytes.size() + n, 0); }
    // Pads with zero bytes up to a multiple of align.
    void align(std::size_t align)
    {
        if (align > 1 && m_bytes.size() % align)
            zeros(align - m_bytes.size() % align);
    }

    // Overwrites n bytes at off, written earlier (asserts they exist).
    void patch_le(std::size_t off, std::uint64_t v, int n)
    {
        XR_ASSERT(off + static_cast<std::size_t>(n) <= m_bytes.size());
        xr_bytes::put_le(m_bytes.data() + off, v, n);
    }
    void patch_be(std::size_t off, std::uint64_t v, int n)
    {
        XR_ASSERT(off + static_cast<std::size_t>(n) <= m_bytes.size());
        xr_bytes::put_be(m_bytes.data() + off, v, n);
    }

private:
    BYTE* grow(std::size_t n)
    {
        const std::size_t old = m_bytes.size();
        m_bytes.resize(old + n);
        return m_bytes.data() + old;
    }

    std::vector<BYTE> m_bytes;
};
