// The list controls: item ownership and highlight of the base, reordering,
// the selection blink and the scrolling first line of the simple list, the
// tree-view rows, records, paging and strip icons of the contextual list.
#include "common/bmloader/xr_bitmap_loader.h"
#include "common/os/xr_eventloop.h"
#include "common/ui/controls/xr_contextuallistctrl.h"
#include "common/ui/controls/xr_listctrlimpl.h"
#include "common/ui/controls/xr_listmodel.h"
#include "common/ui/fonts/xr_fontrepository_maemo.h"
#include "support/xr_temp_root.h"
#include "../ui_test_support.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// Records every notification as one line, in order.
class Recorder : public XrListCtrlListener {
public:
    explicit Recorder(XrSimpleListCtrl& list) : list(list) {}
    void item_added(XrListItem* item, int position) override { log("added " + text(item) + " " + std::to_string(position)); }
    void item_removed(XrListItem* item, int index) override { log("removed " + text(item) + " " + std::to_string(index)); }
    void item_changed(XrListItem*, int) override {}
    void item_selected(XrListItem& item, int index) override { log("selected " + text(&item) + " " + std::to_string(index)); }
    void moving_started(XrListItem& item, int index) override { log("moving " + text(&item) + " " + std::to_string(index)); }
    void moving_stopped(XrListItem& item, int index) override { log("stopped " + text(&item) + " " + std::to_string(index)); }

    static std::string text(XrListItem* item)
    {
        const XrString t = static_cast<XrSimpleListItemBase*>(item)->get_text();
        std::string out;
        for (int i = 0; i < t.length(); ++i)
            out.push_back(static_cast<char>(t.c_str()[i]));
        return out;
    }
    void log(const std::string& line) { events.push_back(line); }

    XrSimpleListCtrl& list;
    std::vector<std::string> events;
};

XrString wide(const std::string& s)
{
    return XrString(s.c_str());
}

std::vector<std::string> texts_of(XrSimpleListCtrl& list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list.XrListCtrlBase::item_count(); ++i)
        out.push_back(Recorder::text(list.get_item_ptr(i)));
    return out;
}

// The rows of a tree view's store: "first|second".
std::vector<std::string> rows_of(GtkWidget* view)
{
    std::vector<std::string> out;
    GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(view));
    GtkTreeIter iter;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more; more = gtk_tree_model_iter_next(model, &iter)) {
        gchar *a = nullptr, *b = nullptr;
        gtk_tree_model_get(model, &iter, 0, &a, 1, &b, -1);
        out.push_back(std::string(a ? a : "") + "|" + (b ? b : ""));
        g_free(a);
        g_free(b);
    }
    return out;
}

class ListCtrlTest : public ::testing::Test {
protected:
    void SetUp() override { XR_UI_REQUIRE_DISPLAY(); }

    std::unique_ptr<XrSimpleListCtrl> make_simple(int count)
    {
        auto list = std::make_unique<XrSimpleListCtrl>(XrSimpleListCtrl::STYLE_TWO_LINES);
        list->construct();
        for (int i = 0; i < count; ++i)
            list->add_item(wide(std::string(1, static_cast<char>('a' + i))), XrString(), -1, -1);
        return list;
    }
};

TEST_F(ListCtrlTest, ListenersHearAddRemoveAndSelectInOrder)
{
    auto list = make_simple(0);
    Recorder rec(*list);
    list->add_listener(&rec);
    list->add_item(wide("a"), XrString(), -1, -1);
    list->add_item(wide("b"), XrString(), -1, -1);
    list->insert_item(wide("c"), XrString(), 1, -1, -1);
    list->remove_item(0);
    list->set_select_on_activate(false);
    list->select_active_item();
    list->remove_all_items(); // not told
    EXPECT_EQ(rec.events, (std::vector<std::string>{"added a 1", "added b 2", "added c 1", "removed a 0", "selected c 0"}));
    list->remove_listener(&rec);
}

