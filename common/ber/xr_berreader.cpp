#include "common/ber/xr_berreader.h"

#include <cstring>
#include <new>

#include "common/ber/xr_berrecord.h"
#include "common/container/xr_bytes.h"
#include "common/storage/xr_storageaccessor.h"

std::uint32_t XrStorageReader::get_remaining() const
{
    const std::uint32_t size = m_accessor->get_size();
    return m_position < size ? size - m_position : 0;
}

int XrStorageReader::read_bytes(BYTE* out, std::uint32_t n)
{
    if (n > get_remaining())
        return END;
    if (n == 0)
        return OK;
    const BYTE* p = nullptr;
    if (m_accessor->get_ptr(m_position, n, &p) != XrStorageAccessor::OK) {
        m_accessor->release_ptr(p);
        return FAILED;
    }
    std::memcpy(out, p, n);
    m_accessor->release_ptr(p);
    m_position += n;
    return OK;
}

int XrStorageReader::read_byte(BYTE& out)
{
    return read_bytes(&out, 1);
}

int XrStorageReader::read_u32(std::uint32_t& out)
{
    BYTE b[4];
    const int r = read_bytes(b, 4);
    if (r == OK)
        out = xr_bytes::get_u32_le(b);
    return r;
}

int XrBerReader::read_record(XrBerRecord** out)
{
    const std::uint32_t start = m_position;
    // Tag and length octets: at most 5 each.
    BYTE head[10];
    std::uint32_t n = 0;
    int r = read_byte(head[n++]);
    if (r != OK)
        return r;
    if ((head[0] & 31) == 31) {
        do {
            if (n == 5)
                return FAILED;
            r = read_byte(head[n++]);
            if (r != OK)
                return r;
        } while (head[n - 1] & 0x80);
    }
    const std::uint32_t tag_octets = n;
    r = read_byte(head[n++]);
    if (r != OK)
        return r;
    std::uint32_t length = head[tag_octets];
    if (length & 0x80) {
        const std::uint32_t count = length & 0x7F;
        if (count == 0 || count > 4)
            return FAILED;
        if (count > get_remaining())
            return FAILED;
        r = read_bytes(head + n, count);
        if (r != OK)
            return r;
        n += count;
        length = 0;
        for (std::uint32_t i = tag_octets + 1; i < n; ++i)
            length = (length << 8) | head[i];
        if (length > get_remaining())
            return FAILED;
    } else if (length > get_remaining()) {
        return END;
    }
    int cls;
    bool constructed;
    std::uint32_t number;
    if (ber_decode_tag(head, n, &cls, &constructed, &number) < 0)
        return FAILED;
    BYTE* data = new (std::nothrow) BYTE[n + length];
    if (data == nullptr)
        return FAILED;
    std::memcpy(data, head, n);
    r = read_bytes(data + n, length);
    if (r != OK) {
        delete[] data;
        m_position = start;
        return r;
    }
    *out = new XrBerRecord(data, n + length, true);
    return OK;
}
