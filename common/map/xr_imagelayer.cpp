#include "common/map/xr_imagelayer.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "common/gdi/xr_gdi.h"
#include "common/map/xr_mapservices.h"
#include "common/map/xr_mapview.h"
#include "common/misc/xr_path_resolver.h"
#include "common/types/xr_coordinate.h"

namespace {

constexpr int kDefaultScale = 1000000;
// More tiles than this along an axis are not drawn.
constexpr double kMaxTilesPerAxis = 10.0;

} // namespace

double xr_image_grid_start(double v, double t)
{
    double start = std::trunc(v / t) * t;
    if (start > v)
        start -= t;
    return start;
}

XrImageLayer::XrMapImage::~XrMapImage() { free_bitmap(); }

void XrImageLayer::XrMapImage::free_bitmap()
{
    if (bitmap != nullptr)
        XrGDI::delete_bitmap(bitmap);
    bitmap = nullptr;
}

XrImageLayer::XrImageLayer(int scale, const XrMapView& view)
{
    set_double_bufferable(true);
    // The view at the layer's scale.
    XrMapView copy;
    copy.set_screen_size(XrSize(view.get_screen_width(), view.get_screen_height()));
    copy.set_visible_rect(view.get_visible_rect());
    if (view.get_reference_units() > 0 && view.get_reference_pixels() > 0)
        copy.set_scale_reference(view.get_reference_units(), view.get_reference_pixels());
    else
        copy.set_default_scale_reference();
    copy.set_rotation(view.get_rotation());
    const XrPoint centre = view.get_centre();
    copy.set_center_and_scale(&centre, scale != 0 ? static_cast<std::uint32_t>(scale) : kDefaultScale, true);

    double min_lon = 0, min_lat = 0, max_lon = 0, max_lat = 0;
    if (view_extent(copy, min_lon, min_lat, max_lon, max_lat))
        tile_size = std::max(max_lon - min_lon, max_lat - min_lat) / 10.0;
    tile_pixels = std::max(copy.get_screen_width(), copy.get_screen_height()) / 4;
}

XrImageLayer::~XrImageLayer() = default;

std::uint32_t XrImageLayer::now_ms() const { return get_tick_count_ms(); }

std::wstring XrImageLayer::key_of(double longitude, double latitude)
{
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%f;%f", longitude, latitude);
    return buf;
}

bool XrImageLayer::view_extent(const XrMapView& view, double& min_lon, double& min_lat, double& max_lon,
                               double& max_lat)
{
    const XrProjection* projection = get_map_engine_services().get_projection();
    if (projection == nullptr)
        return false;
    const int w = view.get_screen_width(), h = view.get_screen_height();
    const XrPoint corners[4] = {XrPoint(0, 0), XrPoint(w, 0), XrPoint(w, h), XrPoint(0, h)};
    for (int i = 0; i < 4; ++i) {
        XrPoint world;
        view.screen_to_world_2d(corners[i].x, corners[i].y, world.x, world.y);
        const XrCoordinate c(world, projection);
        if (i == 0) {
            min_lon = max_lon = c.get_longitude();
            min_lat = max_lat = c.get_latitude();
        }
        min_lon = std::min(min_lon, c.get_longitude());
        max_lon = std::max(max_lon, c.get_longitude());
        min_lat = std::min(min_lat, c.get_latitude());
        max_lat = std::max(max_lat, c.get_latitude());
    }
    return true;
}

void XrImageLayer::add_tile(const XrString& file, double longitude, double latitude)
{
    const std::wstring key = key_of(longitude, latitude);
    shown.erase(key);
    auto image = std::make_unique<XrMapImage>();
    image->file = file;
    delivered[key] = std::move(image);
    get_map_engine_services().request_redraw();
}

