#include "tools/mapgen/xrqt_writer.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "common/container/xr_bytes.h"
#include "common/db/xr_geomfilelayout.h"
#include "tools/mapgen/parallel.h"
#include "tools/mapgen/zlib_stream.h"

namespace {

constexpr int S24_MIN = -0x800000;
constexpr int S24_MAX = 0x7FFFFF;

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
    for (size_t i = 0; i < order.size() && i < static_cast<size_t>(xrqt::FORMAT_TABLE_WORDS); ++i)
        table.push_back(order[i].first);
    return table;
}

} // namespace

bool build_xrqt(const std::vector<XrGeomRec*>& records, const XrGeomFileOptions& opts, std::vector<BYTE>& out,
                std::string& error, const XrGeomRekey& rekey, std::vector<XrGid>* gids_out)
{
    XrGeomFileOptions options = opts;
    if (!xr_check_geom_records(records, options, error))
        return false;
    if (options.name.size() >= xrqt::NAME_SIZE) {
        error = "the name takes at most " + std::to_string(xrqt::NAME_SIZE - 1) + " bytes";
        return false;
    }
    const XrRecDataOption ro = xr_record_options(options);
    const std::uint32_t version = static_cast<std::uint32_t>(options.version);
    const bool with_table = xrqt::has_format_table(version);

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
    int bucket_bytes = options.bucket_bytes - (xrqt::has_compact_end(version) ? int(xrqt::COMPACT_END_WORD) : 0);
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
    if (inner.size() > xrqt::MAX_NODES / 2 || inner.size() + leaves.size() > xrqt::MAX_NODES) {
        error = "too many nodes: raise the bucket size";
        return false;
    }
    std::vector<int> handle(nodes.size());
    for (size_t i = 0; i < inner.size(); ++i)
        handle[inner[i]] = static_cast<int>(i);
    for (size_t i = 0; i < leaves.size(); ++i)
        handle[leaves[i]] = static_cast<int>(inner.size() + i);

    std::vector<int> table;
    if (with_table && options.format_table)
        table = format_table(records);
    int table_words[xrqt::FORMAT_TABLE_WORDS] = {};
    for (size_t i = 0; i < table.size(); ++i)
        table_words[i] = table[i];

    // Buckets, in handle order, each with its records in their file order:
    // those with compact headers first.
    std::vector<int> by_handle(inner);
    by_handle.insert(by_handle.end(), leaves.begin(), leaves.end());
    std::vector<Split> splits(nodes.size());
    for (int n : inner)
        splits[n] = node_split(nodes, nodes[n]);
    std::vector<bool> compact(records.size(), false);
    for (size_t r = 0; r < records.size(); ++r) {
        const int fw = records[r]->get_format_word();
        compact[r] = fw != -1 && std::find(table.begin(), table.end(), fw) != table.end();
    }
    std::vector<std::vector<int>> orders(by_handle.size());
    std::vector<XrPoint> origins(by_handle.size());
    for (size_t h = 0; h < by_handle.size(); ++h) {
        const XrGeomTreeNode& node = nodes[by_handle[h]];
        const Split& s = splits[h < inner.size() ? by_handle[h] : node.parent];
        origins[h] = XrPoint((s.x2s + s.x1e) / 2, (s.y1e + s.y2s) / 2);
        for (int pass = 0; pass < 2; ++pass)
            for (int r : node.records)
                if (compact[r] == (pass == 0))
                    orders[h].push_back(r);
    }
    // The uncompressed buckets and the gid of each record (its bucket's
    // handle and its offset in the bucket).
    std::vector<std::vector<BYTE>> raws(by_handle.size());
    std::vector<XrGid> gids(records.size(), 0);
    auto lay_out = [&]() {
        for (size_t h = 0; h < by_handle.size(); ++h) {
            if (orders[h].empty())
                continue;
            XrByteArray blob(4096, 4096);
            XrHash<XrPoint, int> first_points(64, false, 80);
            int compact_end = 0;
            for (int r : orders[h]) {
                gids[r] = static_cast<XrGid>(h << 16 | static_cast<unsigned int>(blob.get_num_items()));
                if (!xr_append_record(records, r, ro, origins[h], blob,
                                      options.share_first_points ? &first_points : nullptr, table_words,
                                      static_cast<int>(table.size()), error))
                    return false;
                if (compact[r])
                    compact_end = blob.get_num_items();
            }
            XrByteWriter raw;
            if (xrqt::has_compact_end(version))
                raw.u16_le(static_cast<std::uint16_t>(compact_end));
            raw.bytes(blob.get_items(), static_cast<size_t>(blob.get_num_items()));
            if (raw.size() > xrqt::MAX_BUCKET_LENGTH) {
                error = "a bucket outgrew 65535 bytes";
                return false;
            }
            raws[h] = raw.take();
        }
        return true;
    };
    if (!lay_out())
        return false;
    if (rekey) {
        if (!rekey(gids, error))
            return false;
        // The records keep their places when only their ids and attribute
        // bytes change.
        const std::vector<XrGid> placed = gids;
        std::vector<size_t> sizes(raws.size());
        for (size_t h = 0; h < raws.size(); ++h)
            sizes[h] = raws[h].size();
        if (!lay_out())
            return false;
        bool moved = gids != placed;
        for (size_t h = 0; h < raws.size(); ++h)
            moved = moved || raws[h].size() != sizes[h];
        if (moved) {
            error = "the records moved when their ids changed";
            return false;
        }
    }
    if (gids_out != nullptr)
        *gids_out = gids;
    // Compressed, on all cores.
    std::vector<std::vector<BYTE>> buckets(by_handle.size());
    std::vector<char> failed(by_handle.size(), 0);
    size_t total = 0;
    for (const std::vector<BYTE>& raw : raws)
        total += raw.size();
    xr_parallel_for(by_handle.size(), total, [&](size_t h) {
        if (raws[h].empty())
            return;
        const std::vector<BYTE> z = xr_zlib_stream(raws[h], options.zlib_level);
        if (z.empty() || z.size() + xrqt::BUCKET_SIZE_WORD > xrqt::MAX_BUCKET_LENGTH) {
            failed[h] = 1;
            return;
        }
        XrByteWriter bucket;
        bucket.u16_le(static_cast<std::uint16_t>(raws[h].size()));
        bucket.bytes(z.data(), z.size());
        buckets[h] = bucket.take();
    });
    if (std::find(failed.begin(), failed.end(), 1) != failed.end()) {
        error = "a bucket does not compress into 65535 bytes";
        return false;
    }

    // Header.
    const XrRectangle& box = nodes[0].box;
    const std::uint32_t inner_size = static_cast<std::uint32_t>(inner.size() * xrqt::INNER_NODE_SIZE);
    const std::uint32_t tree_size = inner_size + static_cast<std::uint32_t>(leaves.size() * xrqt::LEAF_NODE_SIZE);
    XrByteWriter w;
    w.bytes(xrqt::MAGIC, xrqt::MAGIC_SIZE);
    w.u32_le(version);
    w.u32_le(static_cast<std::uint32_t>(options.kind));
    w.u32_le(tree_size);
    w.u32_le(inner_size);
    for (int v : {box.left, box.top, box.right, box.bottom})
        w.u32_le(static_cast<std::uint32_t>(v));
    xr_put_geom_coding(w, options);
    if (with_table) {
        for (int word : table_words)
            w.u16_le(static_cast<std::uint16_t>(word));
    }
    w.bytes(options.name.data(), options.name.size());
    w.zeros(xrqt::header_size(version) - w.size());

    // Node table, then the buckets.
    std::uint64_t offset = w.size() + tree_size;
    for (size_t h = 0; h < by_handle.size(); ++h) {
        const XrGeomTreeNode& node = nodes[by_handle[h]];
        const std::vector<BYTE>& bucket = buckets[h];
        if (offset > 0xFFFFFFFFu) {
            error = "the file outgrew 4 GiB";
            return false;
        }
        w.u32_le(bucket.empty() ? 0 : static_cast<std::uint32_t>(offset));
        w.u16_le(static_cast<std::uint16_t>(bucket.size()));
        offset += bucket.size();
        if (h < inner.size()) {
            const Split& s = splits[by_handle[h]];
            for (int v : {s.x2s, s.x1e, s.y1e, s.y2s})
                w.u24_le(static_cast<std::uint32_t>(v));
            for (int q = 0; q < 4; ++q)
                w.u16_le(node.children[q] < 0 ? 0 : static_cast<std::uint16_t>(handle[node.children[q]]));
        } else {
            w.u16_le(static_cast<std::uint16_t>(handle[node.parent]));
        }
    }
    for (const std::vector<BYTE>& bucket : buckets)
        w.bytes(bucket);
    out = w.take();
    return true;
}

bool write_xrqt(const std::string& path, const std::vector<XrGeomRec*>& records, const XrGeomFileOptions& options,
                std::string& error)
{
    std::vector<BYTE> bytes;
    return build_xrqt(records, options, bytes, error) && xr_write_file_atomic(path, bytes, error);
}
