// Layout of ServCom reply bodies, shared by their reader, their writer and
// the tests: a BER INTEGER holding the length of the reply bag's BER
// encoding, then the zlib stream of that encoding. The bag's keys follow.
#pragma once

#include "common/ber/xr_berrecord.h"
#include "common/container/xr_defs.h"

namespace xr_servcom_layout {

// The length item: a primitive universal INTEGER of 1 to 4 content octets.
constexpr BYTE LENGTH_TAG = XR_BER_INTEGER;
constexpr unsigned int MIN_LENGTH_OCTETS = 1;
constexpr unsigned int MAX_LENGTH_OCTETS = 4;

// Keys of the reply bag.
constexpr int KEY_SERVICE_ID = 0; // int
constexpr int KEY_VALUE_A = 1;    // int
constexpr int KEY_VALUE_B = 2;    // int
constexpr int KEY_PAYLOAD = 4;    // bag, on success
constexpr int KEY_SUCCESS = 5;    // bool
constexpr int KEY_MESSAGE = 6;    // string, on failure
constexpr int KEY_TITLE = 7;      // string, on failure
constexpr int KEY_DETAILS = 8;    // string, on failure

} // namespace xr_servcom_layout
