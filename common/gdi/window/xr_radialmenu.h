// The context menu opened where the user held the stylus on the map: four
// fixed ring entries (each may be hidden) and any number of further entries.
// On this platform it is a GTK popup menu of image menu items whose icons
// are cut from one strip image; show_at runs it modally.
#pragma once

#include <gtk/gtk.h>

#include "common/container/xr_string.h"
#include "common/geometry/xr_point.h"
#include "common/os/xr_eventhandler.h"

class XrMapWindow;
class XrEventloopBase;
struct XrBitmapHandleRec;
struct XrDCHandleRec;

struct XrRadialMenuItem {
    int label_id = 0;   // translated text identifier
    int icon_index = 0; // column in the action strip
    int command = 0;
    bool hidden = false; // honoured by the four ring entries only
    bool locked = false; // shown, but cannot be chosen
};

class XrRadialMenuData {
public:
    enum { RING_COUNT = 4 };

    XrRadialMenuData() = default;
    ~XrRadialMenuData() { clear_items(); }
    XrRadialMenuData(const XrRadialMenuData&) = delete;
    XrRadialMenuData& operator=(const XrRadialMenuData&) = delete;

    // Appends one further entry.
    void add_item(int label_id, int icon_index, int command);
    void clear_items();
    int get_item_count() const { return m_count; }
    const XrRadialMenuItem& get_item(int index) const { return m_items[index]; }

    XrRadialMenuItem ring[RING_COUNT];
    unsigned int ring_icons[RING_COUNT] = {0, 0, 0, 0};

private:
    int m_count = 0;
    XrRadialMenuItem* m_items = nullptr;
};

// Told about the menu's choices (nothing on this platform calls it yet).
class XrRadialMenuListener {
public:
    virtual ~XrRadialMenuListener() = default;
};

class XrRadialMenu : public XrEventHandler {
public:
    // menu, wnd and eloop are required (fatal without).
    XrRadialMenu(const XrRadialMenuData* menu, XrBitmapHandleRec* ring_image, XrBitmapHandleRec* ring_mask, int,
                 XrMapWindow* wnd, XrEventloopBase* eloop, XrString& title, XrRadialMenuListener* listener);
    ~XrRadialMenu() override;

    // Pops the menu up and runs it until it closes. command becomes the
    // activated item's command; without an activation it stays unchanged.
    // 1 after an activated item, else 0.
    int show_at(const XrPoint& point, int& command, int);

    // A drawn ring exists on other platforms only (fatal here).
    XrDCHandleRec* get_menu_dc();
    XrSize size();

    // The menu while show_at runs, else null (tests answer it).
    static GtkWidget* get_open_menu();

    const XrPoint& get_point() const { return m_point; }

private:
    struct XrPopup;

    static void on_activate(GtkMenuItem* item, XrPopup* popup);
    static void on_select(GtkMenuItem* item, XrPopup* popup);
    static void on_selection_done(GtkMenuShell* shell, XrPopup* popup);
    static gboolean on_button_press(GtkWidget* widget, GdkEventButton* event, XrPopup* popup);
    static gboolean on_button_release(GtkWidget* widget, GdkEventButton* event, XrPopup* popup);
    static gboolean on_motion(GtkWidget* widget, GdkEventMotion* event, XrPopup* popup);

    const XrRadialMenuData* m_menu;
    // Kept for platforms that draw the ring themselves.
    [[maybe_unused]] XrMapWindow* m_window;
    [[maybe_unused]] XrEventloopBase* m_loop;
    XrString m_title;
    [[maybe_unused]] XrRadialMenuListener* m_listener;
    XrPoint m_point;
    int m_selected_ring = 5; // 5: none
    int m_selected_command = -1;
    int m_result = 0;
    XrPopup* m_popup = nullptr;
};
