#include "common/ui/dialog/xr_commondialogs.h"

#include "common/gdi/window/xr_mapwindow.h"
#include "common/misc/xr_msgids.h"
#include "common/ui/dialog/xr_maemocommon.h"
#include "platform/hildon/hildon.h"

namespace {

const char* bytes_of(const XrByteArray& utf8)
{
    return reinterpret_cast<const char*>(utf8.get_items());
}

GtkWindow* default_parent(GtkWindow* parent)
{
    if (parent != nullptr)
        return parent;
    GtkWidget* top = XrMapWindow::get_toplevel();
    return top != nullptr ? GTK_WINDOW(top) : nullptr;
}

void entry_changed(GtkEditable* editable, GtkDialog* dialog)
{
    const gchar* text = gtk_entry_get_text(GTK_ENTRY(editable));
    gtk_dialog_set_response_sensitive(dialog, GTK_RESPONSE_OK, text != nullptr && text[0] != 0);
}

} // namespace

int XrCommonDialogs::show_note(const XrString& message, const XrString* title, int, int buttons, GtkWindow* parent)
{
    parent = default_parent(parent);
    XrString text;
    if (title != nullptr) {
        text = *title;
        text += L"\n\n";
    }
    text += message;
    XrByteArray utf8(16, 16);
    XrMaemoCommon::to_utf8(text, utf8);

    GtkWidget* note;
    if (buttons == BUTTONS_YES_NO) {
        XrByteArray yes(16, 16), no(16, 16);
        XrMaemoCommon::text_to_utf8(R_STR_TRAFFIC_YES, yes);
        XrMaemoCommon::text_to_utf8(R_STR_TRAFFIC_NO, no);
        note = hildon_note_new_confirmation_add_buttons(parent, bytes_of(utf8), bytes_of(yes), GTK_RESPONSE_YES,
                                                        bytes_of(no), GTK_RESPONSE_NO, nullptr);
    } else {
        XrByteArray ok(16, 16);
        XrMaemoCommon::text_to_utf8(R_STR_DLG_OK, ok);
        note = hildon_note_new_information(parent, bytes_of(utf8));
        hildon_note_set_button_text(note, bytes_of(ok));
    }
    if (parent != nullptr)
        gtk_window_set_transient_for(GTK_WINDOW(note), parent);
    const int response = gtk_dialog_run(GTK_DIALOG(note));
    gtk_widget_destroy(note);
    return response;
}

void XrCommonDialogs::show_error_msg(const XrString& title, const XrString& message, GtkWindow* parent)
{
    show_note(message, &title, NOTE_ERROR, BUTTONS_OK, parent);
}

void XrCommonDialogs::show_info_msg(const XrString& title, const XrString& message, GtkWindow* parent)
{
    show_note(message, &title, NOTE_INFO, BUTTONS_OK, parent);
}

void XrCommonDialogs::show_msg(const XrString& message, GtkWindow* parent)
{
    show_note(message, nullptr, NOTE_INFO, BUTTONS_OK, parent);
}

bool XrCommonDialogs::show_query_msg(const XrString& title, const XrString& message, GtkWindow* parent)
{
    return show_note(message, &title, NOTE_QUERY, BUTTONS_YES_NO, parent) == GTK_RESPONSE_YES;
}

bool XrCommonDialogs::show_query_msg(const XrString& title, const XrString& message, GtkWindow* parent, int,
                                     const XrIcon&)
{
    return show_query_msg(title, message, parent);
}

