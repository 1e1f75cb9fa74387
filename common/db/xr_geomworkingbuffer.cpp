#include "common/db/xr_geomworkingbuffer.h"

#include <new>

XrGeomBucket& XrGeomWorkingBuffer::hold(const void* owner, std::size_t handle, const BYTE* block)
{
    m_owner = owner;
    m_handle = handle;
    m_block = block;
    m_bucket = XrGeomBucket();
    return m_bucket;
}

void XrGeomWorkingBuffer::release(const void* owner)
{
    if (m_owner == owner)
        m_owner = nullptr;
}

void XrGeomWorkingBuffer::release_block(const BYTE* block)
{
    if (m_owner != nullptr && m_block == block)
        m_owner = nullptr;
}

BYTE* XrGeomWorkingBuffer::shared()
{
    if (m_shared == nullptr)
        m_shared.reset(new (std::nothrow) BYTE[SHARED_BYTES]);
    return m_shared.get();
}
