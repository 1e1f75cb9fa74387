#include "tools/mapgen/addr_writer.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <set>

#include "common/addr/xr_addrlayout.h"
#include "common/container/xr_bytes.h"
#include "common/container/xr_string.h"
#include "common/misc/xr_unicodeutil.h"
#include "common/misc/xr_utf8.h"
#include "tools/mapgen/geom_tree.h"
#include "tools/mapgen/parallel.h"
#include "tools/mapgen/zlib_stream.h"

namespace {

namespace L = xr_addr_layout;

using Bytes = std::vector<BYTE>;

// A language index past every code: the record has no language.
constexpr BYTE NO_LANGUAGE = 0xFF;

bool fail(std::string& error, const std::string& text)
{
    error = text;
    return false;
}

bool zcompress(const Bytes& in, Bytes& out, int level)
{
    out = xr_zlib_stream(in, level);
    return !out.empty();
}

// A street as laid out: its record bytes and where its link goes.
struct Laid {
    XrByteWriter record;
    int link_at = -1; // byte of the link inside the record, -1 = none
    unsigned int block = 0;
    unsigned int offset = 0;
};

struct Block {
    XrByteWriter data;
    bool last = false;
};

// One entry of a tree node as built.
struct Entry {
    unsigned int key = 0;
    int child = -1; // node index, or -1 for a street position
    std::uint32_t position = 0;
    std::uint32_t list = L::NO_LIST;
    int count = 0;
};

struct Node {
    std::vector<Entry> entries;
    std::uint32_t offset = 0; // file offset
};

class Builder {
public:
    Builder(const XrAddrFileOptions& o, const std::vector<XrAddrStreetDef>& streets, const Bytes& counties,
            const std::vector<std::pair<std::uint32_t, int>>& roads)
        : o(o), streets(streets), counties(counties), roads(roads), version(o.major << 16 | o.minor)
    {
    }

    bool run(Bytes& out, std::vector<std::uint32_t>& positions, unsigned int& block_count, std::string& error);

private:
    int extra_size() const { return version >= L::VERSION_6_1 ? o.extra_size : L::EXTRA_SIZE_6_0; }
    bool check(std::string& error);
    void make_keys();
    bool encode(int index, const std::map<std::string, unsigned int>& names, Laid& laid, std::string& error);
    bool lay_out(std::string& error);
    bool lay_out_roads(std::string& error);
    int build_node(size_t lo, size_t hi, size_t depth);
    std::uint32_t county_list(size_t lo, size_t hi);
    bool encode_list(const std::vector<std::uint32_t>& ids, XrByteWriter& out);

    const XrAddrFileOptions& o;
    const std::vector<XrAddrStreetDef>& streets;
    const Bytes& counties;
    const std::vector<std::pair<std::uint32_t, int>>& roads;
    unsigned int version;
    unsigned int road_blocks = 0; // the blocks of the road records, before the streets

