// The map provider as the extension installer sees it so far: the
// identifier of the map that is open. Registered in the singleton registry
// under "XrMapProvider" as a pointer to this interface; the providers' full
// interface grows from this one.
#pragma once

#include "common/container/xr_string.h"

class XrMapProvider {
public:
    virtual ~XrMapProvider() = default;
    // Copies the identifier of the open map into out; false (out untouched)
    // when the provider holds none.
    virtual bool get_map_id(XrString& out) = 0;

    // The registered provider, or null.
    static XrMapProvider* get_instance();
};
