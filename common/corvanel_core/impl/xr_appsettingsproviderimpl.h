// The application settings kept in "?:\kestrova\settings.txt".
#pragma once

#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"

class XrConfiguration;

class XrAppSettingsProviderImpl : public XrAppSettingsProvider {
public:
    // The file the settings live in.
    static constexpr const TCHAR* file_path = L"?:\\kestrova\\settings.txt";
    // The compatibility mark of the current file layout.
    static constexpr const TCHAR* compatibility = L"2.2.8";
    // The service host used while the file names none.
    static constexpr const TCHAR* default_server = L"service.kestrova.example";
    static constexpr int max_beacon_recipients = 8;

    XrAppSettingsProviderImpl();
    ~XrAppSettingsProviderImpl() override = default;

    // Reads the file once at start (made when missing); a file that cannot
    // be read leaves the values of a new object. The file is not written.
    void read_app_settings_file();
    // Writes the file (keys this version does not know are kept) and, unless
    // silent, tells every listener, whether or not the write succeeded.
    bool save(bool silent) override;

    bool get_autozoom() override { return autozoom; }
    void set_autozoom(bool v) override { autozoom = v; }
    Volume get_volume() override { return volume; }
    void set_volume(Volume v) override { volume = v; }
    const XrString& get_soundset() override { return soundset; }
    void set_soundset(const XrString& v) override { soundset = v; }
    bool get_gps_autoconnect() override { return gps_autoconnect; }
    void set_gps_autoconnect(bool v) override { gps_autoconnect = v; }
    int get_gps_port() override { return gps_port; }
    void set_gps_port(int v) override { gps_port = v; }
    const unsigned char* get_gps_address() override { return gps_address; }
    void set_gps_address(const unsigned char* address) override;
    const XrString& get_gps_name() override { return gps_name; }
    void set_gps_name(const XrString& v) override { gps_name = v; }
    bool get_powersave() override { return powersave; }
    void set_powersave(bool v) override { powersave = v; }
    bool get_trafficcam_alert() override { return trafficcam_alert; }
    void set_trafficcam_alert(bool v) override { trafficcam_alert = v; }
    int get_antialias_mode() override { return antialias_mode; }
    void set_antialias_mode(int v) override { antialias_mode = v; }
    int get_tollroads() override { return tollroads; }
    void set_tollroads(int v) override { tollroads = v; }
    int get_ferry() override { return ferry; }
    void set_ferry(int v) override { ferry = v; }
    int get_theme() override { return theme; }
    void set_theme(int v) override { theme = v; }
    bool get_handsfree_invoke() override { return handsfree_invoke; }
    void set_handsfree_invoke(bool v) override { handsfree_invoke = v; }
    int get_beacon_autostart() override { return beacon_autostart; }
    void set_beacon_autostart(int v) override { beacon_autostart = v; }
    XrArray<XrString>& get_beacon_recipients() override { return beacon_recipients; }
    void clear_beacon_recipients() override { beacon_recipients.remove_all(); }
    void add_beacon_recipient(const XrString& r) override { beacon_recipients.append(r); }
    int get_beacon_interval() override { return beacon_interval; }
    void set_beacon_interval(int v) override { beacon_interval = v; }
    XrDistance get_beacon_radius() override { return beacon_radius; }
    void set_beacon_radius(const XrDistance& v) override { beacon_radius = v; }
    const XrString& get_default_access_point() override { return default_access_point; }
    void set_default_access_point(const XrString& v) override { default_access_point = v; }
    const XrString& get_server_address() override { return server_address; }
    void set_server_address(const XrString& v) override { server_address = v; }
    int get_server_port() override { return server_port; }
    XrString get_update_address() override { return update_address; }
    int get_update_port() override { return update_port; }
    void set_server_port(int v) override { server_port = (v < 1 || v > 65535) ? 80 : v; }
    int get_timeout() override { return timeout; }
    void set_timeout(int v) override { timeout = v; }
    bool get_traffic_enabled() override { return traffic_enabled; }
    void set_traffic_enabled(bool v) override { traffic_enabled = v; }
    bool get_routing_option() override { return routing_option; }
    void set_routing_option(bool v) override { routing_option = v; }
    int get_update_interval() override { return update_interval; }
    void set_update_interval(int v) override { update_interval = v; }
    const XrString& get_last_locale() override { return last_locale; }
    void set_last_locale(const XrString& v) override { last_locale = v; }
    const XrString& get_user_locale() override { return user_locale; }
    void set_user_locale(const XrString& v) override { user_locale = v; }
    int get_route_type() override { return route_type; }
    void set_route_type(int v) override { route_type = v; }
    bool get_toolbar_visible(bool fullscreen) override { return fullscreen ? toolbar_fullscreen : toolbar_normal; }
    void set_toolbar_visible(bool fullscreen, bool visible) override
    {
        (fullscreen ? toolbar_fullscreen : toolbar_normal) = visible;
    }
    const XrString& get_positioning_provider() override { return positioning_provider; }
    void set_positioning_provider(const XrString& v) override { positioning_provider = v; }
    const XrString& get_positioning_secondary() override { return positioning_secondary; }
    void set_positioning_secondary(const XrString& v) override { positioning_secondary = v; }

private:
    void read_settings(XrConfiguration& c);
    void read_gps(XrConfiguration& c);
    void read_server(XrConfiguration& c);
    void read_traffic(XrConfiguration& c);
    void read_beacon(XrConfiguration& c);
    void read_positioning(XrConfiguration& c);
    bool write_file();

    XrString settings_compatibility;
    bool autozoom = true;
    Volume volume = VolumeHigh;
    XrString soundset;
    bool gps_autoconnect = true;
    int gps_port = 0;
    unsigned char gps_address[6] = {0, 0, 0, 0, 0, 0};
    XrString gps_name;
    bool powersave = true;
    bool trafficcam_alert = true;
    int antialias_mode = 0;
    int tollroads = 2;
    int ferry = 2;
    int theme = 0;
    bool handsfree_invoke = false;
    int beacon_autostart = 0;
    XrArray<XrString> beacon_recipients{8, 0};
    int beacon_interval = 600;
    XrDistance beacon_radius{100.0, XrDistance::Metres};
    XrString default_access_point;
    XrString server_address;
    int server_port = 80;
    XrString update_address;
    int update_port = 80;
    int timeout = 90;
    bool traffic_enabled = false;
    bool routing_option = true;
    int update_interval = 10;
    XrString last_locale;
    XrString user_locale;
    int route_type = 0;
    bool toolbar_fullscreen = true;
    bool toolbar_normal = true;
    XrString positioning_provider;
    XrString positioning_secondary;
};
