#include "common/ui/controls/xr_contextuallistctrl.h"

#include "common/container/xr_bytearray.h"
#include "common/misc/xr_utf8.h"

#include <cstdlib>
#include <string>

namespace {

std::string utf8_of(const XrString& text)
{
    XrByteArray out(16, 16);
    XrUTF8::encode_utf8(text.c_str(), text.length(), out);
    return std::string(reinterpret_cast<const char*>(out.get_items()), out.get_num_items());
}

GtkTreePath* path_of(int index)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", index);
    return gtk_tree_path_new_from_string(text);
}

} // namespace

XrContextualListCtrlBase::~XrContextualListCtrlBase()
{
    if (m_redraw_source != 0)
        g_source_remove(m_redraw_source);
    disconnect();
}

void XrContextualListCtrlBase::disconnect()
{
    if (m_view != nullptr) {
        g_signal_handlers_disconnect_matched(gtk_tree_view_get_selection(GTK_TREE_VIEW(m_view)), G_SIGNAL_MATCH_DATA, 0,
                                             0, nullptr, nullptr, this);
        // The icon function refers to this control: the view (which may
        // outlive it inside its window) forgets it.
        GtkTreeViewColumn* first = gtk_tree_view_get_column(GTK_TREE_VIEW(m_view), 0);
        if (first != nullptr) {
            GList* cells = gtk_tree_view_column_get_cell_renderers(first);
            if (cells != nullptr)
                gtk_tree_view_column_set_cell_data_func(first, GTK_CELL_RENDERER(cells->data), nullptr, nullptr,
                                                        nullptr);
            g_list_free(cells);
        }
        g_object_remove_weak_pointer(G_OBJECT(m_view), reinterpret_cast<gpointer*>(&m_view));
    }
    for (GtkWidget** button : {&m_page_up, &m_page_down}) {
        if (*button != nullptr) {
            g_signal_handlers_disconnect_matched(*button, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
            g_object_remove_weak_pointer(G_OBJECT(*button), reinterpret_cast<gpointer*>(button));
            *button = nullptr;
        }
    }
    m_view = nullptr;
}

void XrContextualListCtrlBase::set_native_control(void* native)
{
    XR_ASSERT(native);
    disconnect();
    const auto* widgets = static_cast<const XrContextualListWidgets*>(native);
    m_view = widgets->tree_view;
    m_page_up = widgets->page_up;
    m_page_down = widgets->page_down;
    if (m_view != nullptr) {
        // The pointers clear themselves when the window goes first.
        g_object_add_weak_pointer(G_OBJECT(m_view), reinterpret_cast<gpointer*>(&m_view));
        GtkListStore* rows = gtk_list_store_new(2, G_TYPE_STRING, G_TYPE_STRING);
        GtkTreeView* view = GTK_TREE_VIEW(m_view);
        while (GtkTreeViewColumn* old = gtk_tree_view_get_column(view, 0))
            gtk_tree_view_remove_column(view, old);

        GtkTreeViewColumn* first = gtk_tree_view_column_new();
        gtk_tree_view_column_set_title(first, "");
        gtk_tree_view_column_set_sizing(first, GTK_TREE_VIEW_COLUMN_AUTOSIZE);
        GtkCellRenderer* icon = gtk_cell_renderer_pixbuf_new();
        gtk_tree_view_column_pack_start(first, icon, FALSE);
        gtk_tree_view_column_set_cell_data_func(first, icon, &icon_cell, this, nullptr);
        GtkCellRenderer* text = gtk_cell_renderer_text_new();
        gtk_cell_renderer_text_set_fixed_height_from_font(GTK_CELL_RENDERER_TEXT(text), 2);
        gtk_tree_view_column_pack_start(first, text, TRUE);
        gtk_tree_view_column_add_attribute(first, text, "text", 0);
        gtk_tree_view_append_column(view, first);

        GtkTreeViewColumn* second = gtk_tree_view_column_new();
        gtk_tree_view_column_set_title(second, "");
        gtk_tree_view_column_set_sizing(second, GTK_TREE_VIEW_COLUMN_AUTOSIZE);
        GtkCellRenderer* detail = gtk_cell_renderer_text_new();
        gtk_cell_renderer_text_set_fixed_height_from_font(GTK_CELL_RENDERER_TEXT(detail), 2);
        gtk_tree_view_column_pack_start(second, detail, TRUE);
        gtk_tree_view_column_add_attribute(second, detail, "text", 1);
        gtk_tree_view_append_column(view, second);

        // Items added before the view was bound get their rows now.
        for (int i = 0; i < own_count(); ++i) {
            GtkTreeIter iter;
            gtk_list_store_append(rows, &iter);
            set_row(rows, &iter, i);
        }
        gtk_tree_view_set_model(view, GTK_TREE_MODEL(rows));
        g_object_unref(rows);
        g_signal_connect(gtk_tree_view_get_selection(view), "changed", G_CALLBACK(&selection_changed), this);
    }
    for (GtkWidget** button : {&m_page_up, &m_page_down}) {
        if (*button != nullptr) {
            g_object_add_weak_pointer(G_OBJECT(*button), reinterpret_cast<gpointer*>(button));
            g_signal_connect(*button, "clicked", G_CALLBACK(&paging_clicked), this);
        }
    }
}

GtkListStore* XrContextualListCtrlBase::store() const
{
    if (m_view == nullptr)
        return nullptr;
    GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(m_view));
    XR_ASSERT_MSG(model, "store");
    return GTK_LIST_STORE(model);
}

