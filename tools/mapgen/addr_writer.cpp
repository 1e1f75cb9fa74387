#include "tools/mapgen/addr_writer.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <numeric>
#include <set>

#include <zlib.h>

#include "common/container/xr_string.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/misc/xr_utf8.h"

namespace {

using Bytes = std::vector<BYTE>;

constexpr unsigned int VERSION_6_1 = 0x60001;
constexpr unsigned int VERSION_6_2 = 0x60002;
constexpr unsigned int VERSION_6_3 = 0x60003;
constexpr std::uint32_t NO_LIST = 0xFFFFFFFF;
constexpr int ENTRY_SIZE = 15;
constexpr int SUFFIX_UNITS = 20;

void put(Bytes& b, std::uint64_t v, int n)
{
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<BYTE>(v >> (8 * i)));
}

void patch(Bytes& b, size_t at, std::uint64_t v, int n)
{
    for (int i = 0; i < n; ++i)
        b[at + i] = static_cast<BYTE>(v >> (8 * i));
}

bool fail(std::string& error, const std::string& text)
{
    error = text;
    return false;
}

bool zcompress(const Bytes& in, Bytes& out)
{
    uLongf len = compressBound(static_cast<uLong>(in.size()));
    out.resize(len);
    if (compress2(out.data(), &len, in.data(), static_cast<uLong>(in.size()), 9) != Z_OK)
        return false;
    out.resize(len);
    return true;
}

// A street as laid out: its record bytes and where its link goes.
struct Laid {
    Bytes record;
    int link_at = -1; // byte of the link inside the record, -1 = none
    unsigned int block = 0;
    unsigned int offset = 0;
};

struct Block {
    Bytes data;
    bool last = false;
};

// One entry of a tree node as built.
struct Entry {
    unsigned int key = 0;
    int child = -1; // node index, or -1 for a street position
    std::uint32_t position = 0;
    std::uint32_t list = NO_LIST;
    int count = 0;
};

struct Node {
    std::vector<Entry> entries;
    std::uint32_t offset = 0; // file offset
};

class Builder {
public:
    Builder(const XrAddrFileOptions& o, const std::vector<XrAddrStreetSpec>& streets, const Bytes& counties)
        : o(o), streets(streets), counties(counties), version(o.major << 16 | o.minor)
    {
    }

    bool run(Bytes& out, std::vector<std::uint32_t>& positions, unsigned int& block_count, std::string& error);

private:
    int extra_size() const { return version >= VERSION_6_1 ? o.extra_size : 4; }
    bool check(std::string& error);
    void make_keys();
    bool encode(int index, const std::map<std::string, unsigned int>& names, Laid& laid, std::string& error);
    bool lay_out(std::string& error);
    int build_node(size_t lo, size_t hi, size_t depth);
    std::uint32_t county_list(size_t lo, size_t hi);
    bool encode_list(const std::vector<std::uint32_t>& ids, Bytes& out);

    const XrAddrFileOptions& o;
    const std::vector<XrAddrStreetSpec>& streets;
    const Bytes& counties;
    unsigned int version;

    std::vector<std::vector<unsigned int>> keys; // per street
    std::vector<int> order;                      // streets in file order
    std::vector<Laid> laid;                      // per street
    std::vector<Block> blocks;
    std::vector<Node> nodes;
    Bytes lists;
    std::map<std::string, std::uint32_t> list_offsets; // list bytes -> offset
};

bool Builder::check(std::string& error)
{
    if (o.major > 0xFFFF || o.minor > 0xFFFF)
        return fail(error, "bad version");
    if (o.block_size == 0 || o.block_size > 65535)
        return fail(error, "block size must be 1 to 65535");
    if (o.extra_size < 0 || o.extra_size > 0x7FFF)
        return fail(error, "bad extra field size");
    if (o.suffixes.size() > 16)
        return fail(error, "at most 16 suffix entries");
    if (o.languages.size() > 0xFFFF)
        return fail(error, "too many language codes");
    for (const auto& s : o.suffixes) {
        if (s.first.size() + s.second.size() + 2 > SUFFIX_UNITS)
            return fail(error, "suffix entry too long");
    }
    for (size_t i = 0; i < streets.size(); ++i) {
        const XrAddrStreetSpec& s = streets[i];
        for (unsigned char c : s.name) {
            if (c < 16)
                return fail(error, "street name holds a byte below 16");
        }
        if (s.suffix < 0 || s.suffix > 15 || s.type < 0 || s.type > 7 || s.county > 0xFFFFF)
            return fail(error, "bad suffix, type or county of street " + s.name);
        if (s.segments.size() > 8191)
            return fail(error, "too many segments");
        if (s.link >= static_cast<int>(streets.size()) || s.link < -1)
            return fail(error, "bad link of street " + s.name);
    }
    return true;
}

