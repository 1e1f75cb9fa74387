// Writer of the character table file "unicode.binmap".
#pragma once

#include <string>
#include <vector>

#include "common/misc/xr_unicodeutil.h"

using XrUnicodeEntries = std::vector<XrUnicodeUtil::Entry>;

// The bytes of a table file: N (u32), the folding table (N + 10 entries), the
// upper-case and the lower-case table (N entries each), little-endian. Empty
// when the table sizes do not fit together.
std::vector<BYTE> build_unicode_binmap(const XrUnicodeEntries& fold, const XrUnicodeEntries& upper,
                                       const XrUnicodeEntries& lower);
// The tables built into the program.
void built_in_unicode_tables(XrUnicodeEntries& fold, XrUnicodeEntries& upper, XrUnicodeEntries& lower);

bool write_unicode_binmap(const std::string& path, const XrUnicodeEntries& fold, const XrUnicodeEntries& upper,
                          const XrUnicodeEntries& lower);
// Writes the built-in tables (the file the map data ships).
bool write_unicode_binmap(const std::string& path);
