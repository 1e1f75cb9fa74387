#include "tools/mapgen/map_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <map>
#include <sstream>

#include "common/addr/xr_addrlayout.h"
#include "tools/mapgen/geom_tree.h"

namespace {

std::string trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return std::string();
    const size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

// Splits at sep; each piece trimmed.
std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> out;
    size_t from = 0;
    for (;;) {
        const size_t at = s.find(sep, from);
        out.push_back(trim(s.substr(from, at == std::string::npos ? std::string::npos : at - from)));
        if (at == std::string::npos)
            return out;
        from = at + 1;
    }
}

std::vector<std::string> words(const std::string& s)
{
    std::istringstream in(s);
    std::vector<std::string> out;
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

// The first n blank-separated words of s, and the trimmed rest after them.
bool split_head(const std::string& s, size_t n, std::vector<std::string>& head, std::string& tail)
{
    std::istringstream in(s);
    head.assign(n, std::string());
    for (std::string& w : head) {
        if (!(in >> w))
            return false;
    }
    std::getline(in, tail, '\0');
    tail = trim(tail);
    return true;
}

// A whole decimal or 0x number within [lo, hi].
bool number(const std::string& s, long long lo, long long hi, long long& value)
{
    if (s.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 0);
    if (errno != 0 || end == s.c_str() || *end != '\0' || v < lo || v > hi)
        return false;
    value = v;
    return true;
}

template <typename T>
bool number_as(const std::string& s, T& out, long long lo = std::numeric_limits<T>::min(),
               long long hi = static_cast<long long>(std::numeric_limits<T>::max()))
{
    long long v = 0;
    if (!number(s, lo, hi, v))
        return false;
    out = static_cast<T>(v);
    return true;
}

// "\t" in a text stands for a tab (the separator of language alternatives).
std::string unescape_tabs(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 't') {
            out += '\t';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Reads the lines of in: the keyword and the rest of each non-empty,
// non-comment line go to item, which returns an error text ("" = fine).
template <typename Item>
bool each_line(std::istream& in, std::string& error, Item item)
{
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        const std::string t = trim(line);
        if (t.empty() || t[0] == '#')
            continue;
        const size_t space = t.find_first_of(" \t");
        const std::string key = t.substr(0, space);
        const std::string rest = space == std::string::npos ? std::string() : trim(t.substr(space));
        const std::string problem = item(key, rest);
        if (!problem.empty()) {
            error = "line " + std::to_string(n) + ": " + problem;
            return false;
        }
    }
    return true;
}

std::uint32_t tmc_key(std::uint16_t table, std::uint16_t code)
{
    return static_cast<std::uint32_t>(table) << 16 | code;
}

} // namespace

bool xr_parse_addr_text(std::istream& in, XrAddrWriter& writer, std::string& error)
{
    XrAddrFileOptions options;
    std::vector<std::pair<std::string, BYTE>> counties;
    std::map<std::string, size_t> county_index;
    std::vector<std::pair<std::string, XrAddrStreetDef>> streets; // county label, street
    const bool ok = each_line(in, error, [&](const std::string& key, const std::string& rest) -> std::string {
        const std::vector<std::string> w = words(rest);
        if (key == "version") {
            const std::vector<std::string> v = split(rest, '.');
            if (v.size() != 2 || !number_as(v[0], options.major, 6, 6) || !number_as(v[1], options.minor, 0, 3))
                return "version is 6.0 to 6.3";
        } else if (key == "country") {
            if (rest.empty() || rest.size() > 32)
                return "a country name has 1 to 32 bytes";
            options.countries.push_back(rest);
        } else if (key == "language") {
            if (w.size() != 1 || w[0].size() != 3)
                return "a language code has three letters";
            options.languages.push_back(static_cast<unsigned char>(w[0][0]) | static_cast<unsigned char>(w[0][1]) << 8 |
                                        static_cast<unsigned char>(w[0][2]) << 16);
        } else if (key == "suffix") {
            const std::vector<std::string> parts = split(rest, '|');
            if (parts.size() != 2 || options.suffixes.size() >= xr_addr_layout::SUFFIX_ENTRIES)
                return "suffix <appended text> | <short form>, at most 16";
            auto widen = [](const std::string& s) { return std::u16string(s.begin(), s.end()); };
            // Leading blanks of the appended text are kept: " Street".
            options.suffixes.push_back({widen(" " + parts[0]), widen(parts[1])});
        } else if (key == "county") {
            std::vector<std::string> head;
            std::string name;
            BYTE attribute = 0;
            if (!split_head(rest, 2, head, name) || name.empty() || !number_as(head[1], attribute))
                return "county <label> <attribute 0-255> <name>";
            if (county_index.count(head[0]) != 0)
                return "county " + head[0] + " given twice";
            county_index[head[0]] = counties.size();
            counties.push_back({name, attribute});
        } else if (key == "street") {
            const std::vector<std::string> parts = split(rest, '|');
            std::vector<std::string> head;
            XrAddrStreetDef s;
            if (!split_head(parts[0], 2, head, s.name) || s.name.empty() || !number_as(head[1], s.type, 0, 7))
                return "street <county label> <type 0-7> <name> [| <segment>]...";
            if (county_index.count(head[0]) == 0)
                return "no county " + head[0];
            for (size_t i = 1; i < parts.size(); ++i) {
                const std::vector<std::string> n = words(parts[i]);
                XrAddrSegmentDef seg;
                if (n.size() == 1 && number_as(n[0], seg.gid)) {
                    seg.numbers = false;
                } else if (n.size() != 5 || !number_as(n[0], seg.gid) || !number_as(n[1], seg.left_from, 0, 65533) ||
                           !number_as(n[2], seg.left_to, 0, 65533) || !number_as(n[3], seg.right_from, 0, 65533) ||
                           !number_as(n[4], seg.right_to, 0, 65533)) {
                    return "a segment is <gid> or <gid> <left from> <left to> <right from> <right to>";
                }
                s.segments.push_back(seg);
            }
            streets.push_back({head[0], s});
        } else {
            return "unknown item " + key;
        }
        return std::string();
    });
    if (!ok)
        return false;
    writer = XrAddrWriter(options);
    std::vector<std::uint32_t> ids;
    for (const auto& c : counties)
        ids.push_back(writer.add_county(c.first, c.second));
    for (auto& s : streets) {
        s.second.county = ids[county_index[s.first]];
        writer.add_street(s.second);
    }
    return true;
}

