// UTF-8 decoding of arbitrary bytes: decode_utf8, is_valid_utf8 and
// read_utf8 must agree and stay in bounds; valid text survives a round trip.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"
#include "common/misc/xr_utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 16384)
        return 0;
    const int len = static_cast<int>(size);

    XrString decoded;
    bool ok = XrUTF8::decode_utf8(data, len, decoded);
    bool valid = XrUTF8::is_valid_utf8(data, len);
    if (ok != valid)
        std::abort();

    // Zero-terminated copy for the one-character reader.
    std::vector<BYTE> text(data, data + size);
    text.push_back(0);
    const BYTE* p = text.data();
    int count = 0;
    while (*p != 0) {
        unsigned int c = XrUTF8::read_utf8(p);
        if (c > 0xFFFF || p > text.data() + size)
            std::abort();
        ++count;
    }
    if (count != XrUTF8::utf8_length(text.data()))
        std::abort();

    std::vector<unsigned short> units(text.begin(), text.end());
    const unsigned short* u = units.data();
    while (*u != 0)
        XrUTF8::read_utf8(u);

    if (size > 0 && valid && std::memchr(data, 0, size) == nullptr) {
        XrByteArray again;
        if (!XrUTF8::encode_utf8(decoded.c_str(), -1, again))
            std::abort();
        if (again.get_num_items() != len || (len > 0 && std::memcmp(again.get_items(), data, size) != 0)) {
            // Only overlong forms may come back shorter, in their shortest form.
            XrString twice;
            if (!XrUTF8::decode_utf8(again.get_items(), again.get_num_items(), twice) || !(twice == decoded))
                std::abort();
        }
        BYTE* out = nullptr;
        int n = XrUTF8::wide_to_utf8_alloc(decoded, &out);
        if (n != again.get_num_items() || (n > 0 && std::memcmp(out, again.get_items(), static_cast<size_t>(n)) != 0))
            std::abort();
        delete[] out;
    }
    return 0;
}
