// The dense generated city of the map benchmarks (80 x 80 blocks of 100
// units: 25,000 areas, 162 roads, 2,000 names) read through its map
// configuration, and a view of 800 x 480 on its centre.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "common/base/xr_singleton.h"
#include "common/config/xr_memoryconfiguration.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapconfig.h"
#include "common/map/xr_mapview.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "tools/mapstyle/city_gen.h"

// Allocations made through operator new since the start.
inline long long& xr_bench_allocations()
{
    static long long count = 0;
    return count;
}

class XrBenchCity {
public:
    XrBenchCity() : view(nullptr)
    {
        char dir_template[] = "/tmp/xr-bench-city-XXXXXX";
        dir = mkdtemp(dir_template) != nullptr ? dir_template : "/tmp";
        XrCityOptions options;
        options.blocks_x = options.blocks_y = 80;
        options.texts = 2000;
        std::string error;
        if (!xr_write_city_map(dir, options, error)) {
            std::fprintf(stderr, "bench: %s\n", error.c_str());
            std::abort();
        }
        centre = XrPoint(options.origin_x + 4000, options.origin_y + 4000);

        XrGDI::init_stock_objects();
        fonts = std::make_unique<XrFontRepositoryMaemo>();
        fonts->initialize();
        XrSingleton::set_instance(XrString(L"XrFontRepository"), fonts.get());
        std::FILE* f = std::fopen((dir + "/mapcfg.txt").c_str(), "rb");
        std::string text;
        char buf[4096];
        for (size_t n; f != nullptr && (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
            text.append(buf, n);
        if (f != nullptr)
            std::fclose(f);
        config = std::make_unique<XrMemoryConfiguration>(L"");
        config->open(reinterpret_cast<const BYTE*>(text.data()), text.size(), true);
        config->open_key(L"\\map");
        if (read_map_configuration(&map, config.get(), context, nullptr) != MapConfigOk) {
            std::fprintf(stderr, "bench: the city's configuration does not read\n");
            std::abort();
        }
        view.set_map(&map);
        view.set_screen_size(XrSize(800, 480));
        view.set_visible_rect(XrRectangle(0, 0, 800, 480));
        view.set_default_scale_reference();
    }
    ~XrBenchCity()
    {
        std::system(("rm -rf " + dir).c_str());
    }

    // The view at a scale, flat or in perspective.
    void set_view(unsigned scale, bool is_3d)
    {
        map.set_3d(false);
        view.set_center_and_scale(&centre, scale, true);
        if (is_3d) {
            const XrRectangle w = view.get_world_rect();
            const int across = w.right - w.left > 0 ? w.right - w.left : 1;
            map.set_3d(true);
            view.set_tilt(44);
            view.set_factor_3d(view.get_pixels_per_unit());
            view.set_3d_parameters(1000, 200, 80, across * 2, across * 6, across / 2);
        }
    }

    std::string dir;
    XrPoint centre;
    std::unique_ptr<XrFontRepositoryMaemo> fonts;
    std::unique_ptr<XrMemoryConfiguration> config;
    XrMapConfigContext context;
    XrMap map;
    XrMapView view;
};
