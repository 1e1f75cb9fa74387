// The list dialog with 20, 200 and 2,000 rows: filling it and its first
// expose, and scrolling through 2,000 rows page by page, each page drawn.
// Side by side with a plain GtkTreeView and GtkListStore filled the obvious
// way (one append and set per row, the store attached to the view) in a
// window of the same size. Needs an X display (e.g. xvfb-run). Every row
// carries an icon from one bitmap strip.
#include <benchmark/benchmark.h>

#include <gtk/gtk.h>

#include <glib/gstdio.h>

#include <memory>
#include <string>

#include "common/bmloader/xr_bitmap_loader.h"
#include "common/ui/dialog/xr_listdlg.h"
#include "common/ui/dialog/xr_maemocommon.h"

namespace {

constexpr int kIcons = 8;
constexpr int kSide = 24;

bool display_ready()
{
    static const bool ready = gtk_init_check(nullptr, nullptr);
    return ready;
}

// A strip of kIcons coloured squares entered into the bitmap loader.
int strip_id()
{
    static int id = -1;
    if (id >= 0)
        return id;
    XrBitmapLoader::initialize(XrString(L"/nonexistent"), XrString(L"maemo"));
    GdkPixbuf* strip = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, kIcons * kSide, kSide);
    for (int i = 0; i < kIcons; ++i) {
        GdkPixbuf* cell = gdk_pixbuf_new_subpixbuf(strip, i * kSide, 0, kSide, kSide);
        gdk_pixbuf_fill(cell, 0x204080ffu + (static_cast<guint32>(i) << 24));
        g_object_unref(cell);
    }
    gchar* dir = g_dir_make_tmp("kestrova-bench-XXXXXX", nullptr);
    const std::string path = std::string(dir) + "/strip.png";
    gdk_pixbuf_save(strip, path.c_str(), "png", nullptr, nullptr);
    g_object_unref(strip);
    XrBitmapHandleRec *image = nullptr, *mask = nullptr;
    XrGDI::load_image_file(XrString(path.c_str()).c_str(), image, mask);
    g_unlink(path.c_str());
    g_rmdir(dir);
    g_free(dir);
    id = XrBitmapLoader::add_bitmap(image, mask);
    return id;
}

std::unique_ptr<XrArray<XrListDlgItem>> make_items(int count)
{
    auto items = std::make_unique<XrArray<XrListDlgItem>>(count);
    for (int i = 0; i < count; ++i) {
        XrListDlgItem item;
        item.text = XrString(("Destination number " + std::to_string(i)).c_str());
        item.detail_text = XrString(("Street " + std::to_string(i % 97) + ", Atlantis").c_str());
        item.icon_index = i % kIcons;
        items->append(item);
    }
    return items;
}

// Draws what is pending and waits for the X server.
void expose(GtkWidget* window)
{
    while (gtk_events_pending())
        gtk_main_iteration();
    gdk_window_process_all_updates();
    gdk_display_sync(gtk_widget_get_display(window));
}

void settle()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

