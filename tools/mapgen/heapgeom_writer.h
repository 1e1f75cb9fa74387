// Writer of heap geometry storages: a heap storage file ("XRHS") whose root
// block holds the geometry header, with one block per quadtree node and one
// zlib block per bucket (the layout XrHeapGeomStorage reads).
#pragma once

#include <string>
#include <vector>

#include "tools/mapgen/geom_tree.h"

// options.name is the layer name stored in the header (at most 255 bytes).
bool write_heap_geom(const std::string& path, const std::vector<XrGeomRec*>& records,
                     const XrGeomFileOptions& options, std::string& error);