bool xr_parse_signs_text(std::istream& in, XrSignsFile& file, std::string& error)
{
    std::map<XrGid, size_t> entry_index;
    return each_line(in, error, [&](const std::string& key, const std::string& rest) -> std::string {
        if (key == "buckets") {
            if (!number_as(rest, file.buckets, 1, 32767))
                return "buckets is 1 to 32767";
        } else if (key == "scheme") {
            const std::vector<std::string> w = words(rest);
            int i = 0;
            if (w.size() != 11 || !number_as(w[0], i, 1, XrSignsFile::NUM_SCHEMES))
                return "scheme <1-20> <nine colour bytes> <shape>";
            XrSignsColorScheme& s = file.schemes[i - 1];
            for (int k = 0; k < 9; ++k) {
                if (!number_as(w[k + 1], s.colors[k]))
                    return "a colour is a byte";
            }
            if (!number_as(w[10], s.shape))
                return "a shape is a byte";
        } else if (key == "sign") {
            const std::vector<std::string> parts = split(rest, '|');
            const std::vector<std::string> path = words(parts[0]);
            XrGid gid = 0;
            if (path.empty() || !number_as(path[0], gid))
                return "sign <gid> [<following gid>]... [| <kind 1-4> <text>]...";
            XrSignsRecord record;
            for (size_t i = 1; i < path.size(); ++i) {
                XrGid g = 0;
                if (!number_as(path[i], g))
                    return "a gid is a 32-bit number";
                record.following.push_back(g);
            }
            for (size_t i = 1; i < parts.size(); ++i) {
                const size_t space = parts[i].find(' ');
                XrSignsInstruction instruction;
                if (space == std::string::npos || !number_as(parts[i].substr(0, space), instruction.kind, 1, 4))
                    return "an instruction is <kind 1-4> <text>";
                instruction.text = unescape_tabs(trim(parts[i].substr(space)));
                record.instructions.push_back(instruction);
            }
            auto found = entry_index.find(gid);
            if (found == entry_index.end()) {
                found = entry_index.emplace(gid, file.entries.size()).first;
                XrSignsEntry e;
                e.gid = gid;
                file.entries.push_back(e);
            }
            file.entries[found->second].records.push_back(record);
        } else {
            return "unknown item " + key;
        }
        return std::string();
    });
}

