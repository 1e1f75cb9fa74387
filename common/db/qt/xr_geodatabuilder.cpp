#include "common/db/qt/xr_geodatabuilder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

const char* const WORK_FILE_NAMES[] = {"__data", "__meta", "__file1", "__file2", "__file3", "__file4"};

// Largest buffer of a copy between work files.
constexpr std::uint64_t COPY_CHUNK = 262144;
// Memory a split in memory needs beyond the entries.
constexpr std::uint64_t MEMORY_SPLIT_RESERVE = 8192;
// Payload bytes read along with a payload record's length.
constexpr std::size_t SPECULATIVE_PAYLOAD = 64;
// The format's limits: payload records are addressed by u32 offsets, node
// counts take 31 bits and data offsets must fit the node words.
constexpr std::uint64_t MAX_META_SIZE = 0x100000000ull;
constexpr std::uint64_t MAX_POINTS = 0x7FFFFFFFull;
constexpr std::uint64_t MAX_DATA_OFFSET = 0xFFFFFFFFull;

// out = a + b, NUL-terminated.
bool join_text(CGeoDataBuffer<char>& out, const char* a, const char* b = "")
{
    const std::size_t la = std::strlen(a);
    const std::size_t lb = std::strlen(b);
    if (!out.allocate(la + lb + 1))
        return false;
    std::memcpy(out.get(), a, la);
    std::memcpy(out.get() + la, b, lb + 1);
    return true;
}

bool entry_before(const SSGeoEntry& a, const SSGeoEntry& b)
{
    if (a.y != b.y)
        return a.y < b.y;
    if (a.x != b.x)
        return a.x < b.x;
    // Points at one place keep the order they were added in.
    return a.offset < b.offset;
}

// Copies size bytes from src (at its position) to dst (at its position), in
// chunks the memory budget allows.
SSGeoDataStatus copy_bytes(CFileStreamEx* src, CFileStreamEx* dst, std::uint64_t size)
{
    if (size == 0)
        return SSGEO_OK;
    const std::uint64_t chunk = std::min({size, CGeoDataMemory::available(), COPY_CHUNK});
    CGeoDataBuffer<BYTE> buffer;
    if (chunk == 0 || !buffer.allocate(static_cast<std::size_t>(chunk)))
        return SSGEO_NO_MEMORY;
    while (size > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min(size, chunk));
        if (!src->read(buffer.get(), n))
            return SSGEO_READ_ERROR;
        if (dst->write(buffer.get(), n) < 0)
            return SSGEO_CREATE_ERROR;
        size -= n;
    }
    return SSGEO_OK;
}

// A new file next to path + suffix that will replace it: path + suffix +
// ".XXXXXX".
SSGeoDataStatus create_replacement(const char* path, const char* suffix, CGeoDataBuffer<char>& name,
                                   CFileStreamEx** stream)
{
    *stream = nullptr;
    CGeoDataBuffer<char> prefix;
    if (!join_text(prefix, path, suffix) || !join_text(name, prefix.get(), ".XXXXXX"))
        return SSGEO_NO_MEMORY;
    const SSGeoDataStatus status = CFileStreamEx::create_unique(name.get(), stream);
    if (status != SSGEO_OK)
        name.reset();
    return status;
}

} // namespace

// The open files of the output phase.
struct SSGeoOutput {
    CFileStreamEx* entries = nullptr;
    CFileStreamEx* meta = nullptr;
    CFileStreamEx* index = nullptr;
    CFileStreamEx* data = nullptr;
    CZlibCompressor compressor;
    CCompressedStreamWriter* points = nullptr;
    // One raw point: dx, dy, payload length, payload.
    CGeoDataBuffer<BYTE> record;
};

// DataInfoTreeNode

DataInfoTreeNode::~DataInfoTreeNode()
{
    if (stream != nullptr)
        stream->close();
    for (DataInfoTreeNode* child : children)
        delete child;
}

bool DataInfoTreeNode::has_points_below() const
{
    for (const DataInfoTreeNode* child : children) {
        if (child != nullptr && child->count > 0)
            return true;
    }
    return false;
}

// CMemoryNodeBuilder

