// Helpers of the point index tests (indexes are built with the mapgen
// writer, write_qt_index): collecting query results, a brute-force reference, and a decoder of
// the index and data files written independently of the library's reader.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/db/qt/xr_geodata.h"
#include "common/db/qt/xr_geodatalayout.h"
#include "tools/mapgen/qt_index.h"

using QtPoint = QtIndexPoint;

inline bool operator==(const QtPoint& a, const QtPoint& b)
{
    return std::tie(a.x, a.y, a.payload) == std::tie(b.x, b.y, b.payload);
}

inline bool operator<(const QtPoint& a, const QtPoint& b)
{
    return std::tie(a.x, a.y, a.payload) < std::tie(b.x, b.y, b.payload);
}

inline std::ostream& operator<<(std::ostream& os, const QtPoint& p)
{
    return os << "(" << p.x << ", " << p.y << ", " << p.payload.size() << " bytes)";
}

inline std::string qt_read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void qt_write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline SSGeoDataStatus qt_add(SSGeoDataBuilder* builder, const QtPoint& point)
{
    SSPoint p;
    p.x = point.x;
    p.y = point.y;
    p.data = const_cast<char*>(point.payload.data());
    p.length = static_cast<std::uint32_t>(point.payload.size());
    return builder->add_point(&p);
}

// Reads a cursor to its end; the final status in *end.
inline std::vector<QtPoint> qt_drain(SSPointCursor* cursor, SSGeoDataStatus* end = nullptr,
                                     std::uint32_t capacity = 65535)
{
    std::vector<QtPoint> out;
    std::string buffer(capacity, '\0');
    for (;;) {
        SSPoint p;
        p.data = buffer.data();
        p.capacity = capacity;
        const SSGeoDataStatus status = cursor->get_next_point(&p);
        if (status != SSGEO_OK) {
            if (end != nullptr)
                *end = status;
            break;
        }
        out.push_back(QtPoint{p.x, p.y, buffer.substr(0, p.length)});
    }
    return out;
}

inline std::vector<QtPoint> qt_query(SSGeoDataSearcher* searcher, const SSRect& area, const SSRect* exclude = nullptr,
                                     SSGeoDataStatus* end = nullptr)
{
    SSPointCursor* cursor = searcher->query(area, exclude);
    std::vector<QtPoint> out = qt_drain(cursor, end);
    cursor->release();
    return out;
}

inline bool qt_inside(const SSRect& r, const QtPoint& p)
{
    return r.x0 <= p.x && p.x <= r.x1 && r.y0 <= p.y && p.y <= r.y1;
}

// The points a query must return, sorted.
inline std::vector<QtPoint> qt_brute_force(const std::vector<QtPoint>& points, const SSRect& area,
                                           const SSRect* exclude = nullptr)
{
    std::vector<QtPoint> out;
    for (const QtPoint& p : points) {
        if (qt_inside(area, p) && (exclude == nullptr || !qt_inside(*exclude, p)))
            out.push_back(p);
    }
    std::sort(out.begin(), out.end());
    return out;
}

inline std::vector<QtPoint> qt_sorted(std::vector<QtPoint> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

inline std::vector<QtPoint> qt_random_points(std::size_t count, const SSRect& area, std::uint32_t seed,
                                             std::size_t max_payload = 24)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::int32_t> dx(area.x0, area.x1);
    std::uniform_int_distribution<std::int32_t> dy(area.y0, area.y1);
    std::uniform_int_distribution<std::size_t> dl(0, max_payload);
    std::vector<QtPoint> points(count);
    for (std::size_t i = 0; i < count; ++i) {
        points[i].x = dx(rng);
        points[i].y = dy(rng);
        points[i].payload = "p" + std::to_string(i);
        points[i].payload.resize(std::max(points[i].payload.size(), dl(rng)), 'x');
    }
    return points;
}

inline const BYTE* qt_bytes(const std::string& s, std::size_t at)
{
    return reinterpret_cast<const BYTE*>(s.data()) + at;
}

inline std::uint32_t qt_u32(const std::string& s, std::size_t at)
{
    return xr_bytes::get_u32_le(qt_bytes(s, at));
}

inline std::uint32_t qt_u16(const std::string& s, std::size_t at)
{
    return xr_bytes::get_u16_le(qt_bytes(s, at));
}

// One node of the files, decoded by walking the node table and reading the
// data file strictly in order.
struct QtNode {
    std::uint32_t word = 0;
    std::uint32_t count_word = 0;
    std::uint64_t record = 0;
    int depth = 0;
    // Cell, relative to the area's minimum corner.
    std::uint64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    // Leaves: their points (relative), payloads and blocks (raw, stored).
    std::vector<QtPoint> points;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> blocks;
};

struct QtFiles {
    std::int32_t area[4] = {};
    std::vector<QtNode> nodes;
};

