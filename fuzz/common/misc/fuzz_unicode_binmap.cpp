// The character table file "unicode.binmap": arbitrary bytes as a table file,
// then folded comparisons and case mapping on the tables in force.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/container/xr_bytes.h"
#include "common/misc/xr_unicodeutil.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static XrUnicodeUtil util;
    util.load_table_data(data, size);

    // Some characters of the input as a text (16-bit units, zero-terminated).
    std::vector<TCHAR> text;
    for (std::size_t i = 0; i + 1 < size && text.size() < 64; i += 2)
        text.push_back(static_cast<TCHAR>(xr_bytes::get_u16_le(data + i)));
    text.push_back(0);
    const TCHAR key[] = {L'S', L'T', 1, L'P', 0};
    volatile int sink = util.compare(text.data(), L"St. Peter") + util.compare_words(text.data(), key, 5) +
                        util.get_folded_length(text.data()) + util.compare_upper_n(text.data(), L"abc", 3);
    for (TCHAR c : text)
        sink = sink + util.to_upper(c) + util.to_lower(c) + util.fold_char(c);
    (void)sink;
    return 0;
}
