#include "common/gdi/window/xr_newscrollmenu.h"

#include <gdk/gdkkeysyms.h>

#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/xr_gdi.h"
#include "common/misc/xr_path_resolver.h"
#include "common/ui/fonts/xr_fontrepository.h"

XrNewScrollMenu* XrNewScrollMenu::s_running = nullptr;

namespace {

XrBitmap* g_canvas = nullptr;
XrBitmap* g_highlights[4] = {nullptr, nullptr, nullptr, nullptr}; // current full/windowed, other full/windowed
XrBitmap* g_buttons[2] = {nullptr, nullptr};                     // full, windowed

constexpr int kLabelFont = 84;
constexpr int kFirstRowY = 60;
constexpr int kFirstItemX = 300;

struct XrButton {
    int x, y, sx, width;
};
// The confirm button (the only one drawn): full screen, windowed.
constexpr XrButton kConfirm[2] = {{675, 404, 162, 107}, {566, 342, 136, 89}};

int mode()
{
    return XrMapWindow::is_fullscreen() ? 0 : 1;
}

XrBitmap* highlight(bool current)
{
    return g_highlights[(current ? 0 : 2) + mode()];
}

// Row height: the current-row highlight's height (16 without the image).
int row_height()
{
    XrBitmap* h = highlight(true);
    return h != nullptr && h->height() > 0 ? h->height() : 16;
}

bool font_repository()
{
    return XrSingleton::get_instance(XrString(L"XrFontRepository")) != nullptr;
}

} // namespace

bool XrNewScrollMenu::load_bitmaps()
{
    if (g_canvas == nullptr) {
        g_canvas = XrGDI::load_bitmap_file(
            XrPathResolver::resolve(XrString(L"?:/kestrova/images/canvas.png")).c_str());
        if (g_canvas == nullptr) {
            g_warning("scroll menu: background canvas image missing");
            return false;
        }
    }
    if (g_highlights[0] == nullptr) {
        const unsigned int ids[4] = {HIGHLIGHT_CURRENT_FULL, HIGHLIGHT_CURRENT_WINDOWED, HIGHLIGHT_OTHER_FULL,
                                     HIGHLIGHT_OTHER_WINDOWED};
        for (int i = 0; i < 4; ++i)
            g_highlights[i] = new XrBitmap(ids[i], false);
    }
    return true;
}

void XrNewScrollMenu::load_button_bitmaps()
{
    if (g_buttons[0] == nullptr) {
        g_buttons[0] = new XrBitmap(BUTTONS_FULL, false);
        g_buttons[1] = new XrBitmap(BUTTONS_WINDOWED, false);
    }
}

void XrNewScrollMenu::free_bitmaps()
{
    delete g_canvas;
    g_canvas = nullptr;
    for (XrBitmap*& b : g_highlights) {
        delete b;
        b = nullptr;
    }
    for (XrBitmap*& b : g_buttons) {
        delete b;
        b = nullptr;
    }
}

XrNewScrollMenu::XrNewScrollMenu(XrMapWindow* window, XrScrollMenuData* data)
    : m_window(window), m_data(data), m_strip(data->strip_id, false)
{
    // Start on the first enabled row.
    m_row = 0;
    while (m_row < m_data->row_count && !m_data->rows[m_row].enabled)
        ++m_row;
    if (m_row >= m_data->row_count)
        m_row = 0;
    m_previous_row = m_row;
}

XrNewScrollMenu::~XrNewScrollMenu()
{
    if (m_timer != 0)
        g_source_remove(m_timer);
    XrGDI::delete_dc(m_buffer);
    if (m_dc != nullptr)
        m_window->release_window_dc(m_dc);
}

bool XrNewScrollMenu::execute(XrMapWindow* window, XrScrollMenuData* data, int, int, int)
{
    if (window == nullptr || data == nullptr || !load_bitmaps())
        return false;
    load_button_bitmaps();
    XrNewScrollMenu menu(window, data);
    XrNewScrollMenu* outer = s_running;
    s_running = &menu;
    menu.run();
    s_running = outer;
    return menu.m_result == Confirmed;
}

