// Byte helpers shared by the BER and property-bag tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/ber/xr_berrecord.h"
#include "common/container/xr_bytearray.h"

using Bytes = std::vector<BYTE>;

// "31 06 02" -> {0x31, 0x06, 0x02}
inline Bytes hex(const std::string& text)
{
    Bytes out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<BYTE>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
        i += 2;
    }
    return out;
}

inline Bytes bytes_of(const XrBerRecord* r)
{
    return Bytes(r->get_data(), r->get_data() + r->get_length());
}

inline Bytes bytes_of(const XrByteArray& a)
{
    return Bytes(a.get_items(), a.get_items() + a.get_num_items());
}

inline Bytes text_bytes(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

inline Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A non-owning record over a test's bytes.
inline XrBerRecord record_over(Bytes& b)
{
    return XrBerRecord(b.data(), static_cast<std::uint32_t>(b.size()), false);
}
