// XrRouteLayer: construction, routes, voice folder and event-loop callbacks.
#include "common/map/xr_routelayer.h"

#include <sys/stat.h>

#include <string>

#include "common/addr/xr_addraccessor.h"
#include "common/addr/xr_signpostacc.h"
#include "common/audio/xr_audiofile.h"
#include "common/audio/xr_audioplayer.h"
#include "common/bmloader/xr_bitmaprectangle.h"
#include "common/map/xr_linelabellayer.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_utf8.h"
#include "common/container/xr_bytearray.h"
#include "common/os/xr_eventloopbase.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

// Direction icon tables: 48 consecutive ids each.
struct DirectionTables {
    unsigned first[XrRouteLayer::DIRECTION_ICON_COUNT];
    unsigned second[XrRouteLayer::DIRECTION_ICON_COUNT];
    DirectionTables()
    {
        for (int i = 0; i < XrRouteLayer::DIRECTION_ICON_COUNT; ++i) {
            first[i] = XrRouteLayer::DIRECTION_ICONS_1 + static_cast<unsigned>(i);
            second[i] = XrRouteLayer::DIRECTION_ICONS_2 + static_cast<unsigned>(i);
        }
    }
};

const DirectionTables& direction_tables()
{
    static const DirectionTables tables;
    return tables;
}

std::string to_utf8(const XrString& s)
{
    XrByteArray bytes;
    XrUTF8::encode_utf8(s.c_str(), -1, bytes);
    return std::string(reinterpret_cast<const char*>(bytes.get_items()), static_cast<size_t>(bytes.get_num_items()));
}

