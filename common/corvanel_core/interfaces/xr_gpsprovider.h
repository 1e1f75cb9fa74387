// The last state number that the GPS receiver announced in its proprietary
// status sentence. Registered as "XrGpsProvider".
#pragma once

#include "common/base/xr_singleton.h"

class XrGpsProvider : public XrSingleton {
public:
    ~XrGpsProvider() override = default;
    virtual void set_receiver_state(int state) = 0;
    // -1 until a status sentence arrived.
    virtual int get_receiver_state() = 0;
};
