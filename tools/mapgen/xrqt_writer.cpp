#include "tools/mapgen/xrqt_writer.h"

#include <algorithm>
#include <cstring>
#include <map>

#include <zlib.h>

namespace {

constexpr int S24_MIN = -0x800000;
constexpr int S24_MAX = 0x7FFFFF;

void put_u16(std::vector<BYTE>& v, unsigned int x)
{
    v.push_back(static_cast<BYTE>(x));
    v.push_back(static_cast<BYTE>(x >> 8));
}

void put_u32(std::vector<BYTE>& v, unsigned int x)
{
    put_u16(v, x & 0xFFFF);
    put_u16(v, x >> 16);
}

void put_s24(std::vector<BYTE>& v, int x)
{
    unsigned int u = static_cast<unsigned int>(x);
    v.push_back(static_cast<BYTE>(u));
    v.push_back(static_cast<BYTE>(u >> 8));
    v.push_back(static_cast<BYTE>(u >> 16));
}

bool in_s24(const XrRectangle& r)
{
    return r.left >= S24_MIN && r.top >= S24_MIN && r.right <= S24_MAX && r.bottom <= S24_MAX;
}

// Split values of an inner node: the edges of its children's boxes.
struct Split {
    int x2s, x1e, y1e, y2s;
};

Split node_split(const std::vector<XrGeomTreeNode>& nodes, const XrGeomTreeNode& n)
{
    const XrRectangle& b = n.box;
    int cx = static_cast<int>((static_cast<long long>(b.left) + b.right) / 2);
    int cy = static_cast<int>((static_cast<long long>(b.top) + b.bottom) / 2);
    Split s{cx, cx, cy, cy};
    bool left = false, right = false, top = false, bottom = false;
    for (int q = 0; q < 4; ++q) {
        if (n.children[q] < 0)
            continue;
        const XrRectangle& c = nodes[n.children[q]].box;
        if ((q & 1) == 0) {
            s.x1e = left ? std::max(s.x1e, c.right) : c.right;
            left = true;
        } else {
            s.x2s = right ? std::min(s.x2s, c.left) : c.left;
            right = true;
        }
        if ((q & 2) == 0) {
            s.y1e = top ? std::max(s.y1e, c.bottom) : c.bottom;
            top = true;
        } else {
            s.y2s = bottom ? std::min(s.y2s, c.top) : c.top;
            bottom = true;
        }
    }
    return s;
}

// The 64 most common format words of the polylines and polygons.
std::vector<int> format_table(const std::vector<XrGeomRec*>& records)
{
    std::map<int, int> counts;
    for (XrGeomRec* r : records) {
        int fw = r->get_format_word();
        if (fw != -1)
            ++counts[fw];
    }
    std::vector<std::pair<int, int>> order(counts.begin(), counts.end());
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<int> table;
    for (size_t i = 0; i < order.size() && i < 64; ++i)
        table.push_back(order[i].first);
    return table;
}

} // namespace

