// Streams of the point index: files and compressed block writers for the
// builder, buffered raw and decompressing readers for the searcher (the
// compressed blocks: xr_geodatalayout.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/container/xr_bytes.h"
#include "common/container/xr_defs.h"
#include "common/db/qt/xr_geodata.h"
#include "common/db/qt/xr_geodatalayout.h"
#include "common/db/qt/xr_geodatamemory.h"
#include "common/db/qt/xr_geodataquad.h"

// Reads up to size bytes at offset of a file descriptor (fewer only at its
// end); the count read, or -1 on an error.
std::int64_t geo_pread(int fd, std::uint64_t offset, void* data, std::size_t size);
inline bool geo_pread_all(int fd, std::uint64_t offset, void* data, std::size_t size)
{
    return geo_pread(fd, offset, data, size) == static_cast<std::int64_t>(size);
}

class IDataStream {
public:
    // Writes size bytes; the position before writing, or -1 on failure.
    virtual std::int64_t write(const void* data, std::size_t size) = 0;
    // Reads exactly size bytes.
    virtual bool read(void* data, std::size_t size) = 0;
    // To an absolute offset.
    virtual bool seek(std::uint64_t offset) = 0;
    virtual std::int64_t tell() = 0;
    // Closes and destroys the stream; false when pending data could not be
    // written.
    virtual bool close() = 0;
    virtual std::int64_t size() = 0;

protected:
    virtual ~IDataStream() = default;
};

// A stream over a file of its own.
class CFileStreamEx : public IDataStream, public CGeoDataObject {
public:
    // Opens path with a fopen mode; 4 or 5 on failure.
    static SSGeoDataStatus open(const char* path, const char* mode, CFileStreamEx** stream);
    // Creates and opens a new file from a mkstemp template (its "XXXXXX"
    // replaced in place), with the permissions fopen would give; 4 or 5.
    static SSGeoDataStatus create_unique(char* name_template, CFileStreamEx** stream);

    std::int64_t write(const void* data, std::size_t size) override;
    bool read(void* data, std::size_t size) override;
    bool seek(std::uint64_t offset) override;
    std::int64_t tell() override { return static_cast<std::int64_t>(m_position); }
    bool close() override;
    std::int64_t size() override;

    // Reads up to size bytes at offset without moving the stream (fewer only
    // at the end of the file); the count read, or -1 on an error. For files
    // not written since they were opened.
    std::int64_t read_at(std::uint64_t offset, void* data, std::size_t size);
    // Maps the file for read_at when the system allows it (saves a system
    // call per read); false leaves reads to the file.
    bool map_for_reading();

private:
    explicit CFileStreamEx(std::FILE* file) : m_file(file) {}
    ~CFileStreamEx() override;
    bool switch_to(bool writing);

    std::FILE* m_file;
    const BYTE* m_map = nullptr;
    std::size_t m_map_size = 0;
    std::uint64_t m_position = 0;
    bool m_writing = false;
    bool m_reading = false;
};

class ICompressor {
public:
    virtual bool init() = 0;
    // Most bytes a compressed block of size raw bytes can take.
    virtual std::size_t bound(std::size_t size) = 0;
    // Compresses in into out (capacity *out_size); the stored size in
    // *out_size.
    virtual bool compress(BYTE* out, std::size_t* out_size, const BYTE* in, std::size_t in_size) = 0;

protected:
    virtual ~ICompressor() = default;
};

class CZlibCompressor : public ICompressor {
public:
    bool init() override { return true; }
    std::size_t bound(std::size_t size) override;
    bool compress(BYTE* out, std::size_t* out_size, const BYTE* in, std::size_t in_size) override;
};

// Buffers writes into blocks of SSGEO_BLOCK_SIZE raw bytes and writes each
// block to the target when full and on flush.
class CCompressedStreamWriter : public IDataStream, public CGeoDataObject {
public:
    CCompressedStreamWriter(IDataStream* target, ICompressor* compressor);
    ~CCompressedStreamWriter() override = default;
    // Allocates the buffers; 4 on failure.
    SSGeoDataStatus init();

    // The raw position before writing, or -1 when a block cannot be written.
    std::int64_t write(const void* data, std::size_t size) override;
    bool read(void*, std::size_t) override { return false; }
    bool seek(std::uint64_t) override { return false; }
    std::int64_t tell() override { return static_cast<std::int64_t>(m_raw_position); }
    // Flushes; the target stays open.
    bool close() override { return flush(); }
    std::int64_t size() override { return tell(); }

