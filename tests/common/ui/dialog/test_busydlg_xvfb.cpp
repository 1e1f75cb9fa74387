// The busy indication: banners, the cancellable message box and the one
// current widget shared by every busy object.
#include "common/ui/dialog/xr_busydlg_maemo.h"

#include "platform/hildon/hildon.h"
#include "../ui_test_support.h"

#include <memory>

namespace {

class CountingObserver : public XrBusyDlgObserver {
public:
    void cancelled() override { ++calls; }
    int calls = 0;
};

// Deletes the busy object it watches when cancelled, as owners do.
class DeletingObserver : public XrBusyDlgObserver {
public:
    void cancelled() override
    {
        ++calls;
        delete busy;
        busy = nullptr;
    }
    XrBusyDlgMaemo* busy = nullptr;
    int calls = 0;
};

std::string message_text(GtkWidget* box)
{
    return gtk_label_get_text(GTK_LABEL(GTK_MESSAGE_DIALOG(box)->label));
}

// Counts warnings and criticals of GTK while it lives.
class GtkWarnings {
public:
    GtkWarnings()
    {
        id = g_log_set_handler("Gtk", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL),
                               [](const gchar*, GLogLevelFlags, const gchar*, gpointer n) { ++*static_cast<int*>(n); },
                               &count);
    }
    ~GtkWarnings() { g_log_remove_handler("Gtk", id); }
    int count = 0;
    guint id;
};

class BusyDlgTest : public ::testing::Test {
protected:
    void SetUp() override { XR_UI_REQUIRE_DISPLAY(); }
    void TearDown() override { XrBusyDlgMaemo::close_current(); }
};

TEST_F(BusyDlgTest, BannerShowsTheTextUntilTheObjectGoes)
{
    auto busy = std::make_unique<XrBusyDlgMaemo>();
    busy->show(XrString(L"Calculating route"), nullptr);
    GtkWidget* banner = XrBusyDlgMaemo::get_current();
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(hildon_find_toplevel(HILDON_BANNER_NAME), banner);
    EXPECT_TRUE(GTK_WIDGET_MAPPED(banner)) << "drawn before show returns";
    EXPECT_STREQ(hildon_banner_get_text(banner), "Calculating route");
    busy->set_text(XrString(L"Almost done \u2026"));
    EXPECT_STREQ(hildon_banner_get_text(banner), "Almost done \xe2\x80\xa6");
    xr_ui_run_for(HILDON_BANNER_MS + 200);
    EXPECT_EQ(hildon_find_toplevel(HILDON_BANNER_NAME), banner) << "a busy banner does not time out";
    busy.reset();
    EXPECT_EQ(XrBusyDlgMaemo::get_current(), nullptr);
    EXPECT_EQ(hildon_find_toplevel(HILDON_BANNER_NAME), nullptr);
}

TEST_F(BusyDlgTest, SecondIndicationReplacesTheFirstWhoseEndLeavesItAlone)
{
    auto first = std::make_unique<XrBusyDlgMaemo>();
    auto second = std::make_unique<XrBusyDlgMaemo>();
    first->show(XrString(L"One"), nullptr);
    second->show(XrString(L"Two"), nullptr);
    GtkWidget* banner = hildon_find_toplevel(HILDON_BANNER_NAME);
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner, XrBusyDlgMaemo::get_current());
    EXPECT_STREQ(hildon_banner_get_text(banner), "Two");
    EXPECT_FALSE(first->is_current());
    first.reset();
    EXPECT_EQ(XrBusyDlgMaemo::get_current(), banner) << "ending the older operation keeps the newer one's banner";
    EXPECT_EQ(hildon_find_toplevel(HILDON_BANNER_NAME), banner);
    second.reset();
    EXPECT_EQ(XrBusyDlgMaemo::get_current(), nullptr);
    EXPECT_EQ(hildon_find_toplevel(HILDON_BANNER_NAME), nullptr);
}

// An older operation that ends while a newer cancellable one runs must not
// take the newer box away: its observer still hears the user's cancel.
TEST_F(BusyDlgTest, NewerCancellableBoxOutlivesTheOlderObjectAndReportsItsCancel)
{
    CountingObserver older_observer, newer_observer;
    auto older = std::make_unique<XrBusyDlgMaemo>();
    auto newer = std::make_unique<XrBusyDlgMaemo>();
    older->show(XrString(L"Searching"), &older_observer);
    newer->show(XrString(L"Downloading"), &newer_observer);
    GtkWidget* box = XrBusyDlgMaemo::get_current();
    older.reset();
    ASSERT_EQ(XrBusyDlgMaemo::get_current(), box);
    EXPECT_TRUE(newer->is_current());
    gtk_button_clicked(GTK_BUTTON(xr_ui_response_button(box, GTK_RESPONSE_CANCEL)));
    EXPECT_EQ(newer_observer.calls, 1);
    EXPECT_EQ(older_observer.calls, 0);
    EXPECT_EQ(XrBusyDlgMaemo::get_current(), nullptr);
    newer.reset(); // its box is gone already: nothing else is closed
    EXPECT_EQ(XrBusyDlgMaemo::get_current(), nullptr);
}

