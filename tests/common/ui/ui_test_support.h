// Helpers of the toolkit tests that run under Xvfb: GTK start-up, running
// the main loop for a while, and finding the windows the code under test
// opens (notes, dialogs) so that the test can answer them from a callback
// of the nested loop.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

inline bool xr_ui_display_ready()
{
    static const bool ready = gtk_init_check(nullptr, nullptr);
    return ready;
}

#define XR_UI_REQUIRE_DISPLAY() \
    if (!xr_ui_display_ready()) \
    GTEST_SKIP() << "no X display"

// Runs the main loop for about ms milliseconds.
inline void xr_ui_run_for(int ms)
{
    bool done = false;
    g_timeout_add(ms, [](gpointer p) -> gboolean { return *static_cast<bool*>(p) = true, FALSE; }, &done);
    while (!done)
        gtk_main_iteration();
}

// Calls fn once from the main loop, as soon as it is idle (inside the
// nested loop of a modal dialog that the test then starts).
inline void xr_ui_when_idle(std::function<void()> fn)
{
    auto* held = new std::function<void()>(std::move(fn));
    g_idle_add(
        [](gpointer p) -> gboolean {
            auto* f = static_cast<std::function<void()>*>(p);
            (*f)();
            delete f;
            return FALSE;
        },
        held);
}

// The visible top-level windows that are dialogs, newest last.
inline std::vector<GtkWidget*> xr_ui_dialogs()
{
    std::vector<GtkWidget*> out;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l != nullptr; l = l->next)
        if (GTK_IS_DIALOG(l->data) && GTK_WIDGET_VISIBLE(GTK_WIDGET(l->data)))
            out.push_back(GTK_WIDGET(l->data));
    g_list_free(all);
    return out;
}

// The first widget below (or at) root of the type, depth first.
inline GtkWidget* xr_ui_find_child(GtkWidget* root, GType type)
{
    if (G_TYPE_CHECK_INSTANCE_TYPE(root, type))
        return root;
    if (!GTK_IS_CONTAINER(root))
        return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    GtkWidget* found = nullptr;
    for (GList* l = children; l != nullptr && found == nullptr; l = l->next)
        found = xr_ui_find_child(GTK_WIDGET(l->data), type);
    g_list_free(children);
    return found;
}

// The button of a dialog that answers with the response, or null.
inline GtkWidget* xr_ui_response_button(GtkWidget* dialog, int response)
{
    GList* buttons = gtk_container_get_children(GTK_CONTAINER(GTK_DIALOG(dialog)->action_area));
    GtkWidget* found = nullptr;
    for (GList* l = buttons; l != nullptr; l = l->next)
        if (gtk_dialog_get_response_for_widget(GTK_DIALOG(dialog), GTK_WIDGET(l->data)) == response)
            found = GTK_WIDGET(l->data);
    g_list_free(buttons);
    return found;
}

// The labels of a dialog's buttons in order.
inline std::vector<std::string> xr_ui_button_labels(GtkWidget* dialog)
{
    std::vector<std::string> out;
    GList* buttons = gtk_container_get_children(GTK_CONTAINER(GTK_DIALOG(dialog)->action_area));
    for (GList* l = buttons; l != nullptr; l = l->next)
        out.push_back(gtk_button_get_label(GTK_BUTTON(l->data)));
    g_list_free(buttons);
    return out;
}
