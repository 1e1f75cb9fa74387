// Shared set-up of the road layer tests: the city style with label fonts
// for streets (1002) and motorways (1001), two route styles (5 active, 6
// other), a thin unlabelled road style (7) and a name source double.
#pragma once

#include <map>

#include "common/map/xr_linelabellayer.h"
#include "map_test_support.h"

namespace xr_road_test {

using namespace xr_map_test;

constexpr unsigned ROUTE_OUT = 0x0000C8; // pen 4
constexpr unsigned ROUTE_IN = 0xC85A3C;  // pen 5

inline std::string road_style_text()
{
    std::string t = xr_city_style_text("\\vs");
    auto replace = [&t](const std::string& from, const std::string& to) {
        const size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos)
            t.replace(at, from.size(), to);
    };
    replace("20=1,1,1\n", "20=1,1,1\n1001=1,1,1\n1002=1,1,1\n1005=1,1,1\n");
    replace("4=4,5,3,4,5,3,4,5,3\n",
            "4=4,5,3,4,5,3,4,5,3\n5=4,5,-8,4,5,-8,4,5,-8\n6=6,3,-6,6,3,-6,6,3,-6\n7=6,0,1,6,0,1,6,0,1\n");
    return t;
}

inline std::unique_ptr<XrVisualSetting> road_style(XrPalette& palette)
{
    register_fonts();
    auto config = config_from("REGEDIT4\n" + road_style_text());
    EXPECT_EQ(config->open_key(L"\\vs"), XrConfiguration::OK);
    auto vs = std::make_unique<XrVisualSetting>();
    XrPtrArray<XrSymbolLibrary*> libraries;
    libraries.XrArray<void*>::append(nullptr);
    EXPECT_EQ(vs->read(*config, palette, libraries, nullptr), 0);
    return vs;
}

// Street names by road id, and a suffix table.
struct NameDouble : XrStreetNameSource {
    std::map<XrGid, std::wstring> names;
    std::vector<std::pair<std::wstring, std::wstring>> suffixes{{L"Street", L"st"}, {L"Avenue", L"Ave"}};
    int lookups = 0;
    int flushes = 0;

    void get_streets_by_gids(const std::vector<XrGid>& gids, int, std::vector<XrString>& out) override
    {
        ++lookups;
        out.clear();
        for (XrGid g : gids) {
            auto it = names.find(g);
            out.push_back(it == names.end() ? XrString() : XrString(it->second.c_str()));
        }
    }
    void get_suffix_table(std::vector<std::pair<XrString, XrString>>& table) override
    {
        for (auto& [l, s] : suffixes)
            table.emplace_back(XrString(l.c_str()), XrString(s.c_str()));
    }
    void flush_name_cache() override { ++flushes; }
};

// A route given by road ids, with its polylines.
struct RouteDouble : XrRouteEdgeSource {
    std::vector<XrGid> gids;
    XrPolygon lines[2] = {XrPolygon(true), XrPolygon(true)};
    int get_segment_count() const override { return static_cast<int>(gids.size()); }
    XrGid get_segment_gid(int i) const override { return gids[static_cast<size_t>(i)]; }
    const XrPolygon* get_polyline(int which) const override
    {
        return lines[which].get_point_count() > 0 ? &lines[which] : nullptr;
    }
};

struct RoadFixture : ::testing::Test {
    RoadFixture() : view(&map)
    {
        vs = road_style(map.get_palette());
        layer = new XrLineLabelLayer(L"arial", 12, &map, vs.get(), false, 5, 6);
        storage = new XrMemoryGeomStorage();
        layer->get_storage()->add_storage(storage, 0);
        layer->set_street_names(&names);
        map.add_layer(layer, XrString(L"road"));
        set_up_view(view);
        dc = xr_recording_dc(800, 480);
        XrGdiRecording::instance().clear();
    }
    ~RoadFixture() override { XrGDI::delete_dc(dc); }

    // Adds a road; returns its road id (the record's index).
    XrGid road(int type, const std::vector<XrPoint>& pts)
    {
        add_line(*storage, type, pts);
        return static_cast<XrGid>(storage->get_record_count() - 1);
    }
    void draw()
    {
        XrGdiRecording::instance().clear();
        if (map.is_3d())
            layer->draw_3d(dc, &view);
        else
            layer->draw(dc, &view);
    }
    XrPoint screen(const XrPoint& w) const
    {
        XrPoint s;
        view.world_to_screen_2d(w.x, w.y, s.x, s.y);
        return s;
    }

    XrMap map;
    XrMapView view;
    std::unique_ptr<XrVisualSetting> vs;
    XrLineLabelLayer* layer;
    XrMemoryGeomStorage* storage;
    NameDouble names;
    XrDCHandleRec* dc;
};

} // namespace xr_road_test
