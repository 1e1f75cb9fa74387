// The NMEA parser and the position producer (with dead reckoning on a map)
// on arbitrary lines.
#include "common/corvanel_core/impl/xr_nmeapositionproducerimpl.h"
#include "common/geometry/xr_projection.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

class Map : public XrPositionMap {
public:
    Map() : projection(100000.0, 0, 0) {}
    bool has_map() override { return true; }
    const XrProjection* get_projection() override { return &projection; }
    void add_draw_listener(XrMapDrawListener*) override {}
    bool remove_draw_listener(XrMapDrawListener*) override { return true; }
    XrProjection projection;
};

class Producer : public XrNmeaPositionProducerImpl {
public:
    Producer() : XrNmeaPositionProducerImpl(true, nullptr) {}
    void connect() override {}
    void disconnect() override {}
    void reconnect() override {}
};

void check(const XrPositionMessage& m)
{
    if (m.valid && (!(std::fabs(m.latitude) <= 90) || !(std::fabs(m.longitude) <= 180)))
        std::abort();
    if (!(m.course >= 0 && m.course < 360) || !(m.speed >= 0) || !std::isfinite(m.speed))
        std::abort();
    if (m.hours > 23 || m.minutes > 59 || m.seconds > 60 || m.month > 12 || m.day > 31)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Map map;
    XrPositionMap::set_instance(&map);
    XrNMEAParser parser;
    Producer producer;
    producer.set_status(0);
    std::wstring line;
    void* const step = reinterpret_cast<void*>(XrNmeaPositionProducerImpl::extrapolation_timeout);
    for (size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != '\n') {
            if (data[i] != 0)
                line.push_back(static_cast<wchar_t>(data[i]));
            continue;
        }
        std::unique_ptr<XrPositionMessage> m(parser.parse(line.c_str()));
        if (m)
            check(*m);
        if (parser.get_satellites_in_view().get_num_items() > XrNMEAParser::max_satellites_in_view ||
            parser.get_used_satellites().get_num_items() > XrNMEAParser::max_used_satellites)
            std::abort();
        producer.handle_nmea_line(line.c_str());
        if (producer.is_extrapolation_pending())
            producer.execute(nullptr, step);
        line.clear();
    }
    XrPositionMap::set_instance(nullptr);
    return 0;
}
