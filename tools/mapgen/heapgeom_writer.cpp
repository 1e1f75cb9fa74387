#include "tools/mapgen/heapgeom_writer.h"

#include <cstdio>
#include <cstring>

#include <zlib.h>

#include "common/db/xr_heapgeomstorage.h"
#include "common/storage/xr_heapstorage.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

void put_u32(BYTE* p, std::uint32_t v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}

// Allocates a block and writes data into it.
bool store(XrHeapStorage& heap, const BYTE* data, std::uint32_t size, unsigned int& id)
{
    return heap.allocate_block(size, &id) == XrHeapStorage::OK &&
           heap.write_block_data(id, 0, size, data) == XrHeapStorage::OK;
}

bool fill(XrHeapStorage& heap, const std::vector<XrGeomRec*>& records, const XrGeomFileOptions& options,
          std::string& error)
{
    const XrRecDataOption ro = xr_record_options(options);
    std::vector<XrRectangle> boxes(records.size());
    std::vector<int> sizes(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        records[i]->get_bounding_box(boxes[i]);
        sizes[i] = records[i]->size_in_bytes(ro, XrPoint(0, 0));
    }
    std::vector<XrGeomTreeNode> nodes;
    if (!xr_build_geom_tree(boxes, sizes, options.bucket_bytes, nodes, error))
        return false;

    // The header block first: the heap's root names it.
    std::vector<BYTE> header(23 + options.name.size(), 0);
    unsigned int header_id = 0;
    if (heap.allocate_block(static_cast<std::uint32_t>(header.size()), &header_id) != XrHeapStorage::OK)
        return false;
    std::vector<unsigned int> node_ids(nodes.size());
    for (size_t n = 0; n < nodes.size(); ++n) {
        if (heap.allocate_block(XrHeapGeomStorage::NODE_SIZE, &node_ids[n]) != XrHeapStorage::OK)
            return false;
    }
    for (size_t n = 0; n < nodes.size(); ++n) {
        const XrGeomTreeNode& node = nodes[n];
        unsigned int bucket_id = 0;
        if (!node.records.empty()) {
            XrByteArray blob(4096, 4096);
            for (int r : node.records) {
                if (!xr_append_record(records, r, ro, XrPoint(0, 0), blob, nullptr, nullptr, 0, error))
                    return false;
            }
            uLongf packed = compressBound(static_cast<uLong>(blob.get_num_items()));
            std::vector<BYTE> z(packed);
            if (compress2(z.data(), &packed, blob.get_items(), static_cast<uLong>(blob.get_num_items()), 9) != Z_OK ||
                !store(heap, z.data(), static_cast<std::uint32_t>(packed), bucket_id))
                return false;
        }
        BYTE block[36];
        put_u32(block, static_cast<std::uint32_t>(node.box.left));
        put_u32(block + 4, static_cast<std::uint32_t>(node.box.top));
        put_u32(block + 8, static_cast<std::uint32_t>(node.box.right));
        put_u32(block + 12, static_cast<std::uint32_t>(node.box.bottom));
        for (int q = 0; q < 4; ++q)
            put_u32(block + 16 + 4 * q, node.children[q] < 0 ? 0 : node_ids[node.children[q]]);
        put_u32(block + 32, bucket_id);
        if (heap.write_block_data(node_ids[n], 0, sizeof block, block) != XrHeapStorage::OK)
            return false;
    }
    std::memcpy(header.data(), "XRQT", 4);
    put_u32(header.data() + 4, static_cast<std::uint32_t>(options.version));
    put_u32(header.data() + 8, static_cast<std::uint32_t>(options.kind));
    put_u32(header.data() + 12, node_ids[0]);
    header[16] = static_cast<BYTE>(options.aux_width);
    header[17] = static_cast<BYTE>(options.default_aux);
    header[18] = static_cast<BYTE>(options.default_aux >> 8);
    header[19] = static_cast<BYTE>(options.type_width);
    header[20] = static_cast<BYTE>(options.default_type);
    header[21] = static_cast<BYTE>((options.with_id ? 1 : 0) | (options.three_byte_coords ? 2 : 0));
    header[22] = static_cast<BYTE>(options.attr_count);
    std::memcpy(header.data() + 23, options.name.data(), options.name.size());
    return heap.write_block_data(header_id, 0, static_cast<std::uint32_t>(header.size()), header.data()) ==
               XrHeapStorage::OK &&
           heap.set_root(header_id) == XrHeapStorage::OK;
}

} // namespace

bool write_heap_geom(const std::string& path, const std::vector<XrGeomRec*>& records,
                     const XrGeomFileOptions& opts, std::string& error)
{
    XrGeomFileOptions options = opts;
    if (!xr_check_geom_records(records, options, error))
        return false;
    if (options.name.size() > 255) {
        error = "the layer name takes at most 255 bytes";
        return false;
    }
    std::string tmp = path + ".tmp";
    std::remove(tmp.c_str());
    XrFileStorageAccessor* accessor = new XrFileStorageAccessor();
    bool ok = accessor->create(XrString(tmp.c_str()));
    {
        XrHeapStorage heap(XrHeapStorage::MODE_APPEND_ONLY);
        heap.set_storage_accessor(accessor);
        ok = ok && heap.open(true) == XrHeapStorage::OK;
        std::string why;
        ok = ok && fill(heap, records, options, why);
        if (!ok)
            error = why.empty() ? "cannot write " + tmp : why;
    }
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path;
        ok = false;
    }
    if (!ok)
        std::remove(tmp.c_str());
    return ok;
}