// The highlight stays on its item while rows are inserted and removed.
TEST_F(ListCtrlTest, HighlightFollowsItsItem)
{
    struct Case {
        const char* name;
        int count, highlight;
        char op; // 'i' insert at, 'r' remove at, 'a' add
        int at;
        int expected;
    } cases[] = {
        {"first item of an empty list", 0, -1, 'a', 0, 0},
        {"add keeps it", 3, 1, 'a', 0, 1},
        {"insert before moves it down", 3, 1, 'i', 0, 2},
        {"insert at it moves it down", 3, 1, 'i', 1, 2},
        {"insert after leaves it", 3, 1, 'i', 2, 1},
        {"insert into an empty list", 0, -1, 'i', 0, 0},
        {"remove the last highlighted", 3, 2, 'r', 2, 1},
        {"remove the only item", 1, 0, 'r', 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto list = make_simple(c.count);
        list->set_highlighted(c.highlight);
        if (c.op == 'a')
            list->add_item(wide("x"), XrString(), -1, -1);
        else if (c.op == 'i')
            list->insert_item(wide("x"), XrString(), c.at, -1, -1);
        else
            list->remove_item(c.at);
        EXPECT_EQ(list->get_highlighted(), c.expected);
    }
}

TEST_F(ListCtrlTest, NeighboursWrapOnlyWhenAsked)
{
    auto list = make_simple(3);
    EXPECT_EQ(list->next_item(2), 0);
    EXPECT_EQ(list->prev_item(0), 2);
    list->set_wrap(false);
    EXPECT_EQ(list->next_item(2), 2);
    EXPECT_EQ(list->prev_item(0), 0);
    list->set_highlighted(2);
    EXPECT_FALSE(list->move_highlight(XrListCtrlBase::MOVE_DOWN));
    EXPECT_TRUE(list->move_highlight(XrListCtrlBase::MOVE_UP));
    EXPECT_EQ(list->get_highlighted(), 1);
    auto empty = make_simple(0);
    EXPECT_FALSE(empty->move_highlight(XrListCtrlBase::MOVE_DOWN));
    EXPECT_FALSE(empty->handle_key(XrListCtrlBase::KEY_DOWN));
}

// Reordering by keys: a move starts, the item travels and the listeners
// hear start and stop on the highlighted row.
TEST_F(ListCtrlTest, KeysReorderWhileMoving)
{
    auto list = make_simple(4); // a b c d
    Recorder rec(*list);
    list->add_listener(&rec);
    list->set_moving_enabled(true);
    list->set_wrap(false);
    list->set_highlighted(1);
    EXPECT_TRUE(list->handle_key(XrSimpleListCtrl::KEY_TOGGLE_MOVE));
    EXPECT_TRUE(list->is_moving());
    EXPECT_TRUE(list->handle_key(XrListCtrlBase::KEY_DOWN));
    EXPECT_TRUE(list->handle_key(XrListCtrlBase::KEY_DOWN));
    EXPECT_EQ(texts_of(*list), (std::vector<std::string>{"a", "c", "d", "b"}));
    EXPECT_EQ(list->get_highlighted(), 3);
    EXPECT_TRUE(list->handle_key(XrSimpleListCtrl::KEY_STOP_MOVE));
    EXPECT_FALSE(list->is_moving());
    EXPECT_EQ(rec.events, (std::vector<std::string>{"moving b 1", "stopped b 3"}));

    // With the first item fixed, nothing passes above row 1.
    list->set_first_item_fixed(true);
    list->set_highlighted(1);
    list->start_moving();
    EXPECT_TRUE(list->handle_key(XrListCtrlBase::KEY_UP));
    EXPECT_EQ(texts_of(*list), (std::vector<std::string>{"a", "c", "d", "b"}));
    list->stop_moving();

    auto single = make_simple(1);
    single->set_moving_enabled(true);
    single->start_moving();
    EXPECT_FALSE(single->is_moving());
}

// select_active_item blinks the highlight five times 100 ms apart and then
// reports the choice once; keys are refused meanwhile.
TEST_F(ListCtrlTest, SelectionBlinksThenReports)
{
    XrEventLoop loop;
    auto list = make_simple(3);
    Recorder rec(*list);
    list->add_listener(&rec);
    list->set_highlighted(2);
    std::vector<bool> phases;
    list->select_active_item();
    EXPECT_TRUE(list->is_selecting());
    EXPECT_FALSE(list->handle_key(XrListCtrlBase::KEY_UP));
    for (int i = 0; i < 12 && list->is_selecting(); ++i) {
        xr_ui_run_for(50);
        if (phases.empty() || phases.back() != list->get_blink_phase())
            phases.push_back(list->get_blink_phase());
    }
    xr_ui_run_for(150);
    EXPECT_FALSE(list->is_selecting());
    EXPECT_TRUE(list->get_blink_phase());
    EXPECT_GE(phases.size(), 4u) << "the highlight blinked";
    EXPECT_EQ(rec.events, (std::vector<std::string>{"selected c 2"}));
}

// A first line wider than the control scrolls on the highlighted row after
// a pause, and starts over from 0.
TEST_F(ListCtrlTest, LongHighlightedTextScrolls)
{
    XrEventLoop loop;
    XrFontRepositoryMaemo fonts;
    fonts.initialize();
    XrSingleton::set_instance(XrString(L"XrFontRepository"), &fonts);
    {
        XrSimpleListCtrl list(XrSimpleListCtrl::STYLE_TWO_LINES);
        list.construct();
        list.set_rectangle(XrRectangle(0, 0, 120, 200));
        list.add_item(wide("A very long street name that does not fit"), XrString(), -1, -1);
        list.add_item(wide("Short"), XrString(), -1, -1);
        list.set_selection(0);
        EXPECT_EQ(list.get_marquee_offset(), 0);
        xr_ui_run_for(XrSimpleListCtrl::MARQUEE_DELAY_MS + 450);
        EXPECT_TRUE(list.is_marquee_active());
        const int moved = list.get_marquee_offset();
        EXPECT_GT(moved, 0);
        EXPECT_EQ(moved % XrSimpleListCtrl::MARQUEE_STEP_PX, 0);
        list.set_selection(1); // fits: no scrolling
        xr_ui_run_for(XrSimpleListCtrl::MARQUEE_DELAY_MS + 300);
        EXPECT_EQ(list.get_marquee_offset(), 0);
    }
    XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
}

// Row heights by style, from the list fonts: two-line rows are taller;
// the total counts the highlighted row with its own height.
TEST_F(ListCtrlTest, RowHeightsFollowTheStyle)
{
    XrFontRepositoryMaemo fonts;
    fonts.initialize();
    XrSingleton::set_instance(XrString(L"XrFontRepository"), &fonts);
    int one_line = 0;
    for (int style : {XrSimpleListCtrl::STYLE_ONE_LINE, XrSimpleListCtrl::STYLE_HIGHLIGHT_TWO_LINES,
                      XrSimpleListCtrl::STYLE_TWO_LINES}) {
        SCOPED_TRACE(style);
        auto list = make_simple(0);
        list->set_style(style);
        EXPECT_EQ(list->total_height(), 0);
        for (const char* t : {"a", "b", "c", "d"})
            list->add_item(wide(t), wide("detail"), -1, -1);
        list->compute_metrics();
        const auto& normal = list->get_metrics(false);
        const auto& high = list->get_metrics(true);
        EXPECT_GT(normal.row_height, 0);
        if (style == XrSimpleListCtrl::STYLE_ONE_LINE) {
            one_line = normal.row_height;
            EXPECT_EQ(high.row_height, normal.row_height);
        } else if (style == XrSimpleListCtrl::STYLE_HIGHLIGHT_TWO_LINES) {
            EXPECT_EQ(normal.row_height, one_line);
            EXPECT_GT(high.row_height, normal.row_height);
        } else {
            EXPECT_GT(normal.row_height, one_line);
            EXPECT_EQ(high.row_height, normal.row_height);
        }
        EXPECT_EQ(list->total_height(), 3 * normal.row_height + high.row_height);
    }
    XrSingleton::set_instance(XrString(L"XrFontRepository"), nullptr);
}

struct Place {
    XrString name;
    int id;
};

class ContextualListTest : public ListCtrlTest {
protected:
    void SetUp() override
    {
        ListCtrlTest::SetUp();
        if (IsSkipped())
            return;
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 400, 300);
        GtkWidget* box = gtk_vbox_new(FALSE, 0);
        view = gtk_tree_view_new();
        up = gtk_button_new_with_label("up");
        down = gtk_button_new_with_label("down");
        gtk_box_pack_start(GTK_BOX(box), view, TRUE, TRUE, 0);
        gtk_box_pack_start(GTK_BOX(box), up, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(box), down, FALSE, FALSE, 0);
        gtk_container_add(GTK_CONTAINER(window), box);
    }
    void TearDown() override
    {
        list.reset();
        if (window != nullptr)
            gtk_widget_destroy(window);
    }
    void bind(int count)
    {
        list = std::make_unique<XrContextualListCtrl<Place>>(XrSimpleListCtrl::STYLE_TWO_LINES);
        list->construct();
        XrContextualListWidgets widgets;
        widgets.tree_view = view;
        widgets.page_up = up;
        widgets.page_down = down;
        list->set_native_control(&widgets);
        for (int i = 0; i < count; ++i)
            list->add_item(wide("row" + std::to_string(i)), wide("d" + std::to_string(i)),
                           Place{wide("place" + std::to_string(i)), 100 + i}, -1, -1);
    }

    GtkWidget* window = nullptr;
    GtkWidget *view = nullptr, *up = nullptr, *down = nullptr;
    std::unique_ptr<XrContextualListCtrl<Place>> list;
};

