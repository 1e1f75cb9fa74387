// The zlib stream of a byte vector, for the writers of compressed formats.
#pragma once

#include <cstddef>
#include <vector>

#include "common/container/xr_defs.h"

// The stream at the given level (-1: zlib's default); an empty vector when
// compressing fails. An empty input gives the stream of no bytes. The bytes
// are those of zlib's compress2; one deflate state per level and thread is
// kept and reset between streams.
std::vector<BYTE> xr_zlib_stream(const BYTE* data, size_t size, int level = -1);
std::vector<BYTE> xr_zlib_stream(const std::vector<BYTE>& bytes, int level = -1);
