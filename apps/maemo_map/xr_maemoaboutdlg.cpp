#include "apps/maemo_map/xr_maemoaboutdlg.h"

#include "apps/apps_common/xr_versioninfo.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/ui/dialog/xr_builders.h"
#include "common/ui/dialog/xr_commondialogs.h"
#include "common/ui/dialog/xr_maemocommon.h"

#include <cstdio>
#include <string>

namespace {

XrString text_of(int id)
{
    XrString out;
    get_translated_text(out, id);
    return out;
}

std::wstring wide(const XrString& s) { return std::wstring(s.c_str()); }

} // namespace

XrString XrMaemoAboutDlg::first_line(const XrString& text)
{
    const std::wstring t = wide(text);
    return XrString(t.substr(0, t.find_first_of(L"\r\n")).c_str());
}

XrString XrMaemoAboutDlg::version_note_text()
{
    XrString title, version, build, full_version;
    read_app_version_info(title, version, build, full_version);
    XrString map_name, map_file_version, year, map_version, vendor;
    read_map_version_info(map_name, map_file_version, year, map_version, vendor);
    const std::wstring text = std::wstring(L"Map") + L"          \nApp v." + wide(first_line(full_version)) +
                              L"\nMap v." + wide(first_line(map_file_version)) + L"\n" +
                              wide(first_line(map_version));
    return XrString(text.c_str());
}

void XrMaemoAboutDlg::run(XrNaviApp* application)
{
    app = application;
    dialog = create_about_dlg();
    gtk_dialog_set_has_separator(GTK_DIALOG(dialog), FALSE);
    if (GtkWidget* top = XrMapWindow::get_toplevel())
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(top));
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);

    XrString title, version, build, full_version;
    read_app_version_info(title, version, build, full_version);
    XrMaemoCommon::set_label_text(dialog, "application_label",
                                  XrString((wide(title) + L" " + wide(first_line(full_version))).c_str()));
    XrString map_name, map_file_version, year, map_version, vendor;
    read_map_version_info(map_name, map_file_version, year, map_version, vendor);
    std::wstring notice = wide(map_name);
    if (map_file_version.length() > 0)
        notice += L" " + wide(map_file_version);
    if (vendor.length() > 0 || year.length() > 0)
        notice += L"\n\u00a9 " + wide(year) + (year.length() > 0 && vendor.length() > 0 ? L" " : L"") + wide(vendor);
    // The builder stores the notice label under no name: it follows the
    // application label in the same box.
    GtkWidget* box = gtk_widget_get_parent(XrMaemoCommon::lookup_widget(dialog, "application_label"));
    GList* children = gtk_container_get_children(GTK_CONTAINER(box));
    for (GList* c = children; c != nullptr; c = c->next) {
        GtkWidget* w = GTK_WIDGET(c->data);
        if (GTK_IS_LABEL(w) && w != XrMaemoCommon::lookup_widget(dialog, "application_label")) {
            XrByteArray utf8;
            XrMaemoCommon::to_utf8(XrString(notice.c_str()), utf8);
            gtk_label_set_text(GTK_LABEL(w), reinterpret_cast<const char*>(utf8.get_items()));
            gtk_label_set_justify(GTK_LABEL(w), GTK_JUSTIFY_CENTER);
            break;
        }
    }
    g_list_free(children);

    static const XrMaemoCommon::ItemText texts[] = {
        {"version_button", R_STR_ABOUT_DLG_VERSION, XrMaemoCommon::BUTTON},
        {"close_button", R_STR_DLG_FW_CMD_CLOSE, XrMaemoCommon::BUTTON},
    };
    XrMaemoCommon::set_item_texts(dialog, texts, 2);
    XrMaemoCommon::set_window_title(dialog, text_of(R_STR_ABOUT_DLG_TITLE));
    g_signal_connect(XrMaemoCommon::lookup_widget(dialog, "version_button"), "clicked", G_CALLBACK(on_version_clicked),
                     this);
    g_signal_connect(XrMaemoCommon::lookup_widget(dialog, "close_button"), "clicked", G_CALLBACK(on_close_clicked),
                     this);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    dialog = nullptr;
}

void XrMaemoAboutDlg::on_version_clicked(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrMaemoAboutDlg*>(data);
    XrCommonDialogs::show_info_msg(text_of(R_STR_ABOUT_DLG_VERSION), version_note_text(), GTK_WINDOW(self->dialog));
}

void XrMaemoAboutDlg::on_close_clicked(GtkButton*, gpointer data)
{
    auto* self = static_cast<XrMaemoAboutDlg*>(data);
    gtk_dialog_response(GTK_DIALOG(self->dialog), GTK_RESPONSE_CLOSE);
}
