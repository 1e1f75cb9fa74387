// kestrova-probe nmea [FILE]: NMEA text (standard input without FILE) through
// the parser and the position producer; one JSON line per fix and per
// satellite view.
#include "tools/probe/probe.h"

#include "common/corvanel_core/impl/xr_nmeapositionproducerimpl.h"

#include <cstdio>
#include <string>

namespace {

// The producer without a transport: lines are handed in by the probe.
class ProbeProducer : public XrNmeaPositionProducerImpl {
public:
    ProbeProducer() : XrNmeaPositionProducerImpl(false, nullptr) {}
    void connect() override {}
    void disconnect() override {}
    void reconnect() override {}
};

class JsonPrinter : public XrPositionProducerListener {
public:
    JsonPrinter(ProbeProducer& producer_, FILE* out_) : producer(producer_), out(out_) {}

    void producer_state_changed(XrPositionProducer*) override {}

    void position_updated(XrPositionProducer*, bool*) override
    {
        const XrNMEAParser& parser = producer.get_parser();
        const XrPositionInfo& info = producer.get_position_info();
        std::fputs("{\"class\":\"fix\"", out);
        if (parser.get_year() != 0)
            std::fprintf(out, ",\"time\":\"%04d-%02d-%02dT%02d:%02d:%02dZ\"", parser.get_year(), parser.get_month(),
                         parser.get_day(), parser.get_hours(), parser.get_minutes(), parser.get_seconds());
        const XrCoordinate& c = info.get_coordinate();
        if (info.has_fix() && c.is_valid())
            std::fprintf(out, ",\"lat\":%.7f,\"lon\":%.7f", c.get_latitude(), c.get_longitude());
        double v = 0;
        if (info.get_velocity().get_value(v, XrVelocity::MetresPerSecond))
            std::fprintf(out, ",\"speed\":%.3f", v);
        if (info.get_heading().get_value(v, XrAngle::Degrees))
            std::fprintf(out, ",\"course\":%.1f", v);
        std::fprintf(out, ",\"valid\":%s", info.has_fix() ? "true" : "false");
        if (info.get_used_satellites().get_num_items() > 0)
            std::fprintf(out, ",\"sats\":%d", info.get_used_satellites().get_num_items());
        std::fputs("}\n", out);
    }

    // A line when the parser published a new satellite view.
    void check_sky()
    {
        const XrNMEAParser& parser = producer.get_parser();
        if (parser.get_sky_updates() == sky_seen)
            return;
        sky_seen = parser.get_sky_updates();
        const auto& sv = parser.get_satellites_in_view();
        const auto& used = parser.get_used_satellites();
        std::fputs("{\"class\":\"sky\",\"satellites\":[", out);
        for (int i = 0; i < sv.get_num_items(); ++i) {
            const XrSVData& s = *sv.get_item_ptr(i);
            bool in_use = false;
            for (int j = 0; j < used.get_num_items() && !in_use; ++j)
                in_use = *used.get_item_ptr(j) == s.number;
            std::fprintf(out, "%s{\"PRN\":%u,\"el\":%u,\"az\":%u,\"ss\":%d,\"used\":%s}", i ? "," : "",
                         unsigned(s.number), unsigned(s.elevation), unsigned(s.azimuth), s.snr,
                         in_use ? "true" : "false");
        }
        std::fputs("]}\n", out);
    }

private:
    ProbeProducer& producer;
    FILE* out;
    unsigned sky_seen = 0;
};

int run_nmea(const std::vector<std::string>& args);
XrProbeCommand nmea_cmd("nmea", "[FILE]",
                        "reads NMEA sentences (standard input without FILE) and prints each fix and satellite "
                        "view as a JSON line",
                        run_nmea);

int run_nmea(const std::vector<std::string>& args)
{
    if (args.size() > 1)
        return probe_usage(nmea_cmd);
    FILE* in = stdin;
    if (!args.empty()) {
        in = std::fopen(args[0].c_str(), "rb");
        if (in == nullptr) {
            std::fprintf(stderr, "kestrova-probe nmea: cannot open %s\n", args[0].c_str());
            return 1;
        }
    }
    ProbeProducer producer;
    JsonPrinter printer(producer, stdout);
    producer.add_listener(&printer);
    producer.set_status(XrPositionProducer::status_connected);

    // Lines are widened byte by byte (Latin-1), as the helpers' pipe is read.
    std::wstring line;
    char buffer[65536];
    size_t n;
    auto flush_line = [&] {
        producer.handle_nmea_line(line.c_str());
        printer.check_sky();
        line.clear();
    };
    while ((n = std::fread(buffer, 1, sizeof(buffer), in)) > 0) {
        for (size_t i = 0; i < n; ++i) {
            const unsigned char b = static_cast<unsigned char>(buffer[i]);
            if (b == '\n')
                flush_line();
            else if (b != 0 && line.size() < 4096)
                line.push_back(static_cast<wchar_t>(b));
        }
    }
    if (!line.empty())
        flush_line();
    const bool failed = std::ferror(in) != 0;
    if (in != stdin)
        std::fclose(in);
    if (failed) {
        std::fprintf(stderr, "kestrova-probe nmea: read error\n");
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace
