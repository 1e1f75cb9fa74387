#include "common/db/qt/xr_geodatastreams.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "common/container/xr_bytearray.h"

std::int64_t geo_pread(int fd, std::uint64_t offset, void* data, std::size_t size)
{
    BYTE* p = static_cast<BYTE*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, p + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

// CFileStreamEx

SSGeoDataStatus CFileStreamEx::open(const char* path, const char* mode, CFileStreamEx** stream)
{
    *stream = nullptr;
    std::FILE* file = std::fopen(path, mode);
    if (file == nullptr)
        return SSGEO_CREATE_ERROR;
    CFileStreamEx* s = new (std::nothrow) CFileStreamEx(file);
    if (s == nullptr) {
        std::fclose(file);
        return SSGEO_NO_MEMORY;
    }
    *stream = s;
    return SSGEO_OK;
}

SSGeoDataStatus CFileStreamEx::create_unique(char* name_template, CFileStreamEx** stream)
{
    *stream = nullptr;
    const int fd = mkstemp(name_template);
    if (fd < 0)
        return SSGEO_CREATE_ERROR;
    const mode_t mask = umask(0);
    umask(mask);
    std::FILE* file = fchmod(fd, 0666 & ~mask) == 0 ? fdopen(fd, "w+b") : nullptr;
    CFileStreamEx* s = file != nullptr ? new (std::nothrow) CFileStreamEx(file) : nullptr;
    if (s == nullptr) {
        if (file != nullptr)
            std::fclose(file);
        else
            ::close(fd);
        std::remove(name_template);
        return file != nullptr ? SSGEO_NO_MEMORY : SSGEO_CREATE_ERROR;
    }
    *stream = s;
    return SSGEO_OK;
}

bool CFileStreamEx::switch_to(bool writing)
{
    // Between reading and writing the stdio stream needs a positioning call.
    if ((writing && m_reading) || (!writing && m_writing)) {
        if (fseeko(m_file, static_cast<off_t>(m_position), SEEK_SET) != 0)
            return false;
    }
    m_writing = writing;
    m_reading = !writing;
    return true;
}

std::int64_t CFileStreamEx::write(const void* data, std::size_t size)
{
    if (!switch_to(true))
        return -1;
    const std::uint64_t before = m_position;
    if (size > 0 && std::fwrite(data, 1, size, m_file) != size)
        return -1;
    m_position += size;
    return static_cast<std::int64_t>(before);
}

bool CFileStreamEx::read(void* data, std::size_t size)
{
    if (!switch_to(false))
        return false;
    const std::size_t n = size == 0 ? 0 : std::fread(data, 1, size, m_file);
    m_position += n;
    return n == size;
}

bool CFileStreamEx::seek(std::uint64_t offset)
{
    if (fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    m_position = offset;
    m_writing = m_reading = false;
    return true;
}

bool CFileStreamEx::close()
{
    const bool ok = std::fclose(m_file) == 0;
    delete this;
    return ok;
}

std::int64_t CFileStreamEx::size()
{
    if (m_writing && std::fflush(m_file) != 0)
        return -1;
    struct stat st;
    if (fstat(fileno(m_file), &st) != 0)
        return -1;
    return static_cast<std::int64_t>(st.st_size);
}

CFileStreamEx::~CFileStreamEx()
{
    if (m_map != nullptr)
        munmap(const_cast<BYTE*>(m_map), m_map_size);
}

std::int64_t CFileStreamEx::read_at(std::uint64_t offset, void* data, std::size_t size)
{
    if (m_map != nullptr) {
        if (offset >= m_map_size)
            return 0;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_map_size - offset));
        std::memcpy(data, m_map + offset, n);
        return static_cast<std::int64_t>(n);
    }
    if (m_writing && std::fflush(m_file) != 0)
        return -1;
    return geo_pread(fileno(m_file), offset, data, size);
}

bool CFileStreamEx::map_for_reading()
{
    const std::int64_t bytes = size();
    if (bytes <= 0 || static_cast<std::uint64_t>(bytes) > SIZE_MAX)
        return false;
    void* map = mmap(nullptr, static_cast<std::size_t>(bytes), PROT_READ, MAP_PRIVATE, fileno(m_file), 0);
    if (map == MAP_FAILED)
        return false;
    m_map = static_cast<const BYTE*>(map);
    m_map_size = static_cast<std::size_t>(bytes);
    return true;
}

// CZlibCompressor

std::size_t CZlibCompressor::bound(std::size_t size)
{
    return compressBound(static_cast<uLong>(size));
}

