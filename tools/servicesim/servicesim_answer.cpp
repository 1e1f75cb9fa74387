// servicesim-answer: the reply of the loopback service server to one ServCom
// request (the compressed request body on standard input, the reply body on
// standard output), made with the mapgen writers from a scenario file.
//
//   servicesim-answer SCENARIO STATEDIR SECONDS [MAPDIR] < request > reply
//
// SECONDS: the time since the server started. The scenario has one command
// a line ("#" lines and empty lines aside):
//   T event ID LAT LON CODE DELAY NAME...  an event from second T (coordinates,
//                                          event code CODE, DELAY minutes)
//   T jam ID LAT LON CODE DELAY NAME...    an event on the road at the place
//                                          (needs MAPDIR): the TMC locations
//                                          of the road's nearest junction and
//                                          the next one along it, each way the
//                                          road is driven (the way back as
//                                          event ID + 65536)
//   T expire ID                            the event ends at second T (its
//                                          records end then)
//   T camera LAT LON [LIMIT]               a speed camera from second T (placed
//                                          by the projection of MAPDIR); with
//                                          a speed limit (km/h) it is a fixed
//                                          camera of that limit (alert kind 1)
//   fail N                                 the first N requests get an error
// Service 99 answers with the request's own payload (an echo).
// Traffic: the country's file holds the events begun and not ended; its
// version (header value) is the number of scenario lines passed. A request
// holding that version gets "nothing newer", else a GDIFF difference from
// the version it holds (kept in STATEDIR) with the new file's digest.
// Speed cameras: a check gets the digest of the camera set, a download the
// set as an extension file with a POI set.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <cmath>
#include <ctime>

#include <zlib.h>

#include "apps/apps_common/xr_tmclayout.h"
#include "common/container/xr_bytes.h"
#include "common/geometry/xr_projection.h"

#include "apps/services/xr_servcomlayout.h"
#include "apps/services/xr_service.h"
#include "common/ber/xr_propertybag.h"
#include "common/db/xr_datasource.h"
#include "common/storage/xr_storageaccessor.h"
#include "tools/mapgen/extension_writer.h"
#include "tools/mapgen/gdiff_writer.h"
#include "tools/mapgen/servcom_writer.h"
#include "tools/mapgen/trafficdata_writer.h"
#include "tools/mapgen/xrqt_writer.h"

namespace S = xr_servcom_layout;

namespace {

struct Event {
    std::uint32_t id = 0;
    bool on_road = false;
    double lat = 0, lon = 0;
    int code = 101;
    int delay = 0;
    std::string name;
    long begin = 0;
    long end = -1; // -1: not ended
};

struct Camera {
    double lat = 0, lon = 0;
    int limit = 0; // km/h; 0: a plain point without alert kind
};

struct Scenario {
    std::map<std::uint32_t, Event> events;
    // Wall-clock second of the server's start, and the second at which an
    // event is to end (the records carry it as their end time).
    long long started = 0;
    std::map<std::uint32_t, long> ends;
    std::vector<Camera> cameras;
    std::uint32_t version = 1;
    int fail = 0;
};

Scenario read_scenario(const std::string& path, long now)
{
    Scenario s;
    s.started = static_cast<long long>(std::time(nullptr)) - now;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line);
        std::string first;
        if (!(words >> first) || first[0] == '#')
            continue;
        if (first == "fail") {
            words >> s.fail;
            continue;
        }
        const long at = std::stol(first);
        if (at > now) {
            std::string what;
            std::uint32_t id = 0;
            if (words >> what >> id && what == "expire")
                s.ends.emplace(id, at);
            continue;
        }
        ++s.version;
        std::string what;
        words >> what;
        if (what == "event") {
            Event e;
            words >> e.id >> e.lat >> e.lon >> e.code >> e.delay;
            std::getline(words >> std::ws, e.name);
            e.begin = at;
            s.events[e.id] = e;
        } else if (what == "jam") {
            Event e;
            e.on_road = true;
            words >> e.id >> e.lat >> e.lon >> e.code >> e.delay;
            std::getline(words >> std::ws, e.name);
            e.begin = at;
            s.events[e.id] = e;
        } else if (what == "expire") {
            std::uint32_t id = 0;
            words >> id;
            s.events.erase(id);
        } else if (what == "camera") {
            Camera c;
            words >> c.lat >> c.lon;
            if (!(words >> c.limit))
                c.limit = 0;
            s.cameras.push_back(c);
        }
    }
    return s;
}