TEST_F(ContextualListTest, OneRowPerItemWithItsRecord)
{
    list = std::make_unique<XrContextualListCtrl<Place>>(XrSimpleListCtrl::STYLE_TWO_LINES);
    list->construct();
    EXPECT_EQ(list->item_count(), 0) << "no view bound";
    bind(5);
    EXPECT_EQ(list->item_count(), 5);
    EXPECT_EQ(rows_of(view).size(), 5u);
    EXPECT_EQ(rows_of(view)[3], "row3|d3");
    EXPECT_EQ(list->get_ctx_item(3).get_context().id, 103);
    EXPECT_TRUE(list->get_ctx_item(3).get_context().name == wide("place3"));

    list->remove_item(2);
    EXPECT_EQ(rows_of(view), (std::vector<std::string>{"row0|d0", "row1|d1", "row3|d3", "row4|d4"}));
    EXPECT_EQ(list->get_ctx_item(2).get_context().id, 103);

    // Items added through the simple list's own operations get rows too.
    list->XrSimpleListCtrl::add_item(wide("plain"), wide("p"), -1, -1);
    list->XrSimpleListCtrl::insert_item(wide("first"), wide("f"), 0, -1, -1);
    EXPECT_EQ(list->item_count(), 6);
    EXPECT_EQ(rows_of(view).front(), "first|f");
    EXPECT_EQ(rows_of(view).back(), "plain|p");

    list->remove_all_items();
    EXPECT_EQ(list->item_count(), 0);
    EXPECT_EQ(list->get_highlighted(), -1);
}

