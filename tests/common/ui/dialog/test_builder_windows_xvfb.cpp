// Every window the builders make against the table of its widget tree:
// names found through XrMaemoCommon::lookup_widget, widget kinds, parents,
// placement, texts, flags and properties, and the window's own settings.
#include "common/ui/dialog/xr_builders.h"

#include "common/ui/dialog/xr_maemocommon.h"
#include "window_tables.h"
#include "../ui_test_support.h"

#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct WindowTable {
    const char* top;
    GtkWidget* (*builder)();
    const Row* rows;
    size_t count;
    const char* type;
    const char* title; // nullptr: none, or a placeholder the caller replaces
    int width, height; // default size, -1 when the design sets none
    bool modal;
    bool centred;      // centred on its parent
    bool resizable;
    bool separator;
    int width_request;
};

#define ROWS(r) r, sizeof r / sizeof r[0]

const WindowTable tables[] = {
    {"settings_dlg", create_settings_dlg, ROWS(settings_dlg_rows), "GtkDialog", "Settings", 800, 460, true, true,
     true, true, -1},
    {"debug_settings_dlg", create_debug_settings_dlg, ROWS(debug_settings_dlg_rows), "GtkDialog", "Debug Settings", -1,
     -1, false, false, true, true, 600},
    {"address_dlg", create_address_dlg, ROWS(address_dlg_rows), "GtkDialog", nullptr, -1, -1, true, false, true, true,
     -1},
    {"filterselect_dialog", create_filterselect_dialog, ROWS(filterselect_dialog_rows), "GtkDialog", nullptr, -1, -1,
     false, false, true, true, -1},
    {"route_plan_dlg", create_route_plan_dlg, ROWS(route_plan_dlg_rows), "GtkDialog", nullptr, 800, 480, true, true,
     true, true, -1},
    {"favourites_dlg", create_favourites_dlg, ROWS(favourites_dlg_rows), "GtkDialog", "Favourites", 800, 480, true,
     false, true, true, -1},
    {"list_dlg", create_list_dlg, ROWS(list_dlg_rows), "GtkDialog", "List dlg", 800, 440, true, false, true, true, -1},
    {"update_dlg", create_update_dlg, ROWS(update_dlg_rows), "GtkDialog", "Title here please...", 800, 480, true, false,
     true, true, -1},
    {"download_progress", create_download_progress, ROWS(download_progress_rows), "GtkDialog", "Map Download", -1, -1,
     true, false, false, false, -1},
    {"loc_detail_dlg", create_loc_detail_dlg, ROWS(loc_detail_dlg_rows), "GtkDialog", "Details", -1, -1, false, false,
     true, true, -1},
    {"compass_dlg", create_compass_dlg, ROWS(compass_dlg_rows), "GtkDialog", nullptr, 800, 480, true, false, true, true,
     -1},
    {"about_dlg", create_about_dlg, ROWS(about_dlg_rows), "GtkDialog", nullptr, -1, -1, false, false, true, false, -1},
    {"dummy_window", create_window1, ROWS(dummy_window_rows), "GtkWindow", "window1", -1, -1, false, false, true, true,
     -1},
    {"radial_menu_dlg", create_radial_menu_dlg, ROWS(radial_menu_dlg_rows), "GtkDialog", nullptr, -1, -1, false, false,
     true, true, -1},
    {"wizard_dlg", create_wizard_dlg, ROWS(wizard_dlg_rows), "GtkDialog", nullptr, -1, -1, false, false, true, true,
     -1},
};

void PrintTo(const WindowTable& table, std::ostream* out)
{
    *out << table.top;
}

