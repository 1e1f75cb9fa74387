// Reader of the address database "addr.dat" (magic "XRAL"; the layout is in
// xr_addrlayout.h): streets with their names, county and type, the road
// edges of each street with the house-number ranges on both sides, county
// and country names, and the character tree over all street names with the
// counties of each prefix.
//
// One cursor walks the streets: find_first_street or seek_block place it,
// get_next_street reads street after street, get_next_segment the edges of
// the street last read. A lookup by street key (get_street_by_gid) moves the
// same cursor.
#pragma once

#include <cstdint>
#include <memory>

#include "common/addr/xr_addrlayout.h"
#include "common/base/xr_memorynotifier.h"
#include "common/container/xr_array.h"
#include "common/container/xr_defs.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_string.h"
#include "common/db/xr_gid.h"
#include "common/misc/xr_locale_dummy.h"

class XrStorageAccessor;

class XrAddrAccessor : public XrMemoryNotifierClient {
public:
    enum Status {
        OK = 0,
        FAILED = 1,         // no storage, a read or inflate failure, bad data
        END = 3,            // no further street or segment
        PREFIX_AT_NODE = 4, // find_first_street with stop_at_node: the prefix ends at a tree node
    };

    // House-number type of one side of a segment.
    enum NumType {
        NUM_EVEN = 0,
        NUM_ODD = 1,
        NUM_MIXED = 2,
        NUM_NONE = 3,
    };

    static constexpr unsigned int VERSION_6_1 = xr_addr_layout::VERSION_6_1;
    static constexpr unsigned int VERSION_6_2 = xr_addr_layout::VERSION_6_2;
    static constexpr unsigned int VERSION_6_3 = xr_addr_layout::VERSION_6_3;
    static constexpr XrLC LANGUAGE_ARABIC = 0x617261;
    // Block number of the cursor's end state.
    static constexpr unsigned int END_BLOCK = 0xFFFFFFFF;
    // Items of the street-name cache.
    static constexpr int CACHE_ITEMS = 128;
    // Suffix table: entries, and wide characters kept per entry.
    static constexpr int SUFFIX_ENTRIES = xr_addr_layout::SUFFIX_ENTRIES;
    static constexpr int SUFFIX_CHARS = 40;
    // Size of the county-name window (set_name_caching).
    static constexpr unsigned int COUNTY_WINDOW = 102400;
    // Bytes read for one county record without the window.
    static constexpr unsigned int COUNTY_RECORD_MAX = 128;

    // One street name kept by get_street_by_gid; the items form a list from
    // the most to the least recently used.
    struct XrGidCacheItem {
        XrGidCacheItem* prev = nullptr;
        XrGidCacheItem* next = nullptr;
        XrString name;
        unsigned int county_type = 0; // county id | type << 20
        XrGid gid = 0;
        unsigned int position = 0; // block << 16 | offset of the record the name came from
        XrLC wanted_language = 0;  // the language asked for
        XrLC language = 0;         // the language of the name
        bool used = false;         // holds a street (gid 0 is a valid key)
    };

    struct XrStreetsByGidsRequest {
        XrGid gid = 0;
        XrString name;
        XrLC language = 0;
    };

    XrAddrAccessor();
    ~XrAddrAccessor() override;
    XrAddrAccessor(const XrAddrAccessor&) = delete;
    XrAddrAccessor& operator=(const XrAddrAccessor&) = delete;

    // Hands the storage over (owned from now on; a previous one is deleted).
    void set_storage(XrStorageAccessor* storage);
    XrStorageAccessor* get_storage() const { return m_storage.get(); }

    // major << 16 | minor from the first 8 bytes; FAILED without the magic.
    Status read_version(unsigned int& version);
    // The header length of the file's version: 48, 50 or 52.
    Status get_header_size(int& length);
    // Reads the header, the language codes and the suffix table, loads the
    // block index and the name cache. No version is refused.
    Status open();

    unsigned int get_version() const { return m_version; }
    unsigned int get_country_count() const { return m_num_countries; }
    unsigned int get_block_count() const { return m_num_blocks; }
    unsigned int get_header_count() const { return m_header_count; }
    int get_extra_size() const { return m_extra_size; }
    const XrArray<unsigned int>& get_language_codes() const { return m_languages; }

