#include "common/update/xr_packagereader.h"

#include <new>

#include "common/container/xr_bytes.h"
#include "common/update/xr_packagelayout.h"

namespace L = xr_package_layout;

XrPackageReader::XrPackageReader() {}

XrPackageReader::~XrPackageReader()
{
    close();
}

bool XrPackageReader::open(const XrString& p)
{
    close();
    stream = z_stream{};
    stream.next_in = input;
    if (inflateInit2_(&stream, -MAX_WBITS, "1.2.1", (int)sizeof(z_stream)) != Z_OK) {
        // A zlib that refuses the old version text still speaks the format.
        stream = z_stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            return false;
    }
    stream_ready = true;
    file.reset(new (std::nothrow) XrFile());
    if (file == nullptr) {
        close();
        return false;
    }
    file_status = file->open_existing(p, true);
    if (file_status != XrFile::OK) {
        close();
        return false;
    }
    path = p;
    file_size = file->get_size();
    file_pos = 0;
    stream.next_in = input;
    stream.avail_in = 0;
    state = STATE_OK;
    at_eof = false;
    transparent = false;
    crc = crc32(0L, Z_NULL, 0);
    bytes_in = bytes_out = 0;
    check_header();
    return true;
}

void XrPackageReader::close()
{
    if (stream_ready) {
        inflateEnd(&stream);
        stream_ready = false;
    }
    file.reset();
    state = STATE_NOT_OPEN;
}

bool XrPackageReader::fill_input()
{
    if (at_eof)
        return false;
    std::uint32_t n = file_size - file_pos;
    if (n > (std::uint32_t)buffer_size)
        n = buffer_size;
    if (n == 0) {
        at_eof = true;
        return false;
    }
    file_status = file->read(file_pos, n, input);
    if (file_status != XrFile::OK) {
        state = STATE_READ_ERROR;
        at_eof = true;
        return false;
    }
    file_pos += n;
    stream.next_in = input;
    stream.avail_in = n;
    return true;
}

int XrPackageReader::get_byte()
{
    if (stream.avail_in == 0 && !fill_input())
        return -1;
    stream.avail_in--;
    return *stream.next_in++;
}

bool XrPackageReader::get_bytes(BYTE* out, int n)
{
    for (int i = 0; i < n; ++i) {
        int c = get_byte();
        if (c < 0)
            return false;
        out[i] = static_cast<BYTE>(c);
    }
    return true;
}

void XrPackageReader::check_header()
{
    // Both magic bytes must be buffered to decide between gzip and plain.
    if (stream.avail_in < 2) {
        if (stream.avail_in == 1)
            input[0] = *stream.next_in;
        std::uint32_t kept = stream.avail_in;
        std::uint32_t n = file_size - file_pos;
        if (n > (std::uint32_t)buffer_size - kept)
            n = buffer_size - kept;
        if (n > 0) {
            file_status = file->read(file_pos, n, input + kept);
            if (file_status != XrFile::OK) {
                state = STATE_READ_ERROR;
                n = 0;
            } else {
                file_pos += n;
            }
        }
        stream.next_in = input;
        stream.avail_in = kept + n;
        if (stream.avail_in < 2) {
            if (file_pos >= file_size)
                at_eof = true;
            transparent = stream.avail_in != 0;
            if (!transparent && state == STATE_OK)
                state = STATE_END;
            return;
        }
    }
    if (stream.next_in[0] != L::MAGIC_0 || stream.next_in[1] != L::MAGIC_1) {
        transparent = true;
        return;
    }
    stream.avail_in -= L::MAGIC_SIZE;
    stream.next_in += L::MAGIC_SIZE;

    int method = get_byte();
    int flags = get_byte();
    if (method != L::METHOD_DEFLATE || flags < 0 || (flags & L::FLAG_RESERVED) != 0) {
        state = STATE_DATA_ERROR;
        return;
    }
    for (unsigned int i = 0; i < L::UNUSED_HEADER_BYTES; ++i)
        get_byte();
    if (flags & L::FLAG_EXTRA) {
        BYTE length[L::EXTRA_LENGTH_SIZE];
        if (!get_bytes(length, L::EXTRA_LENGTH_SIZE)) {
            state = STATE_DATA_ERROR;
            return;
        }
        for (int len = xr_bytes::get_u16_le(length); len > 0 && get_byte() >= 0; --len) {
        }
    }
    if (flags & L::FLAG_NAME) {
        int c;
        while ((c = get_byte()) > 0) {
        }
    }
    if (flags & L::FLAG_COMMENT) {
        int c;
        while ((c = get_byte()) > 0) {
        }
    }
    if (flags & L::FLAG_HEADER_CRC) {
        for (unsigned int i = 0; i < L::HEADER_CRC_SIZE; ++i)
            get_byte();
    }
    // A header cut short by the end of the file is damaged.
    state = at_eof ? STATE_DATA_ERROR : STATE_OK;
}