XrRectangle XrNewScrollMenu::get_confirm_rect() const
{
    const XrButton& b = kConfirm[mode()];
    XrBitmap* strip = g_buttons[mode()];
    const int h = strip != nullptr ? strip->height() : 0;
    return XrRectangle(b.x, b.y, b.x + b.width - 1, b.y + (h > 0 ? h : 1) - 1);
}

void XrNewScrollMenu::run()
{
    m_area = gtk_drawing_area_new();
    gtk_widget_show(m_area);
    gtk_widget_set_events(m_area, GDK_EXPOSURE_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                      GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK);
    GtkWidget* top = GTK_WIDGET(m_window->get_window());
    m_key_press = g_signal_connect(top, "key_press_event", G_CALLBACK(key_callback), this);
    m_key_release = g_signal_connect(top, "key_release_event", G_CALLBACK(key_callback), this);
    g_signal_connect(m_area, "button_press_event", G_CALLBACK(button_callback), this);
    g_signal_connect(m_area, "button_release_event", G_CALLBACK(button_callback), this);
    g_signal_connect(m_area, "expose_event", G_CALLBACK(expose_callback), this);
    gtk_widget_set_app_paintable(m_area, TRUE);
    gtk_widget_set_double_buffered(m_area, FALSE);
    m_window->set_content_widget(m_area);
    if (GtkWidget* toolbar = m_window->get_toolbar())
        gtk_widget_hide(toolbar);

    while (m_result == Running)
        g_main_context_iteration(nullptr, TRUE);

    gtk_widget_hide(m_area);
    g_signal_handler_disconnect(top, m_key_press);
    g_signal_handler_disconnect(top, m_key_release);
    if (m_dc != nullptr) {
        m_window->release_window_dc(m_dc);
        m_dc = nullptr;
    }
    m_window->restore_map_widget(m_area);
    m_area = nullptr;
}

void XrNewScrollMenu::queue_redraw()
{
    if (m_area != nullptr)
        gtk_widget_queue_draw(m_area);
}

void XrNewScrollMenu::move_row(int step)
{
    for (int r = m_row + step; r >= 0 && r < m_data->row_count; r += step)
        if (m_data->rows[r].enabled) {
            m_previous_row = m_row;
            m_row = r;
            return;
        }
}

void XrNewScrollMenu::move_item(int step)
{
    if (m_row < 0 || m_row >= m_data->row_count)
        return;
    XrScrollMenuRow& row = m_data->rows[m_row];
    for (int i = row.selected + step; i >= 0 && i < row.item_count; i += step)
        if (row.items[i].visible) {
            row.selected = i;
            return;
        }
}

void XrNewScrollMenu::tap(int x, int y)
{
    const XrRectangle confirm = get_confirm_rect();
    if (x >= confirm.left && x <= confirm.right && y >= confirm.top && y <= confirm.bottom) {
        m_result = Confirmed;
        return;
    }
    for (int r = 0; r < m_data->row_count; ++r) {
        XrScrollMenuRow& row = m_data->rows[r];
        if (!row.enabled)
            continue;
        for (int i = 0; i < row.item_count; ++i) {
            const XrScrollMenuItem& item = row.items[i];
            const XrRectangle& h = item.hit;
            if (item.visible && h.right > h.left && x >= h.left && x <= h.right && y >= h.top && y <= h.bottom) {
                row.selected = i;
                m_previous_row = m_row;
                m_row = r;
                queue_redraw();
                return;
            }
        }
    }
}

gboolean XrNewScrollMenu::key_callback(GtkWidget*, GdkEventKey* event, XrNewScrollMenu* menu)
{
    if (event->type != GDK_KEY_PRESS)
        return TRUE;
    switch (event->keyval) {
    case GDK_Return: menu->m_result = Confirmed; break;
    case GDK_Escape: menu->m_result = Cancelled; break;
    case GDK_Up: menu->move_row(-1); break;
    case GDK_Down: menu->move_row(1); break;
    case GDK_Left: menu->move_item(-1); break;
    case GDK_Right: menu->move_item(1); break;
    default: return TRUE;
    }
    menu->queue_redraw();
    return TRUE;
}

