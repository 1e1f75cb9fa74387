// The receiver state of the GPS receiver's status sentence.
#pragma once

#include "common/corvanel_core/interfaces/xr_gpsprovider.h"

class XrGpsProviderImpl : public XrGpsProvider {
public:
    void set_receiver_state(int state) override { receiver_state = state; }
    int get_receiver_state() override { return receiver_state; }

private:
    int receiver_state = -1;
};
