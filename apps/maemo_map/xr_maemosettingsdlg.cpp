#include "apps/maemo_map/xr_maemosettingsdlg.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "apps/maemo_map/xr_languagetable.h"
#include "apps/maemo_map/xr_maemomapapp.h"
#include "apps/maemo_map/xr_maemomapsdlg.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mappoint.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_poiprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"
#include "common/gdi/window/xr_mapwindow.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_msgtable.h"
#include "common/types/xr_distance.h"
#include "common/ui/dialog/xr_builders.h"
#include "common/ui/dialog/xr_maemocommon.h"
#include "platform/hildon/hildon.h"

GtkWidget* XrMaemoSettingsDlg::current_dialog = nullptr;

namespace {

XrString text_of(int id)
{
    XrString out;
    get_translated_text(out, id);
    return out;
}

std::string utf8(const XrString& text)
{
    gchar* s = g_ucs4_to_utf8(reinterpret_cast<const gunichar*>(text.c_str()), -1, nullptr, nullptr, nullptr);
    std::string out = s != nullptr ? s : "";
    g_free(s);
    return out;
}

bool metric_switch_allowed() { return text_of(R_STR_ALLOW_METRIC_SWITCH) == XrString(L"yes"); }

void append_choices(GtkWidget* dialog, const char* name, std::initializer_list<int> ids)
{
    GtkComboBox* combo = GTK_COMBO_BOX(XrMaemoCommon::lookup_widget(dialog, name));
    for (int id : ids)
        gtk_combo_box_append_text(combo, utf8(text_of(id)).c_str());
}

int row_of(int value, const int* values, int count)
{
    for (int i = 0; i < count; ++i)
        if (values[i] == value)
            return i;
    return -1;
}

// The alert distances are kept in metres and shown in metres, whatever the
// unit system of the map.
std::string distance_text(int metres)
{
    if (metres == 0)
        return utf8(text_of(R_STR_SETTINGS_PROXIMITY_DIST_NONE));
    return std::to_string(metres) + " " + utf8(text_of(R_STR_METERS_ABBREVIATION));
}

int alert_metres(const XrPoiSettings& poi)
{
    double metres = 0;
    if (!poi.get_distance().get_value(metres, XrDistance::Metres))
        return 0;
    return static_cast<int>(metres);
}

} // namespace

// ---- the values

int XrSettingsValues::units_for_row(int row, int stored_units)
{
    if (row == 0)
        return XrDistance::Metric;
    if (row == 1)
        return stored_units != XrDistance::Metric ? stored_units : XrDistance::FeetAndMiles;
    return stored_units;
}

void XrSettingsValues::read(XrAppSettingsProvider& app, XrMapSettingsProvider* map,
                            const XrArray<XrPoiSettings*>* classes)
{
    autozoom = app.get_autozoom();
    volume = static_cast<int>(app.get_volume());
    soundset = app.get_soundset();
    powersave = app.get_powersave();
    trafficcam_alert = app.get_trafficcam_alert();
    tollroads = app.get_tollroads();
    ferry = app.get_ferry();
    theme = app.get_theme();
    units = map != nullptr ? map->get_measurement_system() : 0;
    traffic_enabled = app.get_traffic_enabled();
    traffic_routing = app.get_routing_option();
    update_interval = app.get_update_interval();
    user_locale = app.get_user_locale();
    pois.clear();
    if (classes == nullptr)
        return;
    for (int i = 0; i < classes->get_num_items(); ++i) {
        const XrPoiSettings* poi = (*classes->get_item_ptr(i));
        pois.push_back({poi->get_class_id(), poi->is_visible() != 0, alert_metres(*poi)});
    }
}

