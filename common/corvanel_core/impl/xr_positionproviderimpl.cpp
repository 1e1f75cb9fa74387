#include "common/corvanel_core/impl/xr_positionproviderimpl.h"

#include "common/container/xr_defs.h"
#include "common/corvanel_core/interfaces/xr_applicationprovider.h"
#include "common/os/xr_eventloopbase.h"

namespace {

XrAppSettingsProvider* app_settings()
{
    return static_cast<XrAppSettingsProvider*>(XrSingleton::get_instance(XrString("XrAppSettingsProvider")));
}

XrEventloopBase* app_event_loop()
{
    auto* app = static_cast<XrApplicationProvider*>(XrSingleton::get_instance(XrString("XrApplicationProvider")));
    return app != nullptr ? app->get_event_loop() : nullptr;
}

} // namespace

XrPositionProviderImpl::XrPositionProviderImpl() = default;

XrPositionProviderImpl::~XrPositionProviderImpl()
{
    XrPositionMap* map = XrPositionMap::get_instance();
    for (int i = 0; i < producers.get_num_items(); ++i) {
        XrPositionProducer* p = *producers.get_item_ptr(i);
        if (map != nullptr && map->has_map())
            map->remove_draw_listener(p);
        delete p;
    }
    if (XrAppSettingsProvider* settings = app_settings())
        settings->remove_listener(this);
    cancel_retry_timer();
}

void XrPositionProviderImpl::add_producer(XrPositionProducer* producer, const XrString& name)
{
    producers.append(producer);
    producer_names.append(name);
    producer->add_listener(this);
}

void XrPositionProviderImpl::initialize()
{
    XR_ASSERT_MSG(producer_names.get_num_items() == producers.get_num_items(),
                  "producer_names.items() == producers.items()");
    settings_changed();
    if (!is_active() && producers.get_num_items() > 0) {
        XrPositionProducer* first = *producers.get_item_ptr(0);
        if (XrAppSettingsProvider* settings = app_settings())
            settings->set_positioning_provider(get_position_producer_name(first));
        first->activate();
        if (first->get_status() != XrPositionProducer::status_connected)
            notify_listeners(&XrPositionProviderListener::producers_changed);
    }
    if (XrAppSettingsProvider* settings = app_settings())
        settings->add_listener(this);
}

void XrPositionProviderImpl::connect()
{
    cancel_retry_timer();
    for (int i = 0; i < producers.get_num_items(); ++i) {
        XrPositionProducer* p = *producers.get_item_ptr(i);
        if (p->is_active())
            p->connect();
    }
}

void XrPositionProviderImpl::check_connection()
{
    for (int i = 0; i < producers.get_num_items(); ++i) {
        XrPositionProducer* p = *producers.get_item_ptr(i);
        if (p->is_active() && p->get_status() != XrPositionProducer::status_connected) {
            restart_retry_timer();
            return;
        }
    }
}

void XrPositionProviderImpl::disconnect()
{
    for (int i = 0; i < producers.get_num_items(); ++i) {
        XrPositionProducer* p = *producers.get_item_ptr(i);
        if (p->is_active())
            p->disconnect();
    }
    cancel_retry_timer();
}

bool XrPositionProviderImpl::is_connected()
{
    for (int i = 0; i < producers.get_num_items(); ++i) {
        if ((*producers.get_item_ptr(i))->get_status() == XrPositionProducer::status_connected)
            return true;
    }
    return false;
}

bool XrPositionProviderImpl::is_active()
{
    for (int i = 0; i < producers.get_num_items(); ++i) {
        if ((*producers.get_item_ptr(i))->is_active())
            return true;
    }
    return false;
}

XrPositionInfo& XrPositionProviderImpl::get_position_info()
{
    position_info.set_fix(false);
    if (XrPositionProducer* current = get_current_producer())
        position_info = current->get_position_info();
    return position_info;
}

void XrPositionProviderImpl::set_connect_enabled(bool on)
{
    connect_enabled = on;
    if (on)
        restart_retry_timer();
    else
        disconnect();
}

XrString XrPositionProviderImpl::get_position_producer_name(const XrPositionProducer* producer) const
{
    XR_ASSERT_MSG(producer_names.get_num_items() == producers.get_num_items(),
                  "producer_names.items() == producers.items()");
    for (int i = 0; i < producers.get_num_items(); ++i) {
        if (*producers.get_item_ptr(i) == producer)
            return *producer_names.get_item_ptr(i);
    }
    return XrString("Not available");
}

