#include "apps/apps_common/xr_naviapphandler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_touchctrllayer_maemo.h"
#include "common/corvanel_core/interfaces/xr_locationdetailsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/geometry/xr_geometry.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_routelayer.h"
#include "common/os/xr_eventloop.h"
#include "common/types/xr_coordinate.h"

const std::uint32_t XrNaviAppHandler::ZOOM_LADDER[ZOOM_LADDER_SIZE] = {
    2500,    3325,    4511,    6242,    8809,     12682,    18623,    27894,    42615,    66407,    105551,  171127,
    282990,  477337,  821256,  1441228, 2579805,  4710221,  8771943,  16662899, 32285347, 63805856, 100000000};

namespace {

XrMapViewProvider* views() { return XrMapViewProvider::get_instance(); }

XrMapProvider* maps() { return XrMapProvider::get_instance(); }

void* timer_data(int id) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(id)); }

int normalise(int degrees) { return ((degrees % 360) + 360) % 360; }

} // namespace

XrNaviAppHandler::XrNaviAppHandler(XrNaviApp* app) : XrNaviStepHandler(app), cursor_image(CURSOR_BITMAP_ID, false) {}

void XrNaviAppHandler::measure_cursor()
{
    // The bitmap loads on first use, once the map's files are reachable.
    if (cursor_frame_height > 0)
        return;
    cursor_frame_width = cursor_image.width() / 10;
    cursor_frame_height = cursor_image.height();
}

XrNaviAppHandler::~XrNaviAppHandler()
{
    for (int id = TimerRedraw; id <= TimerZoomReady; ++id)
        remove_timer(static_cast<Timer>(id));
}

XrMapWindow* XrNaviAppHandler::window_of_app() const { return app != nullptr ? app->get_map_window() : nullptr; }

void XrNaviAppHandler::post_timer(Timer id, int ms)
{
    if (app == nullptr)
        return;
    remove_timer(id);
    if (app->get_event_loop().add_timeout(ms / 1000, ms % 1000, this, timer_data(id)))
        timer_posted[id] = true;
}

void XrNaviAppHandler::remove_timer(Timer id)
{
    if (app == nullptr || !timer_posted[id])
        return;
    timer_posted[id] = false;
    app->get_event_loop().remove_timeout(this, timer_data(id));
}

