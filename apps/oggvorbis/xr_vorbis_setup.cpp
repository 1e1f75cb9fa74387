#include "apps/oggvorbis/xr_vorbis_setup.h"

#include <cstring>
#include <map>
#include <vector>

#include "apps/oggvorbis/xr_ogg_pages.h"

namespace {

constexpr std::uint8_t SETUP_TYPE = 5;
constexpr std::size_t SETUP_TAG = 7;    // type byte and "vorbis"
constexpr std::uint32_t CODEBOOK_SYNC = 0x564342;

// Least significant bit first, as Vorbis packs its headers.
class Bits {
public:
    Bits(const std::uint8_t* data, std::size_t size) : m_data(data), m_bits(static_cast<std::uint64_t>(size) * 8) {}

    bool read(unsigned n, std::uint32_t& value)
    {
        if (m_bits - m_at < n)
            return false;
        value = 0;
        for (unsigned i = 0; i < n; ++i, ++m_at)
            value |= static_cast<std::uint32_t>((m_data[m_at / 8] >> (m_at % 8)) & 1) << i;
        return true;
    }

    bool skip(std::uint64_t n)
    {
        if (m_bits - m_at < n)
            return false;
        m_at += n;
        return true;
    }

private:
    const std::uint8_t* m_data;
    std::uint64_t m_bits;
    std::uint64_t m_at = 0;
};

unsigned ilog(std::uint32_t v)
{
    unsigned n = 0;
    for (; v != 0; v >>= 1)
        ++n;
    return n;
}

// The largest r with r^dimensions <= entries (dimensions > 0).
std::uint64_t lookup1_values(std::uint32_t entries, std::uint32_t dimensions)
{
    std::uint64_t r = 0;
    for (;;) {
        std::uint64_t p = 1;
        for (std::uint32_t i = 0; i < dimensions && p <= entries; ++i)
            p *= r + 1;
        if (p > entries)
            return r;
        ++r;
    }
}

enum class Book { Sound, Unsound, End };

// Reads one codebook; End when the packet ends first (the decoder then
// refuses the header itself).
Book read_codebook(Bits& b)
{
    std::uint32_t sync = 0;
    std::uint32_t dimensions = 0;
    std::uint32_t entries = 0;
    std::uint32_t ordered = 0;
    if (!b.read(24, sync) || !b.read(16, dimensions) || !b.read(24, entries) || !b.read(1, ordered))
        return Book::End;
    if (sync != CODEBOOK_SYNC)
        return Book::End;
    if (dimensions == 0 || entries == 0)
        return Book::Unsound;
    // Codeword lengths: the decoder leaves a book whose lengths make no
    // complete prefix code (or that has no codeword) without its dimension,
    // yet goes on decoding with it. Kraft sum in units of 2^-32.
    std::uint64_t kraft = 0;
    std::uint32_t used_entries = 0;
    std::uint32_t v = 0;
    if (ordered == 0) {
        std::uint32_t sparse = 0;
        if (!b.read(1, sparse))
            return Book::End;
        for (std::uint32_t i = 0; i < entries; ++i) {
            std::uint32_t used = 1;
            if (sparse != 0 && !b.read(1, used))
                return Book::End;
            if (used == 0)
                continue;
            if (!b.read(5, v))
                return Book::End;
            kraft += std::uint64_t(1) << (31 - v);
            ++used_entries;
        }
    } else {
        std::uint32_t length = 0;
        if (!b.read(5, length))
            return Book::End;
        ++length;
        for (std::uint32_t at = 0; at < entries; ++length) {
            if (!b.read(ilog(entries - at), v))
                return Book::End;
            if (v > entries - at || (v > 0 && length > 32))
                return Book::Unsound;
            at += v;
            used_entries += v;
            if (v > 0)
                kraft += static_cast<std::uint64_t>(v) << (32 - length);
        }
    }
    // A complete code, or the one codeword of a book of one entry.
    if (used_entries == 0 || (used_entries > 1 && kraft != (std::uint64_t(1) << 32)))
        return Book::Unsound;
    std::uint32_t lookup = 0;
    if (!b.read(4, lookup))
        return Book::End;
    if (lookup == 1 || lookup == 2) {
        std::uint32_t value_bits = 0;
        if (!b.skip(64) || !b.read(4, value_bits) || !b.skip(1))
            return Book::End;
        const std::uint64_t values =
            lookup == 1 ? lookup1_values(entries, dimensions) : static_cast<std::uint64_t>(entries) * dimensions;
        if (!b.skip(values * (value_bits + 1)))
            return Book::End;
    } else if (lookup != 0) {
        return Book::End;
    }
    return Book::Sound;
}

}  // namespace

namespace xr_vorbis_setup {

bool setup_packet_sound(const std::uint8_t* packet, std::size_t size)
{
    if (size < SETUP_TAG || packet[0] != SETUP_TYPE || std::memcmp(packet + 1, "vorbis", 6) != 0)
        return true;
    Bits b(packet + SETUP_TAG, size - SETUP_TAG);
    std::uint32_t count = 0;
    if (!b.read(8, count))
        return true;
    for (std::uint32_t i = 0; i <= count; ++i) {
        const Book book = read_codebook(b);
        if (book == Book::Unsound)
            return false;
        if (book == Book::End)
            return true;
    }
    return true;
}

bool codebooks_sound(const std::uint8_t* data, std::size_t size)
{
    // Packets being assembled, by stream serial number.
    std::map<std::uint32_t, std::vector<std::uint8_t>> partial;
    for (const xr_ogg_pages::Page& p : xr_ogg_pages::find(data, size, true)) {
        const std::uint8_t* h = data + p.at;
        const std::uint32_t serial = h[14] | h[15] << 8 | h[16] << 16 | static_cast<std::uint32_t>(h[17]) << 24;
        std::vector<std::uint8_t>& packet = partial[serial];
        if ((h[5] & 1) == 0)
            packet.clear();    // not a continuation: what was left is lost
        std::size_t at = p.body_at;
        for (std::size_t i = 0; i < p.segments; ++i) {
            const std::uint8_t n = h[xr_ogg_pages::HEADER_SIZE + i];
            // Only header packets matter: audio packets are not kept whole.
            if (packet.size() < SETUP_TAG || packet[0] == SETUP_TYPE)
                packet.insert(packet.end(), data + at, data + at + n);
            at += n;
            if (n < 255) {
                if (!setup_packet_sound(packet.data(), packet.size()))
                    return false;
                packet.clear();
            }
        }
    }
    return true;
}

}  // namespace xr_vorbis_setup
