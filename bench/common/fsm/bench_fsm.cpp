#include "common/fsm/xr_fsm.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// Steps result until it has taken `left` steps, then finishes.
class CountingThread : public XrFsmThread {
public:
    CountingThread(XrFsm* fsm, XrFsmResult result_) : XrFsmThread(fsm, "bench"), result(result_) {}
    XrFsmResult step() override { return --left > 0 ? result : XR_FSM_FINISH; }
    XrFsmResult result;
    long left = 0;
};

// Runs the threads to their end; the bounded runs continue from the main loop.
void run_all(XrFsm& fsm, std::vector<std::unique_ptr<CountingThread>>& threads, long steps_each)
{
    for (auto& t : threads) {
        t->left = steps_each;
        t->activate();
    }
    fsm.run();
    while (fsm.get_queue(1).get_head() != nullptr)
        g_main_context_iteration(nullptr, FALSE);
}

// Steps per second of one thread that continues (XR_FSM_CONTINUE) or of
// several threads that yield to each other round robin.
void BM_FsmSteps(benchmark::State& state)
{
    const XrFsmResult result = static_cast<XrFsmResult>(state.range(0));
    const int thread_count = static_cast<int>(state.range(1));
    const long steps_each = 100000 / thread_count;
    XrFsm fsm;
    std::vector<std::unique_ptr<CountingThread>> threads;
    for (int i = 0; i < thread_count; ++i)
        threads.push_back(std::make_unique<CountingThread>(&fsm, result));
    for (auto _ : state)
        run_all(fsm, threads, steps_each);
    state.SetItemsProcessed(state.iterations() * steps_each * thread_count);
}
BENCHMARK(BM_FsmSteps)
    ->ArgNames({"result", "threads"})
    ->Args({XR_FSM_CONTINUE, 1})
    ->Args({XR_FSM_YIELD, 1})
    ->Args({XR_FSM_YIELD, 8})
    ->Unit(benchmark::kMillisecond);

} // namespace
