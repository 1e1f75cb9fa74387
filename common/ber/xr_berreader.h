// Sequential readers over a storage accessor: bytes and little-endian words,
// and whole BER items.
#pragma once

#include <cstdint>

#include "common/container/xr_defs.h"

class XrStorageAccessor;
class XrBerRecord;

class XrStorageReader {
public:
    enum Status {
        OK = 0,
        END = 1,    // the bytes run past the end of the storage
        FAILED = 2, // the accessor failed, or the data is damaged
    };

    // The accessor is not owned.
    explicit XrStorageReader(XrStorageAccessor* accessor) : m_position(0), m_accessor(accessor) {}
    virtual ~XrStorageReader() = default;

    // Reads n bytes at the position into out and advances.
    int read_bytes(BYTE* out, std::uint32_t n);
    int read_byte(BYTE& out);
    // Four bytes, least significant first.
    int read_u32(std::uint32_t& out);

    std::uint32_t get_position() const { return m_position; }
    void set_position(std::uint32_t position) { m_position = position; }
    // Bytes between the position and the end of the storage.
    std::uint32_t get_remaining() const;

protected:
    std::uint32_t m_position;
    XrStorageAccessor* m_accessor;
};

class XrBerReader : public XrStorageReader {
public:
    explicit XrBerReader(XrStorageAccessor* accessor) : XrStorageReader(accessor) {}

    // Reads the item at the position into a new owning record: OK, END when
    // the item runs past the storage, FAILED for an accessor failure or a
    // damaged header (more than 4 length octets, the indefinite form, a
    // long-form length beyond the storage).
    int read_record(XrBerRecord** out);
};