unsigned int fold_key(wchar_t c)
{
    return XrAddrWriter::tree_key(XrUnicodeUtil::get_instance()->fold_char(c));
}

void Builder::make_keys()
{
    keys.resize(streets.size());
    for (size_t i = 0; i < streets.size(); ++i) {
        const XrAddrStreetSpec& s = streets[i];
        XrString name;
        XrUTF8::decode_utf8(reinterpret_cast<const BYTE*>(s.name.data()), static_cast<int>(s.name.size()), name);
        std::vector<unsigned int>& k = keys[i];
        for (int j = 0; j < name.length(); ++j) {
            unsigned int c = fold_key(name.char_at(j));
            if (c != 0)
                k.push_back(c);
        }
        if (s.suffix > 0 && s.suffix <= static_cast<int>(o.suffixes.size())) {
            for (char16_t c : o.suffixes[s.suffix - 1].first) {
                unsigned int f = fold_key(c);
                if (f != 0)
                    k.push_back(f);
            }
        }
    }
    order.resize(streets.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a] < keys[b]; });
}

// The record of street index; names maps the names written in place in the
// current block (bytes and ending code) to their offsets.
bool Builder::encode(int index, const std::map<std::string, unsigned int>& names, Laid& l, std::string& error)
{
    const XrAddrStreetSpec& s = streets[index];
    Bytes& r = l.record;
    r.clear();
    l.link_at = -1;
    std::string key = s.name + static_cast<char>(s.suffix);
    auto shared = o.share_names ? names.find(key) : names.end();
    std::uint32_t head = s.county | static_cast<std::uint32_t>(s.type) << 20;
    if (shared != names.end())
        head |= 1u << 23;
    put(r, head, 3);
    if (version >= VERSION_6_2)
        put(r, static_cast<unsigned int>(s.language) & 0xFF, 1);
    if (shared != names.end()) {
        put(r, shared->second, 2);
    } else {
        r.insert(r.end(), s.name.begin(), s.name.end());
        put(r, s.suffix, 1);
    }
    const int e = extra_size();
    auto extra = [&]() {
        if (e >= 4) {
            l.link_at = static_cast<int>(r.size());
            put(r, 0xFFFFFFFF, 4);
            r.insert(r.end(), e - 4, 0);
        } else {
            r.insert(r.end(), e, 0);
        }
    };
    if (s.segments.empty()) {
        put(r, 0, 1);
        put(r, s.gid, 4);
        extra();
        return true;
    }
    put(r, 1, 1);
    if (version >= VERSION_6_3)
        extra();

    const size_t n = s.segments.size();
    bool same_upper = true;
    bool fit_bytes = true;
    for (const XrAddrSegmentSpec& g : s.segments) {
        same_upper = same_upper && (g.gid >> 16) == (s.segments[0].gid >> 16);
        if (!g.numbers)
            continue;
        auto side_fits = [](int from, int to, bool mixed, int top, int limit, int none) {
            int stored = from | (mixed ? top : 0);
            return from >= 0 && from < top && to >= 0 && to < limit && stored != none;
        };
        fit_bytes = fit_bytes && side_fits(g.left_from, g.left_to, g.left_mixed, 0x80, 0x100, 0xFF) &&
                    side_fits(g.right_from, g.right_to, g.right_mixed, 0x80, 0x100, 0x100);
        bool fit_words = side_fits(g.left_from, g.left_to, g.left_mixed, 0x8000, 0x10000, 0xFFFE) &&
                         side_fits(g.right_from, g.right_to, g.right_mixed, 0x8000, 0x10000, 0x10000);
        if (!fit_words)
            return fail(error, "house numbers out of range in street " + s.name);
    }
    bool bytes = s.byte_numbers == XrAddrStreetSpec::AUTO ? fit_bytes : s.byte_numbers == XrAddrStreetSpec::ON;
    bool upper = s.common_upper == XrAddrStreetSpec::AUTO ? same_upper : s.common_upper == XrAddrStreetSpec::ON;
    if ((bytes && !fit_bytes) || (upper && !same_upper))
        return fail(error, "forced segment form does not fit street " + s.name);

    BYTE flags = static_cast<BYTE>((upper ? 0x40 : 0) | (bytes ? 0x80 : 0));
    if (n < 32 && !s.long_count) {
        put(r, flags | 0x20 | n, 1);
    } else {
        put(r, flags | (n >> 8), 1);
        put(r, n & 0xFF, 1);
    }
    if (upper)
        put(r, s.segments[0].gid >> 16, 2);
    for (const XrAddrSegmentSpec& g : s.segments) {
        put(r, g.gid, upper ? 2 : 4);
        const int top = bytes ? 0x80 : 0x8000;
        const int w = bytes ? 1 : 2;
        if (!g.numbers) {
            put(r, bytes ? 0xFF : 0xFFFE, w);
            continue;
        }
        put(r, g.left_from | (g.left_mixed ? top : 0), w);
        put(r, g.left_to, w);
        put(r, g.right_from | (g.right_mixed ? top : 0), w);
        put(r, g.right_to, w);
    }
    return true;
}

