#include "common/ui/dialog/xr_builders.h"

#include "common/container/xr_defs.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <vector>

extern const char xr_ui_design[];
extern const unsigned xr_ui_design_size;

namespace {

// Objects of the design whose id begins with this prefix (adjustments, the
// toggle tool button's icon) belong to a window but have no name of their own.
constexpr const char unnamed_prefix[] = "__";

// The design id of a widget: GtkBuilder records it on the widgets it
// creates; a dialog's content box and action area, which it only looks up,
// carry it as their widget name (set in the design).
const char* design_id(GtkBuilder* builder, GtkWidget* widget)
{
    const char* id = gtk_buildable_get_name(GTK_BUILDABLE(widget));
    if (id == nullptr)
        id = gtk_widget_get_name(widget);
    return id != nullptr && gtk_builder_get_object(builder, id) == G_OBJECT(widget) ? id : nullptr;
}

// Stores the widget under its name; the widget also takes the name as its
// widget name, so that it can be told apart in style files and in tests.
void store_name(GtkWidget* window, GtkWidget* widget, const char* name)
{
    if (std::strncmp(name, unnamed_prefix, sizeof unnamed_prefix - 1) == 0)
        return;
    if (std::strcmp(gtk_widget_get_name(widget), name) != 0)
        gtk_widget_set_name(widget, name);
    bool own_part = GTK_IS_DIALOG(window) &&
                    (widget == GTK_DIALOG(window)->vbox || widget == GTK_DIALOG(window)->action_area);
    if (widget == window || own_part)
        g_object_set_data(G_OBJECT(window), name, widget);
    else
        g_object_set_data_full(G_OBJECT(window), name, g_object_ref(widget), g_object_unref);
}

// Stores the widget and, depth first, everything the design put inside it
// (a container's children, notebook tab labels, frame labels), skipping the
// internal parts of composite widgets that the design does not name.
void store_tree(GtkWidget* window, GtkBuilder* builder, GtkWidget* widget)
{
    const char* name = design_id(builder, widget);
    if (name == nullptr)
        return;
    store_name(window, widget, name);
    if (!GTK_IS_CONTAINER(widget))
        return;
    struct Walk {
        GtkWidget* window;
        GtkBuilder* builder;
    } walk{window, builder};
    gtk_container_forall(
        GTK_CONTAINER(widget),
        [](GtkWidget* child, gpointer data) {
            auto* w = static_cast<Walk*>(data);
            store_tree(w->window, w->builder, child);
        },
        &walk);
}

// Builds the top-level object named top of the design, with the further
// top-level objects it refers to (extra), and stores the names.
GtkWidget* build(const char* top, std::initializer_list<const char*> extra = {})
{
    std::vector<gchar*> ids;
    ids.push_back(const_cast<gchar*>(top));
    for (const char* id : extra)
        ids.push_back(const_cast<gchar*>(id));
    ids.push_back(nullptr);

    GtkBuilder* builder = gtk_builder_new();
    GError* error = nullptr;
    if (gtk_builder_add_objects_from_string(builder, xr_ui_design, xr_ui_design_size, ids.data(), &error) == 0) {
        std::fprintf(stderr, "window `%s' cannot be built: %s\n", top, error != nullptr ? error->message : "?");
        XR_ASSERT(false);
    }
    GObject* object = gtk_builder_get_object(builder, top);
    XR_ASSERT(object != nullptr && GTK_IS_WINDOW(object));
    GtkWidget* window = GTK_WIDGET(object);
    store_tree(window, builder, window);
    // The builder's own references go; the window is held by GTK's list of
    // top levels, every other object by its parent and the name table.
    g_object_unref(builder);
    return window;
}

} // namespace

GtkWidget* create_settings_dlg()
{
    return build("settings_dlg");
}

GtkWidget* create_debug_settings_dlg()
{
    return build("debug_settings_dlg", {"__heading_speed_adjustment", "__heading_num_samples_adjustment",
                                        "__uncertainty_scale_adjustment"});
}

GtkWidget* create_address_dlg()
{
    return build("address_dlg");
}

GtkWidget* create_filterselect_dialog()
{
    return build("filterselect_dialog");
}

GtkWidget* create_route_plan_dlg()
{
    return build("route_plan_dlg");
}

GtkWidget* create_favourites_dlg()
{
    return build("favourites_dlg");
}

GtkWidget* create_list_dlg()
{
    return build("list_dlg");
}

GtkWidget* create_update_dlg()
{
    return build("update_dlg");
}

GtkWidget* create_download_progress()
{
    return build("download_progress");
}

GtkWidget* create_loc_detail_dlg()
{
    return build("loc_detail_dlg");
}

GtkWidget* create_compass_dlg()
{
    return build("compass_dlg");
}

GtkWidget* create_about_dlg()
{
    return build("about_dlg");
}

GtkWidget* create_window1()
{
    return build("dummy_window", {"__toolbutton5_icon"});
}

GtkWidget* create_radial_menu_dlg()
{
    return build("radial_menu_dlg");
}

GtkWidget* create_wizard_dlg()
{
    return build("wizard_dlg");
}