SSGeoDataStatus CMemoryNodeBuilder::split(DataInfoTreeNode* node, CFileStreamEx* entries, bool* complete)
{
    *complete = false;
    CGeoDataBuffer<SSGeoEntry> buffer;
    if (!buffer.allocate(node->count))
        return SSGEO_NO_MEMORY;
    const std::size_t bytes = std::size_t{node->count} * sizeof(SSGeoEntry);
    if (!entries->seek(node->offset) || !entries->read(buffer.get(), bytes))
        return SSGEO_READ_ERROR;
    const SSGeoDataStatus status = partition(node, buffer.get(), node->count);
    if (status != SSGEO_OK)
        return status;
    if (!entries->seek(node->offset) || entries->write(buffer.get(), bytes) < 0)
        return SSGEO_CREATE_ERROR;
    *complete = true;
    return SSGEO_OK;
}

SSGeoDataStatus CMemoryNodeBuilder::partition(DataInfoTreeNode* node, SSGeoEntry* first, std::uint32_t count)
{
    // Quarter order: low y (low x, high x), then high y (low x, high x). The
    // lower half wins on a shared edge, as geo_quarter_of does.
    const SSQuadRect& r = node->rect;
    const std::uint32_t half = geo_half(r);
    SSGeoEntry* last = first + count;
    SSGeoEntry* high_y = std::partition(first, last, [&](const SSGeoEntry& e) { return e.y <= r.y1 - half; });
    SSGeoEntry* bounds[5] = {
        first, std::partition(first, high_y, [&](const SSGeoEntry& e) { return e.x <= r.x1 - half; }), high_y,
        std::partition(high_y, last, [&](const SSGeoEntry& e) { return e.x <= r.x1 - half; }), last};

    for (unsigned q = 0; q < 4; ++q) {
        DataInfoTreeNode* child = new (std::nothrow) DataInfoTreeNode(geo_quarter_rect(r, q));
        if (child == nullptr)
            return SSGEO_NO_MEMORY;
        node->children[q] = child;
        child->count = static_cast<std::uint32_t>(bounds[q + 1] - bounds[q]);
        child->offset = node->offset + static_cast<std::uint64_t>(bounds[q] - first) * sizeof(SSGeoEntry);
        if (child->count <= SSGEO_LEAF_POINTS || geo_cell_unsplittable(child->rect)) {
            std::sort(bounds[q], bounds[q + 1], entry_before);
            child->sorted = true;
        } else {
            const SSGeoDataStatus status = partition(child, bounds[q], child->count);
            if (status != SSGEO_OK)
                return status;
        }
    }
    return SSGEO_OK;
}

// CFileNodeBuilder

void CFileNodeBuilder::set_names(const char* const names[4])
{
    std::copy(names, names + 4, m_names);
}

SSGeoDataStatus CFileNodeBuilder::split(DataInfoTreeNode* node, CFileStreamEx* entries, bool* complete)
{
    *complete = false;
    for (unsigned q = 0; q < 4; ++q) {
        DataInfoTreeNode* child = new (std::nothrow) DataInfoTreeNode(geo_quarter_rect(node->rect, q));
        if (child == nullptr)
            return SSGEO_NO_MEMORY;
        node->children[q] = child;
        child->file_name = m_names[q];
        const SSGeoDataStatus status = CFileStreamEx::open(m_names[q], "w+b", &child->stream);
        if (status != SSGEO_OK)
            return status;
    }

    if (!entries->seek(node->offset))
        return SSGEO_READ_ERROR;
    for (std::uint32_t i = 0; i < node->count; ++i) {
        SSGeoEntry e;
        if (!entries->read(&e, sizeof(e)))
            return SSGEO_READ_ERROR;
        const unsigned q = geo_quarter_of(node->rect, e.x, e.y);
        XR_ASSERT(q < 4);
        DataInfoTreeNode* child = node->children[q];
        if (child->stream->write(&e, sizeof(e)) < 0)
            return SSGEO_CREATE_ERROR;
        ++child->count;
    }

    // Back over the node's range in quarter order.
    std::uint64_t position = node->offset;
    for (DataInfoTreeNode* child : node->children) {
        const std::uint64_t bytes = std::uint64_t{child->count} * sizeof(SSGeoEntry);
        child->offset = child->count > 0 ? position : 0;
        if (!child->stream->seek(0) || !entries->seek(position))
            return SSGEO_READ_ERROR;
        const SSGeoDataStatus status = copy_bytes(child->stream, entries, bytes);
        if (status != SSGEO_OK)
            return status;
        child->stream->close();
        child->stream = nullptr;
        std::remove(child->file_name);
        position += bytes;
    }
    return SSGEO_OK;
}

