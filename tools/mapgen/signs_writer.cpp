#include "tools/mapgen/signs_writer.h"

#include <algorithm>
#include <map>

#include "tools/mapgen/geom_tree.h"

namespace {

constexpr int INDEX_OFFSET = 210;
constexpr int MAX_BUCKETS = 32767;
constexpr int MAX_BUCKET_BYTES = 32767;
constexpr int MAX_KEYS = 255;
constexpr int MAX_FOLLOWING = 255;
constexpr unsigned int END_OF_RECORDS = 0xFFFF;

void put_le(std::vector<BYTE>& out, std::uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

void set_le(std::vector<BYTE>& out, size_t at, std::uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        out[at + i] = static_cast<BYTE>(v >> (8 * i));
}

std::string gid_text(XrGid gid)
{
    return "gid " + std::to_string(gid);
}

// The records of one gid, ended by the terminator.
bool append_records(const XrSignsEntry& entry, std::vector<BYTE>& out, std::string& error)
{
    for (const XrSignsRecord& r : entry.records) {
        if (r.following.size() > MAX_FOLLOWING) {
            error = gid_text(entry.gid) + ": more than 255 edges on a path";
            return false;
        }
        size_t start = out.size();
        put_le(out, 0, 2);
        out.push_back(static_cast<BYTE>(r.following.size()));
        for (XrGid g : r.following)
            put_le(out, g, 4);
        for (const XrSignsInstruction& in : r.instructions) {
            if (in.text.find('\0') != std::string::npos) {
                error = gid_text(entry.gid) + ": NUL byte in an instruction text";
                return false;
            }
            out.push_back(in.kind);
            out.insert(out.end(), in.text.begin(), in.text.end());
            out.push_back(0);
        }
        size_t size = out.size() - start;
        if (size >= END_OF_RECORDS) {
            error = gid_text(entry.gid) + ": record too long";
            return false;
        }
        set_le(out, start, static_cast<std::uint32_t>(size), 2);
    }
    put_le(out, END_OF_RECORDS, 2);
    return true;
}

bool build_bucket(const std::vector<const XrSignsEntry*>& entries, std::vector<BYTE>& out, std::string& error)
{
    if (entries.size() > MAX_KEYS) {
        error = "more than 255 gids in one bucket; use more buckets";
        return false;
    }
    out.push_back(static_cast<BYTE>(entries.size()));
    size_t keys = out.size();
    out.resize(keys + 6 * entries.size());
    for (size_t k = 0; k < entries.size(); ++k) {
        set_le(out, keys + 6 * k, entries[k]->gid, 4);
        set_le(out, keys + 6 * k + 4, static_cast<std::uint32_t>(out.size()), 2);
        if (!append_records(*entries[k], out, error))
            return false;
        if (out.size() > MAX_BUCKET_BYTES) {
            error = "bucket longer than 32767 bytes; use more buckets";
            return false;
        }
    }
    return true;
}

} // namespace

std::uint32_t xr_signs_hash(XrGid gid)
{
    return (gid & 0xFFFFu) * 8923u + (gid >> 16) * 213522346u;
}

int xr_signs_bucket_count(const XrSignsSpec& spec)
{
    if (spec.buckets != 0)
        return spec.buckets;
    return static_cast<int>(std::clamp<size_t>(spec.entries.size() / 4, 1, MAX_BUCKETS));
}

bool build_signs(const XrSignsSpec& spec, std::vector<BYTE>& out, std::string& error)
{
    int n = xr_signs_bucket_count(spec);
    if (n < 1 || n > MAX_BUCKETS) {
        error = "bucket count outside 1..32767";
        return false;
    }
    // Entries by bucket, sorted by gid.
    std::vector<std::map<XrGid, const XrSignsEntry*>> buckets(static_cast<size_t>(n));
    for (const XrSignsEntry& e : spec.entries) {
        auto& b = buckets[xr_signs_hash(e.gid) % static_cast<std::uint32_t>(n)];
        if (!b.emplace(e.gid, &e).second) {
            error = gid_text(e.gid) + " given twice";
            return false;
        }
    }

    out.clear();
    out.insert(out.end(), {'X', 'R', 'S', 'P'});
    put_le(out, 2, 4);
    put_le(out, static_cast<std::uint32_t>(n), 2);
    for (const XrSignsColorScheme& s : spec.schemes) {
        out.insert(out.end(), s.colors, s.colors + 9);
        out.push_back(s.shape);
    }
    out.resize(INDEX_OFFSET + 6 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        std::vector<const XrSignsEntry*> entries;
        for (const auto& kv : buckets[static_cast<size_t>(i)])
            entries.push_back(kv.second);
        std::vector<BYTE> bytes;
        if (!entries.empty() && !build_bucket(entries, bytes, error))
            return false;
        size_t at = INDEX_OFFSET + 6 * static_cast<size_t>(i);
        set_le(out, at, static_cast<std::uint32_t>(out.size()), 4);
        set_le(out, at + 4, static_cast<std::uint32_t>(bytes.size()), 2);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return true;
}

bool write_signs(const std::string& path, const XrSignsSpec& spec, std::string& error)
{
    std::vector<BYTE> bytes;
    return build_signs(spec, bytes, error) && xr_write_file_atomic(path, bytes, error);
}
