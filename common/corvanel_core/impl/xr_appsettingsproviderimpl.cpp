#include "common/corvanel_core/impl/xr_appsettingsproviderimpl.h"

#include <cstring>
#include <memory>

#include "common/corvanel_core/impl/xr_settingsfile.h"
#include "common/misc/xr_path_resolver.h"
#include "common/misc/xr_textutil.h"

namespace {

bool one_of(int v, std::initializer_list<int> set)
{
    for (int s : set) {
        if (v == s)
            return true;
    }
    return false;
}

} // namespace

XrAppSettingsProviderImpl::XrAppSettingsProviderImpl() = default;

void XrAppSettingsProviderImpl::set_gps_address(const unsigned char* address)
{
    std::memcpy(gps_address, address, sizeof gps_address);
}

void XrAppSettingsProviderImpl::read_app_settings_file()
{
    std::unique_ptr<XrStorageConfiguration> c = open_settings_file(XrPathResolver::resolve(file_path), true);
    if (!c)
        return; // no file to be had: the values of a new object stay
    if (c->create_key_path(L"\\settings") == XrConfiguration::OK)
        read_settings(*c);
    if (c->create_key_path(L"\\gps") == XrConfiguration::OK)
        read_gps(*c);
    if (c->create_key_path(L"\\server") == XrConfiguration::OK)
        read_server(*c);
    if (c->create_key_path(L"\\traffic") == XrConfiguration::OK)
        read_traffic(*c);
    if (c->create_key_path(L"\\beacon") == XrConfiguration::OK)
        read_beacon(*c);
    if (c->create_key_path(L"\\positioning") == XrConfiguration::OK)
        read_positioning(*c);
    if (settings_compatibility != compatibility) {
        timeout = 90;
        settings_compatibility = compatibility;
    }
}

void XrAppSettingsProviderImpl::read_settings(XrConfiguration& c)
{
    settings_compatibility.clear();
    autozoom = true;
    volume = VolumeHigh;
    soundset.clear();
    powersave = false;
    trafficcam_alert = true;
    antialias_mode = 0;
    tollroads = 2;
    ferry = 2;
    theme = 0;
    handsfree_invoke = false;
    user_locale.clear();
    route_type = 0;
    toolbar_fullscreen = true;
    toolbar_normal = true;

    load_values(c);
    read_setting(c, L"settings_compatibility", settings_compatibility);
    read_setting(c, L"autozoom", autozoom);
    read_setting(c, L"powersave", powersave);
    bool antialias = true;
    read_setting(c, L"antialias", antialias);
    antialias_mode = antialias ? 0 : 1;
    read_setting(c, L"trafficcam_alert", trafficcam_alert);
    read_setting(c, L"tollroads", tollroads);
    if (!one_of(tollroads, {0, 1}))
        tollroads = 2;
    read_setting(c, L"ferry", ferry);
    if (!one_of(ferry, {0, 1}))
        ferry = 2;
    read_setting(c, L"soundset", soundset);
    read_setting(c, L"theme", theme);
    if (!one_of(theme, {1, 2}))
        theme = 0;
    read_setting(c, L"handsfree_invoke", handsfree_invoke);
    int sounds = VolumeHigh;
    read_setting(c, L"sounds", sounds);
    volume = one_of(sounds, {0, 1, 2}) ? static_cast<Volume>(sounds) : VolumeHigh;
    read_setting(c, L"user_locale", user_locale);
    int type = 0;
    if (read_setting(c, L"route_type", type) && type >= 0 && type <= 4)
        route_type = type;
    read_setting(c, L"toolbar_fullscreen", toolbar_fullscreen);
    read_setting(c, L"toolbar_normal", toolbar_normal);
}

void XrAppSettingsProviderImpl::read_gps(XrConfiguration& c)
{
    gps_autoconnect = true;
    gps_port = -1;
    std::memset(gps_address, 0, sizeof gps_address);
    gps_name.clear();

    read_setting(c, L"autoconnect", gps_autoconnect);
    if (!read_setting(c, L"port", gps_port)) {
        gps_autoconnect = true;
        gps_port = -1;
    } else {
        XrString addr;
        if (read_setting(c, L"addr", addr)) {
            const int n = addr.length();
            for (int i = 0; i < n; i += 2) {
                const int hi = hex_value(addr.char_at(i));
                const int lo = i + 1 < n ? hex_value(addr.char_at(i + 1)) : -1;
                if (hi < 0 || lo < 0 || i / 2 >= 6) {
                    gps_autoconnect = true;
                    gps_port = -1;
                    break;
                }
                gps_address[i / 2] = static_cast<unsigned char>(hi * 16 + lo);
            }
        } else {
            gps_autoconnect = true;
        }
    }
    read_setting(c, L"name", gps_name);
}

void XrAppSettingsProviderImpl::read_server(XrConfiguration& c)
{
    default_access_point.clear();
    server_address = default_server;
    server_port = 80;
    timeout = 90;
    last_locale.clear();

    read_setting(c, L"default_access_point", default_access_point);
    read_setting(c, L"address", server_address);
    read_setting(c, L"httpport", server_port);
    update_address = XrString(L"update.kestrova.example");
    update_port = 80;
    read_setting(c, L"updateaddress", update_address);
    read_setting(c, L"updateport", update_port);
    if (update_port < 1 || update_port > 65535)
        update_port = 80;
    read_setting(c, L"timeout", timeout);
    if (!one_of(timeout, {60, 90, 120, 30}))
        timeout = 90;
    read_setting(c, L"lastlocale", last_locale);
}

