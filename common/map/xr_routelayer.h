// XrRouteLayer: the map layer that shows the computed routes and runs
// turn-by-turn guidance along the active one: it matches every position fix
// onto the route, chooses and speaks the announcements, draws the route, the
// turn arrows, the guidance box and the screen overlays, and asks the route
// observer for a new route when the vehicle has left the route.
//
// The class is implemented in several files:
//   xr_routelayer.cpp            construction, routes, voice folder, events
//   xr_routelayer_geometry.cpp   edge polylines, route geometry, rerouting test
//   xr_routelayer_guidance.cpp   position updates, route matching, rerouting
//   xr_routelayer_join.cpp       travel times, traffic delays, route joining
//   xr_routelayer_prompts.cpp    prompt choice and sentences
//   xr_routelayer_speaker.cpp    the voice: voice-set flags, prompt playback (XrPromptSpeaker)
//   xr_routelayer_draw*.cpp, xr_routelayer_overlays.cpp,
//   xr_routelayer_signposts.cpp, xr_routelayer_panels.cpp   drawing
//   xr_routelayer_safety.cpp     the safety screen, the traffic states' view
//
// Routes are stored from the destination back to the start (segment and
// directive index 0 end at the destination). Guidance distances are whole
// metres; map coordinates are metres times the map units per metre.
#pragma once

#include <cstdint>
#include <memory>

#include "common/container/xr_array.h"
#include "common/container/xr_hash.h"
#include "common/container/xr_ptrarray.h"
#include "common/container/xr_string.h"
#include "common/db/xr_gid.h"
#include "common/gdi/xr_gdi.h"
#include "common/bmloader/xr_bitmap.h"
#include "common/geometry/xr_point.h"
#include "common/geometry/xr_polygon.h"
#include "common/graph/xr_graphaccessor.h"
#include "common/graph/xr_routeinstructions.h"
#include "common/map/xr_layer.h"
#include "common/map/xr_routelayerhost.h"
#include "common/map/xr_routelayer_model.h"
#include "common/map/xr_routelayer_speaker.h"
#include "common/map/xr_safetyscreendrawer.h"
#include "common/map/xr_signpostdrawer.h"
#include "common/map/xr_trafficstate.h"
#include "common/os/xr_eventhandler.h"

class XrAddrAccessor;
class XrAudioPlayer;
class XrBitmapRectangle;
class XrEventloopBase;
class XrFileStorageAccessor;
class XrGeomStorage;
class XrLineLabelLayer;
class XrMap;
class XrMapView;
class XrProximityAlerter;
class XrRouteLayer;
class XrSignpostAccessor;
class XrStreetFinder;
namespace xr_prompts {
struct XrPromptState;
struct XrFollowUp;
}

// The turn arrow of one directive (map units): an open polyline, its head
// point and the head direction in whole degrees.
struct XrRouteArrow {
    int directive_index = -1;
    std::unique_ptr<XrPolygon> polyline;
    XrPoint head;
    int head_direction = 0;
};

// Draws on top of the route layer: called after the flat view is drawn, or
// before the perspective view when no route is shown.
class XrRouteLayerExternalCanvas {
public:
    virtual ~XrRouteLayerExternalCanvas() = default;
    virtual void draw(XrRouteLayer* layer, XrDCHandleRec* dc, XrMapView* view) = 0;
};

// A prompt list: file names of one announcement, in speaking order.
typedef XrArray<XrString> XrPromptList;

class XrRouteLayer : public XrLayer, public XrEventHandler {
public:
    // Event ids of the layer's one-shot timeouts.
    enum : int { EVENT_NO_FIX = 1, EVENT_GPS_STATUS = 2, EVENT_TRAFFIC = 43395 };
    // Guidance states.
    enum : int {
        STATE_ON_ROUTE = XrGuidanceModel::STATE_ON_ROUTE,
        STATE_ARRIVED = XrGuidanceModel::STATE_ARRIVED,
        STATE_REROUTING = XrGuidanceModel::STATE_REROUTING,
        STATE_OFF_ROUTE = XrGuidanceModel::STATE_OFF_ROUTE
    };
    // Display and prompt units.
    enum : int { UNITS_METRIC = 0, UNITS_YARDS = 1, UNITS_FEET = 2 };

    static constexpr int EDGE_CACHE_SIZE = 18;
    static constexpr int PIN_ENTRIES = 2;
    static constexpr int GRAPH_CACHE_SIZE = 65536;
    static constexpr int MATCH_RADIUS = 100;       // metres, street finder
    static constexpr int MARGIN_DEFAULT = 30;      // metres
    static constexpr int OFF_ROUTE_FIXES = XrGuidanceModel::OFF_ROUTE_FIXES;
    static constexpr int REROUTE_BACKOFF_FIXES = XrGuidanceModel::REROUTE_BACKOFF_FIXES;
    static constexpr int WINDOW_WIDE = 690;         // pixels

