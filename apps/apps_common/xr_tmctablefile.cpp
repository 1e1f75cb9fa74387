#include "apps/apps_common/xr_tmctablefile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/storage/xr_storageaccessor.h"

namespace L = xr_tmc_layout;

using xr_bytes::get_u16_le;
using xr_bytes::get_u32_le;

namespace {

int get_coordinate(const BYTE* p)
{
    return L::coordinate(get_u32_le(p));
}

void get_entry(const BYTE* p, XrTmcPathEntry& e)
{
    std::uint32_t v = get_u32_le(p + L::ENTRY_PATH);
    e.path_id = static_cast<std::uint16_t>(v >> 16);
    e.position = static_cast<std::uint16_t>(v & 0xFFFF);
    e.extra = get_u16_le(p + L::ENTRY_EXTRA);
}

// Bytes handed out by a storage, given back when the holder goes.
class HeldBytes {
public:
    HeldBytes(XrStorageAccessor* storage, std::uint32_t offset, std::uint32_t length) : m_storage(storage)
    {
        if (storage->get_ptr(offset, length, &m_data) != XrStorageAccessor::OK)
            m_data = nullptr;
    }
    ~HeldBytes()
    {
        if (m_data != nullptr)
            m_storage->release_ptr(m_data);
    }
    HeldBytes(const HeldBytes&) = delete;
    HeldBytes& operator=(const HeldBytes&) = delete;

    const BYTE* get() const { return m_data; }

private:
    XrStorageAccessor* m_storage;
    const BYTE* m_data = nullptr;
};

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
    m_paths.reset();
    m_locations.reset();
    m_bucket_offsets.reset();
    m_location_offsets.reset();
    m_paths_size = m_locations_size = m_num_buckets = m_num_paths = m_records_end = 0;
}

bool XrTmcTableFile::open(const XrString& paths_path, const XrString& locations_path)
{
    std::unique_ptr<XrStorageAccessor> paths(open_storage_accessor(paths_path, true));
    std::unique_ptr<XrStorageAccessor> locations(open_storage_accessor(locations_path, true));
    if (paths == nullptr || locations == nullptr) {
        close();
        return false;
    }
    return open(paths.release(), locations.release());
}

bool XrTmcTableFile::read_bytes(XrStorageAccessor* s, std::uint32_t offset, std::uint32_t length, BYTE* out)
{
    if (length == 0)
        return true;
    HeldBytes p(s, offset, length);
    if (p.get() == nullptr)
        return false;
    std::memcpy(out, p.get(), length);
    return true;
}

bool XrTmcTableFile::read_u32(XrStorageAccessor* s, std::uint32_t offset, std::uint32_t& value)
{
    BYTE b[4];
    if (!read_bytes(s, offset, 4, b))
        return false;
    value = get_u32_le(b);
    return true;
}

