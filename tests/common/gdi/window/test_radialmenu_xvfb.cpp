// The radial menu: built from its data, run as a popup, answered by
// activation, dismissal or stray releases; opened by tap-and-hold on the map.
#include <gdk/gdkkeysyms.h>

#include "common/gdi/window/xr_radialmenu.h"
#include "common/os/xr_eventloop.h"
#include "support/xr_english_texts.h"
#include "window_test_support.h"

namespace {

class RadialMenuTest : public XrWindowFixture {
protected:
    void SetUp() override
    {
        XrWindowFixture::SetUp();
        if (IsSkipped())
            return;
        // Strip of 3 icons of 16 x 16: red, green, blue.
        GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 48, 16);
        const guint32 colors[3] = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF};
        for (int i = 0; i < 3; ++i) {
            GdkPixbuf* cell = gdk_pixbuf_new_subpixbuf(pb, i * 16, 0, 16, 16);
            gdk_pixbuf_fill(cell, colors[i]);
            g_object_unref(cell);
        }
        gdk_pixbuf_save(pb, (root->make_dirs("/usr/share/kestrova/images") + "/rmactions_maemo.png").c_str(),
                        "png", nullptr, nullptr);
        g_object_unref(pb);

        data.ring[0] = {10, 0, 100, false};
        data.ring[1] = {11, 1, 101, true};
        data.ring[2] = {12, 2, 102, false};
        data.ring[3] = {13, 1, 103, false};
        data.add_item(14, 2, 200);
        data.add_item(15, 0, 201);
    }

    // The menu's items in order, their commands.
    static std::vector<int> commands(GtkWidget* menu)
    {
        std::vector<int> out;
        GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
        for (GList* l = items; l != nullptr; l = l->next)
            out.push_back(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(l->data), "cmd_id")));
        g_list_free(items);
        return out;
    }
    static GtkWidget* item_at(GtkWidget* menu, int index)
    {
        GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
        GtkWidget* item = GTK_WIDGET(g_list_nth_data(items, index));
        g_list_free(items);
        return item;
    }

    // Runs the menu with `answer` called once it is up.
    int run(int& command, void (*answer)(GtkWidget* menu, RadialMenuTest* self))
    {
        XrString title(L"Here");
        XrRadialMenu menu(&data, nullptr, nullptr, 0, window.get(), &loop, title, nullptr);
        pending_answer = answer;
        g_timeout_add(
            50,
            [](gpointer p) -> gboolean {
                auto* self = static_cast<RadialMenuTest*>(p);
                GtkWidget* open = XrRadialMenu::get_open_menu();
                if (open == nullptr || !GTK_WIDGET_MAPPED(open))
                    return TRUE; // not up yet
                self->pending_answer(open, self);
                return FALSE;
            },
            this);
        return menu.show_at(XrPoint(300, 200), command, 0);
    }

public:
    EnglishTexts texts;
    XrEventLoop loop;
    XrRadialMenuData data;
    void (*pending_answer)(GtkWidget*, RadialMenuTest*) = nullptr;
    std::vector<int> seen_commands;
    std::vector<XrColorHandle> seen_icons;
};

TEST_F(RadialMenuTest, ShownRingEntriesThenFurtherOnesAndActivation)
{
    int command = -7;
    const int result = run(command, [](GtkWidget* menu, RadialMenuTest* self) {
        self->seen_commands = commands(menu);
        xr_pump(150); // let the menu paint
        // Icon pixels of the first three items: red, blue (ring 2), green.
        for (int i = 0; i < 3; ++i) {
            GtkWidget* image = gtk_image_menu_item_get_image(GTK_IMAGE_MENU_ITEM(item_at(menu, i)));
            XrTestPixels px(image->window);
            self->seen_icons.push_back(px.at(image->allocation.x + image->allocation.width / 2,
                                             image->allocation.y + image->allocation.height / 2));
        }
        gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu), item_at(menu, 3), TRUE);
    });
    EXPECT_EQ(seen_commands, (std::vector<int>{100, 102, 103, 200, 201}));
    EXPECT_EQ(seen_icons, (std::vector<XrColorHandle>{0x0000FF, 0xFF0000, 0x00FF00}));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(command, 200);
    EXPECT_EQ(XrRadialMenu::get_open_menu(), nullptr);
}

