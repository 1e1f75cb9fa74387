// Layout of extension files (BER, definite lengths), shared by their
// reader, their writer and the tests:
//
//   SET                      the file
//     SET                    the header bag: INTEGER key, UTF8String value, ...
//     SEQUENCE               one per item:
//       OCTET STRING         the target path, one character a byte
//       OCTET STRING         the bytes of the file to write there
#pragma once

#include "common/ber/xr_berrecord.h"
#include "common/container/xr_defs.h"

namespace xr_extension_layout {

// Identifier octets of the universal tags used.
constexpr BYTE CONSTRUCTED = 0x20;
constexpr BYTE TAG_INTEGER = XR_BER_INTEGER;
constexpr BYTE TAG_OCTET_STRING = XR_BER_OCTET_STRING;
constexpr BYTE TAG_UTF8_STRING = XR_BER_UTF8_STRING;
constexpr BYTE TAG_SEQUENCE = CONSTRUCTED | XR_BER_SEQUENCE;
constexpr BYTE TAG_SET = CONSTRUCTED | XR_BER_SET;

// The header bag's key of the map identifier.
constexpr int KEY_MAP_ID = 1;

} // namespace xr_extension_layout