unsigned XrSettingsValues::write_changes(const XrSettingsValues& before, XrAppSettingsProvider& app,
                                         XrMapSettingsProvider* map, XrArray<XrPoiSettings*>* classes) const
{
    unsigned changes = 0;
    auto app_change = [&](bool differs, unsigned extra, auto&& write) {
        if (!differs)
            return;
        write();
        changes |= ChangedApp | extra;
    };
    app_change(autozoom != before.autozoom, 0, [&] { app.set_autozoom(autozoom); });
    app_change(volume != before.volume, ChangedVolume,
               [&] { app.set_volume(static_cast<XrAppSettingsProvider::Volume>(volume)); });
    app_change(!(soundset == before.soundset), ChangedVoice, [&] { app.set_soundset(soundset); });
    app_change(powersave != before.powersave, 0, [&] { app.set_powersave(powersave); });
    app_change(trafficcam_alert != before.trafficcam_alert, 0, [&] { app.set_trafficcam_alert(trafficcam_alert); });
    app_change(tollroads != before.tollroads, ChangedRouting, [&] { app.set_tollroads(tollroads); });
    app_change(ferry != before.ferry, ChangedRouting, [&] { app.set_ferry(ferry); });
    app_change(theme != before.theme, ChangedTheme, [&] { app.set_theme(theme); });
    app_change(traffic_enabled != before.traffic_enabled, ChangedRouting,
               [&] { app.set_traffic_enabled(traffic_enabled); });
    app_change(traffic_routing != before.traffic_routing, ChangedRouting,
               [&] { app.set_routing_option(traffic_routing); });
    app_change(update_interval != before.update_interval, 0, [&] { app.set_update_interval(update_interval); });
    app_change(!(user_locale == before.user_locale), ChangedLanguage, [&] { app.set_user_locale(user_locale); });
    if (units != before.units && map != nullptr) {
        map->set_measurement_system(units);
        changes |= ChangedUnits;
    }
    if (classes != nullptr) {
        for (size_t i = 0; i < pois.size() && i < before.pois.size(); ++i) {
            if (static_cast<int>(i) >= classes->get_num_items())
                break;
            XrPoiSettings* poi = (*classes->get_item_ptr(static_cast<int>(i)));
            if (poi->get_class_id() != pois[i].class_id)
                continue;
            if (pois[i].visible != before.pois[i].visible) {
                poi->set_visible(pois[i].visible ? 1 : 0);
                changes |= ChangedPois;
            }
            if (pois[i].alert_metres != before.pois[i].alert_metres) {
                poi->set_distance(XrDistance(pois[i].alert_metres, XrDistance::Metres));
                changes |= ChangedPois;
            }
        }
    }
    return changes;
}

// ---- the window

