#include "common/ui/dialog/xr_dialogimpl_maemo.h"

#include "common/ui/dialog/xr_maemocommon.h"

XrDialogImplMaemo::XrDialogImplMaemo(GtkWidget* widget) : m_controls(10)
{
    if (widget != nullptr) {
        m_widget = widget;
        m_external = true;
        return;
    }
    m_widget = gtk_dialog_new();
    m_response_handler = g_signal_connect(m_widget, "response", G_CALLBACK(&response), this);
}

XrDialogImplMaemo::~XrDialogImplMaemo()
{
    if (m_gone != nullptr)
        *m_gone = true;
    if (m_external) {
        for (int i = 0; i < m_controls.get_num_items(); ++i)
            delete m_controls.get_item(i);
    }
    if (m_response_handler != 0)
        g_signal_handler_disconnect(m_widget, m_response_handler);
    gtk_widget_destroy(m_widget);
}

void XrDialogImplMaemo::show(bool modal)
{
    XrDialogImpl::show(modal);
    if (!modal) {
        if (m_external)
            gtk_widget_show(m_widget);
        else
            gtk_widget_show_all(m_widget);
        return;
    }
    if (!m_external) {
        XrMaemoCommon::set_dialog_title(m_widget, m_title, true);
        gtk_widget_show_all(m_widget);
    } else {
        gtk_widget_show(m_widget);
    }
    bool gone = false;
    m_gone = &gone;
    m_running = true;
    gtk_dialog_run(GTK_DIALOG(m_widget));
    if (gone)
        return; // the dialog went away during the run
    m_running = false;
    m_gone = nullptr;
    if (m_external)
        get_dialog()->destroy();
}

void XrDialogImplMaemo::hide()
{
    gtk_widget_hide(m_widget);
}

void XrDialogImplMaemo::add_control(const int&, XrControlBase* control, bool)
{
    m_controls.append(control);
    if (!m_external && control != nullptr && control->get_control() != nullptr)
        gtk_box_pack_start(GTK_BOX(GTK_DIALOG(m_widget)->vbox), static_cast<GtkWidget*>(control->get_control()), TRUE,
                           TRUE, 0);
}

void XrDialogImplMaemo::add_command(int id, const XrString& text, const XrString&, XrCommand::CommandType, int)
{
    if (m_external)
        return;
    XrByteArray utf8(16, 16);
    XrMaemoCommon::to_utf8(text, utf8);
    gtk_dialog_add_button(GTK_DIALOG(m_widget), reinterpret_cast<const char*>(utf8.get_items()), id);
}

void XrDialogImplMaemo::response(GtkDialog*, gint id, gpointer impl)
{
    auto* self = static_cast<XrDialogImplMaemo*>(impl);
    if (self->get_handler() != nullptr)
        self->get_handler()->handle_command(id);
}
