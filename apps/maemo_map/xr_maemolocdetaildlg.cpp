#include "apps/maemo_map/xr_maemolocdetaildlg.h"

#include "common/corvanel_core/interfaces/xr_locationdetailsprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/ui/dialog/xr_builders.h"
#include "common/ui/dialog/xr_maemocommon.h"

#include <gtk/gtk.h>

#include <string>

namespace {

std::wstring wide(const XrString& s) { return std::wstring(s.c_str()); }

std::string utf8(const XrString& s)
{
    XrByteArray bytes;
    XrMaemoCommon::to_utf8(s, bytes);
    return reinterpret_cast<const char*>(bytes.get_items());
}

// A frame title: the translated text in bold, escaped for the markup.
void set_bold_title(GtkWidget* dialog, const char* name, int text_id)
{
    XrString text;
    get_translated_text(text, text_id);
    gchar* escaped = g_markup_escape_text(utf8(text).c_str(), -1);
    gchar* markup = g_strdup_printf("<b>%s</b>", escaped);
    gtk_label_set_markup(GTK_LABEL(XrMaemoCommon::lookup_widget(dialog, name)), markup);
    g_free(markup);
    g_free(escaped);
}

} // namespace

XrString XrMaemoLocDetailDlg::address_text(XrLocationDetailsProvider* provider, const XrCoordinate& where)
{
    XrLocationDetails details;
    if (provider != nullptr && !provider->get_details(where, details))
        details = XrLocationDetails();
    const std::wstring text = wide(details.text) + L"\n" + wide(details.county_part1) + L"\n" +
                              wide(details.county_part2) + L"\n" + wide(details.country);
    return XrString(text.c_str());
}

void XrMaemoLocDetailDlg::run(const XrCoordinate& where, const XrString& details)
{
    GtkWidget* dialog = create_loc_detail_dlg();
    if (GtkWidget* top = XrMapWindow::get_toplevel())
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(top));
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);

    XrString title;
    get_translated_text(title, R_STR_LOCDETAILSDLG_DETAILS);
    XrMaemoCommon::set_dialog_title(dialog, title, true);
    set_bold_title(dialog, "location_title", R_STR_LOCDETAILSDLG_POSITION);
    set_bold_title(dialog, "address_title", R_STR_LOCDETAILSDLG_ADDRESS);

    XrString latitude, longitude;
    where.to_strings(latitude, longitude);
    XrMaemoCommon::set_label_text(dialog, "location_label",
                                  XrString((wide(latitude) + L"\n" + wide(longitude)).c_str()));
    static const XrMaemoCommon::ItemText texts[] = {
        {"close_button", R_STR_DLG_FW_CMD_CLOSE, XrMaemoCommon::BUTTON},
    };
    XrMaemoCommon::set_item_texts(dialog, texts, 1);
    if (details.length() > 0) {
        XrMaemoCommon::set_label_text(dialog, "item_details_text", details);
    } else {
        XrMaemoCommon::set_label_text(dialog, "item_details_text", XrString());
        gtk_widget_hide(XrMaemoCommon::lookup_widget(dialog, "detail_scroller"));
    }
    auto* provider = static_cast<XrLocationDetailsProvider*>(
        XrSingleton::get_instance(XrString(L"XrLocationDetailsProvider")));
    XrMaemoCommon::set_label_text(dialog, "address_label", address_text(provider, where));

    g_signal_connect(XrMaemoCommon::lookup_widget(dialog, "close_button"), "clicked",
                     G_CALLBACK(+[](GtkButton*, gpointer d) { gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_CLOSE); }),
                     dialog);
    g_printerr("details window shown\n");
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}
