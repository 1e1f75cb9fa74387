#include "common/db/xr_simplegeomstorage.h"

#include <cstring>

#include "common/container/xr_bytes.h"
#include "common/db/xr_geomfilelayout.h"

namespace {

XrRectangle normalised(int x1, int y1, int x2, int y2)
{
    return XrRectangle(x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1);
}

// The split values of an inner node.
struct XrSplit {
    int x2s, x1e, y1e, y2s;
};

XrSplit read_split(const BYTE* node)
{
    return XrSplit{xrqt::get_s24(node + xrqt::INNER_X2S), xrqt::get_s24(node + xrqt::INNER_X1E),
                   xrqt::get_s24(node + xrqt::INNER_Y1E), xrqt::get_s24(node + xrqt::INNER_Y2S)};
}

} // namespace

XrSimpleGeomStorage::XrSimpleGeomStorage(XrStorageAccessor* accessor, bool polyline_only, bool flag2,
                                         XrBlockCache* cache)
    : XrStoredGeomStorage(polyline_only, flag2, cache), accessor(accessor)
{
}

XrSimpleGeomStorage::~XrSimpleGeomStorage()
{
    release_wb();
    release_tree();
}

void XrSimpleGeomStorage::release_tree()
{
    tree.reset();
}

int XrSimpleGeomStorage::open()
{
    opened = false;
    release_wb();
    release_tree();
    if (accessor == nullptr || !read_header())
        return OPEN_FAILED;
    opened = true;
    if (!load_tree()) {
        opened = false;
        return OPEN_FAILED;
    }
    return OPENED;
}

bool XrSimpleGeomStorage::read_header()
{
    using namespace xrqt;
    const std::uint32_t file_size = accessor->get_size();
    XrStorageBytes bytes;
    if (file_size < HEADER_SIZE_NO_TABLE || !bytes.read(accessor.get(), 0, PROLOGUE_SIZE))
        return false;
    const std::uint32_t v = xr_bytes::get_u32_le(bytes.get() + OFF_VERSION);
    if (std::memcmp(bytes.get() + OFF_MAGIC, MAGIC, MAGIC_SIZE) != 0 || !is_version(v))
        return false;
    const std::uint32_t size = static_cast<std::uint32_t>(header_size(v));
    if (file_size < size || !bytes.read(accessor.get(), 0, size))
        return false;
    const BYTE* h = bytes.get();
    const std::uint32_t k = xr_bytes::get_u32_le(h + OFF_KIND);
    if (k < KIND_FIRST || k > KIND_MIXED || !coding.read(h + OFF_CODING, h[OFF_ATTR_COUNT], v))
        return false;
    // A mixed storage needs the kinds that the ids carry.
    if (k == KIND_MIXED && !coding.has_ids())
        return false;
    const std::uint32_t tsize = xr_bytes::get_u32_le(h + OFF_TREE_SIZE);
    const std::uint32_t isize = xr_bytes::get_u32_le(h + OFF_INNER_SIZE);
    if (isize % INNER_NODE_SIZE != 0 || isize > tsize || (tsize - isize) % LEAF_NODE_SIZE != 0 ||
        static_cast<std::uint64_t>(size) + tsize > file_size)
        return false;
    if (isize / INNER_NODE_SIZE + (tsize - isize) / LEAF_NODE_SIZE > MAX_NODES)
        return false;
    set_type(k == KIND_MIXED ? StorageMixed : static_cast<StorageType>(k));
    version = static_cast<int>(v);
    tree_size = tsize;
    inner_size = isize;
    inner_count = static_cast<int>(isize / INNER_NODE_SIZE);
    leaf_count = static_cast<int>((tsize - isize) / LEAF_NODE_SIZE);
    tree_offset = size;
    const BYTE* box = h + OFF_BOX;
    header_box = XrRectangle(xr_bytes::get_i32_le(box), xr_bytes::get_i32_le(box + 4), xr_bytes::get_i32_le(box + 8),
                             xr_bytes::get_i32_le(box + 12));
    coding.read_format_table(has_format_table(v) ? h + OFF_FORMAT_TABLE : nullptr);
    const char* text = reinterpret_cast<const char*>(h + name_offset(v));
    int n = 0;
    while (n < static_cast<int>(NAME_SIZE) && text[n] != 0)
        ++n;
    XrString stored_name;
    stored_name.assign_latin1(text, n);
    set_name(stored_name);
    return true;
}

bool XrSimpleGeomStorage::load_tree()
{
    if (!opened)
        return false;
    if (tree.get() != nullptr || tree_size == 0)
        return true;
    return tree.read(accessor.get(), tree_offset, tree_size);
}

void XrSimpleGeomStorage::free_memory()
{
    release_tree();
    if (block_cache != nullptr)
        block_cache->drop_all();
}

