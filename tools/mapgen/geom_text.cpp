#include "tools/mapgen/geom_text.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>

#include "common/db/xr_heapgeomstorage.h"
#include "common/misc/xr_utf8.h"
#include "tools/mapgen/heapgeom_writer.h"
#include "tools/mapgen/xrqt_writer.h"

namespace {

const char* const kind_names[] = {"mixed", "points", "polylines", "polygons", "texts", "mixed"};

bool parse_long(const std::string& s, long long lo, long long hi, long long& out)
{
    if (s.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(s.c_str(), &end, 0);
    if (errno != 0 || *end != 0 || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool parse_int(const std::string& s, long long lo, long long hi, int& out)
{
    long long v = 0;
    if (!parse_long(s, lo, hi, v))
        return false;
    out = static_cast<int>(v);
    return true;
}

bool parse_point(const std::string& s, XrPoint& p)
{
    size_t comma = s.find(',');
    return comma != std::string::npos && parse_int(s.substr(0, comma), INT_MIN, INT_MAX, p.x) &&
           parse_int(s.substr(comma + 1), INT_MIN, INT_MAX, p.y);
}

bool parse_hex_bytes(const std::string& s, std::vector<BYTE>& out)
{
    if (s.empty() || s.size() % 2 != 0)
        return false;
    out.clear();
    for (size_t i = 0; i < s.size(); i += 2) {
        int v = 0;
        if (!parse_int("0x" + s.substr(i, 2), 0, 255, v) || s[i] == '-' || s[i] == '+')
            return false;
        out.push_back(static_cast<BYTE>(v));
    }
    return true;
}

// The words of a line; the position after each word is kept for texts.
struct Words {
    std::vector<std::string> words;
    std::vector<size_t> ends;
};

Words split(const std::string& line)
{
    Words w;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t')
            ++j;
        w.words.push_back(line.substr(i, j - i));
        w.ends.push_back(j);
        i = j;
    }
    return w;
}

bool option_line(const Words& w, const std::string& line, XrGeomFileOptions& o, std::string& why)
{
    const std::string& key = w.words[0];
    const std::string value = w.words.size() > 1 ? w.words[1] : "";
    bool ok = w.words.size() == 2;
    if (key == "name") {
        size_t at = line.find("name") + 4;
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        o.name = line.substr(at);
        return true;
    }
    if (key == "kind") {
        for (int k = 1; k <= 5; ++k) {
            if (ok && value == kind_names[k]) {
                o.kind = k;
                return true;
            }
        }
        why = "kind is points, polylines, polygons, texts or mixed";
        return false;
    }
    if (key == "ids") {
        o.with_id = value == "on";
        if (ok && (value == "on" || value == "off"))
            return true;
        why = "ids on or off";
        return false;
    }
    if (key == "coords") {
        o.three_byte_coords = value == "3";
        if (ok && (value == "3" || value == "4"))
            return true;
        why = "coords 3 or 4";
        return false;
    }
    struct Numeric {
        const char* key;
        int* field;
        long long lo, hi;
    } numeric[] = {
        {"version", &o.version, 0x10004, 0x10007}, {"aux_width", &o.aux_width, 0, 2},
        {"default_aux", &o.default_aux, -32768, 32767}, {"type_width", &o.type_width, 0, 2},
        {"default_type", &o.default_type, 0, 255}, {"attributes", &o.attr_count, 0, 255},
        {"bucket", &o.bucket_bytes, 64, 65533},
    };
    for (const Numeric& n : numeric) {
        if (key != n.key)
            continue;
        if (ok && parse_int(value, n.lo, n.hi, *n.field))
            return true;
        char range[64];
        std::snprintf(range, sizeof range, n.lo >= 0x10000 ? "%#llx to %#llx" : "%lld to %lld", n.lo, n.hi);
        why = std::string(n.key) + " takes a number from " + range;
        return false;
    }
    why = "unknown item \"" + key + "\"";
    return false;
}

// Takes an "attr=" word at index i when there is one.
bool take_attr(const Words& w, size_t& i, std::vector<BYTE>& attr, std::string& why)
{
    attr.clear();
    if (i >= w.words.size() || w.words[i].compare(0, 5, "attr=") != 0)
        return true;
    if (!parse_hex_bytes(w.words[i].substr(5), attr)) {
        why = "attr= takes hexadecimal bytes";
        return false;
    }
    ++i;
    return true;
}

XrGeomRec* record_line(const Words& w, const std::string& line, std::string& why)
{
    const std::string& key = w.words[0];
    const std::vector<std::string>& a = w.words;
    int id = 0, type = 0, aux = 0;
    std::vector<BYTE> attr;
    if (key == "point" || key == "text") {
        XrPoint p;
        size_t i = 6;
        if (a.size() < 6 || !parse_int(a[1], INT_MIN, INT_MAX, id) || !parse_int(a[2], 0, 0xFFFF, type) ||
            !parse_int(a[3], -32768, 0xFFFF, aux) || !parse_int(a[4], INT_MIN, INT_MAX, p.x) ||
            !parse_int(a[5], INT_MIN, INT_MAX, p.y)) {
            why = key + " takes an id, a type, an aux value, x and y";
            return nullptr;
        }
        if (!take_attr(w, i, attr, why))
            return nullptr;
        std::unique_ptr<XrGeomRec> rec;
        if (key == "point") {
            if (i != a.size()) {
                why = "unexpected \"" + a[i] + "\"";
                return nullptr;
            }
            rec.reset(new XrPointGeomRec(id, p.x, p.y, static_cast<unsigned short>(type), static_cast<short>(aux)));
        } else {
            size_t at = w.ends[i - 1];
            while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
                ++at;
            rec.reset(new XrTextGeomRec(id, p.x, p.y, static_cast<unsigned short>(type),
                                        static_cast<unsigned short>(aux), line.c_str() + at));
        }
        rec->set_attributes(attr.data(), static_cast<int>(attr.size()));
        return rec.release();
    }
    if (key == "polyline" || key == "polygon") {
        if (a.size() < 3 || !parse_int(a[1], INT_MIN, INT_MAX, id) || !parse_int(a[2], 0, 0xFFFF, type)) {
            why = key + " takes an id, a type and points x,y";
            return nullptr;
        }
        size_t i = 3;
        if (!take_attr(w, i, attr, why))
            return nullptr;
        std::unique_ptr<XrPolypointGeomRec> rec(
            new XrPolypointGeomRec(key == "polygon", id, static_cast<unsigned short>(type)));
        for (; i < a.size(); ++i) {
            XrPoint p;
            if (!parse_point(a[i], p)) {
                why = "\"" + a[i] + "\" is not a point x,y";
                return nullptr;
            }
            rec->add_point(p);
        }
        if (rec->get_point_count() == 0) {
            why = key + " without points";
            return nullptr;
        }
        rec->set_attributes(attr.data(), static_cast<int>(attr.size()));
        return rec.release();
    }
    return nullptr;
}

std::string hex(const BYTE* p, int n)
{
    std::string s;
    char buf[3];
    for (int i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", p[i]);
        s += buf;
    }
    return s;
}

} // namespace

bool xr_parse_geom_text(std::istream& in, std::vector<XrGeomRec*>& records, XrGeomFileOptions& options,
                        std::string& error)
{
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Words w = split(line);
        if (w.words.empty() || w.words[0][0] == '#')
            continue;
        std::string why;
        const std::string& key = w.words[0];
        bool is_record = key == "point" || key == "text" || key == "polyline" || key == "polygon";
        if (is_record) {
            XrGeomRec* rec = record_line(w, line, why);
            if (rec != nullptr) {
                records.push_back(rec);
                continue;
            }
        } else if (option_line(w, line, options, why)) {
            continue;
        }
        error = "line " + std::to_string(number) + ": " + why;
        return false;
    }
    return true;
}

bool xr_dump_geom_storage(XrStoredGeomStorage& storage, const XrRectangle* rect, std::ostream& out,
                          std::string& error)
{
    std::unique_ptr<XrGeomCursor> cursor(storage.get_cursor(rect, 0));
    if (cursor == nullptr) {
        error = "cannot read the node table";
        return false;
    }
    XrString name;
    const XrString& n = storage.get_description(name) == XrGeomStorage::OK ? name : storage.get_name();
    XrByteArray utf8;
    XrUTF8::encode_utf8(n.c_str(), -1, utf8);
    out << "name " << std::string(reinterpret_cast<const char*>(utf8.get_items()), utf8.get_num_items()) << "\n";
    out << "kind " << kind_names[storage.get_type()] << "\n";
    out << "ids " << (storage.has_ids() ? "on" : "off") << "\n";
    out << "coords " << (storage.has_three_byte_coords() ? 3 : 4) << "\n";
    out << "aux_width " << storage.get_aux_width() << "\ndefault_aux " << storage.get_default_aux() << "\n";
    out << "type_width " << storage.get_type_width() << "\ndefault_type " << storage.get_default_type() << "\n";
    out << "attributes " << storage.get_attr_count() << "\n";
    const int attr_count = storage.get_attr_count();
    for (;;) {
        const BYTE* rec = nullptr;
        XrGeomStorage::XrRecordType kind = XrGeomStorage::RecPoint;
        XrGeomCursor::Status s = cursor->get_next_record(rec, kind);
        if (s == XrGeomCursor::END)
            return true;
        if (s != XrGeomCursor::OK) {
            error = "a damaged node or bucket";
            return false;
        }
        int id = 0, x = 0, y = 0;
        short type = 0, aux = 0;
        const BYTE* attributes = nullptr;
        std::string attr_word;
        if (kind == XrGeomStorage::RecPoint || kind == XrGeomStorage::RecText) {
            const TCHAR* text = nullptr;
            bool ok = kind == XrGeomStorage::RecPoint ? cursor->get_pt(rec, id, x, y, type, aux, attributes)
                                                      : cursor->get_txt(rec, id, x, y, type, aux, text, attributes,
                                                                        0, nullptr);
            if (!ok) {
                error = "an unreadable record";
                return false;
            }
            // The cursor hands out every point and text of a bucket it reads.
            if (rect != nullptr && (x < rect->left || x > rect->right || y < rect->top || y > rect->bottom))
                continue;
            if (attributes != nullptr && attr_count > 0)
                attr_word = " attr=" + hex(attributes, attr_count);
            int aux_value = kind == XrGeomStorage::RecText ? static_cast<unsigned short>(aux) : aux;
            out << (kind == XrGeomStorage::RecPoint ? "point " : "text ") << id << " "
                << static_cast<unsigned short>(type) << " " << aux_value << " " << x << " " << y << attr_word;
            if (text != nullptr) {
                utf8.remove_all();
                XrUTF8::encode_utf8(text, -1, utf8);
                out << " " << std::string(reinterpret_cast<const char*>(utf8.get_items()), utf8.get_num_items());
            }
            out << "\n";
            continue;
        }
        const BYTE* points = nullptr;
        BYTE coding = 0;
        int count = cursor->get_pp(rec, id, x, y, type, aux, points, coding, attributes);
        if (count <= 0) {
            error = "an unreadable record";
            return false;
        }
        if (attributes != nullptr && attr_count > 0)
            attr_word = " attr=" + hex(attributes, attr_count);
        out << (kind == XrGeomStorage::RecPolyline ? "polyline " : "polygon ") << id << " "
            << static_cast<unsigned short>(type) << attr_word << " " << x << "," << y;
        for (int i = 1; i < count; ++i) {
            cursor->get_pp_next_pt(coding, x, y, points);
            out << " " << x << "," << y;
        }
        out << "\n";
    }
}

bool xr_write_geom_from_stdin(const std::string& path, bool heap)
{
    std::vector<XrGeomRec*> records;
    XrGeomFileOptions options;
    std::string error;
    bool ok = xr_parse_geom_text(std::cin, records, options, error) &&
              (heap ? write_heap_geom(path, records, options, error) : write_xrqt(path, records, options, error));
    for (XrGeomRec* r : records)
        delete r;
    if (!ok)
        std::fprintf(stderr, "mapgen: %s\n", error.c_str());
    return ok;
}
