#include "common/db/xr_heapgeomstorage.h"

#include <cstring>

#include "common/container/xr_bytes.h"
#include "common/db/xr_heapgeomlayout.h"
#include "common/storage/xr_heapstorage.h"

namespace {

// The heap format keeps no bigger compressed bucket.
constexpr int MAX_STREAM_BYTES = XrStoredGeomStorage::MAX_BUCKET_BYTES + 4096;

// The normalised rectangle of a node's two corners.
XrRectangle node_box(const BYTE* node)
{
    const BYTE* p = node + xrqt_heap::NODE_CORNERS;
    const int x1 = xr_bytes::get_i32_le(p), y1 = xr_bytes::get_i32_le(p + 4);
    const int x2 = xr_bytes::get_i32_le(p + 8), y2 = xr_bytes::get_i32_le(p + 12);
    return XrRectangle(x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1);
}

} // namespace

XrHeapGeomStorage::XrHeapGeomStorage(XrHeapStorage* heap, bool polyline_only, bool flag2)
    : XrStoredGeomStorage(polyline_only, flag2, nullptr), heap(heap)
{
}

XrHeapGeomStorage::~XrHeapGeomStorage()
{
    release_wb();
}

int XrHeapGeomStorage::open()
{
    opened = false;
    release_wb();
    if (heap == nullptr || !read_header())
        return OPEN_FAILED;
    header_box = XrRectangle();
    if (root != 0) {
        const BYTE* node = nullptr;
        if (!get_node(root, node))
            return OPEN_FAILED;
        header_box = node_box(node);
        release_node(node);
    }
    opened = true;
    return OPENED;
}

bool XrHeapGeomStorage::read_header()
{
    using namespace xrqt_heap;
    const unsigned int header_block = heap->get_root();
    const std::uint32_t size = heap->get_block_size(header_block);
    if (size < HEADER_SIZE)
        return false;
    const std::uint32_t most = static_cast<std::uint32_t>(OFF_NAME + LAYER_NAME_MAX);
    const std::uint32_t n = size < most ? size : most;
    const BYTE* h = nullptr;
    if (heap->read_block_data(header_block, 0, n, &h) != XrHeapStorage::OK)
        return false;
    const std::uint32_t v = xr_bytes::get_u32_le(h + OFF_VERSION);
    const std::uint32_t k = xr_bytes::get_u32_le(h + OFF_KIND);
    bool ok = std::memcmp(h + OFF_MAGIC, xrqt::MAGIC, xrqt::MAGIC_SIZE) == 0 && xrqt::is_version(v) &&
              k >= xrqt::KIND_FIRST && k <= xrqt::KIND_MIXED;
    ok = ok && coding.read(h + OFF_CODING, n > OFF_ATTR_COUNT ? h[OFF_ATTR_COUNT] : 0, v);
    ok = ok && (k != xrqt::KIND_MIXED || coding.has_ids());
    if (ok) {
        set_type(k == xrqt::KIND_MIXED ? StorageMixed : static_cast<StorageType>(k));
        root = xr_bytes::get_u32_le(h + OFF_ROOT);
        if (n > OFF_NAME) {
            const char* text = reinterpret_cast<const char*>(h + OFF_NAME);
            const int room = static_cast<int>(n - OFF_NAME);
            int len = 0;
            while (len < room && text[len] != 0)
                ++len;
            XrString layer;
            layer.assign_latin1(text, len);
            set_description(layer);
        }
    }
    heap->release_data(h);
    return ok;
}

bool XrHeapGeomStorage::get_node(size_t handle, const BYTE*& node)
{
    if (heap == nullptr || handle == 0 || handle > 0xFFFFFFFFu)
        return false;
    const BYTE* p = nullptr;
    if (heap->read_block_data(static_cast<unsigned int>(handle), 0, xrqt_heap::NODE_SIZE, &p) != XrHeapStorage::OK)
        return false;
    node = p;
    return true;
}

void XrHeapGeomStorage::release_node(const BYTE* node)
{
    if (node != nullptr)
        heap->release_data(node);
}

bool XrHeapGeomStorage::get_node_rect(const BYTE* node, const BYTE* child_node, XrRectangle& child,
                                      const XrRectangle& node_rect, int quarter)
{
    (void)node;
    (void)node_rect;
    (void)quarter;
    if (child_node == nullptr)
        return false;
    child = node_box(child_node);
    return true;
}

size_t XrHeapGeomStorage::get_child_handle(const BYTE* node, size_t quarter)
{
    if (node == nullptr || quarter > 3)
        return 0;
    return xr_bytes::get_u32_le(node + xrqt_heap::NODE_CHILDREN + 4 * quarter);
}

size_t XrHeapGeomStorage::get_bucket_handle(const BYTE* node)
{
    return node == nullptr ? 0 : xr_bytes::get_u32_le(node + xrqt_heap::NODE_BUCKET);
}

XrGeomCursor::Status XrHeapGeomStorage::get_approximated_point_for_geom_id(int geom_id, XrPoint& point)
{
    (void)geom_id;
    (void)point;
    return XrGeomCursor::NOT_SUPPORTED;
}

bool XrHeapGeomStorage::load_node_into_wb(size_t handle, int& size, XrPoint& origin, int& compact_end,
                                          int& side_start)
{
    if (!opened)
        return false;
    return answer_wb(get_loaded_bucket(handle) != nullptr || load_bucket_of(handle), size, origin, compact_end,
                     side_start);
}

bool XrHeapGeomStorage::load_bucket_of(size_t handle)
{
    if (handle == 0)
        return use_empty(handle, XrPoint(0, 0));
    if (handle > 0xFFFFFFFFu)
        return false;
    const unsigned int block = static_cast<unsigned int>(handle);
    const std::uint32_t n = heap->get_block_size(block);
    const BYTE* raw = nullptr;
    if (n == 0 || n > static_cast<std::uint32_t>(MAX_STREAM_BYTES) ||
        heap->read_block_data(block, 0, n, &raw) != XrHeapStorage::OK)
        return false;
    const bool ok = load_bucket(handle, 0, n, raw, static_cast<int>(n), -1, false, XrPoint(0, 0));
    heap->release_data(raw);
    return ok;
}
