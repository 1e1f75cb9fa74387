#include "common/corvanel_core/impl/xr_mapsettingsproviderimpl.h"

#include "common/corvanel_core/impl/xr_settingsfile.h"
#include "common/misc/xr_msgids.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_tokenparser.h"
#include "common/types/xr_coordinate.h"

namespace {

// File value <-> field: the file says 1 for metric.
int from_file_units(int v)
{
    switch (v) {
    case 0:
        return 1;
    case 1:
        return 0;
    case 2:
        return 2;
    default:
        return 0;
    }
}

int to_file_units(int v)
{
    switch (v) {
    case 0:
        return 1;
    case 1:
        return 0;
    case 2:
        return 2;
    default:
        return 1;
    }
}

} // namespace

XrMapSettingsProviderImpl::XrMapSettingsProviderImpl()
{
    if (XrMapProvider* maps = XrMapProvider::get_instance())
        maps->add_listener(this);
}

XrMapSettingsProviderImpl::~XrMapSettingsProviderImpl()
{
    if (XrMapProvider* maps = XrMapProvider::get_instance())
        maps->remove_listener(this);
}

int XrMapSettingsProviderImpl::get_measurement_system()
{
    XrString allowed;
    if (!allowed.load_text(R_STR_ALLOW_METRIC_SWITCH) || allowed != L"yes")
        return 0;
    return measurement_system;
}

void XrMapSettingsProviderImpl::get_default_view(XrCoordinate& centre, int& scale, int& perspective, int& rotation,
                                                 int& view_mode)
{
    centre = default_view_coordinate;
    scale = default_view_scale;
    perspective = default_view_perspective;
    rotation = default_view_rotation;
    view_mode = default_view_flag;
}

void XrMapSettingsProviderImpl::set_default_view(const XrCoordinate& centre, int scale, int perspective,
                                                 int rotation, int view_mode)
{
    default_view_coordinate = centre;
    default_view_scale = scale;
    default_view_perspective = perspective;
    default_view_rotation = rotation;
    default_view_flag = view_mode;
}

void XrMapSettingsProviderImpl::map_initialized()
{
    read_map_settings_file();
}

void XrMapSettingsProviderImpl::map_closing()
{
    measurement_system = 0;
    right_side_traffic = true;
    default_view_coordinate = XrCoordinate();
    default_view_scale = 7650;
    default_view_perspective = 2;
    default_view_rotation = 0;
    latest_searched_poi_category = 0;
    speedcam_latest_update.set_now();
    speedcam_db_size = 0;
    speedcam_latest_checksum.clear();
}

void XrMapSettingsProviderImpl::read_map_settings_file()
{
    measurement_system = 0;
    right_side_traffic = true;
    default_view_coordinate = XrCoordinate();
    default_view_scale = 7500;
    default_view_perspective = 2;
    default_view_rotation = 0;
    default_view_flag = 0;
    latest_searched_poi_category = 0;
    speedcam_db_size = 0;
    set_abbreviations(nullptr);

    std::unique_ptr<XrStorageConfiguration> c = open_settings_file(XrPathResolver::resolve(file_path), true);
    if (!c)
        return;
    if (c->create_key_path(L"\\settings") == XrConfiguration::OK) {
        load_values(*c);
        read_setting(*c, L"right_side_traffic", right_side_traffic);
        int units = 0;
        if (read_setting(*c, L"measurement_system", units)) {
            measurement_system = from_file_units(units);
        } else {
            int metric = 1;
            read_setting(*c, L"metric_system", metric);
            measurement_system = metric == 1 ? 0 : 2;
        }
        XrString view;
        if (read_setting(*c, L"defaultview", view))
            read_default_view(view);
        read_setting(*c, L"latest_searched_poi_category", latest_searched_poi_category);
    }
    if (c->create_key_path(L"\\speedcam") == XrConfiguration::OK) {
        int seconds = 0;
        read_setting(*c, L"latest_update", seconds);
        speedcam_latest_update = XrDatetime(seconds);
        read_setting(*c, L"db_size", speedcam_db_size);
        read_setting(*c, L"latest_checksum", speedcam_latest_checksum);
    }
    if (c->create_key_path(L"\\uppercountyfilter") == XrConfiguration::OK) {
        XrString text;
        if (read_setting(*c, L"abbreviations", text)) {
            auto list = std::make_unique<XrArray<XrString>>(8, 0);
            XrTokenParser parser(text, L'|');
            parser.add_delimiter(L';');
            while (const TCHAR* piece = parser.parse_next(true, true)) {
                if (*piece != 0)
                    list->append(XrString(piece));
            }
            if (list->get_num_items() > 0)
                set_abbreviations(list.release());
        }
        XrString filter;
        if (read_setting(*c, L"last_filter", filter) && !filter.is_empty())
            last_filter = filter;
    }
}

