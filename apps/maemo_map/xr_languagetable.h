// The languages the settings dialog offers: locale, alternative locale and
// the name shown in the language combo box; row 0 is the system default.
#pragma once

#include <gtk/gtk.h>

#include "common/container/xr_string.h"

struct XrLanguageRow {
    const char* locale;
    const char* alternative; // null: none
    const char* name;        // null: the translated "automatic" text
};

constexpr int xr_language_count = 16;
extern const XrLanguageRow xr_language_table[xr_language_count];

// The last row whose locale or alternative equals locale; 0 when none does.
int xr_language_row(const XrString& locale);

// Appends the display names in table order and selects the current row.
void fill_language_combo(GtkComboBox* combo, const XrString& current_locale);

// Stores the selected row's locale as the user's language, switches the
// application to it, hands the voice folder to the settings and the route
// layer, and sets the metric units when the new language has no unit
// switch. Returns the locale (empty for the system default).
XrString apply_language_selection(GtkComboBox* combo);