bool folder_exists(const XrString& path)
{
    struct stat st;
    return !path.is_empty() && stat(to_utf8(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A route as the street-label layer reads it: its segments and its start
// and end geometries.
class RouteEdges : public XrRouteEdgeSource {
public:
    explicit RouteEdges(const XrRouteInstructions* route) : route(route) {}
    int get_segment_count() const override { return route->segments.items(); }
    XrGid get_segment_gid(int index) const override
    {
        const XrRouteSegment* s = route->segments.get_item_ptr(index);
        return s != nullptr ? s->gid : 0;
    }
    const XrPolygon* get_polyline(int which) const override
    {
        return which == 0 ? route->start_geometry.get() : route->end_geometry.get();
    }

private:
    const XrRouteInstructions* route;
};

} // namespace

XrRouteLayer::XrRouteLayer(XrEventloopBase* event_loop, XrMap* map, int map_units_per_metre, XrAudioPlayer* audio,
                           XrLineLabelLayer* street_labels)
    : map(map), event_loop(event_loop), routes(8, 8), units_per_metre(map_units_per_metre),
      audio(audio), speaker(audio), arrows(32, 32), traffic_link(this), end_points(5, 5), street_labels(street_labels),
      traffic_delays(16, true, 80), host(&get_route_layer_host()), safety_link(this), edge_link(this)
{
    set_double_bufferable(false);
    if (units_per_metre < 1)
        units_per_metre = 1;
    margin_reset = margin;
    creation_time = now();
    guidance.start_trip(creation_time);
    speaker.set_root(host->get_sounds_path());
    traffic_state = XrTrafficVisualization::reset(nullptr, &traffic_link);
}

XrRouteLayer::~XrRouteLayer()
{
    if (event_loop != nullptr)
        event_loop->remove_timeout(this, nullptr);
    clear_route_arrows();
    clear_signpost_items();
    clear_edge_polygons();
    delete traffic_state;
    traffic_state = nullptr;
    for (int i = 0; i < routes.get_num_items(); ++i)
        delete routes.get_item(i);
    routes.remove_all();
    active_route = nullptr;
}

std::uint32_t XrRouteLayer::now() const { return tick_source != nullptr ? tick_source() : get_tick_count_ms(); }

void XrRouteLayer::set_tick_source(std::uint32_t (*source)()) { tick_source = source; }

void XrRouteLayer::set_graph_path(const XrString& path)
{
    graph_path = path;
    graph_reader.reset();
    graph_file.reset();
    graph_failed = false;
}

XrGraphAccessor2* XrRouteLayer::get_graph_reader()
{
    if (graph_reader != nullptr)
        return graph_reader.get();
    if (graph_failed)
        return nullptr;
    XrString path = graph_path;
    if (path.is_empty()) {
        if (get_path_resolver() == nullptr)
            return nullptr;
        path = XrPathResolver::resolve(XrString(L"?:\\mapdata\\graph.bin"));
    }
    auto file = std::make_unique<XrFileStorageAccessor>();
    if (!file->open(path, true)) {
        graph_failed = true;
        return nullptr;
    }
    auto reader = std::make_unique<XrGraphAccessor2>(file.get(), GRAPH_CACHE_SIZE);
    if (reader->open(nullptr) != 0) {
        graph_failed = true;
        return nullptr;
    }
    graph_file = std::move(file);
    graph_reader = std::move(reader);
    return graph_reader.get();
}

int XrRouteLayer::post_draw(XrDCHandleRec* /*dc*/, XrMapView* /*view*/) { return 1; }

bool XrRouteLayer::initialize(XrGeomStorage* road_storage_, XrAddrAccessor* addr_)
{
    road_storage = road_storage_;
    addr = addr_;
    const unsigned gps_ids[3] = {ICON_GPS_1, ICON_GPS_2, ICON_GPS_3};
    for (int i = 0; i < 3; ++i) {
        icons[IconGps1 + i] = XrBitmap(gps_ids[i], false);
        icons[IconGps1 + i].load();
    }
    icons[IconFlagStart] = XrBitmap(ICON_FLAG_START, false);
    icons[IconFlagWaypoint] = XrBitmap(ICON_FLAG_WAYPOINT, false);
    icons[IconFlagDestination] = XrBitmap(ICON_FLAG_DESTINATION, false);
    for (int i = IconFlagStart; i <= IconFlagDestination; ++i)
        icons[i].load();

    bool us = false;
    if (addr != nullptr && addr->get_country_count() > 0) {
        XrString country;
        if (addr->get_country_name(0, country) == XrAddrAccessor::OK)
            us = country == L"USA" || country == L"CAN";
    }
    icons[IconBox] = XrBitmap(us ? ICON_BOX_US : ICON_BOX, false);
    icons[IconFollow] = XrBitmap(us ? ICON_FOLLOW_US : ICON_FOLLOW, false);
    icons[IconFollowSmall] = XrBitmap(us ? ICON_FOLLOW_SMALL_US : ICON_FOLLOW_SMALL, false);
    icons[IconFollowSmall].load();
    direction_icons = us ? direction_tables().second : direction_tables().first;
    if (!icons[IconBox].load() || !icons[IconFollow].load())
        return false;

    line_width = get_scale_factor();
    typedef XrGDI G;
    pens[PenLine] = G::create_pen(G::PenSolid, line_width, 0, 0, 0);
    pens[PenDark] = G::create_pen(G::PenSolid, 1, 32, 32, 32);
    pens[PenLight] = G::create_pen(G::PenSolid, 1, 192, 192, 192);
    pens[PenRed] = G::create_pen(G::PenSolid, 1, 192, 0, 0);
    const int brush_rgb[9][3] = {{255, 255, 255}, {255, 80, 80}, {192, 255, 0}, {128, 192, 0}, {0, 0, 0},
                                 {255, 255, 0},   {255, 255, 0}, {192, 0, 0},   {255, 255, 0}};
    for (int i = 0; i < 9; ++i)
        brushes[BrushWhite + i] = G::create_brush(G::BrushSolid, brush_rgb[i][0], brush_rgb[i][1], brush_rgb[i][2]);
    pens[PenRoute] = G::create_pen(G::PenSolid, line_width, 0, 0, 255);
    colours[ColourWhite] = G::rgb(255, 255, 255);
    colours[ColourBlack1] = G::rgb(0, 0, 0);
    colours[ColourBlack2] = G::rgb(0, 0, 0);
    const int pen_rgb[5][3] = {{0, 64, 32}, {192, 255, 192}, {192, 255, 192}, {0, 255, 128}, {0, 255, 128}};
    for (int i = 0; i < 5; ++i)
        pens[PenGreenDark + i] = G::create_pen(G::PenSolid, 1, pen_rgb[i][0], pen_rgb[i][1], pen_rgb[i][2]);
    brushes[BrushGreenDark] = G::create_brush(G::BrushSolid, 0, 64, 32);
    brushes[BrushGreenLight] = G::create_brush(G::BrushSolid, 192, 255, 192);
    brushes[BrushGreenBright] = G::create_brush(G::BrushSolid, 0, 255, 128);
    return true;
}

void XrRouteLayer::execute(XrEventloopBase* /*loop*/, void* data)
{
    const auto id = static_cast<int>(reinterpret_cast<std::intptr_t>(data));
    switch (id) {
    case EVENT_TRAFFIC:
        if (traffic_state != nullptr)
            traffic_state = XrTrafficVisualization::draw_state(traffic_state, nullptr);
        host->redraw_map_window();
        break;
    case EVENT_GPS_STATUS:
        host->redraw_map_window();
        break;
    case EVENT_NO_FIX:
        play_prompts(L"nogpsfix.wav", nullptr, nullptr);
        break;
    default:
        break;
    }
}

void XrRouteLayer::set_voice_folder(const XrString& name)
{
    if (name == speaker.get_set() && !speaker.get_set().is_empty())
        return;
    XrString root = host->get_sounds_path();
    if (!folder_exists(root) && get_path_resolver() != nullptr)
        root = XrPathResolver::resolve(XrString(L"?:\\kestrova\\sounds\\sound_eng"));
    speaker.set_voice(root, name);
    detect_prompt_units();
}

void XrRouteLayer::convert_directive_distances(XrRouteInstructions* route)
{
    const int count = route->directives.items();
    if (count == 0)
        return;
    const XrRouteInstructions::XrRouteDirective* last = route->directives.get_item_ptr(count - 1);
    const std::uint32_t base = last->words[3];
    for (int i = 0; i < count; ++i) {
        XrRouteInstructions::XrRouteDirective* d = route->directives.get_item_ptr(i);
        d->words[3] = base - d->words[3];
        d->words[4] = base - d->words[4];
    }
}

void XrRouteLayer::clear_routes()
{
    for (int i = 0; i < routes.get_num_items(); ++i)
        delete routes.get_item(i);
    routes.remove_all();
    active_route = nullptr;
    active_index = -1;
    current_directive = nullptr;
    next_directive = nullptr;
    current_directive_index = -1;
    clear_edge_polygons();
    clear_route_arrows();
    clear_signpost_items();
    end_points.remove_all();
}

void XrRouteLayer::set_routes(XrPtrArray<XrRouteInstructions*>* list, int index)
{
    clear_routes();
    traffic_delays.clear();
    delays_summed = false;
    if (list != nullptr && list->get_num_items() > 0) {
        for (int i = 0; i < list->get_num_items(); ++i) {
            XrRouteInstructions* route = list->get_item(i);
            if (route == nullptr)
                continue;
            routes.append(route);
            convert_directive_distances(route);
            route->travel_time = get_route_time(route, 0, 0, route->segments.items());
        }
        list->remove_all();
        // A bad index must not leave the layer without an active route while
        // it holds routes: the first route takes its place.
        if (!select_route(index))
            select_route(0);
        rebuild_end_points();
        if (active_route != nullptr)
            return;
    }
    active_route = nullptr;
    active_index = -1;
    update_street_labels();
    panel_sizes[0] = panel_sizes[1] = panel_sizes[2] = 0;
    next_street_name.clear();
}

void XrRouteLayer::reset_guidance()
{
    time_mark = now() + 4000;
    signpost_segment = signpost_start = -1;
    clear_signpost_items();
    margin = margin_reset;
    current_directive_index = -1;
    current_directive = nullptr;
    next_directive = nullptr;
    left_directive_index = -1;
    started = announced_far = announced_near = second_far_pending = exit_announcement = exit_taken = false;
    close_follow_up = follow_up_announced = chain = chain_before = follow_up_spoken = false;
    uturn_announced = false;
    route_locked = false;
    directive_distance = 0;
    announce_distance = 0;
    near_distance = 500;
    largest_announce = 1000;
    follow_limit1 = follow_limit2 = -1;
    street_id = next_street_id = 0;
    street_name.clear();
    next_street_name.clear();
    guidance.reset();
    distance_travelled = 0;
    current_segment = -1;
    matched_directive_index = -1;
    largest_start_distance = 0;
    show_distance = false;
    remaining_minutes = 0;
    clear_edge_polygons();
    clear_route_arrows();
}

bool XrRouteLayer::select_route(int index)
{
    if (index < 0 || index >= routes.get_num_items())
        return false;
    XrRouteInstructions* route = routes.get_item(index);
    if (route == nullptr)
        return false;
    active_index = index;
    reset_guidance();
    active_route = route;
    const int directive_count = route->directives.items();
    if (directive_count > 0) {
        current_directive_index = directive_count - 1;
        current_directive = route->directives.get_item_ptr(current_directive_index);
        directive_distance = static_cast<int>(current_directive->words[4]);
        get_arrow(current_directive_index);
    }
    const int segment_count = route->segments.items();
    last_segment = segment_count - 1;
    if (route->start_geometry != nullptr) {
        const XrRouteSegment* first = route->segments.get_item_ptr(segment_count - 1);
        pin_edge_polygon(first != nullptr ? first->gid : 0, copy_polygon(*route->start_geometry), true);
    }
    if (route->end_geometry != nullptr) {
        const XrRouteSegment* last = route->segments.get_item_ptr(0);
        pin_edge_polygon(last != nullptr ? last->gid : 0, copy_polygon(*route->end_geometry), false);
    }
    // The start point: an end of the start geometry, or of the first
    // driven edge, by the edge's direction.
    route_start = XrPoint(route->start_x, route->start_y);
    if (const XrRouteSegment* first = route->segments.get_item_ptr(segment_count - 1)) {
        const XrPolygon* line = route->start_geometry != nullptr ? route->start_geometry.get()
                                                                  : get_edge_polygon(first->gid, true, false);
        if (line != nullptr && line->get_point_count() > 0) {
            const bool along = (first->flags & XrRouteSegment::FLAG_ALONG) != 0;
            line->get_point(along ? 0 : line->get_point_count() - 1, route_start);
        }
    }
    route_length = route->total_length;
    if (const XrRouteInstructions::XrRouteDirective* first = route->directives.get_item_ptr(0))
        route_length = static_cast<int>(first->words[4]);
    if (route_length <= 0)
        route_length = route->total_length;
    if (has_last)
        update_position(last_position, last_heading, current_speed, true, nullptr, nullptr, 0);
    update_street_labels();
    return true;
}

bool XrRouteLayer::replace_active_route(XrRouteInstructions* route)
{
    if (route == nullptr)
        return false;
    if (active_route == nullptr || active_index < 0) {
        delete route;
        return false;
    }
    clear_edge_polygons();
    clear_route_arrows();
    delete routes.get_item(active_index);
    active_route = nullptr;
    current_directive = next_directive = nullptr;
    route->travel_time = get_route_time(route, 0, 0, route->segments.items());
    convert_directive_distances(route);
    *routes.get_item_ptr(active_index) = route;
    select_route(active_index);
    rebuild_end_points();
    return true;
}

void XrRouteLayer::rebuild_end_points()
{
    end_points.remove_all();
    if (routes.get_num_items() == 0)
        return;
    XrRouteInstructions* first = routes.get_item(0);
    end_points.append(XrPoint(first->start_x, first->start_y));
    for (int i = 0; i < routes.get_num_items(); ++i) {
        XrRouteInstructions* r = routes.get_item(i);
        end_points.append(XrPoint(r->target_x, r->target_y));
    }
}

void XrRouteLayer::set_street_label_layer(XrLineLabelLayer* layer)
{
    street_labels = layer;
    update_street_labels();
}

void XrRouteLayer::update_street_labels()
{
    if (street_labels == nullptr)
        return;
    const int count = active_route != nullptr ? routes.get_num_items() : 0;
    if (count == 0) {
        street_labels->set_route_edges(nullptr, 0, -1);
        return;
    }
    std::vector<RouteEdges> sources;
    sources.reserve(static_cast<size_t>(count));
    std::vector<const XrRouteEdgeSource*> pointers;
    for (int i = 0; i < count; ++i)
        sources.emplace_back(routes.get_item(i));
    for (auto& s : sources)
        pointers.push_back(&s);
    street_labels->set_route_edges(pointers.data(), count, active_index);
}

bool XrRouteLayer::update_signpost_height(XrDCHandleRec* /*dc*/, const XrPoint& screen)
{
    panel_sizes[0] = 0;
    if (!next_street_name.is_empty() && directive_distance <= 1000)
        panel_sizes[0] = screen.x < WINDOW_WIDE ? 49 : 56;
    const bool signpost = should_show_signpost(current_directive, directive_distance);
    if (signpost)
        panel_sizes[0] = 95;
    return signpost;
}

int XrRouteLayer::get_scale_factor()
{
    const int f = static_cast<int>(host->get_scale_factor());
    return f < 1 ? 1 : f;
}