XrMaemoSettingsDlg::XrMaemoSettingsDlg(int page, const XrArray<XrString>* voice_names,
                                       XrArray<XrPoiSettings*>* poi_classes)
    : initial_page(page),
      app_settings(xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider")),
      map_settings(xr_registered<XrMapSettingsProvider>(L"XrMapSettingsProvider")),
      voices(voice_names),
      classes(poi_classes)
{
}

XrMaemoSettingsDlg::~XrMaemoSettingsDlg()
{
    if (dialog != nullptr)
        gtk_widget_destroy(dialog);
    if (current_dialog == dialog)
        current_dialog = nullptr;
    if (poi_store != nullptr)
        g_object_unref(poi_store);
    if (distance_store != nullptr)
        g_object_unref(distance_store);
}

void XrMaemoSettingsDlg::pack_captions()
{
    struct Row {
        const char* control;
        int text;
        const char* box;
    };
    static const Row rows[] = {
        {"automatic_scaling", R_STR_GS_AUTOZOOM_ITEM, "navigation_options"},
        {"guidance_volume", R_STR_GS_SOUND_ITEM, "navigation_options"},
        {"voice_hbox", R_STR_GS_SOUNDSET_ITEM, "navigation_options"},
        {"powersave", R_STR_GS_POWERSAVE_ITEM, "navigation_options"},
        {"safety_camera_alerts", R_STR_GS_TRAFFICCAM_ALERT_ITEM, "navigation_options"},
        {"allow_toll_roads", R_STR_ROUTING_OPTIONS_TOLLROADS, "navigation_options"},
        {"allow_ferry", R_STR_ROUTING_OPTIONS_FERRY, "navigation_options"},
        {"colour_theme", R_STR_GS_THEME_ITEM, "navigation_options"},
        {"measurement_units", R_STR_GS_MEASUREMENT_UNITS_ITEM, "navigation_options"},
        {"traffic_information", R_STR_TRAFFIC_INFORMATION, "traffic_options"},
        {"dynamic_routing", R_STR_TRAFFIC_ROUTING_OPTIONS, "traffic_options"},
        {"update_interval", R_STR_TRAFFIC_UPDATE_INTERVAL, "traffic_options"},
        {"language", R_STR_LANGSETTINGS_LANG, "language_options"},
    };
    units_shown = metric_switch_allowed();
    GtkSizeGroup* group = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
    for (const Row& r : rows) {
        if (!units_shown && std::string(r.control) == "measurement_units")
            continue;
        GtkWidget* control = XrMaemoCommon::lookup_widget(dialog, r.control);
        GtkWidget* box = XrMaemoCommon::lookup_widget(dialog, r.box);
        g_object_ref(control);
        gtk_container_remove(GTK_CONTAINER(gtk_widget_get_parent(control)), control);
        GtkWidget* caption = hildon_caption_new(group, utf8(text_of(r.text)).c_str(), control, nullptr,
                                                HILDON_CAPTION_MANDATORY);
        g_object_unref(control);
        gtk_box_pack_start(GTK_BOX(box), caption, FALSE, FALSE, 5);
        gtk_widget_show_all(caption);
    }
    g_object_unref(group);
}

void XrMaemoSettingsDlg::fill()
{
    static const XrMaemoCommon::ItemText texts[] = {
        {"automatic_scaling_label", R_STR_GS_AUTOZOOM_ITEM, XrMaemoCommon::LABEL},
        {"guidance_volume_label", R_STR_GS_SOUND_ITEM, XrMaemoCommon::LABEL},
        {"powersave_label", R_STR_GS_POWERSAVE_ITEM, XrMaemoCommon::LABEL},
        {"voice_label", R_STR_GS_SOUNDSET_ITEM, XrMaemoCommon::LABEL},
        {"safety_camera_alerts_label", R_STR_GS_TRAFFICCAM_ALERT_ITEM, XrMaemoCommon::LABEL},
        {"colour_theme_label", R_STR_GS_THEME_ITEM, XrMaemoCommon::LABEL},
        {"measurement_units_label", R_STR_GS_MEASUREMENT_UNITS_ITEM, XrMaemoCommon::LABEL},
        {"allow_toll_roads_label", R_STR_ROUTING_OPTIONS_TOLLROADS, XrMaemoCommon::LABEL},
        {"allow_ferry_label", R_STR_ROUTING_OPTIONS_FERRY, XrMaemoCommon::LABEL},
        {"traffic_information_label", R_STR_TRAFFIC_INFORMATION, XrMaemoCommon::LABEL},
        {"dynamic_routing_label", R_STR_TRAFFIC_ROUTING_OPTIONS, XrMaemoCommon::LABEL},
        {"update_interval_label", R_STR_TRAFFIC_UPDATE_INTERVAL, XrMaemoCommon::LABEL},
        {"navigation_label", R_STR_SETTINGS_DLG_GENERAL_PAGE, XrMaemoCommon::LABEL},
        {"poi_label", R_STR_SETTINGS_DLG_POI_PAGE, XrMaemoCommon::LABEL},
        {"traffic_label", R_STR_SETTINGS_DLG_TRAFFIC_PAGE, XrMaemoCommon::LABEL},
        {"ok_button", R_STR_DLG_OK, XrMaemoCommon::BUTTON},
        {"voice_download_button", R_STR_DOWNLOAD, XrMaemoCommon::BUTTON},
        {"cancel_button", R_STR_DLG_BACK, XrMaemoCommon::BUTTON},
        {"language_label", R_STR_LANGSETTINGS_LANG, XrMaemoCommon::LABEL},
        {"language_settings_restart_warning", R_STR_SETTINGS_RESTART_NOTE1, XrMaemoCommon::LABEL},
        {"language_page_label", R_STR_LANGSETTINGS_LANG, XrMaemoCommon::LABEL},
    };
    XrMaemoCommon::set_item_texts(dialog, texts, sizeof texts / sizeof texts[0]);

    append_choices(dialog, "guidance_volume", {R_STR_SOUND_MUTE, R_STR_SOUND_LOW, R_STR_SOUND_MED, R_STR_SOUND_HIGH});
    append_choices(dialog, "allow_toll_roads", {R_STR_GS_TOLLROADS_NO, R_STR_GS_TOLLROADS_YES, R_STR_GS_TOLLROADS_PROMPT});
    append_choices(dialog, "allow_ferry", {R_STR_GS_TOLLROADS_NO, R_STR_GS_TOLLROADS_YES, R_STR_GS_TOLLROADS_PROMPT});
    append_choices(dialog, "colour_theme", {R_STR_GS_THEME_DAYLIGHT, R_STR_GS_THEME_NIGHT, R_STR_GS_THEME_BRIGHT});
    append_choices(dialog, "update_interval", {R_STR_UPDATE_INTERVAL_MANUAL, R_STR_UPDATE_INTERVAL_10,
                                               R_STR_UPDATE_INTERVAL_30, R_STR_UPDATE_INTERVAL_60});
    append_choices(dialog, "measurement_units", {R_STR_OPTION_UNITS_METRIC, R_STR_OPTION_UNITS_IMPERIAL});
    int voice_row = -1;
    if (voices != nullptr) {
        for (int i = 0; i < voices->get_num_items(); ++i) {
            XrMaemoCommon::combo_append_text(dialog, "voice", (*voices->get_item_ptr(i)));
            if ((*voices->get_item_ptr(i)) == stored.soundset)
                voice_row = i;
        }
    }

    XrMaemoCommon::set_toggle_active(dialog, "automatic_scaling", stored.autozoom);
    XrMaemoCommon::set_combo_active(dialog, "guidance_volume", stored.volume);
    XrMaemoCommon::set_combo_active(dialog, "voice", voice_row);
    XrMaemoCommon::set_toggle_active(dialog, "powersave", stored.powersave);
    XrMaemoCommon::set_toggle_active(dialog, "safety_camera_alerts", stored.trafficcam_alert);
    XrMaemoCommon::set_combo_active(dialog, "allow_toll_roads", stored.tollroads);
    XrMaemoCommon::set_combo_active(dialog, "allow_ferry", stored.ferry);
    XrMaemoCommon::set_combo_active(dialog, "colour_theme", stored.theme);
    XrMaemoCommon::set_combo_active(dialog, "measurement_units", stored.units == 0 ? 0 : 1);
    XrMaemoCommon::set_toggle_active(dialog, "traffic_information", stored.traffic_enabled);
    XrMaemoCommon::set_toggle_active(dialog, "dynamic_routing", stored.traffic_routing);
    XrMaemoCommon::set_combo_active(dialog, "update_interval",
                                    row_of(stored.update_interval, update_intervals, 4));
    fill_language_combo(GTK_COMBO_BOX(XrMaemoCommon::lookup_widget(dialog, "language")), stored.user_locale);
    fill_poi_page();
}

void XrMaemoSettingsDlg::fill_poi_page()
{
    GtkWidget* view = XrMaemoCommon::lookup_widget(dialog, "poi_list");
    poi_store = gtk_list_store_new(3, G_TYPE_BOOLEAN, G_TYPE_STRING, G_TYPE_STRING);
    distance_store = gtk_list_store_new(1, G_TYPE_STRING);
    for (int metres : proximity_metres) {
        GtkTreeIter it;
        gtk_list_store_append(distance_store, &it);
        gtk_list_store_set(distance_store, &it, 0, distance_text(metres).c_str(), -1);
    }
    gtk_tree_view_set_model(GTK_TREE_VIEW(view), GTK_TREE_MODEL(poi_store));
    GtkCellRenderer* toggle = gtk_cell_renderer_toggle_new();
    g_signal_connect(toggle, "toggled", G_CALLBACK(on_poi_toggled), this);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view), -1, "", toggle, "active", 0, nullptr);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view), -1, "", gtk_cell_renderer_text_new(), "text", 1,
                                                nullptr);
    GtkCellRenderer* combo = gtk_cell_renderer_combo_new();
    g_object_set(combo, "model", distance_store, "text-column", 0, "has-entry", FALSE, "editable", TRUE, nullptr);
    g_signal_connect(combo, "edited", G_CALLBACK(on_poi_edited), this);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view), -1, "", combo, "text", 2, nullptr);
    if (classes == nullptr)
        return;
    for (size_t i = 0; i < stored.pois.size(); ++i) {
        GtkTreeIter it;
        gtk_list_store_append(poi_store, &it);
        gtk_list_store_set(poi_store, &it, 0, stored.pois[i].visible ? TRUE : FALSE, 1,
                           utf8((*classes->get_item_ptr(static_cast<int>(i)))->get_name()).c_str(), 2,
                           distance_text(stored.pois[i].alert_metres).c_str(), -1);
    }
}

