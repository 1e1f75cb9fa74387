#include "common/ui/dialog/xr_busydlg_maemo.h"

#include "common/gdi/window/xr_mapwindow.h"
#include "common/ui/dialog/xr_maemocommon.h"
#include "platform/hildon/hildon.h"

GtkWidget* XrBusyDlgMaemo::s_current = nullptr;
const XrBusyDlgMaemo* XrBusyDlgMaemo::s_owner = nullptr;

namespace {

void process_pending_events()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

void set_progress_image(GtkWidget* dialog)
{
    GtkIconSize size = gtk_icon_size_from_name("gtk-menu");
    gint width = 16, height = 16;
    gtk_icon_size_lookup(size, &width, &height);
    GtkIconInfo* info = gtk_icon_theme_lookup_icon(gtk_icon_theme_get_default(), "qgn_indi_pball_a", width,
                                                   static_cast<GtkIconLookupFlags>(0));
    if (info == nullptr) {
        g_warning("icon theme lookup for icon failed!");
        return;
    }
    const gchar* file = gtk_icon_info_get_filename(info);
    if (file != nullptr)
        gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), gtk_image_new_from_file(file));
    gtk_icon_info_free(info);
}

} // namespace

XrBusyDlgMaemo::~XrBusyDlgMaemo()
{
    if (is_current())
        close_current();
}

XrBusyDlg* XrBusyDlgMaemo::create(const XrString&, const XrString& text, XrBusyDlgObserver* observer)
{
    XrBusyDlgMaemo* busy = new XrBusyDlgMaemo();
    busy->show(text, observer);
    return busy;
}

void XrBusyDlgMaemo::show(const XrString& text, XrBusyDlgObserver* observer)
{
    m_observer = observer;
    XrByteArray utf8(16, 16);
    XrMaemoCommon::to_utf8(text, utf8);
    const char* bytes = reinterpret_cast<const char*>(utf8.get_items());
    close_current();
    if (observer == nullptr) {
        s_current = hildon_banner_show_animation(nullptr, nullptr, bytes);
        s_owner = this;
        process_pending_events();
        return;
    }
    GtkWidget* parent = XrMapWindow::get_toplevel();
    s_current = gtk_message_dialog_new(parent != nullptr ? GTK_WINDOW(parent) : nullptr, GTK_DIALOG_MODAL,
                                       GTK_MESSAGE_INFO, GTK_BUTTONS_CANCEL, "%s", bytes);
    s_owner = this;
    set_progress_image(s_current);
    gtk_widget_show_all(s_current);
    g_signal_connect(s_current, "response", G_CALLBACK(response_callback), this);
}

void XrBusyDlgMaemo::set_text(const XrString& text)
{
    if (s_current == nullptr)
        return;
    XrByteArray utf8(16, 16);
    XrMaemoCommon::to_utf8(text, utf8);
    const char* bytes = reinterpret_cast<const char*>(utf8.get_items());
    // The kind of the widget on screen decides, not this object's observer:
    // another busy object may have replaced its message box by a banner.
    if (GTK_IS_MESSAGE_DIALOG(s_current)) {
        gchar* escaped = g_markup_escape_text(bytes, -1);
        gtk_message_dialog_set_markup(GTK_MESSAGE_DIALOG(s_current), escaped);
        g_free(escaped);
    } else {
        hildon_banner_set_text(s_current, bytes);
    }
}

void XrBusyDlgMaemo::close_current()
{
    if (s_current == nullptr)
        return;
    GtkWidget* widget = s_current;
    s_current = nullptr;
    s_owner = nullptr;
    gtk_widget_destroy(widget);
    process_pending_events();
}

void XrBusyDlgMaemo::response_callback(GtkDialog* dialog, gint response, XrBusyDlgMaemo* busy)
{
    // The observer may delete the busy object (which removes the box):
    // nothing of the object is read after the call.
    XrBusyDlgObserver* observer = busy->m_observer;
    if (response == GTK_RESPONSE_CANCEL && observer != nullptr)
        observer->cancelled();
    if (s_current == GTK_WIDGET(dialog)) {
        s_current = nullptr;
        s_owner = nullptr;
        gtk_widget_destroy(GTK_WIDGET(dialog));
    }
}
