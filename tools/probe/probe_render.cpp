// kestrova-probe render: draws a map folder's map through the real layers
// into a PNG file. The layers come from MAPDIR/mapcfg.txt (key "\map"), or,
// for a card's map folder, from its "kestrova/maemo.reg"; the "projection"
// value of mapcfg.txt or of mapdata.ini turns LAT,LON into map units (without
// one they are map units: LON the x, LAT the y). Without a display the drawing runs under a
// private Xvfb.
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>
#include <sys/stat.h>

#include "common/addr/xr_addraccessor.h"
#include "common/bmloader/xr_bitmap_loader.h"
#include "common/corvanel_core/impl/xr_poiproviderimpl.h"
#include "common/map/xr_poilayer.h"
#include "common/base/xr_singleton.h"
#include "common/config/xr_storageconfiguration.h"
#include "common/gdi/xr_gdi.h"
#include "common/geometry/xr_projection.h"
#include "common/map/xr_linelabellayer.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapconfig.h"
#include "common/map/xr_maplayerkinds.h"
#include "common/map/xr_mapview.h"
#include "common/misc/xr_path_resolver.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "tools/mapstyle/xr_pixmap_dc.h"
#include "tools/mapstyle/xr_private_display.h"
#include "tools/probe/probe.h"

// Font caches that fontconfig keeps for the life of the process.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

namespace {

const TCHAR* const CARD_CONFIG_ROOT = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnok";

// Street names by road edge, read from an address database.
class RoadNames : public XrStreetNameSource {
public:
    // Takes the storage; false when it is no address database.
    bool read(XrStorageAccessor* storage)
    {
        XrAddrAccessor addr;
        addr.set_storage(storage);
        if (addr.open() != XrAddrAccessor::OK || addr.seek_block(0, 0) != XrAddrAccessor::OK)
            return false;
        XrString name;
        while (addr.get_next_street(&name, nullptr, nullptr, nullptr, nullptr) == XrAddrAccessor::OK) {
            XrGid gid = 0;
            short lf, lt, rf, rt;
            XrAddrAccessor::NumType ltype, rtype;
            while (addr.get_next_segment(gid, lf, lt, ltype, rf, rt, rtype) == XrAddrAccessor::OK)
                names.emplace(gid, name);
        }
        return !names.empty();
    }

    void get_streets_by_gids(const std::vector<XrGid>& gids, int, std::vector<XrString>& out) override
    {
        out.clear();
        for (XrGid g : gids) {
            auto it = names.find(g);
            out.push_back(it != names.end() ? it->second : XrString());
        }
    }
    void get_suffix_table(std::vector<std::pair<XrString, XrString>>& table) override { table.clear(); }

private:
    std::unordered_map<XrGid, XrString> names;
};

int run_render(const std::vector<std::string>& args);

XrProbeCommand render_cmd("render",
                          "MAPDIR --center LAT,LON --scale S [--rotation DEG] [--3d] [--size WxH] -o OUT.png "
                          "[--frames N]",
                          "draws the map to a PNG; --frames N redraws N times and prints the median frame time",
                          run_render);

struct Options {
    std::string map_dir;
    double lat = 0, lon = 0;
    bool has_center = false;
    unsigned scale = 0;
    int rotation = 0;
    bool is_3d = false;
    int width = 800, height = 480;
    std::string out;
    int frames = 0;
};

bool parse(const std::vector<std::string>& args, Options& o)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == "--center" && has_value) {
            if (std::sscanf(args[++i].c_str(), "%lf,%lf", &o.lat, &o.lon) != 2)
                return false;
            o.has_center = true;
        } else if (a == "--scale" && has_value) {
            const long v = std::strtol(args[++i].c_str(), nullptr, 10);
            if (v <= 0)
                return false;
            o.scale = static_cast<unsigned>(v);
        } else if (a == "--rotation" && has_value) {
            o.rotation = std::atoi(args[++i].c_str());
        } else if (a == "--3d") {
            o.is_3d = true;
        } else if (a == "--size" && has_value) {
            if (std::sscanf(args[++i].c_str(), "%dx%d", &o.width, &o.height) != 2 || o.width <= 0 ||
                o.height <= 0 || o.width > 8192 || o.height > 8192)
                return false;
        } else if (a == "-o" && has_value) {
            o.out = args[++i];
        } else if (a == "--frames" && has_value) {
            o.frames = std::atoi(args[++i].c_str());
            if (o.frames <= 0)
                return false;
        } else if (!a.empty() && a[0] != '-' && o.map_dir.empty()) {
            o.map_dir = a;
        } else {
            return false;
        }
    }
    return !o.map_dir.empty() && o.has_center && o.scale != 0 && (!o.out.empty() || o.frames > 0);
}