// CGeoDataBuilder

CGeoDataBuilder::~CGeoDataBuilder()
{
    remove_work_files();
}

void CGeoDataBuilder::release()
{
    delete this;
}

SSGeoDataStatus CGeoDataBuilder::create(const char* index_name, const char* temp_dir, const SSGeoDataParams& params)
{
    XR_ASSERT(m_state == State::empty);
    m_state = State::failed;
    if (index_name != nullptr && *index_name != '\0' && !join_text(m_index_name, index_name))
        return SSGEO_NO_MEMORY;
    CGeoDataMemory::set_limit(params.memory_limit);

    const SSRect& a = params.area;
    m_area.x0 = std::min(a.x0, a.x1);
    m_area.y0 = std::min(a.y0, a.y1);
    m_area.x1 = std::max(a.x0, a.x1);
    m_area.y1 = std::max(a.y0, a.y1);
    m_size = geo_root_size(m_area);

    SSGeoDataStatus status = create_work_files(temp_dir != nullptr ? temp_dir : "");
    if (status != SSGEO_OK) {
        remove_work_files();
        return status;
    }
    m_state = State::created;
    return SSGEO_OK;
}

SSGeoDataStatus CGeoDataBuilder::create_work_files(const char* temp_dir)
{
    // A private folder, so that builds never share or follow planted files.
    if (!join_text(m_work_dir, temp_dir, "kestrova-qt.XXXXXX"))
        return SSGEO_NO_MEMORY;
    if (mkdtemp(m_work_dir.get()) == nullptr) {
        m_work_dir.reset();
        return SSGEO_CREATE_ERROR;
    }
    for (int i = 0; i < WORK_COUNT; ++i) {
        CGeoDataBuffer<char> folder;
        if (!join_text(folder, m_work_dir.get(), "/") || !join_text(m_work_names[i], folder.get(), WORK_FILE_NAMES[i]))
            return SSGEO_NO_MEMORY;
    }
    const char* const split_names[4] = {m_work_names[FILE1].get(), m_work_names[FILE2].get(),
                                        m_work_names[FILE3].get(), m_work_names[FILE4].get()};
    m_file_builder.set_names(split_names);

    const SSQuadRect root{0, 0, m_size, m_size};
    for (unsigned q = 0; q < 4; ++q) {
        DataInfoTreeNode* node = new (std::nothrow) DataInfoTreeNode(geo_quarter_rect(root, q));
        if (node == nullptr)
            return SSGEO_NO_MEMORY;
        m_quarters[q] = node;
        node->file_name = m_work_names[q == 0 ? int{DATA} : FILE1 + static_cast<int>(q)].get();
        const SSGeoDataStatus status = CFileStreamEx::open(node->file_name, "w+b", &node->stream);
        if (status != SSGEO_OK)
            return status;
    }
    return CFileStreamEx::open(m_work_names[META].get(), "w+b", &m_meta);
}

