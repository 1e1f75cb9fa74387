#include "common/map/xr_maplayer.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/base/xr_root.h"
#include "common/container/xr_bytes.h"
#include "common/db/qt/xr_geodata.h"
#include "common/db/qt/xr_geodatabuilder.h"
#include "common/db/qt/xr_geodatalayout.h"
#include "common/db/qt/xr_geodatasearcher.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapobject.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"

namespace {

// The index holds each object's id as its payload.
constexpr std::uint32_t kPayloadSize = 4;
// Bytes the index may hold in memory while it is built.
constexpr std::uint32_t kIndexMemory = 0x100000;

std::string temp_folder() { return XrRoot::path("/tmp/"); }

std::string narrow_name(const XrString& name)
{
    std::string out;
    for (const TCHAR* p = name.c_str(); p != nullptr && *p != 0; ++p)
        out += (*p > 0 && *p < 128 && *p != '/') ? static_cast<char>(*p) : '_';
    return out.empty() ? std::string("maplayer") : out;
}

// The index file of a layer: its name and a number of its own, so that
// layers of one name keep apart.
std::string index_file_of(const XrString& name)
{
    static int serial = 0;
    return temp_folder() + narrow_name(name) + "." + std::to_string(++serial);
}

} // namespace

XrMapLayer::XrMapLayer(XrMap* map, const XrString& name, int lowest_scale, int highest_scale)
    : map(map), name(name), index_file(index_file_of(name)), lowest_scale(lowest_scale),
      highest_scale(highest_scale)
{
    if (map != nullptr)
        map->add_map_layer(this);
}

XrMapLayer::~XrMapLayer()
{
    if (map != nullptr)
        map->remove_map_layer(this);
    drop_index();
    std::error_code ec;
    std::filesystem::remove(index_file, ec);
    std::filesystem::remove(index_file + SSGEO_DATA_SUFFIX, ec);
}

XrMapLayer* XrMapLayer::create(XrMap* map, const XrString& name, int lowest_scale, int highest_scale)
{
    return new XrMapLayer(map, name, lowest_scale, highest_scale);
}

int XrMapLayer::add_object(XrMapObject* object)
{
    if (object == nullptr)
        return 0;
    const XrPoint p = object->get_point();
    const int id = next_id++;
    objects.emplace(id, Placed{std::unique_ptr<XrMapObject>(object), p.x, p.y});
    built = false;
    return id;
}

bool XrMapLayer::remove_object(int id)
{
    auto it = objects.find(id);
    if (it == objects.end())
        return false;
    if (visiting > 0)
        removed.push_back(std::move(it->second.object));
    objects.erase(it);
    built = false;
    return true;
}

void XrMapLayer::release_removed()
{
    if (visiting == 0)
        removed.clear();
}

XrMapObject* XrMapLayer::get_object(int id) const
{
    auto it = objects.find(id);
    return it == objects.end() ? nullptr : it->second.object.get();
}

void XrMapLayer::clear()
{
    if (visiting > 0)
        for (auto& [id, placed] : objects)
            removed.push_back(std::move(placed.object));
    objects.clear();
    drop_index();
    built = true;
}

void XrMapLayer::drop_index()
{
    if (searcher != nullptr)
        searcher->release();
    searcher = nullptr;
}

bool XrMapLayer::ensure_index()
{
    if (objects.empty()) {
        drop_index();
        built = true;
        return false;
    }
    if (built && searcher != nullptr)
        return true;
    drop_index();
    built = true;

    SSRect area{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (const auto& [id, placed] : objects) {
        area.x0 = std::min(area.x0, placed.x);
        area.y0 = std::min(area.y0, placed.y);
        area.x1 = std::max(area.x1, placed.x);
        area.y1 = std::max(area.y1, placed.y);
    }
    const std::string folder = temp_folder();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string& index = index_file;

    SSGeoDataBuilder* builder = create_geo_data_builder();
    if (builder == nullptr)
        return false;
    SSGeoDataParams params;
    params.area = area;
    params.memory_limit = kIndexMemory;
    SSGeoDataStatus status = builder->create(index.c_str(), folder.c_str(), params);
    for (auto it = objects.begin(); status == SSGEO_OK && it != objects.end(); ++it) {
        BYTE payload[kPayloadSize];
        xr_bytes::put_u32_le(payload, static_cast<std::uint32_t>(it->first));
        SSPoint point;
        point.x = it->second.x;
        point.y = it->second.y;
        point.data = payload;
        point.length = kPayloadSize;
        point.capacity = kPayloadSize;
        status = builder->add_point(&point);
    }
    if (status == SSGEO_OK)
        status = builder->build();
    builder->release();
    ++build_count;
    if (status != SSGEO_OK) {
        xr_map_warning("map layer: the index of %d objects cannot be written (%d)", get_object_count(),
                       static_cast<int>(status));
        return false;
    }
    searcher = create_geo_data_searcher();
    if (searcher == nullptr || searcher->open(index.c_str()) != SSGEO_OK) {
        xr_map_warning("map layer: the index cannot be opened");
        drop_index();
        return false;
    }
    return true;
}

template <class F> bool XrMapLayer::query(XrMapView* view, bool for_drawing, F&& visit)
{
    if (view == nullptr || !ensure_index())
        return false;
    const XrRectangle& v = view->get_visible_rect();
    int ax = 0, ay = 0, bx = 0, by = 0;
    if (for_drawing) {
        view->screen_to_world_2d(v.left, v.bottom, ax, ay);
        view->screen_to_world_2d(v.right, v.top, bx, by);
    } else {
        view->screen_to_world_2d(v.left, v.top, ax, ay);
        view->screen_to_world_2d(v.right, v.bottom, bx, by);
    }
    const SSRect area{std::min(ax, bx), std::min(ay, by), std::max(ax, bx), std::max(ay, by)};
    // Collect the ids first: a visited object may change the layer.
    std::vector<int> ids;
    SSPointCursor* cursor = searcher->query(area, nullptr);
    BYTE payload[64];
    for (;;) {
        SSPoint point;
        point.data = payload;
        point.capacity = sizeof payload;
        if (cursor->get_next_point(&point) != SSGEO_OK)
            break;
        if (point.length == kPayloadSize)
            ids.push_back(static_cast<int>(xr_bytes::get_u32_le(payload)));
    }
    cursor->release();
    std::sort(ids.begin(), ids.end());
    bool taken = false;
    ++visiting;
    for (int id : ids) {
        XrMapObject* object = get_object(id);
        if (object != nullptr && visit(object)) {
            taken = true;
            break;
        }
    }
    --visiting;
    release_removed();
    return taken;
}

void XrMapLayer::draw(XrDCHandleRec* dc, XrMapView* view)
{
    if (view == nullptr)
        return;
    const std::uint32_t scale = view->get_scale_value();
    if (highest_scale != 0 && scale > static_cast<std::uint32_t>(highest_scale))
        return;
    if (lowest_scale != 0 && scale < static_cast<std::uint32_t>(lowest_scale))
        return;
    query(view, true, [&](XrMapObject* object) {
        object->draw(dc, view);
        return false;
    });
}

bool XrMapLayer::handle_event(int kind, int x, int y, XrMapView* view)
{
    return query(view, false, [&](XrMapObject* object) {
        return object->handle_tap(kind, x, y, view);
    });
}

void XrMapLayer::request_redraw() { get_map_engine_services().request_redraw(); }
