// Writer of extension files (".nce" speed-camera sets, POI partner sets and
// other add-on content): one BER SET holding a header bag and one SEQUENCE of
// two octet strings (target path, file contents) per file.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/container/xr_defs.h"

struct XrExtensionFileItem {
    std::string target; // "e:/poi/...", "e:/mapdata/...", "e:/extensions/..."
    std::vector<BYTE> contents;
};

struct XrExtensionFileSpec {
    // Header key 1; left out when empty.
    std::string map_id;
    // Further header entries: key and UTF-8 text.
    std::vector<std::pair<int, std::string>> header_strings;
    std::vector<XrExtensionFileItem> items;
};

// The bytes of one BER item: tag octet, length octets, contents.
std::vector<BYTE> ber_item(BYTE tag, const std::vector<BYTE>& contents);

std::vector<BYTE> build_extension_file(const XrExtensionFileSpec& spec);
bool write_extension_file(const std::string& path, const XrExtensionFileSpec& spec);
