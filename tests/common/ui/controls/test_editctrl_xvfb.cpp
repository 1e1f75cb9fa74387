// Text and edit controls: labels, entries and their observers, the
// captioned entry's box, the cursor timer.
#include "common/ui/controls/xr_editctrl.h"
#include "common/ui/controls/xr_textctrl.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "support/xr_recording_loop.h"
#include "../ui_test_support.h"

#include <functional>
#include <memory>

namespace {

class CountingObserver : public XrEditCtrlObserver {
public:
    void edit_finished(XrEditCtrlBase*) override {}
    void text_changed(XrEditCtrlBase* control) override
    {
        ++calls;
        last = control->get_text();
    }
    int calls = 0;
    XrString last;
};

class EditCtrlTest : public ::testing::Test {
protected:
    void SetUp() override { XR_UI_REQUIRE_DISPLAY(); }
};

TEST_F(EditCtrlTest, TextControlShowsItsTextOnTheLabelOnly)
{
    std::unique_ptr<XrTextCtrl> text(XrTextCtrl::create(XrString(L"ignored")));
    EXPECT_TRUE(text->get_text().is_empty()) << "no label bound";
    GtkWidget* label = gtk_label_new("");
    g_object_ref_sink(label);
    text->set_native_control(label);
    text->set_text(XrString(L"Stra\u00dfe 5"));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label)), "Stra\xc3\x9f" "e 5");
    EXPECT_TRUE(text->get_text() == XrString(L"Stra\u00dfe 5"));
    text.reset();
    g_object_unref(label);
}

// The minimum size: one line in the control's font, or at a wrap width
// that width and the height of the wrapped text.
TEST_F(EditCtrlTest, TextControlMeasuresItsText)
{
    XrFontRepositoryMaemo fonts;
    fonts.initialize();
    XrSingleton::set_instance(XrString(L"XrFontRepository"), &fonts);
    XrTextCtrl text;
    text.set_font(22);
    text.set_text(XrString(L"Turn left onto the harbour road"));
    const XrSize line = text.get_minimum_size();
    EXPECT_GT(line.width, 0);
    EXPECT_GT(line.height, 0);
    text.set_wrap_width(line.width / 3);
    const XrSize wrapped = text.get_minimum_size();
    EXPECT_EQ(wrapped.width, line.width / 3);
    EXPECT_GE(wrapped.height, 2 * line.height);
    XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
    EXPECT_DEATH(text.get_minimum_size(), "font");
}

// Each emission of an edit signal tells every observer once, in the order
// they came: one edit that emits several signals notifies several times.
TEST_F(EditCtrlTest, EveryEditSignalTellsEachObserver)
{
    XrRecordingLoop loop;
    XrEditCtrl edit(&loop, 0, 0);
    CountingObserver first, second;
    edit.add_listener(&first);
    edit.add_listener(&second);
    GtkEntry* entry = GTK_ENTRY(edit.get_entry());
    int emitted = 0;
    auto count = +[](GtkWidget*, gpointer n) { ++*static_cast<int*>(n); };
    auto count_delete = +[](GtkEditable*, gint, gint, gpointer n) { ++*static_cast<int*>(n); };
    for (const char* signal : {"changed", "backspace", "activate"})
        g_signal_connect(entry, signal, G_CALLBACK(count), &emitted);
    g_signal_connect(entry, "delete-text", G_CALLBACK(count_delete), &emitted);

    struct Step {
        const char* name;
        std::function<void()> edit;
        const wchar_t* text;
    } steps[] = {
        {"set", [&] { gtk_entry_set_text(entry, "Oslo"); }, L"Oslo"},
        {"activate", [&] { g_signal_emit_by_name(entry, "activate"); }, L"Oslo"},
        {"delete", [&] { gtk_editable_delete_text(GTK_EDITABLE(entry), 2, 4); }, L"Os"},
        {"backspace", [&] { gtk_editable_set_position(GTK_EDITABLE(entry), -1); g_signal_emit_by_name(entry, "backspace"); }, L"O"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const int before = emitted, calls = first.calls;
        step.edit();
        EXPECT_GT(emitted, before);
        EXPECT_EQ(first.calls - calls, emitted - before);
        EXPECT_EQ(second.calls, first.calls);
        EXPECT_TRUE(first.last == XrString(step.text));
    }
    edit.set_text(XrString(L"Bergen"));
    EXPECT_TRUE(edit.get_text() == XrString(L"Bergen"));
    edit.remove_listener(&second);
    edit.remove_listener(&first);
}

TEST_F(EditCtrlTest, CursorBlinksOnlyWhileFocused)
{
    XrRecordingLoop loop;
    XrEditCtrl edit(&loop, 0, 0);
    edit.set_focus(true);
    edit.set_focus(true);
    ASSERT_EQ(loop.timeouts.size(), 1u) << "armed once";
    EXPECT_EQ(loop.timeouts[0].ms, XrEditCtrlBase::BLINK_MS);
    EXPECT_TRUE(edit.get_cursor_phase());
    loop.timeouts.clear();
    edit.execute(&loop, nullptr);
    EXPECT_FALSE(edit.get_cursor_phase());
    EXPECT_EQ(loop.timeouts.size(), 1u) << "armed again";
    edit.set_focus(false);
    loop.timeouts.clear();
    edit.execute(&loop, nullptr);
    EXPECT_FALSE(edit.get_cursor_phase());
    EXPECT_TRUE(loop.timeouts.empty());
}

TEST_F(EditCtrlTest, CaptionedEntryBoxHoldsWhatIsGiven)
{
    XrRecordingLoop loop;
    struct Case {
        const wchar_t* caption;
        const wchar_t* icon;
        unsigned children;
    } cases[] = {{L"", L"", 1}, {L"City", L"", 2}, {L"City", L"/nonexistent.png", 3}};
    for (const Case& c : cases) {
        XrCaptionedEditCtrl edit(&loop, XrString(c.caption), XrString(c.icon));
        GList* children = gtk_container_get_children(GTK_CONTAINER(edit.get_box()));
        EXPECT_EQ(g_list_length(children), c.children);
        EXPECT_EQ(g_list_last(children)->data, edit.get_entry());
        g_list_free(children);
        EXPECT_EQ(edit.get_control(), edit.get_box());
        if (edit.get_caption() != nullptr) {
            EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(edit.get_caption())), "City");
        }
    }
}

} // namespace
