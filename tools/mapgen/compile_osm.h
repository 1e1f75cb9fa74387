// The map compiler: reads OpenStreetMap data (XML or PBF, through libosmium)
// and writes a complete map folder: road graph and road geometry, areas and
// water, place names, road numbers, the address database, signposts, the
// layer configuration with its visual settings, "mapdata.ini", "maplcs.dat"
// and "version.txt". The folder is built under a temporary name next to the
// output and renamed at the end; a failed compile leaves nothing behind.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Looked up by C strings without making a string of the key.
using XrOsmTags = std::map<std::string, std::string, std::less<>>;

struct XrOsmLocation {
    double lon = 0;
    double lat = 0;
};

struct XrOsmWay {
    std::int64_t id = 0;
    std::vector<std::int64_t> refs;
    XrOsmTags tags;
};

// A node with tags that the compiler uses (places, POIs, house numbers,
// motorway junctions).
struct XrOsmPoint {
    std::int64_t id = 0;
    XrOsmLocation at;
    XrOsmTags tags;
};

// A turn restriction: from a way over a node onto a way.
struct XrOsmRestriction {
    std::int64_t id = 0;
    std::int64_t from = 0;
    std::int64_t via = 0;
    std::int64_t to = 0;
    bool only = false; // "only_*": every other turn from the way at the node is forbidden
};

// Node locations by id, in id order.
struct XrOsmNodes {
    std::vector<std::int64_t> ids;
    std::vector<XrOsmLocation> at;

    // Index of a node, -1 when it is not there.
    long index(std::int64_t id) const;
    // Puts the nodes in id order (a later copy of an id wins).
    void sort();
};

// An area assembled from a multipolygon relation: its tags, the rings of its
// outer boundary and, for each outer ring, the rings of its holes (each ring
// closed, the first point not repeated).
struct XrOsmArea {
    std::int64_t id = 0; // the relation's id
    XrOsmTags tags;
    std::vector<std::vector<XrOsmLocation>> outers;
    std::vector<std::vector<std::vector<XrOsmLocation>>> inners; // parallel to outers
};

// What the compiler keeps of an OSM file: all node locations, the ways and
// nodes it may use, the multipolygon areas and the turn restrictions.
// Vectors are in id order.
struct XrOsmData {
    XrOsmNodes nodes;
    std::vector<XrOsmWay> ways;
    std::vector<XrOsmArea> areas;
    std::vector<XrOsmPoint> points;
    std::vector<XrOsmRestriction> restrictions;
};

// What a way is for cars: road category 0 (motorway) .. 7, speed class of the
// route search 0 (fastest) .. 6, road type (1 motorway, 3 slip road, 5
// roundabout, else 0) and one-way (0 both ways, 1 along the way, 2 against).
struct XrOsmRoad {
    int category = 5;
    int speed_class = 4;
    int road_type = 0;
    int oneway = 0;
};

// False for ways that are no roads for cars (not a car highway class,
// areas, access forbidden).
bool xr_osm_road(const XrOsmTags& tags, XrOsmRoad& road);

// Reads an .osm, .osm.bz2 or .osm.pbf file. False with error set when the
// file cannot be read or is not valid OSM data.
bool xr_read_osm(const std::string& path, XrOsmData& data, std::string& error);

struct XrCompileOptions {
    std::string name;    // the map's display name; "" takes the input's base name
    std::string version = "1.0";
    bool force = false;  // replace an OUT that is no map folder this compiler wrote
};

struct XrCompileStats {
    int roads = 0;       // road ways used
    int edges = 0;       // graph edges
    int areas = 0;
    int labels = 0;
    int numbers = 0;
    int streets = 0;
    int house_ranges = 0;
    int signposts = 0;
    int restrictions = 0; // forbidden turns written
    int pois = 0;
    int isolated_pieces = 0; // road pieces left out: a small part with no connection to the network
};

// Compiles data into the folder outdir (which must not exist yet or is
// replaced as a whole). False with error set on failure, outdir untouched.
bool xr_compile_map(const XrOsmData& data, const std::string& outdir, const XrCompileOptions& options,
                    XrCompileStats& stats, std::string& error);

// xr_read_osm then xr_compile_map.
bool xr_compile_osm_file(const std::string& input, const std::string& outdir, const XrCompileOptions& options,
                         XrCompileStats& stats, std::string& error);

// The POI class of a node or area for its OSM tags; 0 when it is none.
int xr_osm_poi_class(const XrOsmTags& tags);
// The POI class catalogue "poi.reg" (REGEDIT4, key "\poi\default": class id
// = display name) of the classes that xr_osm_poi_class gives.
std::string xr_poi_registry_text();

// The layer configuration and visual settings of a compiled map (REGEDIT4
// text, root "HKEY_LOCAL_MACHINE\SOFTWARE\Varnok"); resources are "?:" paths
// into the map folder.
std::string xr_compiled_map_configuration();
