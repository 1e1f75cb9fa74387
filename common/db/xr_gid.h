// The global identifier of a road edge: a geometry record named by its block
// (bits 16-31) and its offset in the block (bits 0-15).
#pragma once

#include <cstdint>

typedef std::uint32_t XrGid;
