// The map window's start-up picture, toolbar and toggle button, map buffer,
// and the replacement of its view and manager, on a real X display.
#include <gdk/gdkkeysyms.h>

#include "common/bmloader/xr_bitmap.h"
#include "window_test_support.h"

namespace {

constexpr XrColorHandle splash_color = 0x80402A; // r 42, g 64, b 128

class MapWindowSetupTest : public XrWindowFixture {
protected:
    // What the drawing area shows now, read back from the X server.
    XrColorHandle screen_at(int x, int y) const
    {
        gdk_flush();
        return XrTestPixels(GDK_DRAWABLE(area()->window)).at(x, y);
    }
    // A toolbar with a toggle button in the window, installed as the
    // window's toolbar.
    GtkToggleToolButton* add_toolbar()
    {
        GtkWidget* toolbar = gtk_toolbar_new();
        GtkToolItem* toggle = gtk_toggle_tool_button_new();
        gtk_toolbar_insert(GTK_TOOLBAR(toolbar), toggle, 0);
        hildon_window_add_toolbar(window->get_window(), GTK_TOOLBAR(toolbar));
        gtk_widget_show_all(toolbar);
        window->set_toolbar(toolbar, GTK_TOGGLE_TOOL_BUTTON(toggle));
        return GTK_TOGGLE_TOOL_BUTTON(toggle);
    }
};

TEST_F(MapWindowSetupTest, SplashShowsUntilFreedAndTheMapComes)
{
    xr_write_png(root->dir() + "/usr/share/kestrova/images/splash.png", 800, 480, splash_color);
    view.map = false; // start-up: the map is not open yet
    window->show_splash();
    EXPECT_TRUE(XrMapWindow::is_fullscreen());
    ASSERT_NE(window->get_splash(), nullptr);
    EXPECT_EQ(window->get_splash()->width(), 800);
    window->redraw(false, false, -1, -1);
    EXPECT_EQ(screen_at(10, 10), splash_color);
    EXPECT_EQ(screen_at(400, 300), splash_color);
    EXPECT_TRUE(view.passes.empty());

    window->free_splash();
    EXPECT_EQ(window->get_splash(), nullptr);
    view.map = true;
    window->redraw(false, false, -1, -1);
    EXPECT_EQ(view.passes, (std::vector<int>{1, 2}));
    EXPECT_EQ(screen_at(10, 10), view.pass1_color);
    window->free_splash(); // twice: nothing left to free
}

TEST_F(MapWindowSetupTest, MissingSplashPictureStillGoesFullScreen)
{
    window->show_splash();
    EXPECT_TRUE(XrMapWindow::is_fullscreen());
    EXPECT_EQ(window->get_splash(), nullptr);
    window->redraw(false, false, -1, -1);
    EXPECT_EQ(screen_at(10, 10), view.pass1_color);
}

TEST_F(MapWindowSetupTest, WithoutToolbarOrToggleTheOperationsDoNothing)
{
    window->show_toolbar(true);
    window->show_toolbar(false);
    EXPECT_TRUE(window->is_toggle_off());
    window->set_toggle_off(false);
    EXPECT_TRUE(window->is_toggle_off());
    EXPECT_EQ(window->get_pointer_flags(0), XrMapWindow::FlagToggleOff);
}

TEST_F(MapWindowSetupTest, ToggleFollowsSetToggleOffAndThePointerFlags)
{
    GtkToggleToolButton* toggle = add_toolbar();
    struct {
        bool off;
        bool active;
        int flags;
    } cases[] = {{false, true, 0}, {true, false, XrMapWindow::FlagToggleOff}, {false, true, 0}};
    for (const auto& c : cases) {
        window->set_toggle_off(c.off);
        EXPECT_EQ(gtk_toggle_tool_button_get_active(toggle) != FALSE, c.active) << c.off;
        EXPECT_EQ(window->is_toggle_off(), c.off);
        EXPECT_EQ(window->get_pointer_flags(0), c.flags) << c.off;
    }
    // A person's click on the button reads the same way.
    gtk_toggle_tool_button_set_active(toggle, FALSE);
    EXPECT_TRUE(window->is_toggle_off());
}

TEST_F(MapWindowSetupTest, ShowToolbarHidesAndShowsItAndTheViewRectFollows)
{
    add_toolbar();
    xr_pump(50);
    window->update_layout();
    ASSERT_EQ(window->get_current_layout(), 1); // windowed, no route
    EXPECT_EQ(window->get_view_rect().bottom, 362);
    window->show_toolbar(false);
    EXPECT_FALSE(GTK_WIDGET_VISIBLE(window->get_toolbar()));
    EXPECT_EQ(window->get_view_rect().bottom, 396);
    window->show_toolbar(true);
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(window->get_toolbar()));
    EXPECT_EQ(window->get_view_rect().bottom, 362);
}

