// servicesim-answer: the reply of the loopback service server to one ServCom
// request (the compressed request body on standard input, the reply body on
// standard output), made with the mapgen writers from a scenario file.
//
//   servicesim-answer SCENARIO STATEDIR SECONDS < request > reply
//
// SECONDS: the time since the server started. The scenario has one command
// a line ("#" lines and empty lines aside):
//   T event ID LAT LON CODE DELAY NAME...  an event from second T (coordinates,
//                                          event code CODE, DELAY minutes)
//   T expire ID                            the event ends at second T
//   T camera LAT LON                       a speed camera from second T
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

#include <zlib.h>

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
    double lat = 0, lon = 0;
    int code = 101;
    int delay = 0;
    std::string name;
    long begin = 0;
    long end = -1; // -1: not ended
};

struct Camera {
    double lat = 0, lon = 0;
};

struct Scenario {
    std::map<std::uint32_t, Event> events;
    std::vector<Camera> cameras;
    std::uint32_t version = 1;
    int fail = 0;
};

Scenario read_scenario(const std::string& path, long now)
{
    Scenario s;
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
        if (at > now)
            continue;
        ++s.version;
        std::string what;
        words >> what;
        if (what == "event") {
            Event e;
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

std::vector<BYTE> traffic_file(const Scenario& s, const std::string& code)
{
    XrTrafficFileDef f;
    f.header_value = s.version;
    f.country = code.substr(0, 3);
    f.penalty = XrTrafficPenaltyDef{50, 80, 150, {{1, 100, 10}, {2, 50, 5}}, {}};
    for (const auto& [id, e] : s.events) {
        XrTrafficRecordDef r;
        r.event_id = id;
        r.revision = 1;
        r.flags = xr_trafficdata_layout::FLAG_COORDINATES;
        r.name = e.name;
        r.items = {{1, static_cast<std::uint16_t>(e.code), 0, e.delay > 0 ? "Q05" : "", static_cast<double>(e.delay)}};
        r.points = {{traffic_coordinate(e.lon), traffic_coordinate(e.lat)}};
        f.records.push_back(r);
    }
    return build_traffic_file(f);
}

XrPropertyBag* traffic_reply(const Scenario& s, const std::string& state, XrPropertyBag* request)
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
    const std::vector<BYTE> now = traffic_file(s, code);
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

std::vector<BYTE> camera_set(const Scenario& s, const std::string& state)
{
    std::vector<std::unique_ptr<XrTextGeomRec>> records;
    int id = 1;
    for (const Camera& c : s.cameras)
        records.push_back(std::make_unique<XrTextGeomRec>(id++, static_cast<int>(c.lon * 100000),
                                                          static_cast<int>(c.lat * 100000), 0, 0, "Speed camera"));
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

XrPropertyBag* camera_reply(const Scenario& s, const std::string& state, int a)
{
    const std::vector<BYTE> set = camera_set(s, state);
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
    if (argc != 4) {
        std::fprintf(stderr, "usage: servicesim-answer SCENARIO STATEDIR SECONDS < request > reply\n");
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
            payload = traffic_reply(s, state, payload_in);
        else if (service == 4)
            payload = camera_reply(s, state, a);
        else if (service == 99)
            request.get_bag(S::KEY_PAYLOAD, 0, payload, true);
    }
    const std::vector<BYTE> reply = reply_body(service, a, b, payload);
    std::fwrite(reply.data(), 1, reply.size(), stdout);
    std::fprintf(stderr, "servicesim: service %d request %d/%d answered with %zu bytes\n", service, a, b,
                 reply.size());
    return 0;
}