std::vector<std::string> split(const char* text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

bool has_flag(const Row& row, const char* flag)
{
    for (const std::string& f : split(row.flags))
        if (f == flag)
            return true;
    return false;
}

// "key=value" into its two halves.
std::pair<std::string, std::string> key_value(const std::string& pair)
{
    const size_t eq = pair.find('=');
    return {pair.substr(0, eq), eq == std::string::npos ? "" : pair.substr(eq + 1)};
}

class BuilderWindowsTest : public ::testing::TestWithParam<WindowTable> {
protected:
    void SetUp() override
    {
        XR_UI_REQUIRE_DISPLAY();
        parser = gtk_builder_new();
        window = GetParam().builder();
    }
    void TearDown() override
    {
        if (window != nullptr)
            gtk_widget_destroy(window);
        if (parser != nullptr)
            g_object_unref(parser);
    }

    GtkWidget* get(const char* name) { return XrMaemoCommon::lookup_widget(window, name); }

    // Compares a property (of the object, or a child property of the object
    // in its parent) with a value written as GtkBuilder writes it.
    void expect_property(GObject* object, GtkWidget* parent, const std::string& pair, const char* name)
    {
        const auto [key, text] = key_value(pair);
        GParamSpec* spec = parent == nullptr
                               ? g_object_class_find_property(G_OBJECT_GET_CLASS(object), key.c_str())
                               : gtk_container_class_find_child_property(G_OBJECT_GET_CLASS(parent), key.c_str());
        ASSERT_NE(spec, nullptr) << name << ": no property " << key;
        GValue expected = G_VALUE_INIT;
        GError* error = nullptr;
        ASSERT_TRUE(gtk_builder_value_from_string(parser, spec, text.c_str(), &expected, &error))
            << name << ": " << key << "=" << text << ": " << (error != nullptr ? error->message : "");
        GValue actual = G_VALUE_INIT;
        g_value_init(&actual, G_PARAM_SPEC_VALUE_TYPE(spec));
        if (parent == nullptr)
            g_object_get_property(object, key.c_str(), &actual);
        else
            gtk_container_child_get_property(GTK_CONTAINER(parent), GTK_WIDGET(object), key.c_str(), &actual);
        gchar* shown = g_strdup_value_contents(&actual);
        EXPECT_EQ(g_param_values_cmp(spec, &expected, &actual), 0) << name << ": " << key << " is " << shown
                                                                    << ", not " << text;
        g_free(shown);
        g_value_unset(&expected);
        g_value_unset(&actual);
    }

    void expect_placement(const Row& row, GtkWidget* widget)
    {
        GtkWidget* top = window;
        GtkWidget* parent = gtk_widget_get_parent(widget);
        const std::string place = row.place;
        int n = 0;
        if (place == "@content") {
            EXPECT_EQ(widget, GTK_DIALOG(top)->vbox) << row.name;
        } else if (place == "@action") {
            EXPECT_EQ(widget, GTK_DIALOG(top)->action_area) << row.name;
        } else if (std::sscanf(row.place, "@response %d", &n) == 1) {
            EXPECT_EQ(parent, GTK_DIALOG(top)->action_area) << row.name;
            EXPECT_EQ(gtk_dialog_get_response_for_widget(GTK_DIALOG(top), widget), n) << row.name;
        } else if (std::sscanf(row.place, "@page %d", &n) == 1) {
            EXPECT_EQ(gtk_notebook_page_num(GTK_NOTEBOOK(parent), widget), n) << row.name;
        } else if (std::sscanf(row.place, "@tab %d", &n) == 1) {
            GtkNotebook* notebook = GTK_NOTEBOOK(parent);
            EXPECT_EQ(gtk_notebook_get_tab_label(notebook, gtk_notebook_get_nth_page(notebook, n)), widget)
                << row.name;
        } else if (place == "@label") {
            EXPECT_EQ(gtk_frame_get_label_widget(GTK_FRAME(parent)), widget) << row.name;
        } else {
            for (const std::string& pair : split(row.place))
                expect_property(G_OBJECT(widget), parent, pair, row.name);
        }
    }

    void expect_text(const Row& row, GtkWidget* widget)
    {
        if (GTK_IS_IMAGE(widget)) {
            // Every image of the design is the stock placeholder at button size.
            gchar* stock = nullptr;
            GtkIconSize size = GTK_ICON_SIZE_INVALID;
            ASSERT_EQ(gtk_image_get_storage_type(GTK_IMAGE(widget)), GTK_IMAGE_STOCK) << row.name;
            gtk_image_get_stock(GTK_IMAGE(widget), &stock, &size);
            EXPECT_STREQ(stock, "gtk-about") << row.name;
            EXPECT_EQ(size, GTK_ICON_SIZE_BUTTON) << row.name;
        }
        if (row.text == nullptr)
            return;
        const char* shown = nullptr;
        if (GTK_IS_LABEL(widget))
            shown = gtk_label_get_label(GTK_LABEL(widget));
        else if (GTK_IS_BUTTON(widget))
            shown = gtk_button_get_label(GTK_BUTTON(widget));
        else if (GTK_IS_TOOL_BUTTON(widget))
            shown = gtk_tool_button_get_stock_id(GTK_TOOL_BUTTON(widget));
        else
            ADD_FAILURE() << row.name << ": a text on a " << G_OBJECT_TYPE_NAME(widget);
        EXPECT_STREQ(shown != nullptr ? shown : "", row.text) << row.name;
    }

    void expect_flags(const Row& row, GtkWidget* widget)
    {
        EXPECT_EQ(GTK_WIDGET_VISIBLE(widget) != 0, !has_flag(row, "hidden")) << row.name;
        if (has_flag(row, "can-default")) {
            EXPECT_TRUE(GTK_WIDGET_CAN_DEFAULT(widget)) << row.name;
        }
        if (has_flag(row, "no-focus")) {
            EXPECT_FALSE(GTK_WIDGET_CAN_FOCUS(widget)) << row.name;
        }
        EXPECT_EQ(GTK_WIDGET_SENSITIVE(widget) != 0, !has_flag(row, "insensitive")) << row.name;
    }

    void expect_properties(const Row& row, GtkWidget* widget)
    {
        for (const std::string& item : split(row.props)) {
            const auto [key, value] = key_value(item);
            if (key == "@expands") {
                EXPECT_TRUE(gtk_tool_item_get_expand(GTK_TOOL_ITEM(widget))) << row.name;
            } else if (key == "@adjustment") {
                GtkAdjustment* a = gtk_range_get_adjustment(GTK_RANGE(widget));
                std::ostringstream shown;
                shown << a->value << "," << a->lower << "," << a->upper << "," << a->step_increment << ","
                      << a->page_increment << "," << a->page_size;
                EXPECT_EQ(shown.str(), value) << row.name;
            } else if (key == "@group") {
                GSList* group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(widget));
                if (!value.empty()) {
                    EXPECT_NE(g_slist_find(group, get(value.c_str())), nullptr) << row.name;
                }
            } else if (key == "@tabs-packed-tight") {
                for (int i = 0; i < gtk_notebook_get_n_pages(GTK_NOTEBOOK(widget)); ++i) {
                    GtkWidget* page = gtk_notebook_get_nth_page(GTK_NOTEBOOK(widget), i);
                    expect_property(G_OBJECT(page), widget, "tab-expand=0", row.name);
                    expect_property(G_OBJECT(page), widget, "tab-fill=0", row.name);
                }
            } else {
                expect_property(G_OBJECT(widget), nullptr, item, row.name);
            }
        }
        if (GTK_IS_COMBO_BOX(widget)) {
            GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(widget));
            ASSERT_NE(model, nullptr) << row.name;
            EXPECT_EQ(gtk_tree_model_iter_n_children(model, nullptr), 0) << row.name;
        }
        if (GTK_IS_TREE_VIEW(widget)) {
            EXPECT_EQ(gtk_tree_view_get_model(GTK_TREE_VIEW(widget)), nullptr) << row.name;
            EXPECT_EQ(gtk_tree_view_get_column(GTK_TREE_VIEW(widget), 0), nullptr) << row.name;
        }
    }

    GtkBuilder* parser = nullptr;
    GtkWidget* window = nullptr;
};