    // Makes block n the current work block; true on success. END_BLOCK
    // succeeds without reading; blocks above 0xFFFF, which no street
    // position can name, are refused.
    bool read_block(unsigned int n);
    // Places the cursor before the street record at block/offset; block
    // END_BLOCK gives the end state.
    Status seek_block(unsigned int block, unsigned int offset);
    // block << 16 | offset of the current street record; END_BLOCK in the
    // end state.
    unsigned int get_current_position() const;
    // Places the cursor before the record at pos (block << 16 | offset).
    bool set_current_position(unsigned int pos);
    // Places the cursor before the record named by a street key.
    Status read_block_by_gid(XrGid gid);

    // Walks the name tree with a folded prefix (XrUnicodeUtil::fold_string;
    // digits in either the ASCII or the folded form) and places the cursor
    // before the first street under the entry reached; without such an entry
    // the cursor is at the end (OK). With stop_at_node, a prefix that ends at
    // a tree node gives PREFIX_AT_NODE and keeps the node for
    // get_next_letters.
    Status find_first_street(const TCHAR* prefix, bool stop_at_node);
    // The same with the prefix extended by one character.
    Status find_first_street(const TCHAR* prefix, TCHAR ch);

    // The next street record; every output is optional. The name carries
    // its suffix and, for a street with a language, the direction marks.
    Status get_next_street(XrString* name, unsigned int* county, int* type, XrGid* gid, XrLC* lang);
    // The next segment of the street last read (or looked up by key).
    Status get_next_segment(XrGid& gid, short& left_from, short& left_to, NumType& left_type, short& right_from,
                            short& right_to, NumType& right_type);

    // The name of the street at a street key through the name cache; the
    // cursor is left on that street. lang 0 = any language.
    Status get_street_by_gid(XrGid gid, XrString& name, unsigned int* county, int* type, XrLC lang, XrLC* lang_out);
    // The name in any language.
    Status get_street_by_gid(XrGid gid, XrString& name);
    // The name and the index of the street's country in the country table
    // (get_country_name). The file keeps no country per street: it is the
    // attribute byte of the street's county, and 0 (the first country) when
    // that byte names no country of the file or the county cannot be read.
    Status get_street_by_gid(XrGid gid, XrString& name, unsigned int& country);
    // Fills every request whose name is empty; FAILED when a key occurs
    // twice or a lookup fails.
    Status get_streets_by_gids(XrArray<XrStreetsByGidsRequest>& requests);

    // The county record with that id (byte offset / 4 in the county area).
    Status get_county(unsigned int id, XrString& name, BYTE* attribute, unsigned int* next_id);
    Status get_county(unsigned int id, XrString& name, BYTE& attribute, int& next_id);
    // Country i (a byte string of at most 32 characters).
    Status get_country_name(unsigned int i, XrString& name);
    // The 16 suffix entries (each its two strings one after the other), the
    // length of the first string of each, and the number in use.
    void get_suffix_table(const TCHAR* const*& strings, const int*& splits, int& count) const;

    // After find_first_street(prefix, true) gave PREFIX_AT_NODE: appends to
    // list the continuations of the prefix in the given counties (ascending
    // ids; n 0 = any county); exact tells whether a name equals the prefix
    // (its street position then in block and offset).
    Status get_next_letters(XrArray<XrString>& list, const unsigned int* county_ids, int n, bool& exact,
                            unsigned int& block, unsigned int& offset);

    // Switches the county-name window on or off.
    void set_name_caching(bool on);
    void flush_name_cache();

    // Low memory: drops the block buffer, the block index and the name cache.
    void free_memory() override;

private:
    // Bytes handed out by the storage, given back when the holder goes.
    struct StorageRelease {
        XrStorageAccessor* storage; // value-initialised (null) with the holder
        void operator()(const BYTE* p) const;
    };
    using HeldBytes = std::unique_ptr<const BYTE, StorageRelease>;

    // One entry of a tree node.
    struct TreeEntry {
        unsigned int key = 0;
        bool child = false;
        unsigned int block = 0;       // street position
        unsigned int offset = 0;
        unsigned int child_node = 0;  // file offset of the child node
        unsigned int cid_list = 0;    // offset in the county-id list area
        int count = 0;                // streets under the entry
    };

    // What a street record holds, as decoded.
    struct StreetRecord {
        unsigned int county = 0;
        int type = 0;
        XrLC language = 0;
        XrGid gid = 0;
        unsigned int link = 0;    // first 32 bits of the extra field (NO_LINK when none)
        int num_segs = -1;        // -1: no segments of its own
        BYTE seg_header = 0;
        unsigned int upper_gid = 0;
        unsigned int first_seg = 0;
        unsigned int length = 0;
    };

