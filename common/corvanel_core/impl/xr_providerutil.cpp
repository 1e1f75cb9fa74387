#include "common/corvanel_core/impl/xr_providerutil.h"

#include <climits>
#include <cstdio>
#include <memory>

#include "common/container/xr_bytearray.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/db/xr_aggregategeomstorage.h"
#include "common/db/xr_datasource.h"
#include "common/map/xr_geomlayer.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_utf8.h"
#include "common/os/xr_file.h"

namespace {

XrNoteFunction g_note = nullptr;

// Largest user text file read.
constexpr int max_user_file = 16 * 1024 * 1024;

} // namespace

XrMapProvider* xr_map_provider()
{
    return XrMapProvider::get_instance();
}

XrAggregateGeomStorage* xr_poi_layer_storage()
{
    XrMapProvider* maps = xr_map_provider();
    auto* layer = maps != nullptr ? dynamic_cast<XrGeomLayer*>(maps->get_poi_layer()) : nullptr;
    return layer != nullptr ? layer->get_storage() : nullptr;
}

bool xr_add_text_record(XrGeomStorage* storage, int id, const XrPoint& point, int type, const XrString& label)
{
    std::string utf8;
    xr_userfile::append_utf8(utf8, label);
    XrTextGeomRec rec(id, point.x, point.y, static_cast<unsigned short>(type), 0, utf8.c_str());
    XrGeomStorage::XrRecordType kind;
    XrByteArray blob(64, 64);
    if (!rec.get_blob(kind, blob))
        return false;
    return storage->add_record(kind, blob.get_items(), static_cast<size_t>(blob.get_num_items())) ==
           XrGeomStorage::OK;
}

void xr_set_note_function(XrNoteFunction f)
{
    g_note = f;
}

void xr_show_note(int text_id)
{
    XrString text;
    text.load_text(text_id);
    xr_show_note_text(text);
}

void xr_show_note_text(const XrString& text)
{
    if (g_note != nullptr) {
        g_note(text);
        return;
    }
    std::string utf8;
    xr_userfile::append_utf8(utf8, text);
    std::fprintf(stderr, "%s\n", utf8.c_str());
}

namespace xr_userfile {

XrString trimmed(const XrString& text)
{
    XrString s(text);
    s.trim(L" \t");
    return s;
}

void split_lines(const BYTE* data, int size, std::vector<XrString>& out)
{
    int pos = 0;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
        pos = 3;
    while (pos < size) {
        int end = pos;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        std::string bytes(reinterpret_cast<const char*>(data + pos), static_cast<std::size_t>(end - pos));
        pos = end + 1;
        XrString line;
        const BYTE* b = reinterpret_cast<const BYTE*>(bytes.c_str());
        if (!XrUTF8::is_valid_utf8(b, static_cast<int>(bytes.size())) ||
            !XrUTF8::decode_utf8(b, static_cast<int>(bytes.size()), line)) {
            line.clear();
            line.assign_latin1(bytes.c_str(), static_cast<int>(bytes.size()));
        }
        line = trimmed(line);
        if (line.is_empty() || line.char_at(0) == L'#')
            continue;
        out.push_back(line);
    }
}

bool read_lines(const XrString& path, std::vector<XrString>& out)
{
    BYTE* raw = nullptr;
    int size = 0;
    if (!read_whole_file(path, &raw, &size, max_user_file))
        return false;
    std::unique_ptr<BYTE[]> data(raw);
    split_lines(data.get(), size, out);
    return true;
}

std::vector<XrString> split_fields(const XrString& line, int max_fields)
{
    std::vector<XrString> fields;
    const TCHAR* p = line.c_str();
    const TCHAR* start = p;
    while (*p != 0) {
        if (*p == L'\\' && p[1] != 0) {
            p += 2;
            continue;
        }
        if (*p == L'|' && static_cast<int>(fields.size()) < max_fields - 1) {
            fields.push_back(XrString(start, static_cast<int>(p - start)));
            start = p + 1;
        }
        ++p;
    }
    fields.push_back(XrString(start, static_cast<int>(p - start)));
    return fields;
}

XrString escape(const XrString& text)
{
    XrString out;
    for (const TCHAR* p = text.c_str(); *p != 0; ++p) {
        switch (*p) {
        case L'\\':
            out += L"\\\\";
            break;
        case L'|':
            out += L"\\|";
            break;
        case L'\r':
            out += L"\\r";
            break;
        case L'\n':
            out += L"\\n";
            break;
        default:
            out += *p;
        }
    }
    return out;
}

XrString unescape(const XrString& text)
{
    XrString out;
    for (const TCHAR* p = text.c_str(); *p != 0; ++p) {
        if (*p == L'\\') {
            switch (p[1]) {
            case L'\\':
            case L'|':
                out += p[1];
                ++p;
                continue;
            case L'r':
                out += L'\r';
                ++p;
                continue;
            case L'n':
                out += L'\n';
                ++p;
                continue;
            default:
                break; // any other backslash is the text's own
            }
        }
        out += *p;
    }
    return out;
}

bool parse_int(const XrString& text, int& out)
{
    const TCHAR* p = text.c_str();
    bool negative = false;
    if (*p == L'-' || *p == L'+')
        negative = *p++ == L'-';
    if (*p == 0)
        return false;
    long long v = 0;
    for (; *p != 0; ++p) {
        if (*p < L'0' || *p > L'9')
            return false;
        v = v * 10 + (*p - L'0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    v = negative ? -v : v;
    if (v > INT_MAX || v < INT_MIN)
        return false;
    out = static_cast<int>(v);
    return true;
}

void append_utf8(std::string& out, const XrString& text)
{
    XrByteArray bytes(64, 0);
    XrUTF8::encode_utf8(text.c_str(), text.length(), bytes);
    out.append(reinterpret_cast<const char*>(bytes.get_items()), static_cast<std::size_t>(bytes.get_num_items()));
}

bool write_lines(const XrString& path, const std::vector<XrString>& lines)
{
    std::string bytes = "\xEF\xBB\xBF";
    for (const XrString& line : lines) {
        append_utf8(bytes, line);
        bytes += "\r\n";
    }
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        return false;
    make_directories(path);
    return write_whole_file(path, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<int>(bytes.size()));
}

} // namespace xr_userfile
