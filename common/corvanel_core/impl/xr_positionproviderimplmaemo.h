// The tablet's position provider: the gpsd and Wi-Fi producers, or the
// simulated one.
#pragma once

#include "common/corvanel_core/impl/xr_positionproviderimpl.h"

class XrEventloopBase;
class XrFsm;

class XrPositionProviderImplMaemo : public XrPositionProviderImpl {
public:
    // simulate: one "Fake" producer; otherwise "GPSD" then "Wifi" (the order
    // makes GPSD the default and the tie-break). Ends with initialize().
    virtual void create_producers(XrFsm* fsm, XrEventloopBase* loop, bool simulate);
};
