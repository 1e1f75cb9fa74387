// The last vehicle position of the registered route provider's route layer,
// in degrees through the map's projection. It exists when the route layer
// received a vehicle position and shows a route or has a GPS fix.
#pragma once

#include "common/corvanel_core/interfaces/xr_userpositionprovider.h"

class XrUserPositionProviderImpl : public XrUserPositionProvider {
public:
    bool has_user_position() override;
    bool get_user_position(XrCoordinate& out) override;
};
