#include "common/config/xr_memoryconfiguration.h"

#include <algorithm>
#include <string>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"

namespace {

// Bytes of one line that are read; the rest up to the line end is skipped.
// Far above the longest line a saved name and value can make.
constexpr std::size_t max_line_bytes = 1u << 20;

TCHAR fold_ascii(TCHAR c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<TCHAR>(c + 32) : c;
}

bool is_continuation(BYTE b)
{
    return (b & 0xC0) == 0x80;
}

// The characters of a line: UTF-8 when the whole line is valid UTF-8 of one
// to three bytes per character, else one character per byte (ISO 8859-1).
// 0 bytes are left out.
void decode_line(const BYTE* p, std::size_t n, std::wstring& out)
{
    out.clear();
    std::size_t i = 0;
    while (i < n) {
        BYTE b = p[i];
        unsigned int c;
        std::size_t len;
        if (b < 0x80) {
            c = b;
            len = 1;
        } else if (b >= 0xC2 && b < 0xE0 && i + 1 < n && is_continuation(p[i + 1])) {
            // (0xC0 and 0xC1 only start overlong forms of ASCII, a line break among them.)
            c = (b & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu);
            len = 2;
        } else if (b >= 0xE0 && b < 0xF0 && i + 2 < n && is_continuation(p[i + 1]) && is_continuation(p[i + 2]) &&
                   (b != 0xE0 || p[i + 1] >= 0xA0)) {
            c = (b & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6 | (p[i + 2] & 0x3Fu);
            len = 3;
        } else {
            out.clear();
            for (std::size_t j = 0; j < n; ++j) {
                if (p[j] != 0)
                    out += static_cast<TCHAR>(p[j]);
            }
            return;
        }
        if (c != 0)
            out += static_cast<TCHAR>(c);
        i += len;
    }
}

// A string of at most the longest text a string can hold.
XrString to_string(const TCHAR* s, std::size_t n)
{
    return XrString(s, static_cast<int>(std::min<std::size_t>(n, XrString::max_length)));
}

// [begin, end) without blanks at either end.
void trim(const TCHAR*& begin, const TCHAR*& end)
{
    while (begin < end && xr_bytes::is_blank(*begin))
        ++begin;
    while (end > begin && xr_bytes::is_blank(end[-1]))
        --end;
}

// Resolves \n, \t, \r and \\ (a backslash before anything else drops both),
// then removes one leading and one trailing double quote.
std::wstring unescape_value(const TCHAR* begin, const TCHAR* end)
{
    std::wstring v;
    v.reserve(static_cast<std::size_t>(end - begin));
    for (const TCHAR* p = begin; p < end; ++p) {
        if (*p != L'\\') {
            v += *p;
            continue;
        }
        if (++p == end)
            break;
        switch (*p) {
        case L'n': v += L'\n'; break;
        case L't': v += L'\t'; break;
        case L'r': v += L'\r'; break;
        case L'\\': v += L'\\'; break;
        default: break;
        }
    }
    if (!v.empty() && v.front() == L'"')
        v.erase(0, 1);
    if (!v.empty() && v.back() == L'"')
        v.pop_back();
    return v;
}

bool append_utf8(XrByteArray& out, TCHAR ch)
{
    unsigned int c = static_cast<unsigned int>(ch);
    if (c > 0xFFFF)
        c = 0xFFFD; // no 4-byte forms in these files
    BYTE b[3];
    int n;
    if (c < 0x80) {
        b[0] = static_cast<BYTE>(c);
        n = 1;
    } else if (c < 0x800) {
        b[0] = static_cast<BYTE>(0xC0 | c >> 6);
        b[1] = static_cast<BYTE>(0x80 | (c & 0x3F));
        n = 2;
    } else {
        b[0] = static_cast<BYTE>(0xE0 | c >> 12);
        b[1] = static_cast<BYTE>(0x80 | ((c >> 6) & 0x3F));
        b[2] = static_cast<BYTE>(0x80 | (c & 0x3F));
        n = 3;
    }
    return out.append(b, n);
}

bool append_utf8(XrByteArray& out, const XrString& s)
{
    bool ok = true;
    for (const TCHAR* p = s.c_str(); *p != 0 && ok; ++p)
        ok = append_utf8(out, *p);
    return ok;
}

// The value as the reader gives it back: backslashes, line breaks and tabs
// escaped, and quotes round it when a blank or a quote stands at an end
// (the reader trims blanks and strips one quote from each end).
bool append_value(XrByteArray& out, const XrString& value)
{
    const int n = value.length();
    const TCHAR* s = value.c_str();
    bool quote = n > 0 && (s[0] == L' ' || s[0] == L'"' || s[n - 1] == L' ' || s[n - 1] == L'"');
    bool ok = !quote || out.append_byte('"');
    for (int i = 0; i < n && ok; ++i) {
        switch (s[i]) {
        case L'\\': ok = out.append("\\\\"); break;
        case L'\n': ok = out.append("\\n"); break;
        case L'\r': ok = out.append("\\r"); break;
        case L'\t': ok = out.append("\\t"); break;
        default: ok = append_utf8(out, s[i]); break;
        }
    }
    return ok && (!quote || out.append_byte('"'));
}

// True when a value line written with this name reads back the same name.
bool is_storable_name(const TCHAR* name)
{
    if (*name == L'#' || *name == L'[' || *name == L' ' || *name == L'\t')
        return false;
    const TCHAR* p = name;
    for (; *p != 0; ++p) {
        if (*p == L'\r' || *p == L'\n' || *p == L'=')
            return false;
    }
    return p == name || (p[-1] != L' ' && p[-1] != L'\t');
}

// parent + '\' + name; false when it would not fit a string.
bool child_path(const XrString& parent, const TCHAR* name, XrString& out)
{
    std::size_t n = std::char_traits<TCHAR>::length(name);
    if (static_cast<std::size_t>(parent.length()) + 1 + n > static_cast<std::size_t>(XrString::max_length))
        return false;
    out = parent;
    out += L"\\";
    out += name;
    return true;
}

const TCHAR* safe(const TCHAR* s)
{
    return s != nullptr ? s : L"";
}

// The index of the first entry of the name (exact comparison), -1 if none.
int find_entry(const XrMemoryConfiguration::XrValueList* list, const TCHAR* name)
{
    name = safe(name);
    for (int i = 0; i < list->get_count(); ++i) {
        if (list->get_items()[i].name == name)
            return i;
    }
    return -1;
}

} // namespace

// ------------------------------------------------------------ the store

XrMemoryConfiguration::XrMemoryConfiguration(const TCHAR* root)
    : m_root(safe(root)), m_keys(new XrKeyTable(60, true, 80))
{
}

XrMemoryConfiguration::~XrMemoryConfiguration()
{
    XrKeyTable::XrHashIterator it(*m_keys);
    while (XrKeyTable::XrHashSlot* slot = it.get_next())
        delete slot->value;
    delete m_keys;
}

XrMemoryConfiguration::XrValueList* XrMemoryConfiguration::find_list(const XrString& path) const
{
    XrValueList** p = m_keys->find_ptr(path);
    return p != nullptr ? *p : nullptr;
}

XrMemoryConfiguration::XrValueList* XrMemoryConfiguration::add_key(const XrString& path)
{
    XrValueList* list = new XrValueList(5);
    if (!m_keys->insert(path, list)) {
        delete list;
        return nullptr;
    }
    return list;
}

XrConfiguration::Status XrMemoryConfiguration::open_key(const TCHAR* path)
{
    path = safe(path);
    XrString target;
    if (path[0] == L'\\') {
        if (path[1] != 0)
            target = path;
    } else if (!child_path(m_current_key, path, target)) {
        return NOT_FOUND;
    }
    if (find_list(target) == nullptr)
        return NOT_FOUND;
    m_current_key = target;
    return OK;
}

XrConfiguration::Status XrMemoryConfiguration::get_string(const TCHAR* name, XrString& out,
                                                          const TCHAR* default_value)
{
    const XrValueList* list = find_list(m_current_key);
    if (list == nullptr)
        return NOT_FOUND;
    int i = find_entry(list, name);
    if (i >= 0) {
        out = list->get_items()[i].value;
        return OK;
    }
    if (default_value == nullptr)
        return NOT_FOUND;
    out = default_value;
    return OK;
}

XrConfiguration::Status XrMemoryConfiguration::set_string(const TCHAR* name, const TCHAR* value)
{
    if (m_read_only)
        return READ_ONLY;
    XrValueList* list = find_list(m_current_key);
    if (list == nullptr)
        return NOT_FOUND;
    name = safe(name);
    if (!is_storable_name(name))
        return FAILED;
    int i = find_entry(list, name);
    if (i >= 0) {
        list->get_items()[i].value = safe(value);
        return OK;
    }
    return list->append(XrValueEntry{XrString(name), XrString(safe(value))}) ? OK : FAILED;
}

XrConfiguration::Status XrMemoryConfiguration::delete_value(const TCHAR* name)
{
    if (m_read_only)
        return READ_ONLY;
    XrValueList* list = find_list(m_current_key);
    if (list == nullptr)
        return NOT_FOUND;
    int i = find_entry(list, name);
    if (i < 0)
        return NOT_FOUND;
    list->remove_item(i);
    return OK;
}

XrConfiguration::Status XrMemoryConfiguration::create_key(const TCHAR* name)
{
    name = safe(name);
    XrString path;
    if (wide_strpbrk(name, L"\r\n") != nullptr || !child_path(m_current_key, name, path))
        return FAILED;
    if (find_list(path) != nullptr)
        return EXISTS;
    return add_key(path) != nullptr ? OK : FAILED;
}

XrConfiguration::Status XrMemoryConfiguration::delete_key(const TCHAR* name)
{
    if (m_read_only)
        return READ_ONLY;
    if (find_list(m_current_key) == nullptr)
        return NOT_FOUND;
    XrString prefix;
    if (!child_path(m_current_key, safe(name), prefix))
        return OK; // no key can have so long a path
    // The key itself and every path below it: the prefix followed by a
    // separator, so that deleting "a" leaves its sibling "ab".
    const int n = prefix.length();
    XrArray<XrString> doomed(8, 0);
    XrKeyTable::XrHashIterator it(*m_keys);
    while (XrKeyTable::XrHashSlot* slot = it.get_next()) {
        const XrString& path = slot->key;
        if (wide_strncmp(path.c_str(), prefix.c_str(), n) == 0 && (path.length() == n || path.char_at(n) == L'\\'))
            doomed.append(path);
    }
    for (int i = 0; i < doomed.get_num_items(); ++i) {
        const XrString& path = *doomed.get_item_ptr(i);
        while (XrValueList** list = m_keys->find_ptr(path)) {
            delete *list;
            m_keys->remove(path);
        }
    }
    return OK;
}

XrConfigurationIterator* XrMemoryConfiguration::create_key_iterator()
{
    return new XrMemoryConfigurationKeyIterator(*m_keys, m_current_key);
}

XrConfigurationIterator* XrMemoryConfiguration::create_value_iterator()
{
    return new XrMemoryConfigurationValueIterator(find_list(m_current_key));
}

XrConfiguration::Status XrMemoryConfiguration::save()
{
    return OK;
}

// ---------------------------------------------------------- REGEDIT4 text

XrConfiguration::Status XrMemoryConfiguration::open(const BYTE* data, std::size_t size, bool read_only)
{
    m_read_only = read_only;
    XrValueList* current = nullptr;
    std::wstring line;
    std::size_t pos = 0;
    while (pos < size) {
        if (data[pos] == '\r' || data[pos] == '\n') {
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        while (pos < size && data[pos] != '\r' && data[pos] != '\n')
            ++pos;
        decode_line(data + start, std::min(pos - start, max_line_bytes), line);
        Status s = parse_line(line.data(), static_cast<int>(line.size()), current);
        if (s != OK)
            return s;
    }
    if (find_list(XrString()) == nullptr && add_key(XrString()) == nullptr)
        return FAILED;
    return OK;
}

XrConfiguration::Status XrMemoryConfiguration::parse_line(const TCHAR* line, int length, XrValueList*& current)
{
    const TCHAR* p = line;
    const TCHAR* end = line + length;
    while (p < end && xr_bytes::is_blank(*p))
        ++p;
    if (p == end || *p == L'#')
        return OK;

    static const TCHAR header[] = L"regedit4";
    if (end - p == 8 && std::equal(p, end, header, [](TCHAR a, TCHAR b) { return fold_ascii(a) == b; }))
        return OK;

    if (*p == L'[') {
        if (end[-1] != L']' || end - p < 2)
            return BAD_FORMAT;
        const TCHAR* inner = p + 1;
        const TCHAR* inner_end = end - 1;
        const int root_len = m_root.length();
        if (inner_end - inner < root_len)
            return BAD_FORMAT;
        for (int i = 0; i < root_len; ++i) {
            if (to_lower_char(inner[i] & 0xFF) != to_lower_char(m_root.char_at(i) & 0xFF))
                return BAD_FORMAT;
        }
        inner += root_len;
        current = add_key(to_string(inner, static_cast<std::size_t>(inner_end - inner)));
        return current != nullptr ? OK : FAILED;
    }

    if (current == nullptr)
        return BAD_FORMAT;
    const TCHAR* eq = std::find(p, end, L'=');
    const TCHAR* name_begin = p;
    const TCHAR* name_end = eq;
    trim(name_begin, name_end);
    XrValueEntry entry;
    entry.name = to_string(name_begin, static_cast<std::size_t>(name_end - name_begin));
    if (eq != end) {
        const TCHAR* v_begin = eq + 1;
        const TCHAR* v_end = end;
        trim(v_begin, v_end);
        std::wstring v = unescape_value(v_begin, v_end);
        entry.value = to_string(v.data(), v.size());
    }
    return current->append(entry) ? OK : FAILED;
}

bool XrMemoryConfiguration::write_text(XrByteArray& out)
{
    bool ok = out.append("REGEDIT4\n\n");
    XrKeyTable::XrHashIterator it(*m_keys);
    while (XrKeyTable::XrHashSlot* slot = it.get_next()) {
        ok = ok && out.append("\n[") && append_utf8(out, m_root) && append_utf8(out, slot->key) && out.append("]\n");
        const XrValueList* list = slot->value;
        for (int i = 0; ok && i < list->get_count(); ++i) {
            const XrValueEntry& e = list->get_items()[i];
            ok = append_utf8(out, e.name) && out.append_byte('=') && append_value(out, e.value) &&
                 out.append_byte('\n');
        }
        if (!ok)
            return false;
    }
    return ok;
}

// -------------------------------------------------------------- iterators

bool XrConfigurationNameIterator::get_next(XrString& out)
{
    if (m_next >= m_names.get_num_items())
        return false;
    out = *m_names.get_item_ptr(m_next++);
    return true;
}

XrMemoryConfigurationKeyIterator::XrMemoryConfigurationKeyIterator(XrMemoryConfiguration::XrKeyTable& keys,
                                                                   const XrString& path)
{
    const int n = path.length();
    XrMemoryConfiguration::XrKeyTable::XrHashIterator it(keys);
    while (auto* slot = it.get_next()) {
        const XrString& key = slot->key;
        // A direct sub-key: the path, one separator, a name without one.
        if (key.length() <= n + 1 || wide_strncmp(key.c_str(), path.c_str(), n) != 0 || key.char_at(n) != L'\\')
            continue;
        const TCHAR* rest = key.c_str_at(n + 1);
        if (wide_strchr(rest, L'\\') == nullptr)
            m_names.append(XrString(rest));
    }
}

XrMemoryConfigurationValueIterator::XrMemoryConfigurationValueIterator(
    const XrMemoryConfiguration::XrValueList* list)
{
    for (int i = 0; list != nullptr && i < list->get_count(); ++i)
        m_names.append(list->get_items()[i].name);
}
