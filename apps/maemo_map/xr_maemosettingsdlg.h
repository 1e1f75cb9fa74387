// The settings window of the tablet: a notebook with the navigation, POI,
// traffic and language pages. It edits a copy of the stored values and, on
// OK, writes back only what the user changed, saves the settings files and
// lets the running program act on the change (map theme, voice set and
// volume, units, route options). Cancel changes nothing.
//
// Also the developer extras' debug settings window for the heading filter.
#pragma once

#include <gtk/gtk.h>

#include <vector>

#include "common/container/xr_array.h"
#include "common/container/xr_string.h"

class XrAppSettingsProvider;
class XrMapSettingsProvider;
class XrPoiSettings;

// Every value the settings window shows, as the providers hold it.
struct XrSettingsValues {
    struct Poi {
        int class_id = 0;
        bool visible = false;
        int alert_metres = 0;
    };

    bool autozoom = false;
    int volume = 3;
    XrString soundset;
    bool powersave = false;
    bool trafficcam_alert = false;
    int tollroads = 2;
    int ferry = 2;
    int theme = 0;
    int units = 0; // unit system of the map settings: 0 metric, 1 yards, 2 feet
    bool traffic_enabled = false;
    bool traffic_routing = true;
    int update_interval = 10;
    XrString user_locale;
    std::vector<Poi> pois; // in the caller's class order

    // What write_changes wrote.
    enum Change : unsigned {
        ChangedApp = 1u << 0,      // a value of the application settings
        ChangedUnits = 1u << 1,    // the unit system (map settings)
        ChangedPois = 1u << 2,     // a POI class's visibility or alert distance
        ChangedTheme = 1u << 3,
        ChangedVolume = 1u << 4,
        ChangedVoice = 1u << 5,
        ChangedRouting = 1u << 6,  // toll roads, ferries or traffic routing
        ChangedLanguage = 1u << 7,
    };

    // The unit system for a row of the units choice (0 metric, 1 imperial):
    // imperial keeps a stored imperial system (yards or feet); a switch from
    // metric takes feet and miles.
    static int units_for_row(int row, int stored_units);

    void read(XrAppSettingsProvider& app, XrMapSettingsProvider* map, const XrArray<XrPoiSettings*>* classes);
    // Writes each value that differs from `before` (values read when the
    // window opened) through the providers' setters; the rest is left as
    // stored. Returns the Change flags.
    unsigned write_changes(const XrSettingsValues& before, XrAppSettingsProvider& app, XrMapSettingsProvider* map,
                           XrArray<XrPoiSettings*>* classes) const;
};

class XrMaemoSettingsDlg {
public:
    // Alert distance choices in metres; row 0 is "none".
    static constexpr int proximity_metres[5] = {0, 100, 250, 500, 1000};
    static constexpr int update_intervals[4] = {0, 10, 30, 60};

    // page: the notebook page shown first (1 shows the POI page alone);
    // voices: the installed voice set names; classes: the POI classes.
    XrMaemoSettingsDlg(int page, const XrArray<XrString>* voices, XrArray<XrPoiSettings*>* classes);
    ~XrMaemoSettingsDlg();
    XrMaemoSettingsDlg(const XrMaemoSettingsDlg&) = delete;
    XrMaemoSettingsDlg& operator=(const XrMaemoSettingsDlg&) = delete;

    // Builds, fills and runs the window modally; true when closed with OK
    // (the values are then written, saved and applied).
    bool run();

    // The window while run() runs (null otherwise).
    static GtkWidget* current() { return current_dialog; }

private:
    void pack_captions();
    void fill();
    void fill_poi_page();
    XrSettingsValues collect() const;
    void apply(unsigned changes, const XrSettingsValues& now);
    static void on_poi_toggled(GtkCellRendererToggle* renderer, gchar* path, gpointer data);
    static void on_poi_edited(GtkCellRendererText* renderer, gchar* path, gchar* text, gpointer data);

    int initial_page;
    GtkWidget* dialog = nullptr;
    XrAppSettingsProvider* app_settings;
    XrMapSettingsProvider* map_settings;
    const XrArray<XrString>* voices;
    XrArray<XrPoiSettings*>* classes;
    bool units_shown = false;
    GtkListStore* poi_store = nullptr;
    GtkListStore* distance_store = nullptr;
    XrSettingsValues stored;
    static GtkWidget* current_dialog;
};

// The developer extras' heading filter settings, as the window edits them.
struct XrHeadingFilterSettings {
    double speed_limit = 1.5433;
    int samples = 3;
    bool median = true;
    double uncertainty_scale = 0.75;
};

// Runs the debug settings window over the values; true (values updated)
// on OK, false (values untouched) otherwise.
bool xr_run_debug_settings(XrHeadingFilterSettings& values);
