// Builders of the tablet's windows. Each builds one top-level window of the
// design file data/ui/kestrova.ui (compiled into the program) and returns it
// unshown; the caller owns it and ends it with gtk_widget_destroy.
//
// Every widget of the window is stored on the top level under its design
// name (see XrMaemoCommon::lookup_widget): the top level itself, a dialog's
// own content box and action area without a reference, every other widget
// with a reference that is released when the top level is finalized. A
// stored widget therefore stays valid after it is moved out of its parent.
//
// The builders connect no signal and translate no text: the dialogs set
// texts, fill lists and combo boxes and connect their handlers.
#pragma once

#include <gtk/gtk.h>

// Settings notebook and the heading filter's debug settings.
GtkWidget* create_settings_dlg();
GtkWidget* create_debug_settings_dlg();
// Address dialog and the state filter row (not opened by anything).
GtkWidget* create_address_dlg();
GtkWidget* create_filterselect_dialog();
// List-style windows and the download progress window.
GtkWidget* create_route_plan_dlg();
GtkWidget* create_favourites_dlg();
GtkWidget* create_list_dlg();
GtkWidget* create_update_dlg();
GtkWidget* create_download_progress();
// Location details, GPS status, about, the main toolbar's carrier window
// (a GtkWindow, never shown) and two spare windows.
GtkWidget* create_loc_detail_dlg();
GtkWidget* create_compass_dlg();
GtkWidget* create_about_dlg();
GtkWidget* create_window1();
GtkWidget* create_radial_menu_dlg();
GtkWidget* create_wizard_dlg();
