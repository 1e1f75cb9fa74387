#include "kestrova-gpsd-helper/xr_gpsd_relay.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

bool would_block(int err)
{
    return err == EAGAIN || err == EWOULDBLOCK || err == EINPROGRESS || err == EINTR;
}

} // namespace

int XrGpsdRelay::on_input()
{
    bool timed = false;
    for (;;) {
        const int discarded = m_buffer.make_room();
        if (discarded > 0)
            m_debug.log("Discarding %d bytes of data", discarded);

        char* space = m_buffer.free_space();
        const ssize_t got = read(m_input_fd, space, static_cast<size_t>(m_buffer.free_count()));
        if (got < 0) {
            if (would_block(errno))
                return KEEP_RUNNING;
            m_debug.log("I/O error occurred when reading GPSD: %s", std::strerror(errno));
            return 20;
        }
        if (got == 0) {
            m_debug.log("GPSD input EOF");
            return 21;
        }
        const int count = static_cast<int>(got);
        m_debug.log("Got %d bytes of data", count);

        // At most one timing line per call.
        if (m_nmea_log.write(space, count, m_timing && !timed))
            timed = true;
        const int dropped = m_buffer.add(count);
        if (dropped > 0)
            m_debug.log("Discarding %d bytes of data", dropped);

        const int status = write_lines();
        if (status != KEEP_RUNNING)
            return status;
    }
}

int XrGpsdRelay::write_lines()
{
    const char* line;
    int length;
    while (m_buffer.pending_line(line, length)) {
        const ssize_t written = write(m_output_fd, line, static_cast<size_t>(length));
        if (written < 0) {
            if (would_block(errno)) {
                m_debug.log("Output would block");
                return KEEP_RUNNING;
            }
            m_debug.log("Output error: %s", std::strerror(errno));
            return 22;
        }
        if (written == 0) {
            m_debug.log("Output EOF");
            return 23;
        }
        m_debug.log("Wrote %d bytes of data", static_cast<int>(written));
        m_buffer.consume(static_cast<int>(written));
    }
    return KEEP_RUNNING;
}
