// The position provider: owns the producers, enables them by the settings
// "provider" and "secondary", retries unconnected ones (5 s after a trigger,
// then every 30 s) and passes on the positions of the current producer.
#pragma once

#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/corvanel_core/interfaces/xr_positionproducer.h"
#include "common/corvanel_core/interfaces/xr_positionprovider.h"
#include "common/os/xr_eventhandler.h"

class XrPositionProviderImpl : public XrPositionProvider,
                               public XrPositionProducerListener,
                               public XrAppSettingsListener,
                               public XrEventHandler {
public:
    static constexpr int first_retry_seconds = 5;
    static constexpr int retry_seconds = 30;

    XrPositionProviderImpl();
    // Deletes the producers (out of the map's draw listeners first), leaves
    // the settings' listeners and cancels the retry timer.
    ~XrPositionProviderImpl() override;

    void initialize() override;
    void connect() override;
    void check_connection() override;
    void disconnect() override;
    bool is_connected() override;
    bool is_active() override;
    XrPositionInfo& get_position_info() override;
    void set_connect_enabled(bool on) override;
    bool is_connect_enabled() override { return connect_enabled; }
    const XrArray<XrPositionProducer*>& get_position_producers() override { return producers; }
    XrString get_position_producer_name(const XrPositionProducer* producer) const override;

    void producer_state_changed(XrPositionProducer* producer) override;
    void position_updated(XrPositionProducer* producer, bool* handled) override;
    void settings_changed() override;
    // A map was opened: every producer becomes one of its draw listeners.
    void map_initialized();
    void map_closing() {}
    // The retry timer.
    void execute(XrEventloopBase* loop, void* data) override;
    // The first active, connected producer with a fix, else the first active
    // connected one; null when none is.
    virtual XrPositionProducer* get_current_producer();

    void register_map_draw_listener(XrMapDrawListener* listener);

    // Takes ownership of producer under name and listens to it.
    void add_producer(XrPositionProducer* producer, const XrString& name);

protected:
    void cancel_retry_timer();
    void schedule_retry(int seconds);
    void restart_retry_timer();

    XrArray<XrPositionProducer*> producers{8};
    XrArray<XrString> producer_names{8};
    XrPositionInfo position_info;
    bool autoconnect = false;
    bool connect_enabled = true;
};
