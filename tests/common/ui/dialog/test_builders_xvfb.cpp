// The window builders: every window of the design builds cleanly, and the
// name table on its top level behaves as the dialogs rely on it.
#include "common/ui/dialog/xr_builders.h"

#include "common/ui/dialog/xr_maemocommon.h"
#include "platform/hildon/hildon.h"
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

// Names of the widgets under a container, in packing order.
std::vector<std::string> child_names(GtkWidget* container)
{
    std::vector<std::string> out;
    GList* children = gtk_container_get_children(GTK_CONTAINER(container));
    for (GList* l = children; l != nullptr; l = l->next)
        out.push_back(gtk_widget_get_name(GTK_WIDGET(l->data)));
    g_list_free(children);
    return out;
}

TEST_F(NameTableTest, SideButtonsStackInTheirOrder)
{
    GtkWidget* route = create_route_plan_dlg();
    EXPECT_EQ(child_names(XrMaemoCommon::lookup_widget(route, "vbuttonbox16")),
              (std::vector<std::string>{"new_button", "up_button", "down_button", "delete_button", "activate_button"}));
    gtk_widget_destroy(route);
    GtkWidget* favourites = create_favourites_dlg();
    EXPECT_EQ(child_names(XrMaemoCommon::lookup_widget(favourites, "vbuttonbox14")),
              (std::vector<std::string>{"rename_button", "delete_button", "navigate_to_button",
                                        "add_current_location_button", "add_address_button", "move_up_button",
                                        "move_down_button"}));
    gtk_widget_destroy(favourites);
}

// The shell's use of the carrier: it takes a reference on the toolbar, moves
// it to its own window and destroys the carrier; the items keep their order
// and their stored pointers stay usable while the carrier lives.
TEST_F(NameTableTest, ToolbarMovesToAnotherWindowWithItsItemsInOrder)
{
    GtkWidget* carrier = create_window1();
    GtkWidget* toolbar = XrMaemoCommon::lookup_widget(carrier, "main_toolbar");
    GtkWidget* toggle = XrMaemoCommon::lookup_widget(carrier, "toolbutton5");
    GtkWidget* first = XrMaemoCommon::lookup_widget(carrier, "toolbutton1");
    GtkWidget* last = XrMaemoCommon::lookup_widget(carrier, "toolbutton6");
    g_object_ref(toolbar);
    gtk_container_remove(GTK_CONTAINER(XrMaemoCommon::lookup_widget(carrier, "dummy_vbox")), toolbar);
    GtkWidget* main_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(main_window), 800, 72);
    gtk_container_add(GTK_CONTAINER(main_window), toolbar);
    g_object_unref(toolbar);
    gtk_widget_destroy(carrier);

    const std::vector<std::string> order{"toolbutton1", "toolbutton2",        "toolbutton3", "toolbutton4",
                                         "separatortoolitem1", "toolbutton5", "toolbutton6"};
    EXPECT_EQ(child_names(toolbar), order);
    int toggles = 0;
    for (int i = 0; i < gtk_toolbar_get_n_items(GTK_TOOLBAR(toolbar)); ++i)
        toggles += GTK_IS_TOGGLE_TOOL_BUTTON(gtk_toolbar_get_nth_item(GTK_TOOLBAR(toolbar), i)) ? 1 : 0;
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(gtk_toolbar_get_nth_item(GTK_TOOLBAR(toolbar), 5), GTK_TOOL_ITEM(toggle));
    gtk_widget_show_all(main_window);
    xr_ui_run_for(100);
    // Spread over the window's width, every item shows; the expanding
    // buttons share the width equally.
    EXPECT_TRUE(GTK_WIDGET_MAPPED(toggle));
    EXPECT_NEAR(first->allocation.width, last->allocation.width, 1);
    EXPECT_GT(first->allocation.width, 800 / 8);
    gtk_widget_destroy(main_window);
}

struct Hidden {
    const char* top;
    GtkWidget* (*builder)();
    std::vector<const char*> hidden;
    const char* shown; // a widget of the first page that shows
};

class HiddenWidgetsTest : public ::testing::TestWithParam<Hidden> {
protected:
    void SetUp() override { XR_UI_REQUIRE_DISPLAY(); }
};

void PrintTo(const Hidden& hidden, std::ostream* out)
{
    *out << hidden.top;
}

