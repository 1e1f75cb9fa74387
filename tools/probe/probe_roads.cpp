#include "tools/probe/probe_roads.h"

#include <cstdio>

#include "tools/probe/probe.h"

bool XrProbeRoadData::open(const std::string& folder, const char* command)
{
    std::string dir = folder;
    if (probe_file_exists(dir + "/mapdata/graph.bin"))
        dir += "/mapdata";
    graph_path = dir + "/graph.bin";
    const std::string roads_path = dir + "/roads.qt";
    const std::string proj_text = probe_read_projection(dir + "/mapdata.ini");
    projection.reset(proj_text.empty() ? new XrNullProjection() : create_projection(XrString(proj_text.c_str())));
    if (!projection) {
        std::fprintf(stderr, "kestrova-probe %s: unknown projection '%s'\n", command, proj_text.c_str());
        return false;
    }
    if (!graph_file.open(XrString(graph_path.c_str()), true)) {
        std::fprintf(stderr, "kestrova-probe %s: cannot open %s\n", command, graph_path.c_str());
        return false;
    }
    graph = std::make_unique<XrGraphAccessor2>(&graph_file, 0x80000);
    if (graph->open(nullptr) != 0) {
        std::fprintf(stderr, "kestrova-probe %s: %s is not a road graph\n", command, graph_path.c_str());
        return false;
    }
    auto* roads_file = new XrFileStorageAccessor();
    if (!roads_file->open(XrString(roads_path.c_str()), true)) {
        delete roads_file;
        std::fprintf(stderr, "kestrova-probe %s: cannot open %s\n", command, roads_path.c_str());
        return false;
    }
    roads = std::make_unique<XrSimpleGeomStorage>(roads_file, true, false, nullptr);
    if (roads->open() != 0) {
        std::fprintf(stderr, "kestrova-probe %s: %s is not a road geometry file\n", command, roads_path.c_str());
        return false;
    }
    return true;
}

bool XrProbeRoadData::to_map(double lat, double lon, int& x, int& y, const char* command) const
{
    if (projection->to_map(lon, lat, x, y))
        return true;
    std::fprintf(stderr, "kestrova-probe %s: points outside the projection\n", command);
    return false;
}
