// XrMaemoMapApp: the tablet's application object. It owns the osso context,
// creates the map window, runs the GTK main loop, finishes start-up in two
// idle stages (the second builds the providers), connects the platform's
// callbacks and keeps the display lit while the car moves.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <vector>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/maemo_map/xr_maemoinactivitytimer.h"
#include "apps/maemo_map/xr_trackpositionproducer.h"
#include "apps/services/xr_service.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/ui/dialog/xr_dialogmanager.h"
#include "common/types/xr_coordinate.h"
#include "platform/hildon/hildon.h"
#include "platform/osso/libosso.h"

class XrCorvanelDialogFacade;
class XrFontRepositoryMaemo;
class XrMapWindow;
class XrTrackPositionProducer;

class XrMaemoMapApp : public XrNaviApp, public XrServiceListener {
public:
    explicit XrMaemoMapApp(osso_context_t* osso_context);
    ~XrMaemoMapApp() override;

    // The interactive run; returns when the main loop has ended: 0, or 1
    // when the start failed (a drive track that cannot be used).
    int run(int argc, char** argv);

    // Registers the tablet's dialog facade as "XrCorvanelDialogFacade"
    // (installed by the dialog toolkit). Without one the tablet facade is
    // registered: it opens the list dialog and logs every other request.
    static inline void (*register_dialog_facade)() = nullptr;
    // How long a note stays up when the program ends behind it.
    static constexpr int closing_note_seconds = 10;
    // Shows the texts of two message keys (title_key may be null) in a modal
    // note on screen and waits until it is answered or, with timeout_seconds
    // above 0, that time has passed. Logged on standard error with the keys
    // and the texts. type: XrCommonDialogs::NoteType.
    static void show_note(const char* title_key, const char* message_key, int timeout_seconds = 0, int type = 0);
    // The providers' notes (xr_show_note): a modal note with the text, logged.
    static void show_note_text(const XrString& text);

    // XrNaviApp
    void create_position_provider() override;
    void on_status_update() override;
    void exit_application() override;
    // The recovery's notes close themselves after closing_note_seconds.
    void show_recovery_note(const char* title_key, const char* message_key) override;
    XrMapWindow* get_map_window() override { return map_window_owned.get(); }
    // Through the dialog facade.
    bool show_address_dialog(const XrString& title_key, int page, XrPoint& point, XrString& name,
                             const XrPoint* centre) override;
    // A Yes/No query with the texts (ask), else a note with the text alone;
    // logged. True for Yes.
    bool show_route_query(const char* title_key, const char* text_key, bool ask) override;
    // Status 2 ("drive to a road") and 3 ("GPS not active yet"): a banner
    // with the text over the map window for a few seconds; logged.
    void show_route_status(int status) override;
    // With KESTROVA_DRIVE_DESTINATION ("latitude,longitude") the first fix
    // starts navigation to that place.
    void provider_position_changed(bool* redrawn) override;
    // With a route the view scales with the speed again; the drive to a
    // drive destination then follows the route computed for it.
    void route_changed() override;
    // setlocale with the name, then with ".utf8" appended; when both fail
    // the system's locale, stored as the user's language.
    void set_locale(const XrString& name, bool no_refresh) override;
    // Through the dialog facade.
    void show_location_details(const XrPoint& point, const XrString& details) override;
    // Map-window input: while a route is shown, left zooms out and right
    // zooms in; back answers mode 6, everything else mode 0.
    int adjust_key_code(int& code) override;
    // The map opened: the common menu is built anew, sound on.
    void on_map_ready() override;
    // The status and the menu items follow the view.
    void on_view_changed() override;
    // Asks the online service of that type for new data; its result comes
    // back as a banner (service_result).
    void request_service_update(int service_type) override;
    // XrServiceListener: a banner over the map window with the text, the
    // stop icon for a failure and the cancel icon for a cancelled request;
    // logged. The map is redrawn.
    void service_result(int result, const TCHAR* text) override;
    // The menu's 3D item and route items follow the state (xr_mainmenu.cpp).
    virtual void update_menu_items();
    // Add-on items: kept for every build of the common menu, and added to
    // the menu built already.
    bool add_addon_menu_item(const XrString& label, std::unique_ptr<XrMenuHandler>& handler) override;
    // Appends the add-on items to a new common menu.
    void append_addon_menu_items(GtkWidget* menu);
    // The menu's hooks: north toggle, GPS status and POI categories.
    void toggle_north(bool redraw) override;
    void show_gps_status() override;
    void show_poi_categories() override;
    // The developer extras' heading filter window (xr_maemosettingsdlg.cpp).
    void show_debug_settings();
    // Reads "latitude,longitude"; false for anything else.
    static bool parse_destination(const char* text, XrCoordinate& out);

    // Whether the built-in GPS was stopped for a long time without activity.
    bool is_gps_paused() const { return gps_paused; }
    bool is_wizard_requested() const { return wizard_requested; }
    XrMaemoInactivityTimer* get_inactivity_timer() const { return inactivity_timer.get(); }
    osso_context_t* get_osso_context() const { return osso_context; }

    // Platform callbacks (static: they reach the object through g_app).
    static gboolean on_delete_event(GtkWidget* widget, GdkEvent* event, gpointer data);
    static gboolean on_focus_in(GtkWidget* widget, GdkEventFocus* event, gpointer data);
    static gboolean on_focus_out(GtkWidget* widget, GdkEventFocus* event, gpointer data);
    static gboolean on_focus_timeout(gpointer data);
    static void on_top_request(const gchar* arguments, gpointer data);
    static gint on_rpc_default(const gchar* interface, const gchar* method, GArray* arguments, gpointer data,
                               osso_rpc_t* retval);
    static void on_display_event(osso_display_state_t state, gpointer data);

private:
    struct AddonMenuItem;
    std::vector<std::unique_ptr<AddonMenuItem>> addon_menu_items;
    // Ends the add-ons' time slices when the application exits.
    struct JavaExitHandler : XrExitHandler {
        explicit JavaExitHandler(XrMaemoMapApp* app) : app(app) {}
        void handle_exit() override { app->shutdown_java(); }
        XrMaemoMapApp* app;
    };
    JavaExitHandler java_exit_handler{this};
    static gboolean idle_stage_1(gpointer data);
    static gboolean idle_stage_2(gpointer data);
    void resume_gps();

    osso_context_t* osso_context;
    std::unique_ptr<XrMaemoInactivityTimer> inactivity_timer;
    std::unique_ptr<XrFontRepositoryMaemo> fonts;
    std::unique_ptr<XrCorvanelDialogFacade> base_facade;
    std::unique_ptr<XrMapWindow> map_window_owned;
    // What the drawing layer reaches of the map window (its DC and widget).
    XrMapWindowSource window_source;
    bool wizard_requested = false;
    bool gps_paused = false;
    bool show_splash = false;
    bool drive_destination_pending = false;
    bool drive_route_pending = false;
    bool track_failed = false; // KESTROVA_DRIVE_TRACK could not be used
    int run_status = 0;        // what run returns
    XrTrackPositionProducer* drive_producer = nullptr; // owned by the position provider
    XrCoordinate drive_destination;
    // The computed route's drive, started once the route preview is over.
    std::vector<XrTrackPoint> drive_route_points;
};

// Process-wide state of start-up.
extern HildonProgram* g_hildon_program;
extern XrMaemoMapApp* g_app;
extern bool g_first_start;
extern bool g_developer_mode;
extern bool g_demo_map;