std::vector<BYTE> read_all(std::istream& in)
{
    return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<BYTE> inflate_all(const std::vector<BYTE>& packed)
{
    std::vector<BYTE> out(packed.size() * 8 + 1024);
    for (;;) {
        uLongf size = out.size();
        const int rc = uncompress(out.data(), &size, packed.data(), packed.size());
        if (rc == Z_OK) {
            out.resize(size);
            return out;
        }
        if (rc != Z_BUF_ERROR || out.size() > (64u << 20))
            return {};
        out.resize(out.size() * 4);
    }
}

std::string md5(const std::vector<BYTE>& bytes)
{
    char hex[33];
    XrServiceHelper::compute_md5_hex(bytes.data(), bytes.size(), hex);
    return hex;
}

std::string narrow(const XrString& s)
{
    std::string out;
    for (const TCHAR* p = s.c_str(); *p != 0; ++p)
        out.push_back(static_cast<char>(*p));
    return out;
}

XrString wide(const std::string& s)
{
    return XrString(std::wstring(s.begin(), s.end()).c_str());
}

std::vector<BYTE> reply_body(int service, int a, int b, XrPropertyBag* payload)
{
    XrPropertyBag bag;
    bag.add_int(S::KEY_SERVICE_ID, service);
    bag.add_int(S::KEY_VALUE_A, a);
    bag.add_int(S::KEY_VALUE_B, b);
    bag.add_bool(S::KEY_SUCCESS, payload != nullptr);
    if (payload != nullptr) {
        bag.add_bag(S::KEY_PAYLOAD, payload);
    } else {
        bag.add_string(S::KEY_TITLE, XrString(L"Service unavailable"));
        bag.add_string(S::KEY_MESSAGE, XrString(L"The scenario refuses this request"));
    }
    XrByteArray encoding;
    bag.encode(encoding);
    const BYTE* p = encoding.get_items();
    return servcom_reply_body(std::vector<BYTE>(p, p + encoding.get_num_items()));
}

// The map's TMC locations (key, position) and their path entries (path,
// position along it), read from its two tables.
struct TmcMap {
    struct Location {
        std::uint32_t key;
        std::int32_t x, y;
    };
    std::vector<Location> locations;
    std::map<std::uint32_t, std::vector<std::pair<std::uint16_t, std::uint16_t>>> entries;
    std::unique_ptr<XrProjection> projection;
};

std::uint32_t u32_at(const std::vector<BYTE>& b, std::size_t at)
{
    return at + 4 <= b.size() ? xr_bytes::get_u32_le(b.data() + at) : 0;
}

// The projection named in the map folder's "mapdata.ini"; null without one.
std::unique_ptr<XrProjection> read_projection(const std::string& folder)
{
    std::unique_ptr<XrProjection> projection;
    std::ifstream ini_in(folder + "/mapdata.ini");
    std::string line;
    while (std::getline(ini_in, line))
        if (line.rfind("projection=", 0) == 0) {
            while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
                line.pop_back();
            projection.reset(create_projection(wide(line.substr(11))));
        }
    return projection;
}

TmcMap read_tmc_map(const std::string& folder)
{
    namespace T = xr_tmc_layout;
    TmcMap m;
    m.projection = read_projection(folder);
    std::ifstream loc_in(folder + "/tmc_locations.bin", std::ios::binary);
    const std::vector<BYTE> loc = read_all(loc_in);
    const std::uint32_t n = u32_at(loc, 0);
    if (n > 0 && 4 + 4 * static_cast<std::size_t>(n) <= loc.size()) {
        std::size_t at = u32_at(loc, 4);
        while (at + 5 <= loc.size()) {
            const std::uint32_t key = u32_at(loc, at);
            const std::size_t count = loc[at + 4];
            const std::size_t xy = at + 5 + 4 * count;
            if (xy + 8 > loc.size())
                break;
            m.locations.push_back({key, T::coordinate(u32_at(loc, xy)), T::coordinate(u32_at(loc, xy + 4))});
            at = xy + 8;
        }
    }
    std::ifstream paths_in(folder + "/tmc_paths.bin", std::ios::binary);
    const std::vector<BYTE> paths = read_all(paths_in);
    const std::uint32_t buckets = u32_at(paths, 0);
    if (buckets > 0 && 8 + 4 * static_cast<std::size_t>(buckets) <= paths.size()) {
        const std::size_t first = u32_at(paths, T::BUCKET_OFFSETS);
        const std::size_t end = u32_at(paths, T::BUCKET_OFFSETS + T::OFFSET_SIZE * buckets);
        for (std::size_t at = first; at + T::BUCKET_ENTRY_SIZE <= end && end <= paths.size();
             at += T::BUCKET_ENTRY_SIZE) {
            const std::uint32_t key = u32_at(paths, at);
            const std::size_t record = u32_at(paths, at + T::BUCKET_RECORD);
            if (record >= paths.size())
                continue;
            const std::size_t count = paths[record];
            for (std::size_t i = 0; i < count; ++i) {
                const std::size_t e = record + T::RECORD_HEAD + T::RECORD_ENTRY_SIZE * i;
                const std::uint32_t v = u32_at(paths, e);
                m.entries[key].emplace_back(static_cast<std::uint16_t>(v >> 16), static_cast<std::uint16_t>(v & 0xFFFF));
            }
        }
    }
    return m;
}

// The event's stretches of road: (from key, to key) for the nearest
// location and the next one along each path through it.
std::vector<std::pair<std::uint32_t, std::uint32_t>> road_at(const TmcMap& m, double lat, double lon)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
    int px = 0, py = 0;
    if (!m.projection || m.locations.empty() || !m.projection->to_map(lon, lat, px, py))
        return out;
    const TmcMap::Location* nearest = nullptr;
    double best = 0;
    for (const auto& l : m.locations) {
        const double d = std::hypot(static_cast<double>(l.x) - px, static_cast<double>(l.y) - py);
        if (nearest == nullptr || d < best) {
            nearest = &l;
            best = d;
        }
    }
    auto it = m.entries.find(nearest->key);
    if (it == m.entries.end())
        return out;
    for (const auto& [path, position] : it->second)
        for (const auto& [key, list] : m.entries)
            for (const auto& [p2, pos2] : list)
                if (p2 == path && pos2 == position + 1)
                    out.emplace_back(nearest->key, key);
    return out;
}

