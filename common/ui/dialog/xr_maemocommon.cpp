#include "common/ui/dialog/xr_maemocommon.h"

#include "common/container/xr_defs.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/misc/xr_msgtable.h"
#include "common/misc/xr_utf8.h"
#include "common/ui/controls/xr_command.h"
#include "platform/hildon/hildon.h"

#include <cstdarg>
#include <cstdio>

namespace {

const char* bytes_of(const XrByteArray& utf8)
{
    return reinterpret_cast<const char*>(utf8.get_items());
}

} // namespace

GtkWidget* XrMaemoCommon::lookup_widget(GtkWidget* window, const char* name)
{
    GtkWidget* widget = window != nullptr && name != nullptr
                            ? static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(window), name))
                            : nullptr;
    if (widget == nullptr) {
        std::fprintf(stderr, "`%s' widget not found\n", name != nullptr ? name : "(null)");
        XR_ASSERT(false);
    }
    return widget;
}

void XrMaemoCommon::to_utf8(const XrString& text, XrByteArray& out)
{
    XrUTF8::encode_utf8(text.c_str(), text.length(), out);
    out.append_byte(0);
}

void XrMaemoCommon::text_to_utf8(int text_id, XrByteArray& out)
{
    XrString text;
    get_translated_text(text, text_id);
    to_utf8(text, out);
}

XrString XrMaemoCommon::from_utf8(const char* text)
{
    XrString out;
    if (text == nullptr)
        return out;
    // GTK hands out valid UTF-8; characters beyond 16 bits, which the text
    // tables cannot hold, become the replacement character instead of
    // cutting the text there.
    glong count = 0;
    gunichar* chars = g_utf8_to_ucs4_fast(text, -1, &count);
    for (glong i = 0; i < count; ++i)
        if (chars[i] > 0xFFFF)
            chars[i] = XrUTF8::replacement_char;
    static_assert(sizeof(gunichar) == sizeof(wchar_t));
    out.assign(reinterpret_cast<const wchar_t*>(chars), static_cast<int>(count));
    g_free(chars);
    return out;
}

void XrMaemoCommon::set_item_texts(GtkWidget* window, const ItemText* rows, int count)
{
    for (int i = 0; i < count; ++i) {
        GtkWidget* widget = lookup_widget(window, rows[i].name);
        XrByteArray utf8(16, 16);
        text_to_utf8(rows[i].text_id, utf8);
        if (rows[i].kind == LABEL)
            gtk_label_set_text(GTK_LABEL(widget), bytes_of(utf8));
        else if (rows[i].kind == BUTTON)
            gtk_button_set_label(GTK_BUTTON(widget), bytes_of(utf8));
        else
            XR_ASSERT(false);
    }
}

void XrMaemoCommon::set_dialog_title(GtkWidget* window, const XrString& title, bool fixed_size)
{
    set_window_title(window, title);
    if (!fixed_size || XrMapWindow::is_fullscreen())
        return;
    GdkGeometry hints{};
    hints.min_width = FIXED_WIDTH;
    hints.min_height = 0;
    hints.max_width = FIXED_WIDTH;
    hints.max_height = FIXED_MAX_HEIGHT;
    gtk_window_set_geometry_hints(GTK_WINDOW(window), nullptr, &hints,
                                  static_cast<GdkWindowHints>(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE));
}

GtkWidget* XrMaemoCommon::create_modal_dialog(Builder builder, GtkWidget* parent)
{
    GtkWidget* window = builder();
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    if (parent == nullptr)
        parent = XrMapWindow::get_toplevel();
    if (parent != nullptr)
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(parent));
    return window;
}

void XrMaemoCommon::combo_append_texts(GtkWidget* window, const char* name, int first, ...)
{
    GtkWidget* combo = lookup_widget(window, name);
    va_list args;
    va_start(args, first);
    for (int id = first; id != 0; id = va_arg(args, int)) {
        XrByteArray utf8(16, 16);
        text_to_utf8(id, utf8);
        gtk_combo_box_append_text(GTK_COMBO_BOX(combo), bytes_of(utf8));
    }
    va_end(args);
}