void XrContextualListCtrlBase::set_row(GtkListStore* rows, GtkTreeIter* iter, int index)
{
    const XrSimpleListItemBase& item = get_item(index);
    gtk_list_store_set(rows, iter, 0, utf8_of(item.get_text()).c_str(), 1, utf8_of(item.get_detail_text()).c_str(), -1);
}

void XrContextualListCtrlBase::add_item(XrListItem* item)
{
    XrListCtrlBase::add_item(item);
    if (GtkListStore* rows = store()) {
        GtkTreeIter iter;
        gtk_list_store_append(rows, &iter);
        set_row(rows, &iter, own_count() - 1);
    }
}

void XrContextualListCtrlBase::insert_item(XrListItem* item, int index)
{
    XrListCtrlBase::insert_item(item, index);
    if (GtkListStore* rows = store()) {
        GtkTreeIter iter;
        gtk_list_store_insert(rows, &iter, index);
        set_row(rows, &iter, index);
    }
}

void XrContextualListCtrlBase::remove_item(int index)
{
    XrListCtrlBase::remove_item(index);
    GtkListStore* rows = store();
    if (rows == nullptr)
        return;
    GtkTreePath* path = path_of(index);
    GtkTreeIter iter;
    if (gtk_tree_model_get_iter(GTK_TREE_MODEL(rows), &iter, path))
        gtk_list_store_remove(rows, &iter);
    gtk_tree_path_free(path);
}

void XrContextualListCtrlBase::remove_all_items()
{
    if (GtkListStore* rows = store())
        gtk_list_store_clear(rows);
    XrListCtrlBase::remove_all_items();
}

void XrContextualListCtrlBase::items_swapped(int index1, int index2)
{
    GtkListStore* rows = store();
    if (rows == nullptr)
        return;
    GtkTreeIter a, b;
    if (gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(rows), &a, nullptr, index1) &&
        gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(rows), &b, nullptr, index2))
        gtk_list_store_swap(rows, &a, &b);
}

void XrContextualListCtrlBase::set_selection(int index)
{
    if (m_view == nullptr)
        return;
    GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(m_view));
    GtkTreePath* path = path_of(index);
    GtkTreeIter iter;
    if (index >= 0 && model != nullptr && gtk_tree_model_get_iter(model, &iter, path)) {
        gtk_tree_view_set_cursor(GTK_TREE_VIEW(m_view), path, nullptr, FALSE);
        gtk_tree_selection_select_path(gtk_tree_view_get_selection(GTK_TREE_VIEW(m_view)), path);
    }
    gtk_tree_path_free(path);
}

int XrContextualListCtrlBase::item_count()
{
    GtkListStore* rows = store();
    if (rows == nullptr)
        return 0;
    int count = 0;
    GtkTreeIter iter;
    for (gboolean more = gtk_tree_model_get_iter_first(GTK_TREE_MODEL(rows), &iter); more;
         more = gtk_tree_model_iter_next(GTK_TREE_MODEL(rows), &iter))
        ++count;
    return count;
}

int XrContextualListCtrlBase::get_selected_index() const
{
    if (m_view == nullptr)
        return -1;
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(m_view)), &model, &iter))
        return -1;
    gchar* text = gtk_tree_model_get_string_from_iter(model, &iter);
    const int index = std::atoi(text);
    g_free(text);
    return index;
}

void XrContextualListCtrlBase::page(int rows)
{
    const int count = item_count();
    int target = get_selected_index() + rows;
    if (target < 0)
        target = 0;
    if (target >= count)
        target = count - 1;
    if (target >= 0)
        set_selection(target);
}

void XrContextualListCtrlBase::paging_clicked(GtkButton* button, gpointer control)
{
    auto* self = static_cast<XrContextualListCtrlBase*>(control);
    self->page(GTK_WIDGET(button) == self->m_page_up ? -PAGE_ROWS : PAGE_ROWS);
}

void XrContextualListCtrlBase::selection_changed(GtkTreeSelection*, gpointer control)
{
    // The highlight follows the view's selection, whoever made it.
    auto* self = static_cast<XrContextualListCtrlBase*>(control);
    const int index = self->get_selected_index();
    if (index >= 0 && index < self->own_count())
        self->set_highlighted(index);
}

void XrContextualListCtrlBase::queue_redraw()
{
    if (m_redraw_source == 0)
        m_redraw_source = g_idle_add(&redraw_idle, this);
}

gboolean XrContextualListCtrlBase::redraw_idle(gpointer control)
{
    auto* self = static_cast<XrContextualListCtrlBase*>(control);
    self->m_redraw_source = 0;
    if (self->m_view != nullptr)
        gtk_widget_queue_draw(self->m_view);
    return FALSE;
}

void XrContextualListCtrlBase::icon_cell(GtkTreeViewColumn*, GtkCellRenderer* cell, GtkTreeModel* model,
                                         GtkTreeIter* iter, gpointer control)
{
    auto* self = static_cast<XrContextualListCtrlBase*>(control);
    GtkTreePath* path = gtk_tree_model_get_path(model, iter);
    const int index = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    GdkPixbuf* pixbuf = nullptr;
    if (index >= 0 && index < self->own_count())
        pixbuf = self->icon_pixbuf_of(self->get_item(index));
    // A row without icon shows none (not the previous row's).
    g_object_set(cell, "pixbuf", pixbuf, nullptr);
}
