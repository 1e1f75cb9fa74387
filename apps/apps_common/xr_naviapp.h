// XrNaviApp: the application controller. It owns the long-lived engine
// objects (event loop, state-machine scheduler, map view, window manager,
// audio player, memory notifier), creates and registers the providers in
// their fixed order (construct), moves the map with each position fix and
// answers the route provider's questions.
// The platform's application object derives from it and answers its hooks.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "apps/apps_common/xr_fixhistory.h"
#include "common/audio/xr_audioplayer.h"
#include "common/base/xr_memorynotifier.h"
#include "common/corvanel_core/impl/xr_mapviewproviderimpl.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_applicationprovider.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/db/xr_gid.h"
#include "common/fsm/xr_fsm.h"
#include "common/gdi/window/xr_mapwindowmanager.h"
#include "common/extension/xr_extension.h"
#include "common/gdi/window/xr_mapwindowservices.h"
#include "common/map/xr_mapview.h"
#include "common/map/xr_poilayer.h"
#include "common/os/xr_eventhandler.h"
#include "common/os/xr_eventloop.h"
#include "common/os/xr_inetconfiglistener.h"
#include "common/ui/dialog/xr_dialogmanager.h"

class XrAppMapEngineServices;
class XrJava;
class XrMenuHandler;
class XrCorvanelCommandHandler;
class XrNaviAppHandler;
class XrTouchCtrlLayer;
class XrAppMapLayers;
class XrAppRouteLayerHost;
class XrAppRouteLayerSettings;
class XrCrosshairTimer;
class XrMapWindowRouteForwarder;
class XrAppMapWindowView;
class XrAppSettingsProvider;
class XrMapWindow;
class XrOverlayLayer;
class XrPathResolver;
class XrServCom;
class XrServiceAggregate;
class XrGlobalBusyDialogImpl;
class XrSystem;

