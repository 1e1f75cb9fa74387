// The favourites window driven through the X server (clicks and keys by
// xdotool) over the favourites file of a card in the test's root: after OK
// the file holds what the window showed, Cancel writes nothing, and the
// roads that leave for the map (navigate, a chosen row) keep the edits and
// close the window for good. Then the route-edit window over a route
// provider that records what it is handed, and the about window.
#include "apps/maemo_map/xr_favouritesdlg_maemo.h"
#include "apps/maemo_map/xr_maemoaboutdlg.h"
#include "apps/maemo_map/xr_maemomapdialogfacade.h"
#include "apps/maemo_map/xr_maemowayptdlg.h"

#include "apps/apps_common/xr_naviapp.h"
#include "apps/maemo_map/navigator_run.h"
#include "common/base/xr_singleton.h"
#include "common/corvanel_core/impl/xr_favouritesproviderimpl.h"
#include "common/misc/xr_path_resolver.h"
#include "common/ui/dialog/xr_maemocommon.h"
#include "support/xr_english_texts.h"

#include <gdk/gdkx.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The font and toolkit libraries keep their caches for the whole process.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\nleak:libpango\n";
}

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

void click_widget(GtkWidget* w)
{
    gint ox = 0, oy = 0;
    gdk_window_get_origin(w->window, &ox, &oy);
    const int x = ox + w->allocation.x + w->allocation.width / 2;
    const int y = oy + w->allocation.y + w->allocation.height / 2;
    xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y)});
    xdotool({"click", "1"});
}

// The newest visible dialog window.
GtkWidget* newest_dialog()
{
    GtkWidget* found = nullptr;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l != nullptr; l = l->next)
        if (GTK_IS_DIALOG(l->data) && GTK_WIDGET_VISIBLE(GTK_WIDGET(l->data)))
            found = GTK_WIDGET(l->data);
    g_list_free(all);
    return found;
}

void focus(GtkWidget* window)
{
    xdotool({"windowfocus", "--sync", std::to_string(GDK_WINDOW_XID(window->window))});
}

// The button of a note or input dialog answering with the response.
GtkWidget* response_button(GtkWidget* dialog, int response)
{
    GtkWidget* found = nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(GTK_DIALOG(dialog)->action_area));
    for (GList* l = children; l != nullptr; l = l->next)
        if (gtk_dialog_get_response_for_widget(GTK_DIALOG(dialog), GTK_WIDGET(l->data)) == response)
            found = GTK_WIDGET(l->data);
    g_list_free(children);
    return found;
}

// The application: its address dialog answers with one place.
class TestApp : public XrNaviApp {
public:
    void create_position_provider() override {}
    void exit_application() override {}
    bool show_address_dialog(const XrString&, int page, XrPoint& point, XrString& name, const XrPoint*) override
    {
        pages.push_back(page);
        point = XrPoint(1000, 2000);
        name = XrString(L"Lighthouse");
        return true;
    }
    std::vector<int> pages;
};

std::vector<std::string> label_texts(GtkWidget* root)
{
    std::vector<std::string> out;
    if (GTK_IS_LABEL(root))
        out.push_back(gtk_label_get_text(GTK_LABEL(root)));
    if (GTK_IS_CONTAINER(root)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(root));
        for (GList* l = children; l != nullptr; l = l->next)
            for (const std::string& s : label_texts(GTK_WIDGET(l->data)))
                out.push_back(s);
        g_list_free(children);
    }
    return out;
}

void xr_ui_run_for_ms(int ms)
{
    const gint64 end = g_get_monotonic_time() + ms * 1000;
    while (g_get_monotonic_time() < end) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_usleep(5000);
    }
}

class TabletDialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gchar* found = g_find_program_in_path("xdotool");
        const bool have = found != nullptr;
        g_free(found);
        if (!have)
            GTEST_SKIP() << "no xdotool";
        static const bool display = xr_own_process_display();
        if (!display)
            GTEST_SKIP() << "no Xvfb of its own";
    }
    void TearDown() override
    {
        XrSingleton::set_instance(XrString(L"XrFavouritesProvider"), nullptr);
        set_path_resolver(nullptr);
    }

    // A card with three favourites, the provider over it.
    void make_card()
    {
        card = root.make_dirs("/media/mmc1/map/") + "/";
        root.make_dirs("/media/mmc1/map/mapdata");
        wroot = from_platform_path(card.c_str());
        resolver = std::make_unique<XrPathResolver>(wroot.c_str());
        set_path_resolver(resolver.get());
        XrSingleton::set_instance(XrString(L"XrFavouritesProvider"), nullptr);
        provider = std::make_unique<XrFavouritesProviderImpl>(nullptr);
        XrSingleton::set_instance(XrString(L"XrFavouritesProvider"), provider.get());
        XrArray<XrFavourite> start(4, 0);
        const wchar_t* names[] = {L"Home", L"Work", L"Shop"};
        for (int i = 0; i < 3; ++i)
            start.append(XrFavourite(XrCoordinate(-24.0 + i * 0.01, 31.0), 0, XrString(names[i]), 0));
        ASSERT_TRUE(provider->set_favourites(start));
    }

    // The names of the favourites file, read afresh from the card.
    std::vector<std::string> stored_names()
    {
        std::vector<std::string> out;
        XrArray<XrFavourite> list(4, 0);
        XrFavouritesProviderImpl reader(nullptr);
        reader.get_favourites(list);
        for (int i = 0; i < list.get_num_items(); ++i) {
            const XrString& n = list.get_item_ptr(i)->get_name();
            out.push_back(std::string(n.c_str(), n.c_str() + n.length()));
        }
        return out;
    }

    XrTempRoot root;
    EnglishTexts texts;
    std::string card;
    XrString wroot;
    std::unique_ptr<XrPathResolver> resolver;
    std::unique_ptr<XrFavouritesProviderImpl> provider;
    std::function<void()> answer_when_open_;
};

// One user action on the open window.
enum Step { ADD_ADDRESS, SELECT_ROW_1, RENAME_TO_HARBOUR, MOVE_DOWN, MOVE_UP, DELETE_YES, DELETE_NO, OK, CANCEL, NAVIGATE, DOUBLE_CLICK_ROW_0 };