int run_render(const std::vector<std::string>& args)
{
    Options o;
    if (!parse(args, o))
        return probe_usage(render_cmd);

    XrPrivateDisplay private_display;
    if (!private_display.ensure()) {
        std::fprintf(stderr, "kestrova-probe render: no display and Xvfb could not be started\n");
        return 1;
    }
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "kestrova-probe render: cannot open the display\n");
        return 1;
    }
    XrGDI::init_stock_objects();
    auto* fonts = new XrFontRepositoryMaemo();
    fonts->initialize();
    XrSingleton::set_instance(XrString(L"XrFontRepository"), fonts);

    // A folder with "mapcfg.txt" (key "\\map"), or a card's map folder: the
    // layers of "kestrova/maemo.reg", "?:" paths resolved on the card and the
    // projection of "mapdata/mapdata.ini".
    std::string cfg_path = o.map_dir + "/mapcfg.txt";
    std::unique_ptr<XrProbeCardRoot> card;
    std::unique_ptr<XrPathResolver> resolver;
    XrString card_root;
    if (!probe_file_exists(cfg_path)) {
        card = std::make_unique<XrProbeCardRoot>(o.map_dir);
        if (!card->root().empty()) {
            cfg_path = card->root() + "kestrova/maemo.reg";
            card_root = XrString(card->root().c_str());
            resolver = std::make_unique<XrPathResolver>(card_root.c_str());
            set_path_resolver(resolver.get());
        }
    }
    XrStorageAccessor* accessor = open_storage_accessor(XrString(cfg_path.c_str()), true);
    if (accessor == nullptr) {
        std::fprintf(stderr, "kestrova-probe render: cannot open %s\n", cfg_path.c_str());
        return 1;
    }
    auto config = std::make_unique<XrStorageConfiguration>(accessor, resolver ? CARD_CONFIG_ROOT : L"");
    if (config->open(true) != XrConfiguration::OK) {
        std::fprintf(stderr, "kestrova-probe render: %s is not a configuration file\n", cfg_path.c_str());
        return 1;
    }
    if (!resolver)
        config->open_key(L"\\map");

    XrMapConfigContext context;
    auto map = std::make_unique<XrMap>();
    register_map_layer_kinds();
    const int rc = read_map_configuration(map.get(), config.get(), context, nullptr);
    if (rc == MapConfigFailed) {
        std::fprintf(stderr, "kestrova-probe render: cannot read the map configuration\n");
        return 1;
    }
    for (int i = 0; i < context.missing_files.get_num_items(); ++i)
        std::fprintf(stderr, "kestrova-probe render: layer file not usable: %ls\n",
                     context.missing_files.get_item_ptr(i)->c_str());

    // Street names come from the card's address database: the edges of
    // every street.
    RoadNames road_names;
    if (resolver) {
        auto* road = dynamic_cast<XrLineLabelLayer*>(map->get_layer(XrString(L"road")));
        XrStorageAccessor* addr = open_storage_accessor(XrString(L"?:/mapdata/addr.dat"), true);
        if (road != nullptr && addr != nullptr && road_names.read(addr))
            road->set_street_names(&road_names);
    }

    // POI icons: the standard icon strips of the shipped map bitmaps, icon n
    // for POI class n (what the POI provider gives the layer in the program).
    XrIcon poi_strips[3];
    if (resolver) {
        auto* poi = dynamic_cast<XrPoiLayer*>(map->get_layer(XrString(L"poi")));
        XrBitmapLoader::initialize(XrPathResolver::resolve(XrString(L"?:/kestrova/images")), XrString(L"maemo"));
        const unsigned int ids[3] = {XrPoiProviderImpl::SMALL_STRIP, XrPoiProviderImpl::NORMAL_STRIP,
                                     XrPoiProviderImpl::LARGE_STRIP};
        bool loaded = poi != nullptr && XrBitmapLoader::load_index(XrString(L"map_bitmaps.def"));
        for (int i = 0; i < 3 && loaded; ++i)
            loaded = XrBitmapLoader::load_bitmap_internal(ids[i], poi_strips[i], false) &&
                     poi_strips[i].height() > 0;
        if (loaded) {
            XrPoiLayerIconSet set;
            set.count = poi_strips[0].width() / poi_strips[0].height();
            set.small = poi_strips[0].bitmap();
            set.small_mask = poi_strips[0].mask();
            set.medium = poi_strips[1].bitmap();
            set.medium_mask = poi_strips[1].mask();
            set.large = poi_strips[2].bitmap();
            set.large_mask = poi_strips[2].mask();
            set.small_id = ids[0];
            set.medium_id = ids[1];
            set.large_id = ids[2];
            poi->add_icon_set(set, true);
        }
    }

    XrString projection_text;
    std::unique_ptr<XrProjection> projection;
    if (resolver) {
        XrStorageAccessor* ini = open_storage_accessor(XrString((card->root() + "mapdata/mapdata.ini").c_str()), true);
        if (ini != nullptr) {
            XrStorageConfiguration settings(ini, L"");
            if (settings.open(true) == XrConfiguration::OK && settings.open_key(L"\\general") == XrConfiguration::OK &&
                settings.get_string(L"projection", projection_text) == XrConfiguration::OK)
                projection.reset(create_projection(projection_text));
        }
    } else if (config->get_string(L"projection", projection_text) == XrConfiguration::OK) {
        projection.reset(create_projection(projection_text));
    }
    if (!projection)
        projection = std::make_unique<XrNullProjection>();
    XrPoint centre;
    if (!projection->to_map(o.lon, o.lat, centre.x, centre.y)) {
        std::fprintf(stderr, "kestrova-probe render: the centre lies outside the map's projection\n");
        return 1;
    }

    XrMapView view(nullptr);
    view.set_map(map.get());
    view.set_screen_size(XrSize(o.width, o.height));
    view.set_visible_rect(XrRectangle(0, 0, o.width, o.height));
    view.set_default_scale_reference();
    view.set_limits(XrRectangle()); // draw wherever asked
    if (!view.set_center_and_scale(&centre, o.scale, true)) {
        std::fprintf(stderr, "kestrova-probe render: the centre lies outside the map\n");
        return 1;
    }
    view.set_rotation(o.rotation);
    if (o.is_3d) {
        const XrRectangle w = view.get_world_rect();
        const int across = std::max(1, w.right - w.left);
        map->set_3d(true);
        view.set_tilt(44);
        view.set_factor_3d(view.get_pixels_per_unit());
        view.set_3d_parameters(1000, 200, 80, across * 2, across * 6, across / 2);
    }

    XrPixmapDC target(o.width, o.height);
    const int frames = o.frames > 0 ? o.frames : 1;
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        view.draw(target.dc, nullptr, XrMap::AllLayers, -1, -1);
        gdk_display_sync(gdk_display_get_default());
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    if (o.frames > 0) {
        std::sort(times.begin(), times.end());
        std::printf("frames %d median %.2f ms\n", o.frames, times[times.size() / 2]);
    }
    if (!o.out.empty() && !target.save_png(o.out)) {
        std::fprintf(stderr, "kestrova-probe render: cannot write %s\n", o.out.c_str());
        return 1;
    }
    map.reset();
    if (resolver)
        set_path_resolver(nullptr);
    XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
    delete fonts;
    return 0;
}

} // namespace
