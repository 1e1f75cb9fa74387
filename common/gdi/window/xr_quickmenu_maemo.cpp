#include "common/gdi/window/xr_quickmenu_maemo.h"

#include <gdk/gdkkeysyms.h>

#include "common/bmloader/xr_bitmap.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/xr_gdi.h"
#include "common/gdi/xr_textlayout.h"
#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_eventloopbase.h"
#include "common/ui/fonts/xr_fontrepository.h"

XrQuickMenuMaemo* XrQuickMenuMaemo::s_running = nullptr;

namespace {

struct XrIconRow {
    int id, enabled, disabled;
};
constexpr XrIconRow kIcons[] = {
    {0, 0, 0},    {1, 1, 2},    {2, 3, 4},    {3, 5, 5},    {4, 6, 6},    {26, 15, 15},
    {27, 8, 9},   {28, 10, 10}, {29, 12, 12}, {30, 13, 13}, {31, 11, 11}, {32, 14, 14},
};

XrBitmap* load_image(const TCHAR* path)
{
    return XrGDI::load_bitmap_file(XrPathResolver::resolve(XrString(path)).c_str());
}

XrFontRepository* repository()
{
    return static_cast<XrFontRepository*>(XrSingleton::get_instance(XrString(L"XrFontRepository")));
}

} // namespace

int XrQuickMenuMaemo::icon_index(int id, bool enabled)
{
    for (const XrIconRow& r : kIcons)
        if (r.id == id)
            return enabled ? r.enabled : r.disabled;
    return -1;
}

XrQuickMenuMaemo::XrQuickMenuMaemo(XrMapWindow* window, XrEventloopBase* loop, const XrQuickMenuDesc& desc)
    : m_window(window), m_count(desc.count < 0 ? 0 : desc.count > XrQuickMenuDesc::SLOT_COUNT
                                                          ? XrQuickMenuDesc::SLOT_COUNT
                                                          : desc.count),
      m_mode(desc.mode), m_loop(loop)
{
    for (int i = 0; i < XrQuickMenuDesc::SLOT_COUNT; ++i)
        m_items[i] = desc.items[i];
    m_small = desc.mode == 1;
}

XrQuickMenuMaemo::~XrQuickMenuMaemo()
{
    if (m_timer_armed && m_loop != nullptr)
        m_loop->remove_timeout(this, nullptr);
    if (m_menu_dc != nullptr)
        m_window->release_window_dc(m_menu_dc);
    XrGDI::delete_bitmap(m_snapshot);
    XrGDI::delete_font(m_own_font);
    delete m_background;
    delete m_icons;
    delete m_focus;
}

int XrQuickMenuMaemo::show_menu(XrMapWindow* window, XrEventloopBase* loop, const XrQuickMenuDesc& desc)
{
    if (window == nullptr || loop == nullptr)
        return NONE;
    XrQuickMenuMaemo menu(window, loop, desc);
    if (!menu.open())
        return NONE;
    XrQuickMenuMaemo* outer = s_running;
    s_running = &menu;
    menu.run();
    s_running = outer;
    menu.close();
    if (menu.m_state == Chosen && menu.m_chosen >= 0 && menu.m_chosen < menu.m_count)
        return menu.m_items[menu.m_chosen].id;
    return NONE;
}

bool XrQuickMenuMaemo::open()
{
    XrString path;
    path.format(200, L"?:/kestrova/images/maemo_menuscreen%s%s.png", m_items[1].enabled ? L"_route" : L"",
                m_mode == 1 ? L"_half" : L"");
    m_background = XrGDI::load_bitmap_file(XrPathResolver::resolve(path).c_str());
    if (m_background == nullptr) {
        g_warning("quick menu: screen image missing");
        return false;
    }
    // The small look has its own strip of 115-pixel icons.
    m_icons = load_image(m_small ? L"?:/kestrova/images/maemo_menuicons_half.png"
                                 : L"?:/kestrova/images/maemo_menuicons.png");
    m_focus = load_image(L"?:/kestrova/images/maemo_menufocus.png");

    m_area = gtk_drawing_area_new();
    gtk_widget_show(m_area);
    gtk_widget_set_events(m_area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_KEY_PRESS_MASK |
                                      GDK_KEY_RELEASE_MASK);
    gtk_widget_set_app_paintable(m_area, TRUE);
    gtk_widget_set_double_buffered(m_area, FALSE);
    GtkWidget* top = GTK_WIDGET(m_window->get_window());
    m_key_press = g_signal_connect(top, "key_press_event", G_CALLBACK(key_callback), this);
    m_key_release = g_signal_connect(top, "key_release_event", G_CALLBACK(key_callback), this);
    g_signal_connect(m_area, "button_press_event", G_CALLBACK(button_callback), this);
    g_signal_connect(m_area, "button_release_event", G_CALLBACK(button_callback), this);
    g_signal_connect(m_area, "expose_event", G_CALLBACK(exposed_callback), this);

    // Snapshot of the map picture.
    if (XrDCHandleRec* dc = m_window->get_window_dc()) {
        const int w = m_window->get_width(), h = m_window->get_height();
        if (w > 0 && h > 0) {
            m_snapshot = XrGDI::create_bitmap(dc, w, h);
            if (m_snapshot != nullptr)
                XrGDI::draw_to_bitmap(m_snapshot, 0, 0, w, h, dc, 0, 0, nullptr);
        }
        m_window->release_window_dc(dc);
    }
    m_window->set_content_widget(m_area);
    m_state = SlidingIn;
    m_position = m_target;
    arm_timer();
    return true;
}

