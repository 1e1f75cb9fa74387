#include "common/misc/xr_textutil.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"
#include "common/misc/xr_tokenparser.h"

namespace {

const TCHAR empty_text[1] = {0};

bool is_separator(TCHAR c)
{
    return c == L'/' || c == L'\\';
}

// The first n characters of s, terminated, in buf. The buffer grows with the
// text, so no path is too long for it; s may be the buffer's last result.
const TCHAR* copy_to_static(std::vector<TCHAR>& buf, const TCHAR* s, std::size_t n)
{
    std::vector<TCHAR> copy(s, s + n);
    copy.push_back(0);
    buf.swap(copy);
    return buf.data();
}

} // namespace

bool parse_version_string(const TCHAR* text, int* major, int* minor, int* build, int* revision)
{
    int* const outs[4] = {major, minor, build, revision};
    for (int* out : outs) {
        if (out != nullptr)
            *out = 0;
    }
    if (text == nullptr)
        return false;
    XrTokenParser parser(text, L'.');
    for (int i = 0; i < 4; ++i) {
        int value = 0;
        if (!parser.parse_int(value))
            return i >= 2;
        if (outs[i] != nullptr)
            *outs[i] = value;
    }
    return true;
}

void bytes_to_hex(XrString& out, const BYTE* bytes, int n)
{
    static const char digits[] = "0123456789abcdef";
    if (n <= 0) {
        out.clear();
        return;
    }
    std::vector<TCHAR> text(2 * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 0x0F];
    }
    out.assign(text.data(), 2 * n);
}

int hex_value(TCHAR c)
{
    int value = 0;
    return hex_digit_value(c, value) ? value : -1;
}

int hex_digit_value(TCHAR c)
{
    const int v = hex_value(c);
    return v < 0 ? 0 : v;
}

bool hex_to_bytes(const TCHAR* text, XrByteArray& out)
{
    out.remove_all();
    if (text == nullptr)
        return true;
    int digits = 0;
    for (const TCHAR* p = text; *p != 0; ++p) {
        if (hex_value(*p) >= 0)
            ++digits;
    }
    // With an odd count the leading '0' is the pending high digit.
    bool have_high = digits % 2 != 0;
    int high = 0;
    for (const TCHAR* p = text; *p != 0; ++p) {
        const int v = hex_value(*p);
        if (v < 0)
            continue;
        if (!have_high) {
            high = v;
            have_high = true;
            continue;
        }
        if (!out.append_byte(static_cast<BYTE>((high << 4) | v)))
            return false;
        have_high = false;
    }
    return true;
}

void format_hex_dump_line(const BYTE* base_offset, const BYTE* end, const BYTE* position,
                          char line[XR_HEX_DUMP_LINE])
{
    static const char digits[] = "0123456789abcdef";
    constexpr int text_column = 51;
    std::memset(line, ' ', XR_HEX_DUMP_LINE);
    char head[16];
    std::snprintf(head, sizeof head, "%08x:", static_cast<unsigned int>(position - base_offset));
    std::memcpy(line, head, 9);
    const int n = end > position ? (end - position < 16 ? static_cast<int>(end - position) : 16) : 0;
    int column = 9;
    for (int i = 0; i < n; ++i) {
        const BYTE b = position[i];
        line[column++] = digits[b >> 4];
        line[column++] = digits[b & 0x0F];
        if (i % 2 != 0)
            ++column;
        line[text_column + i] = (b >= 32 && b <= 127) ? static_cast<char>(b) : '.';
    }
    line[text_column + n] = 0;
}

const TCHAR* path_file_name(const TCHAR* path)
{
    if (path == nullptr)
        return empty_text;
    const TCHAR* name = path;
    for (const TCHAR* p = path + (*path != 0 ? 1 : 0); *p != 0; ++p) {
        if (is_separator(*p))
            name = p + 1;
    }
    return name;
}

const TCHAR* path_folder(const TCHAR* path)
{
    static std::vector<TCHAR> buf;
    std::size_t n = 0;
    if (path != nullptr) {
        for (std::size_t i = 0; path[i] != 0; ++i) {
            if (is_separator(path[i]))
                n = i + 1;
        }
    }
    return copy_to_static(buf, path, n);
}

const TCHAR* path_without_extension(const TCHAR* path)
{
    static std::vector<TCHAR> buf;
    if (path == nullptr)
        return empty_text;
    const TCHAR* dot = wide_strrchr(path, L'.');
    if (dot == nullptr)
        return path;
    return copy_to_static(buf, path, static_cast<std::size_t>(dot - path));
}
