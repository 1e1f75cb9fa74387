#include "apps/oggvorbis/xr_vorbis_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "apps/oggvorbis/xr_ogg_pages.h"
#include "apps/oggvorbis/xr_oggvorbisfile.h"
#include "common/misc/xr_path_resolver.h"
#include "support/xr_temp_root.h"
#include "tools/mapgen/ogg_writer.h"
#include "tools/mapgen/wav_writer.h"

namespace {

// Vorbis header bits, least significant first.
class BitWriter {
public:
    BitWriter& put(std::uint32_t value, unsigned bits)
    {
        for (unsigned i = 0; i < bits; ++i, ++m_at) {
            if (m_at % 8 == 0)
                m_bytes.push_back(0);
            m_bytes.back() |= static_cast<std::uint8_t>(((value >> i) & 1) << (m_at % 8));
        }
        return *this;
    }
    std::vector<std::uint8_t> packet() const
    {
        std::vector<std::uint8_t> p = {5, 'v', 'o', 'r', 'b', 'i', 's'};
        p.insert(p.end(), m_bytes.begin(), m_bytes.end());
        return p;
    }

private:
    std::vector<std::uint8_t> m_bytes;
    unsigned m_at = 0;
};

// An unordered, non-sparse book without lookup: every length given.
void plain_book(BitWriter& w, unsigned dimensions, const std::vector<unsigned>& lengths)
{
    w.put(0x564342, 24).put(dimensions, 16).put(static_cast<std::uint32_t>(lengths.size()), 24).put(0, 1).put(0, 1);
    for (unsigned l : lengths)
        w.put(l - 1, 5);
    w.put(0, 4);
}

std::vector<std::uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

TEST(VorbisSetup, CodebooksTheDecoderWouldLeaveHalfBuiltAreRefused)
{
    struct Case {
        const char* what;
        bool sound;
        std::vector<std::uint8_t> packet;
    };
    std::vector<Case> cases;
    {
        BitWriter w;
        w.put(0, 8);
        plain_book(w, 1, {1, 2, 2});
        cases.push_back({"complete prefix code", true, w.packet()});
    }
    {
        BitWriter w;
        w.put(0, 8);
        plain_book(w, 0, {1, 1});
        cases.push_back({"no dimension", false, w.packet()});
    }
    {
        BitWriter w;
        w.put(0, 8);
        plain_book(w, 1, {1, 1, 1});
        cases.push_back({"overfull lengths", false, w.packet()});
    }
    {
        BitWriter w;
        w.put(0, 8);
        plain_book(w, 1, {1, 2, 3});
        cases.push_back({"underfull lengths", false, w.packet()});
    }
    {
        // Sparse: one codeword only (of any length) is a book of its own.
        BitWriter w;
        w.put(0, 8).put(0x564342, 24).put(2, 16).put(3, 24).put(0, 1).put(1, 1);
        w.put(0, 1).put(1, 1).put(2, 5).put(0, 1).put(0, 4);
        cases.push_back({"single codeword", true, w.packet()});
    }
    {
        BitWriter w;
        w.put(0, 8).put(0x564342, 24).put(2, 16).put(4, 24).put(0, 1).put(1, 1);
        for (int i = 0; i < 4; ++i)
            w.put(0, 1);    // every entry unused
        w.put(0, 4);
        cases.push_back({"no used entry", false, w.packet()});
    }
    {
        // Ordered: two codewords of length 1, then none of length 2.
        BitWriter w;
        w.put(0, 8).put(0x564342, 24).put(1, 16).put(2, 24).put(1, 1).put(0, 5).put(2, 2).put(0, 4);
        cases.push_back({"ordered complete", true, w.packet()});
    }
    {
        BitWriter w;
        w.put(0, 8).put(0x564342, 24).put(1, 16).put(3, 24).put(1, 1).put(0, 5).put(3, 2).put(0, 4);
        cases.push_back({"ordered overfull", false, w.packet()});
    }
    {
        // A sound book with a lookup table (type 1: 3 values of 4 bits for
        // 9 entries in 2 dimensions), then a book of no dimension.
        BitWriter w;
        w.put(1, 8);
        w.put(0x564342, 24).put(2, 16).put(9, 24).put(0, 1).put(0, 1);
        for (unsigned l : {2u, 3u, 3u, 3u, 3u, 4u, 4u, 4u, 4u})
            w.put(l - 1, 5);
        w.put(1, 4).put(0, 32).put(0, 32).put(3, 4).put(0, 1);
        for (int i = 0; i < 3; ++i)
            w.put(i, 4);
        plain_book(w, 0, {1, 1});
        cases.push_back({"bad book after a lookup table", false, w.packet()});
    }
    {
        BitWriter w;
        w.put(0, 8).put(0x564342, 24).put(1, 16);
        cases.push_back({"cut short (left to the decoder)", true, w.packet()});
    }
    {
        std::vector<std::uint8_t> p = {3, 'v', 'o', 'r', 'b', 'i', 's', 0, 0, 0};
        cases.push_back({"not a setup header", true, p});
    }
    for (const Case& c : cases)
        EXPECT_EQ(xr_vorbis_setup::setup_packet_sound(c.packet.data(), c.packet.size()), c.sound) << c.what;
}

TEST(VorbisSetup, EncodedPromptsPassAndADamagedSetupIsRefusedBeforeDecoding)
{
    XrTempRoot root;
    const std::string dir = root.make_dirs("/media/mmc1/kestrova/sounds/eng");
    for (unsigned channels : {1u, 2u}) {
        XrWavDef def;
        def.channels = channels;
        def.rate = 22050;
        def.samples = wav_tone16(def.rate, channels, 4000, 440.0, 12000);
        const std::string path = dir + "/tone" + std::to_string(channels) + ".ogg";
        ASSERT_TRUE(write_ogg_file(path, def)) << "oggenc";

        std::vector<std::uint8_t> bytes = read_bytes(path);
        EXPECT_TRUE(xr_vorbis_setup::codebooks_sound(bytes.data(), bytes.size()));
        XrOggVorbisFile good;
        ASSERT_TRUE(good.open(from_platform_path(path.c_str()), 16));
        EXPECT_NE(good.get_wav_data(), nullptr);

        // The first codebook's dimension (byte-aligned after the tag, the
        // book count and the sync) set to zero, the page checksum rewritten.
        const char tag[] = "\x05vorbis";
        auto at = std::search(bytes.begin(), bytes.end(), tag, tag + 7);
        ASSERT_NE(at, bytes.end());
        const std::size_t dim = static_cast<std::size_t>(at - bytes.begin()) + 11;
        ASSERT_EQ(std::memcmp(bytes.data() + dim - 3, "BCV", 3), 0);
        bytes[dim] = 0;
        bytes[dim + 1] = 0;
        std::vector<std::uint8_t> bad_crc = bytes;
        xr_ogg_pages::fix_crcs(bytes.data(), bytes.size());
        EXPECT_FALSE(xr_vorbis_setup::codebooks_sound(bytes.data(), bytes.size()));
        write_bytes(path, bytes);
        XrOggVorbisFile damaged;
        EXPECT_FALSE(damaged.open(from_platform_path(path.c_str()), 16));
        EXPECT_EQ(damaged.get_wav_data(), nullptr);

        // A page whose checksum is wrong is skipped, as the decoder does.
        EXPECT_TRUE(xr_vorbis_setup::codebooks_sound(bad_crc.data(), bad_crc.size()));
    }
}
