// The square cells of the point index and their quarters, in coordinates
// relative to the area's minimum corner (unsigned, corners inclusive).
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/db/qt/xr_geodata.h"

struct SSQuadRect {
    std::uint32_t x0 = 0;
    std::uint32_t y0 = 0;
    std::uint32_t x1 = 0;
    std::uint32_t y1 = 0;

    bool contains(std::uint32_t x, std::uint32_t y) const { return x0 <= x && x <= x1 && y0 <= y && y <= y1; }
    bool meets(const SSQuadRect& o) const { return !(x0 > o.x1 || x1 < o.x0 || y0 > o.y1 || y1 < o.y0); }
    // o lies inside this rectangle (edges may touch).
    bool covers(const SSQuadRect& o) const { return x0 <= o.x0 && y0 <= o.y0 && o.x1 <= x1 && o.y1 <= y1; }
    // o lies inside this rectangle without touching any edge.
    bool strictly_covers(const SSQuadRect& o) const { return x0 < o.x0 && y0 < o.y0 && o.x1 < x1 && o.y1 < y1; }
};

// The split of a cell: ceil((x1 - x0) / 2), used on both axes (cells are
// square).
inline std::uint32_t geo_half(const SSQuadRect& r)
{
    const std::uint32_t w = r.x1 - r.x0;
    return (w >> 1) + (w & 1);
}

// Quarter q of a cell: q & 1 takes the upper x half (x0 + half .. x1), else
// the lower (x0 .. x1 - half); q & 2 likewise on y.
inline SSQuadRect geo_quarter_rect(const SSQuadRect& r, unsigned q)
{
    const std::uint32_t half = geo_half(r);
    SSQuadRect c;
    c.x0 = (q & 1) ? r.x0 + half : r.x0;
    c.x1 = (q & 1) ? r.x1 : r.x1 - half;
    c.y0 = (q & 2) ? r.y0 + half : r.y0;
    c.y1 = (q & 2) ? r.y1 : r.y1 - half;
    return c;
}

// The first quarter (0 to 3) of the cell that holds (x, y), or 4.
inline unsigned geo_quarter_of(const SSQuadRect& r, std::uint32_t x, std::uint32_t y)
{
    const std::uint32_t half = geo_half(r);
    const bool low_x = x >= r.x0 && x <= r.x1 - half;
    const bool high_x = x >= r.x0 + half && x <= r.x1;
    const bool low_y = y >= r.y0 && y <= r.y1 - half;
    const bool high_y = y >= r.y0 + half && y <= r.y1;
    if (low_y && low_x)
        return 0;
    if (low_y && high_x)
        return 1;
    if (high_y && low_x)
        return 2;
    if (high_y && high_x)
        return 3;
    return 4;
}

// The side of the root square 0..size: 2^k - 1, the first such value not
// below the larger extent of the area.
inline std::uint32_t geo_root_size(const SSRect& area)
{
    const std::int64_t w = static_cast<std::int64_t>(area.x1) - area.x0;
    const std::int64_t h = static_cast<std::int64_t>(area.y1) - area.y0;
    const std::int64_t extent = w > h ? w : h;
    std::int64_t size = 1;
    while (size < extent)
        size = size * 2 + 1;
    return static_cast<std::uint32_t>(size);
}

// Points in a cell of this width or narrower are not split further.
inline bool geo_cell_unsplittable(const SSQuadRect& r)
{
    return r.x1 == r.x0;
}

// Most points of a leaf, unless its cell cannot be split.
constexpr std::uint32_t SSGEO_LEAF_POINTS = 512;
