#include "common/ui/dialog/xr_dialogbase.h"

#include "common/ui/dialog/xr_dialogimpl_maemo.h"
#include "common/ui/dialog/xr_dialogmanager.h"

XrDialogBase::~XrDialogBase()
{
    release_impl();
}

void XrDialogBase::release_impl()
{
    XrDialogImpl* impl = m_impl;
    m_impl = nullptr;
    delete impl;
}

int XrDialogBase::get_active_page()
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    return m_impl->get_active_page();
}

void XrDialogBase::set_active_page(int page)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_active_page(page);
}

void XrDialogBase::set_command_disabled(int id, bool disabled)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_command_disabled(id, disabled);
}

void XrDialogBase::set_command_available(int id, bool available)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_command_available(id, available);
}

void XrDialogBase::handle_hotkey()
{
    XR_ASSERT(false);
}

void XrDialogBase::construct(void* widget)
{
    XR_ASSERT_MSG(m_impl == nullptr, "dialog_impl == 0");
    auto* impl = new XrDialogImplMaemo(static_cast<GtkWidget*>(widget));
    impl->set_handler(this);
    impl->set_dialog(this);
    m_impl = impl;
    XR_ASSERT_MSG(m_impl != nullptr, "dialog_impl_maemo != 0");
}

void XrDialogBase::set_display_mode(const int& mode)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_display_mode(mode);
}

void XrDialogBase::show(bool modal)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    create_controls();
    if (XrDialogManager* manager = XrDialogManager::get_instance()) {
        manager->register_dialog(this);
        manager->notify_dialog_shown(this);
    }
    m_impl->show(modal);
}

void XrDialogBase::destroy()
{
    if (XrDialogManager* manager = XrDialogManager::get_instance()) {
        manager->unregister_dialog(this);
        manager->notify_dialog_closed();
    }
    delete this;
}

void XrDialogBase::hide()
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->hide();
}

void XrDialogBase::set_title(const XrString& title)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_title(title);
}

void XrDialogBase::set_icon(int bitmap_id)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_icon(bitmap_id);
}

void XrDialogBase::set_focused_control(void** native)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_focused_control(native);
}

void XrDialogBase::set_focused_control(XrControlBase* control)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    if (control != nullptr) {
        XR_ASSERT(control->get_control());
        m_impl->set_focused_control(control->get_control());
    } else {
        m_impl->set_focused_control(nullptr);
    }
}

void XrDialogBase::add_control(const int& page, XrControlBase* control, bool owned)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->add_control(page, control, owned);
}

void XrDialogBase::add_page(int page, const XrString& title, int bitmap_id)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->add_page(page, title, bitmap_id);
}

void XrDialogBase::set_bitmap(int bitmap_id)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_bitmap(bitmap_id);
}

void XrDialogBase::set_page_mode(int mode)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_page_mode(mode);
}

void XrDialogBase::set_draw_focus_rect(bool draw)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_draw_focus_rect(draw);
}

void XrDialogBase::relayout()
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->relayout();
}

void XrDialogBase::redraw()
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->redraw();
}

void XrDialogBase::set_scrolling_enabled(bool enabled)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_scrolling_enabled(enabled);
}

void XrDialogBase::add_command_group(int index, const XrString& name)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->add_command_group(index, name);
}

void XrDialogBase::set_command_group_name(int index, const XrString& name)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_command_group_name(index, name);
}

void XrDialogBase::add_command(int id, const XrString& text, const XrString& secondary, XrCommand::CommandType type,
                               int parameter)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->add_command(id, text, secondary, type, parameter);
}

void XrDialogBase::add_command(int id, const XrString& text, XrCommand::CommandType type, int parameter)
{
    add_command(id, text, XrString(), type, parameter);
}

void XrDialogBase::add_command(const XrCommand& command)
{
    add_command(command.get_id(), command.get_text(), command.get_secondary_text(), command.get_type(),
                command.get_parameter());
}

void XrDialogBase::add_close_command(int id, XrCommand::CommandType type)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->add_close_command(id, type);
}

void XrDialogBase::remove_command(int id)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->remove_command(id);
}

void XrDialogBase::set_command_text(int id, const XrString& text, const XrString& secondary)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_command_text(id, text, secondary);
}

void XrDialogBase::set_default_command(int id)
{
    XR_ASSERT_MSG(m_impl, "dialog_impl");
    m_impl->set_default_command(id);
}
