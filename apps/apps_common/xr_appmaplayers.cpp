#include "apps/apps_common/xr_appmaplayers.h"

#include <cstdio>

#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapviewprovider.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/map/xr_linelabellayer.h"
#include "common/map/xr_map.h"
#include "common/map/xr_mapview.h"
#include "common/misc/xr_path_resolver.h"
#include "common/update/xr_soundsetcatalogue.h"

namespace {

XrPositionProvider* position_provider() { return xr_registered<XrPositionProvider>(L"XrPositionProvider"); }

XrMapSettingsProvider* map_settings() { return xr_registered<XrMapSettingsProvider>(L"XrMapSettingsProvider"); }

// The open map's route layer, or null.
XrRouteLayer* route_layer()
{
    XrRouteProvider* route = XrRouteProvider::get_instance();
    return route != nullptr ? route->get_route_layer2() : nullptr;
}

} // namespace

XrMapRouteLayer* XrAppMapLayers::create_route_layer(XrEventloopBase* event_loop, XrMap* map, XrAudioPlayer* audio)
{
    return new XrAppRouteLayer(event_loop, map, audio);
}

void XrAppRouteLayer::attach_layer(XrMap::XrLayerInfo& info)
{
    if (info.kind == 1) {
        if (auto* labels = dynamic_cast<XrLineLabelLayer*>(info.layer))
            set_street_label_layer(labels);
    }
}

void XrAppRouteLayer::set_road_layer(XrLayer* road, XrGeomStorage*)
{
    if (auto* labels = dynamic_cast<XrLineLabelLayer*>(road))
        set_street_label_layer(labels);
}

void XrAppRouteLayer::take_road_layer_values(XrLayer* road)
{
    XrMap* m = get_map();
    if (m == nullptr || road == nullptr)
        return;
    for (int i = 0; i < m->get_layer_count(); ++i) {
        const XrMap::XrLayerInfo* info = m->get_layer_info_at(i);
        if (info->layer == road) {
            if (info->highest_scale > 0)
                set_scale_limit(static_cast<int>(info->highest_scale));
            return;
        }
    }
}

bool XrAppRouteLayer::set_road_data(XrGeomStorage* geometry, XrAddrAccessor* addr)
{
    if (geometry == nullptr)
        return false;
    if (!initialize(geometry, addr))
        std::fprintf(stderr, "kestrova-navigator: the guidance pictures did not load; no guidance box\n");
    load_safety_screen_images();
    return true;
}

bool XrAppRouteLayerHost::has_map_view_provider()
{
    return XrSingleton::get_instance(XrString(L"XrMapViewProvider")) != nullptr;
}

bool XrAppRouteLayerHost::redraw_map_window()
{
    XrMapWindow* w = window(data);
    if (w == nullptr)
        return false;
    w->redraw(true, false, -1, -1);
    return true;
}

int XrAppRouteLayerHost::get_routing_mode()
{
    XrRouteProvider* route = XrRouteProvider::get_instance();
    return route != nullptr ? route->get_routing_mode() : 0;
}

XrString XrAppRouteLayerHost::get_sounds_path()
{
    // The layer also looks at the folder itself: the platform's separators.
    return backslashes_to_slashes(XrSoundsetCatalogue::get_voice_root());
}

double XrAppRouteLayerHost::get_scale_factor()
{
    XrMapViewProvider* provider = XrMapViewProvider::get_instance();
    return provider != nullptr ? provider->get_scale_factor() : XrRouteLayerHost::get_scale_factor();
}

int XrAppRouteLayerHost::get_distance_units()
{
    XrMapSettingsProvider* settings = map_settings();
    return settings != nullptr ? settings->get_measurement_system() : 0;
}

bool XrAppMapWindowView::has_map() { return view->get_map() != nullptr; }

void XrAppMapWindowView::draw_map(XrDCHandleRec* dc, int pass, int arg1, int arg2)
{
    view->draw(dc, nullptr, pass == 1 ? XrMap::BufferedLayers : XrMap::UnbufferedLayers, arg1, arg2);
}

void XrAppMapWindowView::notify_draw(XrDCHandleRec* dc) { view->notify_draw(dc); }

void XrAppMapWindowView::set_screen_size(const XrSize& size)
{
    if (size.width != 0 || size.height != 0)
        view->set_screen_size(size);
}

XrSize XrAppMapWindowView::get_screen_size() { return XrSize(view->get_screen_width(), view->get_screen_height()); }

void XrAppMapWindowView::set_update_rect(const XrRectangle* rect)
{
    if (rect == nullptr)
        view->set_override_rect(nullptr);
}

void XrAppMapWindowView::set_visible_rect(const XrRectangle& rect) { view->set_visible_rect(rect); }

bool XrAppMapWindowView::has_route_provider() { return XrRouteProvider::get_instance() != nullptr; }

bool XrAppMapWindowView::has_route()
{
    XrRouteProvider* route = XrRouteProvider::get_instance();
    return route != nullptr && route->has_route();
}

int XrAppMapWindowView::get_route_panel_top()
{
    XrRouteLayer* layer = route_layer();
    int top = 0, band = 0;
    if (layer == nullptr || !layer->get_panel_sizes(top, band, nullptr, nullptr))
        return 0;
    return top;
}

void XrAppMapWindowView::draw_route_overlays(XrDCHandleRec* dc, const XrSize& screen)
{
    if (XrRouteLayer* layer = route_layer())
        layer->draw_safety_screen(dc, XrPoint(screen.width, screen.height));
}

bool XrAppMapWindowView::use_alternate_units()
{
    XrMapSettingsProvider* settings = map_settings();
    return settings != nullptr && settings->get_measurement_system() != 0;
}

bool XrAppMapWindowView::has_position_provider() { return position_provider() != nullptr; }

bool XrAppMapWindowView::is_position_active()
{
    XrPositionProvider* p = position_provider();
    return p != nullptr && p->is_active();
}

bool XrAppMapWindowView::position_has_fix()
{
    XrPositionProvider* p = position_provider();
    return p != nullptr && p->get_position_info().has_fix();
}
