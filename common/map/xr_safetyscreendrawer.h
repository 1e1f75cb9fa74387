// XrSafetyScreenDrawer: the countdown of six bars before the next manoeuvre
// on the safety screen. Made for one drawing of the screen.
#pragma once

#include <cstdint>

#include "common/gdi/xr_gdi.h"
#include "common/types/xr_distance.h"

// Where the safety screen puts its elements: the small layout below a
// screen width of 690 pixels, else the large one. Texts are right-aligned
// at their points.
struct XrSafetyScreenLayout {
    static constexpr int LARGE_WIDTH = 690;

    XrPoint first_picture;
    XrPoint second_picture;
    XrPoint sign;           // guidance sign of the manoeuvre
    XrPoint sign_off_route; // guidance sign off the route
    XrPoint distance;       // distance to the manoeuvre
    XrPoint remaining;      // remaining distance
    XrPoint time;
    XrRectangle icon_box;  // direction icon
    XrRectangle bars_box;  // countdown bars
    int instruction_margin; // the instruction box at (5, 10) is this much narrower than the screen
    int large_font;
    int distance_font;
    // The pictures: distance, remaining time, arrival time.
    const TCHAR* pictures[3];

    static const XrSafetyScreenLayout& for_width(int width);
    // The second picture and the time line alternate every 10 s: 0 or 1.
    static int phase(std::uint32_t ms_since_start) { return static_cast<int>((ms_since_start / 10000) % 2); }
};

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
