#include "common/misc/xr_uid.h"

#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "common/misc/xr_path_resolver.h"

namespace {

std::uint32_t g_uid_counter = 0;

} // namespace

void XrUid::clear()
{
    std::memset(m_bytes, 0, sizeof m_bytes);
}

bool XrUid::is_set() const
{
    for (BYTE b : m_bytes) {
        if (b != 0)
            return true;
    }
    return false;
}

void XrUid::set(const BYTE bytes[16])
{
    std::memcpy(m_bytes, bytes, sizeof m_bytes);
}

void XrUid::get(BYTE bytes[16]) const
{
    std::memcpy(bytes, m_bytes, sizeof m_bytes);
}

bool XrUid::operator==(const XrUid& o) const
{
    return std::memcmp(m_bytes, o.m_bytes, sizeof m_bytes) == 0;
}

XrUidGenerator::XrUidGenerator()
{
    md5_init(m_ctx);
    add_int(static_cast<int>(get_tick_count_ms()));

    timeval now{};
    gettimeofday(&now, nullptr);
    const std::int64_t wall[2] = {static_cast<std::int64_t>(now.tv_sec), static_cast<std::int64_t>(now.tv_usec)};
    add_bytes(wall, sizeof wall);
    add_int(static_cast<int>(getpid()));
    add_int(static_cast<int>(++g_uid_counter));
}

void XrUidGenerator::add_bytes(const void* data, std::size_t size)
{
    md5_update(m_ctx, static_cast<const BYTE*>(data), size);
}

void XrUidGenerator::add_int(int value)
{
    add_bytes(&value, sizeof value);
}

void XrUidGenerator::add_string(const XrString& text)
{
    add_bytes(text.c_str(), static_cast<std::size_t>(text.length()) * sizeof(TCHAR));
}

void XrUidGenerator::get_uid(XrUid& uid)
{
    BYTE digest[16];
    md5_final(m_ctx, digest);
    uid.set(digest);
}
