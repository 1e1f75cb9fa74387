// XrTrafficService: keeps the traffic data of the map's countries up to
// date. Per country it holds the data file "?:\kestrova\trafficdata_<code>.bin"
// and a penalty; it asks the service server for each country in turn (the
// header value of the file says which version it holds), applies the
// reply (a GDIFF difference checked by its digest, or "nothing newer"),
// keeps a status of how fresh the data is and refreshes on a timer.
#pragma once

#include <deque>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "apps/services/xr_service.h"
#include "apps/services/xr_trafficinfo.h"
#include "apps/services/xr_trafficpenalty.h"

class XrTrafficService : public XrService {
public:
    // Request values of an exchange.
    static constexpr int REQUEST_A = 2;
    static constexpr int REQUEST_B = 1;
    // Keys of the request and reply bags.
    static constexpr int KEY_HEADER = 0;   // request: the file's header value
    static constexpr int KEY_CODE = 1;     // request and reply: the country code
    static constexpr int KEY_KIND = 0;     // reply: 1 nothing newer, else data
    static constexpr int KEY_LANGUAGE = 2; // reply
    static constexpr int KEY_DATA = 3;     // reply: the difference
    static constexpr int KEY_DIGEST = 4;   // reply: MD5 of the new file (optional)
    static constexpr int KIND_UP_TO_DATE = 1;

    // Timer ids.
    enum { TIMER_REFRESH = 1, TIMER_HOUSEKEEPING = 3, TIMER_ANIMATION = 4 };
    // Status values.
    enum { STATUS_CURRENT = 1, STATUS_FAILED = 2, STATUS_OLD = 3 };
    // A file younger than this is current.
    static constexpr int FRESH_SECONDS = 1800;

    // One resolved event: its road edges (top bit: against the edge), its
    // centre in map units ((0, 0) unknown), its penalty code and times.
    struct Event {
        std::uint8_t revision = 0;
        std::vector<std::uint32_t> edges;
        int x = 0;
        int y = 0;
        std::int32_t penalty_code = 0;
        bool fades = false;
        std::uint32_t end_time = 0;
        std::uint32_t start_time = 0;
    };

    struct Country {
        XrString code;
        std::unique_ptr<XrTrafficInfoFile> file;
        std::unique_ptr<XrTrafficPenalty> own_penalty;
        XrTrafficPenalty* penalty = nullptr; // own or the shared default
        // The file's (id, revision) pairs in index order, the resolved
        // events by id, the ids new or changed in the last update and the
        // listed events whose end has passed.
        std::vector<XrTrafficInfoEvent> ids;
        std::unordered_map<std::uint32_t, std::unique_ptr<Event>> events;
        std::unordered_set<std::uint32_t> fresh;
        int expired = 0;
    };

    XrTrafficService();
    ~XrTrafficService() override;

    bool configure(XrServiceHelper* helper, XrProjection* projection) override;
    int request(const XrString* text, XrServComClient* further, XrServiceListener* listener) override;
    int get_type() const override { return TYPE_TRAFFIC; }
    XrServiceStatus* get_status() override;
    void refresh(int a, int b) override;
    // Adds the penalties of the resolved events to a route search (when
    // route searches use traffic); never takes the search over.
    bool route_request(XrDijkstraPath2* search, const XrPoint& start, const XrPoint& end) override;
    // The route changed: after a reroute asked for by traffic, the new route
    // is announced when it leaves the roads of the events that caused it.
    void route_event() override;
    void receive_data(int value_a, int value_b, Status status, const XrString* title, XrPropertyBag* payload,
                      XrServiceListener* listener) override;
    int get_server_id() const override { return 2; }
    void set_active(bool value) override;

    // XrEventHandler: the timers.
    void execute(XrEventloopBase* loop, void* data) override;
    // XrAppSettingsListener
    void settings_changed() override;

    // The platform path of a country's data file.
    static XrString data_path(const XrString& code);

