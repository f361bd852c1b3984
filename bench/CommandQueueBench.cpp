// The command queue sits between every input message and the viewer: posting
// must stay cheap even when a drag floods it with moves.
#include "control/CommandQueue.h"

#include <benchmark/benchmark.h>

namespace zov {
namespace {

void PostAndTake(benchmark::State& state) {
    CommandQueue queue;
    POINT p{1, 2};
    for (auto _ : state) {
        queue.Post(kCommandFlipNext, &p, 0, 0);
        benchmark::DoNotOptimize(queue.Take());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(PostAndTake);

// A drag merging into a queue that already holds 19 pending commands: the
// worst walk a merge makes.
void MergeIntoFullQueue(benchmark::State& state) {
    CommandQueue queue;
    for (int i = 0; i < 19; ++i)
        queue.Post(kCommandFlipNext, nullptr, 0, 0);
    POINT p{0, 0};
    queue.Post(kCommandMouseMove, &p, MK_LBUTTON, 0);
    for (auto _ : state) {
        ++p.x;
        benchmark::DoNotOptimize(queue.Post(kCommandMouseMove, &p, MK_LBUTTON, 0));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(MergeIntoFullQueue);

}  // namespace
}  // namespace zov