    // Icon ids.
    static constexpr unsigned ICON_GPS_1 = 0x6DB20009, ICON_GPS_2 = 0x6DB2000B, ICON_GPS_3 = 0x6DB2000A;
    static constexpr unsigned ICON_FLAG_START = 0x6DB20078, ICON_FLAG_WAYPOINT = 0x6DB20077,
                              ICON_FLAG_DESTINATION = 0x6DB20076;
    static constexpr unsigned ICON_BOX = 0x49A70001, ICON_BOX_US = 0x49A70002;
    static constexpr unsigned ICON_FOLLOW = 0x49A70003, ICON_FOLLOW_US = 0x49A70004;
    static constexpr unsigned ICON_FOLLOW_SMALL = 0x6DB20074, ICON_FOLLOW_SMALL_US = 0x6DB20075;
    static constexpr unsigned DIRECTION_ICONS_1 = 0x6DB20014, DIRECTION_ICONS_2 = 0x6DB20029;
    static constexpr int DIRECTION_ICON_COUNT = 48;
    // Pictures of the drawing: the strip of alert signs (square icons), the
    // yellow frame of the traffic box (a strip of nine tiles) and the four
    // guidance signs (panel, panel USA, plain, plain USA).
    static constexpr unsigned ICON_ALERT_SIGNS = 0x6DB20079, ICON_YELLOW_FRAME = 0x6DB2007A;
    static constexpr unsigned ICON_GUIDANCE_SIGNS = 0x6DB2007C;

    // Indexes of the icons in the icon table.
    enum Icon : int {
        IconGps1, IconGps2, IconGps3, IconFlagStart, IconFlagWaypoint, IconFlagDestination,
        IconBox, IconFollow, IconFollowSmall, IconExtra1, IconExtra2, IconExtra3, IconExtra4,
        IconCount
    };
    // Pens and brushes made by initialize, in their order there.
    enum Pen : int {
        PenLine, PenDark, PenLight, PenRed, PenRoute, PenGreenDark, PenGreenLight1, PenGreenLight2,
        PenGreen1, PenGreen2, PenCount
    };
    enum Brush : int {
        BrushWhite, BrushLightRed, BrushYellowGreen, BrushGreen, BrushBlack, BrushYellow1, BrushYellow2,
        BrushRed, BrushYellow3, BrushGreenDark, BrushGreenLight, BrushGreenBright, BrushCount
    };
    enum Colour : int { ColourWhite, ColourBlack1, ColourBlack2, ColourCount };

    // A signpost item: its kind and text.
    struct XrSignpostItemRec {
        int kind = 0;
        XrString text;
    };
    // A signpost colour scheme.
    struct XrSignpostScheme {
        XrPenHandle pen{};
        XrBrushHandle brush{};
        XrColorHandle text_colour = 0;
        int shape = 0;
    };
    // A laid-out signpost item (kind 0 frame, 1 text in a scheme, 2 plain
    // text, 3 text in the last scheme); pixels relative to the box origin.
    struct XrSiGfx {
        int kind = 0;
        int left = 0, top = 0, right = 0, bottom = 0;
        XrString text;
    };
    // The cached polyline of an edge.
    struct XrEdgeEntry {
        XrPolygon* polygon = nullptr; // owned
        XrGid gid = 0;
        XrRectangle box;             // the polyline's box grown by twice the margin
    };

    // street_labels may be null (set later with set_street_label_layer).
    XrRouteLayer(XrEventloopBase* event_loop, XrMap* map, int map_units_per_metre, XrAudioPlayer* audio,
                 XrLineLabelLayer* street_labels);
    ~XrRouteLayer() override;
    XrRouteLayer(const XrRouteLayer&) = delete;
    XrRouteLayer& operator=(const XrRouteLayer&) = delete;