XrGeomCursor* XrSimpleGeomStorage::get_cursor(const XrRectangle* rect, int scale)
{
    if (!load_tree())
        return nullptr;
    return XrStoredGeomStorage::get_cursor(rect, scale);
}

bool XrSimpleGeomStorage::get_node(size_t handle, const BYTE*& node)
{
    if (!load_tree() || tree.get() == nullptr)
        return false;
    if (handle < static_cast<size_t>(inner_count)) {
        node = tree.get() + handle * xrqt::INNER_NODE_SIZE;
        return true;
    }
    size_t leaf = handle - inner_count;
    if (leaf >= static_cast<size_t>(leaf_count))
        return false;
    node = tree.get() + inner_size + leaf * xrqt::LEAF_NODE_SIZE;
    return true;
}

void XrSimpleGeomStorage::release_node(const BYTE* node)
{
    (void)node;
}

bool XrSimpleGeomStorage::get_node_rect(const BYTE* node, const BYTE* child_node, XrRectangle& child,
                                        const XrRectangle& node_rect, int quarter)
{
    (void)child_node;
    if (node == nullptr || !is_inner(node))
        return false;
    if (quarter < 0 || quarter > 3)
        return false;
    // Between the node's corner of the quarter and the split values.
    const XrSplit s = read_split(node);
    const XrRectangle& r = node_rect;
    const bool right = (quarter & 1) != 0;
    const bool bottom = (quarter & 2) != 0;
    child = normalised(right ? r.right : r.left, bottom ? r.bottom : r.top, right ? s.x2s : s.x1e,
                       bottom ? s.y2s : s.y1e);
    return true;
}

size_t XrSimpleGeomStorage::get_child_handle(const BYTE* node, size_t quarter)
{
    if (node == nullptr || !is_inner(node) || quarter > 3)
        return 0;
    return xr_bytes::get_u16_le(node + xrqt::INNER_CHILDREN + 2 * quarter);
}

size_t XrSimpleGeomStorage::get_bucket_handle(const BYTE* node)
{
    if (is_inner(node))
        return static_cast<size_t>(node - tree.get()) / xrqt::INNER_NODE_SIZE;
    return inner_count + static_cast<size_t>(node - tree.get() - inner_size) / xrqt::LEAF_NODE_SIZE;
}

bool XrSimpleGeomStorage::bucket_origin(const BYTE* node, XrPoint& origin)
{
    const BYTE* inner = node;
    if (!is_inner(node)) {
        int parent = xr_bytes::get_i16_le(node + xrqt::LEAF_PARENT);
        if (parent < 0 || parent >= inner_count)
            return false;
        inner = tree.get() + parent * xrqt::INNER_NODE_SIZE;
    }
    XrSplit s = read_split(inner);
    origin = XrPoint((s.x2s + s.x1e) / 2, (s.y1e + s.y2s) / 2);
    return true;
}

XrGeomCursor::Status XrSimpleGeomStorage::get_approximated_point_for_geom_id(int geom_id, XrPoint& point)
{
    const BYTE* node = nullptr;
    if (!get_node(static_cast<std::uint32_t>(geom_id) >> 16, node) || !bucket_origin(node, point))
        return XrGeomCursor::FAILED;
    return XrGeomCursor::OK;
}

bool XrSimpleGeomStorage::load_node_into_wb(size_t handle, int& size, XrPoint& origin, int& compact_end,
                                            int& side_start)
{
    const BYTE* node = nullptr;
    XrPoint o;
    if (!get_node(handle, node) || !bucket_origin(node, o))
        return false;
    return answer_wb(get_loaded_bucket(handle) != nullptr || load_bucket_of(handle, node, o), size, origin,
                     compact_end, side_start);
}

bool XrSimpleGeomStorage::load_bucket_of(size_t handle, const BYTE* node, const XrPoint& origin)
{
    const std::uint32_t offset = xr_bytes::get_u32_le(node + xrqt::NODE_BUCKET_OFFSET);
    const std::uint32_t length = xr_bytes::get_u16_le(node + xrqt::NODE_BUCKET_LENGTH);
    if (length == 0)
        return use_empty(handle, origin);
    if (use_cached(handle, offset, length, origin))
        return true;
    XrStorageBytes raw;
    if (length <= xrqt::BUCKET_SIZE_WORD || !raw.read(accessor.get(), offset, length))
        return false;
    const int declared = xr_bytes::get_u16_le(raw.get());
    return load_bucket(handle, offset, length, raw.get() + xrqt::BUCKET_SIZE_WORD,
                       static_cast<int>(length - xrqt::BUCKET_SIZE_WORD), declared,
                       xrqt::has_compact_end(static_cast<std::uint32_t>(version)), origin);
}