TEST_F(ContextualListTest, PagingMovesTheSelectionByThreeRows)
{
    struct Case {
        int count, selected;
        GtkWidget** button;
        int expected;
    } cases[] = {
        {5, 1, &up, 0}, {5, 3, &down, 4}, {5, -1, &down, 2}, {10, 2, &down, 5}, {10, 7, &up, 4}, {0, -1, &down, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " rows, from " << c.selected);
        bind(c.count);
        if (c.selected >= 0)
            list->set_selection(c.selected);
        else
            gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)));
        gtk_button_clicked(GTK_BUTTON(*c.button));
        EXPECT_EQ(list->get_selected_index(), c.expected);
        if (c.expected >= 0) {
            EXPECT_EQ(list->get_highlighted(), c.expected) << "the highlight follows the view";
        }
    }
}

TEST_F(ContextualListTest, ReorderingMovesTheRowsToo)
{
    bind(3);
    list->set_moving_enabled(true);
    list->set_wrap(false);
    list->set_selection(0);
    list->start_moving();
    list->handle_key(XrListCtrlBase::KEY_DOWN);
    list->stop_moving();
    EXPECT_EQ(rows_of(view), (std::vector<std::string>{"row1|d1", "row0|d0", "row2|d2"}));
    EXPECT_EQ(list->get_ctx_item(1).get_context().id, 100);
    EXPECT_EQ(list->get_selected_index(), 1);
}

