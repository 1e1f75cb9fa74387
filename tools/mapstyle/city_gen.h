// A generated city: a grid of blocks with buildings and parks, cased
// streets and motorways, a lake, and place names. Map units; the origin is
// the city's lower left corner.
#pragma once

#include <string>
#include <vector>

#include "common/db/xr_datasource.h"

struct XrCityOptions {
    int origin_x = 1000000;
    int origin_y = 2000000;
    int blocks_x = 40;
    int blocks_y = 40;
    int block = 100;    // block pitch
    int street = 16;    // gap between blocks
    int motorway_every = 8;
    int texts = 400;    // map texts, classes 0..15 spread over the city
    std::string projection; // written as the configuration's "projection" ("" none)
};

// Centres the city on a longitude and latitude of a projection (the
// projection is kept in the options); false for a bad projection text.
bool xr_centre_city(XrCityOptions& options, const std::string& projection, double lon, double lat);

struct XrCity {
    std::vector<XrGeomRec*> areas;  // water, parks, buildings (polygons)
    std::vector<XrGeomRec*> roads;  // streets and motorways (polylines)
    std::vector<XrGeomRec*> texts;  // map texts
    ~XrCity();

    // The city's box.
    int left = 0, bottom = 0, right = 0, top = 0;
};

void xr_generate_city(const XrCityOptions& options, XrCity& city);

// Writes a map folder: areas.qt, roads.qt, texts.qt (geometry files) and
// mapcfg.txt (layers "wa" areas, "a7" roads, "txt" map texts; the
// projection under "\map" when the options name one). False with
// error set on failure.
bool xr_write_city_map(const std::string& dir, const XrCityOptions& options, std::string& error);
