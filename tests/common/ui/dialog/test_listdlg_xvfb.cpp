// The list dialog over the "list_dlg" window: what it shows, how a row is
// chosen (by the test's own responses, and by keys and clicks sent through
// the X server), that the listener hears the outcome once after the window
// has gone, and that it runs modally without being destroyed twice.
#include "common/ui/dialog/xr_listdlg.h"

#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/window/xr_mapwindowmanager.h"
#include "common/misc/xr_msgids.h"
#include "platform/hildon/hildon.h"
#include "common/ui/dialog/xr_maemocommon.h"
#include "apps/maemo_map/navigator_run.h"
#include "support/xr_english_texts.h"
#include "../ui_test_support.h"

#include <gdk/gdkx.h>

#include <string>
#include <vector>

namespace {

// Records each outcome and whether the window was gone by then.
class Chooser : public XrListDlgListener {
public:
    void item_chosen(int index) override
    {
        chosen.push_back(index);
        window_gone_first.push_back(window == nullptr);
    }
    // Watches the dialog's window.
    void watch(GtkWidget* widget)
    {
        window = widget;
        g_object_add_weak_pointer(G_OBJECT(widget), reinterpret_cast<gpointer*>(&window));
    }
    std::vector<int> chosen;
    std::vector<bool> window_gone_first;
    GtkWidget* window = nullptr;
};

XrArray<XrListDlgItem>* make_items(int count, int icon_index = -1)
{
    auto* items = new XrArray<XrListDlgItem>(8);
    for (int i = 0; i < count; ++i) {
        XrListDlgItem item;
        item.text = XrString(("Place " + std::to_string(i)).c_str());
        item.detail_text = XrString(("Street " + std::to_string(i)).c_str());
        item.icon_index = icon_index;
        item.icon_id = i == 0 ? 0x1234 : -1;
        items->append(item);
    }
    return items;
}

std::vector<std::string> rows_of(GtkWidget* view)
{
    std::vector<std::string> out;
    GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(view));
    GtkTreeIter iter;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more; more = gtk_tree_model_iter_next(model, &iter)) {
        gchar *a = nullptr, *b = nullptr;
        gtk_tree_model_get(model, &iter, 0, &a, 1, &b, -1);
        out.push_back(std::string(a ? a : "") + "|" + (b ? b : ""));
        g_free(a);
        g_free(b);
    }
    return out;
}

std::string utf8_text(int id)
{
    XrByteArray bytes;
    XrMaemoCommon::text_to_utf8(id, bytes);
    return reinterpret_cast<const char*>(bytes.get_items());
}

class ListDlgTest : public ::testing::Test {
protected:
    void SetUp() override { XR_UI_REQUIRE_DISPLAY(); }

    // A non-modal dialog, shown.
    XrListDlgMaemo* open(XrArray<XrListDlgItem>& items, Chooser& chooser)
    {
        auto* dialog = new XrListDlgMaemo(XrString(L"Choose a place"), items, 0x49A70069, &chooser);
        dialog->open(1, false);
        chooser.watch(dialog->get_widget());
        return dialog;
    }
    static GtkWidget* view_of(XrListDlgMaemo* dialog)
    {
        return XrMaemoCommon::lookup_widget(dialog->get_widget(), "base_list");
    }
    static void select_row(XrListDlgMaemo* dialog, int row)
    {
        GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
        gtk_tree_selection_select_path(gtk_tree_view_get_selection(GTK_TREE_VIEW(view_of(dialog))), path);
        gtk_tree_path_free(path);
    }
    static void activate_row(XrListDlgMaemo* dialog, int row)
    {
        GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
        gtk_tree_view_row_activated(GTK_TREE_VIEW(view_of(dialog)), path, gtk_tree_view_get_column(GTK_TREE_VIEW(view_of(dialog)), 0));
        gtk_tree_path_free(path);
    }

    EnglishTexts texts;
};