    // ---- Frame (xr_routelayer.cpp)
    // The road geometry (not owned) and the address database (not owned);
    // loads icons, sign bitmaps, pens and brushes. False when the box icons
    // do not load.
    bool initialize(XrGeomStorage* road_storage, XrAddrAccessor* addr);
    int post_draw(XrDCHandleRec* dc, XrMapView* view) override;
    // The event-loop callback: data is the event id.
    void execute(XrEventloopBase* loop, void* data) override;
    void set_voice_folder(const XrString& name);
    // Takes the routes (null or empty clears); the active index is selected.
    void set_routes(XrPtrArray<XrRouteInstructions*>* routes, int active);
    // False (nothing changed) for an index out of range.
    bool select_route(int index);
    // Puts route (owned from now) in place of the active one; false (route
    // deleted) without an active route.
    bool replace_active_route(XrRouteInstructions* route);
    bool update_signpost_height(XrDCHandleRec* dc, const XrPoint& screen);
    void set_route_observer(XrRouteLayerObserver* observer) { route_observer = observer; }
    void set_street_label_layer(XrLineLabelLayer* layer);
    void set_warning_source(XrProximityAlerter* source) { warning_source = source; }
    void set_external_canvas(XrRouteLayerExternalCanvas* canvas) { external_canvas = canvas; }
    void set_right_hand_traffic(bool value) { right_hand_traffic = value; }
    bool is_right_hand_traffic() const { return right_hand_traffic; }
    void set_voice_prompts_on(bool value) { speaker.set_prompts_on(value); }
    void set_delay_prompt_on(bool value) { speaker.set_lead_in_on(value); }
    void set_draw_3d_route(bool value) { draw_3d_route = value; }
    void set_draw_traffic_box(bool value) { draw_traffic_box_on = value; }
    // The view scale up to which the route is drawn along its roads'
    // geometry (above it: straight lines between the segment points).
    void set_scale_limit(int value) { scale_limit = value; }
    int get_scale_limit() const { return scale_limit; }
    // The graph file that the rerouting test reads (default: the resolved
    // "?:\mapdata\graph.bin"); the open reader is closed.
    void set_graph_path(const XrString& path);
    // The millisecond clock (tests); null restores the tick counter.
    void set_tick_source(std::uint32_t (*source)());
    std::uint32_t now() const;

    // Read access for the owners of the layer and for tests.
    XrMap* get_map() const { return map; }
    int get_route_count() const { return routes.get_num_items(); }
    XrRouteInstructions* get_route(int index) const { return routes.get_item(index); }
    int get_active_index() const { return active_index; }
    XrRouteInstructions* get_active_route() const { return active_route; }
    int get_guidance_state() const { return guidance.get_state(); }
    int get_off_route_count() const { return guidance.get_off_route_count(); }
    // Guidance without drawing: state, off-route counting, trip statistics.
    const XrGuidanceModel& get_guidance() const { return guidance; }
    int get_current_directive_index() const { return current_directive_index; }
    const XrRouteInstructions::XrRouteDirective* get_current_directive() const { return current_directive; }
    int get_distance_to_directive() const { return directive_distance; }
    int get_announcement_distance() const { return announce_distance; }
    int get_near_distance() const { return near_distance; }
    int get_largest_announcement() const { return largest_announce; }
    int get_distance_travelled() const { return distance_travelled; }
    int get_route_length() const { return route_length; }
    int get_current_segment() const { return current_segment; }
    int get_remaining_minutes() const { return remaining_minutes; }
    const XrPoint& get_matched_point() const { return matched_point; }
    bool has_last_position() const { return has_last; }
    const XrPoint& get_last_position() const { return last_position; }
    int get_heading() const { return heading; }
    int get_heading_difference() const { return heading_difference; }
    double get_odometer() const { return odometer; }
    int get_map_units_per_metre() const { return units_per_metre; }
    bool is_started() const { return started; }
    bool is_route_locked() const { return route_locked; }
    const XrArray<XrPoint>& get_route_end_points() const { return end_points; }
    const XrString& get_street_name() const { return street_name; }
    const XrString& get_next_street_name() const { return next_street_name; }
    const XrString& get_voice_root() const { return speaker.get_root(); }
    const XrString& get_voice_set() const { return speaker.get_set(); }
    // The voice: voice-set flags and prompt playback.
    const XrPromptSpeaker& get_speaker() const { return speaker; }
    int get_display_units() const { return display_units; }
    bool get_gps_fix_valid() const { return gps_fix_valid; }
    void set_current_speed(double metres_per_second) { current_speed = metres_per_second; }
    double get_current_speed() const { return current_speed; }
    XrAudioPlayer* get_audio_player() const { return audio; }

    // ---- Screen overlays (drawing helpers)
    void draw_vehicle_marker(XrDCHandleRec* dc, XrMapView* view);
    void draw_compass(XrDCHandleRec* dc, XrMapView* view, int x, int y);
    void draw_scale_bar(XrDCHandleRec* dc, XrMapView* view);
    void draw_bevel_box(XrDCHandleRec* dc, const XrRectangle& box);
    void draw_speed(XrDCHandleRec* dc, const XrPoint& screen);
    void draw_gps_status_icon(XrDCHandleRec* dc, const XrPoint& top_right);
    void set_gps_status(int state, int duration_ms);
    void update_gps_status();
    bool set_fix_valid(bool valid);
    void draw_shape(XrDCHandleRec* dc, XrPoint* points, int count, const XrPenHandle* pen,
                    const XrBrushHandle* brush);
    static void transform_points(XrPoint* points, int count, int angle, int dx, int dy);
    int get_traffic_mode() const { return traffic_mode; }
    void set_traffic_mode(int mode) { traffic_mode = mode; }

