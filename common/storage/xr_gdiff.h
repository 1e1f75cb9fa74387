// Applying difference files in the Generic Diff Format (GDIFF): after the
// header D1 FF D1 FF 04, DATA commands (literal bytes) and COPY commands (a
// range of the old data) rebuild the new data; command 0 ends the file.
// Integers are big-endian.
#pragma once

#include <cstdint>

#include "common/container/xr_defs.h"

class XrStorageAccessor;

// Called for every block written to the target.
typedef void (*XrGdiffProgress)(const BYTE* bytes, std::uint32_t length, void* user_data);

// Applies diff to old into out (a different storage than old); true on
// success. Without keep_output the target is first emptied and grown with
// every block. A truncated difference (no end command), a COPY outside the
// old data and any failed storage operation give false; the target then
// holds what was written so far.
bool apply_gdiff(XrStorageAccessor* old, XrStorageAccessor* diff, XrStorageAccessor* out, bool keep_output,
                 XrGdiffProgress progress, void* user_data);

// Big-endian integers of 1 to 4 bytes.
unsigned int read_be(const BYTE* p, int n);
void write_be(BYTE* p, unsigned int value, int n);
