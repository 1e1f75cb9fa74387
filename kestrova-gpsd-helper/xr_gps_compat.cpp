#include "kestrova-gpsd-helper/xr_gps_compat.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <gps.h>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

// How long gpsd may take to acknowledge the switch to raw mode.
constexpr int RAW_MODE_TIMEOUT_MS = 5000;
// gpsd's replies are single JSON lines; longer ones are only skipped.
constexpr size_t MAX_REPLY = 4096;

// Reads one line ('\n' included) byte by byte, so that nothing after it is
// taken off the socket. False at the end of the data, on an error or after
// the deadline.
bool read_reply_line(int fd, std::string& line, std::chrono::steady_clock::time_point deadline)
{
    line.clear();
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            errno = ETIMEDOUT;
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready <= 0)
            continue;
        char c;
        const ssize_t n = read(fd, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ECONNRESET;
            return false;
        }
        if (line.size() < MAX_REPLY)
            line.push_back(c);
        if (c == '\n')
            return true;
    }
}

bool starts_with(const std::string& text, const char* prefix)
{
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

} // namespace

gps_data_t* xr_gps_open(const char* host, const char* port)
{
    if (port == nullptr) {
        const char* env = std::getenv("KESTROVA_GPSD_PORT");
        port = (env != nullptr && *env != '\0') ? env : DEFAULT_GPSD_PORT;
    }
    auto* gps = new gps_data_t{};
    if (gps_open(host, port, gps) != 0) {
        // libgps reports its own negative codes in errno.
        const int err = errno;
        delete gps;
        errno = err > 0 ? err : (err == NL_NOCONNECT ? ECONNREFUSED : EHOSTUNREACH);
        return nullptr;
    }
    return gps;
}

int xr_gps_query(gps_data_t* gps, const char* request)
{
    if (gps == nullptr || request == nullptr || std::strcmp(request, "r1\n") != 0) {
        errno = EINVAL;
        return -1;
    }
    if (gps_stream(gps, WATCH_ENABLE | WATCH_NMEA, nullptr) != 0)
        return -1;
    // gpsd greets with a version line and answers the watch request with
    // the device list and the new watch policy; sentences follow that.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(RAW_MODE_TIMEOUT_MS);
    std::string line;
    while (read_reply_line(gps->gps_fd, line, deadline)) {
        if (starts_with(line, "{\"class\":\"WATCH\""))
            return 0;
        if (starts_with(line, "{\"class\":\"ERROR\"")) {
            errno = EPROTO;
            return -1;
        }
    }
    return -1;
}

int xr_gps_fd(const gps_data_t* gps)
{
    return gps != nullptr ? static_cast<int>(gps->gps_fd) : -1;
}

int xr_gps_close(gps_data_t* gps)
{
    if (gps == nullptr)
        return 0;
    const int rc = gps_close(gps);
    delete gps;
    return rc;
}