// Icons come from the strip of the item's icon id, the square at its index;
// each is made once and then taken from the cache.
TEST_F(ContextualListTest, StripIconsAppearInTheRows)
{
    XrTempRoot root;
    XrBitmapLoader::initialize(XrString(L"/nonexistent"), XrString(L"maemo"));
    const int side = 24;
    const guint32 colours[3] = {0xff0000ff, 0x00c000ff, 0x0000ffff};
    GdkPixbuf* strip = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 3 * side, side);
    for (int i = 0; i < 3; ++i) {
        GdkPixbuf* cell = gdk_pixbuf_new_subpixbuf(strip, i * side, 0, side, side);
        gdk_pixbuf_fill(cell, colours[i]);
        g_object_unref(cell);
    }
    const std::string path = root.dir() + "/strip.png";
    gdk_pixbuf_save(strip, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(strip);
    XrBitmapHandleRec *image = nullptr, *mask = nullptr;
    ASSERT_TRUE(XrGDI::load_image_file(XrString(path.c_str()).c_str(), image, mask));
    const int id = XrBitmapLoader::add_bitmap(image, mask);

    bind(0);
    list->add_item(wide("green"), wide(""), Place{}, 1, id);
    list->add_item(wide("blue"), wide(""), Place{}, 2, id);
    list->add_item(wide("none"), wide(""), Place{}, -1, -1);
    EXPECT_EQ(list->icon_pixbuf_of(list->get_item(0)), list->icon_pixbuf_of(list->get_item(0))) << "cached";
    EXPECT_EQ(list->icon_pixbuf_of(list->get_item(2)), nullptr);
    gtk_widget_show_all(window);
    xr_ui_run_for(300);

    // Probe the image cell of each row: the first column's left edge.
    GdkPixbuf* shot = gdk_pixbuf_get_from_drawable(nullptr, view->window, nullptr, 0, 0, 0, 0,
                                                   view->allocation.width, view->allocation.height);
    ASSERT_NE(shot, nullptr);
    GdkRectangle cell;
    auto pixel_at_row = [&](int row) {
        GtkTreePath* p = gtk_tree_path_new_from_indices(row, -1);
        gtk_tree_view_get_cell_area(GTK_TREE_VIEW(view), p, gtk_tree_view_get_column(GTK_TREE_VIEW(view), 0), &cell);
        gtk_tree_path_free(p);
        int bx = 0, by = 0;
        gtk_tree_view_convert_bin_window_to_widget_coords(GTK_TREE_VIEW(view), cell.x, cell.y, &bx, &by);
        const int x = bx + side / 2 + 2, y = by + cell.height / 2;
        const guchar* px = gdk_pixbuf_get_pixels(shot) + y * gdk_pixbuf_get_rowstride(shot) +
                           x * gdk_pixbuf_get_n_channels(shot);
        return (static_cast<guint32>(px[0]) << 24) | (px[1] << 16) | (px[2] << 8) | 0xff;
    };
    EXPECT_EQ(pixel_at_row(0), colours[1]);
    EXPECT_EQ(pixel_at_row(1), colours[2]);
    EXPECT_NE(pixel_at_row(2), colours[1]) << "a row without icon shows none";
    g_object_unref(shot);
    list.reset();
    XrBitmapLoader::shutdown();
}

