#include "tools/mapgen/qt_index.h"

#include "common/db/qt/xr_geodatabuilder.h"

SSGeoDataStatus write_qt_index(const std::string& path, const std::string& temp_dir, const SSRect& area,
                               const std::vector<QtIndexPoint>& points, std::uint32_t memory_limit)
{
    SSGeoDataBuilder* builder = create_geo_data_builder();
    if (builder == nullptr)
        return SSGEO_NO_MEMORY;
    const std::size_t slash = path.rfind('/');
    std::string folder = temp_dir;
    if (folder.empty() && slash != std::string::npos)
        folder = path.substr(0, slash + 1);
    SSGeoDataParams params;
    params.area = area;
    params.memory_limit = memory_limit;
    SSGeoDataStatus status = builder->create(path.c_str(), folder.c_str(), params);
    for (std::size_t i = 0; i < points.size() && status == SSGEO_OK; ++i) {
        SSPoint p;
        p.x = points[i].x;
        p.y = points[i].y;
        p.data = const_cast<char*>(points[i].payload.data());
        p.length = static_cast<std::uint32_t>(points[i].payload.size());
        status = builder->add_point(&p);
    }
    if (status == SSGEO_OK)
        status = builder->build();
    builder->release();
    return status;
}

bool write_demo_qt_index(const std::string& path)
{
    std::vector<QtIndexPoint> points;
    for (int row = 0; row < 25; ++row) {
        for (int col = 0; col < 40; ++col)
            points.push_back(QtIndexPoint{col * 1000, row * 1000, "point " + std::to_string(row * 40 + col)});
    }
    return write_qt_index(path, std::string(), SSRect{0, 0, 39000, 24000}, points) == SSGEO_OK;
}
