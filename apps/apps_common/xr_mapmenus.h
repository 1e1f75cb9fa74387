// What the map window's menus offer and do: the radial menu of a map point
// (its entries by point kind and the commands behind them), the quick menu
// of route commands and the scroll menu of quick settings. The map window's
// event handler opens them; each runs modally and carries out the choice.
#pragma once

#include <string>

#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"

class XrMapPoint;
class XrMapWindow;
class XrNaviApp;
class XrRadialMenuData;

// The radial menu's kind of a map point.
enum RadialMenuType : int {
    RADIAL_PLACE = 0,
    RADIAL_POI = 1,
    RADIAL_FAVOURITE = 2,
    RADIAL_ROADBLOCK = 3,
    RADIAL_SPECIAL_POI = 5,
    RADIAL_CAR_PARK = 6,
};

// Commands of the radial menu's entries.
enum RadialCommand : int {
    RC_NAVIGATE = 1,
    RC_NAVIGATE_PLAIN = 2,
    RC_ADD_WAYPOINT = 3,
    RC_CALL = 4,
    RC_WEB = 7,
    RC_DELETE_FAVOURITE = 8,
    RC_REMOVE_ROADBLOCK = 9,
    RC_HIDE_MARKER = 10,
    RC_SET_MARKER = 11,
    RC_FAVOURITE_DETAILS = 12,
    RC_ROADBLOCK_DETAILS = 13,
    RC_ADD_FAVOURITE = 14,
    RC_DETAILS = 15,
    RC_ADD_ROADBLOCK = 16,
    RC_POI_DETAILS = 20,
    RC_PARKING = 21,
    RC_UNPARK = 22,
};

// The menu kind of a map point. Points of no kind of their own (location
// messages, history points, unknown types) and null get the plain place's.
RadialMenuType get_radial_menu_type(const XrMapPoint* point);

// The entries for a point of the kind (new data, the caller deletes it):
// the kind's four ring entries, then the marker entry (hide when the pin
// stands less than 50 pixels from world_point, else set). Roadblocks and
// car parks get the place's ring with their own removal entry added.
XrRadialMenuData* create_radial_menu_data(RadialMenuType type, const XrString& phone, const XrString& web_address,
                                          bool has_route, const XrPoint* world_point);

// The search page address for a name: "?q=" with the name's UTF-8 bytes
// percent-encoded, then "&e=google"; at most 200 characters.
std::string xr_web_search_url(const XrString& name);

// Opens the radial menu for the highlighted point (else the first picked
// item, else world_point, else the cursor) and carries out the choice.
void xr_display_radial_menu(XrNaviApp* app, XrMapWindow* window, const XrPoint* world_point);

// One run of the quick menu: five route and settings buttons; the choice is
// carried out once the menu has gone.
class XrQuickMenuHandler {
public:
    explicit XrQuickMenuHandler(XrNaviApp* app) : app(app) {}
    virtual ~XrQuickMenuHandler() = default;
    void run();
    // Carries out a button's command; answers false (no page switch).
    bool execute(int command);
    // A button cell's rectangle, full screen or windowed.
    static XrRectangle cell_rect(int column, int row, bool full_screen);

    // Buttons' commands.
    enum { CMD_PLAN = 0, CMD_CLEAR = 1, CMD_DETOUR = 2, CMD_WAYPOINTS = 4, CMD_SETTINGS = 26 };

private:
    XrNaviApp* app;
    bool running = false;
};

// The quick settings: sound level, route mode and type, 2D/3D, theme and
// traffic information, applied together when the menu is confirmed.
// A second call while one runs does nothing.
void xr_show_scroll_menu(XrNaviApp* app);
