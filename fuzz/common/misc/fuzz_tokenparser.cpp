// Token parser and the text helpers built on it over arbitrary text: byte 0
// picks the options, bytes 1 and 2 are delimiters, the rest is the text
// (Latin-1).
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"
#include "common/misc/xr_textutil.h"
#include "common/misc/xr_tokenparser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const unsigned flags = data[0];
    std::wstring text;
    for (std::size_t i = 3; i < size; ++i) {
        if (data[i] != 0)
            text += static_cast<wchar_t>(data[i]);
    }

    XrTokenParser parser(text.c_str(), data[1]);
    parser.add_delimiter(data[2]);
    if (flags & 1) {
        parser.set_reversed(true);
        while (const TCHAR* t = parser.parse_next())
            (void)std::wcslen(t);
    } else {
        const bool skip = flags & 2, trim = flags & 4;
        // Mixed calls; the input shrinks with every token, so this ends.
        for (unsigned step = flags >> 3;; ++step) {
            int i = 0;
            double d = 0;
            const TCHAR* t = nullptr;
            switch (step % 4) {
            case 0:
                t = parser.parse_next(skip, trim);
                break;
            case 1:
                if (parser.parse_int(i))
                    continue;
                t = parser.parse_next(skip, trim);
                break;
            case 2:
                if (parser.parse_double(d))
                    continue;
                t = parser.parse_next(skip, trim);
                break;
            default:
                t = parser.get_rest(skip, trim);
                break;
            }
            if (t == nullptr)
                break;
            (void)std::wcslen(t);
            parser.get_last_delimiter();
        }
    }

    int major, minor, build, revision;
    parse_version_string(text.c_str(), &major, &minor, &build, &revision);
    XrByteArray bytes;
    hex_to_bytes(text.c_str(), bytes);
    if (bytes.get_num_items() <= XrString::max_length / 2) {
        XrString hex;
        bytes_to_hex(hex, bytes.get_items(), bytes.get_num_items());
    }
    (void)std::wcslen(path_file_name(text.c_str()));
    (void)std::wcslen(path_folder(text.c_str()));
    (void)std::wcslen(path_without_extension(text.c_str()));
    char line[XR_HEX_DUMP_LINE];
    format_hex_dump_line(data, data + size, data + (size > 16 ? size / 2 : 0), line);
    return 0;
}
