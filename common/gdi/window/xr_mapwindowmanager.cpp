#include "common/gdi/window/xr_mapwindowmanager.h"

#include "common/gdi/window/xr_mapwindow.h"

XrWindowEventHandler* xr_window_manager_next_handler(XrMapWindowManager* manager)
{
    return manager != nullptr ? manager->next_handler() : nullptr;
}

XrMapWindowManager::XrMapWindowManager() : m_windows(5), m_handlers(5, 0) {}

XrMapWindowManager::~XrMapWindowManager()
{
    for (int i = 0; i < m_depth; ++i) {
        XrHandlerInfo* info = m_handlers.get_item_ptr(i);
        if (info->active != 0)
            delete info->handler;
    }
}

void XrMapWindowManager::add_handler(XrWindowEventHandler* handler)
{
    const XrHandlerInfo info = {1, handler};
    if (m_depth == m_handlers.get_num_items())
        m_handlers.append(info);
    else
        *m_handlers.get_item_ptr(m_depth) = info;
    ++m_depth;
    if (handler != nullptr)
        handler->set_manager(this);
}

XrWindowEventHandler* XrMapWindowManager::pop_handler()
{
    if (m_depth == 0)
        return nullptr;
    --m_depth;
    XrWindowEventHandler* handler = m_handlers.get_item_ptr(m_depth)->handler;
    if (handler != nullptr)
        handler->set_manager(nullptr);
    return handler;
}

XrWindowEventHandler* XrMapWindowManager::top_handler() const
{
    return m_depth > 0 ? m_handlers.get_item_ptr(m_depth - 1)->handler : nullptr;
}

void XrMapWindowManager::add_window(XrMapWindow* window)
{
    for (int i = 0; i < m_windows.get_num_items(); ++i)
        if (m_windows.get_item(i) == window)
            return;
    m_windows.append(window);
}

void XrMapWindowManager::remove_window(XrMapWindow* window)
{
    m_windows.remove(window);
}

void XrMapWindowManager::redraw_all()
{
    for (int i = 0; i < m_windows.get_num_items(); ++i)
        m_windows.get_item(i)->redraw(false, false, -1, -1);
}

XrWindowEventHandler* XrMapWindowManager::begin_dispatch(XrMapWindow* window)
{
    m_cursor = m_depth;
    if (window != nullptr && window->get_private_handler() != nullptr)
        return window->get_private_handler();
    if (m_depth == 0)
        return nullptr;
    m_cursor = m_depth - 1;
    return m_handlers.get_item_ptr(m_cursor)->handler;
}

XrWindowEventHandler* XrMapWindowManager::next_handler()
{
    --m_cursor;
    if (m_cursor < 0 || m_cursor >= m_depth)
        return nullptr;
    return m_handlers.get_item_ptr(m_cursor)->handler;
}

template <class... Args>
int XrMapWindowManager::dispatch(int without_handler, XrMapWindow* window,
                                 int (XrWindowEventHandler::*operation)(Args...), Args... args)
{
    XrWindowEventHandler* handler = begin_dispatch(window);
    return handler != nullptr ? (handler->*operation)(args...) : without_handler;
}

int XrMapWindowManager::dispatch_key(int key, XrMapWindow* window)
{
    return dispatch(0, window, &XrWindowEventHandler::handle_key, key, window);
}

int XrMapWindowManager::dispatch_pointer_down(int x, int y, int button, XrMapWindow* window)
{
    return dispatch(0, window, &XrWindowEventHandler::pointer_down, x, y, button, window);
}

int XrMapWindowManager::dispatch_pointer_up(int x, int y, int flags, XrMapWindow* window)
{
    return dispatch(0, window, &XrWindowEventHandler::pointer_up, x, y, flags, window);
}

int XrMapWindowManager::dispatch_pointer_event(int x, int y, int flags, XrMapWindow* window)
{
    return dispatch(0, window, &XrWindowEventHandler::pointer_event, x, y, flags, window);
}

int XrMapWindowManager::dispatch_pointer_up_alt(int x, int y, int flags, XrMapWindow* window)
{
    return dispatch(0, window, &XrWindowEventHandler::pointer_up_alt, x, y, flags, window);
}

int XrMapWindowManager::dispatch_held_press(int x, int y, int flags, XrMapWindow* window)
{
    return dispatch(0, window, &XrWindowEventHandler::held_press, x, y, flags, window);
}

int XrMapWindowManager::dispatch_held_press_alt(int x, int y, int flags, XrMapWindow* window)
{
    return dispatch(0, window, &XrWindowEventHandler::held_press_alt, x, y, flags, window);
}

int XrMapWindowManager::dispatch_pointer_move(int x, int y, int flags, XrMapWindow* window)
{
    return dispatch(0, window, &XrWindowEventHandler::pointer_move, x, y, flags, window);
}

int XrMapWindowManager::dispatch_can_tap_and_hold(int x, int y, XrMapWindow* window)
{
    return dispatch(1, window, &XrWindowEventHandler::can_tap_and_hold, x, y, window);
}

int XrMapWindowManager::dispatch_tap_and_hold(XrMapWindow* window)
{
    return dispatch(0, window, &XrWindowEventHandler::tap_and_hold, window);
}
