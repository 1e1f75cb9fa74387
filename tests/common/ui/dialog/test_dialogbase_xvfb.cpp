// The dialog base over its GTK implementation: windows of its own (buttons
// from commands, the title on a modal show) and builder-made windows (no
// buttons added, deleted with their run, controls deleted with them); the
// application bases' standard commands.
#include "common/ui/dialog/xr_corvaneldialog.h"

#include "common/misc/xr_msgids.h"
#include "common/ui/dialog/xr_builders.h"
#include "common/ui/dialog/xr_dialogimpl_maemo.h"
#include "common/ui/dialog/xr_maemocommon.h"
#include "support/xr_english_texts.h"
#include "../ui_test_support.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Notes its own deletion.
class TracedControl : public XrControlBase {
public:
    explicit TracedControl(bool* deleted) : XrControlBase(gtk_label_new("control")), deleted(deleted)
    {
        g_object_ref_sink(get_control());
    }
    ~TracedControl() override
    {
        *deleted = true;
        gtk_widget_destroy(static_cast<GtkWidget*>(get_control()));
        g_object_unref(get_control());
    }
    bool* deleted;
};

class TracedDialog : public XrDialogBase {
public:
    explicit TracedDialog(bool* deleted) : deleted(deleted) {}
    ~TracedDialog() override { *deleted = true; }
    void create_controls() override
    {
        set_title(XrString(L"Add-on dialog"));
        add_command(11, XrString(L"Go"), 0, 0);
        add_command(XrCommand(12, XrString(L"Stop"), XrString(L"second"), 0, 0));
        if (control != nullptr)
            add_control(0, control, true);
    }
    void handle_command(int id) override
    {
        commands.push_back(id);
        if (id == 12)
            hide();
    }
    bool* deleted;
    XrControlBase* control = nullptr;
    std::vector<int> commands;
};

// Button labels in any order (the action area lists them from its end).
std::vector<std::string> sorted(std::vector<std::string> labels)
{
    std::sort(labels.begin(), labels.end());
    return labels;
}

GtkWidget* window_of(XrDialogBase& dialog)
{
    return static_cast<XrDialogImplMaemo*>(dialog.get_impl())->get_widget();
}

class DialogBaseTest : public ::testing::Test {
protected:
    void SetUp() override { XR_UI_REQUIRE_DISPLAY(); }
    EnglishTexts texts;
};

// An own window shown modally gets its title and exactly the commands'
// buttons; a button's command reaches handle_command, and hide ends the run.
TEST_F(DialogBaseTest, OwnWindowRunsWithTheCommandsAsButtons)
{
    bool deleted = false, control_deleted = false;
    auto* dialog = new TracedDialog(&deleted);
    dialog->control = new TracedControl(&control_deleted);
    dialog->construct(nullptr);
    std::string title;
    std::vector<std::string> labels;
    bool control_shown = false;
    xr_ui_when_idle([&] {
        GtkWidget* window = window_of(*dialog);
        title = gtk_window_get_title(GTK_WINDOW(window));
        labels = xr_ui_button_labels(window);
        control_shown = GTK_WIDGET_VISIBLE(static_cast<GtkWidget*>(dialog->control->get_control()));
        gtk_button_clicked(GTK_BUTTON(xr_ui_response_button(window, 11)));
        gtk_button_clicked(GTK_BUTTON(xr_ui_response_button(window, 12)));
    });
    dialog->show(true);
    EXPECT_EQ(title, "Add-on dialog");
    EXPECT_EQ(sorted(labels), (std::vector<std::string>{"Go", "Stop"}));
    EXPECT_TRUE(control_shown) << "children shown with the window";
    EXPECT_EQ(dialog->commands, (std::vector<int>{11, 12}));
    EXPECT_FALSE(deleted) << "an own window's dialog stays with its owner";
    XrControlBase* control = dialog->control;
    delete dialog;
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(control_deleted) << "an own window leaves its controls to their owner";
    delete control;
}