SSGeoDataStatus CGeoDataBuilder::add_point(const SSPoint* point)
{
    XR_ASSERT(point != nullptr);
    if (m_state != State::created)
        return SSGEO_CREATE_ERROR;
    if (point->x < m_area.x0 || point->x > m_area.x1 || point->y < m_area.y0 || point->y > m_area.y1)
        return SSGEO_OUTSIDE;
    if (point->length > SSGEO_MAX_PAYLOAD || (point->length > 0 && point->data == nullptr))
        return SSGEO_OUTSIDE;

    const std::uint32_t x = static_cast<std::uint32_t>(static_cast<std::int64_t>(point->x) - m_area.x0);
    const std::uint32_t y = static_cast<std::uint32_t>(static_cast<std::int64_t>(point->y) - m_area.y0);
    const unsigned q = geo_quarter_of(SSQuadRect{0, 0, m_size, m_size}, x, y);
    XR_ASSERT(q < 4);

    const std::uint64_t offset = static_cast<std::uint64_t>(m_meta->tell());
    if (offset + 2 + point->length > MAX_META_SIZE || m_points >= MAX_POINTS)
        return SSGEO_CREATE_ERROR;
    BYTE length[2];
    xr_bytes::put_u16_le(length, static_cast<std::uint16_t>(point->length));
    const SSGeoEntry entry{x, y, static_cast<std::uint32_t>(offset)};
    DataInfoTreeNode* quarter = m_quarters[q];
    if (m_meta->write(length, sizeof(length)) < 0 ||
        (point->length > 0 && m_meta->write(point->data, point->length) < 0) ||
        quarter->stream->write(&entry, sizeof(entry)) < 0) {
        // The work files no longer match what was added.
        m_state = State::failed;
        return SSGEO_CREATE_ERROR;
    }
    ++quarter->count;
    ++m_points;
    return SSGEO_OK;
}

SSGeoDataStatus CGeoDataBuilder::build()
{
    if (m_state != State::created)
        return SSGEO_CREATE_ERROR;
    m_state = State::built;

    bool closed = m_meta->close();
    m_meta = nullptr;
    for (DataInfoTreeNode* quarter : m_quarters) {
        closed = quarter->stream->close() && closed;
        quarter->stream = nullptr;
    }
    CFileStreamEx* entries = nullptr;
    SSGeoDataStatus status = closed ? merge_quarters(&entries) : SSGEO_CREATE_ERROR;
    for (unsigned q = 0; q < 4 && status == SSGEO_OK; ++q)
        status = build_subtree(m_quarters[q], entries);
    if (status == SSGEO_OK && m_index_name.count() > 0)
        status = write_output(entries);
    if (entries != nullptr)
        entries->close();
    remove_work_files();
    return status;
}

SSGeoDataStatus CGeoDataBuilder::merge_quarters(CFileStreamEx** entries)
{
    // Quarter 0's file becomes the merged entry file; the others follow it.
    SSGeoDataStatus status = CFileStreamEx::open(m_work_names[DATA].get(), "r+b", entries);
    if (status != SSGEO_OK)
        return SSGEO_CREATE_ERROR;
    const std::int64_t end = (*entries)->size();
    if (end < 0 || !(*entries)->seek(static_cast<std::uint64_t>(end)))
        return SSGEO_READ_ERROR;
    m_quarters[0]->offset = 0;
    for (unsigned q = 1; q < 4; ++q) {
        DataInfoTreeNode* quarter = m_quarters[q];
        CFileStreamEx* file = nullptr;
        status = CFileStreamEx::open(quarter->file_name, "rb", &file);
        if (status != SSGEO_OK)
            return status == SSGEO_NO_MEMORY ? status : SSGEO_READ_ERROR;
        const std::int64_t size = file->size();
        quarter->offset = size > 0 ? static_cast<std::uint64_t>((*entries)->tell()) : 0;
        status = size < 0 ? SSGEO_READ_ERROR : copy_bytes(file, *entries, static_cast<std::uint64_t>(size));
        file->close();
        std::remove(quarter->file_name);
        if (status != SSGEO_OK)
            return status;
    }
    return SSGEO_OK;
}

SSGeoDataStatus CGeoDataBuilder::build_subtree(DataInfoTreeNode* node, CFileStreamEx* entries)
{
    if (node->count == 0)
        return SSGEO_OK;
    if (node->count <= SSGEO_LEAF_POINTS || geo_cell_unsplittable(node->rect))
        return node->sorted ? SSGEO_OK : sort_leaf(node, entries);

    const std::uint64_t bytes = std::uint64_t{node->count} * sizeof(SSGeoEntry);
    INodeBuilder* builder = &m_file_builder;
    if (CGeoDataMemory::available() >= bytes + MEMORY_SPLIT_RESERVE)
        builder = &m_memory_builder;
    bool complete = false;
    SSGeoDataStatus status = builder->split(node, entries, &complete);
    for (unsigned q = 0; q < 4 && status == SSGEO_OK && !complete; ++q)
        status = build_subtree(node->children[q], entries);
    return status;
}