// A list whose rows are 40 pixels high, for pointer input where the
// platform's view does not take it itself.
class RowsOf40 : public XrSimpleListCtrl {
public:
    RowsOf40() : XrSimpleListCtrl(STYLE_TWO_LINES) {}

protected:
    int hit_test(int, int y) const override
    {
        const int row = y / 40;
        return y >= 0 && row < const_cast<RowsOf40*>(this)->XrListCtrlBase::item_count() ? row : -1;
    }
};

XrPointerEvent pointer(int kind, int x, int y)
{
    XrPointerEvent event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    return event;
}

// A tap on the highlighted row chooses it when released within 7 pixels.
TEST_F(ListCtrlTest, TapOnTheHighlightedRowChoosesIt)
{
    struct Case {
        const char* name;
        int press_y, release_x, release_y;
        bool chosen;
    } cases[] = {
        {"release on the spot", 50, 10, 50, true},
        {"release 6 pixels away", 50, 16, 50, true},
        {"release 7 pixels away", 50, 17, 50, false},
        {"first tap on another row only highlights", 10, 10, 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RowsOf40 list;
        list.construct();
        list.set_select_on_activate(false);
        for (const char* t : {"a", "b", "c"})
            list.add_item(wide(t), XrString(), -1, -1);
        Recorder rec(list);
        list.add_listener(&rec);
        list.set_selection(1);
        EXPECT_TRUE(list.handle_pointer_event(pointer(XrSimpleListCtrl::POINTER_DOWN, 10, c.press_y)));
        list.handle_pointer_event(pointer(XrSimpleListCtrl::POINTER_UP, c.release_x, c.release_y));
        EXPECT_EQ(rec.events, c.chosen ? std::vector<std::string>{"selected b 1"} : std::vector<std::string>{});
        EXPECT_EQ(list.get_highlighted(), c.press_y / 40);
        EXPECT_FALSE(list.handle_pointer_event(pointer(XrSimpleListCtrl::POINTER_DOWN, 10, 500))) << "no row there";
    }
}

// Dragging a row over its neighbours carries it along; the release ends
// the move.
TEST_F(ListCtrlTest, DraggingReordersTheRows)
{
    RowsOf40 list;
    list.construct();
    for (const char* t : {"a", "b", "c", "d"})
        list.add_item(wide(t), XrString(), -1, -1);
    list.set_moving_enabled(true);
    Recorder rec(list);
    list.add_listener(&rec);
    list.set_selection(0);
    list.handle_pointer_event(pointer(XrSimpleListCtrl::POINTER_DOWN, 10, 20));
    EXPECT_TRUE(list.handle_pointer_event(pointer(XrSimpleListCtrl::POINTER_DRAG, 10, 60)));
    EXPECT_TRUE(list.handle_pointer_event(pointer(XrSimpleListCtrl::POINTER_DRAG, 10, 100)));
    EXPECT_FALSE(list.handle_pointer_event(pointer(XrSimpleListCtrl::POINTER_DRAG, 10, 20))) << "not a neighbour";
    list.handle_pointer_event(pointer(XrSimpleListCtrl::POINTER_UP, 10, 100));
    EXPECT_EQ(texts_of(list), (std::vector<std::string>{"b", "c", "a", "d"}));
    EXPECT_EQ(list.get_highlighted(), 2);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"moving a 0", "stopped a 2"}));
}

