// XrImageLayer: raster tiles that an add-on supplies. The world is divided
// into square tiles of a fixed size in degrees; the layer asks its observers
// for every tile in view that it does not have and draws the delivered ones
// stretched onto the screen quadrilateral of their corners, so that they
// turn with the map.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"
#include "common/map/xr_layer.h"

class XrMapView;
struct XrBitmapHandleRec;

// The add-on side of the layer's tile requests.
class XrImageLayerObserver {
public:
    virtual ~XrImageLayerObserver() = default;
    // A draw is about to request tiles: earlier requests are void.
    virtual void start_tile_requests() = 0;
    // The tile with the south-west corner (longitude, latitude), tile_size
    // degrees square, wanted at tile_pixels pixels.
    virtual void request_tile(double longitude, double latitude, double tile_size, int tile_pixels) = 0;
};

// The first grid line at or below v for tiles of size t.
double xr_image_grid_start(double v, double t);

class XrImageLayer : public XrLayer, public XrObservable<XrImageLayerObserver> {
public:
    // A tile whose file could not be loaded is requested again after this.
    static constexpr std::uint32_t RETRY_MS = 10000;

    // The tile size is a tenth of the larger extent in degrees of the view
    // at the scale (0: 1000000); the view is not kept.
    XrImageLayer(int scale, const XrMapView& view);
    ~XrImageLayer() override;
    XrImageLayer(const XrImageLayer&) = delete;
    XrImageLayer& operator=(const XrImageLayer&) = delete;

    // A delivered tile image file; replaces an earlier one of the same tile.
    // Asks the map window for a redraw.
    void add_tile(const XrString& file, double longitude, double latitude);

    bool draw(XrDCHandleRec* dc, XrMapView* view) override;

    double get_tile_size() const { return tile_size; }
    int get_tile_pixels() const { return tile_pixels; }
    int get_delivered_count() const { return static_cast<int>(delivered.size()); }
    int get_shown_count() const { return static_cast<int>(shown.size()); }

protected:
    // Milliseconds of the tick counter.
    virtual std::uint32_t now_ms() const;

private:
    struct XrMapImage {
        XrString file;
        XrBitmapHandleRec* bitmap = nullptr;
        bool used = false;
        bool failed = false;
        std::uint32_t failed_at = 0;
        ~XrMapImage();
        void free_bitmap();
    };

    static std::wstring key_of(double longitude, double latitude);
    // The view's extent in degrees; false without a projection.
    static bool view_extent(const XrMapView& view, double& min_lon, double& min_lat, double& max_lon,
                            double& max_lat);
    void draw_tile(XrDCHandleRec* dc, XrMapView* view, XrMapImage& image, double longitude, double latitude);

    double tile_size = 0;
    int tile_pixels = 0;
    // The delivered images (owned) and those of them loaded for the view.
    std::map<std::wstring, std::unique_ptr<XrMapImage>> delivered;
    std::map<std::wstring, XrMapImage*> shown;
};
