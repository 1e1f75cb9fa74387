// The zlib stream of a byte vector, for the writers of compressed formats.
#pragma once

#include <vector>

#include "common/container/xr_defs.h"

// The stream at the given level (-1: zlib's default); an empty vector when
// compressing fails. An empty input gives the stream of no bytes.
std::vector<BYTE> xr_zlib_stream(const std::vector<BYTE>& bytes, int level = -1);