bool build_xrqt(const std::vector<XrGeomRec*>& records, const XrGeomFileOptions& opts, std::vector<BYTE>& out,
                std::string& error)
{
    XrGeomFileOptions options = opts;
    if (!xr_check_geom_records(records, options, error))
        return false;
    if (options.name.size() > 41) {
        error = "the name takes at most 41 bytes";
        return false;
    }
    const XrRecDataOption ro = xr_record_options(options);
    const bool v4 = options.version == 0x10004;

    std::vector<XrRectangle> boxes(records.size());
    std::vector<int> sizes(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        records[i]->get_bounding_box(boxes[i]);
        // Without an origin nothing is delta-coded: the largest form.
        sizes[i] = records[i]->size_in_bytes(ro, XrPoint(0, 0));
        if (!in_s24(boxes[i])) {
            error = "record " + std::to_string(i + 1) + ": node splits take 24-bit coordinates";
            return false;
        }
    }
    // Room for the compact-header size word.
    int bucket_bytes = options.bucket_bytes - (v4 ? 0 : 2);
    std::vector<XrGeomTreeNode> nodes;
    if (!xr_build_geom_tree(boxes, sizes, bucket_bytes, nodes, error))
        return false;

    // Handles: inner nodes first (the root is one), then the leaves, each
    // group in depth-first order.
    std::vector<int> inner, leaves;
    std::vector<int> todo{0};
    while (!todo.empty()) {
        int n = todo.back();
        todo.pop_back();
        (n == 0 || nodes[n].has_children() ? inner : leaves).push_back(n);
        for (int q = 3; q >= 0; --q) {
            if (nodes[n].children[q] >= 0)
                todo.push_back(nodes[n].children[q]);
        }
    }
    std::sort(leaves.begin(), leaves.end());
    if (inner.size() > 32768 || inner.size() + leaves.size() > 65536) {
        error = "too many nodes: raise the bucket size";
        return false;
    }
    std::vector<int> handle(nodes.size());
    for (size_t i = 0; i < inner.size(); ++i)
        handle[inner[i]] = static_cast<int>(i);
    for (size_t i = 0; i < leaves.size(); ++i)
        handle[leaves[i]] = static_cast<int>(inner.size() + i);

    std::vector<int> table;
    if (!v4 && options.format_table)
        table = format_table(records);
    int table_words[64] = {};
    for (size_t i = 0; i < table.size(); ++i)
        table_words[i] = table[i];

    // Buckets, in handle order.
    std::vector<int> by_handle(inner);
    by_handle.insert(by_handle.end(), leaves.begin(), leaves.end());
    std::vector<std::vector<BYTE>> buckets(by_handle.size());
    std::vector<Split> splits(nodes.size());
    for (int n : inner)
        splits[n] = node_split(nodes, nodes[n]);
    for (size_t h = 0; h < by_handle.size(); ++h) {
        const XrGeomTreeNode& node = nodes[by_handle[h]];
        if (node.records.empty())
            continue;
        const Split& s = splits[h < inner.size() ? by_handle[h] : node.parent];
        XrPoint origin((s.x2s + s.x1e) / 2, (s.y1e + s.y2s) / 2);
        // Records with compact headers first.
        std::vector<int> order;
        for (int pass = 0; pass < 2; ++pass) {
            for (int r : node.records) {
                int fw = records[r]->get_format_word();
                bool compact = fw != -1 && std::find(table.begin(), table.end(), fw) != table.end();
                if (compact == (pass == 0))
                    order.push_back(r);
            }
        }
        XrByteArray blob(4096, 4096);
        XrHash<XrPoint, int> first_points(64, false, 80);
        int compact_end = 0;
        for (int r : order) {
            if (!xr_append_record(records, r, ro, origin, blob, options.share_first_points ? &first_points : nullptr,
                                  table_words, static_cast<int>(table.size()), error))
                return false;
            int fw = records[r]->get_format_word();
            if (fw != -1 && std::find(table.begin(), table.end(), fw) != table.end())
                compact_end = blob.get_num_items();
        }
        std::vector<BYTE> raw;
        if (!v4)
            put_u16(raw, static_cast<unsigned int>(compact_end));
        raw.insert(raw.end(), blob.get_items(), blob.get_items() + blob.get_num_items());
        if (raw.size() > 0xFFFF) {
            error = "a bucket outgrew 65535 bytes";
            return false;
        }
        uLongf packed = compressBound(static_cast<uLong>(raw.size()));
        std::vector<BYTE>& bucket = buckets[h];
        bucket.resize(2 + packed);
        if (compress2(bucket.data() + 2, &packed, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK ||
            packed + 2 > 0xFFFF) {
            error = "a bucket does not compress into 65535 bytes";
            return false;
        }
        bucket.resize(2 + packed);
        bucket[0] = static_cast<BYTE>(raw.size());
        bucket[1] = static_cast<BYTE>(raw.size() >> 8);
    }

    // Header.
    const XrRectangle& box = nodes[0].box;
    out.clear();
    out.insert(out.end(), {'X', 'R', 'Q', 'T'});
    put_u32(out, static_cast<unsigned int>(options.version));
    put_u32(out, static_cast<unsigned int>(options.kind));
    std::uint32_t tree_size = static_cast<std::uint32_t>(inner.size() * 26 + leaves.size() * 8);
    put_u32(out, tree_size);
    put_u32(out, static_cast<unsigned int>(inner.size() * 26));
    put_u32(out, static_cast<unsigned int>(box.left));
    put_u32(out, static_cast<unsigned int>(box.top));
    put_u32(out, static_cast<unsigned int>(box.right));
    put_u32(out, static_cast<unsigned int>(box.bottom));
    out.push_back(static_cast<BYTE>(options.aux_width));
    put_u16(out, static_cast<unsigned int>(options.default_aux));
    out.push_back(static_cast<BYTE>(options.type_width));
    out.push_back(static_cast<BYTE>(options.default_type));
    out.push_back(static_cast<BYTE>((options.with_id ? 1 : 0) | (options.three_byte_coords ? 2 : 0)));
    out.push_back(static_cast<BYTE>(options.attr_count));
    if (!v4) {
        for (int i = 0; i < 64; ++i)
            put_u16(out, static_cast<unsigned int>(table_words[i]));
    }
    size_t name_at = out.size();
    out.resize(name_at + 42, 0);
    std::memcpy(out.data() + name_at, options.name.data(), options.name.size());

    // Node table, then the buckets.
    std::uint64_t offset = out.size() + tree_size;
    std::vector<BYTE> tree;
    for (size_t h = 0; h < by_handle.size(); ++h) {
        const XrGeomTreeNode& node = nodes[by_handle[h]];
        const std::vector<BYTE>& bucket = buckets[h];
        if (offset > 0xFFFFFFFFu) {
            error = "the file outgrew 4 GiB";
            return false;
        }
        put_u32(tree, bucket.empty() ? 0 : static_cast<unsigned int>(offset));
        put_u16(tree, static_cast<unsigned int>(bucket.size()));
        offset += bucket.size();
        if (h < inner.size()) {
            const Split& s = splits[by_handle[h]];
            put_s24(tree, s.x2s);
            put_s24(tree, s.x1e);
            put_s24(tree, s.y1e);
            put_s24(tree, s.y2s);
            for (int q = 0; q < 4; ++q)
                put_u16(tree, node.children[q] < 0 ? 0 : static_cast<unsigned int>(handle[node.children[q]]));
        } else {
            put_u16(tree, static_cast<unsigned int>(handle[node.parent]));
        }
    }
    out.insert(out.end(), tree.begin(), tree.end());
    for (const std::vector<BYTE>& bucket : buckets)
        out.insert(out.end(), bucket.begin(), bucket.end());
    return true;
}

bool write_xrqt(const std::string& path, const std::vector<XrGeomRec*>& records, const XrGeomFileOptions& options,
                std::string& error)
{
    std::vector<BYTE> bytes;
    return build_xrqt(records, options, bytes, error) && xr_write_file_atomic(path, bytes, error);
}
