// The application-framework stand-in under a real X display: windows with
// toolbars, the program's menus, banners, notes and the tap-and-hold gesture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/hildon/hildon.h"

extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\nleak:libgtk-x11\nleak:libgdk-x11\nleak:libglib\nleak:libgobject\n";
}

namespace {

class HildonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static const bool ready = gtk_init_check(nullptr, nullptr);
        if (!ready)
            GTEST_SKIP() << "no X display";
    }
};

// Runs the main loop for about ms milliseconds.
void run_for(int ms)
{
    bool done = false;
    const guint id = g_timeout_add(
        ms, [](gpointer p) -> gboolean { return *static_cast<bool*>(p) = true, FALSE; }, &done);
    while (!done)
        gtk_main_iteration();
    (void)id;
}

// Queues a button or motion event for the widget's window.
void put_event(GtkWidget* widget, GdkEventType type, int x, int y, guint state = 0)
{
    GdkEvent* e = gdk_event_new(type);
    if (type == GDK_MOTION_NOTIFY) {
        e->motion.window = GDK_WINDOW(g_object_ref(widget->window));
        e->motion.x = x;
        e->motion.y = y;
        e->motion.state = state;
        e->motion.time = GDK_CURRENT_TIME;
    } else {
        e->button.window = GDK_WINDOW(g_object_ref(widget->window));
        e->button.x = x;
        e->button.y = y;
        e->button.button = 1;
        e->button.state = state;
        e->button.time = GDK_CURRENT_TIME;
    }
    gdk_event_put(e);
    gdk_event_free(e);
}

