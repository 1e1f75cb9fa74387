// The working buffer of the stored geometry storages: the one bucket that
// cursors read records from, shared by every stored storage of the process,
// with the record of its owner, and the buffers that buckets are inflated
// and checked in. A record handed out stays valid only until any stored
// storage loads another bucket.
#pragma once

#include <cstddef>
#include <memory>

#include "common/db/xr_storedgeomcoding.h"

class XrGeomWorkingBuffer {
public:
    // Bytes of the shared inflate buffer: a size word and the largest bucket.
    static constexpr int SHARED_BYTES = 65537;

    // The process-wide buffer.
    static XrGeomWorkingBuffer& get()
    {
        static XrGeomWorkingBuffer wb;
        return wb;
    }

    XrGeomWorkingBuffer(const XrGeomWorkingBuffer&) = delete;
    XrGeomWorkingBuffer& operator=(const XrGeomWorkingBuffer&) = delete;

    // The bucket when owner's bucket of handle is held; null otherwise.
    const XrGeomBucket* find(const void* owner, std::size_t handle) const
    {
        return m_owner != nullptr && m_owner == owner && m_handle == handle ? &m_bucket : nullptr;
    }
    const XrGeomBucket& bucket() const { return m_bucket; }

    // Holds owner's bucket of handle, which lies in block (null: in no
    // buffer); returns the bucket to fill in.
    XrGeomBucket& hold(const void* owner, std::size_t handle, const BYTE* block);
    // Holds nothing from here on.
    void clear() { m_owner = nullptr; }
    // Clears the buffer when it holds a bucket of owner.
    void release(const void* owner);
    // Clears the buffer when its bucket lies in block (a block going away).
    void release_block(const BYTE* block);

    // The shared inflate buffer of SHARED_BYTES, allocated on first use;
    // null when that fails.
    BYTE* shared();
    // Where side tables are built; the side table of a bucket in the shared
    // buffer stays there.
    XrGeomSideScratch& scratch() { return m_scratch; }

private:
    XrGeomWorkingBuffer() = default;

    const void* m_owner = nullptr;
    std::size_t m_handle = 0;
    const BYTE* m_block = nullptr; // the buffer the bucket lies in
    XrGeomBucket m_bucket;
    std::unique_ptr<BYTE[]> m_shared;
    XrGeomSideScratch m_scratch;
};