bool CZlibCompressor::compress(BYTE* out, std::size_t* out_size, const BYTE* in, std::size_t in_size)
{
    uLongf n = static_cast<uLongf>(*out_size);
    if (::compress(out, &n, in, static_cast<uLong>(in_size)) != Z_OK)
        return false;
    *out_size = n;
    return true;
}

// CCompressedStreamWriter

CCompressedStreamWriter::CCompressedStreamWriter(IDataStream* target, ICompressor* compressor)
    : m_target(target), m_compressor(compressor)
{
}

SSGeoDataStatus CCompressedStreamWriter::init()
{
    if (!m_compressor->init())
        return SSGEO_NO_MEMORY;
    if (!m_in.allocate(SSGEO_BLOCK_SIZE) || !m_out.allocate(m_compressor->bound(SSGEO_BLOCK_SIZE)))
        return SSGEO_NO_MEMORY;
    return SSGEO_OK;
}

std::int64_t CCompressedStreamWriter::write(const void* data, std::size_t size)
{
    const std::uint64_t before = m_raw_position;
    const BYTE* p = static_cast<const BYTE*>(data);
    while (size > 0) {
        const std::size_t n = std::min(size, SSGEO_BLOCK_SIZE - m_filled);
        std::memcpy(m_in.get() + m_filled, p, n);
        m_filled += n;
        m_raw_position += n;
        p += n;
        size -= n;
        // A full block goes out at once, so a stream of whole blocks ends
        // without an empty one.
        if (m_filled == SSGEO_BLOCK_SIZE && !flush())
            return -1;
    }
    return static_cast<std::int64_t>(before);
}

bool CCompressedStreamWriter::flush()
{
    if (m_filled == 0)
        return true;
    std::size_t stored = m_out.count();
    const BYTE* bytes = m_out.get();
    if (!m_compressor->compress(m_out.get(), &stored, m_in.get(), m_filled) || stored >= m_filled) {
        stored = m_filled;
        bytes = m_in.get();
    }
    BYTE header[SSGEO_BLOCK_HEADER];
    xr_bytes::put_u16_le(header, static_cast<std::uint16_t>(m_filled - 1));
    xr_bytes::put_u16_le(header + 2, static_cast<std::uint16_t>(stored - 1));
    m_filled = 0;
    return m_target->write(header, sizeof(header)) >= 0 && m_target->write(bytes, stored) >= 0;
}

// CBufferedStream

bool CBufferedStream::read(void* out, std::size_t size)
{
    BYTE* p = static_cast<BYTE*>(out);
    while (size > 0) {
        if (m_position == m_length && !fill())
            return false;
        const std::size_t n = std::min(size, m_length - m_position);
        if (p != nullptr) {
            std::memcpy(p, m_buffer + m_position, n);
            p += n;
        }
        m_position += n;
        size -= n;
    }
    return true;
}

// CFileStream

bool CFileStream::init(int fd, std::uint64_t file_size)
{
    m_fd = fd;
    m_file_size = file_size;
    m_base = 0;
    m_position = m_length = 0;
    if (!m_storage.allocate(SSGEO_BLOCK_SIZE))
        return false;
    m_buffer = m_storage.get();
    return true;
}

void CFileStream::seek(std::uint64_t offset)
{
    if (offset >= m_base && offset <= m_base + m_length) {
        m_position = static_cast<std::size_t>(offset - m_base);
        return;
    }
    m_base = offset;
    m_position = m_length = 0;
}

bool CFileStream::fill()
{
    if (m_buffer == nullptr)
        return false;
    m_base += m_length;
    m_position = m_length = 0;
    if (m_base >= m_file_size)
        return false;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(SSGEO_BLOCK_SIZE, m_file_size - m_base));
    ++m_reads;
    if (!geo_pread_all(m_fd, m_base, m_buffer, n))
        return false;
    m_length = n;
    return true;
}

// CZlibDecompressor

bool CZlibDecompressor::decompress(BYTE* out, std::size_t out_size, const BYTE* in, std::size_t in_size)
{
    if (out_size > INT_MAX || in_size > INT_MAX)
        return false;
    int n = static_cast<int>(out_size);
    return zlib_uncompress(in, static_cast<int>(in_size), out, n) && static_cast<std::size_t>(n) == out_size;
}

// CFileStreamWithCompression

bool CFileStreamWithCompression::init(int fd, std::uint64_t file_size)
{
    m_compressed = false;
    const bool raw = CFileStream::init(fd, file_size);
    return m_points.init(this) && raw;
}
