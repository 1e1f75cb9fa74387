// A dense road view with street names over the generated city: the road
// layer (a street every 40 units, each block side a named record, every
// tenth row and column a motorway, every seventh segment one-way) added on
// top of the city's own layers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bench_city.h"
#include "common/container/xr_bytearray.h"
#include "common/container/xr_bytes.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/map/xr_linelabellayer.h"
#include "common/visualization/xr_visualsetting.h"
#include "tools/mapstyle/map_style.h"

class XrBenchStreetNames : public XrStreetNameSource {
public:
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

// A two-point polyline record in the in-memory layout.
inline std::vector<BYTE> xr_bench_segment(int id, int type, XrPoint a, XrPoint b)
{
    XrByteWriter w;
    w.u32_le(static_cast<std::uint32_t>(id));
    w.u16_le(static_cast<std::uint16_t>(type));
    w.u16_le(0);
    w.u24_le(static_cast<std::uint32_t>(a.x));
    w.u24_le(static_cast<std::uint32_t>(a.y));
    XrByteArray d;
    d.append_varint(b.x - a.x);
    d.append_varint(b.y - a.y);
    w.bytes(d.get_items(), static_cast<std::size_t>(d.get_num_items()));
    return w.take();
}

class XrRoadBench {
public:
    XrBenchCity city;
    XrPalette palette;
    std::unique_ptr<XrVisualSetting> style;
    XrBenchStreetNames names;
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
                    const std::vector<BYTE> rec = xr_bench_segment(id++, type | (col % 7 == 0 ? 32 : 0), p, q);
                    storage->add_record(XrGeomStorage::RecPolyline, rec.data(), rec.size());
                    names.by_gid.push_back(XrString(
                        (std::wstring(p.y == q.y ? L"Row " : L"Column ") + std::to_wstring(row) + L" Street").c_str()));
                }
            }
        city.map.add_layer(layer, XrString(L"road"));
    }

    // The view at a scale, flat or in perspective; the road widths of the
    // perspective follow the view as the map-view provider's change would.
    void set_view(unsigned scale, bool is_3d)
    {
        city.set_view(scale, is_3d);
        XrLineLabelLayer::invalidate_3d_width_tables();
    }
};