TEST_F(ListDlgTest, ShowsOneRowPerItemWithTextsAndIcons)
{
    std::unique_ptr<XrArray<XrListDlgItem>> items(make_items(3));
    Chooser chooser;
    XrListDlgMaemo* dialog = open(*items, chooser);
    GtkWidget* window = dialog->get_widget();
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(window));
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(window)));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Choose a place");
    EXPECT_EQ(rows_of(view_of(dialog)), (std::vector<std::string>{"Place 0|Street 0", "Place 1|Street 1", "Place 2|Street 2"}));
    EXPECT_EQ(dialog->get_list()->get_ctx_item(0).get_icon_id(), 0x1234);
    EXPECT_EQ(dialog->get_list()->get_ctx_item(1).get_icon_id(), 0x49A70069) << "the default icon id";
    EXPECT_EQ(gtk_button_get_label(GTK_BUTTON(XrMaemoCommon::lookup_widget(window, "ok_button"))), utf8_text(R_STR_DLG_OK));
    EXPECT_EQ(gtk_button_get_label(GTK_BUTTON(XrMaemoCommon::lookup_widget(window, "cancel_button"))),
              utf8_text(R_STR_DLG_CANCEL));
    EXPECT_TRUE(GTK_WIDGET_SENSITIVE(XrMaemoCommon::lookup_widget(window, "ok_button")));
    gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_CANCEL);
    EXPECT_EQ(chooser.chosen, std::vector<int>{-1});
}

TEST_F(ListDlgTest, EmptyListOffersNothing)
{
    XrArray<XrListDlgItem> items(8);
    Chooser chooser;
    XrListDlgMaemo* dialog = open(items, chooser);
    const std::string none = utf8_text(R_STR_LIST_NO_CONTACTS);
    ASSERT_TRUE(texts.bound);
    EXPECT_NE(none.rfind("r_str_", 0), 0u) << "translated";
    EXPECT_EQ(rows_of(view_of(dialog)), std::vector<std::string>{none + "|"});
    EXPECT_FALSE(GTK_WIDGET_SENSITIVE(view_of(dialog)));
    EXPECT_FALSE(GTK_WIDGET_SENSITIVE(XrMaemoCommon::lookup_widget(dialog->get_widget(), "ok_button")));
    gtk_dialog_response(GTK_DIALOG(dialog->get_widget()), GTK_RESPONSE_CANCEL);
    EXPECT_EQ(chooser.chosen, std::vector<int>{-1});
}

// Each way of answering, and what the listener hears: once, after the
// window has gone.
TEST_F(ListDlgTest, OutcomeReachesTheListenerOnce)
{
    enum Action { OK_WITH_SELECTION, OK_WITHOUT_SELECTION, ACTIVATE, CANCEL, CLOSE };
    struct Case {
        const char* name;
        int count, icon_index;
        Action action;
        int row;
        bool ok_sensitive;
        int expected;
    } cases[] = {
        {"OK on the second row", 3, -1, OK_WITH_SELECTION, 1, true, 1},
        {"OK without a selection", 3, -1, OK_WITHOUT_SELECTION, 0, true, -1},
        {"double tap on the third row", 3, -1, ACTIVATE, 2, true, 2},
        {"cancel after selecting", 3, -1, CANCEL, 1, true, -1},
        {"window closed", 3, -1, CLOSE, 1, true, -1},
        {"the only row can be chosen", 1, 3, ACTIVATE, 0, true, 0},
        {"the only row with icon 12 cannot", 1, XrListDlg::UNCHOOSABLE_ICON_INDEX, ACTIVATE, 0, false, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<XrArray<XrListDlgItem>> items(make_items(c.count, c.icon_index));
        Chooser chooser;
        XrListDlgMaemo* dialog = open(*items, chooser);
        GtkWidget* window = dialog->get_widget();
        EXPECT_EQ(static_cast<bool>(GTK_WIDGET_SENSITIVE(XrMaemoCommon::lookup_widget(window, "ok_button"))),
                  c.ok_sensitive);
        switch (c.action) {
        case OK_WITH_SELECTION:
            select_row(dialog, c.row);
            gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_OK);
            break;
        case OK_WITHOUT_SELECTION:
            gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_OK);
            break;
        case ACTIVATE:
            activate_row(dialog, c.row);
            break;
        case CANCEL:
            select_row(dialog, c.row);
            gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_CANCEL);
            break;
        case CLOSE:
            gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_DELETE_EVENT);
            break;
        }
        if (chooser.window != nullptr) { // an unchoosable row left it open
            EXPECT_TRUE(chooser.chosen.empty());
            gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_CANCEL);
        }
        EXPECT_EQ(chooser.chosen, std::vector<int>{c.expected});
        EXPECT_EQ(chooser.window_gone_first, std::vector<bool>{true});
    }
}

