// The map window on a real X display (800 x 480): the drawing cycle, keys,
// pointer input and tap-and-hold, all through injected GDK events.
#include <gdk/gdkkeysyms.h>

#include "window_test_support.h"

namespace {

using MapWindowTest = XrWindowFixture;

TEST_F(MapWindowTest, TwoQueuedRedrawsGiveOneExpose)
{
    window->redraw(true, false, 3, 4);
    window->redraw(true, false, 5, 6);
    EXPECT_TRUE(window->is_redraw_pending());
    xr_pump(100);
    EXPECT_EQ(view.notifies, 1);
    EXPECT_EQ(view.passes, (std::vector<int>{1, 2}));
    EXPECT_EQ(view.args, (std::vector<int>{5, 6}));
    EXPECT_FALSE(window->is_redraw_pending());
    EXPECT_TRUE(view.update_rect_cleared);
}

TEST_F(MapWindowTest, KeepMapRepaintsWithoutDrawingTheMap)
{
    window->redraw(false, true, -1, -1);
    EXPECT_EQ(view.notifies, 1); // immediate: drawn before redraw returns
    EXPECT_TRUE(view.passes.empty());
    window->redraw(false, false, -1, -1);
    EXPECT_EQ(view.passes, (std::vector<int>{1, 2}));
}

TEST_F(MapWindowTest, ImmediateRedrawProcessesThePendingOne)
{
    window->redraw(true, false, -1, -1);
    EXPECT_EQ(view.notifies, 0);
    window->redraw(false, false, -1, -1);
    EXPECT_EQ(view.notifies, 1);
    EXPECT_FALSE(window->is_redraw_pending());
    xr_pump(50);
    EXPECT_EQ(view.notifies, 1);
}

TEST_F(MapWindowTest, PendingFlagClearedWhenThereIsNoMap)
{
    // An expose that finds no map returns early; the next request must
    // still be drawn.
    view.map = false;
    window->redraw(true, false, -1, -1);
    xr_pump(60);
    EXPECT_FALSE(window->is_redraw_pending());
    view.map = true;
    window->redraw(true, false, -1, -1);
    xr_pump(60);
    EXPECT_EQ(view.notifies, 1);
}

TEST_F(MapWindowTest, PendingFlagClearedWhileTheWindowIsHidden)
{
    gtk_widget_hide(toplevel);
    xr_pump(30);
    window->redraw(true, false, -1, -1);
    EXPECT_FALSE(window->is_redraw_pending());
    gtk_widget_show(toplevel);
    xr_pump(100);
    window->redraw(true, false, -1, -1);
    xr_pump(60);
    EXPECT_GE(view.notifies, 1);
    EXPECT_FALSE(window->is_redraw_pending());
}

TEST_F(MapWindowTest, PictureShowsPassesAndDecorations)
{
    const int overlays = services.overlays;
    window->redraw(false, false, -1, -1);
    // Windows of tests running side by side overlap on the display, so the
    // picture is probed in the composite buffer the screen is copied from.
    XrTestPixels composite(window->get_composite_buffer());
    // Layout 1 (windowed, no route): grip at (696 - 20, 86).
    ASSERT_EQ(window->get_current_layout(), 1);
    struct {
        int x, y;
        XrColorHandle color;
    } probes[] = {
        {10, 10, 0x00A000},   // pass 1
        {105, 105, 0xFF0000}, // pass 2 (blue square)
        {680, 100, 0x0000FF}, // grip
        {675, 100, 0x00A000}, // left of the grip
        {0, 470, 0x000000},   // below the view: cleared, no down arrow outside layouts 2 and 3
    };
    for (const auto& p : probes)
        EXPECT_EQ(composite.at(p.x, p.y), p.color) << p.x << "," << p.y;
    EXPECT_EQ(services.overlays, overlays + 1);
}

TEST_F(MapWindowTest, FullScreenRouteLayoutDrawsArrows)
{
    window->set_fullscreen(true);
    services.route = true;
    window->update_layout();
    ASSERT_EQ(window->get_current_layout(), 2);
    window->redraw(false, false, -1, -1);
    XrTestPixels composite(window->get_composite_buffer());
    EXPECT_EQ(composite.at(5, 480 - 5), 0xFF00FFu);  // down arrow at (0, 470)
    EXPECT_EQ(composite.at(795, 5), 0x00FFFFu);      // right arrow at (788, 0)
    EXPECT_EQ(composite.at(785, 110), 0x0000FFu);    // grip at (780, 97)
    EXPECT_EQ(view.size.width, 772);
    EXPECT_EQ(view.size.height, 421);
    EXPECT_EQ(view.visible.right, 580);
}

TEST_F(MapWindowTest, KeysReachTheStackInOrderOncePerPress)
{
    manager.add_handler(new XrTestHandler("bottom", log));
    manager.add_handler(new XrTestHandler("top", log));
    // Up held (auto-repeat gives further presses), then released; Return.
    xr_put_key(toplevel, GDK_KEY_PRESS, GDK_Up);
    xr_put_key(toplevel, GDK_KEY_PRESS, GDK_Up);
    xr_put_key(toplevel, GDK_KEY_PRESS, GDK_Up);
    xr_put_key(toplevel, GDK_KEY_RELEASE, GDK_Up);
    xr_put_key(toplevel, GDK_KEY_PRESS, GDK_Return);
    xr_put_key(toplevel, GDK_KEY_RELEASE, GDK_Return);
    // An unmapped key blocks presses until its release.
    xr_put_key(toplevel, GDK_KEY_PRESS, GDK_a);
    xr_put_key(toplevel, GDK_KEY_PRESS, GDK_Down);
    xr_put_key(toplevel, GDK_KEY_RELEASE, GDK_a);
    xr_put_key(toplevel, GDK_KEY_PRESS, GDK_Left);
    xr_pump(50);
    EXPECT_EQ(log, (std::vector<std::string>{"top key 0", "bottom key 0", "top key 17", "bottom key 17",
                                             "top key 2", "bottom key 2"}));
}

TEST_F(MapWindowTest, KeyTableAndResults)
{
    manager.add_handler(new XrTestHandler("h", log, true));
    struct {
        guint keyval;
        int code; // -1: never dispatched
        gboolean handled;
    } cases[] = {
        {GDK_Up, 0, TRUE},      {GDK_Down, 1, TRUE},    {GDK_Left, 2, TRUE},    {GDK_Right, 3, TRUE},
        {GDK_F7, 7, TRUE},      {GDK_F8, 8, TRUE},      {GDK_Return, 17, TRUE}, {GDK_space, 22, TRUE},
        {GDK_Escape, 24, FALSE}, {GDK_F6, -1, TRUE},    {GDK_x, -1, FALSE},
    };
    const bool was_fullscreen = XrMapWindow::is_fullscreen();
    for (const auto& c : cases) {
        log.clear();
        GdkEventKey press = {};
        press.type = GDK_KEY_PRESS;
        press.keyval = c.keyval;
        GdkEventKey release = press;
        release.type = GDK_KEY_RELEASE;
        EXPECT_EQ(XrMapWindow::key_callback(toplevel, &press, window.get()), c.handled) << c.keyval;
        EXPECT_FALSE(XrMapWindow::key_callback(toplevel, &release, window.get()));
        if (c.code < 0)
            EXPECT_TRUE(log.empty()) << c.keyval;
        else
            EXPECT_EQ(log, (std::vector<std::string>{"h key " + std::to_string(c.code)})) << c.keyval;
    }
    EXPECT_NE(XrMapWindow::is_fullscreen(), was_fullscreen);
}

TEST_F(MapWindowTest, F6TogglesFullScreen)
{
    manager.add_handler(new XrTestHandler("h", log, true));
    ASSERT_FALSE(XrMapWindow::is_fullscreen());
    xr_put_key(toplevel, GDK_KEY_PRESS, GDK_F6);
    xr_put_key(toplevel, GDK_KEY_RELEASE, GDK_F6);
    xr_pump(50);
    EXPECT_TRUE(XrMapWindow::is_fullscreen());
    xr_put_key(toplevel, GDK_KEY_PRESS, GDK_F6);
    xr_put_key(toplevel, GDK_KEY_RELEASE, GDK_F6);
    xr_pump(50);
    EXPECT_FALSE(XrMapWindow::is_fullscreen());
    EXPECT_TRUE(log.empty());
}

TEST_F(MapWindowTest, ButtonsBecomeDispatches)
{
    manager.add_handler(new XrTestHandler("h", log, true));
    xr_put_button(area(), GDK_BUTTON_PRESS, 10, 20, 0);
    xr_put_button(area(), GDK_BUTTON_PRESS, 11, 21, GDK_BUTTON1_MASK | GDK_SHIFT_MASK);
    xr_put_button(area(), GDK_2BUTTON_PRESS, 12, 22, GDK_BUTTON1_MASK);
    xr_put_button(area(), GDK_BUTTON_RELEASE, 13, 23, GDK_BUTTON1_MASK | GDK_CONTROL_MASK);
    xr_put_button(area(), GDK_BUTTON_RELEASE, 14, 24, GDK_BUTTON3_MASK, 3);
    xr_pump(50);
    // No toggle button installed: flag 64 always.
    EXPECT_EQ(log, (std::vector<std::string>{"h down 10,20 1", "h down 11,21 1", "h held 11,21 81",
                                             "h held 12,22 65", "h up 13,23 73", "h up_alt 14,24 66"}));
}

TEST_F(MapWindowTest, PointerFlagsFollowToggleAndModifiers)
{
    GtkToolItem* toggle = gtk_toggle_tool_button_new();
    g_object_ref_sink(toggle);
    window->set_toolbar(nullptr, GTK_TOGGLE_TOOL_BUTTON(toggle));
    struct {
        bool active;
        guint state;
        int flags;
    } cases[] = {
        {false, 0, 64},
        {true, 0, 0},
        {true, GDK_SHIFT_MASK, 16},
        {true, GDK_CONTROL_MASK, 8},
        {true, GDK_SHIFT_MASK | GDK_CONTROL_MASK, 24},
        {true, GDK_BUTTON1_MASK, 1},
        {true, GDK_BUTTON2_MASK, 4},
        {true, GDK_BUTTON3_MASK, 2},
    };
    for (const auto& c : cases) {
        gtk_toggle_tool_button_set_active(GTK_TOGGLE_TOOL_BUTTON(toggle), c.active);
        EXPECT_EQ(window->get_pointer_flags(c.state), c.flags) << c.state;
    }
    window->set_toolbar(nullptr, nullptr);
    g_object_unref(toggle);
}

TEST_F(MapWindowTest, ControlRectangles)
{
    for (int layout = 0; layout < 4; ++layout)
        for (int ctrl = 2; ctrl <= 5; ++ctrl)
            EXPECT_EQ(XrMapWindow::get_ctrl_rectangle_of(layout, ctrl), XrRectangle()) << layout << " " << ctrl;
    EXPECT_EQ(XrMapWindow::get_ctrl_rectangle_of(0, 9), XrRectangle());
    EXPECT_EQ(XrMapWindow::get_ctrl_rectangle_of(3, 14), XrRectangle(518, 287, 658, 336));

    window->set_fullscreen(true);
    services.route = true;
    services.panel_top = 49;
    window->update_layout();
    EXPECT_EQ(window->get_ctrl_rectangle(static_cast<XrMapWindow::Control>(0)), XrRectangle(5, 67, 60, 122));
    services.route_provider = false;
    EXPECT_EQ(window->get_ctrl_rectangle(static_cast<XrMapWindow::Control>(0)), XrRectangle(5, 18, 60, 73));
}

TEST_F(MapWindowTest, OutOfRangeControlIsFatal)
{
    EXPECT_DEATH(XrMapWindow::get_ctrl_rectangle_of(0, 15), "ctrl_index >= 0 && ctrl_index < 15");
}

TEST_F(MapWindowTest, TapAndHoldOnlyOnTheOpenMap)
{
    manager.add_handler(new XrTestHandler("h", log));
    struct {
        const char* what;
        int x, y;
        bool route_provider, hold, refuse;
        bool gesture;
    } cases[] = {
        {"open map", 300, 200, true, false, false, true},
        {"control 0", 20, 20, true, false, false, false},
        {"control 6", 650, 100, true, false, false, false},
        {"outside the view", 300, 390, true, false, false, false},
        {"hold flag", 300, 200, true, true, false, false},
        {"no route provider", 300, 200, false, false, false, false},
        {"handler refuses", 300, 200, true, false, true, false},
    };
    for (const auto& c : cases) {
        services.route_provider = c.route_provider;
        services.hold = c.hold;
        static_cast<XrTestHandler*>(manager.top_handler())->refuse_tap_and_hold = c.refuse;
        log.clear();
        EXPECT_EQ(hildon_tap_and_hold_fire(area(), c.x, c.y), c.gesture) << c.what;
        const bool reached = !log.empty() && log.back() == "h tah";
        EXPECT_EQ(reached, c.gesture) << c.what;
    }
}

TEST_F(MapWindowTest, HeldStylusOpensTheGesture)
{
    manager.add_handler(new XrTestHandler("h", log));
    xr_put_button(area(), GDK_BUTTON_PRESS, 300, 200, 0);
    xr_pump(HILDON_TAP_AND_HOLD_MS + 200);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "h down 300,200 1");
    EXPECT_EQ(log.back(), "h tah");
}

