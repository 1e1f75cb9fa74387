// Shared set-up of the route layer's drawing tests: an event loop that
// records timeouts, a hand-made route (west to east, then a left turn north
// to the destination) and access to the layer's guidance state.
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "common/map/xr_routelayer.h"
#include "tests/support/xr_recording_loop.h"

class RouteTestLoop : public XrRecordingLoop {
public:
    // The delays of the pending timeouts with an event id.
    std::vector<int> pending(int id) const
    {
        std::vector<int> out;
        for (const Timeout& t : timeouts)
            if (t.data == reinterpret_cast<void*>(static_cast<std::intptr_t>(id)))
                out.push_back(t.ms);
        return out;
    }
};

// The layer's guidance and drawing state, set directly by the tests.
class XrRouteLayerTestAccess {
public:
    explicit XrRouteLayerTestAccess(XrRouteLayer& layer) : l(layer) {}
    void set_matched(const XrPoint& p, int heading)
    {
        l.matched_point = p;
        l.matched_valid = true;
        l.heading = heading;
    }
    void set_guidance(int directive_index, int distance, const wchar_t* next_street, int state = 1)
    {
        l.current_directive_index = directive_index;
        l.current_directive = l.active_route != nullptr ? l.active_route->directives.get_item_ptr(directive_index)
                                                         : nullptr;
        l.next_directive = l.active_route != nullptr && directive_index > 0
                               ? l.active_route->directives.get_item_ptr(directive_index - 1)
                               : nullptr;
        l.directive_distance = distance;
        l.next_street_name = next_street != nullptr ? XrString(next_street) : XrString();
        l.guidance.set_state(state);
    }
    void set_next_directive(const XrRouteInstructions::XrRouteDirective* d) { l.next_directive = d; }
    // The traffic box is asked for by the next draw_traffic_box.
    void request_traffic_box() { l.traffic_box_requested = true; }
    void set_travelled(int metres) { l.distance_travelled = metres; }
    void set_street(const wchar_t* name) { l.street_name = XrString(name); }
    void set_remaining_minutes(int m) { l.remaining_minutes = m; }
    void set_show_distance(bool on, std::uint32_t next_toggle)
    {
        l.show_distance = on;
        l.show_distance_toggle = next_toggle;
    }
    bool show_distance() const { return l.show_distance; }
    void set_gps(bool present, bool fix)
    {
        l.gps_present = present;
        l.gps_fix_valid = fix;
    }
    int gps_status() const { return l.gps_status; }
    void set_display_units(int units)
    {
        l.display_units = units;
        l.prompt_units = units;
    }
    void set_alert(const wchar_t* text, std::uint32_t end)
    {
        l.alert_text = XrString(text);
        l.alert_end = end;
    }
    void set_right_hand(bool value) { l.right_hand_traffic = value; }
    bool uturn_announced() const { return l.uturn_announced; }
    void set_close_follow_up(bool value) { l.close_follow_up = value; }
    // The safety screen's picture i (route_01 to route_03, then the half ones).
    std::unique_ptr<XrBitmap>& safety_image(int i) { return l.safety_images[i]; }
    bool announced_far() const { return l.announced_far; }
    const int* panel_sizes() const { return l.panel_sizes; }
    void add_signpost_item(int kind, const wchar_t* text)
    {
        XrRouteLayer::XrSignpostItemRec item;
        item.kind = kind;
        item.text = XrString(text);
        l.signpost_items.append(item);
    }
    void set_signpost_range(int segment, int start, int distance, int current_segment)
    {
        l.signpost_segment = segment;
        l.signpost_start = start;
        l.signpost_distance = distance;
        l.current_segment = current_segment;
    }
    const XrRouteLayer::XrSignpostScheme& scheme(int i) const { return l.schemes[i]; }
    const XrPenHandle& signpost_pen() const { return l.signpost_pen; }
    const XrBrushHandle& signpost_brush() const { return l.signpost_brush; }
    XrSignpostDrawer& drawer() { return l.signpost_drawer; }
    const XrArray<XrRouteLayer::XrSiGfx>& gfx() const { return l.signpost_gfx; }
    XrBitmap& icon(int i) { return l.icons[i]; }
    // The pens and brushes that initialize makes once the box icons load
    // (the recording backend loads no pictures).
    void make_pens()
    {
        typedef XrGDI G;
        l.line_width = 1;
        l.pens[XrRouteLayer::PenLine] = G::create_pen(G::PenSolid, 1, 0, 0, 0);
        l.pens[XrRouteLayer::PenDark] = G::create_pen(G::PenSolid, 1, 32, 32, 32);
        l.pens[XrRouteLayer::PenLight] = G::create_pen(G::PenSolid, 1, 192, 192, 192);
        l.pens[XrRouteLayer::PenRed] = G::create_pen(G::PenSolid, 1, 192, 0, 0);
        l.pens[XrRouteLayer::PenRoute] = G::create_pen(G::PenSolid, 1, 0, 0, 255);
        const int brush_rgb[9][3] = {{255, 255, 255}, {255, 80, 80}, {192, 255, 0}, {128, 192, 0}, {0, 0, 0},
                                     {255, 255, 0},   {255, 255, 0}, {192, 0, 0},   {255, 255, 0}};
        for (int i = 0; i < 9; ++i)
            l.brushes[i] = G::create_brush(G::BrushSolid, brush_rgb[i][0], brush_rgb[i][1], brush_rgb[i][2]);
        l.colours[XrRouteLayer::ColourWhite] = G::rgb(255, 255, 255);
        const int pen_rgb[5][3] = {{0, 64, 32}, {192, 255, 192}, {192, 255, 192}, {0, 255, 128}, {0, 255, 128}};
        for (int i = 0; i < 5; ++i)
            l.pens[XrRouteLayer::PenGreenDark + i] =
                G::create_pen(G::PenSolid, 1, pen_rgb[i][0], pen_rgb[i][1], pen_rgb[i][2]);
        l.brushes[XrRouteLayer::BrushGreenDark] = G::create_brush(G::BrushSolid, 0, 64, 32);
        l.brushes[XrRouteLayer::BrushGreenLight] = G::create_brush(G::BrushSolid, 192, 255, 192);
        l.brushes[XrRouteLayer::BrushGreenBright] = G::create_brush(G::BrushSolid, 0, 255, 128);
    }

private:
    XrRouteLayer& l;
};