XrPositionProducer* XrPositionProviderImpl::get_current_producer()
{
    XrPositionProducer* first = nullptr;
    for (int i = 0; i < producers.get_num_items(); ++i) {
        XrPositionProducer* p = *producers.get_item_ptr(i);
        if (!p->is_active() || p->get_status() != XrPositionProducer::status_connected)
            continue;
        if (p->get_position_info().has_fix())
            return p;
        if (first == nullptr)
            first = p;
    }
    return first;
}

void XrPositionProviderImpl::position_updated(XrPositionProducer* producer, bool* handled)
{
    bool flag = false;
    if (get_current_producer() == producer)
        notify_listeners(&XrPositionProviderListener::provider_position_changed, &flag);
    *handled = flag;
}

void XrPositionProviderImpl::producer_state_changed(XrPositionProducer* producer)
{
    if (producer == nullptr || !producer->is_active())
        return;
    XrAppSettingsProvider* settings = app_settings();
    if (settings == nullptr)
        return;
    if (producer->get_status() == XrPositionProducer::status_not_connected && settings->get_gps_autoconnect())
        schedule_retry(retry_seconds);
    notify_listeners(&XrPositionProviderListener::provider_state_changed);
}

void XrPositionProviderImpl::settings_changed()
{
    XrAppSettingsProvider* settings = app_settings();
    if (settings == nullptr)
        return;
    const XrString provider = settings->get_positioning_provider();
    const XrString secondary = settings->get_positioning_secondary();
    const bool was_connected = is_connected();
    bool needs_connection = false;
    for (int i = 0; i < producers.get_num_items(); ++i) {
        XrPositionProducer* p = *producers.get_item_ptr(i);
        const XrString& name = *producer_names.get_item_ptr(i);
        const bool enabled = name == provider || name == secondary || (provider.is_empty() && i == 0);
        if (enabled) {
            if (!p->is_active())
                p->activate();
            if (p->get_status() != XrPositionProducer::status_connected)
                needs_connection = true;
        } else if (p->is_active()) {
            p->disconnect();
            p->deactivate();
        }
    }
    if (needs_connection)
        notify_listeners(&XrPositionProviderListener::producers_changed);
    bool switched_on = false;
    const bool now_autoconnect = settings->get_gps_autoconnect();
    if (now_autoconnect != autoconnect) {
        autoconnect = now_autoconnect;
        switched_on = now_autoconnect;
    }
    if (needs_connection && (was_connected || switched_on))
        restart_retry_timer();
}

void XrPositionProviderImpl::execute(XrEventloopBase*, void*)
{
    bool any = false;
    for (int i = 0; i < producers.get_num_items(); ++i) {
        XrPositionProducer* p = *producers.get_item_ptr(i);
        if (p->is_active() && p->get_status() != XrPositionProducer::status_connected) {
            p->reconnect();
            any = true;
        }
    }
    if (any)
        schedule_retry(retry_seconds);
}

void XrPositionProviderImpl::map_initialized()
{
    XrPositionMap* map = XrPositionMap::get_instance();
    if (map == nullptr || !map->has_map())
        return;
    for (int i = 0; i < producers.get_num_items(); ++i)
        map->add_draw_listener(*producers.get_item_ptr(i));
}

void XrPositionProviderImpl::register_map_draw_listener(XrMapDrawListener* listener)
{
    XR_ASSERT_MSG(listener != nullptr, "listener");
    XrPositionMap* map = XrPositionMap::get_instance();
    if (map != nullptr && map->has_map())
        map->add_draw_listener(listener);
}

void XrPositionProviderImpl::cancel_retry_timer()
{
    if (XrEventloopBase* loop = app_event_loop())
        loop->remove_timeout(this, nullptr);
}

void XrPositionProviderImpl::schedule_retry(int seconds)
{
    if (!connect_enabled)
        return;
    XrEventloopBase* loop = app_event_loop();
    if (loop == nullptr)
        return;
    loop->remove_timeout(this, nullptr);
    loop->add_timeout(seconds, 0, this, nullptr);
}

void XrPositionProviderImpl::restart_retry_timer()
{
    cancel_retry_timer();
    schedule_retry(first_retry_seconds);
}
