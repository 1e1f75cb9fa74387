#include "tools/mapgen/heapgeom_writer.h"

#include <cstdio>
#include <cstring>

#include <zlib.h>

#include "common/container/xr_bytes.h"
#include "common/db/xr_heapgeomlayout.h"
#include "common/storage/xr_heapstorage.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

// Allocates a block and writes data into it.
bool store(XrHeapStorage& heap, const BYTE* data, std::uint32_t size, unsigned int& id)
{
    return heap.allocate_block(size, &id) == XrHeapStorage::OK &&
           heap.write_block_data(id, 0, size, data) == XrHeapStorage::OK;
}

bool write_block(XrHeapStorage& heap, unsigned int id, const std::vector<BYTE>& bytes)
{
    return heap.write_block_data(id, 0, static_cast<std::uint32_t>(bytes.size()), bytes.data()) == XrHeapStorage::OK;
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
    const std::uint32_t header_size = static_cast<std::uint32_t>(xrqt_heap::OFF_NAME + options.name.size());
    unsigned int header_id = 0;
    if (heap.allocate_block(header_size, &header_id) != XrHeapStorage::OK)
        return false;
    std::vector<unsigned int> node_ids(nodes.size());
    for (size_t n = 0; n < nodes.size(); ++n) {
        if (heap.allocate_block(xrqt_heap::NODE_SIZE, &node_ids[n]) != XrHeapStorage::OK)
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
        std::vector<BYTE> block(xrqt_heap::NODE_SIZE);
        const int corners[4] = {node.box.left, node.box.top, node.box.right, node.box.bottom};
        for (int i = 0; i < 4; ++i) {
            xr_bytes::put_u32_le(block.data() + xrqt_heap::NODE_CORNERS + 4 * i,
                                 static_cast<std::uint32_t>(corners[i]));
        }
        for (int q = 0; q < 4; ++q) {
            xr_bytes::put_u32_le(block.data() + xrqt_heap::NODE_CHILDREN + 4 * q,
                                 node.children[q] < 0 ? 0 : node_ids[node.children[q]]);
        }
        xr_bytes::put_u32_le(block.data() + xrqt_heap::NODE_BUCKET, bucket_id);
        if (!write_block(heap, node_ids[n], block))
            return false;
    }
    XrByteWriter header;
    header.bytes(xrqt::MAGIC, xrqt::MAGIC_SIZE);
    header.u32_le(static_cast<std::uint32_t>(options.version));
    header.u32_le(static_cast<std::uint32_t>(options.kind));
    header.u32_le(node_ids[0]);
    xr_put_geom_coding(header, options);
    header.bytes(options.name.data(), options.name.size());
    return header.size() == header_size && write_block(heap, header_id, header.bytes()) &&
           heap.set_root(header_id) == XrHeapStorage::OK;
}

} // namespace

bool write_heap_geom(const std::string& path, const std::vector<XrGeomRec*>& records,
                     const XrGeomFileOptions& opts, std::string& error)
{
    XrGeomFileOptions options = opts;
    if (!xr_check_geom_records(records, options, error))
        return false;
    if (options.name.size() > xrqt_heap::LAYER_NAME_MAX) {
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
