#include "apps/apps_common/xr_serviceaggregate.h"

#include <algorithm>
#include <memory>

#include "apps/apps_common/xr_naviapp.h"
#include "apps/apps_common/xr_tmctablefile.h"
#include "apps/services/xr_speedcamservice.h"
#include "apps/services/xr_trafficservice.h"
#include "common/addr/xr_addraccessor.h"
#include <cstdint>

#include "common/container/xr_defs.h"
#include "common/config/xr_storageconfiguration.h"
#include "common/corvanel_core/impl/xr_providerutil.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/db/xr_aggregategeomstorage.h"
#include "common/db/xr_memorygeomstorage.h"
#include "common/map/xr_map.h"
#include "common/map/xr_maplayer.h"
#include "common/storage/xr_storageaccessor.h"

namespace {

// One exchange's way back: made for every request, deleted after its reply.
class XrServiceAggregateReceiver : public XrServComClient {
public:
    XrServiceAggregateReceiver(XrServiceAggregate* aggregate, XrServComClient* further,
                               XrServiceListener* listener, int service_id, int value_a, int value_b)
        : aggregate(aggregate), further(further), listener(listener), service_id(service_id), value_a(value_a),
          value_b(value_b)
    {
    }

    void reply_received(int status, int /*code*/, const XrString& title, const XrString& /*details*/, int id,
                        int a, int b, XrPropertyBag* payload) override
    {
        if (status != XR_SERVCOM_OK) {
            id = service_id;
            a = value_a;
            b = value_b;
        }
        aggregate->route_reply(status, title, id, a, b, payload, further, listener);
        delete this;
    }

private:
    XrServiceAggregate* aggregate;
    XrServComClient* further;
    XrServiceListener* listener;
    int service_id;
    int value_a;
    int value_b;
};

} // namespace

XrServiceAggregate::XrServiceAggregate() = default;

XrServiceAggregate::~XrServiceAggregate()
{
    destroy_services();
    if (channel != nullptr) {
        channel->remove_client(this);
        channel->release();
        channel = nullptr;
    }
}

void XrServiceAggregate::set_app(XrNaviApp* value)
{
    app = value;
}

XrMapProvider* XrServiceAggregate::map_provider()
{
    return xr_map_provider();
}

XrServCom* XrServiceAggregate::acquire_channel()
{
    return app != nullptr ? app->create_servcom() : nullptr;
}

XrEventloopBase* XrServiceAggregate::get_event_loop()
{
    return app != nullptr ? &app->get_event_loop() : nullptr;
}

void XrServiceAggregate::create_services()
{
    XR_ASSERT_MSG(find_service(XrService::TYPE_TRAFFIC) == nullptr, "!traffic_service");
    XR_ASSERT_MSG(find_service(XrService::TYPE_SPEEDCAM) == nullptr, "!speedcam_service");
    add_service(new XrTrafficService());
    add_service(new XrSpeedCamService());
}

void XrServiceAggregate::initialize_services(XrProjection* value)
{
    if (channel == nullptr) {
        channel = acquire_channel();
        if (channel != nullptr)
            channel->add_client(this);
    }
    create_services();
    projection = value;
    for (int i = 0; i < services.get_num_items(); ++i) {
        XrService* service = services.get_item(i);
        const bool stored = create_storage(service);
        if (!service->configure(this, projection)) {
            // Out of the map's storage first, so that nothing keeps a
            // pointer to the deleted storage.
            if (stored)
                remove_storage(service);
            continue;
        }
        int position = DEFAULT_LAYER_POSITION;
        if (XrLayer* layer = service->get_layer(&position)) {
            XrMapProvider* maps = map_provider();
            XrMap* map = maps != nullptr ? maps->get_map() : nullptr;
            if (map != nullptr)
                map->add_layer(layer, service->get_name(), &position);
        }
        service->register_client();
    }
}

bool XrServiceAggregate::create_storage(XrService* service)
{
    XrAggregateGeomStorage* aggregate = xr_poi_layer_storage();
    if (aggregate == nullptr)
        return false;
    auto* storage = new XrMemoryGeomStorage();
    storage->set_name(service->get_name());
    aggregate->add_storage(storage, STORAGE_SCALE_LIMIT);
    return true;
}

void XrServiceAggregate::remove_storage(XrService* service)
{
    XrAggregateGeomStorage* aggregate = xr_poi_layer_storage();
    if (aggregate == nullptr)
        return;
    for (int i = 0; i < aggregate->get_member_count(); ++i) {
        XrGeomStorage* member = aggregate->get_member(i);
        if (member->get_name() == service->get_name()) {
            aggregate->remove_storage(member); // takes it out, then deletes it
            return;
        }
    }
}

void XrServiceAggregate::destroy_services()
{
    XrMapProvider* maps = map_provider();
    XrMap* map = maps != nullptr ? maps->get_map() : nullptr;
    std::vector<XrService*> doomed;
    for (int i = 0; i < services.get_num_items(); ++i) {
        XrService* service = services.get_item(i);
        // The layer stays the service's.
        if (map != nullptr && map->get_layer_index(service->get_name()) >= 0)
            map->remove_layer(service->get_name());
        remove_storage(service);
        doomed.push_back(service);
    }
    services.remove_all();
    for (XrService* service : doomed)
        delete service;
    drop_event_objects();
    tmc_tables.reset();
}

XrService* XrServiceAggregate::find_service(int type) const
{
    for (int i = 0; i < services.get_num_items(); ++i)
        if (services.get_item(i)->get_type() == type)
            return services.get_item(i);
    return nullptr;
}

int XrServiceAggregate::call_service(int type, const XrString* text, XrServComClient* further,
                                     XrServiceListener* listener)
{
    XrService* service = find_service(type);
    return service != nullptr ? service->request(text, further, listener) : 0;
}