bool XrImageLayer::draw(XrDCHandleRec* dc, XrMapView* view)
{
    if (view == nullptr)
        return true;
    const double t = tile_size;
    double min_lon = 0, min_lat = 0, max_lon = 0, max_lat = 0;
    // A tile size that is not positive would never step through the view.
    if (!(t > 0) || !std::isfinite(t) || !view_extent(*view, min_lon, min_lat, max_lon, max_lat))
        return true;
    if ((max_lon - min_lon) / t > kMaxTilesPerAxis || (max_lat - min_lat) / t > kMaxTilesPerAxis)
        return true;

    for (auto& entry : shown)
        entry.second->used = false;

    bool requested = false;
    const std::uint32_t now = now_ms();
    for (double lon = xr_image_grid_start(min_lon, t); lon < max_lon; lon += t) {
        for (double lat = xr_image_grid_start(min_lat, t); lat < max_lat; lat += t) {
            const std::wstring key = key_of(lon, lat);
            XrMapImage* image = nullptr;
            if (auto s = shown.find(key); s != shown.end()) {
                image = s->second;
            } else if (auto d = delivered.find(key); d != delivered.end()) {
                image = d->second.get();
                shown[key] = image;
            }
            // A tile whose file did not load is asked for again after a while.
            if (image != nullptr && image->failed && now - image->failed_at >= RETRY_MS) {
                shown.erase(key);
                delivered.erase(key);
                image = nullptr;
            }
            if (image == nullptr) {
                if (!requested)
                    notify_listeners(&XrImageLayerObserver::start_tile_requests);
                requested = true;
                notify_listeners(&XrImageLayerObserver::request_tile, lon, lat, t, tile_pixels);
                continue;
            }
            image->used = true;
            if (dc != nullptr)
                draw_tile(dc, view, *image, lon, lat);
        }
    }

    // Images out of view give their bitmaps back; they stay delivered.
    for (auto it = shown.begin(); it != shown.end();) {
        if (!it->second->used) {
            it->second->free_bitmap();
            it = shown.erase(it);
        } else {
            ++it;
        }
    }
    return true;
}

void XrImageLayer::draw_tile(XrDCHandleRec* dc, XrMapView* view, XrMapImage& image, double lon, double lat)
{
    if (image.failed)
        return;
    if (image.bitmap == nullptr) {
        XrBitmapHandleRec* mask = nullptr;
        if (XrGDI::load_image_file(image.file.c_str(), image.bitmap, mask))
            XrGDI::delete_bitmap(mask);
        else
            image.bitmap = XrGDI::load_bitmap(image.file.c_str(), 0);
        if (image.bitmap == nullptr || image.bitmap == XrGDI::unsupported_bitmap()) {
            image.bitmap = nullptr;
            image.failed = true;
            image.failed_at = now_ms();
            return;
        }
    }
    const XrProjection* projection = get_map_engine_services().get_projection();
    const double t = tile_size;
    // North-west, north-east, south-east, south-west.
    const XrCoordinate corners[4] = {XrCoordinate(lon, lat + t), XrCoordinate(lon + t, lat + t),
                                     XrCoordinate(lon + t, lat), XrCoordinate(lon, lat)};
    XrPoint s[4];
    for (int i = 0; i < 4; ++i) {
        const XrPoint world = corners[i].to_point(projection);
        view->world_to_screen_2d(world.x, world.y, s[i].x, s[i].y);
    }
    int w = 0, h = 0;
    XrGDI::get_bitmap_size(image.bitmap, &w, &h);
    const XrPoint upper[3] = {s[0], s[1], s[2]};
    const XrPoint upper_tex[3] = {XrPoint(0, 0), XrPoint(w, 0), XrPoint(w, h)};
    XrGDI::draw_textured_triangle(dc, upper, upper_tex, image.bitmap);
    const XrPoint lower[3] = {s[0], s[3], s[2]};
    const XrPoint lower_tex[3] = {XrPoint(0, 0), XrPoint(0, h), XrPoint(w, h)};
    XrGDI::draw_textured_triangle(dc, lower, lower_tex, image.bitmap);
}
