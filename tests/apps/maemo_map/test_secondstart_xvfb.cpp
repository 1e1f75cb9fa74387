// A second start of the navigator brings the running one to the top and
// ends at once.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "navigator_run.h"

namespace {

bool is_green(const XrRgb& c) { return c.r < 30 && c.g > 200 && c.b < 30; }

void pump(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        while (gtk_events_pending())
            gtk_main_iteration();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TEST(SecondStartTest, RaisesTheRunningWindowAndEndsWithZero)
{
    XrSessionBus bus;
    ASSERT_FALSE(bus.address.empty());
    XrOwnDisplay display;
    ASSERT_TRUE(display.ok());
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    XrTempRoot root;
    root.make_dirs("/media/mmc2");
    XrNavigatorRun first(root);
    first.start();
    ASSERT_TRUE(first.wait_screen(30, [](GdkPixbuf* pb) { return xr_is_land(xr_pixel(pb, 300, 150)); }))
        << first.output();

    // A green window over the whole screen hides the navigator.
    GtkWidget* cover = gtk_window_new(GTK_WINDOW_POPUP);
    gtk_window_move(GTK_WINDOW(cover), 0, 0);
    gtk_window_resize(GTK_WINDOW(cover), 800, 480);
    GdkColor green = {0, 0, 0xFFFF, 0};
    gtk_widget_modify_bg(cover, GTK_STATE_NORMAL, &green);
    gtk_widget_show(cover);
    pump(500);
    ASSERT_TRUE(first.wait_screen(10, [](GdkPixbuf* pb) { return is_green(xr_pixel(pb, 300, 150)); }));

    XrNavigatorRun second(root);
    second.start();
    EXPECT_EQ(second.wait_exit(30), 0) << second.output();
    pump(200);
    EXPECT_TRUE(first.wait_screen(10, [](GdkPixbuf* pb) { return xr_is_land(xr_pixel(pb, 300, 150)); }))
        << first.output();
    gtk_widget_destroy(cover);
    EXPECT_EQ(first.terminate(), 0) << first.output();
}

} // namespace
