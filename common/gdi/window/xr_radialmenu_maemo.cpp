#include <cstring>
#include <string>

#include "common/bmloader/xr_bitmap.h"
#include "common/container/xr_bytearray.h"
#include "common/container/xr_defs.h"
#include "common/gdi/window/xr_radialmenu.h"
#include "common/gdi/xr_gdi.h"
#include "common/misc/xr_msgtable.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_utf8.h"

struct XrRadialMenu::XrPopup {
    XrRadialMenu* menu;
    GtkWidget* gtk_menu;
    bool done;
    bool pressed;
    GtkWidget* item; // under the pointer
};

namespace {

GtkWidget* g_open_menu = nullptr;

std::string label_text(int label_id)
{
    XrString text;
    if (!get_translated_text(text, label_id))
        return std::string();
    XrByteArray utf8;
    XrUTF8::encode_utf8(text.c_str(), -1, utf8);
    return std::string(reinterpret_cast<const char*>(utf8.get_items()), static_cast<size_t>(utf8.get_num_items()));
}

} // namespace

void XrRadialMenuData::add_item(int label_id, int icon_index, int command)
{
    auto* items = new XrRadialMenuItem[m_count + 1];
    for (int i = 0; i < m_count; ++i)
        items[i] = m_items[i];
    items[m_count].label_id = label_id;
    items[m_count].icon_index = icon_index;
    items[m_count].command = command;
    items[m_count].hidden = false;
    items[m_count].locked = false;
    delete[] m_items;
    m_items = items;
    ++m_count;
}

void XrRadialMenuData::clear_items()
{
    delete[] m_items;
    m_items = nullptr;
    m_count = 0;
}

XrRadialMenu::XrRadialMenu(const XrRadialMenuData* menu, XrBitmapHandleRec*, XrBitmapHandleRec*, int,
                           XrMapWindow* wnd, XrEventloopBase* eloop, XrString& title, XrRadialMenuListener* listener)
    : m_menu(menu), m_window(wnd), m_loop(eloop), m_title(title), m_listener(listener)
{
    XR_ASSERT(menu);
    XR_ASSERT(wnd);
    XR_ASSERT(eloop);
}

XrRadialMenu::~XrRadialMenu()
{
    XR_ASSERT_MSG(m_popup == nullptr, "ctrl == 0");
}

XrDCHandleRec* XrRadialMenu::get_menu_dc()
{
    XR_ASSERT(false);
    return nullptr;
}

XrSize XrRadialMenu::size()
{
    XR_ASSERT(false);
    return XrSize();
}

GtkWidget* XrRadialMenu::get_open_menu()
{
    return g_open_menu;
}

int XrRadialMenu::show_at(const XrPoint& point, int& command, int)
{
    m_point = point;
    XrPopup popup = {this, gtk_menu_new(), false, false, nullptr};
    g_object_ref_sink(popup.gtk_menu);
    m_popup = &popup;

    XrBitmap* strip = XrGDI::load_bitmap_file(
        XrPathResolver::resolve(XrString(L"?:/kestrova/images/rmactions_maemo.png")).c_str());
    if (strip == nullptr)
        g_warning("radial menu: action strip image missing; items without icons");
    const int side = strip != nullptr ? strip->height() : 0;

    auto add = [&](const XrRadialMenuItem& entry) {
        GtkWidget* item = gtk_image_menu_item_new_with_label(label_text(entry.label_id).c_str());
        if (strip != nullptr && side > 0 && (entry.icon_index + 1) * side <= strip->width() && entry.icon_index >= 0) {
            if (GdkPixbuf* icon = XrGDI::bitmap_to_pixbuf(strip->bitmap(), entry.icon_index * side, 0, side, side)) {
                gtk_image_menu_item_set_image(GTK_IMAGE_MENU_ITEM(item), gtk_image_new_from_pixbuf(icon));
                g_object_unref(icon);
            }
        }
        g_object_set_data(G_OBJECT(item), "cmd_id", GINT_TO_POINTER(entry.command));
        if (entry.locked)
            gtk_widget_set_sensitive(item, FALSE);
        g_signal_connect(item, "activate", G_CALLBACK(on_activate), &popup);
        g_signal_connect(item, "select", G_CALLBACK(on_select), &popup);
        gtk_widget_show_all(item);
        gtk_menu_shell_append(GTK_MENU_SHELL(popup.gtk_menu), item);
    };
    for (const XrRadialMenuItem& entry : m_menu->ring)
        if (!entry.hidden)
            add(entry);
    for (int i = 0; i < m_menu->get_item_count(); ++i)
        add(m_menu->get_item(i));
    delete strip;

    g_signal_connect(popup.gtk_menu, "selection-done", G_CALLBACK(on_selection_done), &popup);
    g_signal_connect(popup.gtk_menu, "button_press_event", G_CALLBACK(on_button_press), &popup);
    g_signal_connect(popup.gtk_menu, "button_release_event", G_CALLBACK(on_button_release), &popup);
    g_signal_connect(popup.gtk_menu, "motion_notify_event", G_CALLBACK(on_motion), &popup);
    gtk_menu_popup(GTK_MENU(popup.gtk_menu), nullptr, nullptr, nullptr, nullptr, 0, 0);

    GtkWidget* outer = g_open_menu;
    g_open_menu = popup.gtk_menu;
    while (!popup.done)
        g_main_context_iteration(nullptr, TRUE);
    g_open_menu = outer;

    gtk_widget_destroy(popup.gtk_menu);
    g_object_unref(popup.gtk_menu);
    m_popup = nullptr;

    if (m_selected_command != -1)
        command = m_selected_command;
    else if (m_selected_ring >= 0 && m_selected_ring < XrRadialMenuData::RING_COUNT)
        command = m_menu->ring[m_selected_ring].command;
    return m_result;
}

void XrRadialMenu::on_activate(GtkMenuItem* item, XrPopup* popup)
{
    popup->menu->m_selected_command = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "cmd_id"));
    popup->menu->m_result = 1;
}

void XrRadialMenu::on_select(GtkMenuItem* item, XrPopup* popup)
{
    popup->item = GTK_WIDGET(item);
}

void XrRadialMenu::on_selection_done(GtkMenuShell*, XrPopup* popup)
{
    popup->done = true;
}

gboolean XrRadialMenu::on_button_press(GtkWidget*, GdkEventButton*, XrPopup* popup)
{
    popup->pressed = true;
    return FALSE;
}

gboolean XrRadialMenu::on_button_release(GtkWidget*, GdkEventButton*, XrPopup* popup)
{
    // The release of the tap that opened the menu activates nothing.
    return popup->pressed ? FALSE : TRUE;
}

gboolean XrRadialMenu::on_motion(GtkWidget*, GdkEventMotion* event, XrPopup* popup)
{
    GList* items = gtk_container_get_children(GTK_CONTAINER(popup->gtk_menu));
    for (GList* l = items; l != nullptr; l = l->next) {
        GtkWidget* item = GTK_WIDGET(l->data);
        if (item->window == event->window && item != popup->item &&
            event->y >= item->allocation.y && event->y < item->allocation.y + item->allocation.height) {
            gtk_menu_shell_select_item(GTK_MENU_SHELL(popup->gtk_menu), item);
            break;
        }
    }
    g_list_free(items);
    return FALSE;
}