// An event that the scenario ends later carries its start and end time.
void set_times(const Scenario& s, const Event& e, XrTrafficRecordDef& r)
{
    auto end = s.ends.find(e.id);
    if (end == s.ends.end())
        return;
    r.start = static_cast<std::uint32_t>(s.started + e.begin);
    r.end = static_cast<std::uint32_t>(s.started + end->second);
}

std::vector<BYTE> traffic_file(const Scenario& s, const std::string& code, const TmcMap& tmc)
{
    XrTrafficFileDef f;
    f.header_value = s.version;
    f.country = code.substr(0, 3);
    f.penalty = XrTrafficPenaltyDef{50, 80, 150, {{1, 100, 10}, {2, 50, 5}}, {}};
    for (const auto& [id, e] : s.events) {
        if (e.on_road) {
            std::uint32_t next_id = id;
            for (const auto& [from, to] : road_at(tmc, e.lat, e.lon)) {
                XrTrafficRecordDef r;
                r.event_id = next_id;
                next_id += 65536;
                r.revision = 1;
                r.flags = xr_trafficdata_layout::FLAG_TMC | xr_trafficdata_layout::FLAG_COORDINATES;
                r.name = e.name;
                r.items = {{1, static_cast<std::uint16_t>(e.code), 0, e.delay > 0 ? "Q05" : "",
                            static_cast<double>(e.delay)}};
                r.tmc_table = static_cast<std::uint16_t>(from >> 16);
                r.tmc_codes = {static_cast<std::uint16_t>(from & 0xFFFF), static_cast<std::uint16_t>(to & 0xFFFF)};
                r.points = {{traffic_coordinate(e.lon), traffic_coordinate(e.lat)}};
                set_times(s, e, r);
                f.records.push_back(r);
            }
            continue;
        }
        XrTrafficRecordDef r;
        r.event_id = id;
        r.revision = 1;
        r.flags = xr_trafficdata_layout::FLAG_COORDINATES;
        r.name = e.name;
        r.items = {{1, static_cast<std::uint16_t>(e.code), 0, e.delay > 0 ? "Q05" : "", static_cast<double>(e.delay)}};
        r.points = {{traffic_coordinate(e.lon), traffic_coordinate(e.lat)}};
        set_times(s, e, r);
        f.records.push_back(r);
    }
    return build_traffic_file(f);
}