class XrNaviApp : public XrPoiLayerClient,
                  public XrRoutingUIDefinition,
                  public XrRouteListener,
                  public XrEventHandler,
                  public XrInetConfigListener,
                  public XrDialogManagerListener,
                  public XrMapListener,
                  public XrPositionProviderListener,
                  public XrMapViewHost,
                  public XrExtensionHandler {
public:
    explicit XrNaviApp(int start_mode = 0);
    // Unregisters and deletes the providers in their order.
    ~XrNaviApp() override;
    XrNaviApp(const XrNaviApp&) = delete;
    XrNaviApp& operator=(const XrNaviApp&) = delete;

    // Creates and registers the providers and opens the map; false (after
    // a message on standard error) when no map could be opened.
    bool construct();
    void destroy_providers();
    // After construct failed to open the map: tells the user, marks the
    // damaged map and puts the demo map in its place. The exit status: 42
    // (start again) when the demo map is in place, 1 after a note when no
    // usable map remains (a demo that cannot open either is tried once).
    int handle_corrupted_map();
    // Shows a note of the map recovery (message keys; title may be null)
    // and returns when it is closed.
    virtual void show_recovery_note(const char* title_key, const char* message_key);

    // The service channel, acquired with the scheduler and the event loop
    // and given the settings' server time-out; one reference is the
    // controller's until it is destroyed.
    XrServCom* create_servcom();
    // The owner of the online services, or null (the service provider then
    // hands out null).
    XrServiceAggregate* get_service_aggregate() const { return service_aggregate; }

    // The memory monitor's callback (data: the controller): the first low
    // level frees the caches (answer 1), a second one in a row ends the
    // application; a normal level starts the count again.
    static int on_low_memory(void* app, int level);
    void notify_low_memory() { memory_notifier.notify_clients(); }

    void set_map_window(XrMapWindow* window);
    virtual XrMapWindow* get_map_window() { return map_window; }
    void redraw_map_window();

    XrMapView& get_map_view() { return map_view; }
    XrMapWindowView* get_window_view();
    XrMapWindowManager& get_window_manager() { return window_manager; }
    XrEventLoop& get_event_loop() { return event_loop; }
    XrFsm& get_fsm() { return fsm; }

    // Hooks of the platform's application object.
    virtual void create_position_provider() = 0;
    virtual void on_status_update() {}
    virtual void on_map_ready() {}
    virtual void on_view_changed() {}
    // Switches the process locale (the platform's object does).
    virtual void set_locale(const XrString& /*name*/, bool /*no_refresh*/) {}
    // Shows the details of a place: its position, address and the text.
    virtual void show_location_details(const XrPoint& /*point*/, const XrString& /*details*/) {}
    virtual void exit_application() = 0;

    // Routing. A null start is the current position (asked for when there
    // is no fix), a null destination is asked for; the search runs 100 ms
    // later on the event loop. Returns 0.
    int app_navigate_to(const XrPoint* start, const XrPoint* destination, const XrString& destination_name);
    // Fills wpt from the address dialog (mode 0 start, 1 destination); false
    // when cancelled.
    bool ask_waypoint(XrRouteProvider::XrWaypoint& wpt, int mode, const XrPoint* centre);
    // Clears the route, forgets the saved route and follows the position.
    void end_navigation();
    // Asks before clearing a route; the map is redrawn in any case.
    void clear_route_with_query();
    void show_route_event(int kind);
    // Fits the view to the new route for a moment (mode 0 whole route).
    void start_route_preview(bool enable, bool keep_scale, int mode);
    void end_route_preview(bool redraw);
    bool is_route_preview_running() const { return preview_timer != nullptr; }
    bool is_navigating();
    // The map's route layer, or null.
    XrRouteLayer* get_route_layer() const;

    // Dialog hooks. The address dialog: true with a chosen place (this base
    // has none and answers cancelled). A routing note (ask false) or yes/no
    // question (ask true): this base logs it and answers No.
    virtual bool show_address_dialog(const XrString& title_key, int page, XrPoint& point, XrString& name,
                                     const XrPoint* centre);
    virtual bool show_route_query(const char* title_key, const char* text_key, bool ask);

    // XrRoutingUIDefinition
    void set_interaction_enabled(bool) override {}
    void show_route_status(int status) override { show_route_event(status); }
    void begin_calculation() override {}
    bool XrCommonDialogs_show_query_msg(XrRouteProvider::EnumStrSel which, bool ask) override;
    void rerouting_started() override { on_status_update(); }
    void reset_calculation_ui() override { progress_shown = false; }
    void release_progress() override {}
    void refresh_map() override { redraw_map_window(); }
    void attach_search_progress(XrDijkstraPath2*) override {}
    void set_search_active(bool) override {}
    bool destination_reached(bool hold) override;
    void search_finished() override {}
    void route_ready(bool is_new, int keep_scale, int mode) override
    {
        start_route_preview(is_new, keep_scale != 0, mode);
    }
    void ask_for_route() override { end_navigation(); }

    // XrRouteListener
    void route_changed() override;

    // XrEventHandler: event 1 is the deferred refresh.
    void execute(XrEventloopBase* loop, void* data) override;
    // Runs when the deferred refresh fires (no dialog open).
    virtual void on_deferred_refresh() {}

    // XrInetConfigListener
    int choose_iap(XrString& name, XrString& id) override { return get_default_access_point(name, id) ? 1 : 0; }
    void iap_state_changed(int, XrIap*) override { on_inet_config_changed(); }
    // With a "default_access_point" setting: the access point of that name
    // (name and id filled); false when the setting is empty or no access
    // point has that name.
    bool get_default_access_point(XrString& name, XrString& id);
    void on_inet_config_changed();

    // XrDialogManagerListener
    void dialog_shown(XrDialogBase*) override { on_dialog_opened(); }
    void dialog_closed() override { on_dialog_closed(); }
    // A dialog opened: the deferred refresh waits.
    void on_dialog_opened();
    // The last dialog closed: the deferred refresh runs at once and the
    // application provider carries out an exit asked for meanwhile.
    void on_dialog_closed();

    // XrMapListener
    void map_initialized() override;
    void map_closing() override;

    // XrPositionProviderListener
    void producers_changed() override {}
    void provider_state_changed() override;
    void provider_position_changed(bool* redrawn) override;

    // XrMapViewHost
    void redraw_map(bool immediate) override;
    void suspend_auto_follow(int centre_ms, int scale_ms) override;
    void set_map_scale(const XrPoint& centre, int scale) override;

    // POI layer client and extension handler (xr_naviapp_poi.cpp). The two
    // built-in icon sets: kind 1 the POI classes 0 to 92, kind 2 the
    // roadblocks (93) and favourites (94).
    static constexpr unsigned int POI_STRIP_IDS[2][3] = {{0x49A7006B, 0x49A70069, 0x49A7006E},
                                                         {0x49A70073, 0x49A70071, 0x49A70072}};
    void register_poi_icon_sets();
    void set_note_rects(const XrRectangle* icon, const XrRectangle* note) override;
    void load_icon_set(XrPoiLayerIconSet& set) override;
    // The icon and bubble rectangles of the POI note last drawn; null when none.
    const XrRectangle* get_note_icon_rect() const { return note_icon_rect ? &*note_icon_rect : nullptr; }
    const XrRectangle* get_note_rect() const { return note_rect ? &*note_rect : nullptr; }
    void on_extension_result(int code, const XrExtensionItem& item) override;
    bool confirm_install(const XrExtensionItem& item) override;
    // Error note titled "r_str_msg_extension_error_title" with the message.
    void show_extension_error(const XrString& message);
    // Question titled "r_str_msg_extension_install_title"; the answer.
    bool ask_extension_install(const XrString& question);
    // One error note listing the POI sets that could not be loaded.
    void report_failed_poi_sets(const XrArray<XrPoiProvider::XrDynPoiFailedResult>& failed);

    // Position and map updates.
    void update_position(bool force, bool* redrawn);
    void center_on_first_fix();
    void resume_route_waiting_for_fix();
    void resume_auto_follow();
    bool is_follow_suspended() const;
    bool can_follow() const { return auto_scale_allowed && follow_enabled && !rotation_frozen; }
    void freeze_rotation() { rotation_frozen = true; }
    int apply_auto_zoom(double speed);
    bool is_heading_up() const;
    void reset_activity_time();
    unsigned get_idle_seconds() const;
    double mean_history_speed() const { return fix_history.mean_speed(); }
    const XrFixHistory& get_fix_history() const { return fix_history; }
    double get_fast_move_velocity() const { return fast_move_velocity; }
    int get_stalled_long_time() const { return stalled_long_time; }
    bool is_map_ready() const { return map_ready; }
    const XrPoint& get_last_point() const { return last_point; }

    // ---- Map-window input and commands.
    // Pushes the map window's input handler (once).
    void install_map_handler();
    // The touch control layer of the opened map, and forgetting it when the
    // map closes.
    void create_touch_layer();
    void forget_touch_layer();
    // The handler of the main map window (created by construct), or null.
    XrNaviAppHandler* get_map_handler() const { return map_handler; }
    // The touch control layer of the opened map, or null.
    XrTouchCtrlLayer* get_touch_layer() const { return touch_layer; }
    // Carries out a numeric command (0x1000 to 0x1107); unknown ids are
    // logged and ignored.
    void handle_command(int id, void* data);
    // Adjusts a map-window key code in place; answers the key mode (0 the
    // map handles it, 1 the key is taken, 6 back).
    virtual int adjust_key_code(int& code)
    {
        (void)code;
        return 0;
    }
    // A map point under the right button (nothing on this platform).
    virtual void on_right_click(const XrPoint& /*world*/) {}
    // The favourites dialog on the favourite with that speed dial (4..9),
    // or the plain favourites dialog.
    void show_speed_dial(int speed_dial);
    // Hands the highlighted POI's phone number to the telephony provider.
    void call_highlighted_poi();
    // Automatic following resumes at once: the view returns to the car.
    void return_to_position();
    // The map was drawn while a route search showed its progress: the
    // progress drawing starts again (nothing until the progress bar exists;
    // progress_shown itself belongs to the route search).
    virtual void reset_progress() {}
    // Platform hooks of the touch controls and the menu (the platform's
    // object shows its dialogs).
    virtual void toggle_north(bool redraw);
    virtual void show_gps_status() {}
    virtual void show_poi_categories() {}
    // The user touched the map or pressed a key.
    void report_user_input() { on_status_update(); }
    bool is_progress_shown() const { return progress_shown; }
    bool is_drawing_stopped() const { return stop_drawing; }
    void set_stop_drawing(bool on) { stop_drawing = on; }
    bool is_auto_scale_allowed() const { return auto_scale_allowed; }
    void set_auto_scale_allowed(bool on) { auto_scale_allowed = on; }
    bool is_browsing() const { return browsing; }
    // The view shows a browsed route point instead of the position until
    // following resumes (15 s after the last browse step).
    void start_browsing();
    // Switches between the flat map and the 3D view.
    void toggle_3d_view();
    // The name of the nearest object of a layer within a distance (map
    // units) of a point; limit -1 for no limit. Empty when none.
    virtual XrString find_nearest_name(const XrString& layer, const XrPoint& point, int distance, int limit);

    // ---- Commands of the menus, the map window's menus and the command
    // handler (xr_naviapp_commands.cpp).
    // Routing.
    void plan_route();
    void show_waypoints();
    void recalculate_route();
    void calculate_route_again(int flag);
    void calculate_current_route();
    void show_route_details();
    // Navigates from the current position to the point (added to the history
    // under the name; an empty name is the address of the point).
    void navigate_to_place(const XrString& name, const XrPoint& point);
    void navigate_to_history_point(const XrString& name, const XrPoint& point);
    // A message over the map window for a while (logged).
    virtual void show_map_message(const XrString& text, int duration_ms, int kind);
    // Dialogs of the facade; the guard is down while the settings are open.
    virtual void show_settings(int page);
    void show_about();
    void show_services();
    void show_location_details_at_cursor();
    void open_poi_url();
    // The address dialog in location mode; the chosen place is shown.
    void show_place();
    // User points. Notes and questions go through show_route_query.
    void add_favourite(const XrCoordinate& coordinate, const XrString& name);
    void add_favourite_at(const XrPoint& point);
    void app_fav_add_current_loc();
    void remove_favourite(int id);
    // edge: the blocked road (0 when unknown).
    void add_roadblock(const XrPoint& point, int edge, bool ask);
    void remove_roadblock(int id, bool ask);
    void app_park_car();
    void park_at_cursor();
    void unpark_car();
    // The name a place goes by: the nearest label of the map, or the address.
    XrString get_place_name(const XrPoint& point);
    // Asks for a text (title and prompt are message keys); false when
    // cancelled. This base has no dialog and answers cancelled.
    virtual bool ask_text(const char* title_key, const char* prompt_key, int max_length, XrString& text);
    // View.
    // The scale of a preset: 1 25000, 2 100000, 3 250000, 4 1000000,
    // 5 4500000, any other 9000.
    static int scale_of_preset(int n);
    void set_scale_preset(int n);
    void store_view();
    void gps_on();
    void gps_off();
    void set_active_theme(unsigned theme);
    int get_active_theme();
    // Stores the level and sets the prompt volume; level 0 silences the
    // prompts, levels 1 to 3 speak them.
    void change_sound_level(XrAppSettingsProvider::Volume level);
    // The map handler's busy flag (its keys are swallowed while set).
    void set_map_handler_busy(bool busy);
    // Modal work of menus: the guard and following are down while it runs.
    bool is_follow_enabled() const { return follow_enabled; }
    void set_follow_enabled(bool on) { follow_enabled = on; }
    bool get_dialog_guard() const { return dialog_guard; }
    void set_dialog_guard(bool on) { dialog_guard = on; }
    void zoom_in();
    void zoom_out();
    void show_help();
    void install_alternate_drawer();
    void set_view_variant(int value);
    // Asks the online services for an update of a service type.
    virtual void request_service_update(int service_type);

    // ---- Java add-ons (xr_naviapp_java.cpp).
    // Starts the VM with the add-ons of the map card: Navigator.main runs
    // in time slices on the main loop. True; start-up failures end the
    // process.
    bool init_java();
    // Ends the add-ons' time slices (at exit).
    void shutdown_java();
    // An add-on's item of the application menu: this base has no menu and
    // refuses it; the platform's object shows it.
    virtual bool add_addon_menu_item(const XrString& label, std::unique_ptr<XrMenuHandler>& handler);
    XrJava* get_java() const { return java.get(); }

protected:
    // The event id of the deferred refresh.
    static constexpr int DEFERRED_REFRESH = 1;
    // The one overlay layer of the opened map (position marker, pin), or null.
    XrOverlayLayer* get_overlay_layer() const;
    // Registers the position provider as "XrPositionProvider" (deleted with
    // the other providers).
    void register_position_provider(XrPositionProvider* provider);

    int low_memory_count = 0;
    XrAudioPlayer audio_player;
    XrMapWindowManager window_manager;
    XrMemoryNotifier memory_notifier;
    XrFsm fsm;
    XrEventLoop event_loop;
    XrMapView map_view;
    XrMapWindow* map_window = nullptr;

    std::uint32_t follow_suspended_until = 0;
    std::uint32_t scale_suspended_until = 0;
    std::uint32_t suspend_started = 0;
    bool highlight_done = true;
    bool turn_with_route = false;
    XrFixHistory fix_history;
    bool follow_enabled = true;
    bool auto_scale_allowed = true;
    XrPoint last_point{0, 0};
    bool browsing = false;
    bool rotation_frozen = false;
    int saved_scale = 1000;
    int start_mode;
    double fast_move_velocity = 4.0;
    int stalled_long_time = 10800;
    bool map_orientation_to_north = true;
    bool route_orientation_to_north = false;
    bool map_ready = false;
    bool last_follow = true;
    bool has_fix = false;
    double heading_speed_threshold = 1.5433;
    double last_good_heading = 0.0;
    int heading_window = 3;
    bool heading_median = true;
    double precision_factor = 0.75;
    int position_state_shown = 0;
    // Shared with the route provider.
    bool dialog_guard = true;
    bool progress_shown = false;
    int route_request_state = 0;
    bool guidance_active = false;
    bool guidance_flag_b = false;
    int route_calculating = 0;
    int route_status = 0;
    bool cancel_requested = false;
    XrRouteServices* route_services = nullptr;
    XrMemoryNotifier* notifier_holder = nullptr;
    XrPoint last_matched_point{0, 0};
    XrGid last_matched_gid = 0;
    XrCrosshairTimer* preview_timer = nullptr;
    bool stop_drawing = false;
    XrNaviAppHandler* map_handler = nullptr; // owned by the window manager
    XrTouchCtrlLayer* touch_layer = nullptr;  // owned by the map
    std::unique_ptr<XrCorvanelCommandHandler> command_handler;
    std::optional<XrRectangle> note_icon_rect;
    std::optional<XrRectangle> note_rect;

private:
    friend class XrCrosshairTimer;
    bool create_providers();
    void read_tuning_settings();
    // With KESTROVA_REGISTRY_DUMP set: the services registered (and the
    // service channel acquired) so far, one name a line in their order.
    void write_registry_dump() const;
    // Takes the online services down (before the providers they use).
    void destroy_service_aggregate();

    XrServiceAggregate* service_aggregate = nullptr;
    XrServCom* servcom = nullptr;
    class JavaHost;
    std::unique_ptr<JavaHost> java_host;
    std::unique_ptr<XrJava> java;
    std::unique_ptr<XrGlobalBusyDialogImpl> busy_dialog;
    std::unique_ptr<XrDialogManager> dialog_manager;
    std::unique_ptr<XrSystem> system;
    bool own_inet = false;

    std::unique_ptr<XrPathResolver> resolver;
    XrString card_root;
    std::unique_ptr<XrAppMapLayers> layers;
    std::unique_ptr<XrAppMapWindowView> window_view;
    std::unique_ptr<XrAppRouteLayerHost> route_host;
    // The map engine's services and the map settings' way to the route
    // layer: installed once the providers exist, before the map opens.
    std::unique_ptr<XrAppMapEngineServices> engine_services;
    std::unique_ptr<XrAppRouteLayerSettings> route_layer_settings;
    std::unique_ptr<XrMapWindowRouteForwarder> window_route_listener;
    bool trig_ready = false;
    bool own_bitmap_loader = false;

    // Stores the map view (centre, scale, perspective, rotation, 2D or 3D)
    // as the map's saved view and writes the map settings; nothing without
    // an open map. Runs when the map closes and at exit.
    void save_view_state();
    struct ViewStateSaver : XrExitHandler {
        explicit ViewStateSaver(XrNaviApp* app) : app(app) {}
        void handle_exit() override { app->save_view_state(); }
        XrNaviApp* app;
    };
    ViewStateSaver view_state_saver{this};
};
