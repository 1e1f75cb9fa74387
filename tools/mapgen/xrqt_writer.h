// Writer of geometry files ("XRQT", the map folder's pb.qt and pc.qt): the
// records are spread over a quadtree of nodes, each node's records in one
// zlib bucket; common polyline headers go into the format table.
#pragma once

#include <string>
#include <vector>

#include "common/container/xr_defs.h"
#include "tools/mapgen/geom_tree.h"

// The file bytes of the records (their points are prepared on the way).
bool build_xrqt(const std::vector<XrGeomRec*>& records, const XrGeomFileOptions& options, std::vector<BYTE>& out,
                std::string& error);
bool write_xrqt(const std::string& path, const std::vector<XrGeomRec*>& records, const XrGeomFileOptions& options,
                std::string& error);