TEST_F(BusyDlgTest, CancelCallsTheObserverOnceAndRemovesTheBox)
{
    CountingObserver observer;
    std::unique_ptr<XrBusyDlg> busy(XrBusyDlgMaemo::create(XrString(L"Title"), XrString(L"Downloading"), &observer));
    GtkWidget* box = XrBusyDlgMaemo::get_current();
    ASSERT_TRUE(box != nullptr && GTK_IS_MESSAGE_DIALOG(box));
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(box)));
    EXPECT_EQ(message_text(box), "Downloading");
    ASSERT_NE(xr_ui_response_button(box, GTK_RESPONSE_CANCEL), nullptr);
    gtk_button_clicked(GTK_BUTTON(xr_ui_response_button(box, GTK_RESPONSE_CANCEL)));
    EXPECT_EQ(observer.calls, 1);
    EXPECT_EQ(XrBusyDlgMaemo::get_current(), nullptr);
    busy->set_text(XrString(L"after cancel")); // nothing on screen: nothing happens
    EXPECT_EQ(observer.calls, 1);
}

TEST_F(BusyDlgTest, ClosingTheBoxOtherwiseDoesNotCancel)
{
    CountingObserver observer;
    XrBusyDlgMaemo busy;
    busy.show(XrString(L"Downloading"), &observer);
    gtk_dialog_response(GTK_DIALOG(XrBusyDlgMaemo::get_current()), GTK_RESPONSE_DELETE_EVENT);
    EXPECT_EQ(observer.calls, 0);
    EXPECT_EQ(XrBusyDlgMaemo::get_current(), nullptr);

    busy.show(XrString(L"Again"), &observer);
    XrBusyDlgMaemo::close_current();
    EXPECT_EQ(observer.calls, 0);
}

TEST_F(BusyDlgTest, ObserverMayDeleteTheBusyObjectWhenCancelled)
{
    DeletingObserver observer;
    observer.busy = new XrBusyDlgMaemo();
    observer.busy->show(XrString(L"Searching"), &observer);
    gtk_dialog_response(GTK_DIALOG(XrBusyDlgMaemo::get_current()), GTK_RESPONSE_CANCEL);
    EXPECT_EQ(observer.calls, 1);
    EXPECT_EQ(observer.busy, nullptr);
    EXPECT_EQ(XrBusyDlgMaemo::get_current(), nullptr);
}

TEST_F(BusyDlgTest, TextWithMarkupCharactersIsShownAsWritten)
{
    GtkWarnings warnings;
    CountingObserver observer;
    XrBusyDlgMaemo busy;
    busy.show(XrString(L"Maps <A&B>"), &observer);
    EXPECT_EQ(message_text(XrBusyDlgMaemo::get_current()), "Maps <A&B>");
    busy.set_text(XrString(L"Roads & <tracks>"));
    EXPECT_EQ(message_text(XrBusyDlgMaemo::get_current()), "Roads & <tracks>");
    EXPECT_EQ(warnings.count, 0);
}

TEST_F(BusyDlgTest, TextFollowsTheWidgetOnScreenNotTheObject)
{
    GtkWarnings warnings;
    CountingObserver observer;
    XrBusyDlgMaemo cancellable, plain;
    cancellable.show(XrString(L"Downloading"), &observer);
    plain.show(XrString(L"Installing"), nullptr);
    // The cancellable object now speaks to the banner that replaced its box.
    cancellable.set_text(XrString(L"Installing maps"));
    EXPECT_STREQ(hildon_banner_get_text(XrBusyDlgMaemo::get_current()), "Installing maps");
    EXPECT_EQ(warnings.count, 0);

    plain.show(XrString(L"Step 1"), nullptr);
    cancellable.show(XrString(L"Step 2"), &observer);
    plain.set_text(XrString(L"Step 3"));
    EXPECT_EQ(message_text(XrBusyDlgMaemo::get_current()), "Step 3");
    EXPECT_EQ(warnings.count, 0);
}

TEST_F(BusyDlgTest, MissingProgressIconOnlyLosesTheImage)
{
    int warned = 0;
    const guint id = g_log_set_handler(
        nullptr, G_LOG_LEVEL_WARNING,
        [](const gchar*, GLogLevelFlags, const gchar* message, gpointer n) {
            if (g_strcmp0(message, "icon theme lookup for icon failed!") == 0)
                ++*static_cast<int*>(n);
        },
        &warned);
    CountingObserver observer;
    XrBusyDlgMaemo busy;
    busy.show(XrString(L"Downloading"), &observer);
    g_log_remove_handler(nullptr, id);
    EXPECT_EQ(warned, 1);
    EXPECT_TRUE(GTK_WIDGET_VISIBLE(XrBusyDlgMaemo::get_current()));
}

} // namespace
