// Header-style files of "key: value" lines, and the text records the update
// manager reports to the server.
#pragma once

#include "common/container/xr_bytearray.h"
#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"

#include <cstdint>

struct XrKeyValue {
    XrKeyValue() = default;
    ~XrKeyValue() { delete[] value; }
    XrKeyValue(const XrKeyValue&) = delete;
    XrKeyValue& operator=(const XrKeyValue&) = delete;

    XrString key;
    BYTE* value = nullptr; // value_len bytes and a terminating zero
    int value_len = 0;
};

// Appends one record per line of the file to records (the caller deletes
// them). False when the file cannot be read or a line has no ':'; the
// records read before stay in the array.
bool xr_read_key_value_file(XrPtrArray<XrKeyValue*>& records, const XrString& path);
// The value of the first record with the key; false when there is none.
bool xr_find_value(const XrPtrArray<XrKeyValue*>& records, const XrString& key, const BYTE*& value, int& value_len);
// Deletes the records and empties the array.
void xr_free_key_values(XrPtrArray<XrKeyValue*>& records);

// An installed component's name and version a.b.c.d.
struct XrComponentVersion {
    char name[64] = {};
    unsigned a = 0, b = 0, c = 0, d = 0;
};

// A memory-card drive.
struct XrMmcDrive {
    bool flag = false;
    char letter = 0;
    std::uint64_t capacity = 0;
    std::uint64_t free_space = 0;
    char volume_name[256] = {};
};

// "name|a.b.c.d"
bool xr_format_component_version(const XrComponentVersion& version, XrByteArray& out);
// "letter|capacity KiB|free KiB|volume|1 or 0"
bool xr_format_drive(const XrMmcDrive& drive, XrByteArray& out);
// Two lower-case hexadecimal digits per byte.
bool xr_format_hex(const BYTE* bytes, int length, XrByteArray& out);
