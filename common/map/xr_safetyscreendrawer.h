// XrSafetyScreenDrawer: the countdown of six bars before the next manoeuvre
// on the safety screen. Made for one drawing of the screen.
#pragma once

#include <cstdint>

#include "common/container/xr_string.h"
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

class XrBitmap;

// What the safety screen reads of the route layer and the drawing it asks
// of it.
class XrSafetyScreenHost {
public:
    virtual ~XrSafetyScreenHost() = default;

    virtual bool has_active_route() const = 0;
    // 1 and 3 follow the route, 4 is off it.
    virtual int get_guidance_state() const = 0;
    // Metres to the current manoeuvre.
    virtual int get_directive_distance() const = 0;
    // The largest announcement distance so far, metres.
    virtual int get_largest_announcement() const = 0;
    // 0 metric, 1 yards and miles, 2 feet and miles.
    virtual int get_display_units() const = 0;
    virtual bool is_right_hand_traffic() const = 0;
    virtual XrString get_next_street_text() const = 0;
    virtual XrString get_street_name() const = 0;
    virtual bool shows_street_names() const = 0;
    // Metres: the active route's length, the distance travelled along it,
    // and the lengths of the routes after it.
    virtual int get_route_length() const = 0;
    virtual int get_distance_travelled() const = 0;
    virtual int get_later_legs_length() const = 0;
    virtual int get_remaining_minutes() const = 0;
    virtual bool is_uturn_announced() const = 0;
    virtual void set_uturn_announced() = 0;
    virtual void play_prompt(const TCHAR* file) = 0;
    // Picture 0 to 2 (route_01 to route_03), the half-size ones for small
    // screens; null when not loaded.
    virtual XrBitmap* get_picture(int index, bool half) = 0;

    // The direction icon of the current manoeuvre and the bend-ahead icon;
    // -1 for none.
    virtual int get_direction_icon() = 0;
    virtual int get_bend_ahead_icon() = 0;
    virtual void draw_guidance_sign(XrDCHandleRec* dc, const XrPoint& at, int icon) = 0;
    // The direction icon of the current manoeuvre, or with next set of the
    // one after it when that is marked for display; false when there is none.
    virtual bool draw_direction_icon(XrDCHandleRec* dc, const XrRectangle& box, bool next) = 0;
    virtual bool should_show_signpost() = 0;
    virtual void draw_instruction_graphics(XrDCHandleRec* dc, const XrRectangle& box) = 0;
    virtual void set_guidance_box_height(int height) = 0;
    virtual void draw_compass(XrDCHandleRec* dc) = 0;
    virtual void update_signpost_height(XrDCHandleRec* dc, const XrPoint& screen) = 0;
    // The next-street box: enlarged by the border width, filled with the
    // box brush and framed twice.
    virtual void draw_street_box(XrDCHandleRec* dc, const XrRectangle& box) = 0;
    virtual XrFontHandleRec* get_font(int context) = 0;
};

// The whole safety screen: nothing without an active route. ms_since_start
// chooses the phase of the alternating picture and time line; now is the
// UTC time of the arrival clock.
void xr_draw_safety_screen(XrDCHandleRec* dc, const XrPoint& screen, XrSafetyScreenHost& host,
                           std::uint32_t ms_since_start, int now);
// The driven street's name and, when next_street is not empty, the
// next-street box with its text.
void xr_draw_street_boxes(XrDCHandleRec* dc, const XrPoint& screen, XrSafetyScreenHost& host,
                          const XrString& next_street, const XrString& street);
