// XrServiceAggregate: the owner of the online services. It creates them when
// a map opens (each with a geometry storage of its own in the map and, when
// the service has one, a map layer), sends their requests over the service
// channel and routes each reply back to the service that asked, and is the
// services' window onto the application (XrServiceHelper). It also takes
// the route provider's online-routing questions (XrRouteServices).
#pragma once

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "apps/services/xr_service.h"
#include "common/container/xr_ptrarray.h"
#include "common/corvanel_core/interfaces/xr_mapprovider.h"
#include "common/corvanel_core/interfaces/xr_routeprovider.h"

class XrEventloopBase;
class XrLineLabelLayer;
class XrMapLayer;
class XrNaviApp;
class XrSpeedCamService;
class XrTmcTableFile;

class XrServiceAggregate : public XrServiceHelper,
                           public XrServComClient,
                           public XrMapListener,
                           public XrRouteServices {
public:
    // Scale limit of the services' storages.
    static constexpr int STORAGE_SCALE_LIMIT = 5000000;
    // Position a service's layer gets unless the service names another.
    static constexpr int DEFAULT_LAYER_POSITION = 1000;

    XrServiceAggregate();
    ~XrServiceAggregate() override;
    XrServiceAggregate(const XrServiceAggregate&) = delete;
    XrServiceAggregate& operator=(const XrServiceAggregate&) = delete;

    void set_app(XrNaviApp* app);

    // Acquires the channel on first use, creates the services and gives
    // each its storage, configuration and layer.
    void initialize_services(XrProjection* projection);
    // Removes the services' layers and deletes the services.
    void destroy_services();

    XrService* find_service(int type) const;
    int call_service(int type, const XrString* text, XrServComClient* further, XrServiceListener* listener);
    void notify_services(int a, int b);
    int get_service_count() const { return services.get_num_items(); }
    XrService* get_service(int index) const { return services.get_item(index); }

    // The end of an exchange made for a service with the server id:
    // service_id picks the service; the payload is passed on to further or
    // deleted.
    void route_reply(int status, const XrString& title, int service_id, int value_a, int value_b,
                     XrPropertyBag* payload, XrServComClient* further, XrServiceListener* listener);

    // Listeners told (result 0) when a service of their type has new data.
    void add_service_listener(int type, XrServiceListener* listener);
    void remove_service_listener(int type, XrServiceListener* listener);
    void notify_service_listeners(XrService* service);

    // XrRouteServices
    bool dispatch_route_request(XrDijkstraPath2* search, const XrPoint& start, const XrPoint& end) override;
    void route_changed() override;

    // XrMapListener
    void map_initialized() override;
    void map_closing() override;

    // XrServiceHelper
    XrServComMessage* send_request(XrService* service, int value_a, int value_b, XrPropertyBag* payload,
                                   const XrString* busy_text, XrServComClient* further,
                                   XrServiceListener* listener) override;
    void cancel_request(XrServComMessage** handle) override;
    int get_country_count() override;
    void get_country_name(int index, XrString& name) override;
    XrStorageConfiguration* open_configuration(const XrString& path) override;
    bool add_timeout(XrEventHandler* handler, int seconds, int milliseconds, int id) override;
    void remove_timeout(XrEventHandler* handler, int id) override;
    void redraw_map() override;
    void begin_tmc_resolution(int events) override;
    bool add_tmc_event(const XrString& table, const std::uint16_t* codes, int count, int event, int& x,
                       int& y) override;
    void resolve_tmc_events() override;
    const std::vector<XrTmcSegment>& get_tmc_segments() const override { return tmc_segments; }
    void add_event_object(XrService* service, std::uint32_t id, int x, int y, int category,
                          const XrString& text) override;
    void remove_event_object(XrService* service, std::uint32_t id) override;
    void reserve_road_marks(int count) override;
    bool mark_road(unsigned int gid, bool along, int cls) override;
    void unmark_road(unsigned int gid) override;
    void add_edge_penalty(XrDijkstraPath2* search, unsigned int gid, int penalty) override;
    bool has_route() override;
    bool road_on_route(unsigned int gid) override;
    void request_reroute() override;
    void play_sound(const TCHAR* name) override;

    // Radius in pixels of an event's object on the map.
    static constexpr int EVENT_RADIUS = 9;
    // The layer of the traffic events' objects (null before the first).
    XrMapLayer* get_event_layer() const { return event_layer.get(); }
    int get_event_object_count() const { return static_cast<int>(event_objects.size()); }
    // The road layer's traffic value of a road (0: not marked).
    int get_road_mark(unsigned int gid);

    XrServCom* get_channel() const { return channel; }

protected:
    // The service channel with one reference for the aggregate; the
    // application's by default.
    virtual XrServCom* acquire_channel();
    // The services a map gets, in their order.
    virtual void create_services();
    // The event loop of the timeouts, or null.
    virtual XrEventloopBase* get_event_loop();
    void add_service(XrService* service) { services.append(service); }

private:
    XrMapProvider* map_provider();
    // Gives the service its storage in the map's POI geometry; false when
    // the map has none.
    bool create_storage(XrService* service);
    void remove_storage(XrService* service);

    XrLineLabelLayer* road_labels();
    void drop_event_objects();
    std::unique_ptr<XrMapLayer> event_layer;
    std::unordered_map<std::uint32_t, int> event_objects; // event id -> object id

    XrServCom* channel = nullptr;
    XrNaviApp* app = nullptr;
    XrPtrArray<XrService*> services{8, 8};
    XrProjection* projection = nullptr;
    std::vector<std::pair<int, XrServiceListener*>> listeners;

    // The map's TMC tables, opened on first use.
    bool open_tmc_tables();
    struct TmcLocationRef {
        std::uint32_t key;
        std::uint32_t group;  // bucket group of the key
        int event;            // running number
        std::int64_t offset;  // of the path record, -1 when none
    };
    struct TmcEventRef {
        std::uint16_t table;
        int first_code; // index into tmc_codes
        int count;
    };
    std::unique_ptr<XrTmcTableFile> tmc_tables;
    bool tmc_resolving = false;
    std::vector<TmcLocationRef> tmc_locations;
    std::vector<TmcEventRef> tmc_events;
    std::vector<std::uint16_t> tmc_codes;
    std::vector<int> tmc_event_numbers; // the caller's, by event
    std::vector<XrString> tmc_countries;
    std::vector<XrTmcSegment> tmc_segments;
};
