#include "common/update/xr_keyvalue.h"

#include "common/os/xr_file.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

XrKeyValue* make_record(const BYTE* key, int key_len, const BYTE* value, int value_len)
{
    XrKeyValue* kv = new (std::nothrow) XrKeyValue();
    if (kv == nullptr)
        return nullptr;
    kv->value = new (std::nothrow) BYTE[value_len + 1];
    if (kv->value == nullptr) {
        delete kv;
        return nullptr;
    }
    std::memcpy(kv->value, value, value_len);
    kv->value[value_len] = 0;
    kv->value_len = value_len;
    kv->key = XrString((const char*)key, key_len);
    return kv;
}

// Bounded length of a zero-terminated field of a fixed-size record.
size_t field_length(const char* s, size_t size)
{
    const void* z = std::memchr(s, 0, size);
    return z != nullptr ? (size_t)((const char*)z - s) : size;
}

} // namespace

bool xr_read_key_value_file(XrPtrArray<XrKeyValue*>& records, const XrString& path)
{
    XrFile file;
    if (file.open_existing(path, true) != XrFile::OK)
        return false;
    std::uint32_t size = file.get_size();
    if (size == 0)
        return true;
    BYTE* data = nullptr;
    if (file.read_alloc(0, size, data) != XrFile::OK || data == nullptr)
        return false;

    bool ok = false;
    std::uint32_t pos = 0;
    for (;;) {
        const BYTE* colon = (const BYTE*)std::memchr(data + pos, ':', size - pos);
        if (colon == nullptr)
            break;
        std::uint32_t key_end = (std::uint32_t)(colon - data);
        std::uint32_t v = key_end + 1;
        while (v < size && (data[v] == ' ' || data[v] == '\t'))
            ++v;
        std::uint32_t line_end = v;
        while (line_end < size && data[line_end] != '\n')
            ++line_end;
        std::uint32_t value_end = line_end;
        while (value_end > v + 1 &&
               (data[value_end - 1] == ' ' || data[value_end - 1] == '\t' || data[value_end - 1] == '\r'))
            --value_end;
        XrKeyValue* kv = make_record(data + pos, (int)(key_end - pos), data + v, (int)(value_end - v));
        if (kv == nullptr)
            break;
        if (!records.append(kv)) {
            delete kv;
            break;
        }
        if (line_end >= size) {
            ok = true;
            break;
        }
        pos = line_end + 1;
        if (pos >= size) {
            ok = true;
            break;
        }
    }
    delete[] data;
    return ok;
}

bool xr_find_value(const XrPtrArray<XrKeyValue*>& records, const XrString& key, const BYTE*& value, int& value_len)
{
    for (int i = 0; i < records.get_num_items(); ++i) {
        XrKeyValue* kv = records.get_item(i);
        if (kv->value != nullptr && kv->key == key) {
            value = kv->value;
            value_len = kv->value_len;
            return true;
        }
    }
    return false;
}

void xr_free_key_values(XrPtrArray<XrKeyValue*>& records)
{
    for (int i = 0; i < records.get_num_items(); ++i)
        delete records.get_item(i);
    records.remove_all();
}

bool xr_format_component_version(const XrComponentVersion& version, XrByteArray& out)
{
    char text[64];
    std::snprintf(text, sizeof text, "|%u.%u.%u.%u", version.a, version.b, version.c, version.d);
    return out.append(version.name, (int)field_length(version.name, sizeof version.name)) && out.append(text);
}

bool xr_format_drive(const XrMmcDrive& drive, XrByteArray& out)
{
    char text[64];
    std::snprintf(text, sizeof text, "|%u|%u|", (unsigned)(drive.capacity / 1024), (unsigned)(drive.free_space / 1024));
    return out.append_byte((BYTE)drive.letter) && out.append(text) &&
           out.append(drive.volume_name, (int)field_length(drive.volume_name, sizeof drive.volume_name)) &&
           out.append(drive.flag ? "|1" : "|0");
}

bool xr_format_hex(const BYTE* bytes, int length, XrByteArray& out)
{
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < length; ++i) {
        if (!out.append_byte((BYTE)digits[bytes[i] >> 4]) || !out.append_byte((BYTE)digits[bytes[i] & 15]))
            return false;
    }
    return true;
}
