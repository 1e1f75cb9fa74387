// kestrova-probe map: opens a map folder through the map provider and prints
// what it found (projection, layers, storages, languages, countries). MAPDIR
// is the card's map folder (with "mapdata/" and "kestrova/maemo.reg") or the
// "mapdata" folder itself, or a map folder as the map compiler writes it.
#include <gtk/gtk.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/addr/xr_addraccessor.h"
#include "common/base/xr_singleton.h"
#include "common/corvanel_core/impl/xr_mapproviderimpl.h"
#include "common/gdi/xr_gdi.h"
#include "common/map/xr_map.h"
#include "common/misc/xr_path_resolver.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "tools/mapstyle/xr_private_display.h"
#include "tools/probe/probe.h"

namespace {

int run_map(const std::vector<std::string>& args);
XrProbeCommand map_cmd("map", "MAPDIR", "opens a map folder through the map provider and prints what it found",
                       run_map);

std::string narrow(const XrString& s)
{
    std::string out;
    for (const TCHAR* p = s.c_str(); *p != 0; ++p)
        out += *p < 0x80 ? static_cast<char>(*p) : '?';
    return out;
}


int run_map(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return probe_usage(map_cmd);
    const XrProbeCardRoot card(args[0]);
    if (card.root().empty()) {
        std::fprintf(stderr, "kestrova-probe map: %s holds no mapdata folder\n", args[0].c_str());
        return 1;
    }

    XrPrivateDisplay private_display;
    if (!private_display.ensure() || !gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "kestrova-probe map: no display for the visual settings\n");
        return 1;
    }
    XrGDI::init_stock_objects();
    auto fonts = std::make_unique<XrFontRepositoryMaemo>();
    fonts->initialize();
    XrSingleton::set_instance(XrString(L"XrFontRepository"), fonts.get());

    const XrString root(card.root().c_str());
    XrPathResolver resolver(root.c_str());
    set_path_resolver(&resolver);
    int status = 1;
    {
        XrMapProviderImpl maps;
        XrSingleton::set_instance(XrString(L"XrMapProvider"), static_cast<XrMapProvider*>(&maps));
        if (maps.open_map()) {
            status = 0;
            XrString text;
            maps.get_projection_name(text);
            std::printf("map: %s\n", narrow(maps.get_map_name()).c_str());
            XrString id;
            if (maps.get_map_id(id))
                std::printf("id: %s\n", narrow(id).c_str());
            std::printf("projection: %s\n", narrow(text).c_str());
            XrMap* map = maps.get_map();
            std::printf("layers: %d\n", map->get_layer_count());
            for (int i = 0; i < map->get_layer_count(); ++i) {
                const XrMap::XrLayerInfo* info = map->get_layer_info_at(i);
                std::printf("  %s kind %d%s%s scales %u..%u\n", narrow(info->name).c_str(), info->kind,
                            info->visible ? " visible" : "", info->pickable ? " pickable" : "", info->lowest_scale,
                            info->highest_scale);
            }
            std::printf("pb.qt: %s\npc.qt: %s\n", maps.get_pb_storage() ? "yes" : "no",
                        maps.get_pc_storage() ? "yes" : "no");
            XrArray<XrLC> languages(8, 0);
            maps.get_map_languages(languages);
            std::printf("languages:");
            for (int i = 0; i < languages.get_num_items(); ++i) {
                const XrLC lc = *languages.get_item_ptr(i);
                if (lc == 0)
                    std::printf(" (none)");
                else
                    std::printf(" %c%c%c", static_cast<char>(lc & 0xFF), static_cast<char>((lc >> 8) & 0xFF),
                                static_cast<char>((lc >> 16) & 0xFF));
            }
            std::printf("\n");
            std::unique_ptr<XrArray<XrString>> countries(maps.create_country_list());
            std::printf("countries:");
            for (int i = 0; countries && i < countries->get_num_items(); ++i)
                std::printf(" %s", narrow(*countries->get_item_ptr(i)).c_str());
            std::printf("\ncountry names included: %s\n", maps.are_country_names_included() ? "yes" : "no");
            maps.close_map();
        } else {
            std::fprintf(stderr, "kestrova-probe map: the map cannot be opened\n");
        }
        XrSingleton::set_instance(XrString(L"XrMapProvider"), nullptr);
    }
    set_path_resolver(nullptr);
    XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
    return status;
}

} // namespace
