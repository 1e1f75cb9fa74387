// Plain-text inputs of the address database, the signpost file and the TMC
// tables, for the mapgen command line and the map compiler. One item per
// line; '#' at the start of a line makes it a comment; numbers are decimal or
// 0x hexadecimal; texts are UTF-8. The syntax is in xr_map_text_help().
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/mapgen/addr_writer.h"
#include "tools/mapgen/signs_writer.h"
#include "tools/mapgen/tmc_writer.h"

// The address text: options, counties and streets for the writer (built
// here with the file options read). False with "line N: ..." at the first
// bad line.
bool xr_parse_addr_text(std::istream& in, XrAddrWriter& writer, std::string& error);
// The signpost text.
bool xr_parse_signs_text(std::istream& in, XrSignsFile& file, std::string& error);

struct XrTmcTables {
    std::uint32_t buckets = 1;
    std::vector<TmcPathDef> paths;
    std::vector<TmcPathLocationDef> path_records;
    std::vector<TmcLocationDef> locations;
};
bool xr_parse_tmc_text(std::istream& in, XrTmcTables& tables, std::string& error);

// Read from standard input, written to path (the TMC tables: the files
// "tmc_paths.bin" and "tmc_locations.bin" in the folder path); errors go to
// standard error.
bool xr_write_addr_from_stdin(const std::string& path);
bool xr_write_signs_from_stdin(const std::string& path);
bool xr_write_tmc_from_stdin(const std::string& folder);

// The syntax of the three texts, for "mapgen --help".
const char* xr_map_text_help();
