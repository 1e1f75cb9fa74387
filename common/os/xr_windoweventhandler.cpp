#include "common/os/xr_windoweventhandler.h"

template <class... Args>
int XrWindowEventHandler::pass_on(int (XrWindowEventHandler::*operation)(Args...), Args... args)
{
    XrWindowEventHandler* next = m_manager != nullptr ? xr_window_manager_next_handler(m_manager) : nullptr;
    return next != nullptr ? (next->*operation)(args...) : 0;
}

int XrWindowEventHandler::handle_key(int key, XrMapWindow* window)
{
    return pass_on(&XrWindowEventHandler::handle_key, key, window);
}

int XrWindowEventHandler::pointer_down(int x, int y, int button, XrMapWindow* window)
{
    return pass_on(&XrWindowEventHandler::pointer_down, x, y, button, window);
}

int XrWindowEventHandler::pointer_up(int x, int y, int flags, XrMapWindow* window)
{
    return pass_on(&XrWindowEventHandler::pointer_up, x, y, flags, window);
}

int XrWindowEventHandler::pointer_event(int x, int y, int flags, XrMapWindow* window)
{
    return pass_on(&XrWindowEventHandler::pointer_event, x, y, flags, window);
}

int XrWindowEventHandler::pointer_up_alt(int x, int y, int flags, XrMapWindow* window)
{
    return pass_on(&XrWindowEventHandler::pointer_up_alt, x, y, flags, window);
}

int XrWindowEventHandler::held_press(int x, int y, int flags, XrMapWindow* window)
{
    return pass_on(&XrWindowEventHandler::held_press, x, y, flags, window);
}

int XrWindowEventHandler::held_press_alt(int x, int y, int flags, XrMapWindow* window)
{
    return pass_on(&XrWindowEventHandler::held_press_alt, x, y, flags, window);
}

int XrWindowEventHandler::pointer_move(int x, int y, int flags, XrMapWindow* window)
{
    return pass_on(&XrWindowEventHandler::pointer_move, x, y, flags, window);
}

int XrWindowEventHandler::can_tap_and_hold(int x, int y, XrMapWindow* window)
{
    // With nothing to ask, the gesture may go on.
    XrWindowEventHandler* next = m_manager != nullptr ? xr_window_manager_next_handler(m_manager) : nullptr;
    return next != nullptr ? next->can_tap_and_hold(x, y, window) : 1;
}

int XrWindowEventHandler::tap_and_hold(XrMapWindow* window)
{
    return pass_on(&XrWindowEventHandler::tap_and_hold, window);
}