void XrServiceAggregate::notify_services(int a, int b)
{
    for (int i = 0; i < services.get_num_items(); ++i)
        services.get_item(i)->refresh(a, b);
}

void XrServiceAggregate::route_changed()
{
    for (int i = 0; i < services.get_num_items(); ++i)
        services.get_item(i)->route_event();
}

bool XrServiceAggregate::dispatch_route_request(XrDijkstraPath2* search, const XrPoint& start, const XrPoint& end)
{
    for (int i = 0; i < services.get_num_items(); ++i)
        if (services.get_item(i)->route_request(search, start, end))
            return true;
    return false;
}

void XrServiceAggregate::map_initialized()
{
    XrMapProvider* maps = map_provider();
    initialize_services(maps != nullptr ? maps->get_projection() : nullptr);
}

void XrServiceAggregate::map_closing()
{
    destroy_services();
}

void XrServiceAggregate::route_reply(int status, const XrString& title, int service_id, int value_a, int value_b,
                                     XrPropertyBag* payload, XrServComClient* further, XrServiceListener* listener)
{
    XrService* service = nullptr;
    for (int i = 0; i < services.get_num_items() && service == nullptr; ++i)
        if (services.get_item(i)->get_server_id() == service_id)
            service = services.get_item(i);
    if (service != nullptr) {
        if (status == XR_SERVCOM_OK) {
            service->receive_data(value_a, value_b, XrService::SUCCEEDED, &title, payload, listener);
        } else if (status == XR_SERVCOM_CANCELLED) {
            service->receive_data(value_a, value_b, XrService::CANCELLED, &title, payload, listener);
            if (listener != nullptr)
                listener->service_result(XrServiceListener::CANCELLED, nullptr);
        } else {
            service->receive_data(value_a, value_b, XrService::FAILED, &title, payload, listener);
            if (listener != nullptr)
                listener->service_result(XrServiceListener::FAILED, title.c_str());
        }
    }
    if (further != nullptr)
        further->reply_received(status, 0, title, XrString(), service_id, value_a, value_b, payload);
    else
        delete payload;
}

XrServComMessage* XrServiceAggregate::send_request(XrService* service, int value_a, int value_b,
                                                   XrPropertyBag* payload, const XrString* busy_text,
                                                   XrServComClient* further, XrServiceListener* listener)
{
    if (channel == nullptr) {
        delete payload;
        return nullptr;
    }
    XrString host(L"localhost");
    int port = 80;
    if (auto* settings = xr_registered<XrAppSettingsProvider>(L"XrAppSettingsProvider")) {
        host = settings->get_server_address();
        port = settings->get_server_port();
    }
    XrString url;
    url.format(200, L"http://%s:%d/cb/client", host.c_str(), port);
    auto* receiver = new XrServiceAggregateReceiver(this, further, listener, service->get_server_id(), value_a,
                                                    value_b);
    return channel->send_request(url, service->get_server_id(), value_a, value_b, payload, busy_text, receiver);
}

void XrServiceAggregate::cancel_request(XrServComMessage** handle)
{
    if (channel != nullptr && handle != nullptr && *handle != nullptr)
        channel->cancel_request(handle, true, XR_SERVCOM_CANCELLED, nullptr, nullptr);
}

int XrServiceAggregate::get_country_count()
{
    XrMapProvider* maps = map_provider();
    XrAddrAccessor* addr = maps != nullptr ? maps->get_addr_accessor() : nullptr;
    return addr != nullptr ? static_cast<int>(addr->get_country_count()) : 0;
}

void XrServiceAggregate::get_country_name(int index, XrString& name)
{
    XrMapProvider* maps = map_provider();
    XrAddrAccessor* addr = maps != nullptr ? maps->get_addr_accessor() : nullptr;
    if (addr == nullptr || index < 0 || index >= static_cast<int>(addr->get_country_count()))
        return;
    XrString found;
    if (addr->get_country_name(static_cast<unsigned int>(index), found) == XrAddrAccessor::OK)
        name = found;
}

XrStorageConfiguration* XrServiceAggregate::open_configuration(const XrString& path)
{
    auto accessor = std::make_unique<XrFileStorageAccessor>();
    if (!accessor->open(path, false))
        return nullptr;
    auto config = std::make_unique<XrStorageConfiguration>(accessor.release(), L"");
    if (config->open(false) != XrConfiguration::OK)
        return nullptr;
    return config.release();
}

bool XrServiceAggregate::add_timeout(XrEventHandler* handler, int seconds, int milliseconds, int id)
{
    XrEventloopBase* loop = get_event_loop();
    return loop != nullptr &&
           loop->add_timeout(seconds, milliseconds, handler, reinterpret_cast<void*>(static_cast<std::intptr_t>(id)));
}

void XrServiceAggregate::remove_timeout(XrEventHandler* handler, int id)
{
    if (XrEventloopBase* loop = get_event_loop())
        loop->remove_timeout(handler, reinterpret_cast<void*>(static_cast<std::intptr_t>(id)));
}

void XrServiceAggregate::redraw_map()
{
    if (app != nullptr)
        app->redraw_map_window();
}

void XrServiceAggregate::add_service_listener(int type, XrServiceListener* listener)
{
    listeners.emplace_back(type, listener);
}

void XrServiceAggregate::remove_service_listener(int type, XrServiceListener* listener)
{
    listeners.erase(std::remove(listeners.begin(), listeners.end(), std::make_pair(type, listener)),
                    listeners.end());
}

void XrServiceAggregate::notify_service_listeners(XrService* service)
{
    const auto copy = listeners;
    for (const auto& entry : copy)
        if (entry.first == service->get_type())
            entry.second->service_result(XrServiceListener::DONE, nullptr);
}
