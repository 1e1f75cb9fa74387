// REGEDIT4 text of a visual setting (the "city" style) and of a map layer
// configuration, as the map configuration reader takes them.
//
// The city style, scale ranges 0: up to 20000, 1: up to 100000, 2: above:
//   lines    1 motorway (cased: -6, -4, -2), 2 street (cased: -4, -2, plain 1),
//            3 footpath (no outer pen: never drawn), 4 track (width 3, both pens)
//   polygons 10 water, 11 park, 12 building (no building above 100000)
//   texts    0..15 the map text classes (class 15 has no font at range 2),
//            20 labels of the geometry layer
#pragma once

#include <string>
#include <vector>

// Colours of the city style (0x00BBGGRR), for pixel and call checks.
namespace xr_city_style {
constexpr unsigned CASING = 0x283C50;   // pen 1: 80, 60, 40
constexpr unsigned STREET = 0xFFFFFF;   // pen 2
constexpr unsigned MOTORWAY = 0x3CC8FA; // pen 3: 250, 200, 60
constexpr unsigned TRACK_OUT = 0x0000C8; // pen 4: 200, 0, 0
constexpr unsigned TRACK_IN = 0xC85A3C; // pen 5: 60, 90, 200
constexpr unsigned OUTLINE = 0x969696;  // pen 6
constexpr unsigned WATER = 0xF0BE96;    // brush 1: 150, 190, 240
constexpr unsigned PARK = 0x96DCAA;     // brush 2: 170, 220, 150
constexpr unsigned BUILDING = 0xB4C8DC; // brush 3: 220, 200, 180
constexpr unsigned BACKGROUND = 0xE6F0F5; // 245, 240, 230
constexpr unsigned HALO = 0xFFFFFF;
constexpr unsigned TEXT = 0x000000;
} // namespace xr_city_style

// The sections of the city style below the key path (for example
// "\map\visual_settings\city"), without the "REGEDIT4" line.
std::string xr_city_style_text(const std::string& key);

struct XrLayerDef {
    std::string name;
    int number = 0;
    std::string type = "geom";  // "" for none
    std::string storage = "simple";
    std::string visual_settings = "city";
    std::string resource;       // "" for none
    // Further "name=value" lines.
    std::vector<std::string> extra;
};

// A whole map configuration below "\map": the city style under
// "visual_settings", "map_vs" naming it, the symbol libraries and layers.
std::string xr_map_config_text(const std::vector<XrLayerDef>& layers,
                               const std::vector<std::string>& symbol_libs = {},
                               const std::string& vector_directory = "");

// Writes text to path through a temporary file; false on failure.
bool xr_write_text_file(const std::string& path, const std::string& text);