TEST_P(HiddenWidgetsTest, StayHiddenUnderShowAndAppearUnderShowAll)
{
    GtkWidget* window = GetParam().builder();
    gtk_widget_show(window);
    xr_ui_run_for(100);
    GtkWidget* shown = XrMaemoCommon::lookup_widget(window, GetParam().shown);
    EXPECT_TRUE(GTK_WIDGET_MAPPED(shown)) << GetParam().shown;
    for (const char* name : GetParam().hidden) {
        GtkWidget* widget = XrMaemoCommon::lookup_widget(window, name);
        EXPECT_FALSE(GTK_WIDGET_VISIBLE(widget)) << name;
        EXPECT_FALSE(GTK_WIDGET_MAPPED(widget)) << name;
    }
    gtk_widget_show_all(window);
    xr_ui_run_for(100);
    for (const char* name : GetParam().hidden)
        EXPECT_TRUE(GTK_WIDGET_VISIBLE(XrMaemoCommon::lookup_widget(window, name))) << name;
    gtk_widget_destroy(window);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, HiddenWidgetsTest,
    ::testing::Values(Hidden{"settings_dlg",
                             create_settings_dlg,
                             {"scrolledwindow1", "viewport1", "table5", "table3", "table6"},
                             "navigation_options"},
                      Hidden{"address_dlg",
                             create_address_dlg,
                             {"street_list_button", "dummy_button", "city_list_button", "separator", "street_list_row",
                              "city_list_row"},
                             "street_text"},
                      Hidden{"favourites_dlg", create_favourites_dlg, {"move_up_button", "move_down_button"},
                             "rename_button"}),
    [](const ::testing::TestParamInfo<Hidden>& info) { return std::string(info.param.top); });

struct Answer {
    GtkWidget* (*builder)();
    const char* button;
    int response;
};

// A modal run of the window ends with the response of the action button
// that is clicked.
TEST_F(NameTableTest, ActionButtonsEndAModalRunWithTheirResponse)
{
    const Answer answers[] = {
        {create_settings_dlg, "ok_button", GTK_RESPONSE_OK},
        {create_settings_dlg, "cancel_button", GTK_RESPONSE_CANCEL},
        {create_debug_settings_dlg, "okbutton1", GTK_RESPONSE_OK},
        {create_debug_settings_dlg, "cancelbutton1", GTK_RESPONSE_CANCEL},
        {create_route_plan_dlg, "ok_button", GTK_RESPONSE_OK},
        {create_route_plan_dlg, "cancel_button", GTK_RESPONSE_CANCEL},
        {create_favourites_dlg, "ok_button", GTK_RESPONSE_OK},
        {create_favourites_dlg, "back_button", GTK_RESPONSE_CANCEL},
        {create_list_dlg, "ok_button", GTK_RESPONSE_OK},
        {create_list_dlg, "cancel_button", GTK_RESPONSE_CANCEL},
        {create_loc_detail_dlg, "close_button", GTK_RESPONSE_CLOSE},
        {create_compass_dlg, "close_button", GTK_RESPONSE_CLOSE},
    };
    for (const Answer& answer : answers) {
        GtkWidget* dialog = answer.builder();
        GtkWidget* button = XrMaemoCommon::lookup_widget(dialog, answer.button);
        xr_ui_when_idle([button] { gtk_button_clicked(GTK_BUTTON(button)); });
        EXPECT_EQ(gtk_dialog_run(GTK_DIALOG(dialog)), answer.response)
            << gtk_widget_get_name(dialog) << " " << answer.button;
        gtk_widget_destroy(dialog);
    }
}

// Buttons the design puts in the content area act only through their own
// click handlers: a click is no dialog response.
TEST_F(NameTableTest, ContentAreaButtonsEmitNoResponse)
{
    const std::pair<GtkWidget* (*)(), const char*> buttons[] = {
        {create_download_progress, "cancel"},
        {create_about_dlg, "version_button"},
        {create_about_dlg, "close_button"},
    };
    for (const auto& [builder, name] : buttons) {
        GtkWidget* dialog = builder();
        int responses = 0, clicks = 0;
        g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog*, int, gpointer n) { ++*static_cast<int*>(n); }),
                         &responses);
        GtkWidget* button = XrMaemoCommon::lookup_widget(dialog, name);
        g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton*, gpointer n) { ++*static_cast<int*>(n); }),
                         &clicks);
        gtk_widget_show(dialog);
        gtk_button_clicked(GTK_BUTTON(button));
        EXPECT_EQ(clicks, 1) << name;
        EXPECT_EQ(responses, 0) << name;
        EXPECT_EQ(gtk_container_get_children(GTK_CONTAINER(GTK_DIALOG(dialog)->action_area)), nullptr);
        gtk_widget_destroy(dialog);
    }
}

TEST_F(NameTableTest, HeadingFilterRadioButtonsAreOneGroup)
{
    GtkWidget* dialog = create_debug_settings_dlg();
    GtkWidget* median = XrMaemoCommon::lookup_widget(dialog, "heading_median");
    GtkWidget* average = XrMaemoCommon::lookup_widget(dialog, "heading_average");
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(median)));
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(average)));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(average), TRUE);
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(median)));
    gtk_widget_destroy(dialog);
}

// The maps dialog and the download progress hand their builder to the
// modal-dialog routine: the window comes back modal over the given parent.
TEST_F(NameTableTest, ModalDialogRoutineBuildsTheWindowOverItsParent)
{
    GtkWidget* parent = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    for (XrMaemoCommon::Builder builder : {create_update_dlg, create_download_progress, create_about_dlg}) {
        GtkWidget* dialog = XrMaemoCommon::create_modal_dialog(builder, parent);
        EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
        EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), GTK_WINDOW(parent));
        EXPECT_FALSE(GTK_WIDGET_VISIBLE(dialog));
        gtk_widget_destroy(dialog);
    }
    gtk_widget_destroy(parent);
}