// Toggles and choices change the window's copy only; OK applies them.
void XrMaemoSettingsDlg::on_poi_toggled(GtkCellRendererToggle*, gchar* path, gpointer data)
{
    auto* self = static_cast<XrMaemoSettingsDlg*>(data);
    GtkTreeIter it;
    if (!gtk_tree_model_get_iter_from_string(GTK_TREE_MODEL(self->poi_store), &it, path))
        return;
    gboolean visible = FALSE;
    gtk_tree_model_get(GTK_TREE_MODEL(self->poi_store), &it, 0, &visible, -1);
    gtk_list_store_set(self->poi_store, &it, 0, !visible, -1);
}

void XrMaemoSettingsDlg::on_poi_edited(GtkCellRendererText*, gchar* path, gchar* text, gpointer data)
{
    auto* self = static_cast<XrMaemoSettingsDlg*>(data);
    GtkTreeIter it;
    if (text == nullptr || !gtk_tree_model_get_iter_from_string(GTK_TREE_MODEL(self->poi_store), &it, path))
        return;
    gtk_list_store_set(self->poi_store, &it, 2, text, -1);
}

XrSettingsValues XrMaemoSettingsDlg::collect() const
{
    XrSettingsValues v = stored;
    v.autozoom = XrMaemoCommon::get_toggle_active(dialog, "automatic_scaling");
    const int volume = XrMaemoCommon::get_combo_active(dialog, "guidance_volume");
    if (volume >= 0)
        v.volume = volume;
    const int voice = XrMaemoCommon::get_combo_active(dialog, "voice");
    if (voices != nullptr && voice >= 0 && voice < voices->get_num_items())
        v.soundset = (*voices->get_item_ptr(voice));
    v.powersave = XrMaemoCommon::get_toggle_active(dialog, "powersave");
    v.trafficcam_alert = XrMaemoCommon::get_toggle_active(dialog, "safety_camera_alerts");
    if (const int row = XrMaemoCommon::get_combo_active(dialog, "allow_toll_roads"); row >= 0)
        v.tollroads = row;
    if (const int row = XrMaemoCommon::get_combo_active(dialog, "allow_ferry"); row >= 0)
        v.ferry = row;
    if (const int row = XrMaemoCommon::get_combo_active(dialog, "colour_theme"); row >= 0)
        v.theme = row;
    if (units_shown)
        v.units = XrSettingsValues::units_for_row(XrMaemoCommon::get_combo_active(dialog, "measurement_units"),
                                                  stored.units);
    v.traffic_enabled = XrMaemoCommon::get_toggle_active(dialog, "traffic_information");
    v.traffic_routing = XrMaemoCommon::get_toggle_active(dialog, "dynamic_routing");
    if (const int row = XrMaemoCommon::get_combo_active(dialog, "update_interval"); row >= 0 && row < 4)
        v.update_interval = update_intervals[row];
    const int language = XrMaemoCommon::get_combo_active(dialog, "language");
    if (language >= 0 && language < xr_language_count && language != xr_language_row(stored.user_locale))
        v.user_locale = XrString(xr_language_table[language].locale);

    GtkTreeIter it;
    gboolean more = gtk_tree_model_get_iter_first(GTK_TREE_MODEL(poi_store), &it);
    for (size_t i = 0; more && i < v.pois.size(); ++i) {
        gboolean visible = FALSE;
        gchar* text = nullptr;
        gtk_tree_model_get(GTK_TREE_MODEL(poi_store), &it, 0, &visible, 2, &text, -1);
        v.pois[i].visible = visible != FALSE;
        for (int metres : proximity_metres)
            if (text != nullptr && distance_text(metres) == text)
                v.pois[i].alert_metres = metres;
        g_free(text);
        more = gtk_tree_model_iter_next(GTK_TREE_MODEL(poi_store), &it);
    }
    return v;
}

