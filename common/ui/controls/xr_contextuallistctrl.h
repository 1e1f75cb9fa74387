// The list control of every dialog: items carry, beside their texts and
// icon, a copy of a record (their context). The rows are shown by a GTK
// tree view that the dialog's builder made; two optional buttons page the
// selection up and down by three rows. One store row per item: the store
// follows every addition, removal and reordering of the items.
#pragma once

#include "common/ui/controls/xr_simplelistctrl.h"

#include <gtk/gtk.h>

// The widgets a dialog binds with set_native_control; any may be null.
struct XrContextualListWidgets {
    GtkWidget* tree_view = nullptr;
    GtkWidget* page_up = nullptr;
    GtkWidget* page_down = nullptr;
};

template <class T>
class XrContextualListItem : public XrSimpleListItem {
public:
    XrContextualListItem(const XrString& text, const XrString& detail, const T& context, int icon_index, int icon_id)
        : XrSimpleListItem(text, detail, icon_index, icon_id), m_context(context)
    {
    }
    const T& get_context() const { return m_context; }
    T& get_context() { return m_context; }

private:
    T m_context;
};

// What every instance shares: the tree view, its store and the paging.
class XrContextualListCtrlBase : public XrSimpleListCtrl {
public:
    static constexpr int PAGE_ROWS = 3;

    explicit XrContextualListCtrlBase(int style) : XrSimpleListCtrl(style) {}
    // Disconnects from the bound widgets (they belong to the dialog).
    ~XrContextualListCtrlBase() override;

    // GTK lays the view out.
    void set_rectangle(const XrRectangle&) override {}
    // native: an XrContextualListWidgets record.
    void set_native_control(void* native) override;
    using XrSimpleListCtrl::add_item;
    using XrSimpleListCtrl::insert_item;
    // Every way of adding an item ends here: one store row per item.
    void add_item(XrListItem* item) override;
    void insert_item(XrListItem* item, int index) override;
    void remove_item(int index) override;
    void remove_all_items() override;
    // Dialogs read the selection themselves.
    void select_active_item() override {}
    // Selects the view's row; nothing when there is no such row.
    void set_selection(int index) override;
    void set_background(const XrBitmap&) override {}
    void set_background_alpha(const XrBitmap&) override {}
    void set_style(int) override {}
    void set_icon_bitmap(const XrBitmap&) override {}
    void set_move_icon_index(int) override {}
    void blink_and_select(bool) override {}

    // Rows of the view's store; 0 while no view is bound.
    int item_count() override;
    // The selected row, -1 for none.
    int get_selected_index() const;
    // Redraws the view once the main loop is idle.
    void queue_redraw();

    GtkWidget* get_tree_view() const { return m_view; }
    // The buttons page by PAGE_ROWS; exposed for the dialogs' own keys.
    void page(int rows);

protected:
    void items_swapped(int index1, int index2) override;
    // The count of the items (the view may hold fewer rows while unbound).
    int own_count() { return XrListCtrlBase::item_count(); }

private:
    static void icon_cell(GtkTreeViewColumn* column, GtkCellRenderer* cell, GtkTreeModel* model, GtkTreeIter* iter,
                          gpointer control);
    static void paging_clicked(GtkButton* button, gpointer control);
    static void selection_changed(GtkTreeSelection* selection, gpointer control);
    static gboolean redraw_idle(gpointer control);
    GtkListStore* store() const;
    void disconnect();
    void set_row(GtkListStore* rows, GtkTreeIter* iter, int index);

    GtkWidget* m_view = nullptr;
    GtkWidget* m_page_up = nullptr;
    GtkWidget* m_page_down = nullptr;
    guint m_redraw_source = 0;
};

template <class T>
class XrContextualListCtrl : public XrContextualListCtrlBase {
public:
    explicit XrContextualListCtrl(int style) : XrContextualListCtrlBase(style) {}

    using XrSimpleListCtrl::add_item;
    void add_item(const XrString& text, const XrString& detail, const T& context, int icon_index, int icon_id)
    {
        XrContextualListCtrlBase::add_item(
            static_cast<XrListItem*>(new XrContextualListItem<T>(text, detail, context, icon_index, icon_id)));
    }

    XrContextualListItem<T>& get_ctx_item(int index)
    {
        auto* item = static_cast<XrContextualListItem<T>*>(get_item_ptr(index));
        XR_ASSERT(item);
        return *item;
    }
};
