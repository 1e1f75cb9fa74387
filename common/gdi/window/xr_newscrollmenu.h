// XrNewScrollMenu: a full-window settings menu in place of the map: rows
// each with a label and a horizontal choice of icons, one selected per row.
// Runs modally until confirmed (Return, the confirm button) or cancelled
// (Escape) and leaves the choices in the caller's menu data.
#pragma once

#include <gtk/gtk.h>

#include "common/bmloader/xr_bitmap.h"
#include "common/geometry/xr_point.h"

class XrMapWindow;
struct XrDCHandleRec;

struct XrScrollMenuItem {
    int text_id = 0;
    int icon_index = 0; // column in the icon strip
    bool visible = true;
    XrRectangle hit; // written when drawn
};

struct XrScrollMenuRow {
    int label_id = 0;
    int selected = 0;
    int item_count = 0;
    bool enabled = true; // disabled rows are neither drawn nor reachable
    XrScrollMenuItem* items = nullptr;
};

struct XrScrollMenuData {
    unsigned int strip_id = 0; // icon strip of the items
    int row_count = 0;
    XrScrollMenuRow* rows = nullptr;
};

class XrNewScrollMenu {
public:
    // Icon ids of the shared images.
    enum : unsigned int {
        HIGHLIGHT_CURRENT_FULL = 0x49A70010,
        HIGHLIGHT_CURRENT_WINDOWED = 0x49A7000F,
        HIGHLIGHT_OTHER_FULL = 0x49A70012,
        HIGHLIGHT_OTHER_WINDOWED = 0x49A70011,
        BUTTONS_FULL = 0x49A70007,
        BUTTONS_WINDOWED = 0x49A70008,
    };
    enum Result { Running = 0, Confirmed = 1, Cancelled = 2 };

    // Runs the menu; true when it was confirmed. False at once (logged)
    // when the background canvas cannot be loaded.
    static bool execute(XrMapWindow* window, XrScrollMenuData* data, int a, int b, int c);

    // The menu while execute runs, else null (tests).
    static XrNewScrollMenu* get_running() { return s_running; }
    GtkWidget* get_area() const { return m_area; }
    int get_current_row() const { return m_row; }
    // The confirm button's rectangle (right and bottom inclusive).
    XrRectangle get_confirm_rect() const;

    static bool load_bitmaps();
    static void load_button_bitmaps();
    // Frees the shared images.
    static void free_bitmaps();

private:
    XrNewScrollMenu(XrMapWindow* window, XrScrollMenuData* data);
    ~XrNewScrollMenu();

    void run();
    void move_row(int step);
    void move_item(int step);
    void tap(int x, int y);
    void draw();
    void queue_redraw();

    static gboolean key_callback(GtkWidget*, GdkEventKey* event, XrNewScrollMenu* menu);
    static gboolean button_callback(GtkWidget*, GdkEventButton* event, XrNewScrollMenu* menu);
    static gboolean expose_callback(GtkWidget*, GdkEventExpose* event, XrNewScrollMenu* menu);

    static XrNewScrollMenu* s_running;

    XrMapWindow* m_window;
    XrScrollMenuData* m_data;
    GtkWidget* m_area = nullptr;
    XrDCHandleRec* m_dc = nullptr;
    XrDCHandleRec* m_buffer = nullptr;
    XrBitmap m_strip;
    int m_result = Running;
    int m_row = 0;
    int m_previous_row = 0;
    guint m_timer = 0;
    gulong m_key_press = 0;
    gulong m_key_release = 0;
};
