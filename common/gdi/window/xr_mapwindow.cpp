// XrMapWindow: the start-up picture, the toolbar and its toggle button, and
// the accessors the application uses to rewire the window.
#include "common/bmloader/xr_bitmap.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/misc/xr_path_resolver.h"

void XrMapWindow::show_splash()
{
    set_fullscreen(true);
    const XrString path = XrPathResolver::resolve(XrString(L"?:/kestrova/images/splash.png"));
    set_splash(XrGDI::load_bitmap_file(path.c_str()));
}

void XrMapWindow::free_splash()
{
    delete m_splash;
    m_splash = nullptr;
}

void XrMapWindow::show_toolbar(bool show)
{
    if (m_toolbar == nullptr)
        return;
    if (show)
        gtk_widget_show(m_toolbar);
    else
        gtk_widget_hide(m_toolbar);
}

bool XrMapWindow::is_toggle_off() const
{
    return m_toggle == nullptr || !gtk_toggle_tool_button_get_active(m_toggle);
}

void XrMapWindow::set_toggle_off(bool off)
{
    if (m_toggle != nullptr)
        gtk_toggle_tool_button_set_active(m_toggle, off ? FALSE : TRUE);
}

void XrMapWindow::set_view(XrMapWindowView* view)
{
    m_view = view;
    if (view != nullptr)
        view->set_window(this);
}

void XrMapWindow::set_manager(XrMapWindowManager* manager)
{
    m_manager = manager;
    if (m_private_handler != nullptr)
        m_private_handler->set_manager(manager);
}

XrPoint XrMapWindow::get_map_origin() const
{
    if (m_drawing_area == nullptr)
        return XrPoint(0, 0);
    return XrPoint(m_drawing_area->allocation.x, m_drawing_area->allocation.y);
}
