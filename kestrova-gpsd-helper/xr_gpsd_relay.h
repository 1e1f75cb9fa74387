// The gpsd helper's read handler: copies what gpsd sends to the output in
// whole lines, logging the raw bytes (with timing lines) on the way.
#pragma once

#include "kestrova-gpsd-helper/xr_debug_log.h"
#include "kestrova-gpsd-helper/xr_nmea_stream.h"

class XrGpsdRelay {
public:
    // The result of on_input() while the helper goes on.
    static constexpr int KEEP_RUNNING = -1;

    XrGpsdRelay(int input_fd, int output_fd, XrNmeaLog& nmea_log, bool timing, XrDebugLog& debug)
        : m_input_fd(input_fd), m_output_fd(output_fd), m_nmea_log(nmea_log), m_timing(timing), m_debug(debug)
    {
    }

    // Reads the input until it has nothing more to give, writing out every
    // complete line. KEEP_RUNNING, or the helper's exit status: 20 read
    // error, 21 end of input, 22 write error, 23 output closed.
    int on_input();

    const XrNmeaLineBuffer& buffer() const { return m_buffer; }

private:
    // Writes complete lines until none is left or the output would block.
    int write_lines();

    int m_input_fd;
    int m_output_fd;
    XrNmeaLog& m_nmea_log;
    bool m_timing;
    XrDebugLog& m_debug;
    XrNmeaLineBuffer m_buffer;
};
