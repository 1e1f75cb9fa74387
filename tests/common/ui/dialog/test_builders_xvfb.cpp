// The window builders: every window of the design builds cleanly, and the
// name table on its top level behaves as the dialogs rely on it.
#include "common/ui/dialog/xr_builders.h"

#include "common/ui/dialog/xr_maemocommon.h"
#include "../ui_test_support.h"

#include <string>
#include <vector>

namespace {

struct Window {
    const char* top;
    GtkWidget* (*builder)();
};

void PrintTo(const Window& window, std::ostream* out)
{
    *out << window.top;
}

const Window windows[] = {
    {"settings_dlg", create_settings_dlg},
    {"debug_settings_dlg", create_debug_settings_dlg},
    {"address_dlg", create_address_dlg},
    {"filterselect_dialog", create_filterselect_dialog},
    {"route_plan_dlg", create_route_plan_dlg},
    {"favourites_dlg", create_favourites_dlg},
    {"list_dlg", create_list_dlg},
    {"update_dlg", create_update_dlg},
    {"download_progress", create_download_progress},
    {"loc_detail_dlg", create_loc_detail_dlg},
    {"compass_dlg", create_compass_dlg},
    {"about_dlg", create_about_dlg},
    {"dummy_window", create_window1},
    {"radial_menu_dlg", create_radial_menu_dlg},
    {"wizard_dlg", create_wizard_dlg},
};

// Collects the warnings and critical messages of GLib, GObject and GTK
// while it lives.
class LogCapture {
public:
    LogCapture()
    {
        for (const char* domain : domains)
            ids.push_back(g_log_set_handler(domain,
                                            static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL),
                                            record, &messages));
    }
    ~LogCapture()
    {
        for (size_t i = 0; i < ids.size(); ++i)
            g_log_remove_handler(domains[i], ids[i]);
    }
    std::vector<std::string> messages;

private:
    static void record(const gchar* domain, GLogLevelFlags, const gchar* message, gpointer data)
    {
        static_cast<std::vector<std::string>*>(data)->push_back(std::string(domain ? domain : "") + ": " + message);
    }
    static constexpr const char* domains[] = {"Gtk", "GLib", "GLib-GObject", "Gdk"};
    std::vector<guint> ids;
};

class BuildersTest : public ::testing::TestWithParam<Window> {
protected:
    void SetUp() override { XR_UI_REQUIRE_DISPLAY(); }
};

TEST_P(BuildersTest, BuildsWithoutWarningsUnshownAndStoresItsOwnName)
{
    LogCapture log;
    GtkWidget* window = GetParam().builder();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(XrMaemoCommon::lookup_widget(window, GetParam().top), window);
    EXPECT_STREQ(gtk_widget_get_name(window), GetParam().top);
    EXPECT_FALSE(GTK_WIDGET_VISIBLE(window));
    EXPECT_TRUE(GTK_IS_WINDOW(window));
    if (GTK_IS_DIALOG(window)) {
        EXPECT_EQ(gtk_window_get_type_hint(GTK_WINDOW(window)), GDK_WINDOW_TYPE_HINT_DIALOG);
    }
    gtk_widget_destroy(window);
    EXPECT_TRUE(log.messages.empty()) << log.messages.front();
}

TEST_P(BuildersTest, TwoCallsGiveIndependentWindows)
{
    GtkWidget* first = GetParam().builder();
    GtkWidget* second = GetParam().builder();
    EXPECT_NE(first, second);
    // The content box (or a toolbar carrier's box) of each lies in its own window.
    const std::string inner = GTK_IS_DIALOG(first) ? gtk_widget_get_name(GTK_DIALOG(first)->vbox) : "dummy_vbox";
    GtkWidget* a = XrMaemoCommon::lookup_widget(first, inner.c_str());
    GtkWidget* b = XrMaemoCommon::lookup_widget(second, inner.c_str());
    EXPECT_NE(a, b);
    EXPECT_EQ(gtk_widget_get_toplevel(a), first);
    EXPECT_EQ(gtk_widget_get_toplevel(b), second);
    gtk_widget_destroy(first);
    // The second window is untouched by the end of the first.
    EXPECT_EQ(XrMaemoCommon::lookup_widget(second, inner.c_str()), b);
    gtk_widget_destroy(second);
}

INSTANTIATE_TEST_SUITE_P(AllWindows, BuildersTest, ::testing::ValuesIn(windows),
                         [](const ::testing::TestParamInfo<Window>& info) { return std::string(info.param.top); });

class NameTableTest : public ::testing::Test {
protected:
    void SetUp() override { XR_UI_REQUIRE_DISPLAY(); }
};

// The shell takes the toolbar out of its carrier: the stored pointer stays a
// live toolbar with its items, until the carrier is destroyed.
TEST_F(NameTableTest, StoredWidgetOutlivesItsRemovalUntilTheWindowGoes)
{
    GtkWidget* window = create_window1();
    GtkWidget* toolbar = XrMaemoCommon::lookup_widget(window, "main_toolbar");
    GtkWidget* box = XrMaemoCommon::lookup_widget(window, "dummy_vbox");
    gtk_container_remove(GTK_CONTAINER(box), toolbar);
    EXPECT_EQ(gtk_widget_get_parent(toolbar), nullptr);
    EXPECT_EQ(XrMaemoCommon::lookup_widget(window, "main_toolbar"), toolbar);
    EXPECT_TRUE(GTK_IS_TOOLBAR(toolbar));
    EXPECT_EQ(gtk_toolbar_get_n_items(GTK_TOOLBAR(toolbar)), 7);

    gpointer gone = toolbar;
    g_object_add_weak_pointer(G_OBJECT(toolbar), &gone);
    gtk_widget_destroy(window);
    EXPECT_EQ(gone, nullptr) << "the name table's reference outlived the window";
}

// A caller that keeps a widget takes a reference of its own: the widget
// then survives the window, and the window's references are all released.
TEST_F(NameTableTest, ReferencesOfTheTableGoWithTheWindow)
{
    GtkWidget* window = create_list_dlg();
    GtkWidget* list = XrMaemoCommon::lookup_widget(window, "base_list");
    GtkWidget* button = XrMaemoCommon::lookup_widget(window, "ok_button");
    g_object_ref(list);
    gpointer gone_button = button;
    g_object_add_weak_pointer(G_OBJECT(button), &gone_button);
    gtk_widget_destroy(window);
    EXPECT_EQ(gone_button, nullptr);
    EXPECT_EQ(G_OBJECT(list)->ref_count, 1u);
    g_object_unref(list);
}

} // namespace
