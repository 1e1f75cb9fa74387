#include "apps/apps_common/xr_defaultwindoweventhandler.h"

#include <algorithm>
#include <cstdlib>

#include "common/misc/xr_path_resolver.h"
#include "common/container/xr_string.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/xr_gdi.h"
#include "common/geometry/xr_geometry.h"
#include "common/geometry/xr_polygon.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapview.h"
#include "common/misc/xr_msgtable.h"
#include "common/ui/fonts/xr_fontrepository.h"
#include "common/visualization/xr_visualsetting.h"

namespace {

// The world point of a screen point (3D views through their projection).
XrPoint to_world(XrMapView* view, int x, int y)
{
    XrPoint p;
    if (view->is_3d())
        view->screen_to_world_3d(x, y, 0, p.x, p.y);
    else
        view->screen_to_world_2d(x, y, p.x, p.y);
    return p;
}

bool inside(const XrRectangle& r, int x, int y) { return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom; }

} // namespace

XrDefaultWindowEventHandler::XrDefaultWindowEventHandler(XrMapView* view)
    : map_view(view), history(new XrViewRecord[HISTORY_SIZE]())
{
}

XrDefaultWindowEventHandler::~XrDefaultWindowEventHandler()
{
    XrGDI::delete_bitmap(label_bitmap);
    XrGDI::delete_bitmap(zoom_icons);
    XrGDI::delete_bitmap(zoom_icons_mask);
    delete[] history;
}

void XrDefaultWindowEventHandler::set_zoom_icons(XrBitmapHandleRec* icons, XrBitmapHandleRec* mask)
{
    XrGDI::delete_bitmap(zoom_icons);
    XrGDI::delete_bitmap(zoom_icons_mask);
    zoom_icons = icons;
    zoom_icons_mask = mask;
}

void XrDefaultWindowEventHandler::push_view(XrMapView* view)
{
    const XrRectangle r = view->get_world_rect();
    history[history_head] = XrViewRecord{r.left, r.top, r.right, r.bottom, static_cast<std::int16_t>(view->get_rotation())};
    history_head = (history_head + 1) % HISTORY_SIZE;
    if (history_head == history_tail)
        history_tail = (history_tail + 1) % HISTORY_SIZE;
}

bool XrDefaultWindowEventHandler::step_back(XrMapView* view)
{
    if (history_head == history_tail)
        return false;
    history_head = (history_head + HISTORY_SIZE - 1) % HISTORY_SIZE;
    const XrViewRecord& r = history[history_head];
    view->set_rotation(r.rotation);
    view->zoom_to_rect(XrRectangle(r.left, r.top, r.right, r.bottom));
    return true;
}

int XrDefaultWindowEventHandler::history_count() const
{
    return (history_head - history_tail + HISTORY_SIZE) % HISTORY_SIZE;
}

int XrDefaultWindowEventHandler::handle_key(int key, XrMapWindow* window)
{
    XrMapView* view = map_view;
    if (view == nullptr)
        return 0;
    const std::uint32_t s = view->get_scale_value();
    switch (key) {
    case XrMapWindow::KeyUp:
    case XrMapWindow::KeyDown:
    case XrMapWindow::KeyLeft:
    case XrMapWindow::KeyRight: {
        const XrRectangle r = view->get_world_rect();
        XrPoint step(0, 0);
        if (key == XrMapWindow::KeyUp)
            step.y = (r.bottom - r.top) / 3;
        else if (key == XrMapWindow::KeyDown)
            step.y = -(r.bottom - r.top) / 3;
        else if (key == XrMapWindow::KeyLeft)
            step.x = -(r.right - r.left) / 3;
        else
            step.x = (r.right - r.left) / 3;
        rotate_point(step, -view->get_rotation());
        push_view(view);
        view->zoom_to_rect(XrRectangle(r.left + step.x, r.top + step.y, r.right + step.x, r.bottom + step.y));
        break;
    }
    case KeyZoomIn:
    case XrMapWindow::KeyF7: {
        const double f = s <= 100000 ? 0.75 : s <= 300000 ? 0.66 : 0.6;
        push_view(view);
        view->set_center_and_scale(nullptr, static_cast<std::uint32_t>(s * f), false);
        break;
    }
    case KeyZoomOut:
    case XrMapWindow::KeyF8: {
        const double f = s <= 100000 ? 4.0 / 3.0 : s <= 300000 ? 1.0 / 0.66 : 5.0 / 3.0;
        push_view(view);
        view->set_center_and_scale(nullptr, static_cast<std::uint32_t>(s * f), false);
        break;
    }
    case KeyNorth:
        push_view(view);
        view->set_rotation(0);
        break;
    case KeyRotateLeft:
    case KeyRotateRight:
        push_view(view);
        view->set_rotation(((view->get_rotation() + (key == KeyRotateLeft ? 10 : -10)) % 360 + 360) % 360);
        break;
    case KeyOverview:
        push_view(view);
        if (overview_scale == -1) {
            overview_scale = static_cast<int>(s);
            view->set_center_and_scale(nullptr, 200000, false);
        } else {
            view->set_center_and_scale(nullptr, static_cast<std::uint32_t>(overview_scale), false);
            overview_scale = -1;
        }
        break;
    default:
        return 0;
    }
    if (window != nullptr)
        window->redraw(true, false, -1, -1);
    return 1;
}

