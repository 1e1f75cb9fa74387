// A dense road view with street names over the generated city: the road
// layer (a street every 40 units, each block side a named record) drawn
// together with the city's own layers, flat and in perspective, at 800 x
// 480, through the recording backend with its log off.
#include <benchmark/benchmark.h>

#include <map>

#include "bench_city.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/gdi/recording/xr_gdi_recording.h"
#include "common/map/xr_linelabellayer.h"
#include "common/visualization/xr_visualsetting.h"
#include "tools/mapstyle/map_style.h"

namespace {

struct Names : XrStreetNameSource {
    std::vector<XrString> by_gid;
    void get_streets_by_gids(const std::vector<XrGid>& gids, int, std::vector<XrString>& out) override
    {
        out.clear();
        for (XrGid g : gids)
            out.push_back(g < by_gid.size() ? by_gid[g] : XrString());
    }
    void get_suffix_table(std::vector<std::pair<XrString, XrString>>& table) override
    {
        table.emplace_back(XrString(L"Street"), XrString(L"st"));
    }
};

void put_le(std::vector<BYTE>& b, long long v, int n)
{
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<BYTE>(v >> (8 * i)));
}

// A two-point polyline record in the in-memory layout.
std::vector<BYTE> segment(int id, int type, XrPoint a, XrPoint b)
{
    std::vector<BYTE> r;
    put_le(r, id, 4);
    put_le(r, type, 2);
    put_le(r, 0, 2);
    put_le(r, a.x, 3);
    put_le(r, a.y, 3);
    XrByteArray d;
    d.append_varint(b.x - a.x);
    d.append_varint(b.y - a.y);
    r.insert(r.end(), d.get_items(), d.get_items() + d.get_num_items());
    return r;
}

struct XrRoadBench {
    XrBenchCity city;
    XrPalette palette;
    std::unique_ptr<XrVisualSetting> style;
    Names names;
    XrLineLabelLayer* layer = nullptr;

    XrRoadBench()
    {
        std::string t = xr_city_style_text("\\vs");
        t.replace(t.find("20=1,1,1\n"), 9, "20=1,1,1\n1001=1,1,1\n1002=1,1,1\n");
        XrMemoryConfiguration config(L"");
        const std::string text = "REGEDIT4\n" + t;
        config.open(reinterpret_cast<const BYTE*>(text.data()), text.size(), true);
        config.open_key(L"\\vs");
        style = std::make_unique<XrVisualSetting>();
        XrPtrArray<XrSymbolLibrary*> libraries;
        libraries.XrArray<void*>::append(nullptr);
        style->read(config, palette, libraries, nullptr);

        layer = new XrLineLabelLayer(L"arial", 12, &city.map, style.get(), false, 0, 0);
        auto* storage = new XrMemoryGeomStorage();
        layer->get_storage()->add_storage(storage, 0);
        layer->set_street_names(&names);
        const int pitch = 40, n = 200;
        const XrPoint o(city.centre.x - pitch * n / 2, city.centre.y - pitch * n / 2);
        int id = 0;
        for (int row = 0; row <= n; ++row)
            for (int col = 0; col < n; ++col) {
                const int type = row % 10 == 0 ? 1 : 2;
                const XrPoint a(o.x + col * pitch, o.y + row * pitch), b(a.x + pitch, a.y);
                const XrPoint c(o.x + row * pitch, o.y + col * pitch), d(c.x, c.y + pitch);
                for (const auto& [p, q] : {std::pair{a, b}, std::pair{c, d}}) {
                    const std::vector<BYTE> rec = segment(id++, type | (col % 7 == 0 ? 32 : 0), p, q);
                    storage->add_record(XrGeomStorage::RecPolyline, rec.data(), rec.size());
                    names.by_gid.push_back(XrString(
                        (std::wstring(p.y == q.y ? L"Row " : L"Column ") + std::to_wstring(row) + L" Street").c_str()));
                }
            }
        city.map.add_layer(layer, XrString(L"road"));
    }
};

XrRoadBench& bench()
{
    static XrRoadBench b;
    return b;
}

void BM_DenseRoadsWithLabels(benchmark::State& state)
{
    XrRoadBench& b = bench();
    b.city.set_view(static_cast<unsigned>(state.range(0)), state.range(1) != 0);
    XrDCHandleRec* dc = xr_recording_dc(800, 480);
    XrGdiRecording::instance().set_enabled(true);
    XrGdiRecording::instance().clear();
    b.city.view.draw(dc, nullptr, XrMap::AllLayers, -1, -1);
    const double calls = static_cast<double>(XrGdiRecording::instance().get_calls().size());
    XrGdiRecording::instance().clear();
    XrGdiRecording::instance().set_enabled(false);
    for (auto _ : state)
        b.city.view.draw(dc, nullptr, XrMap::AllLayers, -1, -1);
    state.counters["draw_calls"] = calls;
    state.counters["labels"] = static_cast<double>(b.layer->get_placed_labels().size());
    XrGDI::delete_dc(dc);
}

BENCHMARK(BM_DenseRoadsWithLabels)
    ->ArgNames({"scale", "3d"})
    ->ArgsProduct({{5000, 10000, 20000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

} // namespace
