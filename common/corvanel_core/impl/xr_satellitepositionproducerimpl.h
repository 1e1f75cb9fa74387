// A producer that keeps its own position info and is told its status by its
// transport.
#pragma once

#include "common/corvanel_core/interfaces/xr_positionproducer.h"

class XrSatellitePositionProducerImpl : public XrPositionProducer {
public:
    XrPositionInfo& get_position_info() override { return position_info; }
    virtual void set_status(int status) = 0;

protected:
    XrPositionInfo position_info;
};