TEST_F(TabletDialogsTest, EditsThroughTheXServerReachTheFileOnlyWhenKept)
{
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> shown_before_last; // the rows before the closing step
        std::vector<std::string> stored;
    } cases[] = {
        {"rename the first, OK", {RENAME_TO_HARBOUR, OK}, {"Harbour", "Work", "Shop"}, {"Harbour", "Work", "Shop"}},
        {"add an address, OK", {ADD_ADDRESS, OK}, {"Lighthouse", "Home", "Work", "Shop"},
         {"Lighthouse", "Home", "Work", "Shop"}},
        {"move the first down twice, OK", {MOVE_DOWN, MOVE_DOWN, OK}, {"Work", "Shop", "Home"}, {"Work", "Shop", "Home"}},
        {"delete the second (yes), then one not (no), OK",
         {SELECT_ROW_1, DELETE_YES, DELETE_NO, OK},
         {"Home", "Shop"},
         {"Home", "Shop"}},
        {"move and rename, Cancel", {MOVE_DOWN, RENAME_TO_HARBOUR, CANCEL}, {"Work", "Harbour", "Shop"}, {"Home", "Work", "Shop"}},
        {"rename, then navigate: the edit is kept", {RENAME_TO_HARBOUR, NAVIGATE}, {"Harbour", "Work", "Shop"},
         {"Harbour", "Work", "Shop"}},
        {"move, then choose a row: the move is kept", {SELECT_ROW_1, MOVE_UP, DOUBLE_CLICK_ROW_0},
         {"Work", "Home", "Shop"}, {"Work", "Home", "Shop"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        make_card();
        ASSERT_EQ(stored_names(), (std::vector<std::string>{"Home", "Work", "Shop"}));
        XrMaemoMapDialogFacade facade;
        TestApp app;
        facade.show_favourites_dlg(app);
        ASSERT_EQ(XrCorvanelDialogFacade::get_open_count(XrString(L"Favourites")), 1);
        facade.show_favourites_dlg(app); // one is open: nothing more
        ASSERT_EQ(XrCorvanelDialogFacade::get_open_count(XrString(L"Favourites")), 1);

        GtkWidget* window = newest_dialog();
        ASSERT_NE(window, nullptr);
        g_object_add_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer*>(&window));
        xr_ui_run_for_ms(400);
        GtkWidget* view = XrMaemoCommon::lookup_widget(window, "fav_list");
        auto rows = [&] {
            std::vector<std::string> out;
            GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(view));
            GtkTreeIter it;
            for (gboolean more = gtk_tree_model_get_iter_first(model, &it); more;
                 more = gtk_tree_model_iter_next(model, &it)) {
                gchar* s = nullptr;
                gtk_tree_model_get(model, &it, 0, &s, -1);
                out.push_back(s != nullptr ? s : "");
                g_free(s);
            }
            return out;
        };
        auto row_point = [&](int row) {
            GdkRectangle cell;
            GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
            gtk_tree_view_get_cell_area(GTK_TREE_VIEW(view), path, gtk_tree_view_get_column(GTK_TREE_VIEW(view), 0),
                                        &cell);
            gtk_tree_path_free(path);
            gint ox = 0, oy = 0;
            gdk_window_get_origin(gtk_tree_view_get_bin_window(GTK_TREE_VIEW(view)), &ox, &oy);
            xdotool({"mousemove", "--sync", std::to_string(ox + cell.x + cell.width / 2),
                     std::to_string(oy + cell.y + cell.height / 2)});
        };
        // A note or input dialog opened by a button: answered from a timer
        // inside its nested loop, once it is on screen (however long that
        // takes on a loaded machine).
        auto answer_later = [&window](std::function<void(GtkWidget*)> answer) {
            struct Pending {
                std::function<void(GtkWidget*)> answer;
                GtkWidget* owner;
                int tries;
            };
            auto* pending = new Pending{std::move(answer), window, 0};
            g_timeout_add(100, [](gpointer p) -> gboolean {
                auto* pend = static_cast<Pending*>(p);
                GtkWidget* dialog = newest_dialog();
                if (dialog == nullptr || dialog == pend->owner || !GTK_WIDGET_MAPPED(dialog)) {
                    if (++pend->tries < 200)
                        return TRUE;
                    ADD_FAILURE() << "no dialog opened";
                    delete pend;
                    return FALSE;
                }
                xr_ui_run_for_ms(100);
                pend->answer(dialog);
                delete pend;
                return FALSE;
            }, pending);
        };
        for (size_t i = 0; i < c.steps.size() && window != nullptr; ++i) {
            if (i + 1 == c.steps.size()) {
                EXPECT_EQ(rows(), c.shown_before_last);
            }
            focus(window);
            auto button = [&](const char* name) { click_widget(XrMaemoCommon::lookup_widget(window, name)); };
            switch (c.steps[i]) {
            case ADD_ADDRESS:
                button("add_address_button");
                break;
            case SELECT_ROW_1:
                row_point(1);
                xdotool({"click", "1"});
                break;
            case RENAME_TO_HARBOUR:
                answer_later([](GtkWidget* input) {
                    focus(input);
                    xdotool({"key", "ctrl+a"});
                    xdotool({"type", "--delay", "30", "  Harbour "});
                    xr_ui_run_for_ms(200);
                    click_widget(response_button(input, GTK_RESPONSE_OK));
                });
                button("rename_button");
                break;
            case MOVE_DOWN:
                button("move_down_button");
                break;
            case MOVE_UP:
                button("move_up_button");
                break;
            case DELETE_YES:
            case DELETE_NO: {
                const int answer = c.steps[i] == DELETE_YES ? GTK_RESPONSE_YES : GTK_RESPONSE_NO;
                answer_later([answer](GtkWidget* note) { click_widget(response_button(note, answer)); });
                button("delete_button");
                break;
            }
            case OK:
                button("ok_button");
                break;
            case CANCEL:
                button("back_button");
                break;
            case NAVIGATE:
                button("navigate_to_button");
                break;
            case DOUBLE_CLICK_ROW_0:
                row_point(0);
                xdotool({"click", "--repeat", "2", "--delay", "80", "1"});
                break;
            }
            xr_ui_run_for_ms(700);
        }
        EXPECT_TRUE(xr_run_loop_until([&] { return window == nullptr; }, 5)) << "the window is closed for good";
        EXPECT_EQ(XrCorvanelDialogFacade::get_open_count(XrString(L"Favourites")), 0);
        EXPECT_EQ(stored_names(), c.stored);
        if (c.steps[0] == ADD_ADDRESS) {
            EXPECT_EQ(app.pages, std::vector<int>{2}) << "asked for a location";
        }
        if (window != nullptr)
            gtk_widget_destroy(window);
    }
}