SSGeoDataStatus CGeoDataBuilder::sort_leaf(DataInfoTreeNode* node, CFileStreamEx* entries)
{
    const std::size_t bytes = std::size_t{node->count} * sizeof(SSGeoEntry);
    CGeoDataBuffer<SSGeoEntry> buffer;
    if (CGeoDataMemory::available() < bytes || !buffer.allocate(node->count))
        return SSGEO_NO_MEMORY;
    if (!entries->seek(node->offset) || !entries->read(buffer.get(), bytes))
        return SSGEO_READ_ERROR;
    std::sort(buffer.get(), buffer.get() + node->count, entry_before);
    if (!entries->seek(node->offset) || entries->write(buffer.get(), bytes) < 0)
        return SSGEO_CREATE_ERROR;
    node->sorted = true;
    return SSGEO_OK;
}

SSGeoDataStatus CGeoDataBuilder::write_output(CFileStreamEx* entries)
{
    SSGeoOutput out;
    out.entries = entries;
    CGeoDataBuffer<char> index_tmp;
    CGeoDataBuffer<char> data_tmp;
    SSGeoDataStatus status = create_replacement(m_index_name.get(), "", index_tmp, &out.index);
    if (status == SSGEO_OK)
        status = create_replacement(m_index_name.get(), SSGEO_DATA_SUFFIX, data_tmp, &out.data);
    if (status == SSGEO_OK)
        status = CFileStreamEx::open(m_work_names[META].get(), "rb", &out.meta);
    if (status == SSGEO_OK) {
        out.meta->map_for_reading();
        status = write_tree(out);
    }

    bool closed = true;
    for (CFileStreamEx* stream : {out.meta, out.index, out.data}) {
        if (stream != nullptr)
            closed = stream->close() && closed;
    }
    if (status == SSGEO_OK && !closed)
        status = SSGEO_CREATE_ERROR;
    if (status == SSGEO_OK) {
        // The data file first: the index names it.
        CGeoDataBuffer<char> data_name;
        if (!join_text(data_name, m_index_name.get(), SSGEO_DATA_SUFFIX))
            status = SSGEO_NO_MEMORY;
        else if (std::rename(data_tmp.get(), data_name.get()) != 0 ||
                 std::rename(index_tmp.get(), m_index_name.get()) != 0)
            status = SSGEO_CREATE_ERROR;
    }
    if (status != SSGEO_OK) {
        for (CGeoDataBuffer<char>* name : {&index_tmp, &data_tmp}) {
            if (name->count() > 0)
                std::remove(name->get());
        }
    }
    return status;
}

SSGeoDataStatus CGeoDataBuilder::write_tree(SSGeoOutput& out)
{
    CCompressedStreamWriter points(out.data, &out.compressor);
    if (points.init() != SSGEO_OK || !out.record.allocate(SSGEO_POINT_HEADER + SSGEO_MAX_PAYLOAD))
        return SSGEO_NO_MEMORY;
    out.points = &points;

    unsigned flags = 0;
    std::uint32_t total = 0;
    for (unsigned q = 0; q < 4; ++q) {
        if (m_quarters[q]->count > 0)
            flags |= geo_quarter_flag(q);
        total += m_quarters[q]->count;
    }
    // The area and the root's word (its data lies at 0).
    XrByteWriter header;
    for (std::int32_t v : {m_area.x0, m_area.y0, m_area.x1, m_area.y1})
        header.u32_le(static_cast<std::uint32_t>(v));
    header.u32_le(geo_node_word(flags, 0));
    BYTE root_count[SSGEO_WORD_SIZE];
    xr_bytes::put_u32_le(root_count, total | (flags != 0 ? SSGEO_INNER_NODE : 0));
    if (out.index->write(header.bytes().data(), header.size()) < 0 ||
        out.data->write(root_count, sizeof(root_count)) < 0)
        return SSGEO_CREATE_ERROR;
    for (DataInfoTreeNode* quarter : m_quarters) {
        const SSGeoDataStatus status = write_node(quarter, out);
        if (status != SSGEO_OK)
            return status;
    }
    return SSGEO_OK;
}