// A shown window whose content is an event-receiving drawing area with the
// gesture armed; records the gesture's signals.
struct GestureFixture {
    GestureFixture()
    {
        window = hildon_window_new();
        area = gtk_drawing_area_new();
        gtk_widget_set_events(area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
        gtk_widget_set_size_request(area, 200, 100);
        gtk_container_add(GTK_CONTAINER(window), area);
        gtk_widget_tap_and_hold_setup(area, nullptr, nullptr, 0);
        g_signal_connect(area, "tap_and_hold_query", G_CALLBACK(on_query), this);
        g_signal_connect(area, "tap_and_hold", G_CALLBACK(on_hold), this);
        gtk_widget_show_all(window);
        while (gtk_events_pending())
            gtk_main_iteration();
    }
    ~GestureFixture() { gtk_widget_destroy(window); }

    static gboolean on_query(GtkWidget*, GdkEvent* e, GestureFixture* f)
    {
        f->log.push_back("query " + std::to_string(static_cast<int>(e->button.x)) + "," +
                         std::to_string(static_cast<int>(e->button.y)));
        return f->suppress;
    }
    static void on_hold(GtkWidget*, GestureFixture* f) { f->log.push_back("hold"); }

    GtkWidget* window = nullptr;
    GtkWidget* area = nullptr;
    gboolean suppress = FALSE;
    std::vector<std::string> log;
};

TEST_F(HildonTest, ContentSitsAboveToolbarsAndCanBeSwapped)
{
    GtkWidget* w = hildon_window_new();
    HildonWindow* hw = HILDON_WINDOW(w);
    GtkWidget* toolbar = gtk_toolbar_new();
    hildon_window_add_toolbar(hw, GTK_TOOLBAR(toolbar));
    GtkWidget* a = gtk_drawing_area_new();
    GtkWidget* b = gtk_drawing_area_new();
    gtk_container_add(GTK_CONTAINER(w), a);
    EXPECT_EQ(hildon_window_get_content(hw), a);

    EXPECT_EQ(gtk_widget_get_parent(a), w);
    EXPECT_EQ(gtk_widget_get_parent(toolbar), hw->vbox);
    gtk_widget_set_size_request(a, 300, 200);
    gtk_widget_show_all(w);
    while (gtk_events_pending())
        gtk_main_iteration();
    // The content takes the top, the toolbar the foot.
    EXPECT_EQ(a->allocation.y, 0);
    EXPECT_GT(toolbar->allocation.height, 0);
    EXPECT_EQ(toolbar->allocation.y, 200);
    EXPECT_EQ(a->allocation.height, 200);
    EXPECT_EQ(w->allocation.height, toolbar->allocation.height + 200);

    g_object_ref(a);
    gtk_container_remove(GTK_CONTAINER(w), a);
    EXPECT_EQ(hildon_window_get_content(hw), nullptr);
    gtk_container_add(GTK_CONTAINER(w), b);
    EXPECT_EQ(hildon_window_get_content(hw), b);
    g_object_unref(a);
    gtk_widget_destroy(w);
}

// A toolbar given before or after the window is shown is mapped and drawn:
// a red button fills its place on screen.
TEST_F(HildonTest, ToolbarsAreMappedAndDrawnWhenAddedBeforeOrAfterShowing)
{
    for (bool after : {false, true}) {
        SCOPED_TRACE(after ? "added after showing" : "added before showing");
        GtkWidget* w = hildon_window_new();
        GtkWidget* area = gtk_drawing_area_new();
        gtk_widget_set_size_request(area, 200, 100);
        gtk_container_add(GTK_CONTAINER(w), area);
        GtkWidget* toolbar = gtk_toolbar_new();
        GtkWidget* red = gtk_event_box_new();
        gtk_widget_set_size_request(red, 60, 40);
        GdkColor colour = {0, 0xFFFF, 0, 0};
        gtk_widget_modify_bg(red, GTK_STATE_NORMAL, &colour);
        GtkToolItem* item = gtk_tool_item_new();
        gtk_container_add(GTK_CONTAINER(item), red);
        gtk_toolbar_insert(GTK_TOOLBAR(toolbar), item, -1);
        gtk_widget_show_all(toolbar);
        if (!after)
            hildon_window_add_toolbar(HILDON_WINDOW(w), GTK_TOOLBAR(toolbar));
        gtk_widget_show_all(w);
        run_for(200);
        if (after)
            hildon_window_add_toolbar(HILDON_WINDOW(w), GTK_TOOLBAR(toolbar));
        run_for(300);
        EXPECT_TRUE(GTK_WIDGET_MAPPED(toolbar));
        EXPECT_TRUE(GTK_WIDGET_MAPPED(red));
        GdkPixbuf* pb = gdk_pixbuf_get_from_drawable(nullptr, w->window, gdk_colormap_get_system(), red->allocation.x + 30,
                                                     red->allocation.y + 20, 0, 0, 1, 1);
        ASSERT_NE(pb, nullptr);
        const guchar* px = gdk_pixbuf_get_pixels(pb);
        EXPECT_EQ(px[0], 255);
        EXPECT_EQ(px[1], 0);
        g_object_unref(pb);
        gtk_widget_destroy(w);
    }
}

TEST_F(HildonTest, ProgramListsWindowsOnceAndChoosesTheirMenu)
{
    HildonProgram* program = hildon_program_get_instance();
    GtkWidget* w1 = hildon_window_new();
    GtkWidget* w2 = hildon_window_new();
    hildon_program_add_window(program, HILDON_WINDOW(w1));
    hildon_program_add_window(program, HILDON_WINDOW(w1));
    hildon_program_add_window(program, HILDON_WINDOW(w2));
    EXPECT_EQ(g_list_length(hildon_program_get_windows(program)), 2u);

    GtkWidget* common = gtk_menu_new();
    GtkWidget* own = gtk_menu_new();
    hildon_program_set_common_menu(program, GTK_MENU(common));
    hildon_window_set_menu(HILDON_WINDOW(w2), GTK_MENU(own));
    EXPECT_EQ(hildon_program_get_menu_for(program, HILDON_WINDOW(w1)), GTK_MENU(common));
    EXPECT_EQ(hildon_program_get_menu_for(program, HILDON_WINDOW(w2)), GTK_MENU(own));

    gtk_widget_destroy(w1);
    EXPECT_EQ(g_list_length(hildon_program_get_windows(program)), 1u);
    gtk_widget_destroy(w2);
    EXPECT_EQ(hildon_program_get_windows(program), nullptr);
    hildon_program_set_common_menu(program, nullptr);
}

TEST_F(HildonTest, BannerShowsTextAndGoesAway)
{
    GtkWidget* banner = hildon_banner_show_information(nullptr, nullptr, "Route ready");
    EXPECT_EQ(hildon_find_toplevel(HILDON_BANNER_NAME), banner);
    EXPECT_STREQ(hildon_banner_get_text(banner), "Route ready");
    run_for(HILDON_BANNER_MS + 300);
    EXPECT_EQ(hildon_find_toplevel(HILDON_BANNER_NAME), nullptr);
}

TEST_F(HildonTest, NotesAreAnsweredByTheirResponse)
{
    struct {
        bool confirmation;
        int answer;
    } cases[] = {{true, GTK_RESPONSE_OK}, {true, GTK_RESPONSE_CANCEL}, {false, GTK_RESPONSE_OK}};
    for (const auto& c : cases) {
        GtkWidget* note = c.confirmation ? hildon_note_new_confirmation(nullptr, "Delete the favourite?")
                                         : hildon_note_new_information(nullptr, "No GPS");
        EXPECT_STREQ(hildon_note_get_text(note), c.confirmation ? "Delete the favourite?" : "No GPS");
        static int answer;
        answer = c.answer;
        g_idle_add(
            [](gpointer) -> gboolean {
                EXPECT_TRUE(hildon_note_respond(answer));
                return FALSE;
            },
            nullptr);
        EXPECT_EQ(gtk_dialog_run(GTK_DIALOG(note)), c.answer);
        gtk_widget_destroy(note);
    }
    EXPECT_FALSE(hildon_note_respond(GTK_RESPONSE_OK));
}

// Notes and banners are found and read through the X server: their role
// names them and their title is their text.
TEST_F(HildonTest, NotesAndBannersCarryRoleAndTextAsWindowProperties)
{
    GtkWidget* note = hildon_note_new_information(nullptr, "No map card\n\nInsert a card");
    GtkWidget* query = hildon_note_new_confirmation_add_buttons(nullptr, "Allow ferries?", "Yes", GTK_RESPONSE_YES,
                                                                "No", GTK_RESPONSE_NO, nullptr);
    GtkWidget* banner = hildon_banner_show_information(nullptr, nullptr, "Drive to a road");
    EXPECT_STREQ(gtk_window_get_role(GTK_WINDOW(note)), HILDON_NOTE_NAME);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(note)), "No map card\n\nInsert a card");
    EXPECT_STREQ(gtk_window_get_role(GTK_WINDOW(query)), HILDON_NOTE_NAME);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(query)), "Allow ferries?");
    EXPECT_STREQ(gtk_window_get_role(GTK_WINDOW(banner)), HILDON_BANNER_NAME);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(banner)), "Drive to a road");
    hildon_banner_set_text(banner, "Searching");
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(banner)), "Searching");
    gtk_widget_destroy(note);
    gtk_widget_destroy(query);
    gtk_widget_destroy(banner);
}

