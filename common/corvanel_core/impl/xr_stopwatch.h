// Millisecond ticks for the positioning code, and a stopwatch on them.
#pragma once

#include <cstdint>

// The tick source of the positioning code: get_tick_count_ms unless a test
// installed another one (null restores the default).
using XrTickSource = std::uint32_t (*)();
std::uint32_t position_tick_count_ms();
void set_position_tick_source(XrTickSource source);

class XrStopwatch {
public:
    void restart() { m_start = position_tick_count_ms(); }
    // Milliseconds since restart, across a wrap of the 32-bit counter.
    std::uint32_t elapsed() const
    {
        const std::uint32_t now = position_tick_count_ms();
        return m_start <= now ? now - m_start : now - m_start - 1;
    }

private:
    std::uint32_t m_start = 0;
};
