// The gpsd helper against a hostile gpsd: the bytes are what the server
// sends on a loopback connection. The switch to raw mode reads the reply
// lines; when it succeeds, the relay copies the rest to a pipe. Whatever
// comes out must be whole lines of what was sent after the switch.
#include "kestrova-gpsd-helper/xr_gps_compat.h"
#include "kestrova-gpsd-helper/xr_gpsd_relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

int g_listener = -1;
std::string g_port;

bool listen_once()
{
    if (g_listener >= 0)
        return true;
    g_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (g_listener < 0 || bind(g_listener, reinterpret_cast<sockaddr*>(&a), n) != 0 || listen(g_listener, 4) != 0 ||
        getsockname(g_listener, reinterpret_cast<sockaddr*>(&a), &n) != 0)
        std::abort();
    g_port = std::to_string(ntohs(a.sin_port));
    return true;
}

std::string drain(int fd)
{
    std::string out;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return out;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 32768 || !listen_once())
        return 0;
    gps_data_t* gps = xr_gps_open("127.0.0.1", g_port.c_str());
    if (gps == nullptr)
        std::abort();
    const int server = accept4(g_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (server < 0)
        std::abort();
    // Everything the server says, then the end of its output.
    std::size_t sent = 0;
    while (sent < size) {
        const ssize_t n = write(server, data + sent, size - sent);
        if (n <= 0)
            std::abort();
        sent += static_cast<std::size_t>(n);
    }
    shutdown(server, SHUT_WR);

    if (xr_gps_query(gps, "r1\n") == 0) {
        int out[2];
        if (pipe2(out, O_NONBLOCK | O_CLOEXEC) != 0)
            std::abort();
        const int in = xr_gps_fd(gps);
        fcntl(in, F_SETFL, fcntl(in, F_GETFL) | O_NONBLOCK);
        XrNmeaLog nmea;
        XrDebugLog debug;
        XrGpsdRelay relay(in, out[1], nmea, true, debug);
        std::string lines;
        int status = XrGpsdRelay::KEEP_RUNNING;
        while (status == XrGpsdRelay::KEEP_RUNNING) {
            pollfd p{in, POLLIN, 0};
            poll(&p, 1, 1000);
            status = relay.on_input();
            lines += drain(out[0]);
        }
        lines += drain(out[0]);
        if (status != 21 || lines.size() > size || (!lines.empty() && lines.back() != '\n'))
            std::abort();
        const std::string sent_text(reinterpret_cast<const char*>(data), size);
        for (std::size_t at = 0; at < lines.size();) {
            const std::size_t end = lines.find('\n', at) + 1;
            if (sent_text.find(lines.substr(at, end - at)) == std::string::npos)
                std::abort();
            at = end;
        }
        close(out[0]);
        close(out[1]);
    }
    xr_gps_close(gps);
    close(server);
    return 0;
}
