// The platform half of a list control, created by XrListCtrlBase::construct.
// On this platform: a tree view in a scrolled window with a thumb scroll
// bar; the scrolled window becomes the control's native widget.
#pragma once

#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"

#include <gtk/gtk.h>

class XrListCtrlBase;
class XrListModel;
class XrListRenderer;

class XrListCtrlImpl {
public:
    explicit XrListCtrlImpl(XrListCtrlBase* owner) : m_owner(owner) {}
    XrListCtrlImpl(const XrListCtrlImpl&) = delete;
    XrListCtrlImpl& operator=(const XrListCtrlImpl&) = delete;
    virtual ~XrListCtrlImpl() = default;

    virtual void set_model(XrListModel* model) = 0;
    virtual void set_renderer(int column, XrListRenderer* renderer) = 0;
    virtual void set_column_title(int column, const XrString& title) = 0;
    virtual void rows_changed(int first, int count) = 0;
    // The selected row, -1 for none.
    virtual int get_selection() = 0;

    XrListCtrlBase* get_owner() const { return m_owner; }

private:
    XrListCtrlBase* m_owner;
};

class XrListCtrlImplMaemo : public XrListCtrlImpl {
public:
    explicit XrListCtrlImplMaemo(XrListCtrlBase* owner);
    // Lets go of the scrolled window.
    ~XrListCtrlImplMaemo() override;

    void set_model(XrListModel* model) override;
    void set_renderer(int column, XrListRenderer* renderer) override;
    // Shows the headers.
    void set_column_title(int column, const XrString& title) override;
    // The store already shows the rows.
    void rows_changed(int, int) override {}
    int get_selection() override;

    // GTK lays out and draws the view itself.
    XrRectangle get_list_rect() const { return XrRectangle(); }

    GtkWidget* get_tree_view() const { return m_view; }
    GtkWidget* get_scrolled_window() const { return m_scrolled; }

private:
    GtkWidget* m_view;
    GtkWidget* m_scrolled;
};
