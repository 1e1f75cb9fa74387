// kestrova-probe map: opens a map folder through the map provider and prints
// what it found (projection, layers, storages, languages, countries). MAPDIR
// is the card's map folder (with "mapdata/" and "kestrova/maemo.reg") or the
// "mapdata" folder itself, or a map folder as the map compiler writes it.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/addr/xr_addraccessor.h"
#include "common/base/xr_singleton.h"
#include "common/corvanel_core/impl/xr_mapproviderimpl.h"
#include "common/map/xr_map.h"
#include "tools/probe/probe.h"
#include "tools/probe/probe_mapsession.h"

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
    XrProbeMapSession session("map", args[0]);
    if (!session.ready() || !session.open_map())
        return 1;
    XrMapProviderImpl* maps = session.maps();
    XrString text;
    maps->get_projection_name(text);
    std::printf("map: %s\n", narrow(maps->get_map_name()).c_str());
    XrString id;
    if (maps->get_map_id(id))
        std::printf("id: %s\n", narrow(id).c_str());
    std::printf("projection: %s\n", narrow(text).c_str());
    XrMap* map = maps->get_map();
    std::printf("layers: %d\n", map->get_layer_count());
    for (int i = 0; i < map->get_layer_count(); ++i) {
        const XrMap::XrLayerInfo* info = map->get_layer_info_at(i);
        std::printf("  %s kind %d%s%s scales %u..%u\n", narrow(info->name).c_str(), info->kind,
                    info->visible ? " visible" : "", info->pickable ? " pickable" : "", info->lowest_scale,
                    info->highest_scale);
    }
    std::printf("pb.qt: %s\npc.qt: %s\n", maps->get_pb_storage() ? "yes" : "no",
                maps->get_pc_storage() ? "yes" : "no");
    XrArray<XrLC> languages(8, 0);
    maps->get_map_languages(languages);
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
    std::unique_ptr<XrArray<XrString>> countries(maps->create_country_list());
    std::printf("countries:");
    for (int i = 0; countries && i < countries->get_num_items(); ++i)
        std::printf(" %s", narrow(*countries->get_item_ptr(i)).c_str());
    std::printf("\ncountry names included: %s\n", maps->are_country_names_included() ? "yes" : "no");
    return 0;
}

} // namespace
