#include "apps/apps_common/xr_navistephandler.h"

#include <algorithm>
#include <cmath>

#include "apps/apps_common/xr_naviapp.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_path_resolver.h"

XrPhoneCallProvider* XrPhoneCallProvider::get_instance()
{
    return static_cast<XrPhoneCallProvider*>(XrSingleton::get_instance(XrString(L"XrPhoneCallProvider")));
}

XrNaviStepHandler::XrNaviStepHandler(XrNaviApp* app)
    : XrDefaultWindowEventHandler(app != nullptr ? &app->get_map_view() : nullptr), app(app)
{
}

void XrNaviStepHandler::set_follow_position(bool follow)
{
    if (app != nullptr)
        app->set_auto_scale_allowed(follow);
}

bool XrNaviStepHandler::is_map_cursor_visible()
{
    auto* views = static_cast<XrMapViewProvider*>(XrSingleton::get_instance(XrString(L"XrMapViewProvider")));
    return views != nullptr && views->is_cursor_visible();
}

double XrNaviStepHandler::step_distance(std::uint32_t scale, bool is_3d, int elapsed_ms)
{
    if (is_3d && elapsed_ms >= 0 && elapsed_ms < 1000)
        return std::max(elapsed_ms, 500) * 72.2222 / 1000.0;
    return std::clamp(static_cast<double>(scale / 550), 12.0, 10000.0);
}

int XrNaviStepHandler::handle_key(int key, XrMapWindow* window)
{
    XrMapView* view = map_view;
    XrRouteLayer* layer = app != nullptr ? app->get_route_layer() : nullptr;
    if (view == nullptr || app == nullptr)
        return XrDefaultWindowEventHandler::handle_key(key, window);
    const std::uint32_t s = view->get_scale_value();
    const std::uint32_t now = get_tick_count_ms();
    const int elapsed = last_step_key_ms != 0 ? static_cast<int>(now - last_step_key_ms) : -1;
    const double step = step_distance(s, view->is_3d(), elapsed);
    last_step_key_ms = now;
    const bool with_route = layer != nullptr && layer->get_active_route() != nullptr;
    auto redraw = [&]() {
        if (window != nullptr)
            window->redraw(true, false, -1, -1);
    };

    if (step_mode) {
        if (key == XrMapWindow::KeyUp || key == XrMapWindow::KeyDown) {
            if (!with_route)
                return 1;
            key = key == XrMapWindow::KeyUp ? KeyStepNext : KeyStepPrevious;
        } else if (key == XrMapWindow::KeyLeft || key == XrMapWindow::KeyRight) {
            if (!view->is_3d()) {
                const double f = key == XrMapWindow::KeyLeft ? 1.25 : 1.0 / 1.25;
                XrPoint centre = view->get_centre();
                if (layer != nullptr && layer->has_last_position()) {
                    const XrPoint p = layer->get_last_position();
                    if (std::hypot(double(p.x - centre.x), double(p.y - centre.y)) <= 10.0)
                        centre = p;
                }
                view->set_center_and_scale(&centre, static_cast<std::uint32_t>(s * f), false);
            }
            redraw();
            return 1;
        }
    }

    if (key == KeyStepNext || key == KeyStepPrevious || key == KeyStepAhead) {
        if (!with_route)
            return 1;
        XrPoint point;
        short heading = 0;
        // Browsing starts where the car is on the route.
        if (!app->is_browsing())
            browse_distance = layer->get_distance_travelled();
        int target = browse_distance;
        if (key == KeyStepNext) {
            target += static_cast<int>(step);
        } else if (key == KeyStepPrevious) {
            target = std::max(0, target - static_cast<int>(step));
        } else {
            int distance = layer->get_distance_to_directive();
            if (distance > 400)
                distance -= 400;
            if (distance <= 0)
                return 1;
            target += distance;
        }
        const bool moved = layer->get_point_on_route(&point, &heading, target) == 0;
        if (moved)
            browse_distance = target;
        if (moved) {
            view->set_rotation(app->is_heading_up() ? ((heading - 90) % 360 + 360) % 360 : 0);
            view->set_center_and_scale(&point, s, false);
            app->start_browsing();
            redraw();
        }
        return 1;
    }

    if ((key == XrMapWindow::KeyF8 || (key == XrMapWindow::KeyF7 && !view->is_3d())) && layer != nullptr &&
        layer->has_last_position()) {
        const XrPoint p = layer->get_last_position();
        const XrPoint c = view->get_centre();
        if (std::hypot(double(p.x - c.x), double(p.y - c.y)) < 10.0) {
            const double f = key == XrMapWindow::KeyF7 ? 1.0 / 1.25 : 1.25;
            view->set_center_and_scale(&p, static_cast<std::uint32_t>(s * f), false);
            redraw();
            return 1;
        }
    }
    return XrDefaultWindowEventHandler::handle_key(key, window);
}