bool Builder::lay_out(std::string& error)
{
    laid.resize(streets.size());
    std::map<std::string, unsigned int> names;
    Block cur;
    auto close = [&](bool last) {
        cur.last = last;
        blocks.push_back(cur);
        cur = Block();
        names.clear();
    };
    for (size_t i = 0; i < order.size(); ++i) {
        const int index = order[i];
        Laid& l = laid[index];
        if (!encode(index, names, l, error))
            return false;
        if (!cur.data.empty() && cur.data.size() + l.record.size() > o.block_size) {
            close(false);
            if (!encode(index, names, l, error))
                return false;
        }
        if (l.record.size() > o.block_size)
            return fail(error, "street record larger than a block: " + streets[index].name);
        const XrAddrStreetSpec& s = streets[index];
        l.block = static_cast<unsigned int>(blocks.size());
        l.offset = static_cast<unsigned int>(cur.data.size());
        std::string key = s.name + static_cast<char>(s.suffix);
        if (o.share_names && names.find(key) == names.end())
            names[key] = l.offset + 3 + (version >= VERSION_6_2 ? 1 : 0);
        cur.data.insert(cur.data.end(), l.record.begin(), l.record.end());
        if (s.ends_sequence && i + 1 < order.size())
            close(true);
    }
    if (!order.empty())
        close(true);
    if (blocks.size() >= 0xFFFF)
        return fail(error, "too many blocks");
    // Links, now that every record has its place.
    for (size_t i = 0; i < streets.size(); ++i) {
        const Laid& l = laid[i];
        if (l.link_at < 0)
            continue;
        int target = streets[i].link;
        if (target < 0 && version >= VERSION_6_3)
            target = static_cast<int>(i);
        std::uint32_t link = target < 0 ? 0xFFFFFFFF : laid[target].block << 16 | laid[target].offset;
        patch(blocks[l.block].data, l.offset + l.link_at, link, 4);
    }
    return true;
}

