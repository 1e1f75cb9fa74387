// XrMapWindowManager: the stack of map-window event handlers and the
// dispatch of every input event of a map window down that stack. The most
// recently pushed handler sees an event first; a handler that does not take
// it passes it on (XrWindowEventHandler's default operations), down to the
// bottom of the stack. A window's private handler, when it has one, comes
// before the whole stack.
#pragma once

#include "common/container/xr_array.h"
#include "common/container/xr_ptrarray.h"
#include "common/os/xr_windoweventhandler.h"

class XrMapWindow;

class XrMapWindowManager {
public:
    struct XrHandlerInfo {
        int active; // 1 when pushed
        XrWindowEventHandler* handler;
    };

    XrMapWindowManager();
    // Deletes the handlers still on the stack.
    virtual ~XrMapWindowManager();
    XrMapWindowManager(const XrMapWindowManager&) = delete;
    XrMapWindowManager& operator=(const XrMapWindowManager&) = delete;

    // Pushes the handler; the manager owns it from then on.
    void add_handler(XrWindowEventHandler* handler);
    // Pops the top handler and hands it back to the caller; null when empty.
    XrWindowEventHandler* pop_handler();
    XrWindowEventHandler* top_handler() const;
    int get_depth() const { return m_depth; }

    void add_window(XrMapWindow* window);
    void remove_window(XrMapWindow* window);
    int get_window_count() const { return m_windows.get_num_items(); }
    // An immediate redraw of every listed window that rebuilds the map.
    void redraw_all();

    // The first handler of a dispatch for the window (its private handler,
    // else the top of the stack), null when there is none.
    XrWindowEventHandler* begin_dispatch(XrMapWindow* window);
    // The next handler down the stack for the dispatch under way.
    XrWindowEventHandler* next_handler();

    int dispatch_key(int key, XrMapWindow* window);
    int dispatch_pointer_down(int x, int y, int button, XrMapWindow* window);
    int dispatch_pointer_up(int x, int y, int flags, XrMapWindow* window);
    int dispatch_pointer_event(int x, int y, int flags, XrMapWindow* window);
    int dispatch_pointer_up_alt(int x, int y, int flags, XrMapWindow* window);
    int dispatch_held_press(int x, int y, int flags, XrMapWindow* window);
    int dispatch_held_press_alt(int x, int y, int flags, XrMapWindow* window);
    int dispatch_pointer_move(int x, int y, int flags, XrMapWindow* window);
    // True (the gesture may go on) when no handler is there to ask.
    int dispatch_can_tap_and_hold(int x, int y, XrMapWindow* window);
    int dispatch_tap_and_hold(XrMapWindow* window);

private:
    template <class... Args>
    int dispatch(int without_handler, XrMapWindow* window, int (XrWindowEventHandler::*operation)(Args...),
                 Args... args);

    XrPtrArray<XrMapWindow*> m_windows;
    XrArray<XrHandlerInfo> m_handlers;
    int m_depth = 0;
    int m_cursor = 0;
};