TEST_F(MapWindowTest, ContentWidgetTakesThePlaceOfTheMap)
{
    GtkWidget* content = gtk_drawing_area_new();
    gtk_widget_show(content);
    window->set_content_widget(content);
    EXPECT_FALSE(window->is_ready());
    EXPECT_EQ(hildon_window_get_content(window->get_window()), content);
    // Input and redraws of the map are ignored meanwhile.
    manager.add_handler(new XrTestHandler("h", log, true));
    GdkEventKey press = {};
    press.type = GDK_KEY_PRESS;
    press.keyval = GDK_Up;
    EXPECT_FALSE(XrMapWindow::key_callback(toplevel, &press, window.get()));
    EXPECT_TRUE(log.empty());
    window->redraw(true, false, -1, -1);
    EXPECT_FALSE(window->is_redraw_pending());

    window->restore_map_widget(content);
    EXPECT_TRUE(window->is_ready());
    EXPECT_EQ(hildon_window_get_content(window->get_window()), area());
    xr_pump(100);
    window->redraw(false, false, -1, -1);
    EXPECT_GE(view.notifies, 1);
}

TEST_F(MapWindowTest, PrivateHandlerComesFirst)
{
    window.reset();
    auto* priv = new XrTestHandler("private", log);
    window = std::make_unique<XrMapWindow>(hildon_program_get_instance(), &view, &manager, priv);
    manager.add_handler(new XrTestHandler("top", log));
    EXPECT_EQ(manager.dispatch_key(1, window.get()), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"private key 1", "top key 1"}));
}

TEST_F(MapWindowTest, GpsState)
{
    struct {
        bool provider, active, fix;
        int state;
    } cases[] = {{false, true, true, 0}, {true, false, true, 1}, {true, true, false, 2}, {true, true, true, 3}};
    for (const auto& c : cases) {
        services.position_provider = c.provider;
        services.position_active = c.active;
        services.fix = c.fix;
        EXPECT_EQ(window->get_gps_state(), c.state);
    }
}

} // namespace