// Run modally, the dialog ends with its run and is deleted once (ASan
// would report a second destruction).
TEST_F(ListDlgTest, ModalRunReturnsTheChoiceAndDeletesTheDialogOnce)
{
    for (bool by_row : {false, true}) {
        SCOPED_TRACE(by_row ? "row activated" : "OK");
        std::unique_ptr<XrArray<XrListDlgItem>> items(make_items(4));
        Chooser chooser;
        auto* dialog = new XrListDlgMaemo(XrString(L"Modal"), *items, -1, &chooser);
        xr_ui_when_idle([&] {
            chooser.watch(dialog->get_widget());
            if (by_row) {
                activate_row(dialog, 3);
            } else {
                select_row(dialog, 2);
                gtk_dialog_response(GTK_DIALOG(dialog->get_widget()), GTK_RESPONSE_OK);
            }
        });
        dialog->open(1, true);
        EXPECT_EQ(chooser.chosen, std::vector<int>{by_row ? 3 : 2});
        EXPECT_EQ(chooser.window_gone_first, std::vector<bool>{true});
    }
}

// Over the map window: transient for it and modal; closing frees the map
// window's busy flag that its opener set.
TEST_F(ListDlgTest, OpensOnTheMapWindowAndFreesItWhenClosed)
{
    XrMapWindowManager manager;
    auto map = std::make_unique<XrMapWindow>(hildon_program_get_instance(), nullptr, &manager, nullptr);
    for (bool modal : {false, true}) {
        SCOPED_TRACE(modal ? "modal" : "not modal");
        std::unique_ptr<XrArray<XrListDlgItem>> items(make_items(2));
        Chooser chooser;
        map->set_busy(true);
        auto* dialog = new XrListDlgMaemo(XrString(L"Over the map"), *items, -1, &chooser);
        GtkWindow* parent = nullptr;
        bool was_modal = false, busy_while_open = false;
        auto answer = [&] {
            parent = gtk_window_get_transient_for(GTK_WINDOW(dialog->get_widget()));
            was_modal = gtk_window_get_modal(GTK_WINDOW(dialog->get_widget()));
            busy_while_open = map->is_busy();
            activate_row(dialog, 1);
        };
        if (modal) {
            xr_ui_when_idle(answer);
            dialog->open(1, true);
        } else {
            dialog->open(1, false);
            answer();
        }
        EXPECT_EQ(parent, GTK_WINDOW(XrMapWindow::get_toplevel()));
        EXPECT_TRUE(was_modal);
        EXPECT_TRUE(busy_while_open);
        EXPECT_FALSE(map->is_busy());
        EXPECT_EQ(chooser.chosen, std::vector<int>{1});
    }
}

// Sends X events with xdotool, from inside the dialog's nested loop.
void xdotool(const std::vector<std::string>& args)
{
    std::vector<gchar*> argv;
    argv.push_back(const_cast<gchar*>("xdotool"));
    for (const std::string& a : args)
        argv.push_back(const_cast<gchar*>(a.c_str()));
    argv.push_back(nullptr);
    GError* error = nullptr;
    gint status = 0;
    const gboolean ran = g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr,
                                      nullptr, &status, &error);
    if (!ran) {
        ADD_FAILURE() << "xdotool: " << error->message;
        g_error_free(error);
    }
}

// On an X server of its own, so that no other test's windows take the
// focus or the pointer.
class ListDlgOverXTest : public ListDlgTest {
protected:
    void SetUp() override
    {
        gchar* found = g_find_program_in_path("xdotool");
        const bool have_xdotool = found != nullptr;
        g_free(found);
        if (!have_xdotool)
            GTEST_SKIP() << "no xdotool";
        if (!xr_own_process_display())
            GTEST_SKIP() << "no Xvfb of its own";
    }
};

