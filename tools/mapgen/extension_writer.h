// Writer of extension files (".nce" speed-camera sets, POI partner sets and
// other add-on content; the layout of xr_extensionlayout.h).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/container/xr_defs.h"
#include "tools/mapgen/ber_items.h"

struct XrExtensionFileItem {
    std::string target; // "e:/poi/...", "e:/mapdata/...", "e:/extensions/..."
    std::vector<BYTE> contents;
};

struct XrExtensionFileDef {
    // Header key 1; left out when empty.
    std::string map_id;
    // Further header entries: key and UTF-8 text.
    std::vector<std::pair<int, std::string>> header_strings;
    std::vector<XrExtensionFileItem> items;
};

std::vector<BYTE> build_extension_file(const XrExtensionFileDef& file);
// Writes through a temporary file renamed over path.
bool write_extension_file(const std::string& path, const XrExtensionFileDef& file);
