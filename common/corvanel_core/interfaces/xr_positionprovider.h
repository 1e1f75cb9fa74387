// The one way the rest of the program reaches a position: the provider owns
// the producers, switches them on and off by the settings, keeps them
// connected and passes on the positions of its current producer. Registered
// as "XrPositionProvider".
#pragma once

#include "common/base/xr_singleton.h"
#include "common/container/xr_array.h"
#include "common/container/xr_string.h"
#include "common/types/xr_positioninfo.h"

class XrPositionProducer;

class XrPositionProviderListener {
public:
    virtual ~XrPositionProviderListener() = default;
    virtual void producers_changed() = 0;
    virtual void provider_state_changed() = 0;
    // A new position of the current producer; a listener may set *handled.
    virtual void provider_position_changed(bool* handled) = 0;
};

class XrPositionProvider : public XrSingleton, public XrObservable<XrPositionProviderListener> {
public:
    XrPositionProvider() : XrObservable<XrPositionProviderListener>(8) {}
    ~XrPositionProvider() override = default;

    virtual void initialize() = 0;
    virtual void connect() = 0;
    virtual void check_connection() = 0;
    virtual void disconnect() = 0;
    virtual bool is_connected() = 0;
    virtual bool is_active() = 0;
    virtual XrPositionInfo& get_position_info() = 0;
    virtual void set_connect_enabled(bool on) = 0;
    virtual bool is_connect_enabled() = 0;
    virtual const XrArray<XrPositionProducer*>& get_position_producers() = 0;
    virtual XrString get_position_producer_name(const XrPositionProducer* producer) const = 0;
};