// The plain peer: a tree view of an icon and two text columns.
struct PlainList {
    explicit PlainList(int count)
    {
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 800, 440);
        GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
        view = gtk_tree_view_new();
        GtkListStore* store = gtk_list_store_new(3, GDK_TYPE_PIXBUF, G_TYPE_STRING, G_TYPE_STRING);
        gtk_tree_view_set_model(GTK_TREE_VIEW(view), GTK_TREE_MODEL(store));
        g_object_unref(store);
        gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view), -1, "", gtk_cell_renderer_pixbuf_new(),
                                                    "pixbuf", 0, nullptr);
        gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view), -1, "", gtk_cell_renderer_text_new(), "text",
                                                    1, nullptr);
        gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view), -1, "", gtk_cell_renderer_text_new(), "text",
                                                    2, nullptr);
        gtk_container_add(GTK_CONTAINER(scrolled), view);
        gtk_container_add(GTK_CONTAINER(window), scrolled);
        GdkPixbuf* icons[kIcons];
        GdkPixbuf* strip = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, kIcons * kSide, kSide);
        gdk_pixbuf_fill(strip, 0x204080ff);
        for (int i = 0; i < kIcons; ++i)
            icons[i] = gdk_pixbuf_new_subpixbuf(strip, i * kSide, 0, kSide, kSide);
        for (int i = 0; i < count; ++i) {
            GtkTreeIter iter;
            const std::string text = "Destination number " + std::to_string(i);
            const std::string detail = "Street " + std::to_string(i % 97) + ", Atlantis";
            gtk_list_store_append(store, &iter);
            gtk_list_store_set(store, &iter, 0, icons[i % kIcons], 1, text.c_str(), 2, detail.c_str(), -1);
        }
        for (GdkPixbuf* icon : icons)
            g_object_unref(icon);
        g_object_unref(strip);
        gtk_widget_show_all(window);
    }
    ~PlainList() { gtk_widget_destroy(window); }
    GtkWidget* window;
    GtkWidget* view;
};

// The list dialog, open and not yet answered.
struct ListDialog {
    explicit ListDialog(XrArray<XrListDlgItem>& items)
    {
        dialog = new XrListDlgMaemo(XrString(L"Results"), items, strip_id(), nullptr);
        dialog->open(1, false);
        window = dialog->get_widget();
        view = XrMaemoCommon::lookup_widget(window, "base_list");
    }
    ~ListDialog() { gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_CANCEL); }
    XrListDlgMaemo* dialog;
    GtkWidget* window;
    GtkWidget* view;
};

// Scrolls from the top to the bottom one page at a time, drawing each.
int scroll_through(GtkWidget* view, GtkWidget* window)
{
    GtkAdjustment* adjustment = gtk_tree_view_get_vadjustment(GTK_TREE_VIEW(view));
    int frames = 0;
    for (double value = 0; value <= adjustment->upper - adjustment->page_size; value += adjustment->page_size) {
        gtk_adjustment_set_value(adjustment, value);
        expose(window);
        ++frames;
    }
    gtk_adjustment_set_value(adjustment, 0);
    expose(window);
    return frames + 1;
}

void BM_ListDialogFillAndFirstExpose(benchmark::State& state)
{
    if (!display_ready()) {
        state.SkipWithError("no X display");
        return;
    }
    auto items = make_items(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto list = std::make_unique<ListDialog>(*items);
        expose(list->window);
        state.PauseTiming();
        list.reset(); // closing is not timed
        settle();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ListDialogFillAndFirstExpose)->Arg(20)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_PlainTreeViewFillAndFirstExpose(benchmark::State& state)
{
    if (!display_ready()) {
        state.SkipWithError("no X display");
        return;
    }
    for (auto _ : state) {
        auto list = std::make_unique<PlainList>(static_cast<int>(state.range(0)));
        expose(list->window);
        state.PauseTiming();
        list.reset();
        settle();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PlainTreeViewFillAndFirstExpose)->Arg(20)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_ListDialogScroll2000(benchmark::State& state)
{
    if (!display_ready()) {
        state.SkipWithError("no X display");
        return;
    }
    auto items = make_items(2000);
    ListDialog list(*items);
    expose(list.window);
    int frames = 0;
    for (auto _ : state)
        frames += scroll_through(list.view, list.window);
    state.counters["frames_per_s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["frames_per_pass"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ListDialogScroll2000)->Unit(benchmark::kMillisecond);

void BM_PlainTreeViewScroll2000(benchmark::State& state)
{
    if (!display_ready()) {
        state.SkipWithError("no X display");
        return;
    }
    PlainList list(2000);
    expose(list.window);
    int frames = 0;
    for (auto _ : state)
        frames += scroll_through(list.view, list.window);
    state.counters["frames_per_s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["frames_per_pass"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PlainTreeViewScroll2000)->Unit(benchmark::kMillisecond);

} // namespace
