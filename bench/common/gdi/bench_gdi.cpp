// Drawing throughput of XrGDI into an 800 x 480 memory DC (needs an X
// display, e.g. xvfb-run). Each iteration draws a batch and waits for the
// X server, so the figures include the server's work.
#include <benchmark/benchmark.h>

#include <gtk/gtk.h>

#include <cmath>
#include <random>
#include <vector>

#include "common/gdi/xr_gdi.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 480;
constexpr int kBatch = 200;

// A window-like reference DC and a memory DC made from it.
class XrBenchSurface {
public:
    XrBenchSurface()
    {
        pixmap = gdk_pixmap_new(gdk_get_default_root_window(), kWidth, kHeight, -1);
        gdk_drawable_set_colormap(pixmap, gdk_colormap_get_system());
        gc = gdk_gc_new(pixmap);
        PangoContext* context = gdk_pango_context_get();
        reference = new XrDCHandleRec{};
        reference->drawable = pixmap;
        reference->gc = gc;
        reference->layout = pango_layout_new(context);
        reference->context = pango_layout_get_context(reference->layout);
        g_object_unref(context);
        reference->pen = XrPenHandle{{0, 0, 0, 0}, 1, XrPenHandle::Null};
        reference->brush = XrBrushHandle{0, XrBrushHandle::NullMarker, {0, 0, 0, 0}};
        reference->transparent_text = 1;
        dc = XrGDI::create_memory_dc(reference, kWidth, kHeight);
    }
    ~XrBenchSurface()
    {
        XrGDI::delete_dc(dc);
        g_object_unref(reference->layout);
        delete reference;
        g_object_unref(gc);
        g_object_unref(pixmap);
    }
    void sync() { gdk_display_sync(gdk_display_get_default()); }

    GdkPixmap* pixmap = nullptr;
    GdkGC* gc = nullptr;
    XrDCHandleRec* reference = nullptr;
    XrDCHandleRec* dc = nullptr;
};

bool display_ready(benchmark::State& state)
{
    static const bool ready = [] {
        if (!gtk_init_check(nullptr, nullptr))
            return false;
        XrGDI::init_stock_objects();
        return true;
    }();
    if (!ready)
        state.SkipWithError("no X display");
    return ready;
}

// Points spread over the surface and a margin of a quarter around it.
std::vector<XrPoint> random_points(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> x(-kWidth / 4, kWidth + kWidth / 4);
    std::uniform_int_distribution<int> y(-kHeight / 4, kHeight + kHeight / 4);
    std::vector<XrPoint> points(n);
    for (XrPoint& p : points)
        p = XrPoint(x(rng), y(rng));
    return points;
}

void BM_Lines(benchmark::State& state)
{
    if (!display_ready(state))
        return;
    XrBenchSurface s;
    XrGDI::select_pen(s.dc, XrGDI::create_pen(static_cast<XrGDI::PenStyle>(state.range(0)), 3, 200, 40, 40));
    const std::vector<XrPoint> pts = random_points(2 * kBatch, 1);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            XrGDI::draw_line(s.dc, pts[2 * i].x, pts[2 * i].y, pts[2 * i + 1].x, pts[2 * i + 1].y);
        s.sync();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_Lines)->Arg(0)->Arg(1)->ArgName("dashed")->UseRealTime();

// Road-like polylines of 40 points, partly outside the surface.
void BM_Polylines(benchmark::State& state)
{
    if (!display_ready(state))
        return;
    XrBenchSurface s;
    XrGDI::select_pen(s.dc, XrGDI::create_pen(XrGDI::PenSolid, 5, 250, 200, 60));
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> step(-30, 30);
    std::vector<XrPoint> pts = random_points(kBatch, 3);
    std::vector<XrPoint> line(40);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            line[0] = pts[i];
            for (size_t k = 1; k < line.size(); ++k)
                line[k] = XrPoint(line[k - 1].x + step(rng), line[k - 1].y + step(rng));
            XrGDI::draw_polyline(s.dc, line.data(), static_cast<int>(line.size()));
        }
        s.sync();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_Polylines)->UseRealTime();

