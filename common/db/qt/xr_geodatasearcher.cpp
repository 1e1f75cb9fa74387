#include "common/db/qt/xr_geodatasearcher.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CEmptyPointCursor g_empty_cursor;

// The first present quarter after q (flags: bit 3 quarter 0), or 4.
unsigned next_present(unsigned flags, int q)
{
    for (int i = q + 1; i < 4; ++i) {
        if (flags & (8u >> i))
            return static_cast<unsigned>(i);
    }
    return 4;
}

} // namespace

// CQuartersIterator

void CQuartersIterator::start(const std::uint32_t* table, std::uint32_t count, std::uint32_t size,
                              const SSQuadRect& query, const SSQuadRect* exclude)
{
    m_table = table;
    m_count = count;
    m_word = 0;
    m_inner = 0;
    m_top = -1;
    m_pending = SSQuadRect{0, 0, size, size};
    m_query = query;
    m_has_exclude = exclude != nullptr;
    if (m_has_exclude)
        m_exclude = *exclude;
    m_done = false;
    m_damaged = false;
}

CQuartersIterator::Kind CQuartersIterator::classify(const SSQuadRect& n) const
{
    if (!n.meets(m_query))
        return Kind::skip;
    const bool inside = m_query.covers(n);
    if (m_has_exclude && n.meets(m_exclude)) {
        if (m_exclude.covers(n))
            return Kind::skip;
        if (inside)
            return Kind::partial;
    }
    if (inside)
        return Kind::whole;
    if (n.strictly_covers(m_query))
        return Kind::enclosing;
    return Kind::partial;
}

bool CQuartersIterator::skip_subtree()
{
    std::uint64_t pending = 1;
    while (pending > 0) {
        if (m_word >= m_count)
            return false;
        const unsigned flags = geo_node_flags(m_table[m_word++]);
        --pending;
        pending += static_cast<unsigned>(std::popcount(flags));
        m_inner = flags != 0 ? m_inner + 1 : 0;
    }
    return true;
}

void CQuartersIterator::advance()
{
    while (m_top >= 0) {
        const BYTE top = m_stack[m_top];
        const unsigned q = next_present(top >> 4, top & 3);
        if (q < 4) {
            m_stack[m_top] = static_cast<BYTE>((top & ~3u) | q);
            m_pending = geo_quarter_rect(m_rects[m_top], q);
            return;
        }
        --m_top;
        // Nothing outside a node that encloses the query can match.
        if (top & ENCLOSING)
            break;
    }
    m_done = true;
}

SSGeoDataStatus CQuartersIterator::next_quarter(Node* node)
{
    while (!m_done) {
        if (m_word >= m_count) {
            // The table ends inside the tree.
            m_done = m_damaged = true;
            break;
        }
        const std::uint32_t word = m_table[m_word];
        const unsigned flags = geo_node_flags(word);
        const SSQuadRect n = m_pending;
        // Inner nodes' count words follow each other, four to a unit.
        node->offset = std::uint64_t{word & SSGEO_OFFSET_MASK} * SSGEO_DATA_ALIGN +
                       SSGEO_WORD_SIZE * (m_inner % (SSGEO_DATA_ALIGN / SSGEO_WORD_SIZE));
        node->root = m_word == 0;
        node->whole = false;
        node->last = false;
        const Kind kind = classify(n);
        if (kind == Kind::skip || kind == Kind::whole) {
            if (!skip_subtree()) {
                m_done = m_damaged = true;
                break;
            }
            advance();
            if (kind == Kind::skip)
                continue;
            node->whole = true;
            return SSGEO_OK;
        }
        if (flags == 0) {
            ++m_word;
            m_inner = 0;
            if (kind == Kind::enclosing) {
                node->last = true;
                m_done = true;
            } else {
                advance();
            }
            return SSGEO_OK;
        }
        // Descend into the first present quarter.
        if (m_top + 1 >= STACK_SIZE) {
            m_done = m_damaged = true;
            break;
        }
        const unsigned q = next_present(flags, -1);
        ++m_top;
        m_stack[m_top] = static_cast<BYTE>(flags << 4 | q | (kind == Kind::enclosing ? ENCLOSING : 0));
        m_rects[m_top] = n;
        m_pending = geo_quarter_rect(n, q);
        ++m_word;
        ++m_inner;
    }
    return m_damaged ? SSGEO_READ_ERROR : SSGEO_NO_MORE_POINTS;
}

// CPointCursor

CPointCursor::CPointCursor(CGeoDataSearcherImpl* searcher) : m_searcher(searcher), m_area(searcher->area())
{
    m_searcher->add_ref();
}

void CPointCursor::init()
{
    m_reader.init(m_searcher->data_fd(), m_searcher->data_size());
}