// The about window: the version note shows the program's and the map's
// versions; the window ends by its close button and by Escape alike.
TEST_F(TabletDialogsTest, AboutWindowShowsTheVersionsAndCloses)
{
    make_card();
    root.write_file("/media/mmc1/map/version.txt", "Version: 3.0.1\nTitle: Kestrova Navigator\n");
    root.write_file("/media/mmc1/map/mapdata/version.txt",
                    "Version: 2026.1\r\nCopyright year: 2026\r\nMap version: 7\r\nVendor: Kestrova\r\n");
    for (bool by_escape : {false, true}) {
        SCOPED_TRACE(by_escape ? "Escape" : "close button");
        std::vector<std::string> note;
        std::vector<std::string> window_labels;
        std::string title;
        bool ran_to_end = false;
        answer_when_open_ = [&] {
            GtkWidget* about = newest_dialog();
            title = gtk_window_get_title(GTK_WINDOW(about));
            window_labels = label_texts(about);
            focus(about);
            // The version note, read and closed once it is on screen.
            struct Seen {
                std::vector<std::string>* note;
                GtkWidget* about;
                int tries;
            };
            auto* seen = new Seen{&note, about, 0};
            g_timeout_add(100, [](gpointer p) -> gboolean {
                auto* s = static_cast<Seen*>(p);
                GtkWidget* shown = newest_dialog();
                if ((shown == nullptr || shown == s->about || !GTK_WIDGET_MAPPED(shown)) && ++s->tries < 200)
                    return TRUE;
                if (shown != nullptr && shown != s->about) {
                    xr_ui_run_for_ms(100);
                    *s->note = label_texts(shown);
                    focus(shown);
                    xdotool({"key", "Return"});
                }
                delete s;
                return FALSE;
            }, seen);
            click_widget(XrMaemoCommon::lookup_widget(about, "version_button"));
            xr_ui_run_for_ms(300);
            focus(about);
            if (by_escape)
                xdotool({"key", "Escape"});
            else
                click_widget(XrMaemoCommon::lookup_widget(about, "close_button"));
        };
        g_timeout_add(100, [](gpointer p) -> gboolean {
            GtkWidget* about = newest_dialog();
            if (about == nullptr || !GTK_WIDGET_MAPPED(about))
                return TRUE;
            (*static_cast<std::function<void()>*>(p))();
            return FALSE;
        }, &answer_when_open_);
        // Never hang: a window still open after a while is closed.
        const guint guard = g_timeout_add(30000, [](gpointer) -> gboolean {
            if (GtkWidget* w = newest_dialog())
                gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_DELETE_EVENT);
            return TRUE;
        }, nullptr);
        XrMaemoMapDialogFacade facade;
        facade.show_about_dlg();
        ran_to_end = true;
        g_source_remove(guard);
        EXPECT_TRUE(ran_to_end);
        EXPECT_EQ(title, "About Kestrova Navigator");
        std::string all_note;
        for (const std::string& s : note)
            all_note += s + "|";
        EXPECT_NE(all_note.find("Map          \nApp v.3.0.1\nMap v.2026.1\n7"), std::string::npos) << all_note;
        std::string all_labels;
        for (const std::string& s : window_labels)
            all_labels += s + "|";
        EXPECT_NE(all_labels.find("Kestrova Navigator 3.0.1"), std::string::npos) << all_labels;
        EXPECT_EQ(all_labels.find("r_str_"), std::string::npos) << all_labels;
        EXPECT_EQ(newest_dialog(), nullptr);
    }
}