    // ---- Voice prompt choice (xr_routelayer_prompts.cpp)
    int get_prompt_units() const { return prompt_units; }
    int detect_prompt_units();
    void update_prompt_units(int units);
    const wchar_t* choose_distance_prompt(int m, int u, bool quiet_below_100, bool quiet_below_350,
                                          bool first_announcement, bool has_700, bool has_700y);
    const wchar_t* choose_approach_prompt(const XrRouteInstructions::XrRouteDirective* directive, int m, int u,
                                          bool quiet_below_350, bool after_allowed, int speed, bool approach_words);
    static const wchar_t* get_lane_prompt(int code);

    // ---- Route geometry and the rerouting decision (xr_routelayer_geometry.cpp)
    bool should_reroute(XrPoint& position, int heading, XrPoint* last_point, XrGid* last_gid,
                        XrGraphAccessor2::XrEdgeData* edge);
    bool find_segment_near_position(int distance, XrRouteSegment* out);
    // 0 on success, 1 without a route or geometry.
    int get_point_on_route(XrPoint* point, short* heading, int distance);
    int step_back(XrPoint* point, short* heading, int step);
    int step_forward(XrPoint* point, short* heading, int step);
    int get_route_start(XrPoint* point, short* heading);
    XrPolygon* get_edge_polygon(XrGid gid, bool create, bool pinned);
    void clear_edge_polygons();
    void pin_edge_polygon(XrGid gid, XrPolygon* polygon, bool first);
    static XrPolygon* copy_polygon(const XrPolygon& polygon);
    int get_edge_heading(XrGeomStorage* storage, XrGid gid, bool at_start, bool pinned);
    void classify_exit(XrRouteInstructions::XrRouteDirective& directive,
                       const XrBlockStorage<XrRouteSegment>& segments);
    int get_bend_ahead_icon(XrRouteInstructions* route);
    int get_route_heading_between(XrRouteInstructions* route, int from, int to);
    static int sum_segment_lengths(int first, int last, const XrBlockStorage<XrRouteSegment>& segments);
    bool is_road_type_one(const XrRouteInstructions::XrRouteDirective* directive);
    static void cut_polyline(XrPolygon* out, const XrPolygon& line, bool from_start, int length);
    static int angle_between(int a, int b);
    // The display scale factor of the map view provider, truncated (at least 1).
    int get_scale_factor();
    // The cache entry i (tests).
    const XrEdgeEntry& get_edge_entry(int i) const { return edge_cache[i]; }

    // ---- Proximity alert, traffic box and panels (xr_routelayer_panels.cpp)
    bool draw_proximity_alert(XrDCHandleRec* dc, const XrPoint& position, const XrPoint* offset);
    bool draw_alert_icon(XrDCHandleRec* dc, XrPoint& position);
    void draw_rounded_frame(XrDCHandleRec* dc, XrRectangle& box, int& border);
    bool draw_traffic_box(XrDCHandleRec* dc, XrPoint& position, XrRectangle& box, int icon, int distance);
    void init_traffic_bitmaps();
    static void format_remaining_time(int minutes, XrString& out);
    void draw_guidance_sign(XrDCHandleRec* dc, const XrPoint& position, bool panel, const XrPoint* offset);
    void draw_lane_glyph(XrDCHandleRec* dc, int kind, XrPoint& top_left, XrPoint& bottom_right);
    void get_box_metrics(int& first, int& second) const;
    bool get_panel_sizes(int& top, int& band, int* alert_bottom, int* traffic_value) const;
    bool should_show_signpost(const XrRouteInstructions::XrRouteDirective* directive, int distance) const;
    static bool is_signpost_directive(const XrRouteInstructions::XrRouteDirective* directive);
    bool is_guidance_busy() const;
    long long get_trip_statistics(int& seconds) const;
    void reset_trip_statistics();
    // The five option bytes, in the order of set_option1..5.
    enum XrRouteOption : int {
        OPTION_SPEAK_WAYPOINTS = 0,
        OPTION_TURN_ARROW = 1,
        OPTION_PROXIMITY_ALERTS = 2, // spoken warnings and the drawn alert
        OPTION_OPEN_ROAD_ONLY = 3,   // warnings only on the open road
        OPTION_TRAFFIC_BOX = 4,
        OPTION_COUNT = 5,
    };
    enum XrOptionValue : std::uint8_t { OPTION_OFF = 0, OPTION_ON = 1 };
    void set_option1(XrOptionValue value) { options[OPTION_SPEAK_WAYPOINTS] = value; }
    void set_option2(XrOptionValue value) { options[OPTION_TURN_ARROW] = value; }
    void set_option3(XrOptionValue value) { options[OPTION_PROXIMITY_ALERTS] = value; }
    void set_option4(XrOptionValue value) { options[OPTION_OPEN_ROAD_ONLY] = value; }
    void set_option5(XrOptionValue value) { options[OPTION_TRAFFIC_BOX] = value; }
    std::uint8_t get_option(int i) const { return i >= 0 && i < OPTION_COUNT ? options[i] : 0; }
    // The C-event (current road) and A-event (ahead) records of the traffic service.
    void set_info_record(const XrTrafficCRecord& record);
    void set_info_record2(const XrTrafficARecord& record);
    bool get_edge_street_name(XrGid gid, XrString* name, XrString* area);
    void mark_traffic_time();
    void reset_traffic_state();
    void draw_traffic_state(XrDCHandleRec* dc, const XrPoint& screen);
    bool is_traffic_value_high() const;
    void blink_traffic_box();

