// Reader of the TMC tables "tmc_paths.bin" (location key -> path entries,
// and the compressed road paths) and "tmc_locations.bin" (location key ->
// values and map position); the layout is in xr_tmclayout.h. Every offset
// and length read from the files is checked against the file before use.
#pragma once

#include <cstdint>
#include <memory>

#include "apps/apps_common/xr_tmclayout.h"
#include "common/container/xr_array.h"
#include "common/container/xr_defs.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"
#include "common/storage/xr_tmctablerecord.h"

class XrStorageAccessor;

// One entry of a location's path record.
struct XrTmcPathEntry {
    std::uint16_t path_id = 0;
    std::uint16_t position = 0; // the location's position along the path
    std::uint16_t extra = 0;
};

// A path shared by two locations: from position over length, with the mean
// of the two extra values.
struct XrTmcCommonPath {
    std::uint16_t path_id = 0;
    std::uint16_t position = 0;
    std::uint16_t length = 0;
    std::uint16_t extra = 0;
};

// The n-th (from 0) pair of an entry of a and an entry of b on the same path
// with b after a (a's entries outer, b's inner, in order); false when there
// are fewer than n + 1 such pairs.
bool find_nth_common_tmc_path(const XrTmcPathEntry* a, int num_a, const XrTmcPathEntry* b, int num_b, int n,
                              XrTmcCommonPath& out);

class XrTmcTableFile {
public:
    static constexpr std::uint32_t BUCKET_GROUP = 128;
    static constexpr std::uint32_t WINDOW_SIZE = 20480;
    static constexpr int MAX_PATHS_PER_GROUP = xr_tmc_layout::PATHS_PER_GROUP;

    XrTmcTableFile();
    ~XrTmcTableFile();
    XrTmcTableFile(const XrTmcTableFile&) = delete;
    XrTmcTableFile& operator=(const XrTmcTableFile&) = delete;

    // Opens both files ("?:" paths allowed) and reads their headers; false
    // (and nothing kept) when either is missing or its header is unsound.
    bool open(const XrString& paths_path, const XrString& locations_path);
    // The same over two accessors, which the table takes over in any case.
    bool open(XrStorageAccessor* paths, XrStorageAccessor* locations);
    void close();
    bool is_open() const { return m_paths != nullptr; }

    // The offset in "tmc_paths.bin" of the location's path record; with
    // caching, the key's bucket group is loaded into a hash table first.
    bool find_record_by_id(const TCHAR* table, std::uint16_t code, bool caching, std::uint32_t& offset);
    // Reads the path record at offset into its count and entries (the entries
    // are appended); with caching through the window over the record area.
    bool read_record(std::uint32_t offset, bool caching, int& count, XrArray<XrTmcPathEntry>& entries);
    // Finds the location in "tmc_locations.bin", appends its values and gives
    // its position.
    bool find_location(const TCHAR* table, std::uint16_t code, XrArray<unsigned int>& values, XrPoint& position);

    // Reads the path table into memory (needed by resolve_segment).
    bool read_path_table();
    // Appends the path's edge ids position .. position + length - 1 that the
    // list does not hold yet, then gives the point nearest to extra; false
    // when the path cannot be read or has no points.
    bool resolve_segment(std::uint16_t path_id, std::uint16_t position, std::uint16_t length, std::uint16_t extra,
                         XrArray<unsigned int>& edges, XrPoint& point);
    // Frees the path table, the held group, the window and the bucket cache.
    void release_caches();

    std::uint32_t get_bucket_count() const { return m_num_buckets; }
    std::uint32_t get_path_count() const { return m_num_paths; }

private:
    struct PathInfo {
        std::uint32_t offset;
        std::uint16_t edges;
        std::uint16_t points;
    };

    bool read_u32(XrStorageAccessor* s, std::uint32_t offset, std::uint32_t& value);
    bool read_bytes(XrStorageAccessor* s, std::uint32_t offset, std::uint32_t length, BYTE* out);
    bool load_bucket_group(std::uint32_t group);
    bool scan_bucket(std::uint32_t bucket, std::uint32_t key, std::uint32_t& offset);
    bool load_path_group(std::uint32_t group);
    std::uint32_t bucket_end(std::uint32_t bucket) const;

    // Declared first: they outlive the window held in m_record.
    std::unique_ptr<XrStorageAccessor> m_paths;
    std::unique_ptr<XrStorageAccessor> m_locations;
    std::uint32_t m_paths_size = 0;
    std::uint32_t m_locations_size = 0;
    std::uint32_t m_num_buckets = 0;
    std::unique_ptr<std::uint32_t[]> m_bucket_offsets;   // N + 1: the end offset last
    std::unique_ptr<std::uint32_t[]> m_location_offsets; // N + 1: the file size last
    std::uint32_t m_num_paths = 0;
    std::uint32_t m_records_end = 0; // the first path-table offset
    std::unique_ptr<PathInfo[]> m_path_table;
    std::unique_ptr<XrHash<std::uint32_t, std::uint32_t>> m_bucket_cache;
    XrTmcTableRecord m_record; // window over the record area and the held group
};

// Matches an event's locations (codes in order, of one table) to one path,
// from the path entries of its first location f and last location t;
// intermediate locations are looked up through the table. False when no
// path matches.
bool match_tmc_event(XrTmcTableFile& tables, const TCHAR* table, const XrArray<std::uint16_t>& codes,
                     const XrArray<XrTmcPathEntry>& f, const XrArray<XrTmcPathEntry>& t, XrTmcCommonPath& match);
