// XrSafetyScreenDrawer: the countdown of six bars before the next manoeuvre
// on the safety screen. Made for one drawing of the screen.
#pragma once

#include <cstdint>

#include "common/gdi/xr_gdi.h"
#include "common/types/xr_distance.h"

// Told the state of the information view.
class XrInformationViewStateObserver {
public:
    virtual ~XrInformationViewStateObserver() = default;
    virtual void set_information_view_state(std::int32_t state) = 0;
};

class XrSafetyScreenDrawer : public XrInformationViewStateObserver {
public:
    static constexpr int BAR_COUNT = 6;
    // From the lowest bar to the highest; metres, or yards in imperial units.
    static constexpr int THRESHOLDS[BAR_COUNT] = {800, 600, 400, 250, 100, 50};
    // Bars light up from this distance on.
    static constexpr int LIGHT_DISTANCE = 1000;
    // The distance an invalid one counts as.
    static constexpr int NO_DISTANCE = 100000;

    void set_information_view_state(std::int32_t value) override { state = value; }
    std::int32_t get_state() const { return state; }
    // 0 metric, any other value imperial.
    void set_units(int value) { units = value; }

    // Six bars stacked in rect, each followed by gap pixels, the lowest
    // first: bright red while the distance is at most 1000 and not below the
    // bar's threshold, else dark red.
    void draw_distance_bars(XrDCHandleRec* dc, const XrRectangle& rect, const XrDistance& distance, int gap,
                            int corner_radius);

private:
    std::int32_t state = 0;
    std::int32_t units = 0;
};
