#include "apps/apps_common/xr_touchctrllayer_maemo.h"

#include <cmath>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_naviapphandler.h"
#include "common/bmloader/xr_bitmap.h"
#include "common/corvanel_core/interfaces/xr_maplayerparts.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/gdi/xr_gdi.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_overlaylayer.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_path_resolver.h"

const int XrTouchCtrlLayer::WINDOW_CONTROL[TOUCH_CONTROL_COUNT] = {3, 4, 5, 2, 0, 1, -1, -1, -1, 6, 9};
const int XrTouchCtrlLayer::BUTTON_CODE[TOUCH_CONTROL_COUNT] = {5, 4, 6, 3, 1, 2, 8, 9, 7, 11, 15};

namespace {

XrBitmap* load_image(const char* name)
{
    if (name == nullptr)
        return nullptr;
    const XrString path = XrPathResolver::resolve(XrString(L"?:/kestrova/images/") + XrString(name));
    return XrGDI::load_bitmap_file(path.c_str());
}

bool contains(const XrRectangle& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// The map window control (0..14) holding the point, from first to last.
int window_control_at(XrMapWindow* window, int first, int last, int x, int y)
{
    for (int c = first; c <= last; ++c) {
        const XrRectangle r = window->get_ctrl_rectangle(static_cast<XrMapWindow::Control>(c));
        if (r.right > r.left && r.bottom > r.top && contains(r, x, y))
            return c;
    }
    return -1;
}

XrNaviApp* app_of(XrNaviAppHandler* handler) { return handler != nullptr ? handler->get_app() : nullptr; }

} // namespace

XrTouchCtrlLayer::XrTouchCtrlLayer(const char*, XrNaviAppHandler* map_handler, XrEventloopBase* event_loop,
                                   XrRouteLayer* route_layer)
    : map_handler(map_handler), event_loop(event_loop), route_layer(route_layer), observers(8)
{
}

XrTouchCtrlLayer::~XrTouchCtrlLayer()
{
    if (XrMapWindow* window = XrMapWindow::get_instance())
        window->set_draw_callback(nullptr, nullptr);
    for (int i = 0; i < 8; ++i) {
        delete guidance_pressed[i];
        delete guidance_released[i];
        delete guidance_pressed_normal[i];
    }
    delete zoom_in_image;
    delete zoom_out_image;
    for (XrBitmap* b : gps_images)
        delete b;
}

void XrTouchCtrlLayer::load_bitmaps()
{
    static const char* const pressed[8] = {"navigation01_down_half.png", "blank_down_half.png",
                                           "navigation02_down_half.png", "navigation03_down_half.png",
                                           "navigation04_down_half.png", "button2_down.png",
                                           "button1_down.png",           "button2_down.png"};
    static const char* const released[8] = {"navigation01_up_half.png", "blank_up_half.png",
                                            "navigation02_up_half.png", "navigation03_up_half.png",
                                            "navigation04_up_half.png", nullptr,
                                            nullptr,                    nullptr};
    static const char* const normal[8] = {nullptr, nullptr, nullptr, nullptr, nullptr, "button2_down_half.png",
                                          "button1_down_half.png", "button2_down_half.png"};
    static const char* const gps[4] = {"gps_gray.png", "gps_red.png", "gps_yellow.png", "gps_green.png"};
    for (int i = 0; i < 8; ++i) {
        guidance_pressed[i] = load_image(pressed[i]);
        guidance_released[i] = load_image(released[i]);
        guidance_pressed_normal[i] = load_image(normal[i]);
    }
    zoom_in_image = load_image("zoomin.png");
    zoom_out_image = load_image("zoomout.png");
    for (int i = 0; i < 4; ++i)
        gps_images[i] = load_image(gps[i]);
}

void XrTouchCtrlLayer::add_observer(XrTouchCtrlLayerObserver* observer) { observers.append(observer); }

void XrTouchCtrlLayer::remove_observer(XrTouchCtrlLayerObserver* observer)
{
    observers.remove(observer);
}

bool XrTouchCtrlLayer::draw(XrDCHandleRec*, XrMapView*)
{
    if (!hidden) {
        if (XrMapWindow* window = XrMapWindow::get_instance())
            window->set_draw_callback(&XrTouchCtrlLayer::draw_callback, this);
    }
    return true;
}

void XrTouchCtrlLayer::draw_callback(XrDCHandleRec* dc, XrMapWindow* window, void* data)
{
    static_cast<XrTouchCtrlLayer*>(data)->draw_controls(dc, window);
}

void XrTouchCtrlLayer::draw_controls(XrDCHandleRec* dc, XrMapWindow* window)
{
    if (dc == nullptr || window == nullptr || hidden)
        return;
    XrRouteProvider* routes = XrRouteProvider::get_instance();
    XrRouteLayer* layer = routes != nullptr ? routes->get_route_layer2() : nullptr;
    const bool full = XrMapWindow::is_fullscreen();
    auto put = [&](XrBitmap* image, int x, int y) {
        if (image != nullptr)
            XrGDI::draw_bitmap_object(dc, x, y, image, true);
    };
    auto corner = [&](int control) {
        const XrRectangle r = window->get_ctrl_rectangle(static_cast<XrMapWindow::Control>(control));
        return XrPoint(r.left, r.top);
    };
    put(zoom_in_image, corner(0).x, corner(0).y);
    put(zoom_out_image, corner(1).x, corner(1).y);
    const int state = window->get_gps_state();
    XrPoint gps(740, 20);
    bool show_gps = true;
    if (layer == nullptr || routes == nullptr || !routes->has_waypoints()) {
        show_gps = full;
        if (state == 3) {
            const std::uint32_t now = get_tick_count_ms();
            if (gps_fix_since == 0)
                gps_fix_since = now;
            show_gps = show_gps && now - gps_fix_since < GPS_FIX_SHOWN_MS;
        } else {
            gps_fix_since = 0;
        }
    } else {
        for (int c = 7; c <= 14; ++c) {
            const int i = c - 7;
            XrBitmap* image = c == pressed_guidance_control
                                  ? (!full && guidance_pressed_normal[i] != nullptr ? guidance_pressed_normal[i]
                                                                                    : guidance_pressed[i])
                                  : guidance_released[i];
            put(image, corner(c).x, corner(c).y);
        }
        if (highlighted_control >= 7 && highlighted_control <= 14) {
            const int i = highlighted_control - 7;
            put(!full && guidance_pressed_normal[i] != nullptr ? guidance_pressed_normal[i] : guidance_pressed[i],
                corner(highlighted_control).x, corner(highlighted_control).y);
        }
        gps = full ? XrPoint(501, 430) : XrPoint(453, 346);
        if (pressed_guidance_control == 8) {
            ++gps.x;
            ++gps.y;
        }
    }
    if (show_gps && state >= 0 && state <= 3)
        put(gps_images[state], gps.x, gps.y);
}

int XrTouchCtrlLayer::hittest(XrMapView*, int x, int y, XrRouteLayer*)
{
    XrMapWindow* window = XrMapWindow::get_instance();
    if (window == nullptr)
        return -1;
    for (int i = 0; i < TOUCH_CONTROL_COUNT; ++i) {
        XrRectangle r;
        if (WINDOW_CONTROL[i] >= 0)
            r = window->get_ctrl_rectangle(static_cast<XrMapWindow::Control>(WINDOW_CONTROL[i]));
        // Controls without a window rectangle are out of reach.
        if (WINDOW_CONTROL[i] < 0 || (r.right <= r.left && r.bottom <= r.top))
            continue;
        const int w = r.right - r.left, h = r.bottom - r.top;
        if (w < 15) {
            r.left -= 15 - w;
            r.right += 15 - w;
        }
        if (h < 15) {
            r.top -= 15 - h;
            r.bottom += 15 - h;
        }
        if (contains(r, x, y))
            return i;
    }
    return -1;
}

bool XrTouchCtrlLayer::is_over_control(int x, int y)
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    if (maps == nullptr || maps->get_route_layer() == nullptr)
        return false;
    return hittest(nullptr, x, y, route_layer) >= 0;
}

