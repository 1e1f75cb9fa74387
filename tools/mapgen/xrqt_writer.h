// Writer of geometry files ("XRQT", the map folder's pb.qt and pc.qt): the
// records are spread over a quadtree of nodes, each node's records in one
// zlib bucket; common polyline headers go into the format table.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/container/xr_defs.h"
#include "common/db/xr_gid.h"
#include "tools/mapgen/geom_tree.h"

// Called once the records are laid out, with the gid of each record (its
// bucket's handle << 16 | its offset in the bucket); it may change the
// records' ids and attribute bytes but not their sizes, so the places stay.
// False (with error set) stops the build.
using XrGeomRekey = std::function<bool(const std::vector<XrGid>& gids, std::string& error)>;

// The file bytes of the records (their points are prepared on the way);
// gids, when given, receives the gid of each record.
bool build_xrqt(const std::vector<XrGeomRec*>& records, const XrGeomFileOptions& options, std::vector<BYTE>& out,
                std::string& error, const XrGeomRekey& rekey = {}, std::vector<XrGid>* gids = nullptr);
bool write_xrqt(const std::string& path, const std::vector<XrGeomRec*>& records, const XrGeomFileOptions& options,
                std::string& error);
