// serial-nmea-helper: copies NMEA text from the serial device on standard
// input to standard output in whole lines, after sending the command-line
// arguments to the device.

#include "common/base/xr_root.h"
#include "kestrova-gpsd-helper/xr_nmea_stream.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <termios.h>
#include <unistd.h>

namespace {

enum : int {
    EXIT_NO_NONBLOCKING_OUTPUT = 10,
    EXIT_NO_BLOCKING_OUTPUT = 11,
};

// Raw mode on the device's own settings (a zeroed record would hang up the
// line with speed 0); reads wait for at least one byte.
void make_device_raw()
{
    termios settings;
    if (tcgetattr(STDIN_FILENO, &settings) != 0)
        return;
    cfmakeraw(&settings);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &settings);
}

bool write_fully(int fd, const char* data, size_t length)
{
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool would_block(int err)
{
    return err == EAGAIN || err == EWOULDBLOCK || err == EINPROGRESS || err == EINTR;
}

} // namespace

int main(int argc, char** argv)
{
    // A closed output ends the program quietly, like any other write error.
    signal(SIGPIPE, SIG_IGN);
    make_device_raw();
    for (int i = 1; i < argc; ++i)
        if (!write_fully(STDIN_FILENO, argv[i], std::strlen(argv[i])))
            break;

    if (!xr_set_nonblocking(STDOUT_FILENO, true))
        return EXIT_NO_NONBLOCKING_OUTPUT;

    XrNmeaLog nmea_log;
    nmea_log.open(XrRoot::path(xr_log_path("/media/mmc1/kestrova-logs/nmea-bt-%d-%d",
                                           static_cast<long>(time(nullptr)), static_cast<int>(getpid()))));
    const bool timing = xr_path_exists(XrRoot::path("/media/mmc1/kestrova_rd_mode/nmea_timing"));

    XrNmeaLineBuffer buffer;
    bool input_ended = false;
    for (;;) {
        if (!input_ended) {
            buffer.make_room();
            char* space = buffer.free_space();
            const ssize_t got = read(STDIN_FILENO, space, static_cast<size_t>(buffer.free_count()));
            if (got <= 0) {
                // End of file and read errors alike end the input.
                close(STDIN_FILENO);
                if (!xr_set_nonblocking(STDOUT_FILENO, false))
                    return EXIT_NO_BLOCKING_OUTPUT;
                input_ended = true;
            } else {
                nmea_log.write(space, static_cast<int>(got), timing);
                buffer.add(static_cast<int>(got));
            }
        }

        const char* line;
        int length;
        while (buffer.pending_line(line, length)) {
            const ssize_t written = write(STDOUT_FILENO, line, static_cast<size_t>(length));
            if (written < 0 && would_block(errno)) {
                if (!input_ended)
                    break;
                continue;
            }
            if (written <= 0)
                return 0;
            buffer.consume(static_cast<int>(written));
        }
        // A last line without its end is dropped.
        if (input_ended)
            return 0;
    }
}
