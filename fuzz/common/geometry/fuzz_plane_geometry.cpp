// Plane geometry on arbitrary integer coordinates (map data and screen
// positions far outside the window): nothing may overflow, and clipped
// results must lie where they are promised.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/geometry/xr_polygon.h"

namespace {

int take(const uint8_t*& data, size_t& size)
{
    int32_t v = 0;
    if (size >= sizeof v) {
        std::memcpy(&v, data, sizeof v);
        data += sizeof v;
        size -= sizeof v;
    }
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t flags = *data++;
    --size;
    const int a[8] = {take(data, size), take(data, size), take(data, size), take(data, size),
                      take(data, size), take(data, size), take(data, size), take(data, size)};

    const XrSize screen(800, 480);
    int c[4];
    if (clip_line_to_screen(a[0], a[1], a[2], a[3], screen, c[0], c[1], c[2], c[3])) {
        for (int i = 0; i < 4; ++i)
            if (std::abs(c[i]) > 2000 && c[i] != a[i] && c[i] != a[(i + 2) % 4])
                std::abort(); // a moved end far off the screen
    }
    int fx, fy;
    project_point_on_segment(a[0], a[1], a[2], a[3], a[4], a[5], fx, fy);
    segments_intersect(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], &fx, &fy);
    XrPoint p(a[0], a[1]), q(a[2], a[3]), r(a[4], a[5]);
    get_angle(p, q);
    get_angle_between(a[6] % 360, a[7] % 360);
    distance_to_segment(p, q, r);
    rotate_point(p, a[6]);
    XrRectangle box(a[4] < a[6] ? a[4] : a[6], a[5] < a[7] ? a[5] : a[7], a[4] < a[6] ? a[6] : a[4],
                    a[5] < a[7] ? a[7] : a[5]);
    XrPoint moved(a[0], a[1]);
    clip_point_to_rect(box, moved, q);
    rotate_bounding_box(box, a[0]);
    get_edge_point(box, q);

    // The rest: points of a polygon.
    XrPolygon poly((flags & 1) != 0, 0);
    while (size >= 8) {
        int x = take(data, size);
        poly.add_point(XrPoint(x, take(data, size)));
    }
    XrPoint nearest;
    double distance, offset;
    int index, direction, side;
    poly.get_nearest_point(p, nearest, &distance, &offset, &index, &direction, &side);
    std::int16_t dir16;
    poly.get_point_at_distance(static_cast<double>(a[6]), nearest, dir16);
    poly.contains_point(q);
    poly.intersects(box);
    poly.intersects(poly);
    get_turn_angle(poly, (flags & 2) != 0, poly, (flags & 4) != 0, a[7] % 100);
    const XrRectangle window(0, 0, 800, 480);
    poly.clip_polygon(window);
    // Clipping stops once fewer than two points are left (a lone point may
    // stay where it was); any longer result lies in the window.
    XrPoint pt;
    for (int i = 0; poly.get_point_count() >= 2 && poly.get_point(i, pt); ++i)
        if (!window.contains(pt))
            std::abort();
    return 0;
}