    // ---- Signposts (xr_routelayer_signposts.cpp)
    // Owned from now on.
    void set_signpost_accessor(XrSignpostAccessor* accessor);
    XrSignpostAccessor* get_signpost_accessor() const { return signposts.get(); }
    // The signpost items found ahead, and the segment their path starts at.
    const XrArray<XrSignpostItemRec>& get_signpost_items() const { return signpost_items; }
    int get_signpost_start() const { return signpost_start; }
    void initialize_signpost_drawer();
    static bool parse_scheme_prefix(const XrString& text, int& text_start, int& scheme);
    void clear_signpost_items();
    void clear_route_arrows();

    // ---- Prompt sentences and playback (xr_routelayer_prompts.cpp)
    void play_prompt_list(const XrPromptList& list);
    void play_prompts(const wchar_t* first, const wchar_t* second, const wchar_t* third);
    void build_turn_prompt(const XrRouteInstructions::XrRouteDirective* directive, XrPromptList& list, bool first,
                           bool allow_variants);
    void build_distance_prompt(const XrRouteInstructions::XrRouteDirective* directive, XrPromptList& list, int d,
                               bool only_with_distance, bool quiet_below_350, bool enabled);
    void announce_near(const XrRouteInstructions::XrRouteDirective* directive);
    void announce_far(const XrRouteInstructions::XrRouteDirective* directive, int distance);
    void check_lead_in();
    void collect_arrival_prompts() { speaker.collect_arrival_prompts(); }
    const wchar_t* choose_prompt(const XrArray<XrString>& names, const XrArray<int>* weights);
    const wchar_t* choose_variant(const wchar_t* a, const wchar_t* b, const wchar_t* c, const wchar_t* d, int wa,
                                  int wb, int wc, int wd);
    bool set_gps_present(bool present, bool speak);
    void check_uturn();

    // ---- Route drawing (xr_routelayer_draw*.cpp)
    bool draw(XrDCHandleRec* dc, XrMapView* view) override;
    bool draw_3d(XrDCHandleRec* dc, XrMapView* view) override;
    void draw_route(XrDCHandleRec* dc, XrMapView* view);
    void draw_route_pieces(XrDCHandleRec* dc, XrMapView* view, XrArray<XrPoint>& buffer);
    XrRouteArrow* get_arrow(int directive_index);
    int build_arrow_path(XrRouteArrow* arrow, int directive_index, bool forward, int length);
    void draw_turn_arrow(XrDCHandleRec* dc, XrMapView* view, XrRouteArrow* arrow, int width,
                         XrArray<XrPoint>& buffer);
    int get_direction_icon(const XrRouteInstructions::XrRouteDirective* directive, XrRouteInstructions* route,
                           int limit, int directive_index);
    void draw_direction_icon(XrDCHandleRec* dc, const XrRouteInstructions::XrRouteDirective* directive,
                             const XrPoint& position, int distance);
    // ---- Safety screen (xr_routelayer_safety.cpp)
    // Loads the six pictures of the safety screen (route_01 to route_03 and
    // their half-size versions); a missing one is left out of the drawing.
    void load_safety_screen_images();
    // The whole safety screen for a screen size; nothing without a route.
    void draw_safety_screen(XrDCHandleRec* dc, const XrPoint& screen);
    // The driven street's name and, unless next_street is empty, the
    // next-street box.
    void draw_street_boxes(XrDCHandleRec* dc, const XrPoint& screen, const XrString& next_street,
                           const XrString& street);
    // Whether the safety screen shows the street names (initially true).
    void set_show_street_names(bool value) { show_street_names = value; }
    // The loaded safety-screen picture index (0 to 5); null when missing.
    XrBitmap* get_safety_image(int index) const;

    // ---- Guidance on position updates (xr_routelayer_guidance.cpp)
    // position in map units; heading 0..359 or -1; speed m/s or -1.0; hold:
    // the fix neither counts as off the route nor asks for a new route;
    // street and road_data receive the street finder's match (may be null).
    void update_position(const XrPoint& position, int heading, double speed, bool hold, XrGid* street,
                         XrPoint* road_data, int extra_distance);
    int get_distance_to_next_instruction();

