// XrOverlayLayer: the top layer of the map. Without a route it marks the
// map's centre and the vehicle's position; it shows the pin with its label,
// arrows with a distance at the screen edge towards a position or pin off
// screen, and a progress bar at the bottom.
#pragma once

#include <memory>

#include "common/bmloader/xr_bitmap.h"
#include "common/container/xr_string.h"
#include "common/map/xr_layer.h"

class XrOverlayLayer : public XrLayer {
public:
    // Loader ids of the edge arrows.
    static constexpr unsigned int PIN_ARROW_ID = 0x49A70067;
    static constexpr unsigned int POSITION_ARROW_ID = 0x49A70066;
    // Where the pin image's tip lies in it.
    static constexpr int PIN_TIP_X = 27;
    static constexpr int PIN_TIP_Y = 62;

    XrOverlayLayer();
    ~XrOverlayLayer() override = default;
    XrOverlayLayer(const XrOverlayLayer&) = delete;
    XrOverlayLayer& operator=(const XrOverlayLayer&) = delete;

    // Loads the four images of "?:/kestrova/images" and binds the arrows to
    // their ids; false when an image could not be loaded (it stays unset).
    bool load_images();

    void set_position(const XrPoint& point, int valid)
    {
        position = point;
        position_valid = valid;
    }
    void set_pin(const XrPoint& point, const XrString& label)
    {
        pin = point;
        pin_label = label;
        pin_set = true;
    }
    // Hides the pin; its point and label stay stored.
    void clear_pin() { pin_set = false; }
    // The pin, or null when none is set.
    const XrPoint* get_pin() const { return pin_set ? &pin : nullptr; }
    const XrString& get_pin_label() const { return pin_label; }
    void set_highlight_phase(float value) { progress = value; }

    bool draw(XrDCHandleRec* dc, XrMapView* view) override;
    bool draw_3d(XrDCHandleRec* dc, XrMapView* view) override { return draw(dc, view); }

private:
    // The arrow, distance and highlight at the screen edge towards target.
    void draw_indicator(XrDCHandleRec* dc, XrMapView* view, const XrPoint& target, XrBitmap& arrow);
    void draw_progress(XrDCHandleRec* dc, XrMapView* view);

    int position_valid = 0;
    XrPoint position{1666924, 6684495};
    std::unique_ptr<XrBitmap> position_image;
    std::unique_ptr<XrBitmap> centre_image;
    std::unique_ptr<XrBitmap> pin_image;
    std::unique_ptr<XrBitmap> highlight_image;
    XrBitmap pin_arrow;
    XrBitmap position_arrow;
    XrPoint pin;
    float progress = 0;
    bool pin_set = false;
    XrString pin_label;
};