// Icons of the numbered-file set come from "64x64_NN.png" (index + 1) among
// the program's images, loaded once.
TEST_F(ListCtrlTest, FileIconsComeFromNumberedImages)
{
    XrTempRoot root;
    const std::string images = root.make_dirs("/usr/share/kestrova/images");
    GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 64, 64);
    gdk_pixbuf_fill(picture, 0x11aa55ff);
    ASSERT_TRUE(gdk_pixbuf_save(picture, (images + "/64x64_05.png").c_str(), "png", nullptr, nullptr));
    g_object_unref(picture);
    {
        auto list = make_simple(0);
        list->add_item(wide("five"), XrString(), 4, XrSimpleListCtrl::FILE_ICON_ID);
        list->add_item(wide("missing"), XrString(), 7, XrSimpleListCtrl::FILE_ICON_ID);
        GdkPixbuf* shown = list->icon_pixbuf_of(list->get_item(0));
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(gdk_pixbuf_get_width(shown), 64);
        const guchar* px = gdk_pixbuf_get_pixels(shown);
        EXPECT_EQ((px[0] << 16) | (px[1] << 8) | px[2], 0x11aa55);
        std::remove((images + "/64x64_05.png").c_str());
        EXPECT_EQ(list->icon_pixbuf_of(list->get_item(0)), shown) << "not read again";
        EXPECT_EQ(list->icon_pixbuf_of(list->get_item(1)), nullptr);
    }
}

TEST_F(ListCtrlTest, ModelRowsGoInAndComeBack)
{
    const XrListModel::ColumnType types[3] = {XrListModel::COLUMN_INT, XrListModel::COLUMN_STRING,
                                              XrListModel::COLUMN_IMAGE};
    XrListModel model(3, types);
    XrString name(L"Caf\u00e9"), image(L"/nonexistent.png");
    model.append_row(reinterpret_cast<void*>(intptr_t{42}), &name, &image);
    model.insert_row(0, reinterpret_cast<void*>(intptr_t{7}), nullptr, nullptr);
    void** first = model.get_row(0);
    void** second = model.get_row(1);
    ASSERT_TRUE(first != nullptr && second != nullptr);
    EXPECT_EQ(reinterpret_cast<intptr_t>(first[0]), 7);
    EXPECT_TRUE(static_cast<XrString*>(first[1])->is_empty()) << "a null value leaves the cell empty";
    EXPECT_EQ(reinterpret_cast<intptr_t>(second[0]), 42);
    EXPECT_TRUE(*static_cast<XrString*>(second[1]) == name);
    EXPECT_EQ(second[2], nullptr) << "images are not read back";
    for (void** row : {first, second}) {
        delete static_cast<XrString*>(row[1]);
        delete[] row;
    }
    EXPECT_EQ(model.get_row(2), nullptr);

    // Shown through a list control's own view.
    XrSimpleListCtrl list(XrSimpleListCtrl::STYLE_ONE_LINE);
    list.construct();
    list.set_model(&model);
    XrListRendererString renderer;
    list.set_renderer(1, &renderer);
    list.set_column_title(0, XrString(L"Name"));
    auto* impl = static_cast<XrListCtrlImplMaemo*>(list.get_impl());
    EXPECT_EQ(list.get_control(), impl->get_scrolled_window());
    EXPECT_TRUE(gtk_tree_view_get_headers_visible(GTK_TREE_VIEW(impl->get_tree_view())));
    EXPECT_EQ(list.get_selection(), -1);
    GtkTreePath* second_row = gtk_tree_path_new_from_indices(1, -1);
    gtk_tree_selection_select_path(gtk_tree_view_get_selection(GTK_TREE_VIEW(impl->get_tree_view())), second_row);
    gtk_tree_path_free(second_row);
    EXPECT_EQ(list.get_selection(), 1);
}

} // namespace
