// The browser at 100k, 1M and 16M extents, each figure beside the bare
// structure that does the same job: memory per extent, seeding from and
// saving to a cache block, hit lookups, and a first-time restore.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <charconv>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>

#include "BenchSupport.h"
#include "ThrdPerfCounter.h"
#include "absl/container/btree_map.h"
#include "extentbrowse/EBPerfCounters.h"

namespace {

using Record = AFileInfoInternal;

// 100k and 1M extents; 16M as well when EB_BENCH_LARGE is set, since those
// need several gigabytes and minutes.
void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(100000)->Arg(1000000);
  if (std::getenv("EB_BENCH_LARGE") != nullptr) benchmark->Arg(16000000);
}

// The same sizes, each with counters on and off.
void SizesWithCounters(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgNames({"extents", "counters"});
  for (long long size : {100000ll, 1000000ll}) benchmark->Args({size, 1})->Args({size, 0});
  if (std::getenv("EB_BENCH_LARGE") != nullptr) benchmark->Args({16000000, 1})->Args({16000000, 0});
}

// Chunks malloc maps on their own (the cache block's copy at 16M) count too,
// or freeing one would seem to free nothing.
std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// A browser seeded with `extents` records, kept across benchmarks of one
// size: building the larger ones takes seconds.
ExtentBrowseImpl& SeededBrowser(unsigned long long extents) {
  static unsigned long long seeded = 0;
  static std::unique_ptr<ExtentBrowseImpl> browser;
  if (seeded != extents) {
    browser.reset();
    std::stringstream cache(ebbench::CacheBlock(extents));
    browser = ebbench::MakeBrowser(1000, &cache);
    seeded = extents;
  }
  return *browser;
}

template <typename Map>
const Map& FilledMap(unsigned long long extents) {
  static unsigned long long filled = 0;
  static Map map;
  if (filled != extents) {
    map.clear();
    for (unsigned long long e = 0; e < extents; ++e)
      map.emplace_hint(map.end(), e, ebbench::RecordOf(e));
    filled = extents;
  }
  return map;
}

// Heap bytes per extent of a browser seeded from a block, and of the two
// bare maps filled with the same records. Reported as counters; the time
// is that of building them.
void BM_MemoryPerExtent(benchmark::State& state) {
  const unsigned long long extents = static_cast<unsigned long long>(state.range(0));
  ebbench::QuietLog();
  const std::string block = ebbench::CacheBlock(extents);
  double browserBytes = 0, btreeBytes = 0, stdMapBytes = 0;
  for (auto _ : state) {
    {
      std::unique_ptr<std::stringstream> cache(new std::stringstream(block));
      const std::size_t before = HeapInUse();
      auto browser = ebbench::MakeBrowser(1000, cache.get());
      cache.reset();
      browserBytes = static_cast<double>(HeapInUse()) - static_cast<double>(before) +
                     static_cast<double>(block.size());  // the stream's copy was freed
    }
    {
      const std::size_t before = HeapInUse();
      absl::btree_map<unsigned long long, Record> map;
      for (unsigned long long e = 0; e < extents; ++e)
        map.emplace_hint(map.end(), e, ebbench::RecordOf(e));
      btreeBytes = static_cast<double>(HeapInUse() - before);
    }
    {
      const std::size_t before = HeapInUse();
      std::map<unsigned long long, Record> map;
      for (unsigned long long e = 0; e < extents; ++e)
        map.emplace_hint(map.end(), e, ebbench::RecordOf(e));
      stdMapBytes = static_cast<double>(HeapInUse() - before);
    }
  }
  state.counters["browser_B"] = browserBytes / extents;
  state.counters["btree_B"] = btreeBytes / extents;
  state.counters["std_map_B"] = stdMapBytes / extents;
}
BENCHMARK(BM_MemoryPerExtent)->Apply(Sizes)->Iterations(1)->Unit(benchmark::kMillisecond);

