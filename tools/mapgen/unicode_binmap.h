// Writer of the character table file "unicode.binmap".
#pragma once

#include <string>
#include <vector>

#include "common/misc/xr_unicodeutil.h"

using XrUnicodeEntries = std::vector<XrUnicodeUtil::Entry>;

// The bytes of a table file (the layout of xr_unicodelayout.h); empty when
// the table sizes do not fit together.
std::vector<BYTE> build_unicode_binmap(const XrUnicodeEntries& fold, const XrUnicodeEntries& upper,
                                       const XrUnicodeEntries& lower);
// The tables built into the program.
void built_in_unicode_tables(XrUnicodeEntries& fold, XrUnicodeEntries& upper, XrUnicodeEntries& lower);
// The file of the built-in tables (the one the map data ships).
std::vector<BYTE> built_in_unicode_binmap();

// Writes through a temporary file renamed over path.
bool write_unicode_binmap(const std::string& path, const XrUnicodeEntries& fold, const XrUnicodeEntries& upper,
                          const XrUnicodeEntries& lower);
// Writes the built-in tables (the file the map data ships).
bool write_unicode_binmap(const std::string& path);
