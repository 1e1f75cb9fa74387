// One country's traffic data file (the layout of xr_trafficdatalayout.h):
// the decoded record (XrTrafficInfoParams), the parsed index of a file
// (XrTrafficInfoData) and the file handle (XrTrafficInfoFile), which loads
// the index, decodes records on demand and applies the server's GDIFF
// updates after checking them against their MD5 digest.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <unordered_map>
#include <vector>

#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"

class XrTrafficPenalty;

struct XrTrafficInfoParams {
    std::uint32_t created_tick = 0;
    XrString name;
    XrString tmc_table; // at most 3 characters
    std::uint8_t flags = 0;
    std::uint32_t event_id = 0;
    std::uint32_t end_time = 0;
    std::uint32_t start_time = 0;
    // Per item, in item order.
    std::vector<std::uint16_t> event_codes;
    std::vector<float> quantities;
    std::vector<std::uint8_t> item_flags;
    std::vector<std::uint8_t> kinds;
    std::vector<XrString> units;
    std::vector<std::uint16_t> tmc_codes;
    std::vector<std::uint32_t> xs;
    std::vector<std::uint32_t> ys;

    // A record's bytes decoded; null when they are not a valid record.
    static std::unique_ptr<XrTrafficInfoParams> decode(const BYTE* bytes, std::size_t length, bool with_names);
    // The TMC table text of a table number: "%X%02d" of its high and low
    // byte, cut to 3 characters.
    static XrString table_text(std::uint16_t table);
};

struct XrTrafficInfoEvent {
    std::uint32_t event_id = 0;
    std::uint8_t revision = 0;
};

struct XrTrafficInfoBlockRec {
    std::uint32_t offset = 0;
    std::uint16_t length = 0;
};

// The parsed index of one file.
class XrTrafficInfoData {
public:
    // At most this many records stay decoded (load-all mode aside).
    static constexpr std::size_t CACHE_LIMIT = 10;

    // Parses content (penalty: filled by penalty sections, may be null);
    // with load_all every record is decoded at once. False on any length
    // fault; the data is then unusable.
    bool parse(const BYTE* content, std::size_t length, XrTrafficPenalty* penalty, bool load_all);

    const std::vector<XrTrafficInfoEvent>& get_events() const { return events; }
    const XrString& get_country() const { return country; }
    bool find_block(std::uint32_t id, XrTrafficInfoBlockRec& out) const;

    // The cache: a cached record or null; put takes the record over and
    // evicts the oldest ones first (unless load_all).
    XrTrafficInfoParams* cached(std::uint32_t id) const;
    XrTrafficInfoParams* put(std::unique_ptr<XrTrafficInfoParams> params, bool load_all);
    void drop(std::uint32_t id) { cache.erase(id); }
    void clear_cache() { cache.clear(); }
    std::size_t cache_size() const { return cache.size(); }

private:
    struct Cached {
        std::unique_ptr<XrTrafficInfoParams> params;
        std::uint64_t serial; // decoding order: the smallest goes first
    };
    std::unordered_map<std::uint32_t, Cached> cache;
    std::uint64_t next_serial = 0;
    std::vector<XrTrafficInfoEvent> events;
    std::unordered_map<std::uint32_t, XrTrafficInfoBlockRec> index;
    XrString country;
};

class XrTrafficInfoFile {
public:
    // path: the platform path of the data file; nothing is read yet.
    XrTrafficInfoFile(const XrString& path, XrTrafficPenalty* penalty);
    ~XrTrafficInfoFile();
    XrTrafficInfoFile(const XrTrafficInfoFile&) = delete;
    XrTrafficInfoFile& operator=(const XrTrafficInfoFile&) = delete;

    // Loads the index unless it is loaded; a file that does not parse is
    // discarded (false).
    bool parse();
    void set_load_all(bool value);
    // The first 4 bytes of the file; 0 when it is missing or shorter.
    std::uint32_t get_header_value() const;
    bool get_file_status(std::int64_t& size, std::time_t& modified) const;
    void touch();
    // The index-th (id, revision); false past the end.
    bool get_event(int index, std::uint32_t& id, std::uint8_t& revision);
    int get_event_count();
    // A decoded record, owned by the file's cache; null when unknown or
    // invalid.
    XrTrafficInfoParams* get_record(std::uint32_t id, bool with_names);
    void release_record(std::uint32_t id);
    // Applies a GDIFF difference to the current file; with a digest the new
    // content must have that MD5 (32 lower-case hexadecimal characters).
    // The new file replaces the old one only once it is verified (written
    // aside, synced and renamed); a bad difference or digest keeps the old
    // file and its data. True when the new content was stored and parsed.
    bool update(const BYTE* diff, std::size_t diff_length, const XrString* digest);
    // Deletes the file and the data.
    void discard();
    // The content a difference makes of old content, when it applies and
    // (with a digest) has that digest; false otherwise.
    static bool apply_update(const BYTE* old_bytes, std::size_t old_length, const BYTE* diff,
                             std::size_t diff_length, const XrString* digest, std::vector<BYTE>& out);

    const XrString& get_path() const { return path; }
    const XrTrafficInfoData* get_data() const { return data.get(); }

private:
    // Reads the file under its ".wd" marker (a marker left from a load that
    // never ended costs the file); false when the file is missing or does
    // not parse.
    bool load();

    XrString path;
    XrString marker_path;
    std::unique_ptr<XrTrafficInfoData> data;
    XrTrafficPenalty* penalty;
    bool load_all = false;
};
