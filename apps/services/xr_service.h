// Online services: the base of the traffic and speed-camera services, the
// listener of a user's request, the status record of a service and the
// helper through which a service reaches the rest of the application (the
// service aggregate implements it).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "apps/services/xr_servcom.h"
#include "common/base/xr_memorynotifier.h"
#include "common/container/xr_bytearray.h"
#include "common/container/xr_string.h"
#include "common/corvanel_core/interfaces/xr_appsettingsprovider.h"
#include "common/geometry/xr_point.h"
#include "common/os/xr_eventhandler.h"
#include "common/types/xr_datetime.h"

class XrDijkstraPath2;
class XrLayer;
class XrProjection;
class XrService;
class XrServComMessage;
class XrStorageConfiguration;

// The outcome of a user's request.
class XrServiceListener {
public:
    enum Result { DONE = 0, FAILED = 1, CANCELLED = 2 };
    virtual ~XrServiceListener() = default;
    virtual void service_result(int result, const TCHAR* text) = 0;
};

// A traffic event's stretch of road found in the TMC tables: the path, the
// first location's position on it, the length and the mean extra position,
// the event's running number, the road edges (top bit: against the edge)
// and the point nearest the extra position (when located).
struct XrTmcSegment {
    std::uint16_t path_id = 0;
    std::uint16_t position = 0;
    std::uint16_t length = 0;
    std::uint16_t extra = 0;
    int event = 0;
    std::vector<unsigned int> edges;
    int x = 0;
    int y = 0;
    bool located = false;
};

// What a service reports of itself; the record owns its date.
struct XrServiceStatus {
    int status = 0;
    XrString text;
    int value = 0;
    XrString text2;
    std::unique_ptr<XrDatetime> date;
};

class XrServiceHelper {
public:
    virtual ~XrServiceHelper() = default;

    // Sends payload (taken over) to the service server for the service; the
    // reply comes back through the service's receive_data. Null when there
    // is no channel.
    virtual XrServComMessage* send_request(XrService* service, int value_a, int value_b, XrPropertyBag* payload,
                                           const XrString* busy_text, XrServComClient* further,
                                           XrServiceListener* listener) = 0;
    // Cancels an exchange (its reply comes with status 1); nulls the handle.
    virtual void cancel_request(XrServComMessage** handle) = 0;

    // The country names of the map's address database.
    virtual int get_country_count() = 0;
    // Leaves name unchanged for an index out of range.
    virtual void get_country_name(int index, XrString& name) = 0;

    // An existing REGEDIT4 file opened writable, or null when it is missing
    // or does not parse. The caller owns it.
    virtual XrStorageConfiguration* open_configuration(const XrString& path) = 0;

    // One-shot timeouts on the application's event loop.
    virtual bool add_timeout(XrEventHandler* handler, int seconds, int milliseconds, int id) = 0;
    virtual void remove_timeout(XrEventHandler* handler, int id) = 0;

    virtual void redraw_map() = 0;

    // TMC resolution of a batch of events: begin, add each event (a single
    // location is located at once: true with its position), then resolve;
    // the matched segments stay readable until the next begin.
    virtual void begin_tmc_resolution(int /*events*/) {}
    virtual bool add_tmc_event(const XrString& /*table*/, const std::uint16_t* /*codes*/, int /*count*/,
                               int /*event*/, int& /*x*/, int& /*y*/)
    {
        return false;
    }
    virtual void resolve_tmc_events() {}
    virtual const std::vector<XrTmcSegment>& get_tmc_segments() const
    {
        static const std::vector<XrTmcSegment> none;
        return none;
    }

    // Traffic on the map: one map object per event (category picks its
    // look), road marks by traffic class (reserve first; 0 clears them;
    // mark answers whether the road was newly marked).
    virtual void add_event_object(XrService* /*service*/, std::uint32_t /*id*/, int /*x*/, int /*y*/,
                                  int /*category*/, const XrString& /*text*/)
    {
    }
    virtual void remove_event_object(XrService* /*service*/, std::uint32_t /*id*/) {}
    virtual void reserve_road_marks(int /*count*/) {}
    virtual bool mark_road(unsigned int /*gid*/, bool /*along*/, int /*cls*/) { return false; }
    virtual void unmark_road(unsigned int /*gid*/) {}

    // Routing: a penalty on a road for one search (-1 closes it).
    virtual void add_edge_penalty(XrDijkstraPath2* /*search*/, unsigned int /*gid*/, int /*penalty*/) {}
    // The current map position; false without one.
    virtual bool get_position(XrPoint& /*at*/) { return false; }
    // The current route: whether there is one, whether a road lies on it,
    // a new search from the position, and a sound played to the driver
    // ("tf_warning.wav" and the like).
    virtual bool has_route() { return false; }
    virtual bool road_on_route(unsigned int /*gid*/) { return false; }
    virtual void request_reroute() {}
    virtual void play_sound(const TCHAR* /*name*/) {}

    // The MD5 digest of the bytes as 32 lower-case hexadecimal characters
    // (out holds 33 with the terminator).
    static void compute_md5_hex(const XrByteArray& bytes, char out[33]);
    static void compute_md5_hex(const BYTE* bytes, std::size_t length, char out[33]);
    // True when text is exactly the 32-character digest of the bytes.
    static bool check_md5_hex(const BYTE* bytes, std::size_t length, const XrString& text);
};

class XrService : public XrMemoryNotifierClient, public XrEventHandler, public XrAppSettingsListener {
public:
    // The outcome of an exchange given to receive_data.
    enum Status { SUCCEEDED = 0, CANCELLED = 1, FAILED = 2 };
    enum Type { TYPE_TRAFFIC = 2, TYPE_SPEEDCAM = 3 };

    ~XrService() override = default;

    // The service's storage exists; false when the service cannot work.
    virtual bool configure(XrServiceHelper* helper, XrProjection* projection) = 0;
    // The user asks for fresh data; returns 1.
    virtual int request(const XrString* text, XrServComClient* further, XrServiceListener* listener) = 0;
    virtual int get_type() const = 0;
    // A new record, the caller's.
    virtual XrServiceStatus* get_status() = 0;
    // True when the service took the routing request over.
    virtual bool route_request(XrDijkstraPath2* /*search*/, const XrPoint& /*start*/, const XrPoint& /*end*/)
    {
        return false;
    }
    virtual void route_event() {}
    virtual void refresh(int /*a*/, int /*b*/) {}
    // The end of an exchange; payload (may be null) stays the caller's.
    virtual void receive_data(int value_a, int value_b, Status status, const XrString* title,
                              XrPropertyBag* payload, XrServiceListener* listener) = 0;
    virtual int get_server_id() const = 0;
    // The service's map layer and its position (preset to 1000), or null.
    virtual XrLayer* get_layer(int* /*position*/) { return nullptr; }
    virtual void set_active(bool /*active*/) {}

    const XrString& get_name() const { return name; }

    // XrMemoryNotifierClient, XrAppSettingsListener
    void free_memory() override {}
    void settings_changed() override {}

protected:
    XrString name;
};
