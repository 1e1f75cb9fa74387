#include "apps/maemo_map/xr_trackpositionproducer.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/misc/xr_path_resolver.h"
#include "common/os/xr_eventloopbase.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double earth_radius_m = 6371000.0;

bool parse_number(const std::string& text, double& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(out);
}

} // namespace

std::vector<XrTrackPoint> xr_parse_track(const char* text, size_t size, size_t max_points)
{
    std::vector<XrTrackPoint> points;
    size_t at = 0;
    while (at < size && points.size() < max_points) {
        const char* nl = static_cast<const char*>(std::memchr(text + at, '\n', size - at));
        const size_t end = nl != nullptr ? static_cast<size_t>(nl - text) : size;
        std::string line(text + at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t c1 = line.find(',');
        const size_t c2 = c1 == std::string::npos ? c1 : line.find(',', c1 + 1);
        if (line.empty() || line[0] == '#' || c2 == std::string::npos)
            continue;
        XrTrackPoint p{};
        if (!parse_number(line.substr(0, c1), p.seconds) || !parse_number(line.substr(c1 + 1, c2 - c1 - 1), p.lat) ||
            !parse_number(line.substr(c2 + 1), p.lon))
            continue;
        if (p.lat < -90 || p.lat > 90 || p.lon < -180 || p.lon > 180 || p.seconds < 0)
            continue;
        if (!points.empty() && p.seconds <= points.back().seconds)
            continue;
        points.push_back(p);
    }
    return points;
}

std::vector<XrTrackPoint> XrTrackPositionProducer::read_track(const std::string& path)
{
    std::vector<XrTrackPoint> track;
    std::string error;
    read_track(path, track, error);
    return track;
}

bool XrTrackPositionProducer::read_track(const std::string& path, std::vector<XrTrackPoint>& out, std::string& error)
{
    out.clear();
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "not a file";
        return false;
    }
    if (st.st_size > max_file) {
        error = "larger than " + std::to_string(max_file) + " bytes";
        return false;
    }
    BYTE* data = nullptr;
    int size = 0;
    if (!read_whole_file(from_platform_path(path.c_str()), &data, &size, max_file)) {
        const int e = errno;
        error = e != 0 ? std::strerror(e) : "cannot be read";
        return false;
    }
    out = xr_parse_track(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
    delete[] data;
    if (out.empty()) {
        error = "no \"seconds,lat,lon\" line in it";
        return false;
    }
    return true;
}

XrTrackPositionProducer::XrTrackPositionProducer(XrEventloopBase* loop, std::vector<XrTrackPoint> points)
    : event_loop(loop), track(std::move(points))
{
    position_info.set_fix(false);
}

XrTrackPositionProducer::~XrTrackPositionProducer()
{
    if (event_loop != nullptr)
        event_loop->remove_timeout(this, nullptr);
}

void XrTrackPositionProducer::connect()
{
    if (event_loop != nullptr) {
        event_loop->remove_timeout(this, nullptr);
        event_loop->add_timeout(0, 0, this, nullptr);
    }
    status = status_connected;
    notify_state_changed();
}

void XrTrackPositionProducer::disconnect()
{
    if (event_loop != nullptr)
        event_loop->remove_timeout(this, nullptr);
    status = status_not_connected;
    position_info.set_fix(false);
    notify_state_changed();
}

void XrTrackPositionProducer::place_at(double seconds)
{
    if (track.empty()) {
        position_info.set_fix(false);
        return;
    }
    const double first = track.front().seconds;
    const double length = track.back().seconds - first;
    const double t = length <= 0 ? first : loop ? first + std::fmod(seconds, length) : first + std::min(seconds, length);
    size_t i = 0;
    while (i + 2 < track.size() && track[i + 1].seconds <= t)
        ++i;
    const XrTrackPoint& a = track[i];
    const XrTrackPoint& b = track[std::min(i + 1, track.size() - 1)];
    const double span = b.seconds - a.seconds;
    const double f = span > 0 ? std::min(1.0, std::max(0.0, (t - a.seconds) / span)) : 0;
    const double lat = a.lat + (b.lat - a.lat) * f;
    const double lon = a.lon + (b.lon - a.lon) * f;
    const double north = (b.lat - a.lat) * pi / 180 * earth_radius_m;
    const double east = (b.lon - a.lon) * pi / 180 * earth_radius_m * std::cos(lat * pi / 180);
    double heading = std::atan2(east, north) * 180 / pi;
    if (heading < 0)
        heading += 360;
    if (heading >= 360)
        heading = 0;
    position_info.set_coordinate(XrCoordinate(lon, lat));
    const bool stopped = !loop && seconds >= length;
    position_info.set_velocity(
        XrVelocity(span > 0 && !stopped ? std::hypot(north, east) / span : 0, XrVelocity::MetresPerSecond));
    position_info.set_heading(XrAngle(heading, XrAngle::Degrees));
    position_info.set_fix(true);
}

void XrTrackPositionProducer::follow_route(std::vector<XrTrackPoint> route)
{
    if (route.empty())
        return;
    track = std::move(route);
    loop = false;
    second = 0;
}

void XrTrackPositionProducer::execute(XrEventloopBase*, void*)
{
    place_at(second++);
    notify_position_updated();
    if (event_loop != nullptr)
        event_loop->add_timeout(1, 0, this, nullptr);
}