// Input through the X server: keys move the cursor and Return chooses, a
// double click chooses the row under the pointer, Escape chooses nothing.
TEST_F(ListDlgOverXTest, RowChosenByKeysAndClicksThroughTheXServer)
{
    enum Input { KEYS, DOUBLE_CLICK, CLICK_THEN_OK, ESCAPE };
    struct Case {
        const char* name;
        Input input;
        int expected;
    } cases[] = {
        {"Down twice from the first row, Return", KEYS, 2},
        {"double click on the fourth row", DOUBLE_CLICK, 3},
        {"click on the second row, click OK", CLICK_THEN_OK, 1},
        {"Escape", ESCAPE, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<XrArray<XrListDlgItem>> items(make_items(5));
        Chooser chooser;
        auto* dialog = new XrListDlgMaemo(XrString(L"Through X"), *items, -1, &chooser);
        // Never hang: a dialog still open after a while is cancelled.
        const guint guard = g_timeout_add(
            8000,
            [](gpointer w) -> gboolean {
                gtk_dialog_response(GTK_DIALOG(*static_cast<GtkWidget**>(w)), GTK_RESPONSE_CANCEL);
                return FALSE;
            },
            &chooser.window);
        xr_ui_when_idle([&] {
            GtkWidget* window = dialog->get_widget();
            chooser.watch(window);
            xr_ui_run_for(300); // mapped and drawn
            const std::string xid = std::to_string(GDK_WINDOW_XID(window->window));
            GtkWidget* view = view_of(dialog);
            auto row_point = [&](int row) {
                GdkRectangle cell;
                GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
                gtk_tree_view_get_cell_area(GTK_TREE_VIEW(view), path, gtk_tree_view_get_column(GTK_TREE_VIEW(view), 0), &cell);
                gtk_tree_path_free(path);
                gint ox = 0, oy = 0;
                gdk_window_get_origin(gtk_tree_view_get_bin_window(GTK_TREE_VIEW(view)), &ox, &oy);
                return std::make_pair(ox + cell.x + cell.width / 2, oy + cell.y + cell.height / 2);
            };
            auto widget_point = [&](GtkWidget* w) {
                gint ox = 0, oy = 0;
                gdk_window_get_origin(w->window, &ox, &oy);
                return std::make_pair(ox + w->allocation.x + w->allocation.width / 2,
                                      oy + w->allocation.y + w->allocation.height / 2);
            };
            xdotool({"windowfocus", "--sync", xid});
            switch (c.input) {
            case KEYS: {
                GtkTreePath* first = gtk_tree_path_new_from_indices(0, -1);
                gtk_tree_view_set_cursor(GTK_TREE_VIEW(view), first, nullptr, FALSE);
                gtk_tree_path_free(first);
                gtk_widget_grab_focus(view);
                xr_ui_run_for(100);
                xdotool({"key", "--delay", "60", "Down", "Down", "Return"});
                break;
            }
            case DOUBLE_CLICK: {
                const auto p = row_point(3);
                xdotool({"mousemove", "--sync", std::to_string(p.first), std::to_string(p.second)});
                xdotool({"click", "--repeat", "2", "--delay", "80", "1"});
                break;
            }
            case CLICK_THEN_OK: {
                const auto p = row_point(1);
                xdotool({"mousemove", "--sync", std::to_string(p.first), std::to_string(p.second)});
                xdotool({"click", "1"});
                xr_ui_run_for(400); // no double click
                const auto ok = widget_point(XrMaemoCommon::lookup_widget(window, "ok_button"));
                xdotool({"mousemove", "--sync", std::to_string(ok.first), std::to_string(ok.second)});
                xdotool({"click", "1"});
                break;
            }
            case ESCAPE:
                xdotool({"key", "Escape"});
                break;
            }
        });
        dialog->open(1, true);
        g_source_remove(guard);
        EXPECT_EQ(chooser.chosen, std::vector<int>{c.expected});
    }
}

// Opened and closed many times, modally and not: each dialog and its
// window go away (LeakSanitizer checks at exit).
TEST_F(ListDlgTest, OpenedAndClosedAThousandTimes)
{
    std::unique_ptr<XrArray<XrListDlgItem>> items(make_items(20));
    Chooser chooser;
    for (int i = 0; i < 1000; ++i) {
        auto* dialog = new XrListDlgMaemo(XrString(L"Again"), *items, -1, &chooser);
        if (i % 10 == 0) {
            xr_ui_when_idle([dialog] { gtk_dialog_response(GTK_DIALOG(dialog->get_widget()), GTK_RESPONSE_CANCEL); });
            dialog->open(1, true);
        } else {
            dialog->open(1, false);
            gtk_dialog_response(GTK_DIALOG(dialog->get_widget()), i % 2 ? GTK_RESPONSE_OK : GTK_RESPONSE_CANCEL);
        }
    }
    EXPECT_EQ(chooser.chosen.size(), 1000u);
    while (gtk_events_pending())
        gtk_main_iteration();
    EXPECT_TRUE(xr_ui_dialogs().empty());
}

} // namespace