    int get_status_value() const { return status; }
    const XrString& get_message() const { return message; }
    bool is_request_in_flight() const { return request_in_flight; }
    std::size_t queued_requests() const { return queue.size(); }
    const std::vector<std::unique_ptr<Country>>& get_countries() const { return countries; }
    Country* find_country(const XrString& code) const;
    // Freshness of a country's file: 1 current, 3 old, 4 missing.
    static int freshness(const Country& country);
    void recompute_status();

    // Events of the countries (resolved, on the map and on the roads).
    // The number of events of a country code less its expired ones; every
    // country's without a code.
    int count_events(const XrString* code);
    // Drops the events whose end has passed: their marks and objects go.
    void expire_events(std::int64_t now);
    // The index-th event by straight-line distance from a position (in index
    // order, distances 0, when the position is (0, 0)); false past the list
    // or while traffic is off. The list is kept for the position.
    bool event_by_distance(int index, const XrPoint& position, std::uint32_t& id, std::uint32_t& distance);
    // Events on the current route: each is warned of once (its category's
    // sound); when one of them slows the route and searches use traffic, a
    // new route is asked for.
    void check_route();
    bool is_reroute_pending() const { return reroute_pending; }
    // Seconds before a failed exchange is tried again.
    static constexpr int RETRY_SECONDS = 30;
    // The weight (percent) of an event for a car at a position.
    static int event_weight(const Country& country, const Event& event, const XrPoint& at, std::int64_t now);

private:
    struct PendingRequest {
        Country* country;
        XrString busy_text;
        XrServComClient* further;
        XrServiceListener* listener;
    };

    void apply_settings(bool enabled_now);
    void sync_countries();
    void clear_all();
    void send(const PendingRequest& pending);
    void send_next();
    // Ends the round after a failed or cancelled exchange: the waiting
    // requests are dropped, so that the next refresh can start a new one.
    void end_round();
    void apply_update(const XrByteArray& blob, const XrString* digest, const XrString& code,
                      XrServiceListener* listener);
    // After the country's file changed: the events listed now, those gone
    // or changed removed with their objects, new ones decoded and resolved
    // (expired ones dropped); answers the number of new or changed events.
    int rebuild_events(Country& country, std::int64_t now);
    // Resolves the events of the fresh set: TMC locations through the
    // aggregate, else the coordinates of the record.
    void resolve_fresh(Country& country);
    void compute_penalties(Country& country);
    // Map objects for the country's events (only the fresh ones).
    void refresh_icons(Country& country, bool only_fresh);
    // Marks every resolved event's roads by its traffic class.
    void rebuild_marks();
    void remove_event(Country& country, std::uint32_t id);
    void remove_country_events(Country& country);
    // The centre of a record's coordinates in map units; (0, 0) when none.
    bool centre_of(const XrTrafficInfoParams& record, int& x, int& y) const;
    void arm(int id, int seconds, int milliseconds = 0);
    void disarm(int id);
    // Refresh timer; at least min_seconds ahead.
    void arm_refresh(int min_seconds = 0);
    // The roads of penalised events that lie on the current route.
    std::vector<std::uint32_t> penalised_roads_on_route() const;

    XrServiceHelper* helper = nullptr;
    XrProjection* projection = nullptr;
    struct EventDistance {
        std::uint32_t distance;
        std::uint32_t id;
    };
    std::vector<EventDistance> by_distance;
    XrPoint by_distance_at;
    bool by_distance_valid = false;
    bool reroute_pending = false;
    std::vector<std::uint32_t> jam_roads; // slowed roads of the route before a reroute
    std::unordered_set<std::uint32_t> warned; // events on the route warned of
    bool request_in_flight = false;
    std::vector<std::unique_ptr<Country>> countries;
    std::unique_ptr<XrTrafficPenalty> default_penalty;
    bool default_penalty_tried = false;
    int refresh_minutes = 0;
    int status = STATUS_CURRENT;
    bool enabled = false;
    bool routing_option = false;
    bool configured = false;
    XrString message;
    bool active = true;
    std::deque<PendingRequest> queue;
    XrServComMessage* pending = nullptr;
};
