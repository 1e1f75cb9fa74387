// Message notes and the text input dialog, answered by the test from inside
// their nested main loop.
#include "common/ui/dialog/xr_commondialogs.h"

#include "common/bmloader/xr_bitmap.h"
#include "common/misc/xr_msgids.h"
#include "common/ui/dialog/xr_maemocommon.h"
#include "platform/hildon/hildon.h"
#include "../ui_test_support.h"

namespace {

std::string utf8_text(int id)
{
    XrByteArray bytes;
    XrMaemoCommon::text_to_utf8(id, bytes);
    return reinterpret_cast<const char*>(bytes.get_items());
}

// What the test saw of the note it answered.
struct SeenNote {
    std::string text;
    std::vector<std::string> buttons; // labels by response: OK, or Yes then No
    GtkWindow* parent = nullptr;
    bool modal = false;
};

// Answers the next note with the response and records it.
void answer_note(int response, SeenNote& seen)
{
    xr_ui_when_idle([response, &seen] {
        GtkWidget* note = hildon_find_toplevel(HILDON_NOTE_NAME);
        ASSERT_NE(note, nullptr);
        seen.text = hildon_note_get_text(note);
        seen.parent = gtk_window_get_transient_for(GTK_WINDOW(note));
        seen.modal = gtk_window_get_modal(GTK_WINDOW(note));
        for (int r : {GTK_RESPONSE_OK, GTK_RESPONSE_YES, GTK_RESPONSE_NO})
            if (GtkWidget* b = xr_ui_response_button(note, r))
                seen.buttons.push_back(gtk_button_get_label(GTK_BUTTON(b)));
        gtk_dialog_response(GTK_DIALOG(note), response);
    });
}

class CommonDialogsTest : public ::testing::Test {
protected:
    void SetUp() override { XR_UI_REQUIRE_DISPLAY(); }
    void TearDown() override { EXPECT_EQ(hildon_find_toplevel(HILDON_NOTE_NAME), nullptr) << "note left open"; }
};

TEST_F(CommonDialogsTest, OneButtonNotesShowTitleAndMessage)
{
    struct {
        void (*show)();
        const char* text;
    } cases[] = {
        {[] { XrCommonDialogs::show_info_msg(XrString(L"GPS"), XrString(L"No fix yet")); }, "GPS\n\nNo fix yet"},
        {[] { XrCommonDialogs::show_error_msg(XrString(L"Map"), XrString(L"Card missing")); }, "Map\n\nCard missing"},
        {[] { XrCommonDialogs::show_msg(XrString(L"Route ready")); }, "Route ready"},
    };
    for (const auto& c : cases) {
        SeenNote seen;
        answer_note(GTK_RESPONSE_OK, seen);
        c.show();
        EXPECT_EQ(seen.text, c.text);
        EXPECT_EQ(seen.buttons, std::vector<std::string>{utf8_text(R_STR_DLG_OK)});
        EXPECT_TRUE(seen.modal);
        EXPECT_EQ(seen.parent, nullptr) << "no map window: no parent";
    }
}

TEST_F(CommonDialogsTest, QueryIsTrueOnlyForYes)
{
    struct {
        int response;
        bool result;
    } cases[] = {{GTK_RESPONSE_YES, true}, {GTK_RESPONSE_NO, false}, {GTK_RESPONSE_DELETE_EVENT, false}};
    for (const auto& c : cases) {
        SeenNote seen;
        answer_note(c.response, seen);
        EXPECT_EQ(XrCommonDialogs::show_query_msg(XrString(L"Exit"), XrString(L"Stop navigating?")), c.result);
        EXPECT_EQ(seen.text, "Exit\n\nStop navigating?");
        EXPECT_EQ(seen.buttons, (std::vector<std::string>{utf8_text(R_STR_TRAFFIC_YES), utf8_text(R_STR_TRAFFIC_NO)}));
    }
    SeenNote seen;
    answer_note(GTK_RESPONSE_YES, seen);
    XrIcon icon;
    EXPECT_TRUE(XrCommonDialogs::show_query_msg(XrString(L"A"), XrString(L"B"), nullptr, 3, icon));
}

TEST_F(CommonDialogsTest, NoteIsTransientForTheGivenParentAndReturnsTheResponse)
{
    GtkWidget* parent = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    SeenNote seen;
    answer_note(GTK_RESPONSE_NO, seen);
    const XrString title(L"T");
    EXPECT_EQ(XrCommonDialogs::show_note(XrString(L"M"), &title, XrCommonDialogs::NOTE_QUERY,
                                         XrCommonDialogs::BUTTONS_YES_NO, GTK_WINDOW(parent)),
              GTK_RESPONSE_NO);
    EXPECT_EQ(seen.parent, GTK_WINDOW(parent));
    gtk_widget_destroy(parent);
}

// The speed dials (4 to 9) are chosen here: the number is typed or kept.
TEST_F(CommonDialogsTest, NumberChoiceReturnsTheNumberInItsRange)
{
    struct Case {
        int initial;
        const char* typed; // null: left as shown
        int response;
        bool result;
        int value;
    } cases[] = {
        {7, "5", GTK_RESPONSE_OK, true, 5},
        {7, nullptr, GTK_RESPONSE_OK, true, 7},
        {2, nullptr, GTK_RESPONSE_OK, true, 4},   // starts inside the range
        {7, "12", GTK_RESPONSE_OK, true, 9},      // typed beyond the end
        {7, "5", GTK_RESPONSE_CANCEL, false, 7},
        {7, "5", GTK_RESPONSE_DELETE_EVENT, false, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.initial << " " << (c.typed ? c.typed : "-") << " " << c.response);
        std::string seen_title, seen_shown;
        xr_ui_when_idle([&] {
            std::vector<GtkWidget*> open = xr_ui_dialogs();
            ASSERT_FALSE(open.empty());
            GtkWidget* dialog = open.back();
            seen_title = gtk_window_get_title(GTK_WINDOW(dialog));
            GtkWidget* spin = xr_ui_find_child(dialog, GTK_TYPE_SPIN_BUTTON);
            ASSERT_NE(spin, nullptr);
            seen_shown = gtk_entry_get_text(GTK_ENTRY(spin));
            if (c.typed != nullptr)
                gtk_entry_set_text(GTK_ENTRY(spin), c.typed);
            gtk_dialog_response(GTK_DIALOG(dialog), c.response);
        });
        int value = c.initial;
        EXPECT_EQ(XrCommonDialogs::show_number_dlg(XrString(L"Speed dial"), XrString(L"Number"), value, 4, 9),
                  c.result);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(seen_title, "Speed dial");
        EXPECT_EQ(seen_shown, std::to_string(c.initial < 4 ? 4 : c.initial));
        EXPECT_TRUE(xr_ui_dialogs().empty());
    }
    int value = 3;
    EXPECT_FALSE(XrCommonDialogs::show_number_dlg(XrString(L"Empty"), XrString(), value, 9, 4));
    EXPECT_EQ(value, 3);
}

// The input dialog open now (the one titled title).
GtkWidget* input_dialog(const char* title)
{
    for (GtkWidget* d : xr_ui_dialogs())
        if (g_strcmp0(gtk_window_get_title(GTK_WINDOW(d)), title) == 0)
            return d;
    return nullptr;
}

bool ok_sensitive(GtkWidget* dialog)
{
    return GTK_WIDGET_SENSITIVE(xr_ui_response_button(dialog, GTK_RESPONSE_OK));
}

TEST_F(CommonDialogsTest, EmptyInputCannotBeConfirmedUntilSomethingIsTyped)
{
    XrString text;
    bool checked = false;
    xr_ui_when_idle([&] {
        GtkWidget* dialog = input_dialog("Favourite name");
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
        EXPECT_EQ(xr_ui_button_labels(dialog).size(), 2u);
        EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(xr_ui_response_button(dialog, GTK_RESPONSE_OK))),
                     utf8_text(R_STR_DLG_OK).c_str());
        EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(xr_ui_response_button(dialog, GTK_RESPONSE_CANCEL))),
                     utf8_text(R_STR_DLG_CANCEL).c_str());
        GtkWidget* caption = xr_ui_find_child(GTK_DIALOG(dialog)->vbox, GTK_TYPE_HBOX);
        ASSERT_NE(caption, nullptr);
        EXPECT_STREQ(hildon_caption_get_label(caption), "Name");
        EXPECT_EQ(hildon_caption_get_status(caption), HILDON_CAPTION_MANDATORY);
        GtkWidget* entry = hildon_caption_get_control(caption);
        ASSERT_TRUE(entry != nullptr && GTK_IS_ENTRY(entry));
        EXPECT_EQ(gtk_entry_get_max_length(GTK_ENTRY(entry)), 20);
        EXPECT_EQ(hildon_gtk_entry_get_input_mode(GTK_ENTRY(entry)), HILDON_GTK_INPUT_MODE_FULL);

        EXPECT_FALSE(ok_sensitive(dialog));
        gtk_entry_set_text(GTK_ENTRY(entry), "H");
        EXPECT_TRUE(ok_sensitive(dialog));
        gtk_entry_set_text(GTK_ENTRY(entry), "");
        EXPECT_FALSE(ok_sensitive(dialog));
        gtk_entry_set_text(GTK_ENTRY(entry), "Home \xc3\xa9");
        xr_ui_run_for(100);
        EXPECT_EQ(dialog->allocation.width, 660);
        checked = true;
        gtk_button_clicked(GTK_BUTTON(xr_ui_response_button(dialog, GTK_RESPONSE_OK)));
    });
    EXPECT_TRUE(XrCommonDialogs::show_input_dlg(XrString(L"Favourite name"), XrString(L"Name"), text, 20, false));
    EXPECT_TRUE(checked);
    EXPECT_TRUE(text == L"Home \u00e9");
}

