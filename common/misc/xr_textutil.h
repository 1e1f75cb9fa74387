// Hex, version and path text helpers.
#pragma once

#include "common/container/xr_defs.h"

class XrString;
class XrByteArray;

// Splits text at '.' into major.minor[.build[.revision]], each piece an
// optional '+' or '-' and decimal digits (XrTokenParser::parse_int). The
// outputs given are set to 0 first; build and revision may be null. False
// when the major or the minor number is missing or not a number; a build or
// revision that is not a number stays 0.
bool parse_version_string(const TCHAR* text, int* major, int* minor, int* build, int* revision);

// out = the lower-case hexadecimal text of n bytes ("%02x" each, no
// separators); n at most XrString::max_length / 2.
void bytes_to_hex(XrString& out, const BYTE* bytes, int n);

// '0'-'9' give 0-9, 'a'-'f' and 'A'-'F' give 10-15, any other character 0.
int hex_digit_value(TCHAR c);
// The same, but -1 for any other character.
int hex_value(TCHAR c);

// Empties out and appends the bytes of the hexadecimal digits of text, high
// digit first; other characters are skipped, and an odd number of digits
// gets a '0' in front. False when out could not grow.
bool hex_to_bytes(const TCHAR* text, XrByteArray& out);

constexpr int XR_HEX_DUMP_LINE = 70;
// One diagnostic line: the offset of position from base_offset as "%08x:",
// up to 16 bytes from position (not past end) as hexadecimal digits in
// groups of two bytes, and from column 51 the same bytes as characters ('.'
// for a byte outside 32 to 127). Terminated within the 70 characters.
void format_hex_dump_line(const BYTE* base_offset, const BYTE* end, const BYTE* position,
                          char line[XR_HEX_DUMP_LINE]);

// The part after the last '/' or '\' at position 1 or later (a pointer into
// path); the whole path when there is none.
const TCHAR* path_file_name(const TCHAR* path);

// A copy of path up to and including its last '/' or '\'; the empty text
// when it has none. The copy lives in a static buffer that the next call
// overwrites: copy it at once.
const TCHAR* path_folder(const TCHAR* path);

// The text before the last '.' of path (a '.' in a folder name counts when
// the file name has none) as a copy in a static buffer that the next call
// overwrites; path itself when it holds no '.'.
const TCHAR* path_without_extension(const TCHAR* path);
