// The GPS status window's once-a-second redraw at 800 x 360 (full-screen
// layout: signal control on the right, position control on the left), with
// twelve satellites in view and a fix, into an off-screen target. Compared
// side by side with the baseline of placing both controls again every frame
// (each placement re-creates the controls' off-screen pixmaps).
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include "apps/corvanel/ui/controls/xr_gpspositionctrl.h"
#include "apps/corvanel/ui/controls/xr_signalctrl.h"
#include "common/base/xr_singleton.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"

namespace {

class FixedPositions : public XrPositionProvider {
public:
    FixedPositions()
    {
        info.set_coordinate(XrCoordinate(-24.0008, 30.995));
        info.set_velocity(XrVelocity(18.5, XrVelocity::MetresPerSecond));
        info.set_heading(XrAngle(90.0, XrAngle::Degrees));
        info.set_fix(true);
        XrArray<XrSVData> in_view;
        XrArray<int> used;
        for (int i = 0; i < 12; ++i) {
            XrSVData d;
            d.number = static_cast<std::uint16_t>(2 + i * 2);
            d.elevation = static_cast<std::uint16_t>(10 + i * 6);
            d.azimuth = static_cast<std::uint16_t>(i * 30);
            d.snr = 15 + i * 3;
            in_view.append(d);
            if (i % 2 == 0)
                used.append(d.number);
        }
        info.set_satellites_in_view(in_view);
        info.set_used_satellites(used);
    }
    void initialize() override {}
    void connect() override {}
    void check_connection() override {}
    void disconnect() override {}
    bool is_connected() override { return true; }
    bool is_active() override { return true; }
    XrPositionInfo& get_position_info() override { return info; }
    void set_connect_enabled(bool) override {}
    bool is_connect_enabled() override { return true; }
    const XrArray<XrPositionProducer*>& get_position_producers() override { return producers; }
    XrString get_position_producer_name(const XrPositionProducer*) const override { return XrString(); }

private:
    XrPositionInfo info;
    XrArray<XrPositionProducer*> producers;
};

// The target: an 800 x 360 pixmap, made like the window's drawing context.
struct Target {
    Target()
    {
        pixmap = gdk_pixmap_new(gdk_get_default_root_window(), 800, 360, -1);
        gdk_drawable_set_colormap(pixmap, gdk_colormap_get_system());
        gc = gdk_gc_new(pixmap);
        PangoContext* context = gdk_pango_context_get();
        dc.drawable = pixmap;
        dc.gc = gc;
        dc.layout = pango_layout_new(context);
        dc.context = pango_layout_get_context(dc.layout);
        g_object_unref(context);
        dc.brush = XrBrushHandle{0, XrBrushHandle::NullMarker, {0, 0, 0, 0}};
        dc.pen = XrPenHandle{{0, 0, 0, 0}, 1, XrPenHandle::Null};
        dc.transparent_text = 1;
    }
    ~Target()
    {
        g_object_unref(dc.layout);
        g_object_unref(gc);
        g_object_unref(pixmap);
    }
    GdkPixmap* pixmap;
    GdkGC* gc;
    XrDCHandleRec dc{};
};

struct World {
    World()
    {
        fonts.initialize();
        XrSingleton::set_instance(XrString(L"XrFontRepository"), &fonts);
        XrSingleton::set_instance(XrString(L"XrPositionProvider"), &positions);
    }
    ~World()
    {
        XrSingleton::set_instance(XrString(L"XrPositionProvider"), nullptr);
        XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
    }
    XrFontRepositoryMaemo fonts;
    FixedPositions positions;
};

void redraw(benchmark::State& state, bool place_every_frame)
{
    if (!gtk_init_check(nullptr, nullptr)) {
        state.SkipWithError("no display");
        return;
    }
    World world;
    Target target;
    XrSignalCtrl* signal = XrSignalCtrl::create();
    XrGpsPositionCtrl* position = XrGpsPositionCtrl::create();
    signal->set_reference_dc(&target.dc);
    position->set_reference_dc(&target.dc);
    const XrRectangle right(410, 10, 790, 350), left(10, 10, 390, 350);
    signal->set_rectangle(right);
    position->set_rectangle(left);
    for (auto _ : state) {
        if (place_every_frame) {
            signal->set_rectangle(right);
            position->set_rectangle(left);
        }
        signal->draw(&target.dc);
        position->draw(&target.dc);
        gdk_flush();
        XrGDI::flush_and_wait(&target.dc, 0);
    }
    delete signal;
    delete position;
}

void BM_GpsStatusRedraw(benchmark::State& state) { redraw(state, false); }
void BM_GpsStatusRedrawPlacedEveryFrame(benchmark::State& state) { redraw(state, true); }

} // namespace

BENCHMARK(BM_GpsStatusRedraw)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_GpsStatusRedrawPlacedEveryFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