bool xr_parse_tmc_text(std::istream& in, XrTmcTables& tables, std::string& error)
{
    return each_line(in, error, [&](const std::string& key, const std::string& rest) -> std::string {
        if (key == "buckets") {
            if (!number_as(rest, tables.buckets, 1, 1 << 20))
                return "buckets is 1 to 1048576";
        } else if (key == "path") {
            const std::vector<std::string> parts = split(rest, '|');
            if (parts.size() > 2)
                return "path <edge>... [| <position> <x> <y>, ...]";
            TmcPathDef path;
            for (const std::string& e : words(parts[0])) {
                std::uint32_t edge = 0;
                if (!number_as(e, edge))
                    return "an edge id is a 32-bit number";
                path.edges.push_back(edge);
            }
            if (path.edges.empty() || path.edges.size() > 65535)
                return "a path has 1 to 65535 edges";
            if (parts.size() == 2) {
                for (const std::string& p : split(parts[1], ',')) {
                    const std::vector<std::string> w = words(p);
                    TmcPointDef point;
                    if (w.size() != 3 || !number_as(w[0], point.position) || !number_as(w[1], point.x) ||
                        !number_as(w[2], point.y))
                        return "a point is <position> <x> <y>";
                    path.points.push_back(point);
                }
                std::stable_sort(path.points.begin(), path.points.end(),
                                 [](const TmcPointDef& a, const TmcPointDef& b) { return a.position < b.position; });
            }
            if (tables.paths.size() >= 65535)
                return "at most 65535 paths";
            tables.paths.push_back(path);
        } else if (key == "on") {
            const std::vector<std::string> parts = split(rest, '|');
            const std::vector<std::string> head = words(parts[0]);
            std::uint16_t table = 0, code = 0;
            if (parts.size() < 2 || head.size() != 2 || !number_as(head[0], table) || !number_as(head[1], code))
                return "on <table> <code> | <path id> <position> <extra> [| ...]";
            TmcPathLocationDef record;
            record.key = tmc_key(table, code);
            for (size_t i = 1; i < parts.size(); ++i) {
                const std::vector<std::string> w = words(parts[i]);
                TmcPathEntryDef e;
                if (w.size() != 3 || !number_as(w[0], e.path_id) || !number_as(w[1], e.position) ||
                    !number_as(w[2], e.extra))
                    return "an entry is <path id> <position> <extra>";
                record.entries.push_back(e);
            }
            if (record.entries.size() > 255)
                return "at most 255 entries";
            tables.path_records.push_back(record);
        } else if (key == "location") {
            const std::vector<std::string> w = words(rest);
            std::uint16_t table = 0, code = 0;
            TmcLocationDef location;
            if (w.size() < 4 || !number_as(w[0], table) || !number_as(w[1], code) || !number_as(w[2], location.x) ||
                !number_as(w[3], location.y))
                return "location <table> <code> <x> <y> [<value>]...";
            location.key = tmc_key(table, code);
            for (size_t i = 4; i < w.size(); ++i) {
                std::uint32_t v = 0;
                if (!number_as(w[i], v))
                    return "a value is a 32-bit number";
                location.values.push_back(v);
            }
            tables.locations.push_back(location);
        } else {
            return "unknown item " + key;
        }
        return std::string();
    });
}

bool xr_write_addr_from_stdin(const std::string& path)
{
    XrAddrWriter writer;
    std::string error;
    const bool ok = xr_parse_addr_text(std::cin, writer, error) && writer.write(path, error);
    if (!ok)
        std::fprintf(stderr, "mapgen: %s\n", error.c_str());
    return ok;
}

bool xr_write_signs_from_stdin(const std::string& path)
{
    XrSignsFile file;
    std::string error;
    const bool ok = xr_parse_signs_text(std::cin, file, error) && write_signs(path, file, error);
    if (!ok)
        std::fprintf(stderr, "mapgen: %s\n", error.c_str());
    return ok;
}

bool xr_write_tmc_from_stdin(const std::string& folder)
{
    XrTmcTables tables;
    std::string error;
    bool ok = xr_parse_tmc_text(std::cin, tables, error);
    ok = ok && xr_write_file_atomic(folder + "/tmc_paths.bin",
                                           tmc_paths_file(tables.buckets, tables.path_records, tables.paths), error);
    ok = ok && xr_write_file_atomic(folder + "/tmc_locations.bin",
                                           tmc_locations_file(tables.buckets, tables.locations), error);
    if (!ok)
        std::fprintf(stderr, "mapgen: %s\n", error.c_str());
    return ok;
}

const char* xr_map_text_help()
{
    return "Text inputs (one item a line, '#' starts a comment line, numbers decimal or 0x hex, UTF-8):\n"
           "addr (mapdata/addr.dat):\n"
           "  version 6.3                     file version 6.0 to 6.3 (default 6.3)\n"
           "  country <name>                  country names in index order (at most 32 bytes)\n"
           "  language <code>                 three-letter language codes (6.2 and later)\n"
           "  suffix <text> | <short form>    street-name suffixes (the text follows the name after a\n"
           "                                  blank), at most 16\n"
           "  county <label> <attribute> <name>\n"
           "                                  the attribute byte is the county's country index\n"
           "  street <county label> <type 0-7> <name> [| <segment>]...\n"
           "                                  segment: <gid> <left from> <left to> <right from> <right to>,\n"
           "                                  or <gid> alone for an edge without house numbers\n"
           "signs (mapdata/signs.bin):\n"
           "  buckets <n>                     hash buckets (default: one per four gids)\n"
           "  scheme <1-20> <nine colour bytes> <shape>\n"
           "  sign <gid> [<following gid>]... [| <kind 1-4> <text>]...\n"
           "                                  one signpost of the edge; \\t in a text separates\n"
           "                                  language alternatives (\"eng\\tExit\\tdeu\\tAusfahrt\")\n"
           "tmc (tmc_paths.bin and tmc_locations.bin into the output folder):\n"
           "  buckets <n>                     hash buckets of both tables (default 1)\n"
           "  path <edge>... [| <position> <x> <y>, ...]\n"
           "                                  road paths, numbered from 0 in order, with their points\n"
           "  on <table> <code> | <path id> <position> <extra> [| ...]\n"
           "                                  the paths a location lies on\n"
           "  location <table> <code> <x> <y> [<value>]...\n";
}
