// Ogg pages of a file in memory: found by their capture pattern, with the
// page checksum (to check it, or to write it after changing a page).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xr_ogg_pages {

constexpr std::size_t HEADER_SIZE = 27;    // up to the segment count
constexpr std::size_t CRC_AT = 22;
constexpr std::size_t SEGMENTS_AT = 26;

struct Page {
    std::size_t at;          // offset of "OggS"
    std::size_t segments;    // number of lacing values
    std::size_t body_at;     // offset of the body
    std::size_t body_size;   // sum of the lacing values
};

inline std::uint32_t crc_step(std::uint32_t c, std::uint8_t byte)
{
    static const std::vector<std::uint32_t> table = [] {
        std::vector<std::uint32_t> t(256);
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int k = 0; k < 8; ++k)
                r = r & 0x80000000u ? (r << 1) ^ 0x04c11db7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    return (c << 8) ^ table[((c >> 24) ^ byte) & 0xff];
}

// The checksum a page should carry (its own field taken as zero).
inline std::uint32_t page_crc(const std::uint8_t* data, const Page& p)
{
    static const std::uint8_t zero[4] = {0, 0, 0, 0};
    std::uint32_t c = 0;
    auto feed = [&c](const std::uint8_t* q, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            c = crc_step(c, q[i]);
    };
    feed(data + p.at, CRC_AT);
    feed(zero, 4);
    feed(data + p.at + CRC_AT + 4, p.body_at + p.body_size - p.at - CRC_AT - 4);
    return c;
}

inline bool crc_ok(const std::uint8_t* data, const Page& p)
{
    const std::uint8_t* f = data + p.at + CRC_AT;
    const std::uint32_t stored = f[0] | f[1] << 8 | f[2] << 16 | static_cast<std::uint32_t>(f[3]) << 24;
    return stored == page_crc(data, p);
}

// The whole pages of data[0, size), in order; bytes between them are
// skipped. With checked, pages whose checksum is wrong are skipped too, as a
// decoder does.
inline std::vector<Page> find(const std::uint8_t* data, std::size_t size, bool checked = false)
{
    std::vector<Page> pages;
    std::size_t at = 0;
    while (at + HEADER_SIZE <= size) {
        if (data[at] != 'O' || data[at + 1] != 'g' || data[at + 2] != 'g' || data[at + 3] != 'S') {
            ++at;
            continue;
        }
        Page p{at, data[at + SEGMENTS_AT], at + HEADER_SIZE + data[at + SEGMENTS_AT], 0};
        if (p.body_at <= size) {
            for (std::size_t i = 0; i < p.segments; ++i)
                p.body_size += data[at + HEADER_SIZE + i];
        }
        if (p.body_at > size || p.body_at + p.body_size > size || (checked && !crc_ok(data, p))) {
            ++at;
            continue;
        }
        pages.push_back(p);
        at = p.body_at + p.body_size;
    }
    return pages;
}

// Writes the checksum of every whole page.
inline void fix_crcs(std::uint8_t* data, std::size_t size)
{
    for (const Page& p : find(data, size)) {
        const std::uint32_t c = page_crc(data, p);
        for (std::size_t i = 0; i < 4; ++i)
            data[p.at + CRC_AT + i] = static_cast<std::uint8_t>(c >> (8 * i));
    }
}

}  // namespace xr_ogg_pages