void XrQuickMenuMaemo::run()
{
    while (m_state != Closed && m_state != Chosen)
        g_main_context_iteration(nullptr, TRUE);
}

void XrQuickMenuMaemo::close()
{
    if (m_menu_dc != nullptr) {
        m_window->release_window_dc(m_menu_dc);
        m_menu_dc = nullptr;
    }
    m_window->restore_map_widget(m_area);
    m_area = nullptr;
    GtkWidget* top = GTK_WIDGET(m_window->get_window());
    g_signal_handler_disconnect(top, m_key_press);
    g_signal_handler_disconnect(top, m_key_release);
}

void XrQuickMenuMaemo::arm_timer()
{
    if (!m_timer_armed && m_loop->add_timeout(0, 0, this, nullptr))
        m_timer_armed = true;
}

void XrQuickMenuMaemo::redraw()
{
    if (m_area != nullptr)
        gtk_widget_queue_draw(m_area);
}

void XrQuickMenuMaemo::execute(XrEventloopBase*, void*)
{
    m_timer_armed = false;
    if (m_state == SlidingIn) {
        m_position = m_position > m_step ? m_position - m_step : 0;
        if (m_position == 0)
            m_state = Shown;
    } else if (m_state == SlidingOut) {
        if (m_position >= m_target)
            m_state = Closed;
        else
            m_position = m_position + m_step < m_target ? m_position + m_step : m_target;
    } else {
        return;
    }
    if (m_state == SlidingIn || m_state == SlidingOut)
        arm_timer();
    redraw();
}

int XrQuickMenuMaemo::hit_test(int x, int y) const
{
    if (y >= 101 && x < 60 && y < 400)
        return BACK_STRIP;
    for (int i = 0; i < m_count; ++i) {
        const XrQuickMenuItem& it = m_items[i];
        if (it.enabled && x >= it.rect.left && x <= it.rect.right && y >= it.rect.top && y <= it.rect.bottom)
            return i;
    }
    return NONE;
}

void XrQuickMenuMaemo::key_press(guint keyval)
{
    switch (keyval) {
    case GDK_Left:
        if (m_current != 0)
            --m_current;
        break;
    case GDK_Right:
        if (m_current != 4)
            ++m_current;
        break;
    case GDK_Up:
        if (m_current > 2)
            m_current -= 3;
        break;
    case GDK_Down:
        if (m_current == 0)
            m_current = 3;
        else if (m_current == 1 || m_current == 2)
            m_current = 4;
        break;
    case GDK_Return:
        m_chosen = m_current;
        if (m_current >= 0 && m_current < m_count && m_items[m_current].enabled)
            m_state = Pressed;
        break;
    case GDK_Escape:
        m_state = SlidingOut;
        arm_timer();
        m_chosen = NONE;
        break;
    default:
        break;
    }
    redraw();
}

gboolean XrQuickMenuMaemo::key_callback(GtkWidget*, GdkEventKey* event, XrQuickMenuMaemo* menu)
{
    if (event->type == GDK_KEY_PRESS)
        menu->key_press(event->keyval);
    else if (event->keyval == GDK_Return && menu->m_state == Pressed)
        menu->m_state = Chosen;
    return TRUE;
}