void XrMaemoSettingsDlg::apply(unsigned changes, const XrSettingsValues& now)
{
    if (changes & XrSettingsValues::ChangedLanguage) {
        // The locale, the voice set found for it and the units the new
        // language allows.
        apply_language_selection(GTK_COMBO_BOX(XrMaemoCommon::lookup_widget(dialog, "language")));
    }
    if (app_settings != nullptr && (changes & XrSettingsValues::ChangedApp))
        app_settings->save(false);
    if (map_settings != nullptr && (changes & (XrSettingsValues::ChangedUnits | XrSettingsValues::ChangedLanguage)))
        map_settings->save(false);
    XrRouteLayer* layer = g_app != nullptr ? g_app->get_route_layer() : nullptr;
    if ((changes & XrSettingsValues::ChangedVoice) && layer != nullptr && app_settings != nullptr)
        layer->set_voice_folder(app_settings->get_soundset());
    if ((changes & XrSettingsValues::ChangedVolume) && g_app != nullptr)
        g_app->change_sound_level(static_cast<XrAppSettingsProvider::Volume>(now.volume));
    if (changes & XrSettingsValues::ChangedTheme) {
        if (XrMapProvider* maps = XrMapProvider::get_instance())
            maps->set_theme(now.theme);
    }
    if (changes & XrSettingsValues::ChangedPois) {
        // poi_settings.txt and the layer's class table; the map view redraws.
        if (auto* pois = xr_registered<XrPoiProvider>(L"XrPoiProvider"))
            pois->save_poi_settings(false);
    }
    if (changes & XrSettingsValues::ChangedRouting) {
        if (XrRouteProvider* route = XrRouteProvider::get_instance())
            route->apply_settings();
    }
    if (g_app != nullptr)
        g_app->redraw_map_window();
}

