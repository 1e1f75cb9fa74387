// Widget helpers of every GTK dialog. The builders store each widget on the
// dialog's top-level window under its name (g_object_set_data); dialogs look
// widgets up by name whenever they need them. Texts go to GTK as UTF-8.
//
// A name that the window does not hold is a programming error: it is
// reported ("`name' widget not found") and the process ends.
#pragma once

#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"

#include <gtk/gtk.h>

class XrCommandBase;

class XrMaemoCommon {
public:
    // One row of a table labelling a dialog's widgets.
    struct ItemText {
        const char* name;
        int text_id;
        int kind; // LABEL or BUTTON
    };
    enum ItemKind { LABEL = 0, BUTTON = 1 };

    typedef GtkWidget* (*Builder)();

    XrMaemoCommon() = delete;

    static GtkWidget* lookup_widget(GtkWidget* window, const char* name);
    // Sets the translated text of each row on its widget.
    static void set_item_texts(GtkWidget* window, const ItemText* rows, int count);
    // The title; with fixed_size, while the map window is not full screen,
    // the window is held at 660 pixels wide and at most 394 high.
    static void set_dialog_title(GtkWidget* window, const XrString& title, bool fixed_size);
    // Builds a window, makes it modal and transient for parent (null: the
    // map window's top level).
    static GtkWidget* create_modal_dialog(Builder builder, GtkWidget* parent);
    // Appends the translated texts of the ids, from first on up to a closing
    // 0, to the named text combo box.
    static void combo_append_texts(GtkWidget* window, const char* name, int first, ...);
    // Adds a button for the command: the command's identifier is its
    // response identifier, the command's text its label.
    static GtkWidget* add_command_button(GtkWidget* dialog, const XrCommandBase& command);

    // UTF-8 with a closing NUL byte.
    static void to_utf8(const XrString& text, XrByteArray& out);
    // The translated text of an id (empty for an unknown one) as UTF-8.
    static void text_to_utf8(int text_id, XrByteArray& out);

    static void set_toggle_active(GtkWidget* window, const char* name, bool active);
    static bool get_toggle_active(GtkWidget* window, const char* name);
    // -1 clears the selection.
    static void set_combo_active(GtkWidget* window, const char* name, int index);
    // -1 when nothing is selected.
    static int get_combo_active(GtkWidget* window, const char* name);
    static void combo_append_text(GtkWidget* window, const char* name, const XrString& text);
    static void set_widget_sensitive(GtkWidget* window, const char* name, bool sensitive);
    static void set_button_label(GtkWidget* window, const char* name, const XrString& text);
    static void set_label_text(GtkWidget* window, const char* name, const XrString& text);
    static void set_window_title(GtkWidget* window, const XrString& title);
    static XrString get_entry_text(GtkWidget* window, const char* name);
    static void set_entry_text(GtkWidget* window, const char* name, const wchar_t* text);
    static void list_store_append_text(GtkListStore* store, const XrString& text);
    static void set_numeric_input(GtkWidget* window, const char* name);
    static void set_thumb_scrollbar(GtkWidget* window, const char* name);

    // The text as UTF-8 bytes decoded from GTK.
    static XrString from_utf8(const char* text);

    // Fixed dialog size outside full-screen mode.
    static constexpr int FIXED_WIDTH = 660;
    static constexpr int FIXED_MAX_HEIGHT = 394;
};