void XrTouchCtrlLayer::set_road_layer_shown(bool shown)
{
    XrMapProvider* maps = XrMapProvider::get_instance();
    XrMap* map = maps != nullptr ? maps->get_map() : nullptr;
    if (map == nullptr)
        return;
    if (XrMap::XrLayerInfo* info = map->get_layer_info(XrString(L"road")))
        info->visible = shown;
}

bool XrTouchCtrlLayer::on_press(XrMapWindow* window, int x, int y)
{
    if (hidden || window == nullptr)
        return true;
    pressed_touch_control = -1;
    panned = false;
    XrNaviApp* app = app_of(map_handler);
    const int guidance = window_control_at(window, 7, 14, x, y);
    XrRouteLayer* layer = app != nullptr ? app->get_route_layer() : nullptr;
    const bool with_route = layer != nullptr && layer->get_active_route() != nullptr;
    if (guidance >= 0 && with_route) {
        pressed_guidance_control = guidance;
        if (guidance >= 12 && app != nullptr) {
            if (app->is_route_preview_running())
                app->end_route_preview(false);
            set_highlighted_control(guidance);
            app->start_route_preview(true, true, guidance - 12);
            preview_press_time = get_tick_count_ms();
        }
        window->redraw(true, false, -1, -1);
        return false;
    }
    XrMapView* view = app != nullptr ? &app->get_map_view() : nullptr;
    pressed_in_3d = view != nullptr && view->is_3d();
    const int hit = hittest(view, x, y, route_layer);
    if (hit >= 0) {
        pressed_touch_control = hit;
        return false;
    }
    if (window->is_toggle_off()) {
        dragging = true;
        drag_x = x;
        drag_y = y;
        set_road_layer_shown(false);
        return false;
    }
    return true;
}

