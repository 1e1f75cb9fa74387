// Where the vehicle is according to the route layer, in degrees. Registered
// as "XrUserPositionProvider".
#pragma once

#include "common/base/xr_singleton.h"
#include "common/types/xr_coordinate.h"

class XrUserPositionProvider : public XrSingleton {
public:
    ~XrUserPositionProvider() override = default;
    virtual bool has_user_position() = 0;
    // Writes the position into out and answers true; false (out untouched)
    // when there is none.
    virtual bool get_user_position(XrCoordinate& out) = 0;
};