TEST_P(BuilderWindowsTest, TopLevelHasTheDesignSettings)
{
    const WindowTable& t = GetParam();
    EXPECT_STREQ(G_OBJECT_TYPE_NAME(window), t.type);
    if (t.title != nullptr) {
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), t.title);
    }
    int width = 0, height = 0;
    gtk_window_get_default_size(GTK_WINDOW(window), &width, &height);
    EXPECT_EQ(width, t.width);
    EXPECT_EQ(height, t.height);
    EXPECT_EQ(gtk_window_get_modal(GTK_WINDOW(window)) != 0, t.modal);
    GtkWindowPosition position = GTK_WIN_POS_NONE;
    g_object_get(window, "window-position", &position, nullptr);
    if (t.centred) {
        EXPECT_EQ(position, GTK_WIN_POS_CENTER_ON_PARENT);
    }
    EXPECT_EQ(gtk_window_get_resizable(GTK_WINDOW(window)) != 0, t.resizable);
    int request = 0;
    gtk_widget_get_size_request(window, &request, nullptr);
    EXPECT_EQ(request, t.width_request);
    if (GTK_IS_DIALOG(window)) {
        // The action area holds the action buttons of the table and nothing else.
        size_t buttons = 0;
        for (size_t i = 0; i < t.count; ++i)
            buttons += std::strncmp(t.rows[i].place, "@response", 9) == 0 ? 1 : 0;
        GList* children = gtk_container_get_children(GTK_CONTAINER(GTK_DIALOG(window)->action_area));
        EXPECT_EQ(g_list_length(children), buttons);
        g_list_free(children);
        EXPECT_EQ(gtk_dialog_get_has_separator(GTK_DIALOG(window)) != 0, t.separator);
        EXPECT_EQ(gtk_window_get_type_hint(GTK_WINDOW(window)), GDK_WINDOW_TYPE_HINT_DIALOG);
    }
}

