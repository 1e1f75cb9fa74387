#include "common/ui/dialog/xr_listdlg.h"

#include "common/gdi/window/xr_mapwindow.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/ui/dialog/xr_builders.h"
#include "common/ui/dialog/xr_dialogimpl_maemo.h"
#include "common/ui/dialog/xr_maemocommon.h"
#include "common/ui/layout/xr_borderlayout.h"

#include <cstdlib>

namespace {

XrString text_of(int id)
{
    XrString text;
    get_translated_text(text, id);
    return text;
}

} // namespace

XrListDlg::XrListDlg(const XrString& title, XrArray<XrListDlgItem>& items, int default_icon_id,
                     XrListDlgListener* listener)
    : m_title(title), m_items(&items), m_default_icon_id(default_icon_id), m_listener(listener)
{
}

XrListDlg::~XrListDlg()
{
    if (m_listener != nullptr)
        m_listener->item_chosen(m_chosen);
}

void XrListDlg::create_controls()
{
    set_title(m_title);
    add_page(0, XrString(), -1);
    set_bitmap(DIALOG_BITMAP_ID);
    set_page_mode(0);
    add_standard_commands();

    m_list = new XrContextualListCtrl<void*>(XrSimpleListCtrl::STYLE_TWO_LINES);
    m_list->construct();
    m_list->set_display_flag(false);
    m_list->set_background(XrBitmap(DIALOG_BITMAP_ID, false));
    m_list->set_background_alpha(XrBitmap(DIALOG_BITMAP_ALPHA_ID, false));
    m_list->add_listener(this);
    add_control(0, m_list, true);
}

void XrListDlg::handle_layout_change(const XrRectangle& rect)
{
    XrBorderLayout layout;
    layout.add_control(m_list, XrBorderLayout::CENTER);
    layout.layout_controls(rect);
}

void XrListDlg::handle_command(int id)
{
    if (id == CMD_CLOSE) {
        if (m_list != nullptr)
            m_list->select_active_item();
        return;
    }
    XrCorvanelDialog::handle_command(id);
}

void XrListDlg::item_selected(XrListItem&, int index)
{
    m_chosen = index;
    hide();
}

XrListDlgMaemo::XrListDlgMaemo(const XrString& title, XrArray<XrListDlgItem>& items, int default_icon_id,
                               XrListDlgListener* listener)
    : XrListDlg(title, items, default_icon_id, listener)
{
}

XrListDlgMaemo::~XrListDlgMaemo()
{
    release_impl();
    m_widget = nullptr;
}

void XrListDlgMaemo::construct()
{
    m_widget = create_list_dlg();
    if (GtkWidget* top = XrMapWindow::get_toplevel())
        gtk_window_set_transient_for(GTK_WINDOW(m_widget), GTK_WINDOW(top));
    gtk_window_set_modal(GTK_WINDOW(m_widget), TRUE);
    gtk_window_set_destroy_with_parent(GTK_WINDOW(m_widget), FALSE);
    XrDialogBase::construct(m_widget);
}

void XrListDlgMaemo::start(const int& mode, bool modal)
{
    set_display_mode(mode);
    show(modal);
}

void XrListDlgMaemo::open(const int& mode, bool modal)
{
    construct();
    start(mode, modal);
}

void XrListDlgMaemo::create_controls()
{
    XrListDlg::create_controls();
    XrMaemoCommon::set_button_label(m_widget, "ok_button", text_of(R_STR_DLG_OK));
    XrMaemoCommon::set_button_label(m_widget, "cancel_button", text_of(R_STR_DLG_CANCEL));
    XrMaemoCommon::set_dialog_title(m_widget, m_title, true);
    g_signal_connect(m_widget, "response", G_CALLBACK(&response), this);

    GtkWidget* view = XrMaemoCommon::lookup_widget(m_widget, "base_list");
    const int count = m_items->get_num_items();
    const bool choosable = count > 1 || (count == 1 && m_items->get_items()[0].icon_index != UNCHOOSABLE_ICON_INDEX);
    if (choosable)
        g_signal_connect(view, "row-activated", G_CALLBACK(&row_activated), this);
    else
        XrMaemoCommon::set_widget_sensitive(m_widget, "ok_button", false);

    XrContextualListWidgets widgets;
    widgets.tree_view = view;
    m_list->set_native_control(&widgets);
    XrMaemoCommon::set_thumb_scrollbar(m_widget, "scrolledwindow");

    // The list control owns the rows: each item is added once, through it.
    for (int i = 0; i < count; ++i) {
        const XrListDlgItem& item = m_items->get_items()[i];
        const int icon_id = item.icon_id < 0 ? m_default_icon_id : item.icon_id;
        m_list->add_item(item.text, item.detail_text, nullptr, item.icon_index, icon_id);
    }
    if (count == 0) {
        m_list->add_item(text_of(R_STR_LIST_NO_CONTACTS), XrString(), nullptr, -1, -1);
        gtk_widget_set_sensitive(view, FALSE);
    }
}

void XrListDlgMaemo::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (XrMapWindow* window = XrMapWindow::get_instance())
        window->set_busy(false);
    auto* impl = static_cast<XrDialogImplMaemo*>(get_impl());
    if (impl != nullptr && impl->is_running()) {
        // The modal run ends with this response and then destroys the
        // dialog: it has one owner.
        gtk_widget_hide(m_widget);
        return;
    }
    destroy();
}

void XrListDlgMaemo::response(GtkDialog*, gint id, gpointer dialog_object)
{
    auto* self = static_cast<XrListDlgMaemo*>(dialog_object);
    if (self->m_finished)
        return;
    self->m_chosen = id == GTK_RESPONSE_OK ? self->m_list->get_selected_index() : -1;
    self->finish();
}

void XrListDlgMaemo::row_activated(GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, gpointer dialog_object)
{
    auto* self = static_cast<XrListDlgMaemo*>(dialog_object);
    if (self->m_finished)
        return;
    gchar* text = gtk_tree_path_to_string(path);
    self->m_chosen = std::atoi(text);
    g_free(text);
    self->finish();
}
