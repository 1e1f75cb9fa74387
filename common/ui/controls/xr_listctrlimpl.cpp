#include "common/ui/controls/xr_listctrlimpl.h"

#include "common/container/xr_bytearray.h"
#include "common/misc/xr_utf8.h"
#include "common/ui/controls/xr_listctrlbase.h"
#include "common/ui/controls/xr_listmodel.h"
#include "platform/hildon/hildon.h"

XrListCtrlImplMaemo::XrListCtrlImplMaemo(XrListCtrlBase* owner) : XrListCtrlImpl(owner)
{
    m_view = gtk_tree_view_new();
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(m_view), FALSE);
    m_scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(m_scrolled), GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    hildon_helper_set_thumb_scrollbar(m_scrolled, TRUE);
    gtk_container_add(GTK_CONTAINER(m_scrolled), m_view);
    gtk_widget_set_size_request(m_scrolled, 800, 480);
    owner->set_control(m_scrolled);
    g_object_ref_sink(m_scrolled);
}

XrListCtrlImplMaemo::~XrListCtrlImplMaemo()
{
    // Destroys the view too unless a container still holds the window.
    gtk_widget_destroy(m_scrolled);
    g_object_unref(m_scrolled);
}

void XrListCtrlImplMaemo::set_model(XrListModel* model)
{
    gtk_tree_view_set_model(GTK_TREE_VIEW(m_view), GTK_TREE_MODEL(model->get_store()));
}

void XrListCtrlImplMaemo::set_renderer(int column, XrListRenderer* renderer)
{
    auto* maemo = static_cast<XrListRendererMaemo*>(renderer);
    GtkTreeViewColumn* view_column = gtk_tree_view_column_new();
    gtk_tree_view_column_pack_start(view_column, maemo->get_cell_renderer(), TRUE);
    gtk_tree_view_column_add_attribute(view_column, maemo->get_cell_renderer(), maemo->get_attribute(), column);
    gtk_tree_view_append_column(GTK_TREE_VIEW(m_view), view_column);
}

void XrListCtrlImplMaemo::set_column_title(int column, const XrString& title)
{
    GtkTreeViewColumn* view_column = gtk_tree_view_get_column(GTK_TREE_VIEW(m_view), column);
    if (view_column == nullptr)
        return;
    XrByteArray utf8(16, 16);
    XrUTF8::encode_utf8(title.c_str(), title.length(), utf8);
    utf8.append_byte(0);
    gtk_tree_view_column_set_title(view_column, reinterpret_cast<const char*>(utf8.get_items()));
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(m_view), TRUE);
}

int XrListCtrlImplMaemo::get_selection()
{
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(m_view));
    if (!gtk_tree_selection_get_selected(selection, &model, &iter))
        return -1;
    GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
    const int index = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    return index;
}
