#include "tools/mapgen/signs_writer.h"

#include <algorithm>
#include <map>

#include "common/container/xr_bytes.h"
#include "tools/mapgen/geom_tree.h"

namespace L = xr_signs_layout;

namespace {

std::string gid_text(XrGid gid)
{
    return "gid " + std::to_string(gid);
}

// The records of one gid, ended by the terminator.
bool append_records(const XrSignsEntry& entry, XrByteWriter& out, std::string& error)
{
    for (const XrSignsRecord& r : entry.records) {
        if (r.following.size() > L::MAX_FOLLOWING) {
            error = gid_text(entry.gid) + ": more than 255 edges on a path";
            return false;
        }
        const size_t start = out.size();
        out.u16_le(0); // the size, set below
        out.u8(static_cast<BYTE>(r.following.size()));
        for (XrGid g : r.following)
            out.u32_le(g);
        for (const XrSignsInstruction& in : r.instructions) {
            if (in.text.find('\0') != std::string::npos) {
                error = gid_text(entry.gid) + ": NUL byte in an instruction text";
                return false;
            }
            out.u8(in.kind);
            out.bytes(in.text.data(), in.text.size());
            out.u8(0);
        }
        const size_t size = out.size() - start;
        if (size >= L::END_OF_RECORDS) {
            error = gid_text(entry.gid) + ": record too long";
            return false;
        }
        out.patch_le(start + L::RECORD_SIZE, size, 2);
    }
    out.u16_le(L::END_OF_RECORDS);
    return true;
}

bool build_bucket(const std::vector<const XrSignsEntry*>& entries, XrByteWriter& out, std::string& error)
{
    if (entries.size() > L::MAX_KEYS) {
        error = "more than 255 gids in one bucket; use more buckets";
        return false;
    }
    out.u8(static_cast<BYTE>(entries.size()));
    const size_t keys = out.size();
    out.zeros(L::KEY_SIZE * entries.size());
    for (size_t k = 0; k < entries.size(); ++k) {
        const size_t key = keys + L::KEY_SIZE * k;
        out.patch_le(key + L::KEY_GID, entries[k]->gid, 4);
        out.patch_le(key + L::KEY_RECORD, out.size(), 2);
        if (!append_records(*entries[k], out, error))
            return false;
        if (out.size() > L::MAX_BUCKET_BYTES) {
            error = "bucket longer than 32767 bytes; use more buckets";
            return false;
        }
    }
    return true;
}

} // namespace

std::uint32_t xr_signs_hash(XrGid gid)
{
    return L::hash_gid(gid);
}

int xr_signs_bucket_count(const XrSignsFile& file)
{
    if (file.buckets != 0)
        return file.buckets;
    return static_cast<int>(std::clamp<size_t>(file.entries.size() / 4, 1, L::MAX_BUCKETS));
}

bool build_signs(const XrSignsFile& file, std::vector<BYTE>& bytes, std::string& error)
{
    int n = xr_signs_bucket_count(file);
    if (n < 1 || n > L::MAX_BUCKETS) {
        error = "bucket count outside 1..32767";
        return false;
    }
    // Entries by bucket, sorted by gid.
    std::vector<std::map<XrGid, const XrSignsEntry*>> buckets(static_cast<size_t>(n));
    for (const XrSignsEntry& e : file.entries) {
        auto& b = buckets[L::hash_gid(e.gid) % static_cast<std::uint32_t>(n)];
        if (!b.emplace(e.gid, &e).second) {
            error = gid_text(e.gid) + " given twice";
            return false;
        }
    }

    XrByteWriter out;
    out.bytes(L::MAGIC, L::MAGIC_SIZE);
    out.u32_le(L::VERSION);
    out.u16_le(static_cast<std::uint16_t>(n));
    // Scheme i lies at i * SCHEME_SIZE: the header takes the place of scheme 0.
    for (const XrSignsColorScheme& s : file.schemes) {
        out.bytes(s.colors, L::SCHEME_COLORS);
        out.u8(s.shape);
    }
    out.zeros(L::INDEX_OFFSET + L::INDEX_ENTRY_SIZE * static_cast<size_t>(n) - out.size());
    for (int i = 0; i < n; ++i) {
        std::vector<const XrSignsEntry*> entries;
        for (const auto& kv : buckets[static_cast<size_t>(i)])
            entries.push_back(kv.second);
        XrByteWriter bucket;
        if (!entries.empty() && !build_bucket(entries, bucket, error))
            return false;
        const size_t at = L::INDEX_OFFSET + L::INDEX_ENTRY_SIZE * static_cast<size_t>(i);
        out.patch_le(at + L::INDEX_BUCKET_OFFSET, out.size(), 4);
        out.patch_le(at + L::INDEX_BUCKET_LENGTH, bucket.size(), 2);
        out.bytes(bucket.bytes());
    }
    bytes = out.take();
    return true;
}

bool write_signs(const std::string& path, const XrSignsFile& file, std::string& error)
{
    std::vector<BYTE> bytes;
    return build_signs(file, bytes, error) && xr_write_file_atomic(path, bytes, error);
}
