// Runs the GLib main loop in tests: until a condition holds (with a time
// limit), or for a while.
#pragma once

#include <glib.h>

#include <chrono>

// Iterates the default main context until done() is true or limit_ms
// passed; returns done().
template <class Done>
bool pump_until(Done done, int limit_ms = 5000)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        if (!g_main_context_iteration(nullptr, FALSE))
            g_usleep(500);
    }
    return true;
}

// Iterates the default main context for ms milliseconds.
inline void pump_for(int ms)
{
    pump_until([] { return false; }, ms);
}

// Dispatches whatever is ready now, without waiting; the number of
// iterations that dispatched something.
inline int pump_pending()
{
    int n = 0;
    while (n < 100000 && g_main_context_iteration(nullptr, FALSE))
        ++n;
    return n;
}