void XrAppSettingsProviderImpl::read_traffic(XrConfiguration& c)
{
    traffic_enabled = false;
    routing_option = true;
    update_interval = 10;

    read_setting(c, L"trafficenabled", traffic_enabled);
    read_setting(c, L"routingoption", routing_option);
    int interval = 0;
    read_setting(c, L"updateinterval", interval);
    update_interval = one_of(interval, {10, 30, 60}) ? interval : 0;
}

void XrAppSettingsProviderImpl::read_beacon(XrConfiguration& c)
{
    beacon_autostart = 0;
    beacon_recipients.remove_all();
    beacon_interval = 600;
    beacon_radius = XrDistance(100.0, XrDistance::Metres);

    read_setting(c, L"autostart", beacon_autostart);
    if (!one_of(beacon_autostart, {0, 1}))
        beacon_autostart = 2;
    read_setting(c, L"interval", beacon_interval);
    int radius = 0;
    read_setting(c, L"radius", radius);
    beacon_radius = radius == 0 ? XrDistance() : XrDistance(radius, XrDistance::Centimetres);

    if (c.create_key_path(L"\\beacon\\recipients") != XrConfiguration::OK)
        return;
    std::unique_ptr<XrConfigurationIterator> it(c.create_value_iterator());
    XrString name;
    while (it && beacon_recipients.get_num_items() < max_beacon_recipients && it->get_next(name)) {
        XrString value;
        if (c.get_string(name.c_str(), value) == XrConfiguration::OK)
            beacon_recipients.append(value);
    }
}

void XrAppSettingsProviderImpl::read_positioning(XrConfiguration& c)
{
    positioning_provider.clear();
    positioning_secondary.clear();
    read_setting(c, L"provider", positioning_provider);
    read_setting(c, L"secondary", positioning_secondary);
}

bool XrAppSettingsProviderImpl::save(bool silent)
{
    const bool written = write_file();
    if (!silent)
        notify_listeners(&XrAppSettingsListener::settings_changed);
    return written;
}

bool XrAppSettingsProviderImpl::write_file()
{
    std::unique_ptr<XrStorageConfiguration> c = open_settings_file(XrPathResolver::resolve(file_path), false);
    if (!c)
        return false;
    if (c->create_key_path(L"\\settings") == XrConfiguration::OK) {
        write_to(*c);
        c->set_bool(L"autozoom", autozoom);
        c->set_bool(L"powersave", powersave);
        c->set_int(L"antialias", antialias_mode == 0 ? 1 : 0);
        c->set_bool(L"trafficcam_alert", trafficcam_alert);
        c->set_int(L"tollroads", tollroads);
        c->set_int(L"ferry", ferry);
        c->set_string(L"soundset", soundset.c_str());
        c->set_int(L"theme", theme);
        c->set_bool(L"handsfree_invoke", handsfree_invoke);
        c->set_int(L"sounds", volume);
        c->set_string(L"user_locale", user_locale.c_str());
        c->set_int(L"route_type", route_type);
        c->set_bool(L"toolbar_fullscreen", toolbar_fullscreen);
        c->set_bool(L"toolbar_normal", toolbar_normal);
        c->set_string(L"settings_compatibility", settings_compatibility.c_str());
    }
    if (c->create_key_path(L"\\gps") == XrConfiguration::OK) {
        c->set_bool(L"autoconnect", gps_autoconnect);
        c->set_int(L"port", gps_port);
        XrString addr;
        for (unsigned char b : gps_address) {
            XrString pair;
            pair.format(3, L"%02x", b);
            addr += pair;
        }
        c->set_string(L"addr", addr.c_str());
        c->set_string(L"name", gps_name.c_str());
    }
    if (c->create_key_path(L"\\server") == XrConfiguration::OK) {
        c->set_string(L"default_access_point", default_access_point.c_str());
        c->set_string(L"address", server_address.c_str());
        c->set_int(L"httpport", server_port);
        c->set_string(L"updateaddress", update_address.c_str());
        c->set_int(L"updateport", update_port);
        c->set_int(L"timeout", timeout);
        c->set_string(L"lastlocale", last_locale.c_str());
    }
    if (c->create_key_path(L"\\traffic") == XrConfiguration::OK) {
        c->set_bool(L"trafficenabled", traffic_enabled);
        c->set_int(L"routingoption", routing_option ? 1 : 0);
        c->set_int(L"updateinterval", update_interval);
    }
    if (c->create_key_path(L"\\beacon") == XrConfiguration::OK) {
        c->set_int(L"autostart", beacon_autostart);
        c->set_int(L"interval", beacon_interval);
        double cm = 0;
        c->set_int(L"radius", beacon_radius.get_value(cm, XrDistance::Centimetres) ? static_cast<int>(cm) : 0);
    }
    if (c->create_key_path(L"\\beacon\\recipients") == XrConfiguration::OK) {
        std::unique_ptr<XrConfigurationIterator> it(c->create_value_iterator());
        XrString name;
        while (it && it->get_next(name))
            c->delete_value(name.c_str());
        for (int i = 0; i < beacon_recipients.get_num_items(); ++i) {
            XrString key;
            key.format(12, L"%d", i);
            c->set_string(key.c_str(), beacon_recipients.get_item_ptr(i)->c_str());
        }
    }
    if (c->create_key_path(L"\\positioning") == XrConfiguration::OK) {
        c->set_string(L"provider", positioning_provider.c_str());
        c->set_string(L"secondary", positioning_secondary.c_str());
    }
    return c->save() == XrConfiguration::OK;
}
