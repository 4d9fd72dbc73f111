// One start/stop pair of a counter, as the lookup makes around its map
// search, against the same pair on a disabled set (the call and the flag
// test, nothing counted).
#include <benchmark/benchmark.h>

#include "ThrdPerfCounter.h"

namespace {

// One set for every thread count, so the threads of a run share a counter
// the way callers of one browser share the map-search counter.
ThrdPerfCounter& SharedSet() {
  static EvEvent event;
  static ThrdPerfCounter* set = [] {
    auto* made = new ThrdPerfCounter(&event);
    made->AddPerfCounter(3, "FindInExtentMap", 0, false);
    return made;
  }();
  return *set;
}

void BM_CounterPair(benchmark::State& state) {
  ThrdPerfCounter& set = SharedSet();
  if (state.thread_index() == 0) set.setEnabled(state.range(0) != 0);
  for (auto _ : state) {
    set.StartPerfCounter("ExtentBrowse", 3);
    benchmark::ClobberMemory();
    set.StopPerfCounter("ExtentBrowse", 3, 0);
  }
  if (state.thread_index() == 0) set.setEnabled(true);
}
BENCHMARK(BM_CounterPair)->ArgName("counters")->Arg(0)->Arg(1)->Threads(1)->Threads(2);

}  // namespace
