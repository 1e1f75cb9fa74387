// Writer of multi-bitmap (MBM) files, plain and packed (a packed file array
// of zlib-compressed records), with the encoders of the byte and 12-bit
// run-length compressions and makers of 24-, 32- and 1-bit pictures in the
// row layout the GDI reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/container/xr_defs.h"
#include "common/gdi/xr_mbmlayout.h"

// One bitmap record: the header fields and the pixel data as stored.
struct XrMbmBitmap {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bits_per_pixel = 24; // as stored: 1, 4, 8, 12, 16, 24 or 32
    std::uint32_t compression = xr_mbm_layout::COMPRESSION_NONE;
    std::uint32_t header_length = xr_mbm_layout::HEADER_SIZE;
    std::uint32_t color_flag = 1;
    std::uint32_t palette_entries = 0;
    std::vector<BYTE> data; // encoded pixel data
};

// Byte run-length: runs of 2 to 128 equal bytes as (count - 1, byte),
// literal runs of 1 to 128 bytes as (256 - count, bytes).
std::vector<BYTE> mbm_encode_rle_byte(const std::vector<BYTE>& raw);
// 12-bit run-length of 0x0RGB-style words (bits 0-3, 4-7, 8-11 become
// decoded bytes 0, 1 and 2): runs of 1 to 16 equal values, one 16-bit
// little-endian word each.
std::vector<BYTE> mbm_encode_rle_12bit(const std::vector<std::uint16_t>& pixels);

// A 24- or 32-bit picture from 0xRRGGBB pixels (row by row, width x
// height): rows of the width rounded up to even, blue-green-red(-zero)
// bytes. Compression 0 or 1.
XrMbmBitmap mbm_make_rgb(std::uint32_t width, std::uint32_t height, const std::vector<std::uint32_t>& rgb,
                         std::uint32_t bits_per_pixel = 24, std::uint32_t compression = 0);
// A 1-bit picture: set[i] marks a black (drawn) pixel; rows padded to 32
// bits, first pixel in the lowest bit, stored inverted (a set file bit is
// white). Compression 0 or 1.
XrMbmBitmap mbm_make_mono(std::uint32_t width, std::uint32_t height, const std::vector<bool>& set,
                          std::uint32_t compression = 0);

// The whole record: the 40-byte header (twips at 96 dpi; a header length
// above 40 is filled with zeros) and the data.
std::vector<BYTE> mbm_record(const XrMbmBitmap& bitmap);

// A plain MBM file.
std::vector<BYTE> mbm_file(const std::vector<XrMbmBitmap>& bitmaps);
// A packed MBM file.
std::vector<BYTE> mbm_packed_file(const std::vector<XrMbmBitmap>& bitmaps);

// A packed file array (xr_packedfilelayout.h): the head bytes, the directory
// right behind them, then the entries.
std::vector<BYTE> packed_file_array(const std::vector<BYTE>& head, const std::vector<std::vector<BYTE>>& items);

// Writes either kind (to a temporary name, then renamed).
bool write_mbm_file(const std::string& path, const std::vector<XrMbmBitmap>& bitmaps, bool packed,
                    std::string& error);
