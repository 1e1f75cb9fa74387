// XrNaviStepHandler: the keys that browse a computed route step by step and
// zoom about the route position; every other key goes to the default map
// handler. Also the telephony interface the map handler and the commands
// call with a POI's phone number.
#pragma once

#include <cstdint>

#include "apps/apps_common/xr_defaultwindoweventhandler.h"
#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"

class XrNaviApp;

// Places a call; registered as "XrPhoneCallProvider" by a build with
// telephony. The tablet registers none and callers skip the call.
class XrPhoneCallProvider : public XrSingleton {
public:
    ~XrPhoneCallProvider() override = default;
    virtual void call(const XrString& number) = 0;
    // The registered provider, or null.
    static XrPhoneCallProvider* get_instance();
};

class XrNaviStepHandler : public XrDefaultWindowEventHandler {
public:
    // Key codes of the step handler: next and previous route step (touch
    // buttons), and the jump ahead asked for by the application.
    enum { KeyStepNext = 11, KeyStepPrevious = 12, KeyStepAhead = 15 };

    explicit XrNaviStepHandler(XrNaviApp* app);
    ~XrNaviStepHandler() override = default;

    int handle_key(int key, XrMapWindow* window) override;

    XrNaviApp* get_app() const { return app; }
    void toggle_step_mode() { step_mode = !step_mode; }
    void set_step_mode(bool on) { step_mode = on; }
    bool is_step_mode() const { return step_mode; }
    // Whether the view follows the position (the application's auto-scale flag).
    void set_follow_position(bool follow);
    static bool is_map_cursor_visible();

    // The browse step in map units for scale s, in 3D also by the time since
    // the previous key (elapsed_ms < 0: none).
    static double step_distance(std::uint32_t scale, bool is_3d, int elapsed_ms);

protected:
    XrNaviApp* app;
    bool step_mode = false;
    std::uint32_t last_step_key_ms = 0;
    // Distance along the route of the browsed point.
    int browse_distance = 0;
};