    // ---- Travel time and traffic delays (xr_routelayer_join.cpp)
    bool set_traffic_delay(const XrRouteSegment& segment, std::uint32_t value, std::uint32_t* out);
    int get_route_time(XrRouteInstructions* route, int part, int road_class, int start);
    int get_time_ahead(bool whole);
    int get_traffic_delay_ahead(int distance);

    // ---- Guidance box (xr_routelayer_panels.cpp)
    bool draw_guidance_box(XrDCHandleRec* dc, const XrPoint& screen,
                           const XrRouteInstructions::XrRouteDirective* directive, int d);
    void layout_signpost_items(XrDCHandleRec* dc, const XrPoint& screen, bool with_icon);
    void draw_signpost_items(XrDCHandleRec* dc, const XrPoint& screen, int& height, bool draw_frame,
                             const XrPoint* origin, bool frame_bottom);

    // ---- Route joining (xr_routelayer_join.cpp)
    bool join_routes(XrGraphAccessor2* graph, XrRouteInstructions* new_route, XrRouteInstructions* old_route,
                     XrRouteInstructions::XrRouteDirective* junction);
    static int find_directive_index(const XrBlockStorage<XrRouteInstructions::XrRouteDirective>& directives,
                                    int segment, bool backward);

private:
    friend class XrRouteLayerTestAccess;

    // The traffic-display states' view of the layer.
    class XrTrafficLink : public XrTrafficHost {
    public:
        explicit XrTrafficLink(XrRouteLayer* layer) : layer(layer) {}
        const XrTrafficARecord& get_a_event() const override;
        const XrTrafficCRecord& get_c_event() const override;
        std::uint32_t get_tick_ms() const override;
        XrPoint layout_point_for_id(int key) const override;
        int measure_text(const XrString& text) const override;
        bool get_poi_icon(int type_key, XrBitmapHandleRec*& bitmap, XrBitmapHandleRec*& mask, int& offset,
                          int& width, int& height) override;
        int get_display_units() const override;
        int get_traffic_delay_ahead(int metres) override;
        void set_box_timer(int ms) override;
        XrString get_voice_root() const override;
        XrString get_voice_set() const override;
        bool is_audio_playing() const override;
        bool prompt_file_loads(const XrString& path) override;
        void play_prompt(const XrString& file) override;

    private:
        XrRouteLayer* layer;
    };

    // The edge polyline cache as the guidance model's matcher reads it.
    class XrEdgeLink : public XrEdgeLines {
    public:
        explicit XrEdgeLink(XrRouteLayer* layer) : layer(layer) {}
        XrPolygon* get_line(XrGid gid, bool create, bool pinned) override;
        const XrRectangle* get_match_box(const XrPolygon* line, bool pinned) const override;

    private:
        XrRouteLayer* layer;
    };

    // The safety screen's view of the layer.
    class XrSafetyLink : public XrSafetyScreenHost {
    public:
        explicit XrSafetyLink(XrRouteLayer* layer) : layer(layer) {}
        bool has_active_route() const override;
        int get_guidance_state() const override;
        int get_directive_distance() const override;
        int get_largest_announcement() const override;
        int get_display_units() const override;
        bool is_right_hand_traffic() const override;
        XrString get_next_street_text() const override;
        XrString get_street_name() const override;
        bool shows_street_names() const override;
        int get_route_length() const override;
        int get_distance_travelled() const override;
        int get_later_legs_length() const override;
        int get_remaining_minutes() const override;
        bool is_uturn_announced() const override;
        void set_uturn_announced() override;
        void play_prompt(const TCHAR* file) override;
        XrBitmap* get_picture(int index, bool half) override;
        int get_direction_icon() override;
        int get_bend_ahead_icon() override;
        void draw_guidance_sign(XrDCHandleRec* dc, const XrPoint& at, int icon) override;
        bool draw_direction_icon(XrDCHandleRec* dc, const XrRectangle& box, bool next) override;
        bool should_show_signpost() override;
        void draw_instruction_graphics(XrDCHandleRec* dc, const XrRectangle& box) override;
        void set_guidance_box_height(int height) override;
        void draw_compass(XrDCHandleRec* dc) override;
        void update_signpost_height(XrDCHandleRec* dc, const XrPoint& screen) override;
        void draw_street_box(XrDCHandleRec* dc, const XrRectangle& box) override;
        XrFontHandleRec* get_font(int context) override;

    private:
        XrRouteLayer* layer;
    };

