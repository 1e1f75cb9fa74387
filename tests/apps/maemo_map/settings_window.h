// The navigator's settings window driven through the X server (xdotool):
// opened from the menu, clicked at its controls, closed with OK or Back.
#pragma once

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace xr_settings_window {

inline void xdo(const std::string& args) { std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }
inline void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits until a window of that exact title is shown (or gone).
inline bool window_shown(const std::string& title, bool wanted, int seconds = 10)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
        const bool shown =
            std::system(("xdotool search --onlyvisible --name '^" + title + "$' >/dev/null 2>&1").c_str()) == 0;
        if (shown == wanted)
            return true;
        pause(200);
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

// Where the window puts its controls (window coordinates; the window fills
// the 800 x 480 screen).
constexpr int check_x = 213, autozoom_y = 63;
constexpr int combo_x = 497, voice_y = 147, theme_y = 357, units_y = 400;
constexpr int ok_x = 658, back_x = 750, buttons_y = 448;

// A click at a point of the settings window.
inline void click_in_settings(int x, int y)
{
    xdo("search --onlyvisible --name '^Settings$' windowfocus --sync mousemove --window %1 --sync " +
        std::to_string(x) + " " + std::to_string(y) + " click 1");
    pause(500);
}

// The menu key, six rows down to the settings entry, Return; true once the
// window is shown.
inline bool open_settings()
{
    xdo("search --onlyvisible --classname kestrova-navigator windowfocus --sync");
    pause(600);
    xdo("key F4");
    pause(400);
    xdo("key --delay 80 Down Down Down Down Down Down");
    pause(200);
    xdo("key Return");
    if (!window_shown("Settings", true))
        return false;
    pause(800);
    return true;
}

// OK (keep) or Back; true once the window is gone.
inline bool close_settings(bool keep)
{
    click_in_settings(keep ? ok_x : back_x, buttons_y);
    return window_shown("Settings", false);
}

// Opens a combo box of the window and takes the row that the keys reach.
inline void choose(int combo_y, const std::string& keys)
{
    click_in_settings(combo_x, combo_y);
    xdo("key --delay 150 " + keys + " Return");
    pause(500);
}

} // namespace xr_settings_window