TEST_P(BuilderWindowsTest, EveryWidgetOfTheTableIsStoredWithItsKindPlaceTextAndFlags)
{
    const WindowTable& t = GetParam();
    for (size_t i = 0; i < t.count; ++i) {
        const Row& row = t.rows[i];
        SCOPED_TRACE(row.name);
        if (g_object_get_data(G_OBJECT(window), row.name) == nullptr) {
            ADD_FAILURE() << row.name << " is not stored";
            continue;
        }
        GtkWidget* widget = get(row.name);
        EXPECT_STREQ(G_OBJECT_TYPE_NAME(widget), row.type);
        EXPECT_EQ(gtk_widget_get_toplevel(widget), window);
        if (*row.parent != '\0') {
            EXPECT_EQ(gtk_widget_get_parent(widget), get(row.parent));
        }
        expect_placement(row, widget);
        expect_text(row, widget);
        expect_flags(row, widget);
        expect_properties(row, widget);
    }
}

void collect_stored(GtkWidget* window, GtkWidget* widget, std::set<std::string>& names)
{
    const char* name = gtk_widget_get_name(widget);
    if (g_object_get_data(G_OBJECT(window), name) == widget)
        names.insert(name);
    if (!GTK_IS_CONTAINER(widget))
        return;
    struct Walk {
        GtkWidget* window;
        std::set<std::string>* names;
    } walk{window, &names};
    gtk_container_forall(
        GTK_CONTAINER(widget),
        [](GtkWidget* child, gpointer data) {
            auto* w = static_cast<Walk*>(data);
            collect_stored(w->window, child, *w->names);
        },
        &walk);
}

// Exactly the table's names: nothing more in the tree is stored, and the
// names that only other windows have are not found here.
TEST_P(BuilderWindowsTest, HoldsExactlyTheNamesOfItsTable)
{
    const WindowTable& t = GetParam();
    std::set<std::string> expected{t.top};
    for (size_t i = 0; i < t.count; ++i)
        expected.insert(t.rows[i].name);
    EXPECT_EQ(expected.size(), t.count + 1) << "names repeat within the window";
    std::set<std::string> stored;
    collect_stored(window, window, stored);
    EXPECT_EQ(stored, expected);
    for (const WindowTable& other : tables)
        for (size_t i = 0; i < other.count; ++i)
            if (expected.count(other.rows[i].name) == 0) {
                EXPECT_EQ(g_object_get_data(G_OBJECT(window), other.rows[i].name), nullptr) << other.rows[i].name;
            }
}

// A second call builds a fresh window: no name resolves to a widget of the
// first one.
TEST_P(BuilderWindowsTest, SecondWindowSharesNoWidget)
{
    const WindowTable& t = GetParam();
    GtkWidget* second = t.builder();
    for (size_t i = 0; i < t.count; ++i) {
        GtkWidget* widget = XrMaemoCommon::lookup_widget(second, t.rows[i].name);
        EXPECT_NE(widget, get(t.rows[i].name)) << t.rows[i].name;
        EXPECT_EQ(gtk_widget_get_toplevel(widget), second) << t.rows[i].name;
    }
    gtk_widget_destroy(second);
}

INSTANTIATE_TEST_SUITE_P(AllWindows, BuilderWindowsTest, ::testing::ValuesIn(tables),
                         [](const ::testing::TestParamInfo<WindowTable>& info) { return std::string(info.param.top); });

} // namespace
