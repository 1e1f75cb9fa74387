// Multi-bitmap (MBM) files: the directory, the bitmap records with their
// 40-byte headers, and the decoding of their pixel data. A file is either
// the plain kind or a packed file array of zlib-compressed records (the
// layout is in xr_mbmlayout.h).
#pragma once

#include <cstdint>
#include <cstdio>

#include "common/container/xr_array.h"
#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"
#include "common/gdi/xr_gdi.h"
#include "common/gdi/xr_mbmlayout.h"

class XrMbm {
public:
    static constexpr std::uint32_t UID1 = xr_mbm_layout::UID1;
    static constexpr std::uint32_t UID2_PLAIN = xr_mbm_layout::UID2_PLAIN;
    static constexpr std::uint32_t UID2_PACKED = xr_mbm_layout::UID2_PACKED;
    static constexpr std::uint32_t HEADER_SIZE = xr_mbm_layout::HEADER_SIZE;
    // Offset of the word that holds the directory offset (plain kind), and
    // of the directory itself (packed kind).
    static constexpr std::uint32_t PLAIN_DIRECTORY_POINTER = xr_mbm_layout::PLAIN_DIRECTORY_POINTER;
    static constexpr std::uint32_t PACKED_DIRECTORY = xr_mbm_layout::PACKED_DIRECTORY;
    // Largest decoded pixel buffer accepted (and largest record read).
    static constexpr std::uint32_t MAX_DECODED_SIZE = 64u << 20;

    enum Compression {
        NONE = xr_mbm_layout::COMPRESSION_NONE,
        RLE_BYTE = xr_mbm_layout::COMPRESSION_RLE_BYTE,
        RLE_12BIT = xr_mbm_layout::COMPRESSION_RLE_12BIT,
        RLE_16BIT = xr_mbm_layout::COMPRESSION_RLE_16BIT,
        RLE_24BIT = xr_mbm_layout::COMPRESSION_RLE_24BIT,
    };

    // A new[] buffer with the whole record (header and data) of bitmap
    // number index of the file, or null: missing file, not an MBM file, index
    // past the directory, short or corrupt data. A record handed out is
    // consistent (check_record): at least 40 bytes, its record length within
    // the buffer (and set in *size when given), its header length at least 40
    // and within the record.
    static BYTE* load(const XrString& path, int index, int* size = nullptr);
    // Whether bitmap number index of the file loads (as load says), and its
    // header in *header when given, without decoding the pixels.
    static bool load_header(const XrString& path, int index, XrBitmapHeader* header);

    // Checks the two UIDs (packed is set for the packed file array) and fills
    // the record offsets: plain kind from the directory whose offset is at
    // 16, packed kind from the directory at 8. False for any other file, or a
    // directory that does not fit the file.
    static bool read_directory(std::FILE* file, XrArray<std::uint32_t>& offsets, bool& packed);

    // The record of entry index of a directory read by read_directory, as
    // load hands it out; null on failure.
    static BYTE* read_record(std::FILE* file, const XrArray<std::uint32_t>& offsets, bool packed,
                             int index, int* size = nullptr);

    // True when size bytes hold a consistent record (see load).
    static bool check_record(const BYTE* record, std::uint32_t size);

    // Copies the ten header fields of a record (the size record of a bitmap
    // handle); 12 and 16 bits per pixel become 32.
    static void read_header(const BYTE* record, XrBitmapHeader& header);

    // The padded row length in pixels (width rounded up to a multiple of 32
    // at 1 bit per pixel, of 4 otherwise) and the number of padding pixels.
    static void get_row_padding(const XrBitmapHeader& header, int& padded_width, int& padding);

    // The size of the decoded pixels: bits per pixel x height x padded width
    // / 8 bytes; false for an unknown depth, an empty bitmap, a side over
    // 65535 pixels or a size over MAX_DECODED_SIZE.
    static bool get_decoded_size(const XrBitmapHeader& header, std::uint32_t& size);

    // Decodes the pixel data of a consistent record. With allocate true,
    // pixels becomes a new[] buffer of the decoded size (size is set); with
    // allocate false, pixels is the caller's buffer of size bytes, which must
    // hold the decoded size (size becomes it). Runs that end early leave the
    // rest zero. Afterwards 1-bit pixels are inverted (a set bit is black) and
    // the nibbles of 4-bit pixels swapped. False, with nothing allocated, for
    // an unknown depth or compression (16- and 24-bit run-length are not
    // supported), a run past the decoded size, a literal run past the data
    // or a repeat marker without its byte.
    static bool fill_bit_values(const BYTE* record, BYTE*& pixels, int& size, bool allocate);
};
