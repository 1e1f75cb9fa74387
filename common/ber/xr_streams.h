// Byte streams that carry encoded bags and HTTP bodies: input over a byte
// array or a compressed bag, output into a growing array or spilling to a
// temporary file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/container/xr_bytearray.h"

class XrFile;
class XrPropertyBag;

class XrInputStream {
public:
    virtual ~XrInputStream() = default;
    // The total size; true.
    virtual bool get_size(std::size_t* out) = 0;
    virtual std::size_t get_position() = 0;
    // A pointer to the next *size bytes, advancing past them; *size is
    // lowered to what remains when fewer bytes are left.
    virtual const BYTE* read(std::size_t* size) = 0;
    // Nothing to do for these streams.
    virtual void close() {}
};

class XrByteArrayInputStream : public XrInputStream {
public:
    // Reads the caller's array (not owned) from position 0.
    explicit XrByteArrayInputStream(XrByteArray* array) : m_array(array) {}
    ~XrByteArrayInputStream() override;
    XrByteArrayInputStream(const XrByteArrayInputStream&) = delete;
    XrByteArrayInputStream& operator=(const XrByteArrayInputStream&) = delete;

    bool get_size(std::size_t* out) override;
    std::size_t get_position() override { return m_position; }
    const BYTE* read(std::size_t* size) override;

protected:
    XrByteArrayInputStream() = default;

    XrByteArray* m_array = nullptr;
    bool m_owns = false;
    std::size_t m_position = 0;
};

// The zlib stream (compress) of a bag's BER encoding; the stream owns it.
// A bag that cannot be encoded or compressed gives an empty stream.
class XrBagInputStream : public XrByteArrayInputStream {
public:
    explicit XrBagInputStream(const XrPropertyBag& bag);
};

class XrOutputStream {
public:
    virtual ~XrOutputStream() = default;
    virtual void reset() = 0;
    virtual std::size_t get_size() = 0;
    // Returns n, or 0 when the bytes could not be kept.
    virtual std::size_t write(const void* data, std::size_t n) = 0;
    // The bytes written (owned by the stream); null when they cannot be had.
    virtual XrByteArray* get_byte_array() = 0;
    // The same, handed to the caller; the stream holds none afterwards.
    virtual XrByteArray* detach_byte_array() = 0;
};

class XrByteArrayOutputStream : public XrOutputStream {
public:
    XrByteArrayOutputStream();
    ~XrByteArrayOutputStream() override;
    XrByteArrayOutputStream(const XrByteArrayOutputStream&) = delete;
    XrByteArrayOutputStream& operator=(const XrByteArrayOutputStream&) = delete;

    // Replaces the array by a new empty one.
    void reset() override;
    std::size_t get_size() override;
    std::size_t write(const void* data, std::size_t n) override;
    XrByteArray* get_byte_array() override { return m_array; }
    XrByteArray* detach_byte_array() override;

protected:
    XrByteArray* m_array = nullptr;
};

// Keeps at most limit bytes in memory: beyond it the bytes move to the end
// of a temporary file, and come back in front of the memory bytes when the
// array is asked for.
class XrSwappingOutputStream : public XrByteArrayOutputStream {
public:
    explicit XrSwappingOutputStream(std::size_t limit);
    ~XrSwappingOutputStream() override;

    // Empties the stream and deletes the temporary file.
    void reset() override;
    std::size_t get_size() override;
    std::size_t write(const void* data, std::size_t n) override;
    XrByteArray* get_byte_array() override;
    XrByteArray* detach_byte_array() override;

    // The temporary file in use, or null.
    const XrFile* get_file() const { return m_file; }

private:
    bool spill();
    bool unspill();
    void delete_file();

    std::size_t m_limit;
    XrFile* m_file = nullptr;
};