gboolean XrNewScrollMenu::button_callback(GtkWidget*, GdkEventButton* event, XrNewScrollMenu* menu)
{
    if (event->type == GDK_BUTTON_RELEASE)
        menu->tap(static_cast<int>(event->x), static_cast<int>(event->y));
    return TRUE;
}

gboolean XrNewScrollMenu::expose_callback(GtkWidget* widget, GdkEventExpose*, XrNewScrollMenu* menu)
{
    if (widget->window == nullptr)
        return TRUE;
    menu->draw();
    return TRUE;
}

void XrNewScrollMenu::draw()
{
    if (m_dc == nullptr) {
        m_dc = m_window->get_window_dc(); // handed over: the menu's area
        if (m_dc == nullptr)
            return;
    }
    const int w = m_area->allocation.width, h = m_area->allocation.height;
    XrDCHandleRec* dc = XrGDI::create_memory_dc(m_dc, w, h);
    if (dc == nullptr)
        return;
    if (m_buffer == nullptr) {
        XrGDI::draw_bitmap_object(dc, 0, 0, g_canvas, g_canvas->mask() != nullptr);
        m_buffer = XrGDI::create_memory_dc(dc, w, h);
    } else {
        XrGDI::bit_blt(dc, 0, 0, w, h, m_buffer, 0, 0);
    }

    const int s = m_strip.height();
    const int step = row_height();
    int y = kFirstRowY;
    for (int r = 0; r < m_data->row_count; ++r) {
        XrScrollMenuRow& row = m_data->rows[r];
        if (!row.enabled)
            continue;
        const bool current = r == m_row;
        if (current) {
            const XrPoint marker[3] = {XrPoint(15, y + 20), XrPoint(25, y + 25), XrPoint(15, y + 30)};
            const int ring = 3;
            XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 255, 255));
            XrGDI::select_brush(dc, XrGDI::create_brush(XrGDI::BrushSolid, 255, 255, 255));
            XrGDI::draw_polygon(dc, marker, &ring, 1);
        }
        if (row.selected >= 0 && row.selected < row.item_count) {
            XrString label;
            label.load_text(row.items[row.selected].text_id);
            if (font_repository())
                XrFontRepository::select_font(dc, kLabelFont);
            XrGDI::set_text_color(dc, XrGDI::rgb(255, 255, 255));
            XrGDI::draw_text(dc, label.c_str(), XrPoint(40, y + 25));
        }
        int x = kFirstItemX;
        for (int i = 0; i < row.item_count; ++i) {
            XrScrollMenuItem& item = row.items[i];
            if (!item.visible)
                continue;
            if (i == row.selected) {
                XrBitmap* hl = highlight(current);
                if (hl != nullptr && hl->bitmap() != nullptr)
                    XrGDI::draw_bitmap_object(dc, x - 3, y - 3, hl, hl->mask() != nullptr);
            }
            // An icon index beyond the strip (a short image) draws nothing.
            if (s > 0 && m_strip.bitmap() != nullptr && item.icon_index >= 0 &&
                (item.icon_index + 1) * s <= m_strip.width())
                XrGDI::draw_bitmap_masked(dc, x, y, x + s, y + s, m_strip.bitmap(), item.icon_index * s, 0,
                                          m_strip.mask());
            item.hit = XrRectangle(x, y, x + s - 1, y + s - 1);
            x += step + 20;
        }
        y += step;
    }

    XrBitmap* buttons = g_buttons[mode()];
    if (buttons != nullptr && buttons->bitmap() != nullptr) {
        const XrButton& b = kConfirm[mode()];
        XrGDI::draw_bitmap_masked(dc, b.x, b.y, b.x + b.width, b.y + buttons->height(), buttons->bitmap(), b.sx, 0,
                                  buttons->mask());
    }
    XrGDI::bit_blt(m_dc, 0, 0, w, h, dc, 0, 0);
    XrGDI::delete_dc(dc);
}
