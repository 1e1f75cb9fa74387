// The street labels of Atlantis as the program draws them: the map's own
// layer configuration, names from its address database by road gid, drawn
// through the recording backend. Every label lies on a road of its name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/addr/xr_addraccessor.h"
#include "common/base/xr_singleton.h"
#include "common/config/xr_storageconfiguration.h"
#include "common/db/xr_heapgeomstorage.h"
#include "common/gdi/recording/xr_gdi_recording.h"
#include "common/geometry/xr_projection.h"
#include "common/map/xr_linelabellayer.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapconfig.h"
#include "common/map/xr_maplayerkinds.h"
#include "common/map/xr_mapview.h"
#include "common/misc/xr_path_resolver.h"
#include "common/storage/xr_storageaccessor.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "atlantis_test_support.h"
#include "support/xr_temp_root.h"

namespace fs = std::filesystem;

namespace {

const std::string MAP = XR_ATLANTIS_DIR;

double distance_to_segment(double px, double py, const XrPoint& a, const XrPoint& b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(px - (a.x + t * dx), py - (a.y + t * dy));
}

TEST(AtlantisLabels, EveryLabelLiesOnARoadOfItsName)
{
    // A card holding the map: "mapdata" with its files, "kestrova/maemo.reg".
    XrTempRoot tmp;
    const fs::path card = fs::path(tmp.dir()) / "card";
    fs::create_directories(card / "mapdata");
    fs::create_directories(card / "kestrova");
    for (const auto& e : fs::directory_iterator(MAP))
        fs::create_symlink(e.path(), card / "mapdata" / e.path().filename());
    fs::create_symlink(fs::path(MAP) / "maemo.reg", card / "kestrova" / "maemo.reg");
    const XrString root((card.string() + "/").c_str());
    XrPathResolver resolver(root.c_str());
    set_path_resolver(&resolver);

    XrGDI::init_stock_objects();
    static XrFontRepositoryMaemo* fonts = [] {
        auto* f = new XrFontRepositoryMaemo();
        f->initialize();
        XrSingleton::set_instance(XrString(L"XrFontRepository"), f);
        return f;
    }();
    (void)fonts;

    XrStorageAccessor* reg = open_storage_accessor(XrString((card / "kestrova" / "maemo.reg").c_str()), true);
    ASSERT_NE(reg, nullptr);
    XrStorageConfiguration config(reg, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnok");
    ASSERT_EQ(config.open(true), XrConfiguration::OK);
    XrMapConfigContext context;
    auto map = std::make_unique<XrMap>();
    register_map_layer_kinds();
    ASSERT_NE(read_map_configuration(map.get(), &config, context, nullptr), MapConfigFailed);
    auto* road = dynamic_cast<XrLineLabelLayer*>(map->get_layer(XrString(L"road")));
    ASSERT_NE(road, nullptr);
    XrAddrAccessor addr;
    addr.set_storage(open_storage_accessor(XrString(L"?:/mapdata/addr.dat"), true));
    ASSERT_EQ(addr.open(), XrAddrAccessor::OK);
    road->set_addr_accessor(&addr);

    const std::unique_ptr<XrProjection> projection = atlantis_projection(MAP);
    ASSERT_TRUE(projection);
    const std::vector<XrAtlantisRoad> roads = atlantis_roads(MAP);
    ASSERT_FALSE(roads.empty());

    // The town centre at 1:8000, as reported, and around it.
    std::set<std::wstring> seen;
    for (const auto& [lat, lon] : std::vector<std::pair<double, double>>{
             {31.0, -24.0}, {30.998, -24.002}, {30.998, -23.998}, {31.002, -24.002}, {31.002, -23.998}}) {
        SCOPED_TRACE(std::to_string(lat) + "," + std::to_string(lon));
        XrPoint centre;
        ASSERT_TRUE(projection->to_map(lon, lat, centre.x, centre.y));
        XrMapView view(nullptr);
        view.set_map(map.get());
        view.set_screen_size(XrSize(800, 480));
        view.set_visible_rect(XrRectangle(0, 0, 800, 480));
        view.set_default_scale_reference();
        view.set_limits(XrRectangle());
        ASSERT_TRUE(view.set_center_and_scale(&centre, 8000, true));
        XrDCHandleRec* dc = xr_recording_dc(800, 480);
        road->draw(dc, &view);
        XrGDI::delete_dc(dc);

        for (const auto& label : road->get_placed_labels()) {
            seen.insert(label.name);
            // The roads that pass within 2 pixels of the label's centre.
            std::set<std::wstring> names;
            for (const XrAtlantisRoad& r : roads) {
                XrPoint prev;
                view.world_to_screen_2d(r.points[0].x, r.points[0].y, prev.x, prev.y);
                for (size_t k = 1; k < r.points.size(); ++k) {
                    XrPoint cur;
                    view.world_to_screen_2d(r.points[k].x, r.points[k].y, cur.x, cur.y);
                    if (distance_to_segment(label.centre_x, label.centre_y, prev, cur) <= 2.0) {
                        XrString name;
                        if (addr.get_street_by_gid(r.gid, name) == XrAddrAccessor::OK)
                            names.insert(std::wstring(name.c_str()));
                    }
                    prev = cur;
                }
            }
            EXPECT_TRUE(names.count(label.name)) << std::string(label.name.begin(), label.name.end()) << " at "
                                                 << label.centre_x << "," << label.centre_y;
        }
    }
    for (const wchar_t* name : {L"South-West Boulevard", L"South-East Boulevard", L"North-West Boulevard",
                                L"North-East Boulevard", L"Poseidon Circle"})
        EXPECT_TRUE(seen.count(name)) << std::string(name, name + std::wcslen(name));

    road->set_addr_accessor(nullptr);
    map.reset();
    set_path_resolver(nullptr);
}

} // namespace
