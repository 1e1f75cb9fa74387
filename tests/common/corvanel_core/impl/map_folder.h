// A map folder as our writers make it, for the map provider's tests: the
// layer configuration (card's "kestrova/maemo.reg"), "mapdata.ini",
// "addr.dat", a road and a label file, "version.txt" and "maplcs.dat".
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/base/xr_singleton.h"
#include "common/db/xr_datasource.h"
#include "common/gdi/xr_gdi.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "tools/mapgen/addr_writer.h"
#include "tools/mapgen/xrqt_writer.h"
#include "tools/mapstyle/map_style.h"

struct XrTestMapOptions {
    std::string name = "Alpha";
    std::string guid = "alpha-guid";
    std::string projection = "simple://100000,0,0";
    std::vector<std::string> countries = {"Finland"};
    std::string mapdata_extra; // further "\general" lines of mapdata.ini
    bool addr = true;
    bool pb = false;
    bool road_layer = true;
    std::string languages = "eng fin\r\nswe";
};

inline void write_bytes(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The font repository that visual settings need, registered once.
inline void register_test_fonts()
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

// The layer configuration shared by every map of the card.
inline void write_static_configuration(const std::string& card_root, bool road_layer = true)
{
    const std::string root = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnok";
    std::vector<XrLayerDef> layers(3);
    layers[0].name = road_layer ? "road" : "roads";
    layers[0].number = 10;
    layers[0].type = "linelabel"; // street names from the address database
    layers[0].resource = "?:/mapdata/roads.qt";
    layers[1].name = "poi";
    layers[1].number = 20;
    layers[1].type = "poi";
    layers[1].storage = "memory";
    layers[2].name = "sm";
    layers[2].number = 30;
    layers[2].type = "maptxt";
    layers[2].resource = "?:/mapdata/labels.qt";
    std::string text = xr_map_config_text(layers);
    for (std::size_t at; (at = text.find("[\\map")) != std::string::npos;)
        text.replace(at, 5, "[" + root);
    text += xr_city_style_text(root + "\\visual_settings\\gt_vs");
    write_bytes(card_root + "kestrova/maemo.reg", text);
}

// Writes a map into folder (a card's "mapdata" or "mapdata_<name>").
inline void write_test_map(const std::string& folder, const XrTestMapOptions& o = XrTestMapOptions())
{
    std::filesystem::create_directories(folder);
    write_bytes(folder + "/mapdata.ini", "REGEDIT4\n[\\general]\nprojection=" + o.projection + "\nname=" + o.name +
                                             "\n" + o.mapdata_extra);
    write_bytes(folder + "/version.txt", "GUID: " + o.guid + "\nVersion: 1.0\nMap version: 7\n");
    write_bytes(folder + "/maplcs.dat", o.languages);

    std::string error;
    XrPolypointGeomRec road(false, 1, 2);
    road.add_point(XrPoint(2490000, 6010000));
    road.add_point(XrPoint(2491000, 6010000));
    std::vector<XrGeomRec*> roads = {&road};
    write_xrqt(folder + "/roads.qt", roads, XrGeomFileOptions(), error);
    XrTextGeomRec label(1, 2490500, 6010100, 20, 0, "Main square");
    std::vector<XrGeomRec*> labels = {&label};
    write_xrqt(folder + "/labels.qt", labels, XrGeomFileOptions(), error);
    if (o.pb)
        write_xrqt(folder + "/pb.qt", roads, XrGeomFileOptions(), error);

    if (o.addr) {
        XrAddrFileOptions options;
        options.countries = o.countries;
        XrAddrWriter writer(options);
        const std::uint32_t county = writer.add_county("Helsinki");
        XrAddrStreetDef street;
        street.name = "Main Street";
        street.county = county;
        street.segments.push_back(XrAddrSegmentDef{1, true, 1, 9, 2, 10});
        writer.add_street(street);
        writer.write(folder + "/addr.dat", error);
    }
}