void CPointCursor::reset(const SSQuadRect& query, const SSQuadRect* exclude)
{
    m_query = query;
    m_has_exclude = exclude != nullptr;
    if (m_has_exclude)
        m_exclude = *exclude;
    m_quarters.start(m_searcher->node_table(), m_searcher->node_count(), m_searcher->root_size(), query, exclude);
    m_reads_before = m_reader.get_read_count();
    m_subtree_left = m_leaf_left = 0;
    m_whole = m_last = m_first = false;
    m_reader.set_compressed(false);
    m_active = true;
}

void CPointCursor::release()
{
    if (--m_refs > 0)
        return;
    CGeoDataSearcherImpl* searcher = m_searcher;
    delete this;
    searcher->release_ref();
}

SSGeoDataStatus CPointCursor::fail()
{
    m_active = false;
    return SSGEO_READ_ERROR;
}

bool CPointCursor::read_u32(std::uint32_t* value)
{
    BYTE bytes[SSGEO_WORD_SIZE];
    if (!m_reader.read_bytes(bytes, sizeof(bytes)))
        return false;
    *value = xr_bytes::get_u32_le(bytes);
    return true;
}

SSGeoDataStatus CPointCursor::enter_node()
{
    if (m_last) {
        m_active = false;
        return SSGEO_NO_MORE_POINTS;
    }
    CQuartersIterator::Node node;
    const SSGeoDataStatus status = m_quarters.next_quarter(&node);
    if (status != SSGEO_OK) {
        m_active = false;
        return status;
    }
    m_reader.set_compressed(false);
    m_reader.seek(node.offset);
    std::uint32_t word = 0;
    if (!read_u32(&word))
        return fail();
    const std::uint32_t count = word & ~SSGEO_INNER_NODE;
    if (count == 0) {
        // Only the root of an index without points has no points.
        m_active = false;
        return node.root ? SSGEO_NO_MORE_POINTS : SSGEO_READ_ERROR;
    }
    m_subtree_left = count;
    m_leaf_left = 0;
    m_whole = node.whole;
    m_last = node.last;
    if ((word & SSGEO_INNER_NODE) == 0 && !start_leaf(count))
        return fail();
    return SSGEO_OK;
}

bool CPointCursor::start_leaf(std::uint32_t count)
{
    if (count == 0 || count > m_subtree_left)
        return false;
    m_leaf_left = count;
    m_first = true;
    m_reader.set_compressed(true);
    return true;
}

bool CPointCursor::end_leaf()
{
    // A leaf's blocks end with its last point.
    if (m_reader.pending_points_bytes() != 0)
        return false;
    m_reader.set_compressed(false);
    m_reader.seek((m_reader.tell() + SSGEO_DATA_ALIGN - 1) & ~std::uint64_t{SSGEO_DATA_ALIGN - 1});
    return true;
}

SSGeoDataStatus CPointCursor::get_next_point(SSPoint* point)
{
    XR_ASSERT(point != nullptr);
    while (m_active) {
        if (m_subtree_left == 0) {
            const SSGeoDataStatus status = enter_node();
            if (status != SSGEO_OK)
                return status;
        }
        if (m_leaf_left == 0) {
            // Inner records before the next leaf.
            std::uint32_t word = 0;
            do {
                if (!read_u32(&word))
                    return fail();
            } while (word & SSGEO_INNER_NODE);
            if (!start_leaf(word))
                return fail();
        }

        BYTE header[SSGEO_POINT_HEADER];
        if (!m_reader.read_bytes(header, sizeof(header)))
            return fail();
        const std::uint32_t dx = xr_bytes::get_u32_le(header);
        const std::uint32_t dy = xr_bytes::get_u32_le(header + 4);
        const std::uint32_t length = xr_bytes::get_u16_le(header + SSGEO_POINT_LENGTH);
        m_previous_x = m_first ? dx : m_previous_x + dx;
        m_previous_y = m_first ? dy : m_previous_y + dy;
        m_first = false;
        --m_subtree_left;
        --m_leaf_left;

        const bool take = m_whole || (m_query.contains(m_previous_x, m_previous_y) &&
                                      !(m_has_exclude && m_exclude.contains(m_previous_x, m_previous_y)));
        std::uint32_t copied = 0;
        if (take && point->data != nullptr) {
            copied = std::min(length, point->capacity);
            if (!m_reader.read_bytes(point->data, copied))
                return fail();
        }
        if (!m_reader.read_bytes(nullptr, length - copied))
            return fail();
        if (m_leaf_left == 0 && !end_leaf())
            return fail();
        if (take) {
            point->x = static_cast<std::int32_t>(m_previous_x + static_cast<std::uint32_t>(m_area.x0));
            point->y = static_cast<std::int32_t>(m_previous_y + static_cast<std::uint32_t>(m_area.y0));
            point->length = copied;
            return SSGEO_OK;
        }
    }
    return SSGEO_NO_MORE_POINTS;
}

// CGeoDataSearcherImpl

CGeoDataSearcherImpl::~CGeoDataSearcherImpl()
{
    if (m_data_fd >= 0)
        ::close(m_data_fd);
}

bool CGeoDataSearcherImpl::release_ref()
{
    if (--m_refs > 0)
        return false;
    delete this;
    return true;
}

