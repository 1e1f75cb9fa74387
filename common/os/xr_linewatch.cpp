#include "common/os/xr_linewatch.h"

namespace {

constexpr BYTE CR = '\r';
constexpr BYTE LF = '\n';

} // namespace

bool XrLineWatch::deliver_line(const bool* removed)
{
    if (listener == nullptr) {
        line.set(nullptr, 0);
        return true;
    }
    TCHAR text[max_line_chars + 1];
    const BYTE* p = line.get_items();
    int n = line.get_num_items();
    for (int i = 0; i < n; ++i)
        text[i] = p[i];
    text[n] = 0;
    line.set(nullptr, 0);
    listener->line_received(text);
    return !*removed;
}

bool XrLineWatch::feed(const BYTE* data, int n)
{
    bool local = false;
    const bool* removed = removed_flag != nullptr ? removed_flag : &local;
    for (int i = 0; i < n; ++i) {
        BYTE b = data[i];
        if (listener != nullptr) {
            bool keep = listener->filter_byte(b);
            if (*removed)
                return false;
            if (!keep)
                continue;
        }
        if (b == CR || b == LF) {
            // CR LF and LF CR are one break; so are further such bytes.
            if (last_break != 0 && last_break != b)
                continue;
            last_break = b;
            if (!deliver_line(removed))
                return false;
            continue;
        }
        last_break = 0;
        // The buffer never grows beyond the longest deliverable line, so a
        // stream without line breaks cannot exhaust memory.
        if (b != 0 && line.get_num_items() < max_line_chars)
            line.append_byte(b);
    }
    return true;
}

bool XrLineWatch::report_state(int state)
{
    if (listener == nullptr)
        return true;
    bool local = false;
    const bool* removed = removed_flag != nullptr ? removed_flag : &local;
    listener->state_changed(state);
    return !*removed;
}