void XrMapSettingsProviderImpl::read_default_view(const XrString& text)
{
    XrTokenParser parser(text, L'|');
    const TCHAR* lat_text = parser.parse_next(true, true);
    const TCHAR* lon_text = lat_text != nullptr ? parser.parse_next(true, true) : nullptr;
    double lat = 0;
    double lon = 0;
    int scale = 0;
    if (lon_text == nullptr || !parse_latitude(XrString(lat_text), lat) || !parse_longitude(XrString(lon_text), lon) ||
        !parser.parse_int(scale) || scale <= 0)
        return;
    default_view_coordinate = XrCoordinate(lon, lat);
    default_view_scale = scale;
    int mode = 0;
    int perspective = 0;
    int rotation = 0;
    if (parser.parse_int(mode) && parser.parse_int(perspective) && parser.parse_int(rotation)) {
        default_view_flag = mode != 0 ? 1 : 0;
        default_view_perspective = perspective;
        default_view_rotation = rotation;
    }
}

bool XrMapSettingsProviderImpl::save(bool silent)
{
    const bool written = write_file();
    if (!silent)
        notify_listeners(&XrMapSettingsListener::map_settings_changed);
    return written;
}

bool XrMapSettingsProviderImpl::write_file()
{
    std::unique_ptr<XrStorageConfiguration> c = open_settings_file(XrPathResolver::resolve(file_path), false);
    if (!c)
        return false;
    if (c->create_key_path(L"\\settings") == XrConfiguration::OK) {
        write_to(*c);
        c->set_int(L"measurement_system", to_file_units(measurement_system));
        XrString position;
        position.format(64, L"%f|%f", default_view_coordinate.get_latitude(), default_view_coordinate.get_longitude());
        XrString view;
        view.format(128, L"%s|%d|%d|%d|%d", position.c_str(), default_view_scale, default_view_flag != 0 ? 1 : 0,
                    default_view_perspective, default_view_rotation);
        c->set_string(L"defaultview", view.c_str());
        c->set_int(L"latest_searched_poi_category", latest_searched_poi_category);
    }
    if (c->create_key_path(L"\\speedcam") == XrConfiguration::OK) {
        // UTC seconds: the reader takes them as UTC, so the time survives any
        // number of round trips.
        c->set_int(L"latest_update", speedcam_latest_update.get_utc());
        c->set_int(L"db_size", speedcam_db_size);
        c->set_string(L"latest_checksum", speedcam_latest_checksum.c_str());
    }
    if (abbreviations && abbreviations->get_num_items() > 0 &&
        c->create_key_path(L"\\uppercountyfilter") == XrConfiguration::OK) {
        XrString joined;
        for (int i = 0; i < abbreviations->get_num_items(); ++i) {
            if (i > 0)
                joined += L"|";
            joined += *abbreviations->get_item_ptr(i);
        }
        c->set_string(L"abbreviations", joined.c_str());
    }
    if (!last_filter.is_empty() && c->create_key_path(L"\\uppercountyfilter") == XrConfiguration::OK)
        c->set_string(L"last_filter", last_filter.c_str());
    return c->save() == XrConfiguration::OK;
}