bool XrTmcTableFile::open(XrStorageAccessor* paths, XrStorageAccessor* locations)
{
    std::unique_ptr<XrStorageAccessor> owned_paths(paths);
    std::unique_ptr<XrStorageAccessor> owned_locations(locations);
    close();
    if (paths == nullptr || locations == nullptr)
        return false;
    m_paths = std::move(owned_paths);
    m_locations = std::move(owned_locations);
    m_paths_size = paths->get_size();
    m_locations_size = locations->get_size();

    std::uint32_t n = 0;
    // The header must fit the file: N, N + 1 offsets, K and the first path.
    if (!read_u32(paths, L::BUCKET_COUNT_OFFSET, n) || n == 0 || n > (m_paths_size - 4) / 4 ||
        n > (m_locations_size - 4) / 4) {
        close();
        return false;
    }
    const std::uint32_t header = L::path_count_offset(n) - L::OFFSET_SIZE;
    // The N + 1 bucket offsets and K.
    std::vector<BYTE> raw(L::OFFSET_SIZE * (n + 1) + 4);
    m_bucket_offsets = std::make_unique<std::uint32_t[]>(n + 1);
    m_location_offsets = std::make_unique<std::uint32_t[]>(n + 1);
    bool ok = read_bytes(paths, L::BUCKET_OFFSETS, static_cast<std::uint32_t>(raw.size()), raw.data());
    if (ok) {
        XrByteCursor c(raw);
        for (std::uint32_t i = 0; i <= n; ++i)
            m_bucket_offsets[i] = c.u32_le();
        m_num_paths = c.u32_le();
        // Bucket offsets must ascend inside the file.
        for (std::uint32_t i = 0; ok && i <= n; ++i)
            ok = m_bucket_offsets[i] <= m_paths_size && (i == 0 || m_bucket_offsets[i] >= m_bucket_offsets[i - 1]);
    }
    if (ok)
        ok = m_num_paths > 0 && m_num_paths <= (m_paths_size - header - 8) / L::PATH_INFO_SIZE &&
             read_u32(paths, L::path_table_offset(n) + L::PATH_OFFSET, m_records_end) &&
             m_records_end <= m_paths_size;
    if (ok)
        ok = read_bytes(locations, L::BUCKET_OFFSETS, L::OFFSET_SIZE * n, raw.data());
    if (ok) {
        XrByteCursor c(raw);
        for (std::uint32_t i = 0; i < n; ++i)
            m_location_offsets[i] = c.u32_le();
        m_location_offsets[n] = m_locations_size;
        for (std::uint32_t i = 0; ok && i < n; ++i)
            ok = m_location_offsets[i] <= m_location_offsets[i + 1];
    }
    if (!ok) {
        close();
        return false;
    }
    m_num_buckets = n;
    m_record.storage = m_paths.get();
    return true;
}

std::uint32_t XrTmcTableFile::bucket_end(std::uint32_t bucket) const
{
    return m_bucket_offsets[bucket + 1];
}

bool XrTmcTableFile::scan_bucket(std::uint32_t bucket, std::uint32_t key, std::uint32_t& offset)
{
    const std::uint32_t begin = m_bucket_offsets[bucket];
    const std::uint32_t count = (bucket_end(bucket) - begin) / L::BUCKET_ENTRY_SIZE;
    if (count == 0)
        return false;
    HeldBytes p(m_paths.get(), begin, count * L::BUCKET_ENTRY_SIZE);
    if (p.get() == nullptr)
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const BYTE* e = p.get() + i * L::BUCKET_ENTRY_SIZE;
        if (get_u32_le(e + L::BUCKET_KEY) == key) {
            offset = get_u32_le(e + L::BUCKET_RECORD);
            return true;
        }
    }
    return false;
}