int XrDefaultWindowEventHandler::pointer_down(int x, int y, int, XrMapWindow*)
{
    drag_start_x = x;
    drag_start_y = y;
    dragging = true;
    drag_x = drag_y = -1;
    rect_drawn = false;
    press_time = get_tick_count_ms();
    XrGDI::delete_bitmap(label_bitmap);
    label_bitmap = nullptr;
    return 1;
}

void XrDefaultWindowEventHandler::draw_zoom_rect(XrMapWindow* window)
{
    XrDCHandleRec* dc = XrGDI::get_window_dc(window);
    if (dc == nullptr)
        return;
    const int l = std::min(drag_start_x, drag_x), r = std::max(drag_start_x, drag_x);
    const int t = std::min(drag_start_y, drag_y), b = std::max(drag_start_y, drag_y);
    const XrPoint outline[5] = {{l, t}, {r, t}, {r, b}, {l, b}, {l, t}};
    // XOR with white inverts the pixels: drawn twice, the outline is gone.
    const XrPenHandle old_pen = XrGDI::get_pen(dc);
    XrGDI::select_pen(dc, XrGDI::create_pen(XrGDI::PenSolid, 1, 255, 255, 255));
    XrGDI::set_raster_op(dc, XrGDI::RopXor);
    XrGDI::draw_polyline(dc, outline, 5);
    XrGDI::set_raster_op(dc, XrGDI::RopCopy);
    XrGDI::restore_pen(dc, old_pen);
    XrGDI::release_window_dc(window, dc);
}

void XrDefaultWindowEventHandler::erase_label(XrMapWindow* window)
{
    if (label_bitmap == nullptr)
        return;
    XrDCHandleRec* dc = XrGDI::get_window_dc(window);
    if (dc == nullptr)
        return;
    XrGDI::draw_bitmap(dc, label_x, label_y, label_x + label_width, label_y + label_height, label_bitmap, 0, 0);
    XrGDI::release_window_dc(window, dc);
}

void XrDefaultWindowEventHandler::draw_label(XrMapWindow* window, bool zoom_in)
{
    XrDCHandleRec* dc = XrGDI::get_window_dc(window);
    if (dc == nullptr)
        return;
    const XrString text(translate_key(zoom_in ? "r_str_cba_zoom_in" : "r_str_cba_zoom_out"));
    XrFontHandleRec* font = nullptr;
    if (auto* fonts = static_cast<XrFontRepository*>(XrSingleton::get_instance(XrString(L"XrFontRepository"))))
        font = fonts->get_font(static_cast<XrFntCtx::FontContext>(42));
    int w = 0, h = 0;
    if (zoom_icons != nullptr) {
        XrGDI::get_bitmap_size(zoom_icons, &w, &h);
        w = h;
    } else if (font != nullptr) {
        XrGDI::get_text_size(font, text.c_str(), &w, &h);
        w += 8;
        h += 8;
    }
    if (w <= 0 || h <= 0) {
        XrGDI::release_window_dc(window, dc);
        return;
    }
    if (label_bitmap == nullptr || w != label_width || h != label_height) {
        XrGDI::delete_bitmap(label_bitmap);
        label_bitmap = XrGDI::create_bitmap(dc, w, h);
        label_width = w;
        label_height = h;
    }
    label_x = (drag_start_x + drag_x) / 2 - w / 2;
    label_y = (drag_start_y + drag_y) / 2 - h / 2;
    XrGDI::draw_to_bitmap(label_bitmap, 0, 0, w, h, dc, label_x, label_y, window);
    if (zoom_icons != nullptr) {
        XrGDI::draw_bitmap_masked(dc, label_x, label_y, label_x + w, label_y + h, zoom_icons, zoom_in ? 0 : w, 0,
                                  zoom_icons_mask);
    } else {
        // The map's own label look (text style 1 at the first scale range);
        // black in the measuring font without one.
        XrFontHandleRec* style_font = nullptr;
        XrColorHandle color = XrGDI::rgb(0, 0, 0);
        XrMap* map = map_view != nullptr ? map_view->get_map() : nullptr;
        XrVisualSetting* visual = map != nullptr ? map->get_background() : nullptr;
        if (visual == nullptr || visual->get_font_info(static_cast<short>(1), 0, style_font, color) != 0)
            color = XrGDI::rgb(0, 0, 0);
        XrGDI::select_font(dc, style_font != nullptr ? style_font : font);
        XrGDI::set_text_color(dc, color);
        XrGDI::draw_text_rect(dc, text.c_str(), label_x, label_y, label_x + w, label_y + h, 5, -1);
        XrGDI::deselect_font(dc);
    }
    XrGDI::release_window_dc(window, dc);
}