namespace {

// "voice_download_button": the settings end as with OK once the voice sets
// window, opened here over them, has closed.
void on_voice_download(GtkButton*, gpointer settings_window)
{
    gtk_dialog_response(GTK_DIALOG(settings_window), GTK_RESPONSE_OK);
    std::fprintf(stderr, "kestrova-navigator: voice sets window from the settings\n");
    // The window deletes itself when its run ends.
    (new XrMaemoMapsDlg(g_app, true))->show();
}

} // namespace

bool XrMaemoSettingsDlg::run()
{
    if (app_settings == nullptr)
        return false;
    stored.read(*app_settings, map_settings, classes);
    dialog = create_settings_dlg();
    current_dialog = dialog;
    pack_captions();
    if (GtkWidget* top = XrMapWindow::get_toplevel())
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(top));
    GtkNotebook* notebook = GTK_NOTEBOOK(XrMaemoCommon::lookup_widget(dialog, "notebook1"));
    if (initial_page == 1) {
        gtk_notebook_set_show_tabs(notebook, FALSE);
    } else {
        gtk_widget_hide(gtk_notebook_get_nth_page(notebook, 1));
    }
    g_signal_connect(XrMaemoCommon::lookup_widget(dialog, "voice_download_button"), "clicked",
                     G_CALLBACK(on_voice_download), dialog);
    XrMaemoCommon::set_dialog_title(dialog, text_of(R_STR_SETTINGS_DLG_TITLE), true);
    fill();
    gtk_widget_show(dialog);
    gtk_notebook_set_current_page(notebook, initial_page);
    std::fprintf(stderr, "kestrova-navigator: settings window on page %d\n", initial_page);
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    const bool ok = response == GTK_RESPONSE_OK;
    if (ok) {
        const XrSettingsValues now = collect();
        const unsigned changes = now.write_changes(stored, *app_settings, map_settings, classes);
        std::fprintf(stderr, "kestrova-navigator: settings accepted (changes %#x)\n", changes);
        apply(changes, now);
    }
    gtk_widget_destroy(dialog);
    dialog = nullptr;
    current_dialog = nullptr;
    return ok;
}

// ---- debug settings

bool xr_run_debug_settings(XrHeadingFilterSettings& values)
{
    GtkWidget* dialog = create_debug_settings_dlg();
    if (GtkWidget* top = XrMapWindow::get_toplevel())
        gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(top));
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    auto range = [&](const char* name) { return GTK_RANGE(XrMaemoCommon::lookup_widget(dialog, name)); };
    gtk_range_set_value(range("heading_speed"), values.speed_limit);
    gtk_range_set_value(range("heading_num_samples"), values.samples);
    gtk_range_set_value(range("uncertainty_scale"), values.uncertainty_scale);
    XrMaemoCommon::set_toggle_active(dialog, values.median ? "heading_median" : "heading_average", true);
    const bool ok = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK;
    if (ok) {
        values.speed_limit = gtk_range_get_value(range("heading_speed"));
        values.samples = static_cast<int>(gtk_range_get_value(range("heading_num_samples")));
        values.uncertainty_scale = gtk_range_get_value(range("uncertainty_scale"));
        values.median = XrMaemoCommon::get_toggle_active(dialog, "heading_median");
    }
    gtk_widget_destroy(dialog);
    return ok;
}

void XrMaemoMapApp::show_debug_settings()
{
    XrHeadingFilterSettings values;
    values.speed_limit = heading_speed_threshold;
    values.samples = heading_window;
    values.median = heading_median;
    values.uncertainty_scale = precision_factor;
    if (!xr_run_debug_settings(values))
        return;
    heading_speed_threshold = values.speed_limit;
    heading_window = values.samples;
    heading_median = values.median;
    precision_factor = values.uncertainty_scale;
    std::fprintf(stderr, "kestrova-navigator: heading filter %.2f m/s, %d samples, %s, uncertainty %.2f\n",
                 heading_speed_threshold, heading_window, heading_median ? "median" : "average", precision_factor);
}