bool XrTouchCtrlLayer::on_move(XrMapWindow* window, int x, int y)
{
    if (hidden || window == nullptr || !window->is_toggle_off() || pressed_guidance_control >= 0)
        return true;
    if (dragging && std::hypot(double(x - drag_x), double(y - drag_y)) > DRAG_START_DISTANCE)
        drag_active = true;
    if (!drag_active)
        return true;
    XrNaviApp* app = app_of(map_handler);
    if (app == nullptr)
        return false;
    app->suspend_auto_follow(15000, 15000);
    app->freeze_rotation();
    if (std::abs(x - drag_x) < 10 && std::abs(y - drag_y) < 10)
        return false;
    XrMapView& view = app->get_map_view();
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    view.screen_to_world_2d(drag_x, drag_y, x0, y0);
    view.screen_to_world_2d(x, y, x1, y1);
    const XrRectangle r = view.get_world_rect();
    const int dx = x0 - x1, dy = y0 - y1;
    view.zoom_to_rect(XrRectangle(r.left + dx, r.top + dy, r.right + dx, r.bottom + dy));
    window->redraw(true, false, -1, -1);
    drag_x = x;
    drag_y = y;
    drag_active = false;
    panned = true;
    return false;
}

bool XrTouchCtrlLayer::on_release(XrMapWindow* window, int x, int y)
{
    if (hidden || window == nullptr) {
        drag_active = false;
        return true;
    }
    if (map_handler != nullptr && map_handler->shows_zoom_rect())
        return true;
    XrNaviApp* app = app_of(map_handler);
    XrMapView* view = app != nullptr ? &app->get_map_view() : nullptr;
    auto near_release = [&](const XrPoint& world) {
        XrPoint screen;
        view->world_to_screen(world, screen);
        return std::hypot(double(screen.x - x), double(screen.y - y)) <= PIN_RADIUS;
    };
    if (view != nullptr && !dragging && pressed_touch_control < 0 && pressed_guidance_control < 0) {
        XrMapViewProvider* views = XrMapViewProvider::get_instance();
        XrMapProvider* maps = XrMapProvider::get_instance();
        if (views != nullptr && views->get_hilighted_point() != nullptr && maps != nullptr &&
            maps->get_projection() != nullptr) {
            drag_active = false;
            XrPoint world = views->get_hilighted_point()->get_coordinate().to_point(maps->get_projection());
            if (near_release(world)) {
                map_handler->open_radial_menu(window, &world);
                return false;
            }
        }
        auto* overlay = maps != nullptr ? dynamic_cast<XrOverlayLayer*>(maps->get_overlay_layer()) : nullptr;
        if (overlay != nullptr && overlay->get_pin() != nullptr) {
            XrPoint world = *overlay->get_pin();
            if (near_release(world)) {
                map_handler->open_radial_menu(window, &world);
                return false;
            }
        }
    }
    const int control = window_control_at(window, 0, 12, x, y);
    if (pressed_guidance_control >= 12 && pressed_guidance_control <= 14) {
        XrRouteLayer* layer = app != nullptr ? app->get_route_layer() : nullptr;
        if (layer != nullptr && layer->get_active_route() != nullptr && app->is_route_preview_running() &&
            get_tick_count_ms() - preview_press_time >= PREVIEW_QUICK_RELEASE_MS)
            app->end_route_preview(true);
        pressed_guidance_control = -1;
        return false;
    }
    if (pressed_guidance_control >= 0) {
        if (control == pressed_guidance_control && app != nullptr) {
            switch (control) {
            case 7:
                app->toggle_north(true);
                break;
            case 8:
                app->show_gps_status();
                break;
            case 10:
                app->show_poi_categories();
                break;
            case 11:
                app->clear_route_with_query();
                break;
            default:
                break;
            }
        }
        pressed_guidance_control = -1;
        window->redraw(true, false, -1, -1);
        return false;
    }
    if (control < 0 && route_layer != nullptr && !route_layer->has_last_position() && map_handler != nullptr)
        map_handler->set_follow_position(false);
    if (pressed_touch_control >= 0) {
        const int code = BUTTON_CODE[pressed_touch_control];
        pressed_touch_control = -1;
        if (map_handler != nullptr)
            map_handler->touch_button(code);
        return false;
    }
    dragging = false;
    if (window->is_toggle_off())
        set_road_layer_shown(true);
    drag_active = false;
    window->redraw(true, false, -1, -1);
    // A finger that panned the map ends here; one that did not is a tap for
    // the map handler.
    const bool was_pan = panned;
    panned = false;
    return !was_pan;
}
