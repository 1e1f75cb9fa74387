// The line splitter of fd watches on arbitrary bytes in arbitrary pieces.
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
        int n = 0;
        for (; line[n] != 0; ++n) {
            if (line[n] > 0xFF || line[n] == '\r' || line[n] == '\n' || line[n] == drop)
                std::abort();
        }
        if (n > XrLineWatch::max_line_chars)
            std::abort();
    }
    BYTE drop = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    CheckingListener listener;
    listener.drop = data[0];
    // The second byte chooses the piece size, as reads may cut anywhere.
    int piece = 1 + data[1] % 64;
    XrLineWatch watch(-1, &listener);
    data += 2;
    size -= 2;
    for (size_t pos = 0; pos < size; pos += piece) {
        size_t n = size - pos < static_cast<size_t>(piece) ? size - pos : piece;
        watch.feed(data + pos, static_cast<int>(n));
        if (watch.line.get_num_items() > XrLineWatch::max_line_chars)
            std::abort();
    }
    return 0;
}
