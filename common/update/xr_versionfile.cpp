#include "common/update/xr_versionfile.h"

#include "common/container/xr_bytes.h"
#include "common/misc/xr_path_resolver.h"

#include <new>

namespace {

constexpr int max_file_size = 1 << 20; // a description is a few lines

XrString trimmed(const BYTE* s, int begin, int end)
{
    while (begin < end && xr_bytes::is_blank(s[begin]))
        ++begin;
    while (end > begin && xr_bytes::is_blank(s[end - 1]))
        --end;
    XrString out;
    for (int i = begin; i < end; ++i) {
        if (s[i] != 0) // a zero byte would end the text
            out += (TCHAR)s[i];
    }
    return out;
}

} // namespace

XrVersionFile::~XrVersionFile()
{
    clear();
}

void XrVersionFile::clear()
{
    for (int i = 0; i < m_entries.get_num_items(); ++i)
        delete m_entries.get_item(i);
    m_entries.remove_all();
}

bool XrVersionFile::load(const XrString& path)
{
    clear();
    BYTE* data = nullptr;
    int size = 0;
    if (!read_whole_file(path, &data, &size, max_file_size))
        return false;
    parse(data, size);
    delete[] data;
    return true;
}

void XrVersionFile::parse(const BYTE* data, int length)
{
    clear();
    int line = 0;
    while (line < length) {
        int end = line;
        while (end < length && data[end] != '\n')
            ++end;
        int colon = line;
        while (colon < end && data[colon] != ':')
            ++colon;
        if (colon < end) {
            int value_end = colon + 1;
            while (value_end < end && data[value_end] != ':')
                ++value_end;
            Entry* e = new (std::nothrow) Entry();
            if (e != nullptr) {
                e->key = trimmed(data, line, colon);
                e->value = trimmed(data, colon + 1, value_end);
                if (!m_entries.append(e))
                    delete e;
            }
        }
        line = end + 1;
    }
}

XrString XrVersionFile::get(const TCHAR* key) const
{
    for (int i = 0; i < m_entries.get_num_items(); ++i) {
        const Entry* e = m_entries.get_item(i);
        if (e->key == key)
            return e->value;
    }
    return XrString();
}
