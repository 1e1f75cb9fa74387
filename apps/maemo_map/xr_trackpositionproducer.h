// The "Track" producer of the demo drive: replays a track file of
// "seconds,lat,lon" lines (the drive track of kestrova-probe drive), one
// fix a second, with the speed and heading of the stretch being driven; at
// the end of the track it starts again. The navigator uses it in place of
// the receivers when KESTROVA_DRIVE_TRACK names a track file. A drive with
// a destination goes on along the computed route (follow_route) and stops
// at its end.
#pragma once

#include <string>
#include <vector>

#include "common/corvanel_core/interfaces/xr_positionproducer.h"
#include "common/os/xr_eventhandler.h"

class XrEventloopBase;

struct XrTrackPoint {
    double seconds;
    double lat;
    double lon;
};

// The points of a track text: lines "seconds,lat,lon" with seconds rising
// and the coordinate in range; other lines (blank, "#" comments, bad
// numbers) are skipped. At most max_points points.
std::vector<XrTrackPoint> xr_parse_track(const char* text, size_t size, size_t max_points = 100000);

class XrTrackPositionProducer : public XrPositionProducer, public XrEventHandler {
public:
    static constexpr int max_file = 4 * 1024 * 1024;

    XrTrackPositionProducer(XrEventloopBase* loop, std::vector<XrTrackPoint> track);
    ~XrTrackPositionProducer() override;
    // Reads a track file; an empty track when it cannot be read.
    static std::vector<XrTrackPoint> read_track(const std::string& path);
    // The same; false with the reason in error when the file cannot be read,
    // is larger than max_file or holds no track point.
    static bool read_track(const std::string& path, std::vector<XrTrackPoint>& out, std::string& error);

    // Connecting starts the drive (one fix at once, then one a second).
    void connect() override;
    void disconnect() override;
    void reconnect() override { connect(); }
    int get_status() override { return status; }
    XrPositionInfo& get_position_info() override { return position_info; }

    // The fix at a time of the drive (seconds since its start).
    void place_at(double seconds);
    // From the next fix on, drives this track from its start once and then
    // stays at its last point. An empty track changes nothing.
    void follow_route(std::vector<XrTrackPoint> route);
    void execute(XrEventloopBase* loop, void* data) override;

private:
    XrEventloopBase* event_loop;
    std::vector<XrTrackPoint> track;
    XrPositionInfo position_info;
    int status = status_not_connected;
    int second = 0;
    bool loop = true;
};
