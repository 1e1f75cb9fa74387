#include "common/update/xr_packagereader.h"

#include <new>

namespace {

const int gz_magic_0 = 0x1f;
const int gz_magic_1 = 0x8b;
const int gz_head_crc = 0x02;
const int gz_extra_field = 0x04;
const int gz_orig_name = 0x08;
const int gz_comment = 0x10;
const int gz_reserved = 0xe0;

} // namespace

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
    file = new (std::nothrow) XrFile();
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
    delete file;
    file = nullptr;
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

bool XrPackageReader::get_u32(std::uint32_t& value)
{
    value = 0;
    for (int i = 0; i < 4; ++i) {
        int c = get_byte();
        if (c < 0)
            return false;
        value |= (std::uint32_t)c << (8 * i);
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
    if (stream.next_in[0] != gz_magic_0 || stream.next_in[1] != gz_magic_1) {
        transparent = true;
        return;
    }
    stream.avail_in -= 2;
    stream.next_in += 2;

    int method = get_byte();
    int flags = get_byte();
    if (method != Z_DEFLATED || flags < 0 || (flags & gz_reserved) != 0) {
        state = STATE_DATA_ERROR;
        return;
    }
    for (int i = 0; i < 6; ++i)
        get_byte();
    if (flags & gz_extra_field) {
        int lo = get_byte();
        int hi = get_byte();
        if (lo < 0 || hi < 0) {
            state = STATE_DATA_ERROR;
            return;
        }
        for (int len = lo | (hi << 8); len > 0 && get_byte() >= 0; --len) {
        }
    }
    if (flags & gz_orig_name) {
        int c;
        while ((c = get_byte()) > 0) {
        }
    }
    if (flags & gz_comment) {
        int c;
        while ((c = get_byte()) > 0) {
        }
    }
    if (flags & gz_head_crc) {
        get_byte();
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
            std::uint32_t stored_crc = 0;
            std::uint32_t stored_len = 0;
            if (!get_u32(stored_crc) || stored_crc != (std::uint32_t)crc) {
                state = STATE_DATA_ERROR;
                break;
            }
            if (!get_u32(stored_len)) {
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
