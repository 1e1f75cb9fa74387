// Hands out the application's service aggregate (the owner of the online
// services). Registered as "XrServiceProvider".
#pragma once

#include "common/base/xr_singleton.h"

class XrServiceAggregate;

class XrServiceProvider : public XrSingleton {
public:
    ~XrServiceProvider() override = default;
    virtual XrServiceAggregate* get_service_aggregate() = 0;
};
