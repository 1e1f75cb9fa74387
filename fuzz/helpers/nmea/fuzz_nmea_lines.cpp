// The helper programs' line assembly on arbitrary NMEA streams: reads of any
// size, blocked and partial writes, the NMEA log with timing lines. Every
// line that comes out must be a whole line of the stream, in order.

#include "kestrova-gpsd-helper/xr_nmea_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    XrNmeaLineBuffer buffer;
    XrNmeaLog log;
    log.open("/dev/null");

    std::string stream;
    std::string output;
    size_t pos = 0;
    while (pos < size) {
        // One control byte, then the bytes of one read.
        const uint8_t control = data[pos++];
        buffer.make_room();
        const size_t wanted = static_cast<size_t>(control & 0x3f) + 1;
        const size_t count = std::min({wanted, size - pos, static_cast<size_t>(buffer.free_count())});
        std::memcpy(buffer.free_space(), data + pos, count);
        stream.append(reinterpret_cast<const char*>(data + pos), count);
        pos += count;
        log.write(buffer.free_space(), static_cast<int>(count), (control & 0x40) != 0);
        buffer.add(static_cast<int>(count));

        if (control & 0x80)
            continue; // output blocked
        const char* line;
        int length;
        while (buffer.pending_line(line, length)) {
            if (length <= 0 || length > XrNmeaLineBuffer::SIZE || line[length - 1] != '\n')
                std::abort();
            // Partial writes when the read was odd-sized.
            const int written = (count & 1) != 0 && length > 1 ? length / 2 : length;
            output.append(line, static_cast<size_t>(written));
            buffer.consume(written);
        }
    }
    if (buffer.fill() < 0 || buffer.fill() > XrNmeaLineBuffer::SIZE || buffer.pending() > buffer.fill())
        std::abort();
    // A partly written line is finished.
    const char* line;
    int length;
    if (buffer.pending() > 0 && buffer.pending_line(line, length))
        output.append(line, static_cast<size_t>(length));

    // The stream's complete lines, in order.
    std::vector<std::string_view> lines;
    for (size_t start = 0, end; (end = stream.find('\n', start)) != std::string::npos; start = end + 1)
        lines.emplace_back(stream.data() + start, end + 1 - start);
    size_t next = 0;
    for (size_t start = 0, end; start < output.size(); start = end + 1) {
        end = output.find('\n', start);
        if (end == std::string::npos)
            std::abort(); // output must end with a whole line
        const std::string_view out(output.data() + start, end + 1 - start);
        while (next < lines.size() && lines[next] != out)
            ++next;
        if (next == lines.size())
            std::abort();
        ++next;
    }
    return 0;
}
