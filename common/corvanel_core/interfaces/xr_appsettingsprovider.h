// The application settings as positioning uses them. Registered as
// "XrAppSettingsProvider"; listeners are told after the settings were saved.
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_string.h"

class XrAppSettingsListener {
public:
    virtual ~XrAppSettingsListener() = default;
    virtual void settings_changed() = 0;
};

class XrAppSettingsProvider : public XrSingleton, public XrObservable<XrAppSettingsListener> {
public:
    ~XrAppSettingsProvider() override = default;

    // Key "provider" of section "\positioning": the name of the producer
    // that delivers positions ("GPSD", "Wifi", "Fake"), empty for the first.
    virtual XrString get_positioning_provider() = 0;
    virtual void set_positioning_provider(const XrString& name) = 0;
    // Key "secondary" of section "\positioning": a second enabled producer.
    virtual XrString get_positioning_secondary() = 0;
    // Key "autoconnect" of section "\gps".
    virtual bool get_gps_autoconnect() = 0;
};
