// The line buffer and the NMEA log of the helper programs. Header-only: the
// serial NMEA helper uses it too, and neither program links anything of the
// navigator.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

// Whole lines out of a byte stream, in a buffer of 128 bytes. A line longer
// than the buffer is discarded, in pieces, up to its end.
class XrNmeaLineBuffer {
public:
    static constexpr int SIZE = 128;

    // Before a read into a full buffer: keeps only the pending line, or
    // nothing when that fills the buffer. The number of bytes discarded.
    int make_room()
    {
        if (m_fill < SIZE)
            return 0;
        const int keep = m_pending == m_fill ? 0 : m_pending;
        const int discarded = m_fill - keep;
        // The rest of a line cut here is no line of its own: it goes too.
        m_skip_to_line_end = m_data[m_fill - 1] != '\n';
        m_fill = m_pending = keep;
        return discarded;
    }

    char* free_space() { return m_data + m_fill; }
    int free_count() const { return SIZE - m_fill; }

    // `count` bytes were read into free_space(). Returns how many of them
    // were dropped as the rest of a discarded line.
    int add(int count)
    {
        if (count <= 0 || count > free_count())
            return 0;
        char* fresh = m_data + m_fill;
        int dropped = 0;
        if (m_skip_to_line_end) {
            const char* end = static_cast<const char*>(std::memchr(fresh, '\n', static_cast<size_t>(count)));
            dropped = end != nullptr ? static_cast<int>(end - fresh) + 1 : count;
            m_skip_to_line_end = end == nullptr;
            std::memmove(fresh, fresh + dropped, static_cast<size_t>(count - dropped));
        }
        m_fill += count - dropped;
        return dropped;
    }

    // The unwritten rest of the first complete line, through its '\n', at the
    // buffer's start; false when the buffer holds no complete line.
    bool pending_line(const char*& data, int& length)
    {
        if (m_pending == 0) {
            const void* end = std::memchr(m_data, '\n', static_cast<size_t>(m_fill));
            if (end == nullptr)
                return false;
            m_pending = static_cast<int>(static_cast<const char*>(end) - m_data) + 1;
        }
        data = m_data;
        length = m_pending;
        return true;
    }

    // `count` bytes of the pending line were written out.
    void consume(int count)
    {
        if (count <= 0 || count > m_pending)
            return;
        std::memmove(m_data, m_data + count, static_cast<size_t>(m_fill - count));
        m_fill -= count;
        m_pending -= count;
    }

    int fill() const { return m_fill; }
    int pending() const { return m_pending; }

private:
    char m_data[SIZE];
    int m_fill = 0;
    int m_pending = 0;
    bool m_skip_to_line_end = false;
};

// The raw NMEA log on the memory card, with optional timing lines.
class XrNmeaLog {
public:
    XrNmeaLog() = default;
    XrNmeaLog(const XrNmeaLog&) = delete;
    XrNmeaLog& operator=(const XrNmeaLog&) = delete;
    ~XrNmeaLog()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    // Opens the log for writing, creating it when missing (not truncated).
    bool open(const std::string& path)
    {
        if (m_fd < 0)
            m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0666);
        return m_fd >= 0;
    }

    bool is_open() const { return m_fd >= 0; }

    // Logs freshly read bytes. With `timing`, a timing line of the current
    // time goes before their first '$'; true when one was written.
    bool write(const char* data, int length, bool timing)
    {
        if (m_fd < 0 || length <= 0)
            return false;
        const void* dollar = timing ? std::memchr(data, '$', static_cast<size_t>(length)) : nullptr;
        if (dollar == nullptr) {
            write_fully(data, length);
            return false;
        }
        const int before = static_cast<int>(static_cast<const char*>(dollar) - data);
        write_fully(data, before);
        timeval now;
        gettimeofday(&now, nullptr);
        char line[256];
        write_fully(line, timing_line(line, sizeof(line), now));
        write_fully(data + before, length - before);
        return true;
    }

    // "$PKSTT,<seconds>.<microseconds>*<checksum>\r\n" into `out`; its length.
    static int timing_line(char* out, size_t size, const timeval& time)
    {
        int n = std::snprintf(out, size, "$PKSTT,%d.%06d", static_cast<int>(time.tv_sec),
                              static_cast<int>(time.tv_usec));
        if (n < 0 || static_cast<size_t>(n) >= size)
            return 0;
        unsigned checksum = 0;
        for (int i = 1; i < n; ++i)
            checksum ^= static_cast<unsigned char>(out[i]);
        const int tail = std::snprintf(out + n, size - static_cast<size_t>(n), "*%02X\r\n", checksum);
        if (tail < 0 || static_cast<size_t>(n + tail) >= size)
            return 0;
        return n + tail;
    }

private:
    void write_fully(const char* data, int length)
    {
        while (length > 0) {
            const ssize_t n = ::write(m_fd, data, static_cast<size_t>(length));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            data += n;
            length -= static_cast<int>(n);
        }
    }

    int m_fd = -1;
};

// Switches O_NONBLOCK of a descriptor; false on failure.
inline bool xr_set_nonblocking(int fd, bool nonblocking)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0)
        return false;
    return fcntl(fd, F_SETFL, nonblocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}

inline bool xr_path_exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// A log path from a pattern with the start time and the process id.
inline std::string xr_log_path(const char* pattern, long start_time, int pid)
{
    char path[1024];
    const int n = std::snprintf(path, sizeof(path), pattern, static_cast<int>(start_time), pid);
    return n > 0 && static_cast<size_t>(n) < sizeof(path) ? std::string(path) : std::string();
}
