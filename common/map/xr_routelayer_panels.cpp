// XrRouteLayer: the proximity alert, the traffic box, the guidance panel
// texts and the guidance box. Placeholders until the drawing lands.
#include "common/map/xr_routelayer.h"

bool XrRouteLayer::draw_proximity_alert(XrDCHandleRec* /*dc*/, const XrPoint& /*position*/,
                                        const XrPoint* /*offset*/)
{
    return false;
}

bool XrRouteLayer::draw_alert_icon(XrDCHandleRec* /*dc*/, XrPoint& /*position*/) { return false; }

void XrRouteLayer::draw_rounded_frame(XrDCHandleRec* /*dc*/, XrRectangle& /*box*/, int& /*border*/) {}

bool XrRouteLayer::draw_traffic_box(XrDCHandleRec* /*dc*/, XrPoint& /*position*/, XrRectangle& /*box*/,
                                    int /*icon*/, int /*distance*/)
{
    return false;
}

void XrRouteLayer::init_traffic_bitmaps() {}

void XrRouteLayer::format_remaining_time(int /*minutes*/, XrString& out) { out.clear(); }

void XrRouteLayer::draw_guidance_sign(XrDCHandleRec* /*dc*/, const XrPoint& /*position*/, bool /*panel*/,
                                      const XrPoint* /*offset*/)
{
}

void XrRouteLayer::draw_lane_glyph(XrDCHandleRec* /*dc*/, int /*kind*/, XrPoint& /*top_left*/,
                                   XrPoint& /*bottom_right*/)
{
}

void XrRouteLayer::get_box_metrics(int& first, int& second) const
{
    first = box_metrics[0];
    second = box_metrics[1];
}

bool XrRouteLayer::get_panel_sizes(int& top, int& band, int* alert_bottom, int* traffic_value) const
{
    top = panel_sizes[0];
    band = panel_sizes[1];
    if (alert_bottom != nullptr)
        *alert_bottom = panel_sizes[2];
    if (traffic_value != nullptr)
        *traffic_value = traffic_state != nullptr ? traffic_state->get_value() : 0;
    return true;
}

bool XrRouteLayer::should_show_signpost(const XrRouteInstructions::XrRouteDirective* /*directive*/,
                                        int /*distance*/) const
{
    return false;
}

bool XrRouteLayer::is_signpost_directive(const XrRouteInstructions::XrRouteDirective* directive)
{
    if (directive == nullptr)
        return false;
    const std::uint32_t code = directive->code();
    return code != 0 && code != 7 && code != 12;
}

bool XrRouteLayer::is_guidance_busy() const { return false; }

long long XrRouteLayer::get_trip_statistics(int& seconds) const
{
    seconds = static_cast<int>((now() - trip_start) / 1000);
    return trip_value;
}

void XrRouteLayer::reset_trip_statistics()
{
    trip_value = 0;
    trip_start = now();
}

void XrRouteLayer::set_info_record(const XrTrafficCRecord& record)
{
    c_event = record;
    c_event.present = true;
}

void XrRouteLayer::set_info_record2(const XrTrafficARecord& record)
{
    a_event = record;
    a_event.present = true;
}

bool XrRouteLayer::get_edge_street_name(XrGid /*gid*/, XrString* /*name*/, XrString* /*area*/) { return false; }

void XrRouteLayer::mark_traffic_time() {}

void XrRouteLayer::reset_traffic_state() {}

void XrRouteLayer::draw_traffic_state(XrDCHandleRec* /*dc*/, const XrPoint& /*screen*/) {}

bool XrRouteLayer::is_traffic_value_high() const { return false; }

void XrRouteLayer::blink_traffic_box() {}

bool XrRouteLayer::draw_guidance_box(XrDCHandleRec* /*dc*/, const XrPoint& /*screen*/,
                                     const XrRouteInstructions::XrRouteDirective* /*directive*/, int /*d*/)
{
    return false;
}

void XrRouteLayer::layout_signpost_items(XrDCHandleRec* /*dc*/, const XrPoint& /*screen*/, bool /*with_icon*/) {}

void XrRouteLayer::draw_signpost_items(XrDCHandleRec* /*dc*/, const XrPoint& /*screen*/, int& height,
                                       bool /*draw_frame*/, const XrPoint* /*origin*/, bool /*frame_bottom*/)
{
    height = 0;
}
