// Writer of signpost files ("signs.bin", magic "XRSP", version 2): colour
// schemes and, per road edge, records of a path with instruction lines, in
// hash buckets (the layout of xr_signslayout.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/addr/xr_signslayout.h"
#include "common/container/xr_defs.h"
#include "common/db/xr_gid.h"

struct XrSignsInstruction {
    BYTE kind = 1;    // the file's kind byte, 1 to 4 (written as given)
    std::string text; // UTF-8, no NUL; alternatives "eng\tExit\tdeu\tAusfahrt"
};

struct XrSignsRecord {
    std::vector<XrGid> following; // the edges after the key edge, at most 255
    std::vector<XrSignsInstruction> instructions;
};

struct XrSignsEntry {
    XrGid gid = 0;
    // No records: the gid's record list ends at once.
    std::vector<XrSignsRecord> records;
};

struct XrSignsColorScheme {
    BYTE colors[9] = {};
    BYTE shape = 1; // written as given
};

struct XrSignsFile {
    static constexpr int NUM_SCHEMES = xr_signs_layout::NUM_SCHEMES;
    XrSignsColorScheme schemes[NUM_SCHEMES];
    int buckets = 0; // 1 to 32767; 0: one per four entries
    std::vector<XrSignsEntry> entries;
};

// The hash of a gid before the modulo by the bucket count.
std::uint32_t xr_signs_hash(XrGid gid);
// The bucket count asked for, or the one chosen from the number of entries.
int xr_signs_bucket_count(const XrSignsFile& file);

// False, with an error text, for duplicate gids, texts with a NUL byte, or
// sizes the format cannot hold.
bool build_signs(const XrSignsFile& file, std::vector<BYTE>& out, std::string& error);
bool write_signs(const std::string& path, const XrSignsFile& file, std::string& error);
