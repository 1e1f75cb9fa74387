// Reader of downloaded packages: one or more concatenated gzip members of a
// file (the layout is in xr_packagelayout.h), inflated with zlib and checked
// member by member against their CRC-32. A file without the gzip magic
// bytes is delivered as it is.
#pragma once

#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"
#include "common/os/xr_file.h"

#include <cstdint>
#include <memory>
#include <zlib.h>

class XrPackageReader {
public:
    // Error states.
    enum : int {
        STATE_OK = 0,
        STATE_END = 1,
        STATE_READ_ERROR = -1,
        STATE_NOT_OPEN = -2,
        STATE_DATA_ERROR = -3,
    };
    static constexpr int buffer_size = 4096;

    XrPackageReader();
    ~XrPackageReader();
    XrPackageReader(const XrPackageReader&) = delete;
    XrPackageReader& operator=(const XrPackageReader&) = delete;

    // Opens an existing file and checks the first member's header; false
    // (nothing left open) when the file cannot be opened.
    bool open(const XrString& path);
    // Up to length bytes into buffer: the count delivered, 0 at the end of
    // the data, -1 on error (then and on every later call).
    int read(BYTE* buffer, int length);
    // The next byte, or -1 at the end or on error.
    int read_byte();
    void close();

    int get_state() const { return state; }
    bool is_transparent() const { return transparent; }
    XrFile::Status get_file_status() const { return file_status; }

private:
    // Refills the input buffer from the file; false at the end or on error.
    bool fill_input();
    // The next input byte, or -1 at the end of the file.
    int get_byte();
    // The next n input bytes; false when the input ends first.
    bool get_bytes(BYTE* out, int n);
    // Checks a member header; sets transparent, the state and the end flag.
    void check_header();
    int read_transparent(BYTE* buffer, int length);

    XrString path;
    std::unique_ptr<XrFile> file;
    std::uint32_t file_size = 0;
    std::uint32_t file_pos = 0;
    z_stream stream{};
    bool stream_ready = false;
    BYTE input[buffer_size];
    int state = STATE_NOT_OPEN;
    XrFile::Status file_status = XrFile::OK;
    bool at_eof = false;
    bool transparent = false;
    uLong crc = 0;
    std::uint64_t bytes_in = 0;
    std::uint64_t bytes_out = 0;
};
