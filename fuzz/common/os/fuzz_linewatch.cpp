// The line splitter of fd watches on arbitrary bytes in arbitrary pieces,
// with a listener that filters a byte, hears state changes and may remove
// the watch while it is told of a line.
#include "common/os/xr_linewatch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class CheckingListener : public XrLineWatchListener {
public:
    bool filter_byte(BYTE b) override { return b != drop; }
    void line_received(const TCHAR* line) override
    {
        if (*removed)
            std::abort(); // nothing is delivered after a removal
        int n = 0;
        for (; line[n] != 0; ++n) {
            if (line[n] > 0xFF || line[n] == '\r' || line[n] == '\n' || line[n] == drop)
                std::abort();
        }
        if (n > XrLineWatch::max_line_chars)
            std::abort();
        if (++lines == remove_after)
            *removed = true; // as remove_fd_watch does from within a listener
    }
    void state_changed(int state) override
    {
        if (state != 0 && state != 1)
            std::abort();
    }
    BYTE drop = 0;
    int lines = 0;
    int remove_after = 0;
    bool* removed = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    bool removed = false;
    CheckingListener listener;
    listener.drop = data[0];
    listener.removed = &removed;
    // The second byte chooses the piece size, as reads may cut anywhere; the
    // third the line whose delivery removes the watch (0: none does).
    const int piece = 1 + data[1] % 64;
    listener.remove_after = data[2] % 16;
    XrLineWatch watch(-1, &listener);
    watch.removed_flag = &removed;
    data += 3;
    size -= 3;
    if (!watch.report_state(1))
        std::abort();
    bool alive = true;
    for (size_t pos = 0; alive && pos < size; pos += piece) {
        size_t n = size - pos < static_cast<size_t>(piece) ? size - pos : piece;
        alive = watch.feed(data + pos, static_cast<int>(n));
        if (alive == removed)
            std::abort(); // feed reports the removal, and only it
        if (watch.line.get_num_items() > XrLineWatch::max_line_chars)
            std::abort();
    }
    if (alive && !watch.report_state(0))
        std::abort();
    return 0;
}