// The helpers the dialogs use work on the built widgets: text combo boxes
// take entries, labels, buttons and entries take texts, and the Hildon
// settings land on the named entry and scrolled window.
TEST_F(NameTableTest, DialogHelpersWorkOnTheBuiltWidgets)
{
    GtkWidget* settings = create_settings_dlg();
    XrMaemoCommon::combo_append_text(settings, "guidance_volume", XrString(L"Loud"));
    XrMaemoCommon::combo_append_text(settings, "guidance_volume", XrString(L"Quiet"));
    XrMaemoCommon::set_combo_active(settings, "guidance_volume", 1);
    EXPECT_EQ(XrMaemoCommon::get_combo_active(settings, "guidance_volume"), 1);
    gchar* active = gtk_combo_box_get_active_text(GTK_COMBO_BOX(XrMaemoCommon::lookup_widget(settings, "guidance_volume")));
    EXPECT_STREQ(active, "Quiet");
    g_free(active);
    XrMaemoCommon::set_label_text(settings, "poi_label", XrString(L"Points of interest"));
    EXPECT_STREQ(gtk_notebook_get_tab_label_text(GTK_NOTEBOOK(XrMaemoCommon::lookup_widget(settings, "notebook1")),
                                                 XrMaemoCommon::lookup_widget(settings, "scrolledwindow2")),
                 "Points of interest");
    XrMaemoCommon::set_button_label(settings, "ok_button", XrString(L"Save"));
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(xr_ui_response_button(settings, GTK_RESPONSE_OK))), "Save");
    XrMaemoCommon::set_toggle_active(settings, "powersave", true);
    EXPECT_TRUE(XrMaemoCommon::get_toggle_active(settings, "powersave"));
    gtk_widget_destroy(settings);

    GtkWidget* address = create_address_dlg();
    XrMaemoCommon::set_numeric_input(address, "lat_h");
    EXPECT_EQ(hildon_gtk_entry_get_input_mode(GTK_ENTRY(XrMaemoCommon::lookup_widget(address, "lat_h"))),
              HILDON_GTK_INPUT_MODE_NUMERIC);
    XrMaemoCommon::set_entry_text(address, "lon_h", L"1234");
    EXPECT_EQ(XrMaemoCommon::get_entry_text(address, "lon_h"), XrString(L"123")) << "three characters at most";
    XrMaemoCommon::set_thumb_scrollbar(address, "scrolledwindow4");
    EXPECT_TRUE(hildon_helper_get_thumb_scrollbar(XrMaemoCommon::lookup_widget(address, "scrolledwindow4")));
    gtk_widget_destroy(address);
}

// Where a person sees it: the details window's frames share the left
// column's height with the description on their right, and the GPS status
// window's close button sits at the edge of its action area.
TEST_F(NameTableTest, DetailAndGpsWindowsLayOutAsDesigned)
{
    GtkWidget* details = create_loc_detail_dlg();
    gtk_window_set_default_size(GTK_WINDOW(details), 700, 400);
    gtk_widget_show(details);
    xr_ui_run_for(150);
    GtkAllocation top = XrMaemoCommon::lookup_widget(details, "frame2")->allocation;
    GtkAllocation below = XrMaemoCommon::lookup_widget(details, "frame3")->allocation;
    GtkAllocation scroller = XrMaemoCommon::lookup_widget(details, "detail_scroller")->allocation;
    EXPECT_EQ(top.x, below.x);
    EXPECT_GE(below.y, top.y + top.height);
    EXPECT_NEAR(top.height, below.height, 1);
    EXPECT_GE(scroller.x, top.x + top.width);
    EXPECT_GE(scroller.height, top.height + below.height);
    gtk_widget_destroy(details);

    // The GPS status dialog adds its own check button beside the close button.
    GtkWidget* gps = create_compass_dlg();
    GtkWidget* area = GTK_DIALOG(gps)->action_area;
    GtkWidget* check = gtk_check_button_new_with_label("Fix");
    gtk_box_pack_start(GTK_BOX(area), check, FALSE, FALSE, 0);
    gtk_widget_show(check);
    gtk_widget_show(gps);
    xr_ui_run_for(150);
    GtkAllocation button = XrMaemoCommon::lookup_widget(gps, "close_button")->allocation;
    const int border = static_cast<int>(GTK_CONTAINER(area)->border_width);
    EXPECT_LE(button.x - area->allocation.x, border + 1) << "close button at the left edge";
    EXPECT_GE(check->allocation.x + check->allocation.width,
              area->allocation.x + area->allocation.width - border - 1) << "the other at the right edge";
    GtkAllocation drawing = XrMaemoCommon::lookup_widget(gps, "drawingarea")->allocation;
    EXPECT_GT(drawing.height, 300) << "the drawing area fills the window";
    gtk_widget_destroy(gps);
}

TEST_F(NameTableTest, NameOfAnotherWindowIsAFatalLookup)
{
    GtkWidget* dialog = create_list_dlg();
    EXPECT_DEATH(XrMaemoCommon::lookup_widget(dialog, "fav_list"), "`fav_list' widget not found");
    gtk_widget_destroy(dialog);
}

} // namespace
