// The Wi-Fi position producer against a hostile positioning helper: the
// bytes are what the helper writes on its standard output after reading the
// request line. Every fix handed on must be a place on Earth, and the
// connection must end when the helper's output does.
#include "common/corvanel_core/impl/xr_wifipositionproducerwpsapi.h"
#include "common/os/xr_eventloop.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace {

std::string g_root;

void write_file(const std::string& path, const std::string& text)
{
    const std::string dir = path.substr(0, path.rfind('/'));
    if (std::system(("mkdir -p '" + dir + "'").c_str()) != 0)
        std::abort();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A root of its own with the account settings and a helper that sends the
// file "reply" once it has read the request.
bool set_up()
{
    if (!g_root.empty())
        return true;
    char dir[] = "/tmp/fuzz-wifi-XXXXXX";
    if (mkdtemp(dir) == nullptr)
        std::abort();
    g_root = dir;
    setenv("KESTROVA_ROOT", dir, 1);
    const char* home = std::getenv("HOME");
    const std::string user = home != nullptr && *home == '/' ? home : "/home/user";
    write_file(g_root + user + "/.kestrova/settings.txt", "REGEDIT4\n\n[\\wpsapi]\nusername=\"u\"\nrealm=\"r\"\n");
    const std::string helper = g_root + "/usr/libexec/kestrova-wpsapi-helper";
    write_file(helper, "#!/bin/sh\nhead -n 1 >/dev/null\nexec cat \"$KESTROVA_ROOT/reply\"\n");
    chmod(helper.c_str(), 0755);
    return true;
}

class Listener : public XrPositionProducerListener {
public:
    void producer_state_changed(XrPositionProducer*) override {}
    void position_updated(XrPositionProducer* p, bool*) override
    {
        const XrPositionInfo& info = p->get_position_info();
        if (!info.has_fix())
            return;
        const XrCoordinate c = info.get_coordinate();
        if (!(std::fabs(c.get_latitude()) <= 90) || !(std::fabs(c.get_longitude()) <= 180))
            std::abort();
    }
};

template <class Done>
bool pump_until(Done done, int limit_ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        if (!g_main_context_iteration(nullptr, FALSE))
            g_usleep(200);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 8192 || !set_up())
        return 0;
    write_file(g_root + "/reply", std::string(reinterpret_cast<const char*>(data), size));
    static XrEventLoop loop;
    static bool loop_ready = loop.init();
    if (!loop_ready)
        std::abort();
    XrFsm fsm;
    Listener listener;
    std::unique_ptr<XrWifiPositionProducerWpsApi> producer(XrWifiPositionProducerWpsApi::create(&fsm, &loop));
    producer->add_listener(&listener);
    static_cast<XrPositionProducer*>(producer.get())->activate();
    producer->connect();
    // The helper's output ends: the producer closes and the helper is reaped.
    if (!pump_until(
            [&] {
                return !producer->get_arguments().empty() && producer->get_helper_pid() == -1 && !producer->is_open();
            },
            5000))
        std::abort();
    if (producer->get_status() != XrPositionProducer::status_not_connected)
        std::abort();
    producer.reset();
    return 0;
}