int XrPackageReader::read_transparent(BYTE* buffer, int length)
{
    int done = 0;
    if (stream.avail_in > 0) {
        int n = (int)stream.avail_in < length ? (int)stream.avail_in : length;
        for (int i = 0; i < n; ++i)
            buffer[i] = stream.next_in[i];
        stream.next_in += n;
        stream.avail_in -= n;
        done = n;
    }
    if (done < length && !at_eof) {
        std::uint32_t n = file_size - file_pos;
        if (n > (std::uint32_t)(length - done))
            n = length - done;
        if (n > 0) {
            file_status = file->read(file_pos, n, buffer + done);
            if (file_status != XrFile::OK) {
                state = STATE_READ_ERROR;
                at_eof = true;
                return done > 0 ? done : -1;
            }
            file_pos += n;
            done += (int)n;
        }
    }
    bytes_in += done;
    bytes_out += done;
    if (done == 0) {
        at_eof = true;
        state = STATE_END;
    }
    return done;
}

int XrPackageReader::read(BYTE* buffer, int length)
{
    if (file == nullptr) {
        state = STATE_NOT_OPEN;
        return -1;
    }
    if (state == STATE_DATA_ERROR || state == STATE_READ_ERROR)
        return -1;
    if (state == STATE_END || length <= 0 || buffer == nullptr)
        return 0;
    if (transparent)
        return read_transparent(buffer, length);

    BYTE* start = buffer;
    stream.next_out = buffer;
    stream.avail_out = (uInt)length;
    while (stream.avail_out != 0) {
        if (stream.avail_in == 0 && !at_eof) {
            fill_input();
            if (state == STATE_READ_ERROR)
                break;
        }
        uInt in_before = stream.avail_in;
        uInt out_before = stream.avail_out;
        int z = inflate(&stream, Z_NO_FLUSH);
        bytes_in += in_before - stream.avail_in;
        bytes_out += out_before - stream.avail_out;
        if (z == Z_STREAM_END) {
            crc = crc32(crc, start, (uInt)(stream.next_out - start));
            start = stream.next_out;
            // The trailer: the CRC must match; the length is not checked.
            BYTE trailer[L::TRAILER_SIZE];
            if (!get_bytes(trailer, L::TRAILER_SIZE) ||
                xr_bytes::get_u32_le(trailer + L::TRAILER_CRC) != (std::uint32_t)crc) {
                state = STATE_DATA_ERROR;
                break;
            }
            check_header();
            if (state == STATE_OK && !transparent) {
                inflateReset(&stream);
                crc = crc32(0L, Z_NULL, 0);
                continue;
            }
            if (transparent) {
                // No further member: bytes after the last member are ignored.
                transparent = false;
                state = STATE_END;
            }
            break;
        }
        if (z == Z_BUF_ERROR && stream.avail_in == 0 && at_eof) {
            // The file ended inside a member.
            state = STATE_DATA_ERROR;
            break;
        }
        if (z != Z_OK && z != Z_BUF_ERROR) {
            state = STATE_DATA_ERROR;
            break;
        }
    }
    crc = crc32(crc, start, (uInt)(stream.next_out - start));
    int done = length - (int)stream.avail_out;
    if (done == 0 && state != STATE_OK && state != STATE_END)
        return -1;
    return done;
}

int XrPackageReader::read_byte()
{
    BYTE b = 0;
    return read(&b, 1) == 1 ? b : -1;
}