    // The lengths of the routes after the active one, metres.
    long long get_later_legs_length() const;
    // Draws direction icon number at a point; false when there is none.
    bool draw_icon_number(XrDCHandleRec* dc, int number, const XrPoint& at);
    // Turns a route's directive distances around (from the start).
    static void convert_directive_distances(XrRouteInstructions* route);
    void rebuild_end_points();
    void update_street_labels();
    void clear_routes();
    void reset_guidance();
    // The kept graph reader (opened on first use); null when the file
    // cannot be read.
    XrGraphAccessor2* get_graph_reader();
    // The prompt builders' view of the voice state, and its changes back.
    void fill_prompt_state(xr_prompts::XrPromptState& state) const;
    void keep_prompt_state(const xr_prompts::XrPromptState& state);
    // What both the 2D and the 3D frame draw over the route: the marker,
    // compass or guidance box, alert, speed and traffic box.
    void draw_frame_panels(XrDCHandleRec* dc, XrMapView* view, const XrPoint& screen);
    // What the announcement of directive may chain: the next directive and
    // the follow-up flags.
    void fill_follow_up(const XrRouteInstructions::XrRouteDirective& directive, xr_prompts::XrFollowUp& follow) const;
    // Root "/" set "/" name.
    XrString voice_path(const XrString& name) const;
    // Route matching (guidance).
    bool match_route(const XrPoint& position, int heading, double speed, int extra_distance);
    bool find_signpost(int segment);
    // Asks the observer for a new route when the departure is real and the
    // back-off allows it.
    void request_reroute(const XrPoint& position, bool hold);
    // The rerouting test proper: matches the position onto the road network
    // and answers whether the road is off the route (false on failures).
    bool is_off_route_road(XrPoint& position, int heading, XrPoint* last_point, XrGid* last_gid,
                           XrGraphAccessor2::XrEdgeData* edge);
    // Counts a fix off the route; from the limit on the state is 4 and a
    // new route is asked for.
    void count_off_route(const XrPoint& position, bool hold);
    // Reads an edge's polyline from the road geometry; null when it cannot.
    XrPolygon* read_edge_polygon(XrGid gid);
    // The point and direction at offset metres into a segment, in driving
    // direction; false without geometry.
    bool point_in_segment(const XrRouteSegment& segment, int offset, XrPoint& point, int& direction);

    // ---- The steps of a position update (xr_routelayer_guidance.cpp)
    // One position fix as update_position hands it through its steps; the
    // heading is derived from the movement or turned at a reversed start.
    struct XrFix {
        XrPoint position;
        int heading;
        double speed;
        bool hold;
        int extra_distance;
        std::uint32_t time;
    };
    // The street finder's match of a fix, looked for at most once.
    struct XrStreetSnap {
        XrGid* street;
        XrPoint* road_data;
        bool snapped = false;
        XrPoint point;
    };
    // OnRoute: matched (or at the start point); NearStart: not matched
    // before the start, only the distances update; Left: off the route.
    enum class MatchOutcome { OnRoute, NearStart, Left };
    void begin_fix(XrFix& fix);
    void finish_fix(const XrFix& fix);
    void speak_proximity_warning(const XrFix& fix);
    void snap_to_street(const XrFix& fix, XrStreetSnap& snap);
    MatchOutcome match_fix(const XrFix& fix, XrStreetSnap& snap);
    void check_start(XrFix& fix);
    void advance_directive();
    // True when the driven street changed.
    bool update_street_names(const XrRouteSegment* seg);
    void find_signposts_ahead(const XrRouteSegment* seg);
    void update_follow_up(const XrRouteSegment* seg);
    // The end of the active route: arrival or the next waypoint's leg.
    void finish_route_leg(const XrFix& fix);
    void count_progress(const XrFix& fix);
    void update_announcement_distances(const XrFix& fix);
    void move_announcement_behind_side_road();
    void announce_due();

