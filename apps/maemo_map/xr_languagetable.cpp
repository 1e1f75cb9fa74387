#include "apps/maemo_map/xr_languagetable.h"

#include "apps/maemo_map/xr_maemomapapp.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_mapsettingsprovider.h"
#include "common/map/xr_routelayer.h"
#include "common/misc/xr_msgids.h"
#include "common/update/xr_soundsetcatalogue.h"

const XrLanguageRow xr_language_table[xr_language_count] = {
    {"", nullptr, nullptr},
    {"da_DK", nullptr, "Dansk"},
    {"de_DE", nullptr, "Deutsch"},
    {"en_GB", nullptr, "English (UK)"},
    {"en_US", nullptr, "English (USA)"},
    {"es_MX", nullptr, "Espa\xC3\xB1ol (Am\xC3\xA9rica Latina)"},
    {"es_ES", "es_BZ", "Espa\xC3\xB1ol (Espa\xC3\xB1" "a)"},
    {"fr_CA", nullptr, "Fran\xC3\xA7" "ais (Canada)"},
    {"fr_FR", nullptr, "Fran\xC3\xA7" "ais (France)"},
    {"it_IT", nullptr, "Italiano"},
    {"nl_NL", nullptr, "Nederlands"},
    {"no_NO", nullptr, "Norsk"},
    {"pt_PT", "pt_BZ", "Portugu\xC3\xAAs"},
    {"fi_FI", nullptr, "Suomi"},
    {"sv_SE", nullptr, "Svenska"},
    {"ru_RU", nullptr, "\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9"},
};

int xr_language_row(const XrString& locale)
{
    int row = 0;
    for (int i = 0; i < xr_language_count; ++i) {
        const XrLanguageRow& r = xr_language_table[i];
        if (locale == XrString(r.locale) || (r.alternative != nullptr && locale == XrString(r.alternative)))
            row = i;
    }
    return row;
}

void fill_language_combo(GtkComboBox* combo, const XrString& current_locale)
{
    for (const XrLanguageRow& r : xr_language_table) {
        if (r.name != nullptr) {
            gtk_combo_box_append_text(combo, r.name);
            continue;
        }
        XrString automatic;
        automatic.load_text(R_STR_OPTION_AUTOMATIC);
        gchar* text = g_ucs4_to_utf8(reinterpret_cast<const gunichar*>(automatic.c_str()), -1, nullptr, nullptr, nullptr);
        gtk_combo_box_append_text(combo, text != nullptr ? text : "");
        g_free(text);
    }
    gtk_combo_box_set_active(combo, xr_language_row(current_locale));
}

XrString apply_language_selection(GtkComboBox* combo)
{
    const int row = gtk_combo_box_get_active(combo);
    const XrString locale(xr_language_table[row >= 0 && row < xr_language_count ? row : 0].locale);
    auto* settings = xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider");
    if (settings != nullptr)
        settings->set_user_locale(locale);
    if (g_app != nullptr)
        g_app->set_locale(locale, false);
    XrString folder;
    if (get_content_folder(folder, true)) {
        if (settings != nullptr)
            settings->set_soundset(folder);
        if (g_app != nullptr) {
            if (XrRouteLayer* layer = g_app->get_route_layer())
                layer->set_voice_folder(folder);
        }
    }
    XrString metric;
    metric.load_text(R_STR_ALLOW_METRIC_SWITCH);
    if (!(metric == XrString(L"yes"))) {
        if (auto* maps = xr_registered<XrMapSettingsProvider>(L"XrMapSettingsProvider"))
            maps->set_measurement_system(0);
    }
    return locale;
}