GtkWidget* XrMaemoCommon::add_command_button(GtkWidget* dialog, const XrCommandBase& command)
{
    XrByteArray utf8(16, 16);
    to_utf8(command.get_text(), utf8);
    return gtk_dialog_add_button(GTK_DIALOG(dialog), bytes_of(utf8), command.get_id());
}

void XrMaemoCommon::set_toggle_active(GtkWidget* window, const char* name, bool active)
{
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(lookup_widget(window, name)), active);
}

bool XrMaemoCommon::get_toggle_active(GtkWidget* window, const char* name)
{
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(lookup_widget(window, name)));
}

void XrMaemoCommon::set_combo_active(GtkWidget* window, const char* name, int index)
{
    gtk_combo_box_set_active(GTK_COMBO_BOX(lookup_widget(window, name)), index);
}

int XrMaemoCommon::get_combo_active(GtkWidget* window, const char* name)
{
    return gtk_combo_box_get_active(GTK_COMBO_BOX(lookup_widget(window, name)));
}

void XrMaemoCommon::combo_append_text(GtkWidget* window, const char* name, const XrString& text)
{
    GtkWidget* combo = lookup_widget(window, name);
    XrByteArray utf8(16, 16);
    to_utf8(text, utf8);
    gtk_combo_box_append_text(GTK_COMBO_BOX(combo), bytes_of(utf8));
}

void XrMaemoCommon::set_widget_sensitive(GtkWidget* window, const char* name, bool sensitive)
{
    gtk_widget_set_sensitive(lookup_widget(window, name), sensitive);
}

void XrMaemoCommon::set_button_label(GtkWidget* window, const char* name, const XrString& text)
{
    GtkWidget* button = lookup_widget(window, name);
    XrByteArray utf8(16, 16);
    to_utf8(text, utf8);
    gtk_button_set_label(GTK_BUTTON(button), bytes_of(utf8));
}

void XrMaemoCommon::set_label_text(GtkWidget* window, const char* name, const XrString& text)
{
    GtkWidget* label = lookup_widget(window, name);
    XrByteArray utf8(16, 16);
    to_utf8(text, utf8);
    gtk_label_set_text(GTK_LABEL(label), bytes_of(utf8));
}

void XrMaemoCommon::set_window_title(GtkWidget* window, const XrString& title)
{
    XrByteArray utf8(16, 16);
    to_utf8(title, utf8);
    gtk_window_set_title(GTK_WINDOW(window), bytes_of(utf8));
}

XrString XrMaemoCommon::get_entry_text(GtkWidget* window, const char* name)
{
    return from_utf8(gtk_entry_get_text(GTK_ENTRY(lookup_widget(window, name))));
}

void XrMaemoCommon::set_entry_text(GtkWidget* window, const char* name, const wchar_t* text)
{
    GtkWidget* entry = lookup_widget(window, name);
    XrByteArray utf8(16, 16);
    to_utf8(XrString(text), utf8);
    gtk_entry_set_text(GTK_ENTRY(entry), bytes_of(utf8));
}

void XrMaemoCommon::list_store_append_text(GtkListStore* store, const XrString& text)
{
    GtkTreeIter iter;
    XrByteArray utf8(16, 16);
    to_utf8(text, utf8);
    gtk_list_store_append(store, &iter);
    gtk_list_store_set(store, &iter, 0, bytes_of(utf8), -1);
}

void XrMaemoCommon::set_numeric_input(GtkWidget* window, const char* name)
{
    hildon_gtk_entry_set_input_mode(GTK_ENTRY(lookup_widget(window, name)), HILDON_GTK_INPUT_MODE_NUMERIC);
}

void XrMaemoCommon::set_thumb_scrollbar(GtkWidget* window, const char* name)
{
    hildon_helper_set_thumb_scrollbar(lookup_widget(window, name), TRUE);
}