bool CGeoDataSearcherImpl::release()
{
    if (m_cached != nullptr) {
        CPointCursor* cursor = m_cached;
        m_cached = nullptr;
        cursor->release();
    }
    return release_ref();
}

SSGeoDataStatus CGeoDataSearcherImpl::open(const char* index_name)
{
    if (m_data_fd >= 0 || index_name == nullptr)
        return SSGEO_READ_ERROR;
    const SSGeoDataStatus status = read_index(index_name);
    if (status != SSGEO_OK) {
        m_nodes.reset();
        return status;
    }
    const std::string data_name = std::string(index_name) + SSGEO_DATA_SUFFIX;
    const int fd = ::open(data_name.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        if (fd >= 0)
            ::close(fd);
        m_nodes.reset();
        return SSGEO_READ_ERROR;
    }
    m_data_fd = fd;
    m_data_size = static_cast<std::uint64_t>(st.st_size);
    return SSGEO_OK;
}

SSGeoDataStatus CGeoDataSearcherImpl::read_index(const char* index_name)
{
    const int fd = ::open(index_name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return SSGEO_READ_ERROR;
    struct stat st;
    SSGeoDataStatus status = SSGEO_OK;
    BYTE header[SSGEO_INDEX_HEADER];
    if (fstat(fd, &st) != 0)
        status = SSGEO_READ_ERROR;
    else if (st.st_size % 4 != 0)
        status = SSGEO_OUTSIDE;
    // The area and at least the root's word.
    else if (st.st_size < static_cast<off_t>(SSGEO_INDEX_HEADER + SSGEO_WORD_SIZE) ||
             !geo_pread_all(fd, 0, header, sizeof(header)))
        status = SSGEO_READ_ERROR;
    else if (!m_nodes.allocate(static_cast<std::size_t>((st.st_size - SSGEO_INDEX_HEADER) / SSGEO_WORD_SIZE)))
        status = SSGEO_NO_MEMORY;
    else if (!geo_pread_all(fd, SSGEO_INDEX_HEADER, m_nodes.get(), m_nodes.count() * SSGEO_WORD_SIZE))
        status = SSGEO_READ_ERROR;
    ::close(fd);
    if (status != SSGEO_OK)
        return status;

    m_area.x0 = xr_bytes::get_i32_le(header);
    m_area.y0 = xr_bytes::get_i32_le(header + 4);
    m_area.x1 = xr_bytes::get_i32_le(header + 8);
    m_area.y1 = xr_bytes::get_i32_le(header + 12);
    if (m_area.x0 > m_area.x1 || m_area.y0 > m_area.y1)
        return SSGEO_READ_ERROR;
    for (std::size_t i = 0; i < m_nodes.count(); ++i)
        m_nodes[i] = xr_bytes::get_u32_le(reinterpret_cast<const BYTE*>(&m_nodes[i]));
    m_size = geo_root_size(m_area);
    return SSGEO_OK;
}

bool CGeoDataSearcherImpl::overlaps(const SSRect& r) const
{
    return m_area.x1 >= r.x0 && m_area.x0 <= r.x1 && m_area.y1 >= r.y0 && m_area.y0 <= r.y1;
}

SSQuadRect CGeoDataSearcherImpl::relative(const SSRect& r) const
{
    const auto rel = [](std::int32_t v, std::int32_t lo, std::int32_t hi) {
        return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::clamp(v, lo, hi)) - lo);
    };
    return SSQuadRect{rel(r.x0, m_area.x0, m_area.x1), rel(r.y0, m_area.y0, m_area.y1),
                      rel(r.x1, m_area.x0, m_area.x1), rel(r.y1, m_area.y0, m_area.y1)};
}

SSPointCursor* CGeoDataSearcherImpl::query(const SSRect& area, const SSRect* exclude)
{
    if (m_data_fd < 0 || !overlaps(area))
        return &g_empty_cursor;
    const SSQuadRect query = relative(area);
    SSQuadRect excluded;
    const bool has_exclude = exclude != nullptr && overlaps(*exclude);
    if (has_exclude)
        excluded = relative(*exclude);

    CPointCursor* cursor = m_cached;
    if (cursor != nullptr && cursor->ref_count() == 1) {
        cursor->add_ref();
    } else {
        cursor = new (std::nothrow) CPointCursor(this);
        if (cursor == nullptr)
            return &g_empty_cursor;
        cursor->init();
        if (m_cached == nullptr) {
            m_cached = cursor;
            cursor->add_ref();
        }
    }
    cursor->reset(query, has_exclude ? &excluded : nullptr);
    return cursor;
}

void CGeoDataSearcherImpl::get_bounds(std::int32_t out[4]) const
{
    out[0] = m_area.x0;
    out[1] = m_area.y0;
    out[2] = m_area.x1;
    out[3] = m_area.y1;
}

SSGeoDataSearcher* create_geo_data_searcher()
{
    return new (std::nothrow) CGeoDataSearcherImpl();
}