SSGeoDataStatus CGeoDataBuilder::write_node(DataInfoTreeNode* node, SSGeoOutput& out)
{
    if (node->count == 0)
        return SSGEO_OK;
    const std::uint64_t position = static_cast<std::uint64_t>(out.data->tell());
    if (position > MAX_DATA_OFFSET)
        return SSGEO_CREATE_ERROR;
    unsigned flags = 0;
    for (unsigned q = 0; q < 4; ++q) {
        if (node->children[q] != nullptr && node->children[q]->count > 0)
            flags |= geo_quarter_flag(q);
    }
    BYTE word[SSGEO_WORD_SIZE];
    xr_bytes::put_u32_le(word, geo_node_word(flags, position));
    BYTE count[SSGEO_WORD_SIZE];
    xr_bytes::put_u32_le(count, node->count | (flags != 0 ? SSGEO_INNER_NODE : 0));
    if (out.index->write(word, sizeof(word)) < 0 || out.data->write(count, sizeof(count)) < 0)
        return SSGEO_CREATE_ERROR;
    if (flags == 0)
        return write_leaf(node, out);
    for (DataInfoTreeNode* child : node->children) {
        const SSGeoDataStatus status = write_node(child, out);
        if (status != SSGEO_OK)
            return status;
    }
    return SSGEO_OK;
}

SSGeoDataStatus CGeoDataBuilder::write_leaf(DataInfoTreeNode* node, SSGeoOutput& out)
{
    if (!out.entries->seek(node->offset))
        return SSGEO_READ_ERROR;
    out.points->restart();
    BYTE* record = out.record.get();
    std::uint32_t previous_x = 0;
    std::uint32_t previous_y = 0;
    for (std::uint32_t i = 0; i < node->count; ++i) {
        // The payload record (u16 length, bytes) goes straight behind dx, dy;
        // one read fetches a short one whole.
        SSGeoEntry e;
        if (!out.entries->read(&e, sizeof(e)))
            return SSGEO_READ_ERROR;
        const std::int64_t got = out.meta->read_at(e.offset, record + SSGEO_POINT_LENGTH, 2 + SPECULATIVE_PAYLOAD);
        if (got < 2)
            return SSGEO_READ_ERROR;
        const std::uint16_t length = xr_bytes::get_u16_le(record + SSGEO_POINT_LENGTH);
        const std::size_t have = static_cast<std::size_t>(got) - 2;
        if (length > have) {
            const std::size_t rest = length - have;
            if (out.meta->read_at(e.offset + 2ull + have, record + SSGEO_POINT_HEADER + have, rest) !=
                static_cast<std::int64_t>(rest))
                return SSGEO_READ_ERROR;
        }
        xr_bytes::put_u32_le(record, e.x - previous_x);
        xr_bytes::put_u32_le(record + 4, e.y - previous_y);
        previous_x = e.x;
        previous_y = e.y;
        if (out.points->write(record, SSGEO_POINT_HEADER + length) < 0)
            return SSGEO_CREATE_ERROR;
    }
    if (!out.points->flush())
        return SSGEO_CREATE_ERROR;
    static const BYTE zeros[SSGEO_DATA_ALIGN] = {};
    const std::uint64_t end = static_cast<std::uint64_t>(out.data->tell());
    const std::size_t pad = static_cast<std::size_t>((SSGEO_DATA_ALIGN - end % SSGEO_DATA_ALIGN) % SSGEO_DATA_ALIGN);
    return out.data->write(zeros, pad) < 0 ? SSGEO_CREATE_ERROR : SSGEO_OK;
}

void CGeoDataBuilder::remove_work_files()
{
    if (m_meta != nullptr)
        m_meta->close();
    m_meta = nullptr;
    for (DataInfoTreeNode*& quarter : m_quarters) {
        delete quarter;
        quarter = nullptr;
    }
    for (CGeoDataBuffer<char>& name : m_work_names) {
        if (name.count() > 0)
            std::remove(name.get());
        name.reset();
    }
    if (m_work_dir.count() > 0)
        rmdir(m_work_dir.get());
    m_work_dir.reset();
}

SSGeoDataBuilder* create_geo_data_builder()
{
    return new (std::nothrow) CGeoDataBuilder();
}