// Filled 24-point polygons, with an outline; with range(0) = 1 each has a hole.
void BM_Polygons(benchmark::State& state)
{
    if (!display_ready(state))
        return;
    XrBenchSurface s;
    XrGDI::select_pen(s.dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 20, 20, 20));
    XrGDI::select_brush(s.dc, XrGDI::create_brush(XrGDI::BrushSolid, 120, 200, 120));
    const bool hole = state.range(0) != 0;
    const std::vector<XrPoint> centres = random_points(kBatch, 4);
    std::vector<XrPoint> rings;
    const int n = 24;
    for (int i = 0; i < kBatch; ++i) {
        for (int k = 0; k < n; ++k) {
            const double a = 2 * G_PI * k / n, r = (k % 2 ? 40 : 60);
            rings.emplace_back(centres[i].x + static_cast<int>(r * cos(a)), centres[i].y + static_cast<int>(r * sin(a)));
        }
        for (int k = 0; k < 4; ++k)
            rings.emplace_back(centres[i].x + (k == 1 || k == 2 ? 10 : -10), centres[i].y + (k >= 2 ? 10 : -10));
    }
    const int sizes[2] = {n, 4};
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            XrGDI::draw_polygon_outlined(s.dc, &rings[i * (n + 4)], sizes, hole ? 2 : 1, true);
        s.sync();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_Polygons)->Arg(0)->Arg(1)->ArgName("hole")->UseRealTime();

// Street-name labels, centred in their boxes; range(0) = angle in degrees.
void BM_Text(benchmark::State& state)
{
    if (!display_ready(state))
        return;
    XrBenchSurface s;
    XrFontHandleRec* font =
        XrGDI::create_font_rotated(L"Arial", 14, 1, false, XrFontAngle(static_cast<unsigned>(state.range(0))));
    XrGDI::select_font(s.dc, font);
    XrGDI::set_text_color(s.dc, XrGDI::rgb(0, 0, 0));
    const std::vector<XrPoint> pts = random_points(kBatch, 5);
    const TCHAR* labels[4] = {L"Mannerheimintie", L"Hauptstraße 12", L"Rue de Rivoli", L"E75"};
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            XrGDI::draw_text_rect(s.dc, labels[i % 4], pts[i].x, pts[i].y, pts[i].x + 200, pts[i].y + 40,
                                  XrGDI::CentreMiddle, -1);
        s.sync();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    XrGDI::deselect_font(s.dc);
    XrGDI::delete_font(font);
}
BENCHMARK(BM_Text)->Arg(0)->Arg(30)->ArgName("angle")->UseRealTime();

void BM_MeasureText(benchmark::State& state)
{
    if (!display_ready(state))
        return;
    XrFontHandleRec* font = XrGDI::create_font(L"Arial", 14, 1, false);
    for (auto _ : state)
        benchmark::DoNotOptimize(XrGDI::measure_text(font, L"Hauptstraße 12"));
    state.SetItemsProcessed(state.iterations());
    XrGDI::delete_font(font);
}
BENCHMARK(BM_MeasureText);

// 32 x 32 icons with a mask, as map symbols are drawn.
void BM_MaskedBitmaps(benchmark::State& state)
{
    if (!display_ready(state))
        return;
    XrBenchSurface s;
    const int side = 32;
    auto make = [&](bool mask) {
        auto* bm = new XrBitmapHandleRec{new XrBitmapHeader{}, new BYTE[side * side * 3], nullptr, nullptr, nullptr};
        bm->header->width = bm->header->height = side;
        for (int i = 0; i < side * side; ++i) {
            const int x = i % side, y = i / side;
            const bool inside = (x - 16) * (x - 16) + (y - 16) * (y - 16) < 200;
            bm->buffer[i * 3] = mask ? (inside ? 0 : 255) : 200;
            bm->buffer[i * 3 + 1] = mask ? 0 : static_cast<BYTE>(x * 8);
            bm->buffer[i * 3 + 2] = mask ? 0 : static_cast<BYTE>(y * 8);
        }
        return bm;
    };
    XrBitmapHandleRec* image = make(false);
    XrBitmapHandleRec* mask = make(true);
    const std::vector<XrPoint> pts = random_points(kBatch, 6);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            XrGDI::draw_bitmap_masked(s.dc, pts[i].x, pts[i].y, pts[i].x + side, pts[i].y + side, image, 0, 0, mask);
        s.sync();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    XrGDI::delete_bitmap(image);
    XrGDI::delete_bitmap(mask);
}
BENCHMARK(BM_MaskedBitmaps)->UseRealTime();

} // namespace