// Decodes the files, failing the test on any deviation from the format.
inline QtFiles qt_decode(const std::string& index, const std::string& data)
{
    QtFiles files;
    EXPECT_GE(index.size(), SSGEO_INDEX_HEADER + SSGEO_WORD_SIZE);
    EXPECT_EQ(index.size() % SSGEO_WORD_SIZE, 0u);
    if (index.size() < SSGEO_INDEX_HEADER + SSGEO_WORD_SIZE)
        return files;
    for (int i = 0; i < 4; ++i)
        files.area[i] = static_cast<std::int32_t>(qt_u32(index, 4 * i));
    const std::uint64_t extent = std::max<std::int64_t>(std::int64_t{files.area[2]} - files.area[0],
                                                        std::int64_t{files.area[3]} - files.area[1]);
    std::uint64_t size = 1;
    while (size < extent)
        size = size * 2 + 1;

    std::size_t word_at = SSGEO_INDEX_HEADER;
    std::size_t pos = 0;
    // Pre-order walk with an explicit recursion on the table.
    struct Walker {
        QtFiles& files;
        const std::string& index;
        const std::string& data;
        std::size_t& word_at;
        std::size_t& pos;
        void node(int depth, std::uint64_t x0, std::uint64_t y0, std::uint64_t x1, std::uint64_t y1)
        {
            ASSERT_LT(word_at, index.size());
            ASSERT_LE(pos + SSGEO_WORD_SIZE, data.size());
            QtNode n;
            n.word = qt_u32(index, word_at);
            word_at += SSGEO_WORD_SIZE;
            n.record = pos;
            n.depth = depth;
            n.x0 = x0, n.y0 = y0, n.x1 = x1, n.y1 = y1;
            EXPECT_EQ(n.word & SSGEO_OFFSET_MASK, pos / SSGEO_DATA_ALIGN) << "node word's data offset";
            n.count_word = qt_u32(data, pos);
            pos += SSGEO_WORD_SIZE;
            const unsigned flags = geo_node_flags(n.word);
            EXPECT_EQ((n.count_word & SSGEO_INNER_NODE) != 0, flags != 0) << "inner bit";
            const std::size_t at = files.nodes.size();
            files.nodes.push_back(n);
            if (flags != 0) {
                const std::uint64_t half = (x1 - x0 + 1) / 2;
                std::uint32_t below = 0;
                for (unsigned q = 0; q < 4; ++q) {
                    if (!(flags & geo_quarter_flag(q)))
                        continue;
                    const std::uint64_t cx0 = (q & 1) ? x0 + half : x0;
                    const std::uint64_t cx1 = (q & 1) ? x1 : x1 - half;
                    const std::uint64_t cy0 = (q & 2) ? y0 + half : y0;
                    const std::uint64_t cy1 = (q & 2) ? y1 : y1 - half;
                    const std::size_t child = files.nodes.size();
                    node(depth + 1, cx0, cy0, cx1, cy1);
                    if (::testing::Test::HasFatalFailure())
                        return;
                    below += files.nodes[child].count_word & ~SSGEO_INNER_NODE;
                }
                EXPECT_EQ(below, n.count_word & ~SSGEO_INNER_NODE) << "subtree count";
                return;
            }
            leaf(files.nodes[at]);
        }
        void leaf(QtNode& n)
        {
            const std::uint32_t count = n.count_word;
            // The root of an index without points: a lone count word.
            if (count == 0)
                return;
            std::string raw;
            std::size_t used = 0;
            std::uint32_t x = 0, y = 0;
            while (n.points.size() < count) {
                // Parse what the blocks so far hold.
                while (n.points.size() < count && raw.size() - used >= SSGEO_POINT_HEADER &&
                       raw.size() - used >= SSGEO_POINT_HEADER + qt_u16(raw, used + SSGEO_POINT_LENGTH)) {
                    const std::uint32_t len = qt_u16(raw, used + SSGEO_POINT_LENGTH);
                    x = n.points.empty() ? qt_u32(raw, used) : x + qt_u32(raw, used);
                    y = n.points.empty() ? qt_u32(raw, used + 4) : y + qt_u32(raw, used + 4);
                    n.points.push_back(QtPoint{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                                               raw.substr(used + SSGEO_POINT_HEADER, len)});
                    used += SSGEO_POINT_HEADER + len;
                }
                if (n.points.size() == count)
                    break;
                ASSERT_LE(pos + SSGEO_BLOCK_HEADER, data.size());
                const std::uint32_t raw_len = qt_u16(data, pos) + 1;
                const std::uint32_t stored = qt_u16(data, pos + 2) + 1;
                pos += SSGEO_BLOCK_HEADER;
                ASSERT_LE(raw_len, SSGEO_BLOCK_SIZE);
                ASSERT_LE(stored, raw_len);
                ASSERT_LE(pos + stored, data.size());
                n.blocks.emplace_back(raw_len, stored);
                if (stored == raw_len) {
                    raw.append(data, pos, raw_len);
                } else {
                    std::string out(raw_len, '\0');
                    int out_len = static_cast<int>(raw_len);
                    ASSERT_TRUE(zlib_uncompress(qt_bytes(data, pos), static_cast<int>(stored),
                                                reinterpret_cast<BYTE*>(out.data()), out_len));
                    ASSERT_EQ(static_cast<std::uint32_t>(out_len), raw_len);
                    raw += out;
                }
                pos += stored;
            }
            EXPECT_EQ(used, raw.size()) << "leaf blocks end with the last point";
            while (pos % SSGEO_DATA_ALIGN != 0) {
                ASSERT_LT(pos, data.size());
                EXPECT_EQ(data[pos], '\0') << "padding";
                ++pos;
            }
        }
    };
    Walker walker{files, index, data, word_at, pos};
    walker.node(0, 0, 0, size, size);
    EXPECT_EQ(word_at, index.size()) << "node table fully used";
    EXPECT_EQ(pos, data.size()) << "data file fully used";
    return files;
}

// The leaves' points in file order, made absolute.
inline std::vector<QtPoint> qt_file_order(const QtFiles& files)
{
    std::vector<QtPoint> out;
    for (const QtNode& n : files.nodes) {
        for (const QtPoint& p : n.points)
            out.push_back(QtPoint{static_cast<std::int32_t>(static_cast<std::uint32_t>(p.x) +
                                                            static_cast<std::uint32_t>(files.area[0])),
                                  static_cast<std::int32_t>(static_cast<std::uint32_t>(p.y) +
                                                            static_cast<std::uint32_t>(files.area[1])),
                                  p.payload});
    }
    return out;
}
