#include "apps/apps_common/xr_tmctablefile.h"

#include <algorithm>
#include <cstring>

#include "common/container/xr_bytearray.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

std::uint32_t get_u32(const BYTE* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t get_u16(const BYTE* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// Coordinates are stored with the top bit inverted.
int get_coordinate(const BYTE* p)
{
    return static_cast<int>(static_cast<std::int32_t>(get_u32(p) + 0x80000000u));
}

void get_entry(const BYTE* p, XrTmcPathEntry& e)
{
    std::uint32_t v = get_u32(p);
    e.path_id = static_cast<std::uint16_t>(v >> 16);
    e.position = static_cast<std::uint16_t>(v & 0xFFFF);
    e.extra = get_u16(p + 4);
}

constexpr std::uint32_t RECORD_ENTRY_SIZE = 6;
constexpr std::uint32_t BUCKET_ENTRY_SIZE = 8;
constexpr std::uint32_t POINT_SIZE = 10;

} // namespace

bool find_nth_common_tmc_path(const XrTmcPathEntry* a, int num_a, const XrTmcPathEntry* b, int num_b, int n,
                              XrTmcCommonPath& out)
{
    if (n < 0)
        return false;
    int found = 0;
    for (int i = 0; i < num_a; ++i) {
        for (int j = 0; j < num_b; ++j) {
            if (a[i].path_id != b[j].path_id || b[j].position <= a[i].position)
                continue;
            if (found++ == n) {
                out.path_id = a[i].path_id;
                out.position = a[i].position;
                out.length = static_cast<std::uint16_t>(b[j].position - a[i].position);
                out.extra = static_cast<std::uint16_t>((static_cast<unsigned>(a[i].extra) + b[j].extra) / 2);
                return true;
            }
        }
    }
    return false;
}

XrTmcTableFile::XrTmcTableFile() = default;

XrTmcTableFile::~XrTmcTableFile()
{
    close();
}

void XrTmcTableFile::close()
{
    release_caches();
    m_record.storage = nullptr;
    delete m_paths;
    delete m_locations;
    m_paths = nullptr;
    m_locations = nullptr;
    delete[] m_bucket_offsets;
    delete[] m_location_offsets;
    m_bucket_offsets = nullptr;
    m_location_offsets = nullptr;
    m_paths_size = m_locations_size = m_num_buckets = m_num_paths = m_records_end = 0;
}

bool XrTmcTableFile::open(const XrString& paths_path, const XrString& locations_path)
{
    XrStorageAccessor* paths = open_storage_accessor(paths_path, true);
    XrStorageAccessor* locations = open_storage_accessor(locations_path, true);
    if (paths == nullptr || locations == nullptr) {
        delete paths;
        delete locations;
        close();
        return false;
    }
    return open(paths, locations);
}

bool XrTmcTableFile::read_bytes(XrStorageAccessor* s, std::uint32_t offset, std::uint32_t length, BYTE* out)
{
    if (length == 0)
        return true;
    const BYTE* p = nullptr;
    if (s->get_ptr(offset, length, &p) != XrStorageAccessor::OK || p == nullptr)
        return false;
    std::memcpy(out, p, length);
    s->release_ptr(p);
    return true;
}

bool XrTmcTableFile::read_u32(XrStorageAccessor* s, std::uint32_t offset, std::uint32_t& value)
{
    BYTE b[4];
    if (!read_bytes(s, offset, 4, b))
        return false;
    value = get_u32(b);
    return true;
}

bool XrTmcTableFile::open(XrStorageAccessor* paths, XrStorageAccessor* locations)
{
    close();
    if (paths == nullptr || locations == nullptr) {
        delete paths;
        delete locations;
        return false;
    }
    m_paths = paths;
    m_locations = locations;
    m_paths_size = paths->get_size();
    m_locations_size = locations->get_size();

    std::uint32_t n = 0;
    // The header must fit the file: N, N + 1 offsets, K and the first path.
    if (!read_u32(paths, 0, n) || n == 0 || n > (m_paths_size - 4) / 4 || n > (m_locations_size - 4) / 4) {
        close();
        return false;
    }
    const std::uint32_t header = 4 + 4 * n;
    BYTE* raw = new BYTE[4 * (n + 1) + 4];
    m_bucket_offsets = new std::uint32_t[n + 1];
    m_location_offsets = new std::uint32_t[n + 1];
    bool ok = read_bytes(paths, 4, 4 * (n + 1) + 4, raw);
    if (ok) {
        for (std::uint32_t i = 0; i <= n; ++i)
            m_bucket_offsets[i] = get_u32(raw + 4 * i);
        m_num_paths = get_u32(raw + 4 * (n + 1));
        // Bucket offsets must ascend inside the file.
        for (std::uint32_t i = 0; ok && i <= n; ++i)
            ok = m_bucket_offsets[i] <= m_paths_size && (i == 0 || m_bucket_offsets[i] >= m_bucket_offsets[i - 1]);
    }
    if (ok)
        ok = m_num_paths > 0 && m_num_paths <= (m_paths_size - header - 8) / 8 &&
             read_u32(paths, header + 8, m_records_end) && m_records_end <= m_paths_size;
    if (ok)
        ok = read_bytes(locations, 4, 4 * n, raw);
    if (ok) {
        for (std::uint32_t i = 0; i < n; ++i)
            m_location_offsets[i] = get_u32(raw + 4 * i);
        m_location_offsets[n] = m_locations_size;
        for (std::uint32_t i = 0; ok && i < n; ++i)
            ok = m_location_offsets[i] <= m_location_offsets[i + 1];
    }
    delete[] raw;
    if (!ok) {
        close();
        return false;
    }
    m_num_buckets = n;
    m_record.storage = m_paths;
    return true;
}

std::uint32_t XrTmcTableFile::bucket_end(std::uint32_t bucket) const
{
    return m_bucket_offsets[bucket + 1];
}

bool XrTmcTableFile::scan_bucket(std::uint32_t bucket, std::uint32_t key, std::uint32_t& offset)
{
    const std::uint32_t begin = m_bucket_offsets[bucket];
    const std::uint32_t count = (bucket_end(bucket) - begin) / BUCKET_ENTRY_SIZE;
    if (count == 0)
        return false;
    const BYTE* p = nullptr;
    if (m_paths->get_ptr(begin, count * BUCKET_ENTRY_SIZE, &p) != XrStorageAccessor::OK || p == nullptr)
        return false;
    bool found = false;
    for (std::uint32_t i = 0; i < count && !found; ++i) {
        if (get_u32(p + i * BUCKET_ENTRY_SIZE) == key) {
            offset = get_u32(p + i * BUCKET_ENTRY_SIZE + 4);
            found = true;
        }
    }
    m_paths->release_ptr(p);
    return found;
}

bool XrTmcTableFile::load_bucket_group(std::uint32_t group)
{
    if (m_bucket_cache != nullptr && m_record.loaded_group == static_cast<int>(group))
        return true;
    delete m_bucket_cache;
    m_bucket_cache = nullptr;
    m_record.loaded_group = -1;
    const std::uint32_t first = group * BUCKET_GROUP;
    const std::uint32_t last = std::min(first + BUCKET_GROUP, m_num_buckets);
    const std::uint32_t begin = m_bucket_offsets[first];
    const std::uint32_t count = (m_bucket_offsets[last] - begin) / BUCKET_ENTRY_SIZE;
    auto* cache = new XrHash<std::uint32_t, std::uint32_t>(count + 1, false, 80);
    if (count > 0) {
        const BYTE* p = nullptr;
        if (m_paths->get_ptr(begin, count * BUCKET_ENTRY_SIZE, &p) != XrStorageAccessor::OK || p == nullptr) {
            delete cache;
            return false;
        }
        // The table keeps the first entry of a key.
        for (std::uint32_t i = 0; i < count; ++i)
            cache->insert(get_u32(p + i * BUCKET_ENTRY_SIZE), get_u32(p + i * BUCKET_ENTRY_SIZE + 4));
        m_paths->release_ptr(p);
    }
    m_bucket_cache = cache;
    m_record.loaded_group = static_cast<int>(group);
    return true;
}

bool XrTmcTableFile::find_record_by_id(const TCHAR* table, std::uint16_t code, bool caching, std::uint32_t& offset)
{
    if (!is_open())
        return false;
    const std::uint32_t key = make_pair_key(table, code);
    const std::uint32_t bucket = key_slot(m_num_buckets, key);
    if (caching) {
        if (!load_bucket_group(bucket / BUCKET_GROUP))
            return false;
        return m_bucket_cache->find(key, offset);
    }
    return scan_bucket(bucket, key, offset);
}

bool XrTmcTableFile::read_record(std::uint32_t offset, bool caching, int& count, XrArray<XrTmcPathEntry>& entries)
{
    if (!is_open() || offset >= m_paths_size)
        return false;
    const BYTE* p = nullptr;
    BYTE* own = nullptr;
    std::uint32_t c = 0;
    if (caching && offset < m_records_end) {
        // A record must lie in the window; reload it from the offset when not.
        const std::uint32_t max_len = 1 + 255 * RECORD_ENTRY_SIZE;
        auto in_window = [&](std::uint32_t len) {
            return m_record.window_data != nullptr && offset >= m_record.window_offset &&
                   len <= m_record.window_size && offset - m_record.window_offset <= m_record.window_size - len;
        };
        for (int pass = 0; pass < 2; ++pass) {
            std::uint32_t need = 1;
            if (in_window(1))
                need = 1 + RECORD_ENTRY_SIZE * m_record.window_data[offset - m_record.window_offset];
            if (in_window(need))
                break;
            m_record.release_window();
            std::uint32_t size = std::max(WINDOW_SIZE, max_len);
            size = std::min(size, m_records_end - offset);
            const BYTE* w = nullptr;
            if (m_paths->get_ptr(offset, size, &w) != XrStorageAccessor::OK || w == nullptr)
                return false;
            m_record.window_data = w;
            m_record.window_offset = offset;
            m_record.window_size = size;
        }
        if (!in_window(1))
            return false;
        p = m_record.window_data + (offset - m_record.window_offset);
        c = p[0];
        if (!in_window(1 + RECORD_ENTRY_SIZE * c))
            return false;
    } else {
        BYTE head = 0;
        if (!read_bytes(m_paths, offset, 1, &head))
            return false;
        c = head;
        if (c * RECORD_ENTRY_SIZE > m_paths_size - offset - 1)
            return false;
        own = new BYTE[1 + RECORD_ENTRY_SIZE * c];
        own[0] = head;
        if (!read_bytes(m_paths, offset + 1, RECORD_ENTRY_SIZE * c, own + 1)) {
            delete[] own;
            return false;
        }
        p = own;
    }
    bool ok = true;
    for (std::uint32_t i = 0; i < c && ok; ++i) {
        XrTmcPathEntry e;
        get_entry(p + 1 + i * RECORD_ENTRY_SIZE, e);
        ok = entries.append(e);
    }
    delete[] own;
    count = static_cast<int>(c);
    return ok;
}

bool XrTmcTableFile::find_location(const TCHAR* table, std::uint16_t code, XrArray<unsigned int>& values,
                                   XrPoint& position)
{
    if (!is_open())
        return false;
    const std::uint32_t key = make_pair_key(table, code);
    const std::uint32_t bucket = key_slot(m_num_buckets, key);
    const std::uint32_t begin = m_location_offsets[bucket];
    const std::uint32_t length = m_location_offsets[bucket + 1] - begin;
    if (length == 0)
        return false;
    const BYTE* p = nullptr;
    if (m_locations->get_ptr(begin, length, &p) != XrStorageAccessor::OK || p == nullptr)
        return false;
    bool found = false;
    std::uint32_t pos = 0;
    // Each record: key, M, M values, x, y; a record cut by the bucket's end
    // ends the scan.
    while (!found && length - pos >= 5) {
        const std::uint32_t k = get_u32(p + pos);
        const std::uint32_t m = p[pos + 4];
        const std::uint32_t size = 5 + 4 * m + 8;
        if (size > length - pos)
            break;
        if (k == key) {
            found = true;
            for (std::uint32_t i = 0; i < m && found; ++i)
                found = values.append(get_u32(p + pos + 5 + 4 * i));
            position.x = get_coordinate(p + pos + 5 + 4 * m);
            position.y = get_coordinate(p + pos + 9 + 4 * m);
        }
        pos += size;
    }
    m_locations->release_ptr(p);
    return found;
}

bool XrTmcTableFile::read_path_table()
{
    if (!is_open())
        return false;
    if (m_path_table != nullptr)
        return true;
    const std::uint32_t start = 12 + 4 * m_num_buckets;
    const BYTE* p = nullptr;
    if (m_paths->get_ptr(start, 8 * m_num_paths, &p) != XrStorageAccessor::OK || p == nullptr)
        return false;
    m_path_table = new PathInfo[m_num_paths];
    for (std::uint32_t i = 0; i < m_num_paths; ++i) {
        m_path_table[i].offset = get_u32(p + 8 * i);
        const std::uint32_t v = get_u32(p + 8 * i + 4);
        m_path_table[i].edges = static_cast<std::uint16_t>(v >> 16);
        m_path_table[i].points = static_cast<std::uint16_t>(v & 0xFFFF);
    }
    m_paths->release_ptr(p);
    return true;
}

bool XrTmcTableFile::load_path_group(std::uint32_t group)
{
    if (m_record.block != nullptr && m_record.block_number == static_cast<int>(group))
        return true;
    m_record.drop_block();
    const std::uint32_t first = group * MAX_PATHS_PER_GROUP;
    const std::uint32_t last = std::min(first + MAX_PATHS_PER_GROUP, m_num_paths);
    const std::uint32_t begin = m_path_table[first].offset;
    const std::uint32_t end = last < m_num_paths ? m_path_table[last].offset : m_paths_size;
    if (begin >= end || end > m_paths_size)
        return false;
    std::uint32_t size = 0;
    for (std::uint32_t i = first; i < last; ++i)
        size += 4u * m_path_table[i].edges + POINT_SIZE * m_path_table[i].points;
    auto* block = new XrByteArray(static_cast<int>(size > 0 ? size : 1));
    if (size > 0 && !block->grow_to(static_cast<int>(size))) {
        delete block;
        return false;
    }
    const BYTE* p = nullptr;
    if (m_paths->get_ptr(begin, end - begin, &p) != XrStorageAccessor::OK || p == nullptr) {
        delete block;
        return false;
    }
    int produced = static_cast<int>(size);
    const bool ok = zlib_uncompress(p, static_cast<int>(end - begin), block->get_items(), produced) &&
                    produced == static_cast<int>(size);
    m_paths->release_ptr(p);
    if (!ok) {
        delete block;
        return false;
    }
    m_record.block = block;
    m_record.block_number = static_cast<int>(group);
    return true;
}

bool XrTmcTableFile::resolve_segment(std::uint16_t path_id, std::uint16_t position, std::uint16_t length,
                                     std::uint16_t extra, XrArray<unsigned int>& edges, XrPoint& point)
{
    if (!is_open() || (m_path_table == nullptr && !read_path_table()) || path_id >= m_num_paths)
        return false;
    const std::uint32_t group = path_id / MAX_PATHS_PER_GROUP;
    if (!load_path_group(group))
        return false;
    const PathInfo& info = m_path_table[path_id];
    const std::uint32_t data_offset = path_id % MAX_PATHS_PER_GROUP == 0 ? 0 : info.offset;
    const std::uint32_t data_size = 4u * info.edges + POINT_SIZE * info.points;
    const std::uint32_t block_size = static_cast<std::uint32_t>(m_record.block->get_num_items());
    if (data_offset > block_size || data_size > block_size - data_offset)
        return false;
    const BYTE* data = m_record.block->get_items() + data_offset;

    // Edges past the path's end are not there to add.
    const std::uint32_t stop = std::min<std::uint32_t>(static_cast<std::uint32_t>(position) + length, info.edges);
    for (std::uint32_t i = position; i < stop; ++i) {
        const unsigned int id = get_u32(data + 4 * i);
        bool held = false;
        for (int j = 0; j < edges.get_num_items() && !held; ++j)
            held = *edges.get_item_ptr(j) == id;
        if (!held && !edges.append(id))
            return false;
    }
    if (info.points == 0)
        return false;
    const BYTE* points = data + 4u * info.edges;
    auto pos_at = [&](std::uint32_t i) { return get_u16(points + POINT_SIZE * i); };
    // The first point at or after extra, then the nearer of it and the one before.
    std::uint32_t lo = 0;
    std::uint32_t hi = info.points;
    while (lo < hi) {
        const std::uint32_t mid = (lo + hi) / 2;
        if (pos_at(mid) < extra)
            lo = mid + 1;
        else
            hi = mid;
    }
    std::uint32_t best = lo;
    if (lo == info.points)
        best = lo - 1;
    else if (lo > 0 && extra - pos_at(lo - 1) <= pos_at(lo) - extra)
        best = lo - 1;
    point.x = get_coordinate(points + POINT_SIZE * best + 2);
    point.y = get_coordinate(points + POINT_SIZE * best + 6);
    return true;
}

void XrTmcTableFile::release_caches()
{
    delete[] m_path_table;
    m_path_table = nullptr;
    m_record.drop_block();
    m_record.release_window();
    delete m_bucket_cache;
    m_bucket_cache = nullptr;
    m_record.loaded_group = -1;
}

bool match_tmc_event(XrTmcTableFile& tables, const TCHAR* table, const XrArray<std::uint16_t>& codes,
                     const XrArray<XrTmcPathEntry>& f, const XrArray<XrTmcPathEntry>& t, XrTmcCommonPath& match)
{
    if (codes.get_num_items() < 2)
        return false;
    const XrTmcPathEntry* fe = f.get_items();
    const XrTmcPathEntry* te = t.get_items();
    const int nf = f.get_num_items();
    const int nt = t.get_num_items();
    XrTmcCommonPath c;
    if (!find_nth_common_tmc_path(fe, nf, te, nt, 0, c))
        return false;
    if (!find_nth_common_tmc_path(fe, nf, te, nt, 1, c)) {
        find_nth_common_tmc_path(fe, nf, te, nt, 0, match);
        return true;
    }
    XrArray<std::uint16_t> ids;
    for (int n = 0; find_nth_common_tmc_path(fe, nf, te, nt, n, c); ++n)
        ids.append(c.path_id);
    // Keep the ids that F also shares with each intermediate location.
    for (int i = 1; i <= codes.get_num_items() - 3 && ids.get_num_items() > 0; ++i) {
        std::uint32_t offset = 0;
        XrArray<XrTmcPathEntry> mid;
        int count = 0;
        // A location without a path record shares no path.
        if (tables.find_record_by_id(table, *codes.get_item_ptr(i), false, offset))
            tables.read_record(offset, false, count, mid);
        for (int k = ids.get_num_items() - 1; k >= 0; --k) {
            bool shared = false;
            for (int n = 0; !shared && find_nth_common_tmc_path(fe, nf, mid.get_items(), mid.get_num_items(), n, c);
                 ++n)
                shared = c.path_id == *ids.get_item_ptr(k);
            if (!shared)
                ids.remove_item(k);
        }
    }
    if (ids.get_num_items() == 0)
        return false;
    const std::uint16_t wanted = *ids.get_item_ptr(0);
    for (int n = 0; find_nth_common_tmc_path(fe, nf, te, nt, n, c); ++n) {
        if (c.path_id == wanted) {
            match = c;
            return true;
        }
    }
    return false;
}
