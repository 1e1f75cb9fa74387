// Message notes and the text input dialog. Each call blocks in a nested main
// loop until the user answers. A null parent means the main map window's
// top-level window (no parent when there is no map window).
#pragma once

#include "common/container/xr_string.h"

#include <gtk/gtk.h>

class XrIcon;

class XrCommonDialogs {
public:
    enum NoteType { NOTE_INFO = 0, NOTE_QUERY = 2, NOTE_ERROR = 3 };
    // Button sets of show_note: OK, or Yes and No.
    enum NoteButtons { BUTTONS_OK = 1, BUTTONS_YES_NO = 4 };

    XrCommonDialogs() = delete;

    static void show_error_msg(const XrString& title, const XrString& message, GtkWindow* parent = nullptr);
    static void show_info_msg(const XrString& title, const XrString& message, GtkWindow* parent = nullptr);
    // Without a title.
    static void show_msg(const XrString& message, GtkWindow* parent = nullptr);
    // True for Yes; any other answer (also closing the note) is No.
    static bool show_query_msg(const XrString& title, const XrString& message, GtkWindow* parent = nullptr);
    // The number and icon some callers pass are not used on this platform.
    static bool show_query_msg(const XrString& title, const XrString& message, GtkWindow* parent, int number,
                               const XrIcon& icon);
    // The worker behind the four: the message, after the title and two line
    // feeds when a title is given, in a note with buttons BUTTONS_YES_NO or
    // (any other value) BUTTONS_OK. The type does not change the look.
    // Returns the GTK response.
    static int show_note(const XrString& message, const XrString* title, int type, int buttons, GtkWindow* parent);

    // A number from first to last (a spin button starting at value, held
    // inside the range) with OK and Cancel. True on OK with the number in
    // value; false on Cancel, on closing, or for an empty range (first >
    // last), value unchanged.
    static bool show_number_dlg(const XrString& title, const XrString& message, int& value, int first, int last);

    // One entry (under the caption unless it is empty) with OK and Cancel;
    // OK is possible only while the entry holds text. True on OK, with the
    // entered text in text; false otherwise, text unchanged.
    static bool show_input_dlg(const XrString& title, const XrString& caption, XrString& text, int max_length,
                               bool numeric, GtkWindow* parent = nullptr);
};
