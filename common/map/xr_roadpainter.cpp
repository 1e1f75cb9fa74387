// XrRoadPainter: the perspective road widths, shared by all road layers:
// row width tables computed from the view's 3D set-up, and segments drawn
// with widths that grow towards the viewer.
#include "common/map/xr_roadpainter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/map/xr_linelabellayer_draw.h"
#include "common/map/xr_mapview.h"

using namespace xr_road_drawing;

namespace {

// The 3D row width tables: 64 entries each; entry 0 holds 127 while invalid.
signed char g_narrow[64] = {127};
signed char g_wide[64] = {127};
int g_row_shift = 3;

} // namespace

void XrRoadPainter::invalidate_3d_width_tables()
{
    g_narrow[0] = 127;
    g_wide[0] = 127;
}

bool XrRoadPainter::width_tables_valid() { return g_narrow[0] != 127 && g_wide[0] != 127; }
bool XrRoadPainter::width_tables_fit(int screen_height)
{
    return width_tables_valid() && g_row_shift == row_shift_for(screen_height);
}
int XrRoadPainter::narrow_width(int index) { return g_narrow[std::clamp(index, 0, 63)]; }
int XrRoadPainter::wide_width(int index) { return g_wide[std::clamp(index, 0, 63)]; }

void XrRoadPainter::compute_3d_width_tables(const XrMapView* view)
{
    g_row_shift = row_shift_for(view->get_screen_height());
    for (int i = 0; i < 64; ++i) {
        g_narrow[i] = 0;
        g_wide[i] = 0;
    }
    // The camera's axes in world units: scanning ahead along them is the
    // scan of a north-up view of the same set-up.
    const int r = 360 - view->get_rotation();
    const XrPoint centre = view->get_centre();
    int next_start = 0;
    for (int table = 0; table < 2; ++table) {
        const int h = table == 0 ? 18 : 26;
        signed char* out = table == 0 ? g_narrow : g_wide;
        const int start = table == 0 ? -10000 : next_start - 10000;
        int ended = 0;
        for (int t = start; t <= 9999; ++t) {
            XrPoint l(-h, t), rr(h, t);
            rotate_point(l, r);
            rotate_point(rr, r);
            int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
            view->world_to_screen_3d(centre.x + l.x, centre.y + l.y, XrMapView::POINT_HEIGHT, x1, y1);
            view->world_to_screen_3d(centre.x + rr.x, centre.y + rr.y, XrMapView::POINT_HEIGHT, x2, y2);
            if (y1 != y2)
                continue;
            const int index = y1 >> g_row_shift;
            if (index >= 0 && index <= 63) {
                out[index] = static_cast<signed char>(std::min(126.0, std::abs(x2 - x1) / 3.1));
            } else if (index == -1) {
                ended = t;
                break;
            }
        }
        next_start = ended;
    }
    int last = g_narrow[0];
    for (int i = 1; i < 63; ++i) {
        if (g_narrow[i] == 0)
            g_narrow[i] = static_cast<signed char>(last);
        else
            last = g_narrow[i];
    }
    // A computed table never reads as invalid.
    if (g_narrow[0] == 127)
        g_narrow[0] = 126;
    if (g_wide[0] == 127)
        g_wide[0] = 126;
}

int XrRoadPainter::slope_width_factor(int dx, int dy)
{
    if (dx == 0)
        return 1024;
    const int r = static_cast<int>((static_cast<std::int64_t>(dy) * 256) / dx);
    if (r < 128)
        return r * 342 / 128 + 512;
    if (r < 256)
        return (r * 134 - 17152) / 128 + 854;
    if (r < 384)
        return (r * 32 - 8192) / 128 + 989;
    return 1024;
}

void XrRoadPainter::draw_3d_segment(XrDCHandleRec* dc, const XrPoint& q1, const XrPoint& q2, const XrSize& screen,
                                       int width, bool clip)
{
    if (q1 == q2)
        return;
    const signed char* table = width < 0 ? g_wide : g_narrow;
    const int base = std::abs(width);
    XrPoint p1 = q1, p2 = q2;
    if (p2.y < p1.y)
        std::swap(p1, p2);
    if (clip) {
        XrPoint a, b;
        if (!clip_line_to_screen(p1.x, p1.y, p2.x, p2.y, screen, a.x, a.y, b.x, b.y))
            return;
        p1 = a;
        p2 = b;
        if (p2.y < p1.y)
            std::swap(p1, p2);
    }
    const int f = slope_width_factor(std::abs(p2.x - p1.x), std::abs(p2.y - p1.y));
    auto pen_width = [&](int end_row) {
        int t = table[std::clamp(end_row >> g_row_shift, 0, 63)];
        if (f != 1024)
            t = (f * t) / 1024;
        return std::max(1, t + base);
    };
    // Consecutive bands of one width are drawn as one line (the band ends
    // lie on it), and the pen width is set only when it changes.
    auto draw_run = [dc](const XrPoint& a, const XrPoint& b, int w) {
        if (XrGDI::get_pen(dc).width != w)
            XrGDI::set_pen_width(dc, w);
        const XrPoint seg[2] = {a, b};
        XrGDI::draw_polyline(dc, seg, 2);
    };
    XrPoint from = p1, run_start = p1;
    int run_width = -1;
    const std::int64_t dy = static_cast<std::int64_t>(p2.y) - p1.y;
    // Bands of 20 rows, aligned to multiples of 20.
    int band_end = p1.y >= 0 ? (p1.y / 20 + 1) * 20 - 1 : -((-p1.y - 1) / 20) * 20 - 1;
    for (int guard = 0; guard < 10000; ++guard) {
        XrPoint to = p2;
        if (band_end < p2.y && dy > 0) {
            const double t = static_cast<double>(band_end - p1.y) / static_cast<double>(dy);
            to = XrPoint(static_cast<int>(std::floor(p1.x + (p2.x - p1.x) * t + 0.5)), band_end);
        }
        const int w = pen_width(to.y);
        if (run_width >= 0 && w != run_width) {
            draw_run(run_start, from, run_width);
            run_start = from;
        }
        run_width = w;
        if (to == p2)
            break;
        from = to;
        band_end += 20;
    }
    draw_run(run_start, p2, run_width);
}