TEST_F(HildonTest, HeldPressEmitsQueryThenGesture)
{
    GestureFixture f;
    put_event(f.area, GDK_BUTTON_PRESS, 40, 30);
    run_for(HILDON_TAP_AND_HOLD_MS / 2);
    EXPECT_TRUE(f.log.empty());
    run_for(HILDON_TAP_AND_HOLD_MS / 2 + 200);
    EXPECT_EQ(f.log, (std::vector<std::string>{"query 40,30", "hold"}));
}

TEST_F(HildonTest, GestureCancelledOrSuppressed)
{
    enum Interrupt { Release, FarMotion, NearMotion, Suppress };
    struct {
        Interrupt what;
        std::vector<std::string> expected;
    } cases[] = {
        {Release, {}},
        {FarMotion, {}},
        {NearMotion, {"query 40,30", "hold"}},
        {Suppress, {"query 40,30"}},
    };
    for (const auto& c : cases) {
        GestureFixture f;
        f.suppress = c.what == Suppress;
        put_event(f.area, GDK_BUTTON_PRESS, 40, 30);
        if (c.what == Release)
            put_event(f.area, GDK_BUTTON_RELEASE, 40, 30, GDK_BUTTON1_MASK);
        if (c.what == FarMotion)
            put_event(f.area, GDK_MOTION_NOTIFY, 40 + HILDON_TAP_AND_HOLD_SLACK + 5, 30, GDK_BUTTON1_MASK);
        if (c.what == NearMotion)
            put_event(f.area, GDK_MOTION_NOTIFY, 42, 31, GDK_BUTTON1_MASK);
        run_for(HILDON_TAP_AND_HOLD_MS + 200);
        EXPECT_EQ(f.log, c.expected) << c.what;
    }
}

TEST_F(HildonTest, FiringRunsTheSameSequenceAtOnce)
{
    GestureFixture f;
    EXPECT_TRUE(hildon_tap_and_hold_fire(f.area, 12, 34));
    EXPECT_EQ(f.log, (std::vector<std::string>{"query 12,34", "hold"}));
    f.log.clear();
    f.suppress = TRUE;
    EXPECT_FALSE(hildon_tap_and_hold_fire(f.area, 12, 34));
    EXPECT_EQ(f.log, (std::vector<std::string>{"query 12,34"}));
}

} // namespace