    // Writes the pending block when it holds data.
    bool flush();
    // Starts a new raw stream (after a flush).
    void restart() { m_raw_position = 0; }

private:
    IDataStream* m_target;
    ICompressor* m_compressor;
    CGeoDataBuffer<BYTE> m_in;
    CGeoDataBuffer<BYTE> m_out;
    std::size_t m_filled = 0;
    std::uint64_t m_raw_position = 0;
};

// Reading side.

class CBufferedStream {
public:
    virtual ~CBufferedStream() = default;
    // Exactly size bytes (out may be null to skip them).
    bool read(void* out, std::size_t size);
    // Buffered bytes not yet read.
    std::size_t buffered() const { return m_length - m_position; }

protected:
    // Refills the buffer (m_position = 0, m_length > 0); false at the end
    // or on an error.
    virtual bool fill() = 0;

    BYTE* m_buffer = nullptr;
    std::size_t m_position = 0;
    std::size_t m_length = 0;
};

// Raw reader over a file descriptor shared with other readers: every refill
// reads at the reader's own position.
class CFileStream : public CBufferedStream {
public:
    // Allocates the buffer; false on failure (reads then fail).
    bool init(int fd, std::uint64_t file_size);
    // Repositions, keeping the buffer when the offset lies inside it.
    void seek(std::uint64_t offset);
    std::uint64_t tell() const { return m_base + m_position; }
    std::uint32_t get_read_count() const { return m_reads; }

protected:
    bool fill() override;

private:
    CGeoDataBuffer<BYTE> m_storage;
    int m_fd = -1;
    std::uint64_t m_file_size = 0;
    // File offset of the buffer's first byte.
    std::uint64_t m_base = 0;
    std::uint32_t m_reads = 0;
};

class IDecompressor {
public:
    // Decompresses in into exactly out_size bytes.
    virtual bool decompress(BYTE* out, std::size_t out_size, const BYTE* in, std::size_t in_size) = 0;

protected:
    virtual ~IDecompressor() = default;
};

class CZlibDecompressor : public IDecompressor {
public:
    bool decompress(BYTE* out, std::size_t out_size, const BYTE* in, std::size_t in_size) override;
};

// Reads the raw bytes of the blocks that a raw reader delivers.
template <class Decompressor>
class CCompressedStream : public CBufferedStream {
public:
    bool init(CFileStream* source)
    {
        m_source = source;
        if (!m_out.allocate(SSGEO_BLOCK_SIZE) || !m_in.allocate(SSGEO_BLOCK_SIZE))
            return false;
        m_buffer = m_out.get();
        return true;
    }
    // Drops what is left of the current block.
    void reset() { m_position = m_length = 0; }

protected:
    bool fill() override
    {
        BYTE header[SSGEO_BLOCK_HEADER];
        if (m_buffer == nullptr || !m_source->read(header, sizeof(header)))
            return false;
        const std::size_t raw = xr_bytes::get_u16_le(header) + 1u;
        const std::size_t stored = xr_bytes::get_u16_le(header + 2) + 1u;
        if (raw > SSGEO_BLOCK_SIZE || stored > raw)
            return false;
        if (stored == raw) {
            if (!m_source->read(m_out.get(), raw))
                return false;
        } else if (!m_source->read(m_in.get(), stored) ||
                   !m_decompressor.decompress(m_out.get(), raw, m_in.get(), stored)) {
            return false;
        }
        m_position = 0;
        m_length = raw;
        return true;
    }

private:
    CFileStream* m_source = nullptr;
    Decompressor m_decompressor;
    CGeoDataBuffer<BYTE> m_out;
    CGeoDataBuffer<BYTE> m_in;
};

// The data file reader of a cursor: the raw reader, and the decompressing
// reader over it for the points of a leaf.
class CFileStreamWithCompression : public CFileStream {
public:
    bool init(int fd, std::uint64_t file_size);
    // Reads through the decompressing reader from now on (true) or the raw
    // reader (false); switching drops any undelivered raw bytes of a block.
    void set_compressed(bool compressed)
    {
        m_compressed = compressed;
        m_points.reset();
    }
    // Reads exactly size bytes from the reader in force (out may be null).
    bool read_bytes(void* out, std::size_t size)
    {
        return m_compressed ? m_points.read(out, size) : CFileStream::read(out, size);
    }
    // Raw bytes of the current block not yet read.
    std::size_t pending_points_bytes() const { return m_points.buffered(); }

private:
    CCompressedStream<CZlibDecompressor> m_points;
    bool m_compressed = false;
};
