// XrRouteLayer: guidance on position updates, travel times and traffic
// delays, and route joining.
#include "common/map/xr_routelayer.h"

void XrRouteLayer::update_position(const XrPoint& position, int heading_, double /*speed*/, bool /*hold*/,
                                   XrGid* /*street*/, XrPoint* /*road_data*/, int /*extra_distance*/)
{
    last_position = position;
    last_heading = heading_;
    has_last = true;
    last_update = now();
}

int XrRouteLayer::get_distance_to_next_instruction() { return -1; }

bool XrRouteLayer::match_route(const XrPoint& /*position*/, int /*heading*/, double /*speed*/,
                               int /*extra_distance*/)
{
    return false;
}

bool XrRouteLayer::find_signpost(int /*segment*/) { return false; }

void XrRouteLayer::compute_remaining_time() {}

bool XrRouteLayer::set_traffic_delay(const XrRouteSegment& /*segment*/, std::uint32_t /*value*/,
                                     std::uint32_t* /*out*/)
{
    return false;
}

int XrRouteLayer::get_route_time(XrRouteInstructions* /*route*/, int /*part*/, int /*road_class*/, int /*start*/)
{
    return 0;
}

int XrRouteLayer::get_time_ahead(bool /*whole*/) { return -1; }

int XrRouteLayer::get_traffic_delay_ahead(int /*distance*/) { return 0; }

bool XrRouteLayer::join_routes(XrGraphAccessor2* /*graph*/, XrRouteInstructions* /*new_route*/,
                               XrRouteInstructions* /*old_route*/,
                               XrRouteInstructions::XrRouteDirective* /*junction*/)
{
    return false;
}

int XrRouteLayer::find_directive_index(const XrBlockStorage<XrRouteInstructions::XrRouteDirective>& /*directives*/,
                                       int /*segment*/, bool /*backward*/)
{
    return -1;
}
