// A Java add-on's dialog driven through the X server: the edited text and
// the chosen list row come back to Java through the bindings.
#include "addon_vm.h"
#include "common/ui/ui_test_support.h"

#include <gdk/gdkx.h>

namespace {

void xdotool(const std::vector<std::string>& args)
{
    std::vector<gchar*> argv;
    argv.push_back(const_cast<gchar*>("xdotool"));
    for (const std::string& a : args)
        argv.push_back(const_cast<gchar*>(a.c_str()));
    argv.push_back(nullptr);
    GError* error = nullptr;
    gint status = 0;
    if (!g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, nullptr, &status,
                      &error)) {
        ADD_FAILURE() << "xdotool: " << error->message;
        g_error_free(error);
    }
}

GtkWidget* dialog_titled(const char* title)
{
    for (GtkWidget* d : xr_ui_dialogs())
        if (const char* t = gtk_window_get_title(GTK_WINDOW(d)); t && std::string(t) == title)
            return d;
    return nullptr;
}

bool pump_until(const std::function<bool()>& done, int ms = 8000)
{
    for (int waited = 0; waited < ms && !done(); waited += 20)
        xr_ui_run_for(20);
    return done();
}

std::pair<int, int> centre_of(GtkWidget* w)
{
    gint ox = 0, oy = 0;
    gdk_window_get_origin(w->window, &ox, &oy);
    return {ox + w->allocation.x + w->allocation.width / 2, oy + w->allocation.y + w->allocation.height / 2};
}

std::pair<int, int> row_of(GtkWidget* view, int row)
{
    GdkRectangle cell;
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    gtk_tree_view_get_cell_area(GTK_TREE_VIEW(view), path, gtk_tree_view_get_column(GTK_TREE_VIEW(view), 0), &cell);
    gtk_tree_path_free(path);
    gint ox = 0, oy = 0;
    gdk_window_get_origin(gtk_tree_view_get_bin_window(GTK_TREE_VIEW(view)), &ox, &oy);
    return {ox + cell.x + cell.width / 2, oy + cell.y + cell.height / 2};
}

void click(std::pair<int, int> p, const char* repeat = "1")
{
    xdotool({"mousemove", "--sync", std::to_string(p.first), std::to_string(p.second)});
    xdotool({"click", "--repeat", repeat, "1"});
}

class JavaDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        XR_UI_REQUIRE_DISPLAY();
        gchar* found = g_find_program_in_path("xdotool");
        const bool have = found != nullptr;
        g_free(found);
        if (!have)
            GTEST_SKIP() << "no xdotool";
        ASSERT_TRUE(xr_java_bind_dialogs(XrJavaDialogsEnv()));
    }
};

TEST_F(JavaDialogs, EditedTextAndChosenRowReachTheListener)
{
    AddonVm a;
    ASSERT_TRUE(a.ok);
    AddonVm::Call open = a.call("DialogAddon", "open", "()V");
    ASSERT_TRUE(open.done);
    ASSERT_EQ(open.exception_class(), "");

    GtkWidget* window = nullptr;
    ASSERT_TRUE(pump_until([&] { return (window = dialog_titled("Add-on dialog")) != nullptr; }));
    xr_ui_run_for(300); // mapped and drawn
    GtkWidget* entry = xr_ui_find_child(window, GTK_TYPE_ENTRY);
    GtkWidget* view = xr_ui_find_child(window, GTK_TYPE_TREE_VIEW);
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(view, nullptr);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "start");
    EXPECT_EQ(gtk_tree_model_iter_n_children(gtk_tree_view_get_model(GTK_TREE_VIEW(view)), nullptr), 3);

    xdotool({"windowfocus", "--sync", std::to_string(GDK_WINDOW_XID(window->window))});
    click(centre_of(entry));
    xdotool({"key", "ctrl+a", "BackSpace"});
    xdotool({"type", "--delay", "20", "Kestrel road"});
    xr_ui_run_for(200);
    click(row_of(view, 2));
    xr_ui_run_for(200);
    // Done lies below the screen's edge: reach it with the keyboard.
    xdotool({"key", "--delay", "60", "Tab", "space"});

    std::string result;
    ASSERT_TRUE(pump_until([&] {
        result = a.call("DialogAddon", "result", "()Ljava/lang/String;").text();
        return result != "<null>";
    }));
    EXPECT_EQ(result, "7:Kestrel road:2");
    xr_ui_run_for(100);
    EXPECT_FALSE(GTK_WIDGET_VISIBLE(window)) << "close hides the dialog";

    // After close, a command no longer reaches Java.
    gtk_dialog_response(GTK_DIALOG(window), 7);
    xr_ui_run_for(50);
    EXPECT_EQ(a.call("DialogAddon", "commands", "()I").value[0].i, 1);

    // Once Java lets go, the collector's finaliser frees the native dialog.
    a.call("DialogAddon", "drop", "()V");
    a.collect();
}

TEST_F(JavaDialogs, ListQueryWaitsForTheRowChosenThroughTheXServer)
{
    AddonVm a;
    ASSERT_TRUE(a.ok);
    AddonVm::Call choose;
    a.start(choose, "DialogAddon", "choose", "()I");
    EXPECT_FALSE(choose.done) << "the Java thread waits for the user";

    GtkWidget* window = nullptr;
    ASSERT_TRUE(pump_until([&] { return (window = dialog_titled("Which way")) != nullptr; }));
    xr_ui_run_for(300);
    GtkWidget* view = xr_ui_find_child(window, GTK_TYPE_TREE_VIEW);
    ASSERT_NE(view, nullptr);
    xdotool({"windowfocus", "--sync", std::to_string(GDK_WINDOW_XID(window->window))});
    click(row_of(view, 2), "2");
    ASSERT_TRUE(pump_until([&] { return choose.done; }));
    EXPECT_EQ(choose.exception_class(), "");
    EXPECT_EQ(choose.value[0].i, 2);
}

} // namespace
