// The road graph, road geometry and projection of a map folder, as the route
// and drive commands open them.
#pragma once

#include <memory>
#include <string>

#include "common/db/xr_simplegeomstorage.h"
#include "common/geometry/xr_projection.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/storage/xr_storageaccessor.h"

struct XrProbeRoadData {
    std::string graph_path;
    std::unique_ptr<XrProjection> projection;
    XrFileStorageAccessor graph_file;
    std::unique_ptr<XrGraphAccessor2> graph;
    std::unique_ptr<XrSimpleGeomStorage> roads;

    // Opens "graph.bin", "roads.qt" and the projection of "mapdata.ini" in
    // dir (or in its "mapdata" folder). On failure prints
    // "kestrova-probe <command>: ..." on stderr and returns false.
    bool open(const std::string& dir, const char* command);
    // Map units of a position; prints the failure as open() does.
    bool to_map(double lat, double lon, int& x, int& y, const char* command) const;
};