    std::vector<std::vector<unsigned int>> keys; // per street
    std::vector<int> order;                      // streets in file order
    std::vector<Laid> laid;                      // per street
    std::vector<Block> blocks;
    std::vector<Node> nodes;
    XrByteWriter lists;
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
    if (o.suffixes.size() > static_cast<size_t>(L::SUFFIX_ENTRIES))
        return fail(error, "at most 16 suffix entries");
    if (o.languages.size() > 0xFFFF)
        return fail(error, "too many language codes");
    for (const auto& s : o.suffixes) {
        if (s.first.size() + s.second.size() + 2 > static_cast<size_t>(L::SUFFIX_UNITS))
            return fail(error, "suffix entry too long");
    }
    for (size_t i = 0; i < streets.size(); ++i) {
        const XrAddrStreetDef& s = streets[i];
        for (unsigned char c : s.name) {
            if (c < L::FIRST_TEXT_BYTE)
                return fail(error, "street name holds a byte below 16");
        }
        if (s.suffix < 0 || s.suffix > 15 || s.type < 0 || s.type > 7 || s.county > L::HEAD_COUNTY_MASK)
            return fail(error, "bad suffix, type or county of street " + s.name);
        if (s.segments.size() > L::MAX_SEGMENTS)
            return fail(error, "too many segments");
        if (s.link >= static_cast<int>(streets.size()) || s.link < -1)
            return fail(error, "bad link of street " + s.name);
    }
    for (const auto& [gid, street] : roads) {
        if ((gid & 0xFFFF) >= 0xFFFF || (gid >> 16) >= L::MAX_BLOCKS)
            return fail(error, "road gid out of range");
        if (street < -1 || street >= static_cast<int>(streets.size()))
            return fail(error, "bad street of a road");
        road_blocks = std::max(road_blocks, (gid >> 16) + 1);
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
        const XrAddrStreetDef& s = streets[i];
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
    const XrAddrStreetDef& s = streets[index];
    XrByteWriter& r = l.record;
    r = XrByteWriter();
    l.link_at = -1;
    std::string key = s.name + static_cast<char>(s.suffix);
    auto shared = o.share_names ? names.find(key) : names.end();
    std::uint32_t head = s.county | static_cast<std::uint32_t>(s.type) << L::HEAD_TYPE_SHIFT;
    if (shared != names.end())
        head |= L::HEAD_SHARED_NAME;
    r.u24_le(head);
    if (version >= L::VERSION_6_2)
        r.u8(static_cast<BYTE>(s.language));
    if (shared != names.end()) {
        r.u16_le(static_cast<std::uint16_t>(shared->second));
    } else {
        r.bytes(s.name.data(), s.name.size());
        r.u8(static_cast<BYTE>(s.suffix));
    }
    const int e = extra_size();
    auto extra = [&]() {
        if (e >= static_cast<int>(L::LINK_SIZE)) {
            l.link_at = static_cast<int>(r.size());
            r.u32_le(L::NO_LINK);
            r.zeros(static_cast<size_t>(e) - L::LINK_SIZE);
        } else {
            r.zeros(static_cast<size_t>(e));
        }
    };
    if (s.segments.empty()) {
        r.u8(L::NO_SEGMENTS);
        r.u32_le(s.gid);
        extra();
        return true;
    }
    r.u8(1);
    if (version >= L::VERSION_6_3)
        extra();

    const size_t n = s.segments.size();
    bool same_upper = true;
    bool fit_bytes = true;
    for (const XrAddrSegmentDef& g : s.segments) {
        same_upper = same_upper && (g.gid >> 16) == (s.segments[0].gid >> 16);
        if (!g.numbers)
            continue;
        auto side_fits = [](int from, int to, bool mixed, int top, int limit, int none) {
            int stored = from | (mixed ? top : 0);
            return from >= 0 && from < top && to >= 0 && to < limit && stored != none;
        };
        fit_bytes = fit_bytes &&
                    side_fits(g.left_from, g.left_to, g.left_mixed, L::MIXED_BYTE, 0x100, L::NO_NUMBERS_BYTE) &&
                    side_fits(g.right_from, g.right_to, g.right_mixed, L::MIXED_BYTE, 0x100, 0x100);
        bool fit_words =
            side_fits(g.left_from, g.left_to, g.left_mixed, L::MIXED_WORD, 0x10000, L::NO_NUMBERS_WORD) &&
            side_fits(g.right_from, g.right_to, g.right_mixed, L::MIXED_WORD, 0x10000, 0x10000);
        if (!fit_words)
            return fail(error, "house numbers out of range in street " + s.name);
    }
    bool bytes = s.byte_numbers == XrAddrStreetDef::AUTO ? fit_bytes : s.byte_numbers == XrAddrStreetDef::ON;
    bool upper = s.common_upper == XrAddrStreetDef::AUTO ? same_upper : s.common_upper == XrAddrStreetDef::ON;
    if ((bytes && !fit_bytes) || (upper && !same_upper))
        return fail(error, "forced segment form does not fit street " + s.name);

    BYTE flags = static_cast<BYTE>((upper ? L::SEG_COMMON_UPPER : 0) | (bytes ? L::SEG_BYTE_NUMBERS : 0));
    if (n < L::SEG_SHORT_LIMIT && !s.long_count) {
        r.u8(static_cast<BYTE>(flags | L::SEG_SHORT_COUNT | n));
    } else {
        r.u8(static_cast<BYTE>(flags | (n >> 8)));
        r.u8(static_cast<BYTE>(n));
    }
    if (upper)
        r.u16_le(static_cast<std::uint16_t>(s.segments[0].gid >> 16));
    const int w = bytes ? 1 : 2;
    const unsigned int top = bytes ? L::MIXED_BYTE : L::MIXED_WORD;
    for (const XrAddrSegmentDef& g : s.segments) {
        r.le(g.gid, upper ? 2 : 4);
        if (!g.numbers) {
            r.le(bytes ? L::NO_NUMBERS_BYTE : L::NO_NUMBERS_WORD, w);
            continue;
        }
        r.le(static_cast<unsigned int>(g.left_from) | (g.left_mixed ? top : 0), w);
        r.le(static_cast<unsigned int>(g.left_to), w);
        r.le(static_cast<unsigned int>(g.right_from) | (g.right_mixed ? top : 0), w);
        r.le(static_cast<unsigned int>(g.right_to), w);
    }
    return true;
}

bool Builder::lay_out(std::string& error)
{
    laid.resize(streets.size());
    blocks.resize(road_blocks); // filled by lay_out_roads
    std::map<std::string, unsigned int> names;
    Block cur;
    auto close = [&](bool last) {
        cur.last = last;
        blocks.push_back(std::move(cur));
        cur = Block();
        names.clear();
    };
    for (size_t i = 0; i < order.size(); ++i) {
        const int index = order[i];
        Laid& l = laid[index];
        if (!encode(index, names, l, error))
            return false;
        if (cur.data.size() != 0 && cur.data.size() + l.record.size() > o.block_size) {
            close(false);
            if (!encode(index, names, l, error))
                return false;
        }
        if (l.record.size() > o.block_size)
            return fail(error, "street record larger than a block: " + streets[index].name);
        const XrAddrStreetDef& s = streets[index];
        l.block = static_cast<unsigned int>(blocks.size());
        l.offset = static_cast<unsigned int>(cur.data.size());
        std::string key = s.name + static_cast<char>(s.suffix);
        if (o.share_names && names.find(key) == names.end())
            names[key] = l.offset + L::RECORD_HEAD_SIZE + (version >= L::VERSION_6_2 ? L::LANGUAGE_INDEX_SIZE : 0);
        cur.data.bytes(l.record.bytes());
        if (s.ends_sequence && i + 1 < order.size())
            close(true);
    }
    if (!order.empty())
        close(true);
    if (blocks.size() >= L::MAX_BLOCKS)
        return fail(error, "too many blocks");
    // Links, now that every record has its place.
    for (size_t i = 0; i < streets.size(); ++i) {
        const Laid& l = laid[i];
        if (l.link_at < 0)
            continue;
        int target = streets[i].link;
        if (target < 0 && version >= L::VERSION_6_3)
            target = static_cast<int>(i);
        std::uint32_t link = target < 0 ? L::NO_LINK : laid[target].block << 16 | laid[target].offset;
        blocks[l.block].data.patch_le(l.offset + static_cast<size_t>(l.link_at), link, 4);
    }
    return lay_out_roads(error);
}

bool Builder::lay_out_roads(std::string& error)
{
    std::vector<std::pair<std::uint32_t, int>> sorted(roads);
    std::sort(sorted.begin(), sorted.end());
    const int e = extra_size();
    size_t i = 0;
    for (unsigned int b = 0; b < road_blocks; ++b) {
        XrByteWriter data;
        std::vector<std::pair<size_t, std::string>> shared; // where a name offset goes, the name
        for (; i < sorted.size() && (sorted[i].first >> 16) == b; ++i) {
            const auto [gid, street] = sorted[i];
            const size_t at = gid & 0xFFFF;
            if (at < data.size())
                return fail(error, "road records overlap in the address database");
            data.zeros(at - data.size());
            const XrAddrStreetDef* s = street >= 0 ? &streets[static_cast<size_t>(street)] : nullptr;
            data.u24_le(s == nullptr ? 0 : s->county | static_cast<std::uint32_t>(s->type) << L::HEAD_TYPE_SHIFT |
                                               L::HEAD_SHARED_NAME);
            if (version >= L::VERSION_6_2)
                data.u8(static_cast<BYTE>(s == nullptr ? NO_LANGUAGE : s->language));
            if (s == nullptr) {
                data.u8(0); // an empty name
            } else {
                shared.emplace_back(data.size(), s->name + static_cast<char>(s->suffix));
                data.u16_le(0);
            }
            data.u8(L::NO_SEGMENTS);
            data.u32_le(gid);
            // Before 6.3 the link names the record that holds the segments.
            int holder = street;
            if (s != nullptr && version < L::VERSION_6_3 && s->segments.empty() && s->link >= 0)
                holder = s->link;
            const std::uint32_t link =
                s == nullptr ? L::NO_LINK
                             : laid[static_cast<size_t>(holder)].block << 16 | laid[static_cast<size_t>(holder)].offset;
            if (e >= static_cast<int>(L::LINK_SIZE)) {
                data.u32_le(link);
                data.zeros(static_cast<size_t>(e) - L::LINK_SIZE);
            } else {
                data.zeros(static_cast<size_t>(e));
            }
        }
        // The names behind the records, each once.
        std::map<std::string, size_t> pool;
        for (const auto& [at, name] : shared) {
            auto [it, fresh] = pool.emplace(name, data.size());
            if (fresh)
                data.bytes(name.data(), name.size());
            data.patch_le(at, static_cast<std::uint32_t>(it->second), 2);
        }
        if (data.size() == 0)
            data.u8(0);
        if (data.size() > 0xFFFF)
            return fail(error, "road records outgrow an address block");
        blocks[b].data = std::move(data);
        blocks[b].last = true;
    }
    return true;
}

bool Builder::encode_list(const std::vector<std::uint32_t>& ids, XrByteWriter& out)
{
    XrByteWriter packed;
    std::uint32_t prev = 0;
    for (std::uint32_t id : ids) {
        std::uint32_t d = id - prev;
        if (d < L::ID_BYTE_LIMIT)
            packed.u8(static_cast<BYTE>(d << L::ID_TAG_BITS | L::ID_BYTE));
        else if (d < L::ID_WORD_LIMIT)
            packed.u16_le(static_cast<std::uint16_t>(d << L::ID_TAG_BITS | L::ID_WORD));
        else
            packed.u24_le(id << L::ID_TAG_BITS | L::ID_ABSOLUTE);
        prev = id;
    }
    out = XrByteWriter();
    if (o.compress_lists_from != 0 && packed.size() >= o.compress_lists_from) {
        Bytes z;
        if (!zcompress(packed.bytes(), z, o.zlib_level) || z.size() >= L::PLAIN_LIST)
            return false;
        out.u24_le(static_cast<std::uint32_t>(z.size()));
        out.u24_le(static_cast<std::uint32_t>(packed.size()));
        out.u24_le(static_cast<std::uint32_t>(ids.size()));
        out.bytes(z);
        return true;
    }
    if (packed.size() >= L::PLAIN_LIST)
        return false;
    out.u24_le(L::PLAIN_LIST | static_cast<std::uint32_t>(packed.size()));
    out.u24_le(static_cast<std::uint32_t>(ids.size()));
    out.bytes(packed.bytes());
    return true;
}

std::uint32_t Builder::county_list(size_t lo, size_t hi)
{
    if (!o.county_lists)
        return L::NO_LIST;
    std::set<std::uint32_t> set;
    for (size_t i = lo; i < hi; ++i)
        set.insert(streets[order[i]].county);
    XrByteWriter b;
    if (!encode_list(std::vector<std::uint32_t>(set.begin(), set.end()), b))
        return L::NO_LIST;
    const std::string key(b.bytes().begin(), b.bytes().end());
    auto it = list_offsets.find(key);
    if (it != list_offsets.end())
        return it->second;
    std::uint32_t at = static_cast<std::uint32_t>(lists.size());
    lists.bytes(b.bytes());
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

bool Builder::run(Bytes& bytes, std::vector<std::uint32_t>& positions, unsigned int& block_count, std::string& error)
{
    if (!check(error))
        return false;
    make_keys();
    if (!lay_out(error))
        return false;
    build_node(0, streets.size(), 0);

    const unsigned int header_size = L::header_size(version);
    const size_t langs = version >= L::VERSION_6_2 ? o.languages.size() : 0;
    const std::uint64_t county_area = header_size + L::LANGUAGE_CODE_SIZE * langs;
    const std::uint64_t country_area = county_area + counties.size();
    const std::uint64_t index_area = country_area + L::COUNTRY_NAME_SIZE * o.countries.size();
    const std::uint64_t tree_area = index_area + L::INDEX_ENTRY_SIZE * blocks.size();
    std::uint64_t tree_size = 0;
    for (Node& n : nodes) {
        n.offset = static_cast<std::uint32_t>(tree_area + tree_size);
        tree_size += L::NODE_HEAD_SIZE + L::ENTRY_SIZE * n.entries.size();
    }
    const std::uint64_t list_area = tree_area + tree_size;
    std::uint64_t block_area = list_area + lists.size();

    // The blocks compressed on all cores.
    std::vector<Bytes> packed(blocks.size());
    std::vector<char> fits(blocks.size(), 0);
    size_t total = 0;
    for (const auto& b : blocks)
        total += b.data.size();
    xr_parallel_for(blocks.size(), total, [&](size_t i) {
        fits[i] = zcompress(blocks[i].data.bytes(), packed[i], o.zlib_level) && packed[i].size() <= 0xFFFF;
    });
    if (std::find(fits.begin(), fits.end(), 0) != fits.end())
        return fail(error, "block does not compress into 65535 bytes");

    XrByteWriter out;
    out.u32_le(L::MAGIC);
    out.u16_le(static_cast<std::uint16_t>(o.major));
    out.u16_le(static_cast<std::uint16_t>(o.minor));
    out.u32_le(static_cast<std::uint32_t>(o.header_count >= 0 ? static_cast<std::uint64_t>(o.header_count)
                                                               : streets.size()));
    out.u32_le(static_cast<std::uint32_t>(o.countries.size()));
    out.u32_le(static_cast<std::uint32_t>(blocks.size()));
    out.u32_le(static_cast<std::uint32_t>(counties.size()));
    out.u32_le(static_cast<std::uint32_t>(tree_size));
    out.u32_le(0); // the suffix table's offset, set below
    out.zeros(L::RESERVED_SIZE);
    out.u16_le(version >= L::VERSION_6_1 ? static_cast<std::uint16_t>(o.extra_size) : 0);
    out.u16_le(static_cast<std::uint16_t>(langs));
    out.zeros(header_size - out.size());
    for (size_t i = 0; i < langs; ++i)
        out.u32_le(o.languages[i]);
    out.bytes(counties);
    for (const std::string& c : o.countries) {
        const size_t n = std::min<size_t>(c.size(), L::COUNTRY_NAME_SIZE);
        out.bytes(c.data(), n);
        out.zeros(L::COUNTRY_NAME_SIZE - n);
    }
    std::uint64_t at = block_area;
    for (size_t i = 0; i < blocks.size(); ++i) {
        out.u16_le(static_cast<std::uint16_t>(blocks[i].data.size()));
        out.u16_le(static_cast<std::uint16_t>(packed[i].size()));
        out.u32_le(static_cast<std::uint32_t>(at | (blocks[i].last ? L::INDEX_LAST_BLOCK : 0)));
        at += packed[i].size();
    }
    if (at >= L::INDEX_LAST_BLOCK)
        return fail(error, "file too large");
    for (const Node& n : nodes) {
        out.u16_le(static_cast<std::uint16_t>(n.entries.size()));
        for (const Entry& e : n.entries) {
            out.u16_le(static_cast<std::uint16_t>(e.key));
            if (e.child >= 0) {
                out.u16_le(L::CHILD_MARK);
                out.u32_le(nodes[e.child].offset);
            } else {
                out.u32_le(e.position >> 16);
                out.u16_le(static_cast<std::uint16_t>(e.position));
            }
            out.u32_le(e.list);
            out.u24_le(static_cast<std::uint32_t>(e.count));
        }
    }
    out.bytes(lists.bytes());
    for (const Bytes& p : packed)
        out.bytes(p);
    if (!o.suffixes.empty()) {
        out.patch_le(L::SUFFIX_OFFSET, out.size(), 4);
        for (int i = 0; i < L::SUFFIX_ENTRIES; ++i) {
            const size_t entry = out.size();
            if (i < static_cast<int>(o.suffixes.size())) {
                for (char16_t c : o.suffixes[i].first)
                    out.u16_le(c);
                out.u16_le(0);
                for (char16_t c : o.suffixes[i].second)
                    out.u16_le(c);
            }
            out.zeros(entry + L::SUFFIX_ENTRY_SIZE - out.size());
        }
    }
    bytes = out.take();
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
    const std::uint32_t id = static_cast<std::uint32_t>(m_counties.size() / L::COUNTY_ALIGN);
    XrByteWriter w;
    w.bytes() = std::move(m_counties);
    w.bytes(name.data(), name.size());
    w.u8(0);
    w.u8(attribute);
    w.align(L::COUNTY_ALIGN);
    m_counties = w.take();
    return id;
}

int XrAddrWriter::add_street(const XrAddrStreetDef& street)
{
    m_streets.push_back(street);
    return static_cast<int>(m_streets.size()) - 1;
}

void XrAddrWriter::add_road(std::uint32_t gid, int street)
{
    m_roads.emplace_back(gid, street);
}

unsigned int XrAddrWriter::tree_key(wchar_t folded)
{
    if (folded >= 0x06F0 && folded <= 0x06F9)
        return L::DIGIT_KEY + (folded - 0x06F0);
    if (folded >= L'0' && folded <= L'9')
        return L::DIGIT_KEY + (folded - L'0');
    return static_cast<unsigned int>(folded) & 0xFFFF;
}

bool XrAddrWriter::build(std::vector<BYTE>& out, std::string& error)
{
    Builder b(m_options, m_streets, m_counties, m_roads);
    return b.run(out, m_positions, m_block_count, error);
}

bool XrAddrWriter::write(const std::string& path, std::string& error)
{
    std::vector<BYTE> bytes;
    return build(bytes, error) && xr_write_file_atomic(path, bytes, error);
}