// Construction from a block of `extents` records.
void BM_ConstructFromBlock(benchmark::State& state) {
  const unsigned long long extents = static_cast<unsigned long long>(state.range(0));
  ebbench::QuietLog();
  const std::string block = ebbench::CacheBlock(extents);
  for (auto _ : state) {
    state.PauseTiming();
    std::stringstream cache(block);
    state.ResumeTiming();
    auto browser = ebbench::MakeBrowser(1000, &cache);
    benchmark::DoNotOptimize(browser);
    state.PauseTiming();
    browser.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * extents);
}
BENCHMARK(BM_ConstructFromBlock)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// The floor: the same text parsed with from_chars into a B-tree.
void BM_BaselineParseIntoBtree(benchmark::State& state) {
  const unsigned long long extents = static_cast<unsigned long long>(state.range(0));
  const std::string block = ebbench::CacheBlock(extents);
  for (auto _ : state) {
    absl::btree_map<unsigned long long, Record> map;
    const char* p = block.data() + block.find('\n') + 1;
    const char* const end = block.data() + block.size();
    for (unsigned long long i = 0; i < extents; ++i) {
      unsigned long long extent = 0;
      Record record;
      p = std::from_chars(p, end, extent).ptr + 1;
      p = std::from_chars(p, end, record.afileId).ptr + 1;
      p = std::from_chars(p, end, record.afileValue).ptr + 1;
      map.emplace_hint(map.end(), extent, record);
    }
    benchmark::DoNotOptimize(map);
  }
  state.SetItemsProcessed(state.iterations() * extents);
}
BENCHMARK(BM_BaselineParseIntoBtree)->Apply(Sizes)->Unit(benchmark::kMillisecond);

void BM_SaveBlock(benchmark::State& state) {
  const unsigned long long extents = static_cast<unsigned long long>(state.range(0));
  ebbench::QuietLog();
  ExtentBrowseImpl& browser = SeededBrowser(extents);
  for (auto _ : state) {
    std::stringstream out;
    if (!browser.SaveExtentInfo(&out)) state.SkipWithError("save failed");
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * extents);
}
BENCHMARK(BM_SaveBlock)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// A hit at a random extent of a browser of `extents` records, counters on
// (the stand-in's default) or off.
void BM_Hit(benchmark::State& state) {
  const unsigned long long extents = static_cast<unsigned long long>(state.range(0));
  const bool countersOn = state.range(1) != 0;
  ebbench::QuietLog();
  static std::mutex setUp;
  ExtentBrowseImpl* browser = nullptr;
  {
    std::lock_guard<std::mutex> guard(setUp);
    browser = &SeededBrowser(extents);
  }
  if (state.thread_index() == 0) gEbPerfCounter->setEnabled(countersOn);
  const auto keys = ebbench::ScatteredExtents(1 << 16, extents);
  unsigned long long afileId = 0, afileValue = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    if (browser->GetAFInfo(keys[next++ & 0xFFFF], afileId, afileValue) != EB_EXTENT_FOUND) {
      state.SkipWithError("a seeded extent was not found");
      break;
    }
  }
  if (state.thread_index() == 0) gEbPerfCounter->setEnabled(true);
}
BENCHMARK(BM_Hit)->Apply(SizesWithCounters)->Threads(1)->Threads(2);

// The floors: a mutex, one find, a copy of the two values.
template <typename Map>
void BM_BaselineHit(benchmark::State& state) {
  const unsigned long long extents = static_cast<unsigned long long>(state.range(0));
  static std::mutex lock;
  static std::mutex setUp;
  const Map* map = nullptr;
  {
    std::lock_guard<std::mutex> guard(setUp);
    map = &FilledMap<Map>(extents);
  }
  const auto keys = ebbench::ScatteredExtents(1 << 16, extents);
  unsigned long long afileId = 0, afileValue = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    std::lock_guard<std::mutex> guard(lock);
    auto found = map->find(keys[next++ & 0xFFFF]);
    afileId = found->second.afileId;
    afileValue = found->second.afileValue;
    benchmark::DoNotOptimize(afileId);
    benchmark::DoNotOptimize(afileValue);
  }
}
BENCHMARK_TEMPLATE(BM_BaselineHit, absl::btree_map<unsigned long long, Record>)
    ->Apply(Sizes)
    ->Threads(1)
    ->Threads(2);
BENCHMARK_TEMPLATE(BM_BaselineHit, std::map<unsigned long long, Record>)
    ->Apply(Sizes)
    ->Threads(1)
    ->Threads(2);

// A first-time restore: every extent in order on an empty browser, pages of
// 1000 from the index service. Reported per extent.
void BM_SequentialRestore(benchmark::State& state) {
  const unsigned long long extents = static_cast<unsigned long long>(state.range(0));
  ebbench::LoadIndex(extents);
  unsigned long long afileId = 0, afileValue = 0;
  for (auto _ : state) {
    auto browser = ebbench::MakeBrowser(1000);
    for (unsigned long long e = 0; e < extents; ++e) {
      if (browser->GetAFInfo(e, afileId, afileValue) != EB_EXTENT_FOUND) {
        state.SkipWithError("an extent of the item was not found");
        break;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * extents);
}
BENCHMARK(BM_SequentialRestore)->Apply(Sizes)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