bool Builder::encode_list(const std::vector<std::uint32_t>& ids, Bytes& out)
{
    Bytes packed;
    std::uint32_t prev = 0;
    for (std::uint32_t id : ids) {
        std::uint32_t d = id - prev;
        if (d < 64)
            put(packed, d << 2 | 1, 1);
        else if (d < 16384)
            put(packed, d << 2 | 2, 2);
        else
            put(packed, id << 2 | 3, 3);
        prev = id;
    }
    out.clear();
    if (o.compress_lists_from != 0 && packed.size() >= o.compress_lists_from) {
        Bytes z;
        if (!zcompress(packed, z) || z.size() >= 0x800000)
            return false;
        put(out, z.size(), 3);
        put(out, packed.size(), 3);
        put(out, ids.size(), 3);
        out.insert(out.end(), z.begin(), z.end());
        return true;
    }
    if (packed.size() >= 0x800000)
        return false;
    put(out, 0x800000 | packed.size(), 3);
    put(out, ids.size(), 3);
    out.insert(out.end(), packed.begin(), packed.end());
    return true;
}

std::uint32_t Builder::county_list(size_t lo, size_t hi)
{
    if (!o.county_lists)
        return NO_LIST;
    std::set<std::uint32_t> set;
    for (size_t i = lo; i < hi; ++i)
        set.insert(streets[order[i]].county);
    Bytes b;
    if (!encode_list(std::vector<std::uint32_t>(set.begin(), set.end()), b))
        return NO_LIST;
    const std::string key(b.begin(), b.end());
    auto it = list_offsets.find(key);
    if (it != list_offsets.end())
        return it->second;
    std::uint32_t at = static_cast<std::uint32_t>(lists.size());
    lists.insert(lists.end(), b.begin(), b.end());
    list_offsets[key] = at;
    return at;
}

int Builder::build_node(size_t lo, size_t hi, size_t depth)
{
    const int index = static_cast<int>(nodes.size());
    nodes.emplace_back();
    auto key_at = [&](size_t i) {
        const std::vector<unsigned int>& k = keys[order[i]];
        return depth < k.size() ? k[depth] : 0u;
    };
    std::vector<Entry> entries;
    for (size_t i = lo; i < hi;) {
        const unsigned int key = key_at(i);
        size_t j = i;
        while (j < hi && key_at(j) == key)
            ++j;
        Entry e;
        e.key = key;
        e.count = static_cast<int>(j - i);
        e.list = county_list(i, j);
        const Laid& first = laid[order[i]];
        e.position = first.block << 16 | first.offset;
        if (key != 0 && e.count > o.leaf_streets)
            e.child = build_node(i, j, depth + 1);
        entries.push_back(e);
        i = j;
    }
    nodes[index].entries = entries;
    return index;
}

