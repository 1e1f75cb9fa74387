// Writer of OpenStreetMap PBF files (through libosmium), from OSM XML: the
// map compiler's tests feed it the same data in both forms.
#pragma once

#include <string>

// Converts the XML file xml_path into the PBF file pbf_path (replaced when
// it exists). False with error set on failure.
bool xr_write_osm_pbf(const std::string& xml_path, const std::string& pbf_path, std::string& error);
