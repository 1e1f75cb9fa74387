// Runs independent pieces of a writer's work on all cores.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

// The machine's cores, asked once: the answer is read from a file each time.
inline size_t xr_core_count()
{
    static const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    return cores;
}

// Calls work(i) for every i in [0, count), spread over the machine's cores
// (the calling thread takes part). Each call must touch only what belongs
// to its own i; the order of the calls is not defined. bytes is about how
// much all the calls handle together: a thread is started for each 64 KiB
// of it at most, as starting one costs more than a small piece of work.
template <typename Work>
void xr_parallel_for(size_t count, size_t bytes, Work&& work)
{
    const size_t threads = std::min({xr_core_count(), count, size_t(8), std::max<size_t>(1, bytes >> 16)});
    if (threads <= 1) {
        for (size_t i = 0; i < count; ++i)
            work(i);
        return;
    }
    std::atomic<size_t> next{0};
    auto run = [&]() {
        for (size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;)
            work(i);
    };
    std::vector<std::thread> helpers;
    helpers.reserve(threads - 1);
    for (size_t t = 1; t < threads; ++t)
        helpers.emplace_back(run);
    run();
    for (std::thread& h : helpers)
        h.join();
}