TEST_F(DialogBaseTest, NonModalOwnWindowKeepsItsTitleUntouched)
{
    bool deleted = false;
    TracedDialog* dialog = new TracedDialog(&deleted);
    dialog->construct(nullptr);
    dialog->show(false);
    GtkWidget* window = window_of(*dialog);
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(window));
    EXPECT_EQ(gtk_window_get_title(GTK_WINDOW(window)), nullptr);
    delete dialog;
}

// A builder-made window gets no buttons from commands; its modal run ends
// with the dialog deleted, and the controls added to it with it.
TEST_F(DialogBaseTest, BuilderWindowRunDeletesTheDialogAndItsControls)
{
    bool deleted = false, control_deleted = false;
    auto* dialog = new TracedDialog(&deleted);
    dialog->control = new TracedControl(&control_deleted);
    dialog->construct(create_list_dlg());
    GtkWidget* window = window_of(*dialog);
    g_object_add_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer*>(&window));
    const std::vector<std::string> before = xr_ui_button_labels(window);
    std::vector<std::string> during;
    xr_ui_when_idle([&] {
        during = xr_ui_button_labels(window);
        gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_CANCEL);
    });
    dialog->show(true);
    EXPECT_EQ(during, before) << "commands add no buttons to a builder-made window";
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(control_deleted);
    EXPECT_EQ(window, nullptr);
}

TEST_F(DialogBaseTest, MisuseEndsTheProcess)
{
    bool deleted = false;
    TracedDialog dialog(&deleted);
    EXPECT_DEATH(dialog.set_title(XrString(L"x")), "dialog_impl");
    dialog.construct(nullptr);
    EXPECT_DEATH(dialog.construct(nullptr), "dialog_impl == 0");
    XrControlBase bare;
    EXPECT_DEATH(dialog.set_focused_control(&bare), "control->get_control\\(\\)");
    EXPECT_DEATH(dialog.handle_hotkey(), "Assertion `false' failed");
}

std::string utf8_text(int id)
{
    XrByteArray bytes;
    XrMaemoCommon::text_to_utf8(id, bytes);
    return reinterpret_cast<const char*>(bytes.get_items());
}

// The standard commands as buttons of an own window: close has no button
// of its own; help only with a help page; data dialogs add cancel.
TEST_F(DialogBaseTest, StandardCommandsOfTheApplicationDialogs)
{
    class Plain : public XrCorvanelDialog {
    public:
        void create_controls() override { add_standard_commands(); }
    };
    class Data : public XrCorvanelDataDialog {
    public:
        void create_controls() override { add_standard_commands(); }
    };
    const std::string exit = utf8_text(R_MENU_MAIN_EXIT), help = utf8_text(R_MENU_MAIN_HELP),
                      cancel = utf8_text(R_STR_DLG_FW_CMD_CANCEL);
    ASSERT_NE(exit.rfind("r_", 0), 0u);
    struct Case {
        const char* name;
        XrCorvanelDialog* dialog;
        int help_page;
        std::vector<std::string> buttons;
    } cases[] = {
        {"plain", new Plain(), 0, {exit}},
        {"with help", new Plain(), 4, {exit, help}},
        {"data", new Data(), 0, {exit, cancel}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.dialog->set_help_page(c.help_page);
        c.dialog->open(1, false);
        EXPECT_EQ(sorted(xr_ui_button_labels(window_of(*c.dialog))), sorted(c.buttons));
        // Cancel of a data dialog and close hide it.
        c.dialog->handle_command(c.help_page == 0 && dynamic_cast<Data*>(c.dialog) ? XrCorvanelDialog::CMD_DATA_CANCEL
                                                                                   : XrCorvanelDialog::CMD_CLOSE);
        EXPECT_FALSE(GTK_WIDGET_VISIBLE(window_of(*c.dialog)));
        delete c.dialog;
    }
}

} // namespace
