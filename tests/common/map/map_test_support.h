// Shared set-up of the map engine's layer tests: the font repository, the
// city style read from its generated text, a view of 800 x 480 at scale
// 10000 around (100000, 200000) (1.6 pixels a unit, 500 x 300 units) and a
// recording DC.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/base/xr_singleton.h"
#include "common/config/xr_memoryconfiguration.h"
#include "common/db/memory_records.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/gdi/recording/xr_gdi_recording.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapview.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "common/visualization/xr_visualsetting.h"
#include "tools/mapstyle/map_style.h"

namespace xr_map_test {

const XrPoint kCentre(100000, 200000);

// The process's font repository, registered once.
inline void register_fonts()
{
    static XrFontRepositoryMaemo* fonts = [] {
        XrGDI::init_stock_objects();
        auto* f = new XrFontRepositoryMaemo();
        f->initialize();
        XrSingleton::set_instance(XrString(L"XrFontRepository"), f);
        return f;
    }();
    (void)fonts;
}

// A configuration from REGEDIT4 text.
inline std::unique_ptr<XrMemoryConfiguration> config_from(const std::string& text)
{
    auto config = std::make_unique<XrMemoryConfiguration>(L"");
    EXPECT_EQ(config->open(reinterpret_cast<const BYTE*>(text.data()), text.size(), true), XrConfiguration::OK);
    return config;
}

inline void set_up_view(XrMapView& view, unsigned scale = 10000)
{
    view.set_screen_size(XrSize(800, 480));
    view.set_visible_rect(XrRectangle(0, 0, 800, 480));
    view.set_default_scale_reference();
    EXPECT_TRUE(view.set_center_and_scale(&kCentre, scale, true));
}

// The drawing calls of the log as short lines: "pen RRGGBB/w", "brush
// RRGGBB", "line x,y x,y ...", "area [rings] x,y ...", "text x,y "..."",
// "colour RRGGBB".
inline std::vector<std::string> drawing()
{
    std::vector<std::string> out;
    char buf[64];
    for (const XrGdiCall& c : XrGdiRecording::instance().get_calls()) {
        std::string s;
        if (c.name == "select_pen") {
            std::snprintf(buf, sizeof buf, "pen %06llX/%lld", c.args[0], c.args[1]);
            s = buf;
        } else if (c.name == "select_brush") {
            std::snprintf(buf, sizeof buf, "brush %06llX", c.args[0]);
            s = buf;
        } else if (c.name == "set_text_color") {
            std::snprintf(buf, sizeof buf, "colour %06llX", c.args[0]);
            s = buf;
        } else if (c.name == "draw_polyline" || c.name == "draw_polygon_outlined") {
            s = c.name == "draw_polyline" ? "line" : "area [";
            if (c.name != "draw_polyline") {
                for (size_t i = 0; i < c.rings.size(); ++i)
                    s += (i ? "," : "") + std::to_string(c.rings[i]);
                s += "]";
            }
            for (const XrPoint& p : c.points)
                s += " " + std::to_string(p.x) + "," + std::to_string(p.y);
        } else if (c.name == "draw_text_rect" || c.name == "draw_bidi_text") {
            s = "text " + std::to_string(c.args[0]) + "," + std::to_string(c.args[1]) + " \"";
            for (wchar_t ch : c.text)
                s += static_cast<char>(ch < 128 ? ch : '?');
            s += "\"";
        } else {
            continue;
        }
        out.push_back(s);
    }
    return out;
}

inline std::string joined(const std::vector<std::string>& lines)
{
    std::string s;
    for (const std::string& l : lines)
        s += l + "\n";
    return s;
}

// The city style read into a visual setting.
inline std::unique_ptr<XrVisualSetting> city_style(XrPalette& palette)
{
    register_fonts();
    auto config = config_from("REGEDIT4\n" + xr_city_style_text("\\vs"));
    EXPECT_EQ(config->open_key(L"\\vs"), XrConfiguration::OK);
    auto vs = std::make_unique<XrVisualSetting>();
    XrPtrArray<XrSymbolLibrary*> libraries;
    libraries.XrArray<void*>::append(nullptr);
    EXPECT_EQ(vs->read(*config, palette, libraries, nullptr), 0);
    return vs;
}

// Adds a record of the in-memory layout to a storage.
inline void add_line(XrMemoryGeomStorage& s, int type, const std::vector<XrPoint>& pts, bool polygon = false)
{
    static int id = 1;
    const std::vector<BYTE> rec = xr_test::polyline_record(id++, pts, type, 0);
    EXPECT_EQ(s.add_record(polygon ? XrGeomStorage::RecPolygon : XrGeomStorage::RecPolyline, rec.data(), rec.size()),
              XrGeomStorage::OK);
}

inline void add_text(XrMemoryGeomStorage& s, int type, const XrPoint& p, const char* text)
{
    static int id = 100000;
    const std::vector<BYTE> rec = xr_test::point_record(id++, p.x, p.y, type, 0, text);
    EXPECT_EQ(s.add_record(XrGeomStorage::RecText, rec.data(), rec.size()), XrGeomStorage::OK);
}

// World point at an offset from the centre.
inline XrPoint at(int dx, int dy) { return XrPoint(kCentre.x + dx, kCentre.y + dy); }

} // namespace xr_map_test
