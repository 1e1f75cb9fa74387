#include <cstdlib>

#include <gdk/gdkkeysyms.h>

#include "common/bmloader/xr_bitmap.h"
#include "common/container/xr_defs.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/window/xr_mapwindowmanager.h"
#include "common/misc/xr_path_resolver.h"

XrMapWindow* XrMapWindow::s_instance = nullptr;
bool XrMapWindow::s_fullscreen = false;
XrSize XrMapWindow::s_screen_size;
XrMapWindow::SizeHook XrMapWindow::s_size_hook = nullptr;

namespace {

// Per layout: nominal width and height, map view width and height, grip top.
struct XrLayoutMetrics {
    int nominal_w, nominal_h, view_w, view_h, grip_top;
};
constexpr XrLayoutMetrics kMetrics[XrMapWindow::LAYOUT_COUNT] = {
    {800, 422, 800, 422, 97},
    {696, 362, 696, 362, 86},
    {800, 480, 772, 421, 97},
    {696, 396, 676, 336, 86},
};

struct XrRect4 {
    int l, t, r, b;
};

// View rectangles without a visible toolbar (A) and with one (B).
constexpr XrRect4 kViewA[XrMapWindow::LAYOUT_COUNT] = {
    {0, 0, 800, 480}, {0, 0, 696, 396}, {0, 0, 580, 420}, {0, 0, 510, 336}};
constexpr XrRect4 kViewB[XrMapWindow::LAYOUT_COUNT] = {
    {0, 0, 800, 422}, {0, 0, 696, 362}, {0, 0, 580, 420}, {0, 0, 510, 336}};

// On-screen controls per layout.
constexpr XrRect4 kControls[XrMapWindow::CONTROL_COUNT][XrMapWindow::LAYOUT_COUNT] = {
    {{0, 0, 55, 55}, {0, 0, 55, 55}, {5, 18, 60, 73}, {5, 12, 60, 67}},
    {{0, 365, 55, 420}, {0, 305, 55, 360}, {5, 351, 60, 406}, {5, 283, 60, 338}},
    {{57, 205, 86, 272}, {47, 170, 71, 226}, {57, 182, 83, 249}, {46, 152, 70, 208}},
    {{373, 7, 439, 48}, {313, 6, 367, 30}, {287, 5, 353, 36}, {242, 6, 299, 32}},
    {{727, 205, 754, 272}, {609, 170, 633, 226}, {555, 183, 582, 252}, {466, 153, 493, 209}},
    {{373, 442, 439, 468}, {313, 370, 367, 393}, {280, 396, 353, 422}, {240, 331, 296, 357}},
    {{745, 99, 800, 213}, {641, 87, 696, 195}, {735, 105, 800, 213}, {646, 87, 721, 179}},
    {{110, 375, 146, 420}, {110, 315, 146, 420}, {389, 427, 459, 482}, {365, 342, 435, 394}},
    {{0, 0, 0, 0}, {0, 0, 0, 0}, {489, 427, 559, 482}, {441, 342, 511, 394}},
    {{0, 0, 0, 0}, {0, 0, 0, 0}, {589, 427, 659, 482}, {517, 342, 587, 394}},
    {{0, 0, 0, 0}, {0, 0, 0, 0}, {689, 427, 759, 482}, {593, 342, 663, 394}},
    {{0, 0, 0, 0}, {0, 0, 0, 0}, {698, 26, 753, 89}, {609, 10, 657, 64}},
    {{0, 0, 0, 0}, {0, 0, 0, 0}, {588, 291, 750, 351}, {518, 232, 658, 285}},
    {{0, 0, 0, 0}, {0, 0, 0, 0}, {588, 193, 750, 282}, {518, 156, 658, 230}},
    {{0, 0, 0, 0}, {0, 0, 0, 0}, {588, 360, 750, 422}, {518, 287, 658, 336}},
};

XrRectangle to_rect(const XrRect4& r)
{
    return XrRectangle(r.l, r.t, r.r, r.b);
}

int clamp_layout(int layout)
{
    return layout >= 0 && layout < XrMapWindow::LAYOUT_COUNT ? layout : 0;
}

// Window key code of a GDK key value; -1 for keys the handlers never see.
int window_key_code(guint keyval)
{
    switch (keyval) {
    case GDK_Up: return XrMapWindow::KeyUp;
    case GDK_Down: return XrMapWindow::KeyDown;
    case GDK_Left: return XrMapWindow::KeyLeft;
    case GDK_Right: return XrMapWindow::KeyRight;
    case GDK_F7: return XrMapWindow::KeyF7;
    case GDK_F8: return XrMapWindow::KeyF8;
    case GDK_Return: return XrMapWindow::KeyReturn;
    case GDK_space: return XrMapWindow::KeySpace;
    case GDK_Escape: return XrMapWindow::KeyEscape;
    default: return -1;
    }
}

XrBitmap* load_decoration(const TCHAR* path)
{
    const XrString resolved = XrPathResolver::resolve(XrString(path));
    return XrGDI::load_bitmap_file(resolved.c_str());
}

void draw_masked(XrDCHandleRec* dc, int x, int y, XrBitmap* bitmap)
{
    if (bitmap != nullptr && bitmap->bitmap() != nullptr)
        XrGDI::draw_bitmap_object(dc, x, y, bitmap, true);
}

bool contains(const XrRectangle& r, int x, int y)
{
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

// Paints the parts of a buffer of width x height outside the map view's
// screen (the strips right of and below it) black: the layers draw past
// the view's edges, and what they left there would otherwise stay.
void clear_strips(XrDCHandleRec* dc, const XrSize& view, int width, int height)
{
    // A view that was never given a size has no strips beside it.
    if (view.width <= 0 || view.height <= 0)
        return;
    XrGDI::clear_clip_rect(dc);
    XrGDI::select_pen(dc, XrGDI::get_stock_pen(XrGDI::StockBlackPen), 1);
    XrGDI::select_brush(dc, XrGDI::get_stock_brush(XrGDI::StockBlackBrush));
    if (view.width < width)
        XrGDI::draw_rectangle(dc, view.width, 0, width - 1, height - 1);
    if (view.height < height)
        XrGDI::draw_rectangle(dc, 0, view.height, width - 1, height - 1);
}

} // namespace

XrMapWindowBase::~XrMapWindowBase()
{
    delete m_private_handler;
}

XrMapWindow::XrMapWindow(HildonProgram* program, XrMapWindowView* view, XrMapWindowManager* manager,
                         XrWindowEventHandler* private_handler)
    : XrMapWindowBase(view, manager, private_handler), m_program(program)
{
    if (view != nullptr)
        view->set_window(this);
    s_fullscreen = false;
    m_window = HILDON_WINDOW(hildon_window_new());
    set_fullscreen(false);
    g_signal_connect(m_window, "key_press_event", G_CALLBACK(key_callback), this);
    g_signal_connect(m_window, "key_release_event", G_CALLBACK(key_callback), this);
    restore_map_widget(nullptr);
    m_ready = true;
    m_grip = load_decoration(L"?:/kestrova/images/grip.png");
    m_down_arrow = load_decoration(L"?:/kestrova/images/down.png");
    m_right_arrow = load_decoration(L"?:/kestrova/images/right.png");
    m_right_half_arrow = load_decoration(L"?:/kestrova/images/right_half.png");
    m_layout = -1;
    s_instance = this;
}

XrMapWindow::~XrMapWindow()
{
    m_ready = false;
    if (m_content != nullptr && m_drawing_area != nullptr) {
        // The drawing area is out of the window: only the reference taken
        // by set_content_widget keeps it.
        gtk_widget_destroy(m_drawing_area);
        g_object_unref(m_drawing_area);
    }
    m_drawing_area = nullptr;
    m_content = nullptr;
    if (m_window != nullptr)
        gtk_widget_destroy(GTK_WIDGET(m_window));
    m_window = nullptr;
    XrGDI::delete_dc(m_map_buffer);
    XrGDI::delete_dc(m_composite);
    free_window_dc();
    delete m_grip;
    delete m_down_arrow;
    delete m_right_arrow;
    delete m_right_half_arrow;
    delete m_splash;
    while (g_source_remove_by_user_data(this)) {
    }
    if (s_instance == this)
        s_instance = nullptr;
}

GtkWidget* XrMapWindow::get_toplevel()
{
    return s_instance != nullptr ? GTK_WIDGET(s_instance->m_window) : nullptr;
}

void XrMapWindow::set_fullscreen(bool on)
{
    if (on == s_fullscreen)
        return;
    if (on)
        gtk_window_fullscreen(GTK_WINDOW(m_window));
    else
        gtk_window_unfullscreen(GTK_WINDOW(m_window));
    s_fullscreen = on;
}

void XrMapWindow::restore_map_widget(GtkWidget* content)
{
    if (content != nullptr) {
        gtk_widget_destroy(content);
        m_content = nullptr;
    }
    if (m_drawing_area == nullptr) {
        m_drawing_area = gtk_drawing_area_new();
        gtk_widget_show(m_drawing_area);
        gtk_widget_set_events(m_drawing_area, GDK_EXPOSURE_MASK | GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK |
                                                  GDK_BUTTON_RELEASE_MASK | GDK_KEY_PRESS_MASK |
                                                  GDK_KEY_RELEASE_MASK);
        gtk_widget_tap_and_hold_setup(m_drawing_area, nullptr, nullptr, 0);
        g_signal_connect(m_drawing_area, "tap_and_hold", G_CALLBACK(tap_and_hold_callback), this);
        g_signal_connect(m_drawing_area, "tap_and_hold_query", G_CALLBACK(tap_and_hold_query_callback), this);
        g_signal_connect(m_drawing_area, "button_press_event", G_CALLBACK(button_callback), this);
        g_signal_connect(m_drawing_area, "button_release_event", G_CALLBACK(button_callback), this);
        g_signal_connect(m_drawing_area, "motion_notify_event", G_CALLBACK(motion_callback), this);
        g_signal_connect(m_drawing_area, "expose_event", G_CALLBACK(expose_callback), this);
        g_signal_connect(m_drawing_area, "configure_event", G_CALLBACK(configure_callback), this);
        gtk_widget_set_app_paintable(m_drawing_area, TRUE);
        gtk_widget_set_double_buffered(m_drawing_area, FALSE);
        gtk_container_add(GTK_CONTAINER(m_window), m_drawing_area);
        return;
    }
    if (gtk_widget_get_parent(m_drawing_area) != nullptr)
        return; // already in place
    m_ready = true;
    gtk_container_add(GTK_CONTAINER(m_window), m_drawing_area);
    g_object_unref(m_drawing_area);
}

void XrMapWindow::set_content_widget(GtkWidget* widget)
{
    if (widget == nullptr || m_content != nullptr)
        return;
    g_object_ref(m_drawing_area);
    gtk_container_remove(GTK_CONTAINER(m_window), m_drawing_area);
    gtk_container_add(GTK_CONTAINER(m_window), widget);
    free_window_dc();
    m_content = widget;
    m_ready = false;
}

void XrMapWindow::set_toolbar(GtkWidget* toolbar, GtkToggleToolButton* toggle)
{
    m_toolbar = toolbar;
    m_toggle = toggle;
}

void XrMapWindow::set_draw_callback(DrawCallback callback, void* data)
{
    m_draw_callback = callback;
    m_draw_data = data;
}

void XrMapWindow::set_splash(XrBitmap* splash)
{
    if (splash == m_splash)
        return;
    delete m_splash;
    m_splash = splash;
}

void XrMapWindow::free_window_dc()
{
    if (m_window_dc == nullptr)
        return;
    if (m_window_dc->layout != nullptr)
        g_object_unref(m_window_dc->layout);
    delete m_window_dc;
    m_window_dc = nullptr;
}

XrDCHandleRec* XrMapWindow::get_window_dc()
{
    GtkWidget* widget = m_content != nullptr ? m_content : m_drawing_area;
    if (widget == nullptr || widget->window == nullptr)
        return nullptr; // not realized: nothing to draw on
    if (m_window_dc == nullptr) {
        auto* dc = new XrDCHandleRec{};
        dc->layout = gtk_widget_create_pango_layout(m_drawing_area, nullptr);
        dc->context = pango_layout_get_context(dc->layout);
        dc->text_color = GdkColor{0, 0, 0, 0};
        gdk_colormap_alloc_color(gdk_colormap_get_system(), &dc->text_color, FALSE, TRUE);
        dc->transparent_text = 1;
        m_window_dc = dc;
        m_dc_dirty = true;
    }
    XrDCHandleRec* dc = m_window_dc;
    if (m_dc_dirty) {
        m_dc_dirty = false;
        dc->drawable = widget->window;
        dc->owns_drawable = 0;
        dc->gc = widget->style->fg_gc[GTK_WIDGET_STATE(widget)];
        dc->pen = XrPenHandle{{0, 0, 0, 0}, 1, XrPenHandle::Null};
        dc->brush = XrBrushHandle{0, XrBrushHandle::NullMarker, {0, 0, 0, 0}};
        dc->font = nullptr;
        dc->clip = XrRectangle();
        dc->transparent_text = 1;
    }
    GdkGCValues values;
    gdk_gc_get_values(dc->gc, &values);
    m_saved_foreground = values.foreground;
    if (m_content != nullptr) {
        // Handed over: the next call builds a new record.
        m_window_dc = nullptr;
        m_dc_dirty = true;
    }
    return dc;
}

void XrMapWindow::release_window_dc(XrDCHandleRec* dc)
{
    if (dc == nullptr)
        return;
    if (dc->gc != nullptr)
        gdk_gc_set_foreground(dc->gc, &m_saved_foreground);
    if (dc != m_window_dc) {
        if (dc->layout != nullptr)
            g_object_unref(dc->layout);
        delete dc;
    }
}

void XrMapWindow::redraw(bool queued, bool keep_map, int arg1, int arg2)
{
    m_redraw_arg1 = arg1;
    if (!keep_map)
        m_composite_valid = false;
    m_redraw_arg2 = arg2;

    bool temporary_pending = false;
    GtkWidget* target = m_content != nullptr ? m_content : m_drawing_area;
    bool& pending = m_content != nullptr ? temporary_pending : m_redraw_pending;
    if (target == nullptr || !GTK_WIDGET_DRAWABLE(target) || !gdk_window_is_viewable(target->window) ||
        target->allocation.width <= 0 || target->allocation.height <= 0) {
        // No expose will come for a widget that is not on screen: a pending
        // flag set now would swallow every later request.
        pending = false;
        return;
    }
    if (!pending) {
        pending = true;
        if (queued) {
            gtk_widget_queue_draw(target);
        } else {
            gtk_widget_queue_draw(target);
            gdk_window_process_updates(target->window, TRUE);
            pending = false;
        }
    } else if (!queued) {
        gdk_window_process_updates(target->window, TRUE);
        pending = false;
    }
}

bool XrMapWindow::slide_to_view(int dx, int dy, int frames, int frame_ms)
{
    if (!m_ready || m_view == nullptr || !m_view->has_map() || !m_composite_valid || m_composite == nullptr ||
        m_map_buffer == nullptr || m_content != nullptr || frames <= 0 || (dx == 0 && dy == 0))
        return false;
    XrDCHandleRec* dc = get_window_dc();
    if (dc == nullptr)
        return false;
    int cw = 0, ch = 0;
    XrGDI::get_dc_size(m_composite, &cw, &ch);
    XrDCHandleRec* old_picture = XrGDI::create_memory_dc(dc, cw, ch);
    if (old_picture == nullptr) {
        release_window_dc(dc);
        return false;
    }
    XrGDI::bit_blt(old_picture, 0, 0, cw, ch, m_composite, 0, 0);
    m_redraw_arg1 = -1;
    m_redraw_arg2 = -1;
    m_view->draw_map(m_map_buffer, 1, -1, -1);
    XrGDI::bit_blt(m_composite, 0, 0, cw, ch, m_map_buffer, 0, 0);
    m_view->draw_map(m_composite, 2, -1, -1);
    clear_strips(m_composite, m_view->get_screen_size(), cw, ch);
    draw_decorations(m_composite);
    m_composite_valid = true;

    // The new picture is the old one moved by (dx, dy): old at t * d and new
    // at (t - 1) * d agree wherever both lie.
    XrGDI::set_clip_rect(dc, get_view_rect());
    for (int k = 1; k <= frames; ++k) {
        const int ox = dx * k / frames, oy = dy * k / frames;
        XrGDI::bit_blt(dc, ox, oy, ox + cw, oy + ch, old_picture, 0, 0);
        XrGDI::bit_blt(dc, ox - dx, oy - dy, ox - dx + cw, oy - dy + ch, m_composite, 0, 0);
        XrGDI::flush_and_wait(dc, k < frames ? frame_ms : 0);
    }
    XrGDI::clear_clip_rect(dc);
    XrGDI::bit_blt(dc, 0, 0, cw, ch, m_composite, 0, 0);
    XrGDI::flush_and_wait(dc, 0);
    release_window_dc(dc);
    XrGDI::delete_dc(old_picture);
    return true;
}

int XrMapWindow::get_layout() const
{
    XrMapWindowServices* services = get_map_window_services();
    const bool route = services->has_route_provider() && services->has_route();
    if (s_fullscreen)
        return route ? 2 : 0;
    return route ? 3 : 1;
}

XrRectangle XrMapWindow::get_view_rect() const
{
    const int layout = clamp_layout(m_layout >= 0 ? m_layout : get_layout());
    const bool toolbar = m_toolbar != nullptr && GTK_WIDGET_VISIBLE(m_toolbar);
    return to_rect(toolbar ? kViewB[layout] : kViewA[layout]);
}

XrRectangle XrMapWindow::get_ctrl_rectangle_of(int layout, int ctrl)
{
    XR_ASSERT_MSG(ctrl >= 0 && ctrl < CONTROL_COUNT, "ctrl_index >= 0 && ctrl_index < 15");
    if (ctrl >= 2 && ctrl <= 5)
        return XrRectangle();
    return to_rect(kControls[ctrl][clamp_layout(layout)]);
}

XrRectangle XrMapWindow::get_ctrl_rectangle(Control ctrl) const
{
    XrRectangle r = get_ctrl_rectangle_of(m_layout >= 0 ? m_layout : get_layout(), ctrl);
    if (ctrl == 0) {
        XrMapWindowServices* services = get_map_window_services();
        const int top = services->has_route_provider() ? services->get_route_panel_top() : 0;
        r.top += top;
        r.bottom += top;
    }
    return r;
}

XrSize XrMapWindow::get_view_size_of(int layout)
{
    const XrLayoutMetrics& m = kMetrics[clamp_layout(layout)];
    return XrSize(m.view_w, m.view_h);
}

XrSize XrMapWindow::get_nominal_size_of(int layout)
{
    const XrLayoutMetrics& m = kMetrics[clamp_layout(layout)];
    return XrSize(m.nominal_w, m.nominal_h);
}

int XrMapWindow::get_gps_state() const
{
    XrMapWindowServices* services = get_map_window_services();
    if (!services->has_position_provider())
        return 0;
    if (!services->is_position_active())
        return 1;
    return services->position_has_fix() ? 3 : 2;
}

int XrMapWindow::get_pointer_flags(guint state) const
{
    int flags = 0;
    if (m_toggle == nullptr || !gtk_toggle_tool_button_get_active(m_toggle))
        flags |= FlagToggleOff;
    if (state & GDK_SHIFT_MASK)
        flags |= FlagShift;
    if (state & GDK_CONTROL_MASK)
        flags |= FlagControl;
    if (state & GDK_BUTTON1_MASK)
        flags |= FlagButton1;
    if (state & GDK_BUTTON2_MASK)
        flags |= FlagButton2;
    if (state & GDK_BUTTON3_MASK)
        flags |= FlagButton3;
    return flags;
}

void XrMapWindow::apply_layout_to_view()
{
    if (m_view == nullptr)
        return;
    m_view->set_visible_rect(get_view_rect());
    m_view->set_screen_size(get_view_size_of(m_layout));
}

void XrMapWindow::update_layout()
{
    m_layout = get_layout();
    XrDCHandleRec* dc = get_window_dc();
    apply_layout_to_view();
    if (m_toolbar != nullptr) {
        if (m_layout >= 2)
            gtk_widget_hide(m_toolbar);
        else
            gtk_widget_show(m_toolbar);
    }
    redraw(true, false, -1, -1);
    release_window_dc(dc);
}

void XrMapWindow::draw_decorations(XrDCHandleRec* dc)
{
    const int layout = clamp_layout(m_layout);
    const XrLayoutMetrics& m = kMetrics[layout];
    if (m_grip != nullptr)
        draw_masked(dc, m.nominal_w - m_grip->width(), m.grip_top, m_grip);
    if (layout >= 2) {
        if (m_down_arrow != nullptr)
            draw_masked(dc, 0, m.nominal_h - m_down_arrow->height(), m_down_arrow);
        XrBitmap* right = layout == 2 ? m_right_arrow : m_right_half_arrow;
        if (right != nullptr)
            draw_masked(dc, m.nominal_w - right->width(), 0, right);
    }
    if (m_overlay != nullptr)
        m_overlay->draw(this, dc);
    if (m_draw_callback != nullptr)
        m_draw_callback(dc, this, m_draw_data);
    XrMapWindowServices* services = get_map_window_services();
    if (services->has_route_provider())
        services->draw_route_overlays(dc, m_view != nullptr ? m_view->get_screen_size() : get_view_size_of(layout));
}

gboolean XrMapWindow::expose_callback(GtkWidget*, GdkEventExpose* event, XrMapWindow* w)
{
    w->m_dc_dirty = true;
    if (!w->m_ready || w->m_map_buffer == nullptr || w->m_composite == nullptr) {
        w->m_redraw_pending = false;
        return TRUE;
    }
    if (w->m_splash != nullptr) {
        if (XrDCHandleRec* dc = w->get_window_dc()) {
            draw_masked(dc, 0, 0, w->m_splash);
            w->release_window_dc(dc);
        }
    }
    if (w->m_view == nullptr) {
        w->m_redraw_pending = false;
        return TRUE;
    }
    if (!w->m_view->has_map()) {
        w->m_redraw_pending = false;
        return FALSE;
    }
    XrDCHandleRec* dc = w->get_window_dc();
    if (dc == nullptr) {
        w->m_redraw_pending = false;
        return TRUE;
    }
    if (!w->m_composite_valid) {
        int cw = 0, ch = 0;
        XrGDI::get_dc_size(w->m_composite, &cw, &ch);
        w->m_view->draw_map(w->m_map_buffer, 1, w->m_redraw_arg1, w->m_redraw_arg2);
        XrGDI::bit_blt(w->m_composite, 0, 0, cw, ch, w->m_map_buffer, 0, 0);
        w->m_view->draw_map(w->m_composite, 2, w->m_redraw_arg1, w->m_redraw_arg2);
        clear_strips(w->m_composite, w->m_view->get_screen_size(), cw, ch);
        w->draw_decorations(w->m_composite);
        w->m_composite_valid = true;
    }
    const GdkRectangle& a = event->area;
    XrGDI::bit_blt(dc, a.x, a.y, a.x + a.width, a.y + a.height, w->m_composite, a.x, a.y);
    w->m_view->set_update_rect(nullptr);
    w->m_view->notify_draw(dc);
    w->release_window_dc(dc);
    w->m_redraw_pending = false;
    return TRUE;
}

gboolean XrMapWindow::configure_callback(GtkWidget*, GdkEventConfigure* event, XrMapWindow* w)
{
    w->m_dc_dirty = true;
    if (event->width == 1 && event->height == 1)
        return TRUE;
    w->m_layout = w->get_layout();
    XrDCHandleRec* dc = w->get_window_dc();
    w->m_width = event->width;
    w->m_height = event->height;
    s_screen_size = get_nominal_size_of(w->m_layout);
    if (s_size_hook != nullptr)
        s_size_hook(w->m_width, w->m_height);
    XrGDI::delete_dc(w->m_map_buffer);
    XrGDI::delete_dc(w->m_composite);
    w->m_map_buffer = nullptr;
    w->m_composite = nullptr;
    if (dc != nullptr) {
        w->m_map_buffer = XrGDI::create_memory_dc(dc, event->width, event->height);
        w->m_composite = XrGDI::create_memory_dc(dc, event->width, event->height);
    }
    w->apply_layout_to_view();
    if (w->m_toolbar != nullptr) {
        XrMapWindowServices* services = get_map_window_services();
        if (services->has_route_provider() && services->has_route())
            gtk_widget_hide(w->m_toolbar);
        else
            gtk_widget_show(w->m_toolbar);
    }
    w->m_composite_valid = false;
    w->redraw(true, false, -1, -1);
    w->release_window_dc(dc);
    return TRUE;
}

gboolean XrMapWindow::key_callback(GtkWidget*, GdkEventKey* event, XrMapWindow* w)
{
    if (!w->m_ready)
        return FALSE;
    if (event->type == GDK_KEY_RELEASE) {
        w->m_key_latch = false;
        return FALSE;
    }
    if (w->m_key_latch)
        return FALSE;
    w->m_key_latch = true;
    if (event->keyval == GDK_F6) {
        w->set_fullscreen(!s_fullscreen);
        return TRUE;
    }
    const int code = window_key_code(event->keyval);
    if (code < 0)
        return FALSE;
    if (w->m_manager != nullptr)
        w->m_manager->dispatch_key(code, w);
    return event->keyval != GDK_Escape;
}

gboolean XrMapWindow::button_callback(GtkWidget*, GdkEventButton* event, XrMapWindow* w)
{
    if (w->m_manager == nullptr)
        return FALSE;
    const int x = static_cast<int>(event->x), y = static_cast<int>(event->y);
    const int flags = w->get_pointer_flags(event->state);
    switch (event->type) {
    case GDK_BUTTON_PRESS:
        w->m_manager->dispatch_pointer_down(x, y, 1, w);
        [[fallthrough]];
    case GDK_2BUTTON_PRESS:
        if (event->state & GDK_BUTTON1_MASK)
            w->m_manager->dispatch_held_press(x, y, flags, w);
        else if (event->state & GDK_BUTTON3_MASK)
            w->m_manager->dispatch_held_press_alt(x, y, flags, w);
        break;
    case GDK_BUTTON_RELEASE:
        if (event->state & GDK_BUTTON1_MASK)
            w->m_manager->dispatch_pointer_up(x, y, flags, w);
        else if (event->state & GDK_BUTTON3_MASK)
            w->m_manager->dispatch_pointer_up_alt(x, y, flags, w);
        break;
    default:
        break;
    }
    return FALSE;
}

gboolean XrMapWindow::motion_callback(GtkWidget*, GdkEventMotion* event, XrMapWindow* w)
{
    if (w->m_manager != nullptr)
        w->m_manager->dispatch_pointer_move(static_cast<int>(event->x), static_cast<int>(event->y),
                                            w->get_pointer_flags(event->state), w);
    return TRUE;
}

gboolean XrMapWindow::tap_and_hold_query_callback(GtkWidget*, GdkEvent* event, XrMapWindow* w)
{
    XrMapWindowServices* services = get_map_window_services();
    if (!services->has_route_provider() || services->get_hold_flag() || !w->m_ready)
        return TRUE;
    int x = 0, y = 0;
    if (event != nullptr && (event->type == GDK_BUTTON_PRESS || event->type == GDK_BUTTON_RELEASE)) {
        x = static_cast<int>(event->button.x);
        y = static_cast<int>(event->button.y);
    }
    const XrSize view = get_view_size_of(w->m_layout >= 0 ? w->m_layout : w->get_layout());
    if (x < 0 || y < 0 || x >= view.width || y >= view.height)
        return TRUE;
    if (w->m_manager != nullptr && !w->m_manager->dispatch_can_tap_and_hold(x, y, w))
        return TRUE;
    for (int c = 0; c < CONTROL_COUNT; ++c) {
        const XrRectangle r = w->get_ctrl_rectangle(static_cast<Control>(c));
        if (r.right > r.left && r.bottom > r.top && contains(r, x, y))
            return TRUE;
    }
    return FALSE;
}

void XrMapWindow::tap_and_hold_callback(GtkWidget*, XrMapWindow* w)
{
    if (w->m_ready && w->m_manager != nullptr)
        w->m_manager->dispatch_tap_and_hold(w);
}

XrDCHandleRec* XrMapWindowSource::get_window_dc(XrMapWindow* window)
{
    return window != nullptr ? window->get_window_dc() : nullptr;
}

void XrMapWindowSource::release_window_dc(XrMapWindow* window, XrDCHandleRec* dc)
{
    if (window != nullptr)
        window->release_window_dc(dc);
}

GtkWidget* XrMapWindowSource::get_widget(XrMapWindow* window)
{
    return window != nullptr ? window->get_drawing_area() : nullptr;
}