TEST_F(CommonDialogsTest, CancelOrCloseLeavesTheTextAlone)
{
    for (int response : {GTK_RESPONSE_CANCEL, GTK_RESPONSE_DELETE_EVENT}) {
        XrString text(L"1234");
        xr_ui_when_idle([response] {
            GtkWidget* dialog = input_dialog("PIN");
            ASSERT_NE(dialog, nullptr);
            GtkWidget* entry = xr_ui_find_child(GTK_DIALOG(dialog)->vbox, GTK_TYPE_ENTRY);
            ASSERT_NE(entry, nullptr);
            EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry)), "1234");
            EXPECT_TRUE(ok_sensitive(dialog)) << "initial text: OK possible";
            EXPECT_EQ(hildon_gtk_entry_get_input_mode(GTK_ENTRY(entry)), HILDON_GTK_INPUT_MODE_NUMERIC);
            EXPECT_EQ(xr_ui_find_child(GTK_DIALOG(dialog)->vbox, GTK_TYPE_HBOX), nullptr) << "no caption";
            gtk_entry_set_text(GTK_ENTRY(entry), "99");
            gtk_dialog_response(GTK_DIALOG(dialog), response);
        });
        EXPECT_FALSE(XrCommonDialogs::show_input_dlg(XrString(L"PIN"), XrString(), text, 4, true));
        EXPECT_TRUE(text == L"1234");
    }
}

} // namespace
