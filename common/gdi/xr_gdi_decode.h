// The pixels of one MBM bitmap record in the form a bitmap handle keeps:
// RGB rows of exactly the width, or 1-bit rows of whole bytes.
#pragma once

#include "common/gdi/xr_gdi.h"

struct XrDecodedMbm {
    enum Kind { Failed = 0, Rgb = 1, Mono = 2, Unsupported = 3 };

    XrBitmapHeader header = {};
    // Rgb: 3 bytes a pixel, red, green, blue. Mono: rows of (width + 7) / 8
    // bytes, first pixel in the lowest bit, a set bit drawn. new[] buffers
    // handed to the caller.
    BYTE* rgb = nullptr;
    BYTE* bits = nullptr;
};

// Decodes a record that XrMbm::check_record accepts: 24- and 32-bit
// pictures give Rgb, 1-bit ones Mono, other depths Unsupported; data that
// cannot be decoded gives Failed.
XrDecodedMbm::Kind decode_mbm_record(const BYTE* record, XrDecodedMbm& out);
