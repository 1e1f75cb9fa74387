// Random-access byte storage behind one interface: a file, a memory block or
// a growable byte array. Reads hand out a pointer to the requested bytes that
// the caller gives back with release_ptr; every failure is a Status.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/container/xr_defs.h"
#include "common/container/xr_string.h"
#include "common/os/xr_file.h"

class XrByteArray;

class XrStorageAccessor {
public:
    enum Status {
        OK = 0,
        FAILED = 1,      // out of range, or the operation failed
        NOT_ALLOWED = 2, // read-only, or the size cannot change
    };

    XrStorageAccessor() = default;
    virtual ~XrStorageAccessor() = default;
    XrStorageAccessor(const XrStorageAccessor&) = delete;
    XrStorageAccessor& operator=(const XrStorageAccessor&) = delete;

    // Makes length bytes from offset readable through *out.
    virtual Status get_ptr(std::uint32_t offset, std::uint32_t length, const BYTE** out) = 0;
    // Gives a pointer from get_ptr back (null is ignored).
    virtual void release_ptr(const BYTE* ptr) = 0;
    virtual Status write(std::uint32_t offset, std::uint32_t length, const BYTE* data) = 0;
    virtual std::uint32_t get_size() = 0;
    virtual Status set_size(std::uint32_t size) = 0;
    virtual bool is_read_only() = 0;
    // Deletes the underlying storage.
    virtual bool remove() = 0;
    // Replaces the whole contents by length bytes: set_size, then write at 0.
    // The file kind writes a temporary file and renames it over the old one,
    // so a failure leaves the old contents whole.
    virtual Status replace_all(const BYTE* data, std::uint32_t length);
};

class XrBufferableStorageAccessor : public XrStorageAccessor {
public:
    // The whole contents: *size = get_size(), then get_ptr(0, size, out).
    virtual Status get_all(std::size_t* size, const BYTE** out);
    virtual Status get_buffer(std::uint32_t offset, std::uint32_t length, const BYTE** out);
};

// A file; get_ptr reads into a new buffer that release_ptr deletes. Writes
// stay inside the current size (grow it first with set_size).
class XrFileStorageAccessor : public XrBufferableStorageAccessor {
public:
    XrFileStorageAccessor() = default;
    ~XrFileStorageAccessor() override = default;

    // XrFile::create (opened, or made when absent) / XrFile::open_existing.
    bool create(const XrString& path);
    bool open(const XrString& path, bool read_only);

    Status get_ptr(std::uint32_t offset, std::uint32_t length, const BYTE** out) override;
    void release_ptr(const BYTE* ptr) override;
    Status write(std::uint32_t offset, std::uint32_t length, const BYTE* data) override;
    std::uint32_t get_size() override;
    Status set_size(std::uint32_t size) override;
    bool is_read_only() override;
    bool remove() override;
    Status replace_all(const BYTE* data, std::uint32_t length) override;

    XrFile& get_file() { return m_file; }

private:
    XrFile m_file;
};

// A caller's memory block. An owned block is delete[]d with the accessor and
// may shrink; growing is refused.
class XrMemoryStorageAccessor : public XrBufferableStorageAccessor {
public:
    XrMemoryStorageAccessor(bool read_only, BYTE* data, std::uint32_t size, bool owner);
    ~XrMemoryStorageAccessor() override;

    Status get_ptr(std::uint32_t offset, std::uint32_t length, const BYTE** out) override;
    void release_ptr(const BYTE* ptr) override;
    Status write(std::uint32_t offset, std::uint32_t length, const BYTE* data) override;
    std::uint32_t get_size() override;
    Status set_size(std::uint32_t size) override;
    bool is_read_only() override;
    bool remove() override;

private:
    BYTE* m_data;
    std::uint32_t m_size;
    bool m_owner;
    bool m_read_only;
};

// A growable byte array, its own or a caller's. A write at the end appends;
// a write at any other offset inserts, moving the later bytes back. Growing
// with set_size changes nothing (the appending writes grow the array);
// shrinking cuts the array.
class XrByteArrayAccessor : public XrBufferableStorageAccessor {
public:
    XrByteArrayAccessor();
    ~XrByteArrayAccessor() override;

    // Uses the caller's array from now on (not owned; writes are refused).
    void attach(XrByteArray* array);
    XrByteArray* get_array() { return m_array; }

    Status get_ptr(std::uint32_t offset, std::uint32_t length, const BYTE** out) override;
    void release_ptr(const BYTE* ptr) override;
    Status write(std::uint32_t offset, std::uint32_t length, const BYTE* data) override;
    std::uint32_t get_size() override;
    Status set_size(std::uint32_t size) override;
    bool is_read_only() override;
    bool remove() override;
    Status replace_all(const BYTE* data, std::uint32_t length) override;

private:
    XrByteArray* m_array;
    bool m_callers = false;
};

// Bytes read through an accessor, handed back (release_ptr) when the holder
// reads again, is reset or goes away; the accessor must outlive it.
class XrStorageBytes {
public:
    XrStorageBytes() = default;
    ~XrStorageBytes() { reset(); }
    XrStorageBytes(const XrStorageBytes&) = delete;
    XrStorageBytes& operator=(const XrStorageBytes&) = delete;

    // Reads length bytes at offset, handing back what it held first; false
    // (holding nothing) when the accessor cannot give them.
    bool read(XrStorageAccessor* accessor, std::uint32_t offset, std::uint32_t length);
    void reset();
    // The bytes, or null.
    const BYTE* get() const { return m_ptr; }

private:
    XrStorageAccessor* m_accessor = nullptr;
    const BYTE* m_ptr = nullptr;
};

// A file accessor for path (a "file://" prefix is cut), opened or created
// under the path as given; null for any other URL scheme or when the file
// cannot be opened.
XrStorageAccessor* create_storage_accessor(const XrString& path);
// The same URL rule; the path is resolved ("?:" paths) and must exist.
XrStorageAccessor* open_storage_accessor(const XrString& path, bool read_only);
