// The simulated host's timer queue: one timer falling due among many pending, as
// in a long session; the cost grows with the logarithm of the queue, not with it.
#include <benchmark/benchmark.h>

#include "host.h"

namespace {

void BM_SimHost_TimerAmongPending(benchmark::State& state)
{
    simhost::Host host;
    for (std::int64_t i = 0; i < state.range(0); ++i)
        host.addTimer([](GameWrapper*) {}, 1e6f); // far ahead of every wait below
    for (auto _ : state) {
        host.addTimer([](GameWrapper*) {}, 1e-6f);
        host.advance(1e-6);
    }
}
BENCHMARK(BM_SimHost_TimerAmongPending)->Arg(1000)->Arg(40000);

} // namespace
