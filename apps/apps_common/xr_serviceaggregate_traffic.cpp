// The service aggregate's traffic operations: event objects on a map layer
// of their own, road marks on the road layer and penalties in route searches.
#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_serviceaggregate.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/map/xr_routelayer.h"
#include "common/graph/xr_dijkstrapath.h"
#include "common/map/xr_linelabellayer.h"
#include "common/map/xr_map.h"
#include "common/map/xr_maplayer.h"
#include "common/map/xr_mapobject.h"

namespace {

// The look of an event's object by its category: purple for traffic (apart
// from the red road marks and the route), orange for roadworks, blue for
// weather, grey for the rest.
void category_colour(int category, int& r, int& g, int& b)
{
    switch (category) {
    case 0:
    case 10:
        r = 150, g = 0, b = 190;
        break;
    case 1:
        r = 255, g = 140, b = 0;
        break;
    case 3:
    case 4:
        r = 30, g = 90, b = 220;
        break;
    default:
        r = 120, g = 120, b = 120;
        break;
    }
}

} // namespace

XrLineLabelLayer* XrServiceAggregate::road_labels()
{
    XrMapProvider* maps = map_provider();
    return maps != nullptr ? dynamic_cast<XrLineLabelLayer*>(maps->get_road_layer()) : nullptr;
}

void XrServiceAggregate::add_event_object(XrService* /*service*/, std::uint32_t id, int x, int y, int category,
                                          const XrString& /*text*/)
{
    if (!event_layer) {
        XrMapProvider* maps = map_provider();
        XrMap* map = maps != nullptr ? maps->get_map() : nullptr;
        if (map == nullptr)
            return;
        event_layer = std::make_unique<XrMapLayer>(map, XrString(L"traffic_events"));
    }
    remove_event_object(nullptr, id);
    int r = 0, g = 0, b = 0;
    category_colour(category, r, g, b);
    auto* object = new XrMapPointObject(XrPoint(x, y), EVENT_RADIUS, r, g, b);
    object->set_outline(2, 255, 255, 255);
    event_objects[id] = event_layer->add_object(object);
    redraw_map();
}

void XrServiceAggregate::remove_event_object(XrService* /*service*/, std::uint32_t id)
{
    auto it = event_objects.find(id);
    if (it == event_objects.end())
        return;
    if (event_layer)
        event_layer->remove_object(it->second);
    event_objects.erase(it);
    redraw_map();
}

void XrServiceAggregate::reserve_road_marks(int count)
{
    if (XrLineLabelLayer* roads = road_labels())
        roads->reset_traffic(static_cast<unsigned>(count > 0 ? count : 0));
    redraw_map();
}

bool XrServiceAggregate::mark_road(unsigned int gid, bool along, int cls)
{
    XrLineLabelLayer* roads = road_labels();
    const bool before = roads != nullptr && roads->get_traffic_value(gid) != 0;
    if (roads != nullptr)
        roads->add_traffic_road(gid, along, cls);
    return roads != nullptr && !before;
}

void XrServiceAggregate::unmark_road(unsigned int gid)
{
    if (XrLineLabelLayer* roads = road_labels())
        roads->clear_traffic_road(gid);
}

void XrServiceAggregate::add_edge_penalty(XrDijkstraPath2* search, unsigned int gid, int penalty)
{
    if (search != nullptr)
        search->add_edge_penalty(static_cast<XrGid>(gid), penalty);
}

int XrServiceAggregate::get_road_mark(unsigned int gid)
{
    XrLineLabelLayer* roads = road_labels();
    return roads != nullptr ? roads->get_traffic_value(gid) : 0;
}

void XrServiceAggregate::drop_event_objects()
{
    event_objects.clear();
    event_layer.reset();
}

bool XrServiceAggregate::has_route()
{
    XrRouteLayer* route = app != nullptr ? app->get_route_layer() : nullptr;
    return route != nullptr && route->get_route_length() > 0;
}

bool XrServiceAggregate::road_on_route(unsigned int gid)
{
    XrLineLabelLayer* roads = road_labels();
    return roads != nullptr && roads->find_route_edge(gid, -1, nullptr);
}

void XrServiceAggregate::request_reroute()
{
    if (XrRouteProvider* route = XrRouteProvider::get_instance())
        route->recalculate_from_position(false);
}

void XrServiceAggregate::play_sound(const TCHAR* name)
{
    if (XrRouteLayer* route = app != nullptr ? app->get_route_layer() : nullptr)
        route->play_prompts(name, nullptr, nullptr);
}