int XrDefaultWindowEventHandler::pointer_move(int x, int y, int, XrMapWindow* window)
{
    if (!dragging || window == nullptr)
        return 0;
    if (!inside(window->get_view_rect(), x, y)) {
        if (rect_drawn) {
            draw_zoom_rect(window);
            erase_label(window);
        }
        dragging = rect_drawn = false;
        window->redraw(true, false, -1, -1);
        return 1;
    }
    if (rect_drawn) {
        draw_zoom_rect(window);
        erase_label(window);
    }
    drag_x = x;
    drag_y = y;
    if (std::abs(drag_start_x - x) > TAP_SLOP || std::abs(drag_start_y - y) > TAP_SLOP)
        draw_label(window, x - drag_start_x >= 1);
    draw_zoom_rect(window);
    rect_drawn = true;
    return 1;
}

int XrDefaultWindowEventHandler::pointer_up(int x, int y, int flags, XrMapWindow* window)
{
    if (drag_x == -1 && drag_y == -1) {
        drag_x = drag_start_x;
        drag_y = drag_start_y;
    }
    dragging = false;
    if (rect_drawn && window != nullptr) {
        draw_zoom_rect(window);
        erase_label(window);
    }
    rect_drawn = false;
    XrGDI::delete_bitmap(label_bitmap);
    label_bitmap = nullptr;
    drag_x = x;
    drag_y = y;
    XrMapView* view = map_view;
    if (view == nullptr)
        return 1;
    if (!(flags & FlagTap) && (std::abs(drag_start_x - x) > TAP_SLOP || std::abs(drag_start_y - y) > TAP_SLOP)) {
        if (flags & FlagNoZoom) {
            if (window != nullptr)
                window->redraw(true, false, -1, -1);
        } else if (drag_start_x < x) {
            zoom_in_rect(window);
        } else {
            zoom_out_rect(window);
        }
        drag_x = drag_y = -1;
        return 1;
    }
    const XrPoint world = to_world(view, x, y);
    int h = 0;
    if (view->is_3d()) {
        const XrPoint other = to_world(view, x + 12, y);
        h = std::abs(other.x - world.x) + std::abs(other.y - world.y);
    } else {
        h = view->pixels_to_world(12) + 1;
    }
    if (h <= 1)
        h = 2;
    XrMap* map = view->get_map();
    int picked = 0;
    if (map != nullptr) {
        map->get_picked_items().clear();
        XrPolygon area;
        area.add_point(XrPoint(world.x - h / 2, world.y - h / 2));
        area.add_point(XrPoint(world.x + h / 2, world.y - h / 2));
        area.add_point(XrPoint(world.x + h / 2, world.y + h / 2));
        area.add_point(XrPoint(world.x - h / 2, world.y + h / 2));
        map->pick(area, view, &map->get_picked_items());
        picked = map->get_picked_items().get_count();
    }
    if (picked == 0 && !(flags & FlagTap)) {
        push_view(view);
        zoom_by_factor(world.x, world.y, 1.0, window);
    } else if (picked > 0) {
        picked_items(window);
        if (window != nullptr)
            window->redraw(true, false, -1, -1);
    }
    return 1;
}

void XrDefaultWindowEventHandler::zoom_by_factor(int world_x, int world_y, double factor, XrMapWindow* window)
{
    if (map_view == nullptr)
        return;
    const XrPoint centre(world_x, world_y);
    map_view->set_center_and_scale(&centre, static_cast<std::uint32_t>(map_view->get_scale_value() * factor), false);
    if (window != nullptr)
        window->redraw(true, false, -1, -1);
}

void XrDefaultWindowEventHandler::zoom_in_rect(XrMapWindow* window)
{
    XrMapView* view = map_view;
    push_view(view);
    int xs[4], ys[4];
    view->screen_to_world_2d(drag_start_x, drag_start_y, xs[0], ys[0]);
    view->screen_to_world_2d(drag_x, drag_start_y, xs[1], ys[1]);
    view->screen_to_world_2d(drag_x, drag_y, xs[2], ys[2]);
    view->screen_to_world_2d(drag_start_x, drag_y, xs[3], ys[3]);
    const int l = *std::min_element(xs, xs + 4), r = *std::max_element(xs, xs + 4);
    const int t = *std::min_element(ys, ys + 4), b = *std::max_element(ys, ys + 4);
    // The scale at which the box fills the view: the larger of its ratios
    // to the visible world rectangle.
    const XrRectangle now = view->get_world_rect();
    const double fx = double(r - l) / std::max(1, now.right - now.left);
    const double fy = double(b - t) / std::max(1, now.bottom - now.top);
    zoom_by_factor((l + r) / 2, (t + b) / 2, std::max(fx, fy), window);
}

void XrDefaultWindowEventHandler::zoom_out_rect(XrMapWindow* window)
{
    XrMapView* view = map_view;
    const int dx = std::max(1, std::abs(drag_start_x - drag_x));
    const int dy = std::max(1, std::abs(drag_start_y - drag_y));
    const double factor =
        std::min(15.0, std::max(double(view->get_screen_width()) / dx, double(view->get_screen_height()) / dy));
    push_view(view);
    const XrPoint c = view->get_centre();
    zoom_by_factor(c.x, c.y, factor, window);
}
