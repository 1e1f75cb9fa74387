// XrCorvanelCommandHandler: turns a numeric command id (0x1000 to 0x1107)
// into one action of the application: a scale preset, a zoom step, a dialog
// of the dialog facade, a route, position or parking operation, or an
// operation of XrNaviApp. Java add-ons send any id: an unknown one is logged
// and ignored.
#pragma once

class XrNaviApp;

class XrCorvanelCommandHandler {
public:
    static constexpr int FIRST_COMMAND = 0x1000;
    static constexpr int LAST_COMMAND = 0x1107;
    // The scale of preset 0..5 (any other preset: 9000).
    static int preset_scale(int preset);

    XrCorvanelCommandHandler() = default;
    void set_app(XrNaviApp* value) { app = value; }
    XrNaviApp* get_app() const { return app; }

    // Carries out the command; false (after a log line) for an id that is
    // not a command. data is not read.
    bool handle_command(int id, void* data);

private:
    // The commands of the table; false when id is none of them.
    bool run(int id);

    XrNaviApp* app = nullptr;
};