bool Builder::run(Bytes& out, std::vector<std::uint32_t>& positions, unsigned int& block_count, std::string& error)
{
    if (!check(error))
        return false;
    make_keys();
    if (!lay_out(error))
        return false;
    build_node(0, streets.size(), 0);

    const unsigned int header_size = version >= VERSION_6_2 ? 52 : version >= VERSION_6_1 ? 50 : 48;
    const size_t langs = version >= VERSION_6_2 ? o.languages.size() : 0;
    const std::uint64_t county_area = header_size + 4 * langs;
    const std::uint64_t country_area = county_area + counties.size();
    const std::uint64_t index_area = country_area + 32 * o.countries.size();
    const std::uint64_t tree_area = index_area + 8 * blocks.size();
    std::uint64_t tree_size = 0;
    for (Node& n : nodes) {
        n.offset = static_cast<std::uint32_t>(tree_area + tree_size);
        tree_size += 2 + ENTRY_SIZE * n.entries.size();
    }
    const std::uint64_t list_area = tree_area + tree_size;
    std::uint64_t block_area = list_area + lists.size();

    std::vector<Bytes> packed(blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (!zcompress(blocks[i].data, packed[i]) || packed[i].size() > 0xFFFF)
            return fail(error, "block does not compress into 65535 bytes");
    }

    out.clear();
    put(out, 'X', 1);
    put(out, 'R', 1);
    put(out, 'A', 1);
    put(out, 'L', 1);
    put(out, o.major, 2);
    put(out, o.minor, 2);
    put(out, o.header_count >= 0 ? static_cast<std::uint64_t>(o.header_count) : streets.size(), 4);
    put(out, o.countries.size(), 4);
    put(out, blocks.size(), 4);
    put(out, counties.size(), 4);
    put(out, tree_size, 4);
    const size_t suffix_field = out.size();
    put(out, 0, 4);
    put(out, 0, 8);
    if (version >= VERSION_6_1)
        put(out, static_cast<std::uint16_t>(o.extra_size), 2);
    else
        put(out, 0, 2);
    put(out, langs, 2);
    out.resize(header_size, 0);
    for (size_t i = 0; i < langs; ++i)
        put(out, o.languages[i], 4);
    out.insert(out.end(), counties.begin(), counties.end());
    for (const std::string& c : o.countries) {
        Bytes field(32, 0);
        std::copy_n(c.begin(), std::min<size_t>(c.size(), 32), field.begin());
        out.insert(out.end(), field.begin(), field.end());
    }
    std::uint64_t at = block_area;
    for (size_t i = 0; i < blocks.size(); ++i) {
        put(out, blocks[i].data.size(), 2);
        put(out, packed[i].size(), 2);
        put(out, at | (blocks[i].last ? 0x80000000u : 0), 4);
        at += packed[i].size();
    }
    if (at >= 0x80000000u)
        return fail(error, "file too large");
    for (const Node& n : nodes) {
        put(out, n.entries.size(), 2);
        for (const Entry& e : n.entries) {
            put(out, e.key, 2);
            if (e.child >= 0) {
                put(out, 0xFFFF, 2);
                put(out, nodes[e.child].offset, 4);
            } else {
                put(out, e.position >> 16, 4);
                put(out, e.position & 0xFFFF, 2);
            }
            put(out, e.list, 4);
            put(out, static_cast<std::uint32_t>(e.count) & 0xFFFFFF, 3);
        }
    }
    out.insert(out.end(), lists.begin(), lists.end());
    for (const Bytes& p : packed)
        out.insert(out.end(), p.begin(), p.end());
    if (!o.suffixes.empty()) {
        patch(out, suffix_field, out.size(), 4);
        for (int i = 0; i < 16; ++i) {
            Bytes entry(40, 0);
            if (i < static_cast<int>(o.suffixes.size())) {
                size_t k = 0;
                for (char16_t c : o.suffixes[i].first)
                    patch(entry, 2 * k++, c, 2);
                ++k;
                for (char16_t c : o.suffixes[i].second)
                    patch(entry, 2 * k++, c, 2);
            }
            out.insert(out.end(), entry.begin(), entry.end());
        }
    }
    positions.resize(streets.size());
    for (size_t i = 0; i < streets.size(); ++i)
        positions[i] = laid[i].block << 16 | laid[i].offset;
    block_count = static_cast<unsigned int>(blocks.size());
    return true;
}

} // namespace

XrAddrWriter::XrAddrWriter(const XrAddrFileOptions& options) : m_options(options) {}

std::uint32_t XrAddrWriter::add_county(const std::string& name, BYTE attribute)
{
    const std::uint32_t id = static_cast<std::uint32_t>(m_counties.size() / 4);
    m_counties.insert(m_counties.end(), name.begin(), name.end());
    m_counties.push_back(0);
    m_counties.push_back(attribute);
    while (m_counties.size() % 4 != 0)
        m_counties.push_back(0);
    return id;
}

int XrAddrWriter::add_street(const XrAddrStreetSpec& street)
{
    m_streets.push_back(street);
    return static_cast<int>(m_streets.size()) - 1;
}

unsigned int XrAddrWriter::tree_key(wchar_t folded)
{
    if (folded >= 0x06F0 && folded <= 0x06F9)
        return 5008 + (folded - 0x06F0);
    if (folded >= L'0' && folded <= L'9')
        return 5008 + (folded - L'0');
    return static_cast<unsigned int>(folded) & 0xFFFF;
}

bool XrAddrWriter::build(std::vector<BYTE>& out, std::string& error)
{
    Builder b(m_options, m_streets, m_counties);
    return b.run(out, m_positions, m_block_count, error);
}

bool XrAddrWriter::write(const std::string& path, std::string& error)
{
    std::vector<BYTE> bytes;
    if (!build(bytes, error))
        return false;
    const std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!f.good()) {
            std::remove(tmp.c_str());
            return fail(error, "cannot write " + tmp);
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return fail(error, "cannot rename " + tmp);
    }
    return true;
}
