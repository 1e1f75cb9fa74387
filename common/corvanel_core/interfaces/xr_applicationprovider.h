// The application as the providers see it: its event loop. Registered as
// "XrApplicationProvider".
#pragma once

#include "common/base/xr_singleton.h"

class XrEventloopBase;

class XrApplicationProvider : public XrSingleton {
public:
    ~XrApplicationProvider() override = default;
    virtual XrEventloopBase* get_event_loop() = 0;
};
