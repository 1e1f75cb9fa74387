// The widget helpers on real GTK widgets stored by name on a window.
#include "common/ui/dialog/xr_maemocommon.h"

#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/window/xr_mapwindowmanager.h"
#include "common/misc/xr_msgids.h"
#include "common/ui/controls/xr_command.h"
#include "platform/hildon/hildon.h"
#include "support/xr_temp_root.h"
#include "../ui_test_support.h"

#include <memory>

namespace {

std::string utf8_text(int id)
{
    XrByteArray bytes;
    XrMaemoCommon::text_to_utf8(id, bytes);
    return reinterpret_cast<const char*>(bytes.get_items());
}

// A window holding named widgets as a builder leaves them.
class MaemoCommonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XR_UI_REQUIRE_DISPLAY();
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        GtkWidget* box = gtk_vbox_new(FALSE, 0);
        gtk_container_add(GTK_CONTAINER(window), box);
        add(box, "title_label", gtk_label_new("x"));
        add(box, "ok_button", gtk_button_new_with_label("x"));
        add(box, "units_combo", gtk_combo_box_new_text());
        add(box, "name_entry", gtk_entry_new());
        add(box, "autozoom_check", gtk_check_button_new());
        GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
        add(box, "list_scroll", scrolled);
    }
    void TearDown() override
    {
        if (window != nullptr)
            gtk_widget_destroy(window);
    }
    void add(GtkWidget* box, const char* name, GtkWidget* widget)
    {
        gtk_box_pack_start(GTK_BOX(box), widget, FALSE, FALSE, 0);
        g_object_set_data(G_OBJECT(window), name, widget);
    }
    GtkWidget* get(const char* name) { return XrMaemoCommon::lookup_widget(window, name); }

    GtkWidget* window = nullptr;
};

TEST_F(MaemoCommonTest, ItemTextsGoToLabelsAndButtons)
{
    const XrMaemoCommon::ItemText rows[] = {
        {"title_label", R_STR_DLG_CANCEL, XrMaemoCommon::LABEL},
        {"ok_button", R_STR_DLG_OK, XrMaemoCommon::BUTTON},
    };
    XrMaemoCommon::set_item_texts(window, rows, 0);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(get("title_label"))), "x");
    XrMaemoCommon::set_item_texts(window, rows, 2);
    EXPECT_EQ(gtk_label_get_text(GTK_LABEL(get("title_label"))), utf8_text(R_STR_DLG_CANCEL));
    EXPECT_EQ(gtk_button_get_label(GTK_BUTTON(get("ok_button"))), utf8_text(R_STR_DLG_OK));
    EXPECT_FALSE(utf8_text(R_STR_DLG_OK).empty());

    // An identifier the table lacks gives an empty text, not a failure.
    const XrMaemoCommon::ItemText unknown[] = {{"title_label", 100000, XrMaemoCommon::LABEL}};
    XrMaemoCommon::set_item_texts(window, unknown, 1);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(get("title_label"))), "");
}

TEST_F(MaemoCommonTest, ComboTextsAreAppendedInOrderUpToTheClosingZero)
{
    XrMaemoCommon::combo_append_texts(window, "units_combo", 160, 161, 162, 163, 0);
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(get("units_combo")));
    ASSERT_EQ(gtk_tree_model_iter_n_children(model, nullptr), 4);
    for (int i = 0; i < 4; ++i) {
        XrMaemoCommon::set_combo_active(window, "units_combo", i);
        gchar* text = gtk_combo_box_get_active_text(GTK_COMBO_BOX(get("units_combo")));
        EXPECT_EQ(text, utf8_text(160 + i));
        g_free(text);
    }
    XrMaemoCommon::set_combo_active(window, "units_combo", -1);
    EXPECT_EQ(XrMaemoCommon::get_combo_active(window, "units_combo"), -1);
    XrMaemoCommon::combo_append_texts(window, "units_combo", 0);
    XrMaemoCommon::combo_append_text(window, "units_combo", XrString(L"Stra\u00dfe"));
    EXPECT_EQ(gtk_tree_model_iter_n_children(model, nullptr), 5);
}

TEST_F(MaemoCommonTest, ThinWrappersReachTheirWidgets)
{
    XrMaemoCommon::set_toggle_active(window, "autozoom_check", true);
    EXPECT_TRUE(XrMaemoCommon::get_toggle_active(window, "autozoom_check"));
    XrMaemoCommon::set_widget_sensitive(window, "ok_button", false);
    EXPECT_FALSE(GTK_WIDGET_SENSITIVE(get("ok_button")));
    XrMaemoCommon::set_button_label(window, "ok_button", XrString(L"Gehen"));
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(get("ok_button"))), "Gehen");
    XrMaemoCommon::set_label_text(window, "title_label", XrString(L"Caf\u00e9"));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(get("title_label"))), "Caf\xc3\xa9");
    XrMaemoCommon::set_window_title(window, XrString(L"Favourites"));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Favourites");

    XrMaemoCommon::set_entry_text(window, "name_entry", L"M\u00fcnchen");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(get("name_entry"))), "M\xc3\xbcnchen");
    EXPECT_TRUE(XrMaemoCommon::get_entry_text(window, "name_entry") == L"M\u00fcnchen");
    XrMaemoCommon::set_numeric_input(window, "name_entry");
    EXPECT_EQ(hildon_gtk_entry_get_input_mode(GTK_ENTRY(get("name_entry"))), HILDON_GTK_INPUT_MODE_NUMERIC);
    XrMaemoCommon::set_thumb_scrollbar(window, "list_scroll");
    EXPECT_TRUE(hildon_helper_get_thumb_scrollbar(get("list_scroll")));

    GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
    XrMaemoCommon::list_store_append_text(store, XrString(L"Home"));
    GtkTreeIter iter;
    ASSERT_TRUE(gtk_tree_model_get_iter_first(GTK_TREE_MODEL(store), &iter));
    gchar* text = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(store), &iter, 0, &text, -1);
    EXPECT_STREQ(text, "Home");
    g_free(text);
    g_object_unref(store);
}