namespace route_test {

// Route points: start S, junction J 600 m east, destination D 400 m north
// of J (map units are metres).
struct RoutePoints {
    XrPoint s, j, d;
};

inline XrRouteInstructions::XrRouteDirective directive(std::uint32_t code, int segment_word, std::uint32_t word1 = 0)
{
    XrRouteInstructions::XrRouteDirective d;
    d.words[0] = code;
    d.words[1] = word1;
    d.words[6] = static_cast<std::uint32_t>(segment_word);
    return d;
}

// Two segments (stored destination first) and two directives: index 0 the
// destination, index 1 the turn of the given code at J.
inline XrRouteInstructions* make_route(const RoutePoints& p, std::uint32_t turn_code = 2, std::uint32_t word1 = 0)
{
    auto* r = new XrRouteInstructions();
    XrRouteSegment b;
    b.gid = 0x00020001;
    b.x = p.j.x;
    b.y = p.j.y;
    b.length = p.d.y - p.j.y;
    b.flags = XrRouteSegment::FLAG_ALONG;
    XrRouteSegment a;
    a.gid = 0x00010001;
    a.x = p.s.x;
    a.y = p.s.y;
    a.length = p.j.x - p.s.x;
    a.flags = XrRouteSegment::FLAG_ALONG | XrRouteSegment::FLAG_FIRST;
    r->segments.add_item(b, -1);
    r->segments.add_item(a, -1);
    XrRouteInstructions::XrRouteDirective dest = directive(XrRouteInstructions::CODE_DESTINATION, 1);
    XrRouteInstructions::XrRouteDirective turn = directive(turn_code, 2, word1);
    turn.words[4] = static_cast<std::uint32_t>(b.length);
    dest.words[3] = static_cast<std::uint32_t>(b.length);
    r->directives.add_item(dest, -1);
    r->directives.add_item(turn, -1);
    r->start_x = p.s.x;
    r->start_y = p.s.y;
    r->target_x = p.d.x;
    r->target_y = p.d.y;
    r->total_length = a.length + b.length;
    return r;
}

inline void set_route(XrRouteLayer& layer, XrRouteInstructions* route)
{
    XrPtrArray<XrRouteInstructions*> list;
    list.append(route);
    layer.set_routes(&list, 0);
}

} // namespace route_test
