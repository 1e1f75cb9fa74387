// XrRoadNumberLayer: road-number shields. Keeps the shields it has placed
// between frames, keyed by their text, so that shields of one road neither
// crowd nor jump while the map moves; the table goes when the zoom changes.
// Each shield is a drawable road sign in the colours and shape of its
// signpost colour scheme.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/map/xr_geomlayer.h"

class XrSignpostAccessor;

class XrRoadNumberLayer : public XrGeomLayer {
public:
    static constexpr int SCHEME_COUNT = 200;
    static constexpr int OFF_SCREEN = 100;
    static constexpr int MARGIN_3D = 5000;
    static constexpr int ZOOM_TOLERANCE = 5;
    static constexpr int FONT_CONTEXT = 53;

    struct XrScheme {
        XrPenHandle pen{};
        XrBrushHandle brush{};
        XrColorHandle text_colour = 0;
        int shape = 0;
        bool read = false; // filled from the signpost file
    };

    struct XrSignRecord {
        std::wstring text;
        int x = 0;
        int y = 0;
        int search_width = 0;
        int search_height = 0;
        int scheme = 0;
    };

    XrRoadNumberLayer(XrMap* map, XrVisualSetting* visual_setting, bool owns_visual_setting);
    ~XrRoadNumberLayer() override = default;

    void set_sign_colors(XrSignpostAccessor* accessor);
    // Sets one scheme (1-based number) directly.
    void set_scheme(int number, const XrScheme& scheme);
    bool draw(XrDCHandleRec* dc, XrMapView* view) override;
    bool draw_3d(XrDCHandleRec* dc, XrMapView* view) override { return draw(dc, view); }

    // The placed shields, by text.
    const std::unordered_map<std::wstring, std::vector<XrSignRecord>>& get_signs() const { return signs; }
    int get_sign_count() const;
    // The window size the layer works with; 0 x 0 takes the view's.
    void set_window_size(const XrSize& size) { window = size; }

private:
    void draw_shields(XrDCHandleRec* dc, XrMapView* view, bool is_3d, const XrSize& size);

    XrScheme schemes[SCHEME_COUNT];
    std::unordered_map<std::wstring, std::vector<XrSignRecord>> signs;
    int cached_half = -1;
    XrSize window;
};

// Registers the configured layer kind "roadnumber".
void register_road_number_layer_kind();
