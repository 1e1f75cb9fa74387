#include "kestrova-gpsd-helper/xr_debug_log.h"

#include <cstdarg>

XrDebugLog::~XrDebugLog()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

bool XrDebugLog::open(const std::string& path)
{
    if (m_file == nullptr && !path.empty())
        m_file = std::fopen(path.c_str(), "w");
    return m_file != nullptr;
}

void XrDebugLog::log(const char* format, ...)
{
    if (m_file == nullptr)
        return;
    std::fprintf(m_file, "%s: ", m_name.c_str());
    va_list args;
    va_start(args, format);
    std::vfprintf(m_file, format, args);
    va_end(args);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}