bool XrCommonDialogs::show_number_dlg(const XrString& title, const XrString& message, int& value, int first,
                                      int last)
{
    if (first > last)
        return false;
    GtkWindow* parent = default_parent(nullptr);
    XrByteArray title_utf8(16, 16), message_utf8(16, 16), ok(16, 16), cancel(16, 16);
    XrMaemoCommon::to_utf8(title, title_utf8);
    XrMaemoCommon::to_utf8(message, message_utf8);
    XrMaemoCommon::text_to_utf8(R_STR_DLG_OK, ok);
    XrMaemoCommon::text_to_utf8(R_STR_DLG_CANCEL, cancel);
    GtkWidget* dialog = gtk_dialog_new_with_buttons(
        bytes_of(title_utf8), parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_NO_SEPARATOR),
        bytes_of(ok), GTK_RESPONSE_OK, bytes_of(cancel), GTK_RESPONSE_CANCEL, nullptr);
    if (parent != nullptr)
        gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
    GtkWidget* vbox = GTK_DIALOG(dialog)->vbox;
    if (!message.is_empty()) {
        GtkWidget* label = gtk_label_new(bytes_of(message_utf8));
        gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
        gtk_box_pack_start(GTK_BOX(vbox), label, FALSE, FALSE, 4);
    }
    // Only numbers of the range can be entered; the value starts inside it.
    GtkWidget* spin = gtk_spin_button_new_with_range(first, last, 1);
    gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(spin), TRUE);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), value < first ? first : value > last ? last : value);
    gtk_entry_set_activates_default(GTK_ENTRY(spin), TRUE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_box_pack_start(GTK_BOX(vbox), spin, FALSE, FALSE, 4);
    XrMaemoCommon::set_dialog_title(dialog, title, true);
    gtk_widget_show_all(vbox);

    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    if (response == GTK_RESPONSE_OK) {
        gtk_spin_button_update(GTK_SPIN_BUTTON(spin));
        value = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(spin));
    }
    gtk_widget_destroy(dialog);
    return response == GTK_RESPONSE_OK;
}

bool XrCommonDialogs::show_input_dlg(const XrString& title, const XrString& caption, XrString& text, int max_length,
                                     bool numeric, GtkWindow* parent)
{
    parent = default_parent(parent);
    XrByteArray title_utf8(16, 16), ok(16, 16), cancel(16, 16);
    XrMaemoCommon::to_utf8(title, title_utf8);
    XrMaemoCommon::text_to_utf8(R_STR_DLG_OK, ok);
    XrMaemoCommon::text_to_utf8(R_STR_DLG_CANCEL, cancel);
    GtkWidget* dialog = gtk_dialog_new_with_buttons(
        bytes_of(title_utf8), parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_NO_SEPARATOR),
        bytes_of(ok), GTK_RESPONSE_OK, bytes_of(cancel), GTK_RESPONSE_CANCEL, nullptr);
    if (parent != nullptr)
        gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);

    GtkWidget* entry = gtk_entry_new_with_max_length(max_length);
    gtk_entry_set_width_chars(GTK_ENTRY(entry), max_length);
    GtkWidget* vbox = GTK_DIALOG(dialog)->vbox;
    if (caption.is_empty()) {
        gtk_widget_show(entry);
        gtk_container_add(GTK_CONTAINER(vbox), entry);
    } else {
        XrByteArray caption_utf8(16, 16);
        XrMaemoCommon::to_utf8(caption, caption_utf8);
        GtkWidget* captioned =
            hildon_caption_new(nullptr, bytes_of(caption_utf8), entry, nullptr, HILDON_CAPTION_MANDATORY);
        gtk_container_add(GTK_CONTAINER(vbox), captioned);
        gtk_widget_show_all(captioned);
    }
    XrMaemoCommon::set_dialog_title(dialog, title, true);
    if (numeric)
        hildon_gtk_entry_set_input_mode(GTK_ENTRY(entry), HILDON_GTK_INPUT_MODE_NUMERIC);
    g_signal_connect(entry, "changed", G_CALLBACK(entry_changed), dialog);

    XrByteArray initial(16, 16);
    XrMaemoCommon::to_utf8(text, initial);
    gtk_entry_set_text(GTK_ENTRY(entry), bytes_of(initial));
    if (text.is_empty())
        gtk_dialog_set_response_sensitive(GTK_DIALOG(dialog), GTK_RESPONSE_OK, FALSE);

    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    if (response == GTK_RESPONSE_OK)
        text = XrMaemoCommon::from_utf8(gtk_entry_get_text(GTK_ENTRY(entry)));
    gtk_widget_destroy(dialog);
    return response == GTK_RESPONSE_OK;
}
