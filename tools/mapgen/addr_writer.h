// Writer of the address database "addr.dat" (magic "XRAL", versions 6.0 to
// 6.3): streets in zlib blocks, ordered by their folded names, the character
// tree over the names with the county-id list of every entry, county and
// country names, language codes and the suffix table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/container/xr_defs.h"

// One road edge of a street with the house numbers of its two sides.
struct XrAddrSegmentDef {
    std::uint32_t gid = 0;
    bool numbers = true; // false: the segment has no house numbers
    int left_from = 0;
    int left_to = 0;
    int right_from = 0;
    int right_to = 0;
    // The side holds odd and even numbers (the top bit of its from value).
    bool left_mixed = false;
    bool right_mixed = false;
};

struct XrAddrStreetDef {
    enum Form { AUTO = -1, OFF = 0, ON = 1 };

    std::string name;         // UTF-8; no byte below 16
    int suffix = 0;           // 1-15: the first string of suffix entry suffix - 1 follows the name
    std::uint32_t county = 0; // county id (20 bits), see XrAddrWriter::add_county
    int type = 0;             // 0-7
    int language = 0xFF;      // index into the language codes (6.2 and later); beyond them: none
    // The edges; empty: the record has no segments of its own and stores gid.
    std::vector<XrAddrSegmentDef> segments;
    std::uint32_t gid = 0;
    // Index of another street (as returned by add_street). Before 6.3: the
    // street whose record holds the segments of this one (which has none).
    // 6.3: the next record of this street's ring of language variants (-1:
    // the record itself).
    int link = -1;
    int byte_numbers = AUTO; // house numbers as bytes (AUTO: when they fit)
    int common_upper = AUTO; // upper gid half stored once (AUTO: when shared)
    bool long_count = false; // segment count in the two-byte form even when below 32
    bool ends_sequence = false; // the block of this street ends a street sequence
};

struct XrAddrFileOptions {
    unsigned int major = 6;
    unsigned int minor = 3;
    int extra_size = 4;                 // E (6.1 and later; 6.0 always 4)
    std::vector<std::uint32_t> languages; // language codes (6.2 and later)
    // Suffix entries: the first string (appended to names) and the second.
    std::vector<std::pair<std::u16string, std::u16string>> suffixes;
    std::vector<std::string> countries; // Latin-1, at most 32 bytes each
    unsigned int block_size = 4096;     // largest inflated block, at most 65535
    int leaf_streets = 1;               // a tree entry over at most this many streets points at them
    bool county_lists = true;           // county-id lists on the tree entries
    unsigned int compress_lists_from = 64; // lists of at least this many bytes are compressed; 0 = never
    bool share_names = true;            // a name repeated in a block refers to its first copy
    std::int64_t header_count = -1;     // the count at offset 8; -1 = number of streets
    int zlib_level = 9;                 // of the blocks and lists
};

class XrAddrWriter {
public:
    explicit XrAddrWriter(const XrAddrFileOptions& options = XrAddrFileOptions());

    // Appends a county record; returns its id. Names with a "#" hold up to
    // three parts.
    std::uint32_t add_county(const std::string& name, BYTE attribute = 0);
    // Returns the street's index.
    int add_street(const XrAddrStreetDef& street);
    int get_street_count() const { return static_cast<int>(m_streets.size()); }

    bool build(std::vector<BYTE>& out, std::string& error);
    // Builds and writes the file through a temporary name.
    bool write(const std::string& path, std::string& error);

    // After build: block << 16 | offset of street i's record (its street key).
    std::uint32_t get_street_position(int index) const { return m_positions.at(index); }
    // After build: the number of blocks.
    unsigned int get_block_count() const { return m_block_count; }

    // The tree key of a folded character: the folded digits are 5008-5017.
    static unsigned int tree_key(wchar_t folded);

private:
    XrAddrFileOptions m_options;
    std::vector<BYTE> m_counties;
    std::vector<XrAddrStreetDef> m_streets;
    std::vector<std::uint32_t> m_positions;
    unsigned int m_block_count = 0;
};