XrPropertyBag* traffic_reply(const Scenario& s, const std::string& state, const TmcMap& tmc, XrPropertyBag* request)
{
    std::int32_t header = 0;
    XrString code_text;
    if (request == nullptr || request->get_int(0, 0, header) != 0 || request->get_string(1, 0, code_text) != 0)
        return nullptr;
    const std::string code = narrow(code_text);
    auto* payload = new XrPropertyBag();
    payload->add_string(1, code_text);
    payload->add_string(2, XrString(L"ENG"));
    if (static_cast<std::uint32_t>(header) == s.version) {
        payload->add_int(0, 1);
        return payload;
    }
    const std::vector<BYTE> now = traffic_file(s, code, tmc);
    std::ofstream(state + "/" + code + "_" + std::to_string(s.version) + ".bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(now.data()), static_cast<std::streamsize>(now.size()));
    std::ifstream held(state + "/" + code + "_" + std::to_string(header) + ".bin", std::ios::binary);
    const std::vector<BYTE> old = header != 0 && held ? read_all(held) : std::vector<BYTE>();
    auto* blob = new XrByteArray();
    const std::vector<BYTE> diff = make_gdiff(old, now);
    blob->set(diff.data(), static_cast<int>(diff.size()));
    payload->add_int(0, 2);
    payload->add_blob(3, blob);
    payload->add_string(4, wide(md5(now)));
    return payload;
}

// The cameras as a POI set; their points in the map's units when the map's
// projection is known, else in degrees times 100000.
std::vector<BYTE> camera_set(const Scenario& s, const std::string& state, const XrProjection* projection)
{
    std::vector<std::unique_ptr<XrTextGeomRec>> records;
    int id = 1;
    for (const Camera& c : s.cameras) {
        const std::string text =
            c.limit > 0 ? "<t1@" + std::to_string(c.limit) + ">Speed camera" : std::string("Speed camera");
        int x = static_cast<int>(c.lon * 100000), y = static_cast<int>(c.lat * 100000);
        if (projection != nullptr && !projection->to_map(c.lon, c.lat, x, y))
            continue;
        records.push_back(std::make_unique<XrTextGeomRec>(id++, x, y, 0, 0, text.c_str()));
    }
    std::vector<XrGeomRec*> pointers;
    for (auto& r : records)
        pointers.push_back(r.get());
    const std::string qt = state + "/speedcams.qt";
    std::string error;
    std::vector<BYTE> geometry;
    if (write_xrqt(qt, pointers, XrGeomFileOptions(), error)) {
        std::ifstream in(qt, std::ios::binary);
        geometry = read_all(in);
    }
    const std::string poi = "REGEDIT4\r\n[\\data]\r\n0=Speed cameras\r\ndata=speedcams.qt\r\ninternal_type=1\r\n";
    XrExtensionFileDef def;
    def.items = {{"e:/poi/speedcams/speedcams.poi", std::vector<BYTE>(poi.begin(), poi.end())},
                 {"e:/poi/speedcams/speedcams.qt", geometry}};
    return build_extension_file(def);
}

XrPropertyBag* camera_reply(const Scenario& s, const std::string& state, int a, const XrProjection* projection)
{
    const std::vector<BYTE> set = camera_set(s, state, projection);
    auto* data = new XrPropertyBag();
    if (a == 1) {
        data->add_string(1, wide(md5(set)));
    } else {
        auto* blob = new XrByteArray();
        blob->set(set.data(), static_cast<int>(set.size()));
        data->add_blob(2, blob);
    }
    auto* payload = new XrPropertyBag();
    payload->add_bag(0, data);
    return payload;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: servicesim-answer SCENARIO STATEDIR SECONDS [MAPDIR] < request > reply\n");
        return 2;
    }
    const std::string state = argv[2];
    const Scenario s = read_scenario(argv[1], std::stol(argv[3]));
    const std::vector<BYTE> body = inflate_all(read_all(std::cin));
    XrPropertyBag request;
    XrMemoryStorageAccessor input(true, const_cast<BYTE*>(body.data()), static_cast<std::uint32_t>(body.size()), false);
    std::int32_t service = 0, a = 0, b = 0;
    if (body.empty() || request.decode(&input) != 0 || request.get_int(S::KEY_SERVICE_ID, 0, service) != 0 ||
        request.get_int(S::KEY_VALUE_A, 0, a) != 0 || request.get_int(S::KEY_VALUE_B, 0, b) != 0) {
        std::fprintf(stderr, "servicesim-answer: not a ServCom request\n");
        return 1;
    }
    // Requests counted in the state folder, for "fail N".
    int served = 0;
    {
        std::ifstream count(state + "/served");
        count >> served;
    }
    std::ofstream(state + "/served") << served + 1;
    XrPropertyBag* payload_in = nullptr;
    request.get_bag(S::KEY_PAYLOAD, 0, payload_in);
    XrPropertyBag* payload = nullptr;
    if (served >= s.fail) {
        if (service == 2)
            payload = traffic_reply(s, state, argc == 5 ? read_tmc_map(argv[4]) : TmcMap(), payload_in);
        else if (service == 4)
            payload = camera_reply(s, state, a, argc == 5 ? read_projection(argv[4]).get() : nullptr);
        else if (service == 99)
            request.get_bag(S::KEY_PAYLOAD, 0, payload, true);
    }
    const std::vector<BYTE> reply = reply_body(service, a, b, payload);
    std::fwrite(reply.data(), 1, reply.size(), stdout);
    std::fprintf(stderr, "servicesim: service %d request %d/%d answered with %zu bytes\n", service, a, b,
                 reply.size());
    return 0;
}
