#include "apps/maemo_map/xr_maemoupdatedlg.h"

#include "common/misc/xr_msgids.h"
#include "common/ui/dialog/xr_builders.h"
#include "common/ui/dialog/xr_maemocommon.h"

XrMaemoUpdateDlg::XrMaemoUpdateDlg(const XrString& title, const XrString& installed_tab,
                                   const XrString& available_tab)
{
    dialog = XrMaemoCommon::create_modal_dialog(create_update_dlg, nullptr);
    XrMaemoCommon::set_dialog_title(dialog, title, true);
    XrMaemoCommon::set_label_text(dialog, "installed_label", installed_tab);
    XrMaemoCommon::set_label_text(dialog, "available_label", available_tab);
}

void XrMaemoUpdateDlg::create_buttons()
{
    struct Button {
        const char* name;
        GCallback handler;
    };
    const Button buttons[] = {
        {"remove", G_CALLBACK(on_remove)},
        {"download", G_CALLBACK(on_download)},
        {"update", G_CALLBACK(on_update)},
        {"close", G_CALLBACK(on_close)},
    };
    GtkWidget* area = GTK_DIALOG(dialog)->action_area;
    for (const Button& b : buttons) {
        GtkWidget* button = gtk_button_new_with_label(b.name);
        gtk_widget_show(button);
        g_object_set_data_full(G_OBJECT(dialog), b.name, gtk_widget_ref(button),
                               reinterpret_cast<GDestroyNotify>(gtk_widget_unref));
        gtk_container_add(GTK_CONTAINER(area), button);
        g_signal_connect(button, "clicked", b.handler, this);
    }
}

void XrMaemoUpdateDlg::show()
{
    create_buttons();
    init_pages();
    const XrMaemoCommon::ItemText texts[] = {
        {"remove", R_STR_REMOVE, XrMaemoCommon::BUTTON},
        {"download", R_STR_DOWNLOAD, XrMaemoCommon::BUTTON},
        {"close", R_STR_DLG_OK, XrMaemoCommon::BUTTON},
        {"update", R_STR_REFRESH_LIST, XrMaemoCommon::BUTTON},
    };
    XrMaemoCommon::set_item_texts(dialog, texts, 4);
    g_signal_connect(XrMaemoCommon::lookup_widget(dialog, "notebook"), "switch-page", G_CALLBACK(on_switch_page),
                     this);
    set_page(0);
    gtk_dialog_run(GTK_DIALOG(dialog));
    run_ended();
    gtk_widget_destroy(dialog);
    dialog = nullptr;
    delete this;
}

void XrMaemoUpdateDlg::set_busy(bool value)
{
    busy = value;
    update_buttons();
}

void XrMaemoUpdateDlg::close()
{
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CLOSE);
}

void XrMaemoUpdateDlg::set_page(int p)
{
    page = p;
    update_buttons();
}

void XrMaemoUpdateDlg::update_buttons()
{
    if (dialog == nullptr)
        return;
    XrMaemoCommon::set_widget_sensitive(dialog, "remove", !busy && page == 0);
    XrMaemoCommon::set_widget_sensitive(dialog, "close", !busy);
    XrMaemoCommon::set_widget_sensitive(dialog, "update", !busy && page == 1);
}

void XrMaemoUpdateDlg::on_remove(GtkButton*, gpointer self)
{
    static_cast<XrMaemoUpdateDlg*>(self)->remove_selected();
}

void XrMaemoUpdateDlg::on_download(GtkButton*, gpointer self)
{
    auto* dlg = static_cast<XrMaemoUpdateDlg*>(self);
    dlg->set_busy(true);
    dlg->download_selected();
}

void XrMaemoUpdateDlg::on_update(GtkButton*, gpointer self)
{
    auto* dlg = static_cast<XrMaemoUpdateDlg*>(self);
    dlg->set_busy(true);
    dlg->refresh_list();
}

void XrMaemoUpdateDlg::on_close(GtkButton* button, gpointer self)
{
    gtk_widget_set_sensitive(GTK_WIDGET(button), TRUE);
    static_cast<XrMaemoUpdateDlg*>(self)->close();
}

void XrMaemoUpdateDlg::on_switch_page(GtkNotebook*, gpointer, guint p, gpointer self)
{
    static_cast<XrMaemoUpdateDlg*>(self)->set_page(int(p));
}
