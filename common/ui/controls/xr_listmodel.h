// A list model over a GtkListStore whose columns hold integers, strings or
// images, and the renderers that show one model column as text or image.
// Values go in and out as one pointer per column: an integer in the
// pointer's place, a pointer to an XrString (a file path for images).
#pragma once

#include "common/container/xr_string.h"

#include <gtk/gtk.h>

class XrListModel {
public:
    enum ColumnType { COLUMN_INT = 0, COLUMN_STRING = 1, COLUMN_IMAGE = 2 };

    XrListModel(int columns, const ColumnType* types);
    XrListModel(const XrListModel&) = delete;
    XrListModel& operator=(const XrListModel&) = delete;
    // Drops the model's reference to the store; a view keeps its own.
    virtual ~XrListModel();

    // One value argument per column (void*).
    virtual void append_row(void* first, ...);
    virtual void append_row(void** values);
    virtual void insert_row(int index, ...);
    virtual void insert_row(int index, void** values);
    // Rows are not removed one by one through the model.
    virtual void remove_row(int) {}
    virtual void clear();
    // A new array (new[]) of one value per column, null without such row:
    // integers in the pointers' places, new XrStrings for strings, null for
    // images. The caller owns the array and the strings.
    virtual void** get_row(int index);
    virtual int column_count() const { return m_columns; }
    virtual GtkListStore* get_store() const { return m_store; }

private:
    void set_values(GtkTreeIter* iter, void** values);

    GtkListStore* m_store;
    int m_columns;
    ColumnType* m_types;
};

class XrListRenderer {
public:
    explicit XrListRenderer(GtkCellRenderer* cell) : m_cell(cell) {}
    XrListRenderer(const XrListRenderer&) = delete;
    XrListRenderer& operator=(const XrListRenderer&) = delete;
    // The tree view column that packs the cell holds it.
    virtual ~XrListRenderer() = default;
    virtual GtkCellRenderer* get_cell_renderer() const { return m_cell; }

private:
    GtkCellRenderer* m_cell;
};

class XrListRendererMaemo : public XrListRenderer {
public:
    using XrListRenderer::XrListRenderer;
    // The cell property that shows the model column.
    virtual const char* get_attribute() const = 0;
};

class XrListRendererString : public XrListRendererMaemo {
public:
    XrListRendererString() : XrListRendererMaemo(gtk_cell_renderer_text_new()) {}
    const char* get_attribute() const override { return "text"; }
};

class XrListRendererImage : public XrListRendererMaemo {
public:
    XrListRendererImage() : XrListRendererMaemo(gtk_cell_renderer_pixbuf_new()) {}
    const char* get_attribute() const override { return "pixbuf"; }
};
