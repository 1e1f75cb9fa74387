// Stand-ins for the providers positioning talks to, for the tests.
#pragma once

#include "common/corvanel_core/impl/xr_applicationproviderimpl.h"
#include "common/corvanel_core/impl/xr_appsettingsproviderimpl.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"

// Registers itself as "XrAppSettingsProvider" for its lifetime.
class FakeSettings : public XrAppSettingsProviderImpl {
public:
    FakeSettings() { XrSingleton::set_instance(XrString("XrAppSettingsProvider"), this); }
    ~FakeSettings() override { XrSingleton::set_instance(XrString("XrAppSettingsProvider"), nullptr); }

    const XrString& get_positioning_provider() override { return provider; }
    void set_positioning_provider(const XrString& name) override { provider = name; }
    const XrString& get_positioning_secondary() override { return secondary; }
    bool get_gps_autoconnect() override { return autoconnect; }

    // Changes the settings and tells the listeners, as a save does.
    void save() { notify_listeners(&XrAppSettingsListener::settings_changed); }
    using XrAppSettingsProviderImpl::save;

    XrString provider;
    XrString secondary;
    bool autoconnect = true;
};

// Registers itself as "XrApplicationProvider" for its lifetime.
class FakeApplication : public XrApplicationProviderImpl {
public:
    explicit FakeApplication(XrEventloopBase* loop_) : XrApplicationProviderImpl(loop_, nullptr), loop(loop_)
    {
        XrSingleton::set_instance(XrString("XrApplicationProvider"), this);
    }
    ~FakeApplication() override { XrSingleton::set_instance(XrString("XrApplicationProvider"), nullptr); }
    XrEventloopBase* get_event_loop() override { return loop; }
    XrEventloopBase* loop;
};

class ProviderListener : public XrPositionProviderListener {
public:
    void producers_changed() override { ++producers; }
    void provider_state_changed() override { ++states; }
    void provider_position_changed(bool* handled) override
    {
        ++positions;
        if (set_handled)
            *handled = true;
    }
    int producers = 0;
    int states = 0;
    int positions = 0;
    bool set_handled = false;
};