// Hands out three waypoints and records what comes back.
class RecordingRoute : public XrRouteProvider {
public:
    int copy_waypoints(XrArray<XrWaypoint>& out) override
    {
        for (const wchar_t* n : {L"A", L"B", L"C"}) {
            XrWaypoint w;
            w.name = XrString(n);
            out.append(w);
        }
        return 1;
    }
    int get_current_index() override { return 1; }
    void set_waypoints(const XrArray<XrWaypoint>& list, int index) override
    {
        handed.clear();
        for (int i = 0; i < list.get_num_items(); ++i)
            handed += static_cast<char>(list.get_item_ptr(i)->name.c_str()[0]);
        handed_index = index;
    }
    bool calculate_route(bool, bool, bool) override
    {
        ++calculations;
        return true;
    }
    void clear_route() override { ++clears; }
    std::string handed = "-";
    int handed_index = -9;
    int calculations = 0;
    int clears = 0;
};

// Waypoints moved, activated and deleted through the X server: OK hands
// the copy over and computes the route; fewer than two waypoints clear it;
// Cancel hands nothing.
TEST_F(TabletDialogsTest, RoutePlanThroughTheXServer)
{
    enum Action { SELECT_0, SELECT_1, SELECT_2, UP, DOWN, ACTIVATE, DELETE, PRESS_OK, PRESS_CANCEL };
    struct Case {
        const char* name;
        std::vector<Action> actions;
        std::string handed;
        int index;
        int calculations;
        int clears;
    } cases[] = {
        {"move the last up, OK", {SELECT_2, UP, PRESS_OK}, "ACB", 2, 1, 0},
        {"activate the last, OK", {SELECT_2, ACTIVATE, PRESS_OK}, "ABC", 2, 1, 0},
        {"delete the current one, OK", {SELECT_1, DELETE, PRESS_OK}, "AC", 1, 1, 0},
        {"delete the first, OK: index 0 goes as 1", {SELECT_0, DELETE, PRESS_OK}, "BC", 1, 1, 0},
        {"delete two, OK: no route", {SELECT_2, DELETE, SELECT_1, DELETE, PRESS_OK}, "-", -9, 0, 1},
        {"move, Cancel", {SELECT_2, UP, PRESS_CANCEL}, "-", -9, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingRoute route;
        XrSingleton::set_instance(XrString(L"XrRouteProvider"), &route);
        TestApp app;
        XrMaemoMapDialogFacade facade;
        facade.show_waypoints_dlg(app);
        GtkWidget* window = newest_dialog();
        ASSERT_NE(window, nullptr);
        g_object_add_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer*>(&window));
        xr_ui_run_for_ms(400);
        GtkWidget* view = XrMaemoCommon::lookup_widget(window, "waypt_list");
        for (Action a : c.actions) {
            if (window == nullptr)
                break;
            focus(window);
            auto button = [&](const char* name) { click_widget(XrMaemoCommon::lookup_widget(window, name)); };
            switch (a) {
            case SELECT_0:
            case SELECT_1:
            case SELECT_2: {
                const int row = a == SELECT_0 ? 0 : a == SELECT_1 ? 1 : 2;
                GdkRectangle cell;
                GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
                gtk_tree_view_get_cell_area(GTK_TREE_VIEW(view), path,
                                            gtk_tree_view_get_column(GTK_TREE_VIEW(view), 0), &cell);
                gtk_tree_path_free(path);
                gint ox = 0, oy = 0;
                gdk_window_get_origin(gtk_tree_view_get_bin_window(GTK_TREE_VIEW(view)), &ox, &oy);
                xdotool({"mousemove", "--sync", std::to_string(ox + cell.x + cell.width / 2),
                         std::to_string(oy + cell.y + cell.height / 2)});
                xdotool({"click", "1"});
                break;
            }
            case UP:
                button("up_button");
                break;
            case DOWN:
                button("down_button");
                break;
            case ACTIVATE:
                button("activate_button");
                break;
            case DELETE:
                button("delete_button");
                break;
            case PRESS_OK:
                button("ok_button");
                break;
            case PRESS_CANCEL:
                button("cancel_button");
                break;
            }
            xr_ui_run_for_ms(600);
        }
        EXPECT_TRUE(xr_run_loop_until([&] { return window == nullptr; }, 5)) << "the window is closed";
        EXPECT_EQ(route.handed, c.handed);
        EXPECT_EQ(route.handed_index, c.index);
        EXPECT_EQ(route.calculations, c.calculations);
        EXPECT_EQ(route.clears, c.clears);
        if (window != nullptr)
            gtk_widget_destroy(window);
        XrSingleton::set_instance(XrString(L"XrRouteProvider"), nullptr);
    }
}

} // namespace
