// The interface of map-window event handlers. A window manager keeps them
// on a stack; each operation that a handler does not override passes the
// event on to the manager's next handler down the stack.
#pragma once

class XrMapWindow;
class XrMapWindowManager;
class XrWindowEventHandler;

// The next handler of the dispatch under way (XrMapWindowManager::next_handler),
// null when there is none. Defined with the window manager.
XrWindowEventHandler* xr_window_manager_next_handler(XrMapWindowManager* manager);

class XrWindowEventHandler {
public:
    explicit XrWindowEventHandler(int id = 0) : m_id(id) {}
    XrWindowEventHandler(const XrWindowEventHandler&) = delete;
    XrWindowEventHandler& operator=(const XrWindowEventHandler&) = delete;
    virtual ~XrWindowEventHandler() = default;

    virtual int get_id() { return m_id; }
    // Each returns the result of the handler that took the event; 0 when no
    // handler did.
    virtual int handle_key(int key, XrMapWindow* window);
    virtual int pointer_down(int x, int y, int button, XrMapWindow* window);
    virtual int pointer_up(int x, int y, int flags, XrMapWindow* window);
    virtual int pointer_event(int x, int y, int flags, XrMapWindow* window);
    virtual int pointer_up_alt(int x, int y, int flags, XrMapWindow* window);
    virtual int held_press(int x, int y, int flags, XrMapWindow* window);
    virtual int held_press_alt(int x, int y, int flags, XrMapWindow* window);
    virtual int pointer_move(int x, int y, int flags, XrMapWindow* window);
    virtual int can_tap_and_hold(int x, int y, XrMapWindow* window);
    virtual int tap_and_hold(XrMapWindow* window);

    // The manager that holds the handler: set when it is added, cleared when
    // it is popped.
    XrMapWindowManager* get_manager() const { return m_manager; }
    void set_manager(XrMapWindowManager* manager) { m_manager = manager; }

protected:
    int m_id;
    XrMapWindowManager* m_manager = nullptr;

private:
    // The same operation of the next handler, or 0 without one.
    template <class... Args>
    int pass_on(int (XrWindowEventHandler::*operation)(Args...), Args... args);
};
