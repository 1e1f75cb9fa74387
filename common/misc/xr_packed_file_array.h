// Packed file arrays: a directory of entry offsets, each entry a zlib stream
// of one item with its uncompressed and compressed lengths in front (the
// layout is in xr_packedfilelayout.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "common/container/xr_array.h"
#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"

class XrPackedFileArray {
public:
    // An open file, closed when the holder goes.
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    using File = std::unique_ptr<std::FILE, FileCloser>;

    // Largest item accepted, uncompressed or compressed.
    static constexpr std::uint32_t MAX_ITEM_SIZE = 64u << 20;

    // Reads the directory at offset. False when it does not fit the file.
    static bool read_directory(std::FILE* file, std::uint32_t offset, XrArray<std::uint32_t>& offsets);
    // The item of the entry at entry_offset in a new[] buffer (size is set),
    // or null: short read, lengths past the file or over MAX_ITEM_SIZE, a
    // zlib stream that fails or yields another length than recorded.
    static BYTE* read_entry(std::FILE* file, std::uint32_t entry_offset, int& size);
    // Opens the file, reads the directory at directory_offset and the entry
    // of the index; null on any failure.
    static BYTE* read_item(const XrString& path, std::uint32_t directory_offset, int index, int& size);
    // Writing is not available: a fatal assertion.
    static void append_data(const XrString& path, const BYTE* data, int size);

    // The size of an open file (0 when it cannot be told).
    static std::uint32_t file_size(std::FILE* file);
    // length bytes at offset; false when they are not all there.
    static bool read_at(std::FILE* file, std::uint32_t offset, void* buffer, std::uint32_t length);
    // Opens a file for reading by its wide name; null when it cannot.
    static File open_file(const XrString& path);
};