    // ---- Members (construction order)
    XrMap* map;
    XrEventloopBase* event_loop;
    XrProximityAlerter* warning_source = nullptr;
    int display_units = UNITS_METRIC;
    int prompt_units = UNITS_METRIC;
    bool right_hand_traffic = true;
    int gps_status = 0;
    std::uint32_t gps_status_end = 0;
    bool gps_status_timed = false;
    XrRouteLayerObserver* route_observer = nullptr;
    XrGuidanceModel guidance;
    XrBitmap icons[IconCount];
    XrBitmap sign_bitmaps[2];
    XrPtrArray<XrRouteInstructions*> routes;
    int active_index = -1;
    XrRouteInstructions* active_route = nullptr;
    XrGid street_id = 0;
    XrString street_name;
    XrGid next_street_id = 0;
    XrString next_street_name;
    const XrRouteInstructions::XrRouteDirective* current_directive = nullptr;
    int current_directive_index = -1;
    const XrRouteInstructions::XrRouteDirective* next_directive = nullptr;
    int directive_distance = 0;
    int left_directive_index = -1;
    int announce_distance = 0;
    int near_distance = 500;
    int largest_announce = 1000;
    int scale_limit = 100000;
    int follow_limit1 = -1, follow_limit2 = -1;
    // Guidance flags.
    bool started = false, announced_far = false, announced_near = false, second_far_pending = false,
         exit_announcement = false, exit_taken = false, close_follow_up = false,
         follow_up_announced = false, chain = false, chain_before = false, follow_up_spoken = false;
    bool uturn_announced = false;
    bool route_locked = false;
    XrGeomStorage* road_storage = nullptr;
    XrAddrAccessor* addr = nullptr;
    std::unique_ptr<XrSignpostAccessor> signposts;
    // Last position.
    XrPoint matched_point;
    bool matched_valid = false;
    XrPoint last_position;
    int last_heading = -1;
    bool has_last = false;
    int heading_difference = -1;
    int road_heading = -1;
    int matched_directive_index = -1;
    std::uint32_t last_update = 0;
    double guidance_speed = 0.0;
    double spare_speed = 3.0;
    double current_speed = -1.0;
    double last_shown_speed = -1.0;
    // Route progress.
    int distance_travelled = 0;
    int route_length = 0;
    int current_segment = -1;
    int last_segment = -1;
    std::uint32_t time_mark = 0;
    XrPoint route_start;
    int largest_start_distance = 0;
    int margin = MARGIN_DEFAULT;
    int margin_reset = MARGIN_DEFAULT;
    int units_per_metre;
    XrAudioPlayer* audio;
    XrPromptSpeaker speaker;
    bool gps_present = false;
    bool gps_fix_valid = false;
    XrPenHandle pens[PenCount]{};
    XrBrushHandle brushes[BrushCount]{};
    XrColorHandle colours[ColourCount]{};
    int line_width = 1;
    const unsigned* direction_icons = nullptr;
    XrSignpostDrawer signpost_drawer;
    XrPtrArray<XrRouteArrow*> arrows;
    XrTrafficLink traffic_link;
    XrTrafficVisualization* traffic_state = nullptr;
    XrRouteLayerExternalCanvas* external_canvas = nullptr;
    XrSignpostScheme schemes[20];
    XrPenHandle signpost_pen{};
    XrBrushHandle signpost_brush{};
    XrColorHandle plain_text_colour = 0;
    int heading = -1;
    int signpost_segment = -1, signpost_start = -1;
    int signpost_distance = 0;
    XrArray<XrSignpostItemRec> signpost_items;
    XrArray<XrSiGfx> signpost_gfx;
    XrArray<XrPoint> end_points;
    XrLineLabelLayer* street_labels;
    double odometer = 0.0;
    std::uint32_t creation_time = 0;
    std::uint32_t warning_pause_end = 0;
    XrString last_warning_text;
    // Alert box: its text, until when it shows, and the strip of alert signs.
    XrString alert_text;
    std::uint32_t alert_end = 0;
    XrIcon alert_signs;
    // Panel sizes: guidance box height, bottom band, bottom of the last alert.
    int panel_sizes[3] = {0, 0, 0};
    int box_metrics[2] = {0, 0};
    XrHash<int, std::uint32_t> traffic_delays;
    bool delays_summed = false;
    int remaining_minutes = 0;
    XrRouteLayerHost* host;
    std::uint8_t options[OPTION_COUNT] = {OPTION_ON, OPTION_ON, OPTION_ON, OPTION_ON, OPTION_ON};
    bool show_distance = false;
    std::uint32_t show_distance_toggle = 0;
    bool draw_3d_route = true;
    bool draw_traffic_box_on = true;
    int traffic_mode = 0;
    // Traffic box.
    XrTrafficARecord a_event;
    XrTrafficCRecord c_event;
    bool a_event_played = false;
    bool traffic_box_requested = false;
    bool traffic_state_drawn = false;
    int traffic_icon = 0;
    int traffic_distance = 0;
    int blink_count = 0;
    std::uint32_t blink_time = 0;
    std::unique_ptr<XrBitmapRectangle> traffic_frame;
    // Safety screen pictures (route_01 to route_03, then the half ones), the
    // screen's view of the layer and its street-name switch.
    std::unique_ptr<XrBitmap> safety_images[6];
    XrSafetyLink safety_link;
    bool show_street_names = true;
    // Edge polyline cache: 0 and 1 pinned, 2..17 first in, first out.
    XrEdgeEntry edge_cache[EDGE_CACHE_SIZE];
    XrEdgeLink edge_link;
    // The graph reader kept between calls.
    XrString graph_path;
    std::unique_ptr<XrFileStorageAccessor> graph_file;
    std::unique_ptr<XrGraphAccessor2> graph_reader;
    bool graph_failed = false;
    std::uint32_t (*tick_source)() = nullptr;
};
