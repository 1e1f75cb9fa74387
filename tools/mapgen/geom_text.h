// Plain-text record lists for the geometry writers, and the dump of a stored
// geometry storage in the same form. One item per line; '#' starts a comment:
//   name <text>                 storage name / layer name
//   kind points|polylines|polygons|texts|mixed
//   version <n>                 0x10004 .. 0x10007
//   ids on|off
//   coords 3|4                  bytes of absolute coordinates
//   aux_width <0-2>, default_aux <n>, type_width <0-2>, default_type <n>
//   attributes <n>              attribute bytes of records with attr=
//   bucket <bytes>              bucket size before compression
//   point <id> <type> <aux> <x> <y> [attr=<hex>]
//   text <id> <type> <aux> <x> <y> [attr=<hex>] <text up to the line end>
//   polyline <id> <type> [attr=<hex>] <x>,<y> <x>,<y> ...
//   polygon <id> <type> [attr=<hex>] <x>,<y> <x>,<y> ...
// Numbers are decimal or 0x hexadecimal; texts are UTF-8.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/mapgen/geom_tree.h"

class XrStoredGeomStorage;

// Appends the records of the list (new objects, the caller's) and applies
// the option lines; false with "line N: ..." at the first bad line.
bool xr_parse_geom_text(std::istream& in, std::vector<XrGeomRec*>& records, XrGeomFileOptions& options,
                        std::string& error);

// Writes the storage's options and its records inside rect (null: all) as a
// record list; false when the storage cannot be read.
bool xr_dump_geom_storage(XrStoredGeomStorage& storage, const XrRectangle* rect, std::ostream& out,
                          std::string& error);

// Reads a record list from standard input and writes a geometry file or a
// heap geometry storage (heap set) to path; errors go to standard error.
bool xr_write_geom_from_stdin(const std::string& path, bool heap);