bool XrNaviAppHandler::in_map_area(XrMapWindow* window, int x, int y) const
{
    if (window == nullptr)
        return false;
    const XrRectangle r = window->get_view_rect();
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

bool XrNaviAppHandler::screen_to_world(const XrPoint& screen, XrPoint& world) const
{
    if (map_view == nullptr)
        return false;
    if (map_view->is_3d())
        map_view->screen_to_world_3d(screen.x, screen.y, 150, world.x, world.y);
    else
        map_view->screen_to_world_2d(screen.x, screen.y, world.x, world.y);
    return true;
}

void XrNaviAppHandler::highlight_at(const XrPoint& screen)
{
    XrMapViewProvider* provider = views();
    if (provider == nullptr)
        return;
    if (XrMapPoint* point = provider->get_mappoint_by_screen_coordinate(screen, 15)) {
        provider->hilight(*point);
        delete point;
    } else {
        provider->clear_hilight();
    }
}

bool XrNaviAppHandler::is_cursor_visible() const
{
    XrMapViewProvider* provider = views();
    return provider != nullptr && provider->is_cursor_visible();
}

// ---- pointer

int XrNaviAppHandler::pointer_down(int x, int y, int button, XrMapWindow* window)
{
    const bool inside = in_map_area(window, x, y) || touch_layer == nullptr;
    if (!inside)
        return touch_layer->on_press(window, x, y) ? 0 : 1;
    XrMapProvider* provider = maps();
    XrMap* map = provider != nullptr ? provider->get_map() : nullptr;
    if (map != nullptr && map->dispatch_map_layer_event(0, x, y, map_view))
        return 1;
    if (touch_layer != nullptr && !touch_layer->on_press(window, x, y)) {
        set_cursor_mode(window, false, nullptr);
        // A finger that does not pan is a tap at this point.
        press_x = x;
        press_y = y;
        tap_pending = false;
        return 1;
    }
    (void)button;
    if (app != nullptr) {
        app->report_user_input();
        if (app->is_progress_shown())
            return 1;
    }
    post_timer(TimerTap, TAP_TIMEOUT_MS);
    press_x = x;
    press_y = y;
    tap_pending = true;
    return 1;
}

int XrNaviAppHandler::pointer_move(int x, int y, int flags, XrMapWindow* window)
{
    if (touch_layer != nullptr && !touch_layer->on_move(window, x, y))
        return 1;
    if (app != nullptr) {
        app->report_user_input();
        if (app->is_progress_shown())
            return 1;
    }
    if (tap_pending) {
        if (std::hypot(double(x - press_x), double(y - press_y)) <= TAP_DISTANCE)
            return 1;
        remove_timer(TimerTap);
        tap_pending = false;
        XrNaviStepHandler::pointer_down(press_x, press_y, 1, window);
    }
    return XrNaviStepHandler::pointer_move(x, y, flags, window);
}

int XrNaviAppHandler::pointer_up(int x, int y, int flags, XrMapWindow* window)
{
    XrRouteLayer* layer = app != nullptr ? app->get_route_layer() : nullptr;
    if (dragging && app != nullptr && (layer == nullptr || layer->get_active_route() == nullptr))
        app->set_auto_scale_allowed(false);
    const bool inside = in_map_area(window, x, y) || touch_layer == nullptr;
    if (!inside)
        return touch_layer->on_release(window, x, y) ? 0 : 1;
    XrMapProvider* provider = maps();
    XrMap* map = provider != nullptr ? provider->get_map() : nullptr;
    if (map != nullptr && map->dispatch_map_layer_event(1, x, y, map_view))
        return 1;
    if (touch_layer != nullptr && !touch_layer->on_release(window, x, y))
        return 1;
    if (app != nullptr) {
        app->report_user_input();
        if (app->is_progress_shown())
            return 1;
    }
    remove_timer(TimerTap);
    tap_pending = false;
    XrNaviStepHandler::pointer_down(press_x, press_y, 1, window);
    XrNaviStepHandler::pointer_up(x, y, flags, window);
    // Without a map (none opened, or it closed) there is nothing to pick.
    map = provider != nullptr ? provider->get_map() : nullptr;
    if (map == nullptr)
        return 1;
    XrMapViewProvider* view_provider = views();
    if (view_provider != nullptr) {
        if (map->get_picked_items().get_count() > 0)
            view_provider->hilight_mapitem(map->get_picked_items().get_item(0));
        else
            view_provider->clear_hilight();
    }
    return 1;
}

int XrNaviAppHandler::pointer_up_alt(int x, int y, int, XrMapWindow*)
{
    XrPoint world;
    if (is_cursor_visible() && app != nullptr && screen_to_world(XrPoint(x, y), world))
        app->on_right_click(world);
    return 1;
}

int XrNaviAppHandler::held_press(int, int, int, XrMapWindow*)
{
    if (app != nullptr)
        app->report_user_input();
    return touch_layer != nullptr && touch_layer->is_dragging() ? 1 : 0;
}

int XrNaviAppHandler::can_tap_and_hold(int x, int y, XrMapWindow*)
{
    press_x = x;
    press_y = y;
    return 1;
}

int XrNaviAppHandler::tap_and_hold(XrMapWindow* window)
{
    const XrPoint point(press_x, press_y);
    set_cursor_mode(window, true, &point);
    if (dragging)
        pointer_up(0, 0, FlagNoZoom, window);
    open_radial_menu(window, nullptr);
    return 1;
}

// ---- the cursor

bool XrNaviAppHandler::set_cursor_mode(XrMapWindow* window, bool on, const XrPoint* point)
{
    remove_timer(TimerCursor);
    XrMapViewProvider* provider = views();
    XrMapProvider* map_prov = maps();
    XrPoint screen = point != nullptr ? *point : XrPoint(0, 0);
    if (on) {
        post_timer(TimerCursor, CURSOR_TIMEOUT_MS);
        if (point == nullptr && window != nullptr) {
            const XrRectangle r = window->get_view_rect();
            screen = XrPoint((r.right - r.left) / 2, (r.bottom - r.top) / 2);
        }
    }
    XrCoordinate coordinate;
    XrPoint world;
    const bool have_world = screen_to_world(screen, world);
    if (have_world && map_prov != nullptr && map_prov->get_projection() != nullptr)
        coordinate = XrCoordinate(world, map_prov->get_projection());
    if (provider == nullptr) {
        if (app != nullptr)
            app->on_view_changed();
        return true;
    }
    if (provider->is_cursor_visible() == on) {
        if (on) {
            provider->set_cursor_coordinate(coordinate);
            cursor_x = screen.x;
            cursor_y = screen.y;
        }
    } else {
        provider->set_cursor_visible(on);
        provider->clear_hilight();
        if (on) {
            provider->set_cursor_coordinate(coordinate);
            cursor_x = screen.x;
            cursor_y = screen.y;
            highlight_at(screen);
        }
    }
    if (app != nullptr)
        app->on_view_changed();
    return true;
}

void XrNaviAppHandler::centre_cursor_point(XrMapView* view)
{
    if (view == nullptr)
        return;
    const XrRectangle r = view->get_visible_rect();
    cursor_x = (r.left + r.right) / 2;
    cursor_y = (r.top + r.bottom) / 2;
}

void XrNaviAppHandler::move_cursor(int direction, XrMapWindow* window)
{
    if (map_view == nullptr)
        return;
    measure_cursor();
    const int w = map_view->get_screen_width(), h = map_view->get_screen_height();
    const int max_x = w - cursor_frame_width - 2, max_y = h - cursor_frame_height - 2;
    bool at_limit = false;
    switch (direction) {
    case 0:
        at_limit = cursor_y < 3;
        cursor_y = std::max(2, cursor_y - 10);
        break;
    case 1:
        at_limit = cursor_y >= max_y;
        cursor_y = std::min(max_y, cursor_y + 10);
        break;
    case 2:
        at_limit = cursor_x < 3;
        cursor_x = std::max(2, cursor_x - 10);
        break;
    default:
        at_limit = cursor_x >= max_x;
        cursor_x = std::min(max_x, cursor_x + 10);
        break;
    }
    if (at_limit) {
        const XrRectangle r = map_view->get_world_rect();
        XrPoint step(0, 0);
        if (direction == 0)
            step.y = (r.bottom - r.top) / 10;
        else if (direction == 1)
            step.y = -(r.bottom - r.top) / 10;
        else if (direction == 2)
            step.x = -(r.right - r.left) / 10;
        else
            step.x = (r.right - r.left) / 10;
        rotate_point(step, -map_view->get_rotation());
        map_view->zoom_to_rect(XrRectangle(r.left + step.x, r.top + step.y, r.right + step.x, r.bottom + step.y));
    }
    XrMapViewProvider* provider = views();
    XrMapProvider* map_prov = maps();
    XrPoint world;
    if (provider != nullptr && map_prov != nullptr && map_prov->get_projection() != nullptr &&
        screen_to_world(XrPoint(cursor_x, cursor_y), world)) {
        provider->set_cursor_coordinate(XrCoordinate(world, map_prov->get_projection()));
        highlight_at(XrPoint(cursor_x, cursor_y));
    }
    if (window != nullptr)
        window->redraw(true, false, -1, -1);
    if (app != nullptr) {
        app->on_view_changed();
        app->suspend_auto_follow(15000, 15000);
    }
}

// ---- roadblock placing

void XrNaviAppHandler::set_roadblock_mode(bool on)
{
    if (roadblock_mode && !on) {
        if (XrMapViewProvider* provider = views())
            provider->clear_hilight();
    }
    roadblock_id = 0;
    roadblock_mode = on;
}

void XrNaviAppHandler::cancel_roadblock_mode(XrMapWindow* window)
{
    if (!roadblock_mode)
        return;
    set_cursor_mode(window, false, nullptr);
    set_roadblock_mode(false);
    if (app != nullptr)
        app->on_view_changed();
}

void XrNaviAppHandler::confirm_roadblock(XrMapWindow* window)
{
    if (!roadblock_mode || !is_cursor_visible())
        return;
    set_cursor_mode(window, false, nullptr);
    XrPoint world;
    const int id = roadblock_id;
    if (app != nullptr && screen_to_world(XrPoint(cursor_x, cursor_y), world))
        app->add_roadblock(world, id, true);
    set_roadblock_mode(false);
}

// ---- menus

void XrNaviAppHandler::open_radial_menu(XrMapWindow* window, XrPoint* world_point)
{
    radial_open = true;
    display_radial_menu(window, world_point);
    radial_open = false;
    if (app != nullptr)
        app->on_view_changed();
}

void XrNaviAppHandler::open_quick_menu()
{
    if (quick_open)
        return;
    quick_open = true;
    run_quick_menu();
    quick_open = false;
    if (app != nullptr)
        app->on_view_changed();
}

// ---- zoom and pan

std::uint32_t XrNaviAppHandler::ladder_target(std::uint32_t s, bool zoom_in)
{
    if (zoom_in) {
        for (int i = ZOOM_LADDER_SIZE - 1; i >= 0; --i) {
            if (static_cast<std::int64_t>(ZOOM_LADDER[i]) < static_cast<std::int64_t>(s) - 50)
                return ZOOM_LADDER[i];
        }
        return ZOOM_LADDER[0];
    }
    for (int i = 0; i < ZOOM_LADDER_SIZE; ++i) {
        if (static_cast<std::int64_t>(ZOOM_LADDER[i]) > static_cast<std::int64_t>(s) + 50)
            return ZOOM_LADDER[i];
    }
    return ZOOM_LADDER[ZOOM_LADDER_SIZE - 1];
}

void XrNaviAppHandler::zoom_step(bool zoom_in, const XrPoint* point)
{
    if (!zoom_ready || map_view == nullptr)
        return;
    zoom_ready = false;
    post_timer(TimerZoomReady, 100);
    const std::uint32_t s = map_view->get_scale_value();
    if (s == 0)
        return;
    const std::uint32_t t = ladder_target(s, zoom_in);
    zoom_by_factor(double(t) / double(s), point);
}

void XrNaviAppHandler::zoom_by_factor(double factor, const XrPoint* point)
{
    if (map_view == nullptr)
        return;
    std::uint32_t scale = static_cast<std::uint32_t>(std::llround(map_view->get_scale_value() * factor));
    scale = std::clamp(scale, map_view->get_min_scale(), std::max(map_view->get_min_scale(), map_view->get_max_scale()));
    XrRouteLayer* layer = app != nullptr ? app->get_route_layer() : nullptr;
    const bool follow = app != nullptr && app->can_follow();
    XrPoint centre = layer != nullptr && layer->get_active_route() != nullptr && follow && layer->has_last_position()
                         ? layer->get_last_position()
                         : map_view->get_centre();
    if (point != nullptr) {
        const XrPoint c = map_view->get_centre();
        centre.x += point->x - c.x;
        centre.y += point->y - c.y;
    }
    const bool cursor = is_cursor_visible();
    XrMapWindow* window = window_of_app();
    if (cursor)
        set_cursor_mode(window, false, nullptr);
    map_view->set_center_and_scale(&centre, scale, !follow);
    if (cursor) {
        const XrPoint p(cursor_x, cursor_y);
        set_cursor_mode(window, true, &p);
    }
    if (window != nullptr)
        window->redraw(true, false, -1, -1);
}

void XrNaviAppHandler::zoom_animated(double factor, const XrPoint* point, bool deferred_redraw)
{
    if (map_view == nullptr)
        return;
    remove_timer(TimerRedraw);
    const std::uint32_t s = map_view->get_scale_value();
    const std::uint32_t t = static_cast<std::uint32_t>(
        std::min<double>(s * factor, std::max(map_view->get_min_scale(), map_view->get_max_scale())));
    XrPoint centre = map_view->get_centre();
    XrRouteLayer* layer = app != nullptr ? app->get_route_layer() : nullptr;
    if (point != nullptr) {
        centre = *point;
    } else if (app != nullptr && app->can_follow() && layer != nullptr && layer->has_last_position()) {
        centre = layer->get_last_position();
        const int rotation = t < XrMapView::NORTH_UP_SCALE && app->is_heading_up()
                                 ? normalise(layer->get_heading() - 90)
                                 : 0;
        map_view->set_rotation(rotation);
    } else {
        map_view->set_rotation(0);
    }
    // Two frames between the scales on the way, the centre moving a third
    // of the way each time.
    const XrPoint from = map_view->get_centre();
    XrMapWindow* frame_window = window_of_app();
    // The largest scale cut the step short: stay.
    if (t < s + s * factor / 4 && s < t && std::abs(centre.x - from.x) / 3 <= 999 &&
        std::abs(centre.y - from.y) / 3 <= 999)
        return;
    for (int frame = 1; frame <= 2 && frame_window != nullptr && t != s; ++frame) {
        const XrPoint c(from.x + (centre.x - from.x) * frame / 3, from.y + (centre.y - from.y) * frame / 3);
        const std::uint32_t scale = static_cast<std::uint32_t>(s + (static_cast<double>(t) - s) * frame / 3);
        map_view->set_center_and_scale(&c, scale, false);
        frame_window->redraw(false, false, -1, -1);
    }
    map_view->set_center_and_scale(&centre, t, false);
    if (XrMapViewProvider* provider = views())
        provider->clear_hilight_if_off_screen();
    XrMapWindow* window = window_of_app();
    if (deferred_redraw) {
        redraw_pending = true;
        post_timer(TimerRedraw, 100);
    } else if (window != nullptr) {
        window->redraw(true, false, -1, -1);
    }
}

void XrNaviAppHandler::pan_step(int direction)
{
    if (map_view == nullptr)
        return;
    remove_timer(TimerRedraw);
    redraw_pending = false;
    const int n = redraw_done ? 4 : 3;
    const XrRectangle r = map_view->get_world_rect();
    XrPoint step(0, 0);
    if (direction == 0)
        step.y = (r.bottom - r.top) / n;
    else if (direction == 1)
        step.y = -(r.bottom - r.top) / n;
    else if (direction == 2)
        step.x = -(r.right - r.left) / (2 * n);
    else
        step.x = (r.right - r.left) / (2 * n);
    rotate_point(step, -map_view->get_rotation());
    if (!map_view->zoom_to_rect(XrRectangle(r.left + step.x, r.top + step.y, r.right + step.x, r.bottom + step.y)))
        return;
    if (XrMapViewProvider* provider = views())
        provider->clear_hilight_if_off_screen();
    // The picture slides the other way: the uncovered strip comes in.
    if (XrMapWindow* window = window_of_app()) {
        const XrRectangle view = window->get_view_rect();
        const int h = (view.bottom - view.top) / n, w = (view.right - view.left) / (2 * n);
        const int dx = direction == 2 ? w : direction == 3 ? -w : 0;
        const int dy = direction == 0 ? h : direction == 1 ? -h : 0;
        window->slide_to_view(dx, dy, pan_frames, pan_frame_ms);
    }
    redraw_done = false;
    redraw_forced = true;
    post_timer(TimerRedraw, 30);
}

void XrNaviAppHandler::change_perspective(bool flatter)
{
    XrMapViewProvider* provider = views();
    if (provider == nullptr)
        return;
    provider->set_perspective(std::clamp(provider->get_perspective() + (flatter ? -1 : 1), 0, 5));
}

void XrNaviAppHandler::zoom_by_factor(int world_x, int world_y, double factor, XrMapWindow* window)
{
    XrNaviStepHandler::zoom_by_factor(world_x, world_y, factor, window);
    if (app != nullptr)
        app->suspend_auto_follow(15000, 15000);
}

void XrNaviAppHandler::zoom_in_rect(XrMapWindow* window)
{
    if (app != nullptr)
        app->suspend_auto_follow(0, 15000);
    if (map_view != nullptr && map_view->is_3d()) {
        change_perspective(true);
        if (window != nullptr)
            window->redraw(true, false, -1, -1);
        return;
    }
    base_zoom_running = true;
    XrNaviStepHandler::zoom_in_rect(window);
    base_zoom_running = false;
}

void XrNaviAppHandler::zoom_out_rect(XrMapWindow* window)
{
    if (app != nullptr)
        app->suspend_auto_follow(0, 15000);
    if (map_view != nullptr && map_view->is_3d()) {
        change_perspective(false);
        if (window != nullptr)
            window->redraw(true, false, -1, -1);
        return;
    }
    base_zoom_running = true;
    XrNaviStepHandler::zoom_out_rect(window);
    base_zoom_running = false;
}

// ---- keys

int XrNaviAppHandler::handle_key(int key, XrMapWindow* window)
{
    if (app == nullptr || map_view == nullptr)
        return XrNaviStepHandler::handle_key(key, window);
    app->report_user_input();
    if (app->is_progress_shown()) {
        if (key == XrMapWindow::KeyEscape)
            app->set_stop_drawing(true);
        return 1;
    }
    if (busy)
        return 1;
    const int mode = app->adjust_key_code(key);
    if (mode == 1)
        return 1;
    XrMapViewProvider* provider = views();
    XrMapProvider* map_prov = maps();
    XrMap* map = map_prov != nullptr ? map_prov->get_map() : nullptr;
    XrRouteLayer* layer = app->get_route_layer();
    const bool with_route = layer != nullptr && layer->get_active_route() != nullptr;
    const bool cursor = is_cursor_visible();
    const bool is_3d = map_view->is_3d();
    auto redraw = [&]() {
        if (window != nullptr)
            window->redraw(true, false, -1, -1);
    };

    if (mode == 0 && is_3d) {
        bool taken = false;
        if (key == XrMapWindow::KeyF7 || key == XrMapWindow::KeyF8) {
            change_perspective(key == XrMapWindow::KeyF7);
            taken = true;
        } else if (step_mode && !cursor && (key == XrMapWindow::KeyLeft || key == XrMapWindow::KeyRight)) {
            change_perspective(key == XrMapWindow::KeyRight);
            taken = true;
        }
        if (taken) {
            if (cursor) {
                highlight_at(XrPoint(cursor_x, cursor_y));
                post_timer(TimerCursor, CURSOR_TIMEOUT_MS);
            }
            if (provider != nullptr)
                provider->clear_hilight_if_off_screen();
            app->suspend_auto_follow(0, 15000);
            redraw();
            return 1;
        }
        if (key == KeyCursor || key == 19)
            return 1;
    }
    if (cursor)
        post_timer(TimerCursor, CURSOR_TIMEOUT_MS);
    else
        centre_cursor_point(map_view);

    if (key == XrMapWindow::KeyF7 || key == XrMapWindow::KeyF8) {
        if (cursor) {
            XrPoint world;
            if (screen_to_world(XrPoint(cursor_x, cursor_y), world))
                map_view->set_center_and_scale(&world, map_view->get_scale_value(), true);
        }
        const std::uint32_t s = map_view->get_scale_value();
        if (key == XrMapWindow::KeyF8) {
            if (map_view->get_rotation() != 0 && s > 250000) {
                map_view->set_rotation(0);
                redraw();
            }
            if (s < 40001)
                zoom_step(false, nullptr);
            else
                zoom_animated(2.0, nullptr, false);
        } else {
            if (s <= 250000 && map_view->get_rotation() == 0 && step_mode && app->can_follow() && layer != nullptr &&
                layer->has_last_position() && app->is_heading_up())
                map_view->set_rotation(normalise(layer->get_heading() - 90));
            if (s < 50001)
                zoom_step(true, nullptr);
            else
                zoom_animated(0.5, nullptr, false);
        }
        app->suspend_auto_follow(0, 15000);
        if (cursor)
            highlight_at(XrPoint(cursor_x, cursor_y));
        redraw();
        return 1;
    }
    if (key <= XrMapWindow::KeyRight && cursor) {
        move_cursor(key, window);
        return 1;
    }
    if (key == XrMapWindow::KeyReturn) {
        const bool picked = map != nullptr && map->get_picked_items().get_count() > 0;
        const bool highlighted = provider != nullptr && provider->get_hilighted_point() != nullptr;
        if (cursor || picked || highlighted) {
            if (roadblock_mode)
                set_cursor_mode(window, !cursor, nullptr);
            else if (!radial_open)
                open_radial_menu(window, nullptr);
        } else if (with_route) {
            show_scroll_menu();
        } else if (!radial_open) {
            XrPoint centre = map_view->get_centre();
            open_radial_menu(window, &centre);
        }
        return 1;
    }
    if (mode == 6) {
        set_cursor_mode(window, false, nullptr);
        const XrMap::XrLayerInfo* poi = map != nullptr ? map->get_layer_info(XrString(L"poi")) : nullptr;
        if (provider != nullptr && poi != nullptr &&
            (poi->highest_scale == 0 || map_view->get_scale_value() <= poi->highest_scale))
            provider->hilight_next();
        app->on_view_changed();
        return 1;
    }
    if (key >= KeySpeedDialFirst && key <= KeySpeedDialLast) {
        set_cursor_mode(window, false, nullptr);
        app->show_speed_dial(key - 6);
        return 1;
    }
    if (key == KeyCallPoi) {
        app->call_highlighted_poi();
        set_cursor_mode(window, false, nullptr);
        return 1;
    }
    if (key == KeyCursor) {
        set_cursor_mode(window, !cursor, nullptr);
        return 1;
    }
    if (key == KeyToggle3d) {
        if (provider != nullptr)
            provider->clear_hilight();
        app->toggle_3d_view();
        redraw();
        return 1;
    }
    if (key == KeyClearRoute) {
        app->clear_route_with_query();
        return 1;
    }
    if (key == KeyNone16)
        return 1;
    if (key > XrMapWindow::KeyRight) {
        saved_rotation = map_view->get_rotation();
        return XrNaviStepHandler::handle_key(key, window);
    }
    // Arrows without the cursor.
    if (layer != nullptr && !with_route)
        app->set_auto_scale_allowed(false);
    if (step_mode) {
        saved_rotation = map_view->get_rotation();
        return XrNaviStepHandler::handle_key(key, window);
    }
    if (!is_3d) {
        app->suspend_auto_follow(15000, 15000);
        pan_step(key);
        return 1;
    }
    int rotation = map_view->get_rotation();
    XrPoint centre = map_view->get_centre();
    if (key == XrMapWindow::KeyLeft) {
        rotation = normalise(rotation + rotation_step);
    } else if (key == XrMapWindow::KeyRight) {
        rotation = normalise(rotation - rotation_step);
    } else {
        const double heading = (rotation + 90) * M_PI / 180.0;
        const int sign = key == XrMapWindow::KeyUp ? 1 : -1;
        const int d = map_view->pixels_to_world(50);
        centre.x += static_cast<int>(sign * d * std::cos(heading));
        centre.y += static_cast<int>(sign * d * std::sin(heading));
    }
    map_view->set_rotation(app->is_heading_up() ? rotation : 0);
    map_view->set_center_and_scale(&centre, 6250, true);
    if (provider != nullptr)
        provider->clear_hilight_if_off_screen();
    redraw();
    return 1;
}

// ---- touch buttons

void XrNaviAppHandler::touch_button(int button)
{
    XrMapWindow* window = window_of_app();
    switch (button) {
    case 1:
    case 2:
        handle_key(button == 1 ? XrMapWindow::KeyF7 : XrMapWindow::KeyF8, window);
        if (app != nullptr)
            app->suspend_auto_follow(0, 15000);
        break;
    case 3:
    case 4:
    case 5:
    case 6: {
        static const int keys[4] = {XrMapWindow::KeyLeft, XrMapWindow::KeyRight, XrMapWindow::KeyUp,
                                    XrMapWindow::KeyDown};
        const int key = keys[button - 3];
        if (map_view != nullptr && map_view->is_3d()) {
            handle_key(key, window);
        } else {
            if (app != nullptr)
                app->suspend_auto_follow(15000, 15000);
            pan_step(key);
        }
        break;
    }
    case 7:
        if (map_view != nullptr)
            map_view->set_rotation(0);
        if (window != nullptr)
            window->redraw(true, false, -1, -1);
        break;
    case 8:
    case 9:
        XrNaviStepHandler::handle_key(button == 8 ? KeyStepNext : KeyStepPrevious, window);
        break;
    case 10:
        if (app != nullptr)
            app->return_to_position();
        break;
    case 11:
        post_timer(TimerQuickMenu, 0);
        break;
    case 15:
        show_scroll_menu();
        break;
    default:
        break;
    }
}

// ---- timers and drawing

void XrNaviAppHandler::execute(XrEventloopBase*, void* data)
{
    const int id = static_cast<int>(reinterpret_cast<std::intptr_t>(data));
    if (id >= TimerRedraw && id <= TimerZoomReady)
        timer_posted[id] = false;
    XrMapWindow* window = window_of_app();
    switch (id) {
    case TimerRedraw:
        if (window != nullptr)
            window->redraw(!(redraw_pending || redraw_forced), false, -1, -1);
        redraw_pending = redraw_forced = false;
        redraw_done = true;
        break;
    case TimerCursor:
        if (is_cursor_visible())
            set_cursor_mode(window, false, nullptr);
        break;
    case TimerTap:
        tap_pending = false;
        break;
    case TimerQuickMenu:
        open_quick_menu();
        break;
    case TimerZoomReady:
        zoom_ready = true;
        break;
    default:
        break;
    }
}

void XrNaviAppHandler::on_map_draw(XrDCHandleRec*, XrMapView*)
{
    if (app != nullptr && app->is_progress_shown())
        app->reset_progress();
}

// ---- place names

void XrNaviAppHandler::get_place_name(const XrCoordinate& where, XrString& name)
{
    name = XrString();
    XrMapProvider* map_prov = maps();
    if (app == nullptr || map_view == nullptr || map_prov == nullptr || map_prov->get_projection() == nullptr)
        return;
    const std::uint32_t s = map_view->get_scale_value();
    const XrPoint point = where.to_point(map_prov->get_projection());
    if (s < 50000) {
        name = app->find_nearest_name(XrString(L"poi"), point, map_view->pixels_to_world(10), -1);
        if (name.is_empty()) {
            auto* details = static_cast<XrLocationDetailsProvider*>(
                XrSingleton::get_instance(XrString(L"XrLocationDetailsProvider")));
            XrLocationDetails found;
            if (details != nullptr && details->get_details(where, found))
                name = found.text;
        }
        return;
    }
    const bool large = s > 999999;
    const XrString layer(large ? L"smd" : L"sm");
    name = app->find_nearest_name(layer, point, map_view->pixels_to_world(10), large ? 10 : -1);
    if (name.is_empty())
        name = app->find_nearest_name(layer, point, map_view->pixels_to_world(50), -1);
}