bool XrTmcTableFile::load_bucket_group(std::uint32_t group)
{
    if (m_bucket_cache != nullptr && m_record.loaded_group == static_cast<int>(group))
        return true;
    m_bucket_cache.reset();
    m_record.loaded_group = -1;
    const std::uint32_t first = group * BUCKET_GROUP;
    const std::uint32_t last = std::min(first + BUCKET_GROUP, m_num_buckets);
    const std::uint32_t begin = m_bucket_offsets[first];
    const std::uint32_t count = (m_bucket_offsets[last] - begin) / L::BUCKET_ENTRY_SIZE;
    auto cache = std::make_unique<XrHash<std::uint32_t, std::uint32_t>>(count + 1, false, 80);
    if (count > 0) {
        HeldBytes p(m_paths.get(), begin, count * L::BUCKET_ENTRY_SIZE);
        if (p.get() == nullptr)
            return false;
        // The table keeps the first entry of a key.
        for (std::uint32_t i = 0; i < count; ++i) {
            const BYTE* e = p.get() + i * L::BUCKET_ENTRY_SIZE;
            cache->insert(get_u32_le(e + L::BUCKET_KEY), get_u32_le(e + L::BUCKET_RECORD));
        }
    }
    m_bucket_cache = std::move(cache);
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
    std::vector<BYTE> own;
    std::uint32_t c = 0;
    if (caching && offset < m_records_end) {
        // A record must lie in the window; reload it from the offset when not.
        const std::uint32_t max_len = L::RECORD_HEAD + L::MAX_RECORD_ENTRIES * L::RECORD_ENTRY_SIZE;
        auto in_window = [&](std::uint32_t len) {
            return m_record.window_data != nullptr && offset >= m_record.window_offset &&
                   len <= m_record.window_size && offset - m_record.window_offset <= m_record.window_size - len;
        };
        for (int pass = 0; pass < 2; ++pass) {
            std::uint32_t need = 1;
            if (in_window(1))
                need = L::RECORD_HEAD + L::RECORD_ENTRY_SIZE * m_record.window_data[offset - m_record.window_offset];
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
        if (!in_window(L::RECORD_HEAD + L::RECORD_ENTRY_SIZE * c))
            return false;
    } else {
        BYTE head = 0;
        if (!read_bytes(m_paths.get(), offset, L::RECORD_HEAD, &head))
            return false;
        c = head;
        if (c * L::RECORD_ENTRY_SIZE > m_paths_size - offset - L::RECORD_HEAD)
            return false;
        own.resize(L::RECORD_HEAD + L::RECORD_ENTRY_SIZE * c);
        own[0] = head;
        if (!read_bytes(m_paths.get(), offset + L::RECORD_HEAD, L::RECORD_ENTRY_SIZE * c, own.data() + L::RECORD_HEAD))
            return false;
        p = own.data();
    }
    bool ok = true;
    for (std::uint32_t i = 0; i < c && ok; ++i) {
        XrTmcPathEntry e;
        get_entry(p + L::RECORD_HEAD + i * L::RECORD_ENTRY_SIZE, e);
        ok = entries.append(e);
    }
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
    HeldBytes bytes(m_locations.get(), begin, length);
    if (bytes.get() == nullptr)
        return false;
    // A record cut by the bucket's end ends the scan.
    bool found = false;
    const BYTE* end = bytes.get() + length;
    for (const BYTE* p = bytes.get(); !found && end - p >= static_cast<std::ptrdiff_t>(L::LOCATION_HEAD);) {
        const std::uint32_t m = p[L::LOCATION_COUNT];
        const std::uint32_t size = L::LOCATION_HEAD + L::VALUE_SIZE * m + L::LOCATION_POSITION_SIZE;
        if (size > static_cast<std::uint32_t>(end - p))
            break;
        if (get_u32_le(p + L::LOCATION_KEY) == key) {
            const BYTE* v = p + L::LOCATION_HEAD;
            found = true;
            for (std::uint32_t i = 0; i < m && found; ++i)
                found = values.append(get_u32_le(v + L::VALUE_SIZE * i));
            position.x = get_coordinate(v + L::VALUE_SIZE * m);
            position.y = get_coordinate(v + L::VALUE_SIZE * m + 4);
        }
        p += size;
    }
    return found;
}

bool XrTmcTableFile::read_path_table()
{
    if (!is_open())
        return false;
    if (m_path_table != nullptr)
        return true;
    HeldBytes p(m_paths.get(), L::path_table_offset(m_num_buckets), L::PATH_INFO_SIZE * m_num_paths);
    if (p.get() == nullptr)
        return false;
    m_path_table = std::make_unique<PathInfo[]>(m_num_paths);
    for (std::uint32_t i = 0; i < m_num_paths; ++i) {
        const BYTE* e = p.get() + L::PATH_INFO_SIZE * i;
        m_path_table[i].offset = get_u32_le(e + L::PATH_OFFSET);
        const std::uint32_t v = get_u32_le(e + L::PATH_COUNTS);
        m_path_table[i].edges = static_cast<std::uint16_t>(v >> 16);
        m_path_table[i].points = static_cast<std::uint16_t>(v & 0xFFFF);
    }
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
        size += L::EDGE_SIZE * m_path_table[i].edges + L::POINT_SIZE * m_path_table[i].points;
    auto block = std::make_unique<XrByteArray>(static_cast<int>(size > 0 ? size : 1));
    if (size > 0 && !block->grow_to(static_cast<int>(size)))
        return false;
    HeldBytes p(m_paths.get(), begin, end - begin);
    if (p.get() == nullptr)
        return false;
    int produced = static_cast<int>(size);
    if (!zlib_uncompress(p.get(), static_cast<int>(end - begin), block->get_items(), produced) ||
        produced != static_cast<int>(size))
        return false;
    m_record.block = block.release();
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
    const std::uint32_t data_size = L::EDGE_SIZE * info.edges + L::POINT_SIZE * info.points;
    const std::uint32_t block_size = static_cast<std::uint32_t>(m_record.block->get_num_items());
    if (data_offset > block_size || data_size > block_size - data_offset)
        return false;
    const BYTE* data = m_record.block->get_items() + data_offset;

    // Edges past the path's end are not there to add.
    const std::uint32_t stop = std::min<std::uint32_t>(static_cast<std::uint32_t>(position) + length, info.edges);
    for (std::uint32_t i = position; i < stop; ++i) {
        const unsigned int id = get_u32_le(data + L::EDGE_SIZE * i);
        bool held = false;
        for (int j = 0; j < edges.get_num_items() && !held; ++j)
            held = *edges.get_item_ptr(j) == id;
        if (!held && !edges.append(id))
            return false;
    }
    if (info.points == 0)
        return false;
    const BYTE* points = data + L::EDGE_SIZE * info.edges;
    auto pos_at = [&](std::uint32_t i) { return get_u16_le(points + L::POINT_SIZE * i + L::POINT_POSITION); };
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
    point.x = get_coordinate(points + L::POINT_SIZE * best + L::POINT_X);
    point.y = get_coordinate(points + L::POINT_SIZE * best + L::POINT_Y);
    return true;
}

void XrTmcTableFile::release_caches()
{
    m_path_table.reset();
    m_record.drop_block();
    m_record.release_window();
    m_bucket_cache.reset();
    m_record.loaded_group = -1;
}

namespace {

// Every common path of a and b in the order of find_nth_common_tmc_path, in
// one walk.
void collect_common_tmc_paths(const XrTmcPathEntry* a, int num_a, const XrTmcPathEntry* b, int num_b,
                              std::vector<XrTmcCommonPath>& out)
{
    out.clear();
    for (int i = 0; i < num_a; ++i) {
        for (int j = 0; j < num_b; ++j) {
            if (a[i].path_id != b[j].path_id || b[j].position <= a[i].position)
                continue;
            XrTmcCommonPath c;
            c.path_id = a[i].path_id;
            c.position = a[i].position;
            c.length = static_cast<std::uint16_t>(b[j].position - a[i].position);
            c.extra = static_cast<std::uint16_t>((static_cast<unsigned>(a[i].extra) + b[j].extra) / 2);
            out.push_back(c);
        }
    }
}

} // namespace

bool match_tmc_event(XrTmcTableFile& tables, const TCHAR* table, const XrArray<std::uint16_t>& codes,
                     const XrArray<XrTmcPathEntry>& f, const XrArray<XrTmcPathEntry>& t, XrTmcCommonPath& match)
{
    if (codes.get_num_items() < 2)
        return false;
    const XrTmcPathEntry* fe = f.get_items();
    const int nf = f.get_num_items();
    std::vector<XrTmcCommonPath> common;
    collect_common_tmc_paths(fe, nf, t.get_items(), t.get_num_items(), common);
    if (common.empty())
        return false;
    if (common.size() == 1) {
        match = common.front();
        return true;
    }
    std::vector<std::uint16_t> ids;
    ids.reserve(common.size());
    for (const XrTmcCommonPath& c : common)
        ids.push_back(c.path_id);
    // Keep the ids that F also shares with each intermediate location.
    std::vector<XrTmcCommonPath> shared;
    std::vector<std::uint16_t> shared_ids;
    for (int i = 1; i <= codes.get_num_items() - 3 && !ids.empty(); ++i) {
        std::uint32_t offset = 0;
        XrArray<XrTmcPathEntry> mid;
        int count = 0;
        // A location without a path record shares no path.
        if (tables.find_record_by_id(table, *codes.get_item_ptr(i), false, offset))
            tables.read_record(offset, false, count, mid);
        collect_common_tmc_paths(fe, nf, mid.get_items(), mid.get_num_items(), shared);
        shared_ids.clear();
        for (const XrTmcCommonPath& c : shared)
            shared_ids.push_back(c.path_id);
        std::sort(shared_ids.begin(), shared_ids.end());
        std::erase_if(ids, [&](std::uint16_t id) {
            return !std::binary_search(shared_ids.begin(), shared_ids.end(), id);
        });
    }
    if (ids.empty())
        return false;
    for (const XrTmcCommonPath& c : common) {
        if (c.path_id == ids.front()) {
            match = c;
            return true;
        }
    }
    return false;
}