    static constexpr unsigned int NO_LINK = xr_addr_layout::NO_LINK;
    static constexpr unsigned int NO_SEGMENT = 65535;
    // Bound of the walks over links that bad data could make endless.
    static constexpr int MAX_LINK_STEPS = 256;

    // Length bytes at a (64-bit) file offset; empty on failure.
    HeldBytes read_bytes(std::uint64_t offset, std::uint32_t length);
    // Appends name bytes: UTF-8 when valid, else one character a byte.
    static void append_name(XrString& out, const BYTE* p, unsigned int n);

    bool load_block_index();
    bool read_suffix_table(std::uint32_t offset);
    void ensure_cache();
    void destroy_cache();
    void release_county_window();

    // Decodes the record at offset of the work block.
    bool decode_record(unsigned int offset, StreetRecord& rec, XrString* name);
    bool decode_name(unsigned int offset, bool shared, XrLC language, XrString& name);
    // Decodes the record at block/offset as the current street.
    bool decode_current(StreetRecord& rec, XrString* name);
    void set_street_state(unsigned int block, const StreetRecord& rec);
    void set_end_state();

    bool read_node(std::uint64_t node, XrArray<TreeEntry>& entries);
    bool check_cids(const TreeEntry& e, const unsigned int* county_ids, int n, bool& ok);
    bool read_cid_list(unsigned int offset, XrArray<unsigned int>& ids);
    // Extends text along the likeliest branch below node; budget counts the
    // tree entries still to be read in this get_next_letters call.
    void predict_continuation(std::uint64_t node, XrString text, int threshold, XrArray<XrString>& list,
                              long& budget);
    void store_continuation(const XrString& text, XrArray<XrString>& list, int& stores);

    void cache_move_to_head(XrGidCacheItem* item);
    void cache_enter(XrGid gid, XrLC wanted, const XrString& name, unsigned int county_type, XrLC language);

    // Declared first: it outlives the bytes held from it.
    std::unique_ptr<XrStorageAccessor> m_storage;
    unsigned int m_version = 0;
    int m_header_size = 0;
    unsigned int m_header_count = 0;
    unsigned int m_num_countries = 0;
    unsigned int m_num_blocks = 0;
    unsigned int m_county_size = 0;
    unsigned int m_tree_size = 0;
    int m_extra_size = 0;
    unsigned int m_num_languages = 0;
    XrArray<unsigned int> m_languages;

    // Area offsets, computed by open().
    std::uint64_t m_county_area = 0;
    std::uint64_t m_country_area = 0;
    std::uint64_t m_index_area = 0;
    std::uint64_t m_tree_area = 0;
    std::uint64_t m_cid_area = 0;

    TCHAR m_suffix_text[SUFFIX_ENTRIES][SUFFIX_CHARS] = {};
    const TCHAR* m_suffix_strings[SUFFIX_ENTRIES] = {};
    int m_suffix_split[SUFFIX_ENTRIES] = {};
    int m_suffix_count = 0;

    HeldBytes m_block_index;

    // The work buffer of the current block.
    std::unique_ptr<BYTE[]> m_wk_buffer;
    unsigned int m_wk_capacity = 0;
    unsigned int m_wk_len = 0;
    unsigned int m_wk_block = 0;
    bool m_wk_loaded = false;
    unsigned int m_wk_next_block = 0;

    // The street cursor.
    unsigned int m_road_blk = END_BLOCK;
    unsigned int m_road_offset = 0;
    int m_road_len = 0; // 0: before the record; -1: on it, length unknown
    bool m_at_end = true;
    // The segments of the current street (in m_seg_blk, maybe a linked record).
    unsigned int m_seg_blk = 0;
    unsigned int m_next_seg_offset = NO_SEGMENT;
    int m_num_segs = -1;
    int m_seg_index = 0;
    BYTE m_seg_header = 0;
    unsigned int m_upper_gid = 0;
    unsigned int m_extra = NO_LINK;

    // Tree node of the last PREFIX_AT_NODE (0 = none).
    std::uint64_t m_current_node = 0;
    XrArray<TreeEntry> m_entries;

    // County-name window: [start, end) in the county area.
    bool m_name_caching = false;
    HeldBytes m_county_window;
    unsigned int m_window_start = 0;
    unsigned int m_window_end = 0;

    // Street-name cache.
    std::unique_ptr<XrGidCacheItem[]> m_cache;
    XrGidCacheItem* m_cache_head = nullptr;
    XrGidCacheItem* m_cache_tail = nullptr;
    std::unique_ptr<XrHash<unsigned int, XrGidCacheItem*>> m_gid_cache;
};
