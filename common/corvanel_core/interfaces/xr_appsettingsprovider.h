// The user's application settings: voice and sound, map display, route
// preferences, the GPS receiver, the service server, traffic, the position
// beacon and the positioning source. Registered as "XrAppSettingsProvider";
// setters tell nobody, save() tells the listeners.
#pragma once

#include "common/container/xr_array.h"
#include "common/container/xr_string.h"
#include "common/corvanel_core/interfaces/xr_settingsprovider.h"
#include "common/types/xr_distance.h"

class XrAppSettingsListener {
public:
    virtual ~XrAppSettingsListener() = default;
    virtual void settings_changed() = 0;
};

class XrAppSettingsProvider : public XrFileSettingsProvider, public XrObservable<XrAppSettingsListener> {
public:
    // Voice volume levels 0..3.
    enum Volume : int { VolumeOff = 0, VolumeLow = 1, VolumeMedium = 2, VolumeHigh = 3 };

    ~XrAppSettingsProvider() override = default;

    virtual bool get_autozoom() = 0;
    virtual void set_autozoom(bool value) = 0;
    virtual Volume get_volume() = 0;
    virtual void set_volume(Volume value) = 0;
    // The voice set folder name.
    virtual const XrString& get_soundset() = 0;
    virtual void set_soundset(const XrString& value) = 0;
    // Key "autoconnect" of section "\gps".
    virtual bool get_gps_autoconnect() = 0;
    virtual void set_gps_autoconnect(bool value) = 0;
    virtual int get_gps_port() = 0;
    virtual void set_gps_port(int value) = 0;
    // The receiver's 6-byte address.
    virtual const unsigned char* get_gps_address() = 0;
    virtual void set_gps_address(const unsigned char* address) = 0;
    virtual const XrString& get_gps_name() = 0;
    virtual void set_gps_name(const XrString& value) = 0;
    virtual bool get_powersave() = 0;
    virtual void set_powersave(bool value) = 0;
    virtual bool get_trafficcam_alert() = 0;
    virtual void set_trafficcam_alert(bool value) = 0;
    // 0 antialiased, 1 not.
    virtual int get_antialias_mode() = 0;
    virtual void set_antialias_mode(int value) = 0;
    virtual int get_tollroads() = 0;
    virtual void set_tollroads(int value) = 0;
    virtual int get_ferry() = 0;
    virtual void set_ferry(int value) = 0;
    virtual int get_theme() = 0;
    virtual void set_theme(int value) = 0;
    virtual bool get_handsfree_invoke() = 0;
    virtual void set_handsfree_invoke(bool value) = 0;
    virtual int get_beacon_autostart() = 0;
    virtual void set_beacon_autostart(int value) = 0;
    virtual XrArray<XrString>& get_beacon_recipients() = 0;
    virtual void clear_beacon_recipients() = 0;
    virtual void add_beacon_recipient(const XrString& recipient) = 0;
    virtual int get_beacon_interval() = 0;
    virtual void set_beacon_interval(int value) = 0;
    virtual XrDistance get_beacon_radius() = 0;
    virtual void set_beacon_radius(const XrDistance& value) = 0;
    virtual const XrString& get_default_access_point() = 0;
    virtual void set_default_access_point(const XrString& value) = 0;
    virtual const XrString& get_server_address() = 0;
    virtual void set_server_address(const XrString& value) = 0;
    virtual int get_server_port() = 0;
    // Values outside 1..65535 store 80.
    virtual void set_server_port(int value) = 0;
    // The update server of the maps dialog ("updateaddress", "updateport").
    virtual XrString get_update_address() { return XrString(); }
    virtual int get_update_port() { return 80; }
    virtual int get_timeout() = 0;
    virtual void set_timeout(int value) = 0;
    virtual bool get_traffic_enabled() = 0;
    virtual void set_traffic_enabled(bool value) = 0;
    virtual bool get_routing_option() = 0;
    virtual void set_routing_option(bool value) = 0;
    virtual int get_update_interval() = 0;
    virtual void set_update_interval(int value) = 0;
    virtual const XrString& get_last_locale() = 0;
    virtual void set_last_locale(const XrString& value) = 0;
    virtual const XrString& get_user_locale() = 0;
    virtual void set_user_locale(const XrString& value) = 0;
    virtual int get_route_type() = 0;
    virtual void set_route_type(int value) = 0;
    // The toolbar in full-screen mode (true) or in the normal window.
    virtual bool get_toolbar_visible(bool fullscreen) = 0;
    virtual void set_toolbar_visible(bool fullscreen, bool visible) = 0;
    // Key "provider" of section "\positioning": the name of the producer
    // that delivers positions ("GPSD", "Wifi", "Fake"), empty for the first.
    virtual const XrString& get_positioning_provider() = 0;
    virtual void set_positioning_provider(const XrString& name) = 0;
    // Key "secondary" of section "\positioning": a second enabled producer.
    virtual const XrString& get_positioning_secondary() = 0;
    virtual void set_positioning_secondary(const XrString& name) = 0;
};