TEST_F(MapWindowSetupTest, BufferDcIsTheMapBufferOfTheWindowSize)
{
    XrDCHandleRec* buffer = window->get_buffer_dc();
    ASSERT_NE(buffer, nullptr);
    EXPECT_NE(buffer, window->get_composite_buffer());
    int w = 0, h = 0;
    XrGDI::get_dc_size(buffer, &w, &h);
    EXPECT_EQ(w, window->get_width());
    EXPECT_EQ(h, window->get_height());
    // What the application draws there is what pass 1 drew: the map.
    window->redraw(false, false, -1, -1);
    EXPECT_EQ(XrTestPixels(buffer).at(5, 5), view.pass1_color);
    // A resize makes a buffer of the new size.
    gtk_window_resize(GTK_WINDOW(toplevel), 640, 400);
    ASSERT_TRUE(xr_pump_until([&] { return window->get_width() == 640; }));
    XrGDI::get_dc_size(window->get_buffer_dc(), &w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 400);
}

TEST_F(MapWindowSetupTest, SetViewRedirectsDrawingAndTellsTheView)
{
    XrTestView other;
    other.pass1_color = 0x0000C0;
    window->set_view(&other);
    EXPECT_EQ(other.window, window.get());
    EXPECT_EQ(window->get_view(), &other);
    window->redraw(false, false, -1, -1);
    EXPECT_EQ(other.passes, (std::vector<int>{1, 2}));
    EXPECT_TRUE(view.passes.empty());
    EXPECT_EQ(screen_at(10, 10), other.pass1_color);

    // Without a view the window paints nothing and asks nobody.
    window->set_view(nullptr);
    other.passes.clear();
    window->redraw(false, false, -1, -1);
    EXPECT_TRUE(other.passes.empty());
    EXPECT_FALSE(window->is_redraw_pending());
    window->set_view(&view);
}

TEST_F(MapWindowSetupTest, SetManagerTakesTheInputOfTheWindow)
{
    manager.add_handler(new XrTestHandler("old", log));
    XrMapWindowManager other;
    other.add_handler(new XrTestHandler("new", log));
    window->set_manager(&other);
    EXPECT_EQ(window->get_manager(), &other);
    xr_put_key(toplevel, GDK_KEY_PRESS, GDK_Up);
    xr_put_key(toplevel, GDK_KEY_RELEASE, GDK_Up);
    xr_pump(50);
    EXPECT_EQ(log, (std::vector<std::string>{"new key 0"}));
    window->set_manager(&manager);
}

TEST_F(MapWindowSetupTest, PrivateHandlerPassesOnToTheNewManager)
{
    window.reset();
    auto* priv = new XrTestHandler("private", log);
    window = std::make_unique<XrMapWindow>(hildon_program_get_instance(), &view, &manager, priv);
    manager.add_handler(new XrTestHandler("old", log));
    XrMapWindowManager other;
    other.add_handler(new XrTestHandler("new", log));
    window->set_manager(&other);
    other.dispatch_key(1, window.get());
    EXPECT_EQ(log, (std::vector<std::string>{"private key 1", "new key 1"}));
    window.reset(); // before `other`, which the private handler names
}

TEST_F(MapWindowSetupTest, MapOriginIsWhereTheDrawingAreaSits)
{
    EXPECT_EQ(window->get_map_origin().x, 0);
    EXPECT_EQ(window->get_map_origin().y, 0);
    // The toolbar of this window sits under the map: the origin stays where
    // the drawing area is.
    add_toolbar();
    ASSERT_TRUE(xr_pump_until([&] { return window->get_toolbar()->allocation.y > 0; }));
    EXPECT_GE(window->get_toolbar()->allocation.y, area()->allocation.y + area()->allocation.height);
    EXPECT_EQ(window->get_map_origin().x, area()->allocation.x);
    EXPECT_EQ(window->get_map_origin().y, area()->allocation.y);
    // With a route the toolbar goes; the map keeps its origin.
    services.route = true;
    window->update_layout();
    ASSERT_TRUE(xr_pump_until([&] { return !GTK_WIDGET_VISIBLE(window->get_toolbar()); }));
    EXPECT_EQ(window->get_map_origin().y, 0);
}

} // namespace