gboolean XrQuickMenuMaemo::button_callback(GtkWidget*, GdkEventButton* event, XrQuickMenuMaemo* menu)
{
    const int x = static_cast<int>(event->x), y = static_cast<int>(event->y);
    if (event->type == GDK_BUTTON_PRESS) {
        if (menu->m_state != Shown)
            return TRUE;
        const int hit = menu->hit_test(x, y);
        if (hit >= 0) {
            menu->m_current = hit;
            menu->m_chosen = hit;
            menu->m_state = Pressed;
        }
        menu->redraw();
    } else if (event->type == GDK_BUTTON_RELEASE) {
        if (menu->hit_test(x, y) == BACK_STRIP) {
            menu->m_state = SlidingOut;
            menu->arm_timer();
            menu->m_chosen = NONE;
        } else if (menu->m_state == Pressed) {
            menu->m_state = Chosen;
        }
        menu->redraw();
    }
    return TRUE;
}

gboolean XrQuickMenuMaemo::exposed_callback(GtkWidget* widget, GdkEventExpose*, XrQuickMenuMaemo* menu)
{
    if (menu->m_state == Closed || widget->window == nullptr)
        return TRUE;
    if (menu->m_menu_dc == nullptr) {
        menu->m_menu_dc = menu->m_window->get_window_dc();
        if (menu->m_menu_dc == nullptr || menu->m_menu_dc->drawable == nullptr) {
            g_warning("quick menu: no drawable to paint on");
            return TRUE;
        }
    }
    const int w = widget->allocation.width, h = widget->allocation.height;
    XrDCHandleRec* dc = XrGDI::create_memory_dc(menu->m_menu_dc, w, h);
    if (dc == nullptr)
        return TRUE;
    menu->draw(dc, w, h);
    XrGDI::bit_blt(menu->m_menu_dc, 0, 0, w, h, dc, 0, 0);
    XrGDI::delete_dc(dc);
    return TRUE;
}

void XrQuickMenuMaemo::draw(XrDCHandleRec* dc, int w, int h)
{
    // The map to the left of the sliding screen, the screen from the
    // animation position on.
    if (m_snapshot != nullptr && m_position > 0)
        XrGDI::draw_bitmap(dc, 0, 0, m_position < w ? m_position : w, h, m_snapshot, 0, 0);
    XrGDI::draw_bitmap_object(dc, m_position, 0, m_background, m_background->mask() != nullptr);

    if (m_position == 0 && m_current >= 0 && m_current < m_count) {
        const XrQuickMenuItem& it = m_items[m_current];
        const int cx = (it.rect.left + it.rect.right) / 2, cy = (it.rect.top + it.rect.bottom) / 2;
        if (m_state != Pressed && m_focus != nullptr && m_focus->bitmap() != nullptr) {
            const bool first_row = m_current <= 2;
            const int bottom = m_small ? (first_row ? 190 : 292) : (first_row ? 225 : 348);
            XrGDI::draw_bitmap_object(dc, cx - m_focus->width() / 2, bottom - m_focus->height(), m_focus,
                                      m_focus->mask() != nullptr);
        }
        const int column = icon_index(it.id, it.enabled);
        const int side = m_small ? 115 : 137;
        if (column >= 0 && m_icons != nullptr && m_icons->bitmap() != nullptr &&
            (column + 1) * side <= m_icons->width() && side <= m_icons->height()) {
            const int dx = m_state == Pressed ? -5 : 0, dy = m_state == Pressed ? 5 : 0;
            const int x = cx - side / 2 + dx, y = cy - side / 2 + dy;
            XrGDI::draw_bitmap_masked(dc, x, y, x + side, y + side, m_icons->bitmap(), column * side, 0,
                                      m_icons->mask());
        }
    }

    // Labels.
    XrFontHandleRec* font = nullptr;
    if (XrFontRepository* fonts = repository())
        font = fonts->get_font(m_small ? 65 : 66);
    if (font == nullptr) {
        if (m_own_font == nullptr)
            m_own_font = XrGDI::create_font(L"Sans", 14, 700, false);
        font = m_own_font;
    }
    for (int i = 0; i < m_count; ++i) {
        XrString label;
        if (!label.load_text(m_items[i].label_id))
            continue;
        XrRectangle r = m_items[i].rect;
        r.left += m_position;
        r.right += m_position;
        XrFontTextLayout layout(font, r);
        layout.set_dc(dc);
        layout.set_halo(XrGDI::rgb(0, 0, 0), XrGDI::rgb(255, 255, 255));
        layout.set_centre_overflow(true);
        layout.draw(label, nullptr, 3);
    }
}
