// Layout of packages: gzip members (RFC 1952) back to back, shared by their
// reader, their writer and the tests.
//
//   header   magic (2), method, flags, modification time (4), extra flags,
//            operating system; then by the flags: the extra field (u16
//            length, bytes), the zero-terminated name and comment, the u16
//            header CRC
//   body     raw deflate stream
//   trailer  CRC-32 of the member's data (u32), its length (u32)
#pragma once

#include "common/container/xr_defs.h"

namespace xr_package_layout {

constexpr BYTE MAGIC_0 = 0x1f;
constexpr BYTE MAGIC_1 = 0x8b;
constexpr unsigned int MAGIC_SIZE = 2;
constexpr BYTE METHOD_DEFLATE = 8;
constexpr unsigned int METHOD_OFFSET = 2;
constexpr unsigned int FLAGS_OFFSET = 3;
constexpr unsigned int HEADER_SIZE = 10;
// Modification time, extra flags, operating system: passed over.
constexpr unsigned int UNUSED_HEADER_BYTES = 6;
constexpr BYTE OS_UNIX = 3;

constexpr BYTE FLAG_HEADER_CRC = 0x02;
constexpr BYTE FLAG_EXTRA = 0x04;
constexpr BYTE FLAG_NAME = 0x08;
constexpr BYTE FLAG_COMMENT = 0x10;
constexpr BYTE FLAG_RESERVED = 0xe0;
constexpr unsigned int EXTRA_LENGTH_SIZE = 2;
constexpr unsigned int HEADER_CRC_SIZE = 2;

constexpr unsigned int TRAILER_CRC = 0;    // u32
constexpr unsigned int TRAILER_LENGTH = 4; // u32
constexpr unsigned int TRAILER_SIZE = 8;

} // namespace xr_package_layout