TEST_F(RadialMenuTest, DismissalLeavesTheCommand)
{
    int command = -7;
    EXPECT_EQ(run(command, [](GtkWidget* menu, RadialMenuTest*) { gtk_menu_shell_cancel(GTK_MENU_SHELL(menu)); }),
              0);
    EXPECT_EQ(command, -7);
}

TEST_F(RadialMenuTest, ReleaseOfTheOpeningTapActivatesNothing)
{
    int command = -7;
    const int result = run(command, [](GtkWidget* menu, RadialMenuTest*) {
        GtkWidget* item = item_at(menu, 0);
        gtk_menu_shell_select_item(GTK_MENU_SHELL(menu), item);
        xr_put_button(menu, GDK_BUTTON_RELEASE, item->allocation.x + 5, item->allocation.y + 5, GDK_BUTTON1_MASK);
        g_timeout_add(
            150,
            [](gpointer m) -> gboolean {
                // Still open: the release was swallowed.
                if (XrRadialMenu::get_open_menu() == m)
                    gtk_menu_shell_cancel(GTK_MENU_SHELL(m));
                return FALSE;
            },
            menu);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(command, -7);
}

TEST_F(RadialMenuTest, FurtherEntriesGrowOneByOne)
{
    XrRadialMenuData d;
    for (int i = 0; i < 5; ++i)
        d.add_item(i, i, 300 + i);
    ASSERT_EQ(d.get_item_count(), 5);
    EXPECT_EQ(d.get_item(4).command, 304);
    EXPECT_EQ(d.get_item(2).icon_index, 2);
    d.clear_items();
    EXPECT_EQ(d.get_item_count(), 0);
}

TEST_F(RadialMenuTest, RequiredArgumentsAreFatal)
{
    XrString title;
    EXPECT_DEATH(XrRadialMenu(nullptr, nullptr, nullptr, 0, window.get(), &loop, title, nullptr), "menu");
    EXPECT_DEATH(XrRadialMenu(&data, nullptr, nullptr, 0, nullptr, &loop, title, nullptr), "wnd");
}

// The application's handler opens the menu on tap-and-hold at the point of
// the last press.
class OpensRadialMenu : public XrWindowEventHandler {
public:
    OpensRadialMenu(XrRadialMenuData* data, XrEventloopBase* loop) : m_data(data), m_loop(loop) {}
    int pointer_down(int x, int y, int, XrMapWindow*) override
    {
        m_point = XrPoint(x, y);
        return 0;
    }
    int can_tap_and_hold(int, int, XrMapWindow*) override { return 1; }
    int tap_and_hold(XrMapWindow* window) override
    {
        XrString title;
        XrRadialMenu menu(m_data, nullptr, nullptr, 0, window, m_loop, title, nullptr);
        opened_at = m_point;
        result = menu.show_at(m_point, command, 0);
        return 1;
    }
    XrPoint opened_at;
    int command = 0;
    int result = -1;

private:
    XrRadialMenuData* m_data;
    XrEventloopBase* m_loop;
    XrPoint m_point;
};

TEST_F(RadialMenuTest, HoldOnTheMapOpensIt)
{
    auto* handler = new OpensRadialMenu(&data, &loop);
    manager.add_handler(handler);
    g_timeout_add(
        20,
        [](gpointer) -> gboolean {
            GtkWidget* open = XrRadialMenu::get_open_menu();
            if (open == nullptr || !GTK_WIDGET_MAPPED(open))
                return TRUE;
            gtk_menu_shell_activate_item(GTK_MENU_SHELL(open), item_at(open, 1), TRUE);
            return FALSE;
        },
        nullptr);
    xr_put_button(area(), GDK_BUTTON_PRESS, 300, 200, 0);
    ASSERT_TRUE(xr_pump_until([&] { return handler->result >= 0; }, HILDON_TAP_AND_HOLD_MS + 3000));
    EXPECT_EQ(handler->opened_at, XrPoint(300, 200));
    EXPECT_EQ(handler->result, 1);
    EXPECT_EQ(handler->command, 102);
}

} // namespace
