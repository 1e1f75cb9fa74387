#include "tools/mapstyle/city_gen.h"

#include <sys/stat.h>

#include <memory>

#include "common/geometry/xr_projection.h"
#include "tools/mapgen/xrqt_writer.h"
#include "tools/mapstyle/map_style.h"

namespace {

XrPolypointGeomRec* rect_polygon(int id, unsigned short type, int l, int b, int r, int t)
{
    auto* rec = new XrPolypointGeomRec(true, id, type);
    rec->add_point(XrPoint(l, b));
    rec->add_point(XrPoint(r, b));
    rec->add_point(XrPoint(r, t));
    rec->add_point(XrPoint(l, t));
    rec->add_point(XrPoint(l, b));
    return rec;
}

const char* const kNames[] = {"Northgate", "Riverside", "Old Town", "Hillcrest", "Market", "Harbour",
                              "Elm Park", "Station", "Castle", "Westend", "Mill Lane", "Bridge"};

} // namespace

XrCity::~XrCity()
{
    for (auto* list : {&areas, &roads, &texts})
        for (XrGeomRec* r : *list)
            delete r;
}

void xr_generate_city(const XrCityOptions& o, XrCity& city)
{
    const int w = o.blocks_x * o.block, h = o.blocks_y * o.block;
    city.left = o.origin_x;
    city.bottom = o.origin_y;
    city.right = o.origin_x + w;
    city.top = o.origin_y + h;
    int id = 1;

    // A lake over a corner of the city.
    auto* lake = new XrPolypointGeomRec(true, id++, 10);
    const int lx = o.origin_x + w * 3 / 4, ly = o.origin_y + h * 3 / 4, lr = o.block * 3;
    for (int i = 0; i <= 12; ++i) {
        static const int dx[13] = {100, 87, 50, 0, -50, -87, -100, -87, -50, 0, 50, 87, 100};
        static const int dy[13] = {0, 50, 87, 100, 87, 50, 0, -50, -87, -100, -87, -50, 0};
        lake->add_point(XrPoint(lx + dx[i] * lr / 100, ly + dy[i] * lr / 100));
    }
    city.areas.push_back(lake);

    const int inner = o.block - o.street;
    for (int j = 0; j < o.blocks_y; ++j)
        for (int i = 0; i < o.blocks_x; ++i) {
            const int l = o.origin_x + i * o.block + o.street / 2, b = o.origin_y + j * o.block + o.street / 2;
            if ((i * 7 + j * 3) % 11 == 0) {
                city.areas.push_back(rect_polygon(id++, 11, l, b, l + inner, b + inner));
                continue;
            }
            const int half = inner / 2, gap = 4;
            for (int k = 0; k < 4; ++k) {
                const int bl = l + (k % 2) * half + gap, bb = b + (k / 2) * half + gap;
                city.areas.push_back(rect_polygon(id++, 12, bl, bb, bl + half - 2 * gap, bb + half - 2 * gap));
            }
        }

    // Streets between the blocks, a point at every crossing.
    for (int j = 0; j <= o.blocks_y; ++j) {
        const unsigned short type = o.motorway_every > 0 && j % o.motorway_every == 0 ? 1 : 2;
        auto* road = new XrPolypointGeomRec(false, id++, type);
        for (int i = 0; i <= o.blocks_x; ++i)
            road->add_point(XrPoint(o.origin_x + i * o.block, o.origin_y + j * o.block));
        city.roads.push_back(road);
    }
    for (int i = 0; i <= o.blocks_x; ++i) {
        const unsigned short type = o.motorway_every > 0 && i % o.motorway_every == 0 ? 1 : 2;
        auto* road = new XrPolypointGeomRec(false, id++, type);
        for (int j = 0; j <= o.blocks_y; ++j)
            road->add_point(XrPoint(o.origin_x + i * o.block, o.origin_y + j * o.block));
        city.roads.push_back(road);
    }

    // Place names spread evenly, the classes mixed.
    for (int n = 0; n < o.texts; ++n) {
        const long long cell = static_cast<long long>(n) * 7919 % (static_cast<long long>(o.blocks_x) * o.blocks_y);
        const int i = static_cast<int>(cell % o.blocks_x), j = static_cast<int>(cell / o.blocks_x);
        const std::string name = std::string(kNames[n % 12]) + " " + std::to_string(n);
        city.texts.push_back(new XrTextGeomRec(id++, o.origin_x + i * o.block + o.block / 2,
                                               o.origin_y + j * o.block + o.block / 2,
                                               static_cast<unsigned short>(n % 16), 0, name.c_str()));
    }
}

bool xr_write_city_map(const std::string& dir, const XrCityOptions& options, std::string& error)
{
    ::mkdir(dir.c_str(), 0755);
    XrCity city;
    xr_generate_city(options, city);
    XrGeomFileOptions file;
    if (!write_xrqt(dir + "/areas.qt", city.areas, file, error) ||
        !write_xrqt(dir + "/roads.qt", city.roads, file, error) ||
        !write_xrqt(dir + "/texts.qt", city.texts, file, error))
        return false;
    std::vector<XrLayerDef> layers(3);
    layers[0].name = "wa";
    layers[0].number = 10;
    layers[0].resource = dir + "/areas.qt";
    layers[0].extra = {"double_bufferable=1"};
    layers[1].name = "a7";
    layers[1].number = 20;
    layers[1].resource = dir + "/roads.qt";
    layers[1].extra = {"double_bufferable=1", "lines_in_2phases=1"};
    layers[2].name = "txt";
    layers[2].number = 30;
    layers[2].type = "maptxt";
    layers[2].resource = dir + "/texts.qt";
    layers[2].extra = {"double_bufferable=1"};
    std::string text = xr_map_config_text(layers);
    if (!options.projection.empty())
        text.replace(text.find("[\\map]\n") + 7, 0, "projection=" + options.projection + "\n");
    if (!xr_write_text_file(dir + "/mapcfg.txt", text)) {
        error = "cannot write " + dir + "/mapcfg.txt";
        return false;
    }
    return true;
}

bool xr_centre_city(XrCityOptions& options, const std::string& projection, double lon, double lat)
{
    std::unique_ptr<XrProjection> p(create_projection(XrString(projection.c_str())));
    int x = 0, y = 0;
    if (!p || !p->to_map(lon, lat, x, y))
        return false;
    options.projection = projection;
    options.origin_x = x - options.blocks_x * options.block / 2;
    options.origin_y = y - options.blocks_y * options.block / 2;
    return true;
}
