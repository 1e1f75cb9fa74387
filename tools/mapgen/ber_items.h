// BER items for the writers of BER-based formats.
#pragma once

#include <cstdint>
#include <vector>

#include "common/container/xr_defs.h"

// The bytes of one BER item: identifier octet, length octets, contents.
std::vector<BYTE> ber_item(BYTE tag, const std::vector<BYTE>& contents);
// A universal INTEGER in the fewest two's-complement octets.
std::vector<BYTE> ber_integer(std::int32_t value);