TEST_F(MaemoCommonTest, EntryTextBeyondSixteenBitsIsReplacedNotCut)
{
    gtk_entry_set_text(GTK_ENTRY(get("name_entry")), "a\xf0\x9f\x98\x80" "b");
    const XrString text = XrMaemoCommon::get_entry_text(window, "name_entry");
    EXPECT_TRUE(text == L"a\ufffdb");
}

TEST_F(MaemoCommonTest, CommandButtonAnswersWithTheCommandIdentifier)
{
    GtkWidget* dialog = gtk_dialog_new();
    XrCommand back(0x1CEBABF, XrString(L"Back"), XrString(L"b"));
    XrCommand go(0x1CEBAC4, XrString(L"Go"), XrString());
    XrMaemoCommon::add_command_button(dialog, back);
    GtkWidget* go_button = XrMaemoCommon::add_command_button(dialog, go);
    ASSERT_NE(xr_ui_response_button(dialog, 0x1CEBABF), nullptr);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(xr_ui_response_button(dialog, 0x1CEBABF))), "Back");
    EXPECT_EQ(xr_ui_response_button(dialog, 0x1CEBAC4), go_button);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(go_button)), "Go");
    xr_ui_when_idle([&] { gtk_button_clicked(GTK_BUTTON(go_button)); });
    EXPECT_EQ(gtk_dialog_run(GTK_DIALOG(dialog)), 0x1CEBAC4);
    gtk_widget_destroy(dialog);
}

TEST_F(MaemoCommonTest, ModalDialogIsTransientForTheGivenParent)
{
    GtkWidget* dialog =
        XrMaemoCommon::create_modal_dialog([]() -> GtkWidget* { return gtk_window_new(GTK_WINDOW_TOPLEVEL); }, window);
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), GTK_WINDOW(window));
    gtk_widget_destroy(dialog);
    // No parent and no map window: no parent at all.
    dialog = XrMaemoCommon::create_modal_dialog([]() -> GtkWidget* { return gtk_window_new(GTK_WINDOW_TOPLEVEL); },
                                                nullptr);
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), nullptr);
    gtk_widget_destroy(dialog);
}

// A dialog with a small content shown after set_dialog_title.
int shown_width(bool fixed_size)
{
    GtkWidget* dialog = gtk_dialog_new();
    gtk_container_add(GTK_CONTAINER(GTK_DIALOG(dialog)->vbox), gtk_label_new("Short"));
    XrMaemoCommon::set_dialog_title(dialog, XrString(L"Title"), fixed_size);
    gtk_widget_show_all(dialog);
    xr_ui_run_for(150);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "Title");
    const int width = dialog->allocation.width;
    EXPECT_LE(dialog->allocation.height, XrMaemoCommon::FIXED_MAX_HEIGHT);
    gtk_widget_destroy(dialog);
    return width;
}

TEST_F(MaemoCommonTest, FixedSizeDialogIs660WideOutsideFullScreen)
{
    EXPECT_EQ(shown_width(true), 660);
    EXPECT_LT(shown_width(false), 660);

    XrTempRoot root;
    XrMapWindowManager manager;
    auto map = std::make_unique<XrMapWindow>(hildon_program_get_instance(), nullptr, &manager, nullptr);
    map->set_fullscreen(true);
    ASSERT_TRUE(XrMapWindow::is_fullscreen());
    EXPECT_LT(shown_width(true), 660) << "no size hints in full-screen mode";
    map->set_fullscreen(false);
    EXPECT_EQ(shown_width(true), 660);
}

TEST_F(MaemoCommonTest, MissingWidgetOrUnknownKindEndsTheProcess)
{
    EXPECT_DEATH(XrMaemoCommon::lookup_widget(window, "no_such_widget"),
                 "`no_such_widget' widget not found\n.*lookup_widget.*Assertion `false' failed");
    const XrMaemoCommon::ItemText rows[] = {{"title_label", R_STR_DLG_OK, 2}};
    EXPECT_DEATH(XrMaemoCommon::set_item_texts(window, rows, 1), "set_item_texts.*Assertion `false' failed");
    EXPECT_DEATH(XrMaemoCommon::set_label_text(window, "nothing", XrString(L"x")), "`nothing' widget not found");
}

} // namespace
