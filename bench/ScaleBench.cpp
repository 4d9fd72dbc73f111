// The browser at 100k, 1M and 16M extents, in the three shapes of large
// items (runs, dense, sparse: BenchSupport.h), each figure beside the bare
// structure that does the same job: memory per extent, seeding from and
// saving to a cache block, hit lookups, and a first-time restore.
//
// Names: BM_<case>/<layout>/<extents>[/counters:<0|1>].
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <charconv>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "ThrdPerfCounter.h"
#include "absl/container/btree_map.h"
#include "extentbrowse/EBPerfCounters.h"

namespace {

using ebbench::Layout;
using Record = AFileInfoInternal;
using BTree = absl::btree_map<unsigned long long, Record>;

// 100k and 1M extents; 16M as well when EB_BENCH_LARGE is set, since those
// need several gigabytes and minutes.
std::vector<unsigned long long> Sizes() {
  std::vector<unsigned long long> sizes = {100000, 1000000};
  if (std::getenv("EB_BENCH_LARGE") != nullptr) sizes.push_back(16000000);
  return sizes;
}

// Chunks malloc maps on their own (the cache block's copy at 16M) count too,
// or freeing one would seem to free nothing.
std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// The last structure of each kind built, kept across benchmarks of one
// layout and size: building the larger ones takes seconds.
template <typename T>
T& Cached(Layout layout, unsigned long long extents,
          std::unique_ptr<T> (*make)(Layout, unsigned long long)) {
  static std::mutex setUp;
  static std::pair<Layout, unsigned long long> built(Layout::kRuns, 0);
  static std::unique_ptr<T> value;
  std::lock_guard<std::mutex> guard(setUp);
  if (!value || built != std::make_pair(layout, extents)) {
    value.reset();
    value = make(layout, extents);
    built = {layout, extents};
  }
  return *value;
}

std::unique_ptr<ExtentBrowseImpl> NewSeededBrowser(Layout layout, unsigned long long extents) {
  std::stringstream cache(ebbench::CacheBlock(layout, extents));
  return ebbench::MakeBrowser(1000, &cache);
}

std::unique_ptr<BTree> NewBTree(Layout layout, unsigned long long extents) {
  auto map = std::make_unique<BTree>();
  for (unsigned long long i = 0; i < extents; ++i) {
    map->emplace_hint(map->end(), ebbench::ExtentAt(layout, i), ebbench::RecordAt(layout, i));
  }
  return map;
}

std::unique_ptr<std::vector<Record>> NewArray(Layout layout, unsigned long long extents) {
  auto records = std::make_unique<std::vector<Record>>();
  records->reserve(extents);
  for (unsigned long long i = 0; i < extents; ++i) records->push_back(ebbench::RecordAt(layout, i));
  return records;
}

ExtentBrowseImpl& SeededBrowser(Layout layout, unsigned long long extents) {
  return Cached(layout, extents, NewSeededBrowser);
}

// Present extents of the layout, in a scattered order.
std::vector<unsigned long long> Keys(Layout layout, unsigned long long extents) {
  std::vector<unsigned long long> keys = ebbench::ScatteredExtents(1 << 16, extents);
  for (unsigned long long& key : keys) key = ebbench::ExtentAt(layout, key);
  return keys;
}

// Heap bytes per extent of a browser seeded from a block, and of a bare
// B-tree filled with the same records. Reported as counters; the time is
// that of building them.
void BM_MemoryPerExtent(benchmark::State& state, Layout layout, unsigned long long extents) {
  ebbench::QuietLog();
  const std::string block = ebbench::CacheBlock(layout, extents);
  double browserBytes = 0, btreeBytes = 0;
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
      const std::unique_ptr<BTree> map = NewBTree(layout, extents);
      btreeBytes = static_cast<double>(HeapInUse() - before);
    }
  }
  state.counters["browser_B"] = browserBytes / extents;
  state.counters["btree_B"] = btreeBytes / extents;
}

// Construction from a block of `extents` records.
void BM_ConstructFromBlock(benchmark::State& state, Layout layout, unsigned long long extents) {
  ebbench::QuietLog();
  const std::string block = ebbench::CacheBlock(layout, extents);
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

// The floor: the same text parsed with from_chars into a B-tree.
void BM_BaselineParseIntoBtree(benchmark::State& state, Layout layout,
                               unsigned long long extents) {
  const std::string block = ebbench::CacheBlock(layout, extents);
  for (auto _ : state) {
    BTree map;
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

void BM_SaveBlock(benchmark::State& state, Layout layout, unsigned long long extents) {
  ebbench::QuietLog();
  ExtentBrowseImpl& browser = SeededBrowser(layout, extents);
  for (auto _ : state) {
    std::stringstream out;
    if (!browser.SaveExtentInfo(&out)) state.SkipWithError("save failed");
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * extents);
}

// A hit at a random extent of a browser of `extents` records, counters on
// (the stand-in's default) or off.
void BM_Hit(benchmark::State& state, Layout layout, unsigned long long extents, bool countersOn) {
  ebbench::QuietLog();
  ExtentBrowseImpl& browser = SeededBrowser(layout, extents);
  gEbPerfCounter->setEnabled(countersOn);
  const std::vector<unsigned long long> keys = Keys(layout, extents);
  unsigned long long afileId = 0, afileValue = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    if (browser.GetAFInfo(keys[next++ & 0xFFFF], afileId, afileValue) != EB_EXTENT_FOUND) {
      state.SkipWithError("a seeded extent was not found");
      break;
    }
  }
  gEbPerfCounter->setEnabled(true);
}

// The floors: a mutex and an index into a plain array of the records, or a
// mutex and a B-tree find, and a copy of the two values.
void BM_BaselineHitVector(benchmark::State& state, Layout layout, unsigned long long extents) {
  const std::vector<Record>& records = Cached(layout, extents, NewArray);
  std::vector<unsigned long long> keys = ebbench::ScatteredExtents(1 << 16, extents);
  std::mutex lock;
  unsigned long long afileId = 0, afileValue = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    std::lock_guard<std::mutex> guard(lock);
    const Record& found = records[keys[next++ & 0xFFFF]];
    afileId = found.afileId;
    afileValue = found.afileValue;
    benchmark::DoNotOptimize(afileId);
    benchmark::DoNotOptimize(afileValue);
  }
}

void BM_BaselineHitBtree(benchmark::State& state, Layout layout, unsigned long long extents) {
  const BTree& map = Cached(layout, extents, NewBTree);
  const std::vector<unsigned long long> keys = Keys(layout, extents);
  std::mutex lock;
  unsigned long long afileId = 0, afileValue = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    std::lock_guard<std::mutex> guard(lock);
    const BTree::const_iterator found = map.find(keys[next++ & 0xFFFF]);
    afileId = found->second.afileId;
    afileValue = found->second.afileValue;
    benchmark::DoNotOptimize(afileId);
    benchmark::DoNotOptimize(afileValue);
  }
}

// A first-time restore: every extent in order on an empty browser, pages of
// 1000 from the index service. Reported per extent.
void BM_SequentialRestore(benchmark::State& state, unsigned long long extents) {
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

const bool kRegistered = [] {
  for (const Layout layout : {Layout::kRuns, Layout::kDense, Layout::kSparse}) {
    for (const unsigned long long extents : Sizes()) {
      const std::string at = std::string("/") + ebbench::NameOf(layout) + "/" +
                             std::to_string(extents);
      benchmark::RegisterBenchmark(("BM_MemoryPerExtent" + at).c_str(), BM_MemoryPerExtent,
                                   layout, extents)
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("BM_ConstructFromBlock" + at).c_str(), BM_ConstructFromBlock,
                                   layout, extents)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("BM_BaselineParseIntoBtree" + at).c_str(),
                                   BM_BaselineParseIntoBtree, layout, extents)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("BM_SaveBlock" + at).c_str(), BM_SaveBlock, layout, extents)
          ->Unit(benchmark::kMillisecond);
      for (const bool counters : {true, false}) {
        benchmark::RegisterBenchmark(
            ("BM_Hit" + at + "/counters:" + (counters ? "1" : "0")).c_str(), BM_Hit, layout,
            extents, counters);
      }
      benchmark::RegisterBenchmark(("BM_BaselineHitVector" + at).c_str(), BM_BaselineHitVector,
                                   layout, extents);
      benchmark::RegisterBenchmark(("BM_BaselineHitBtree" + at).c_str(), BM_BaselineHitBtree,
                                   layout, extents);
    }
  }
  for (const unsigned long long extents : Sizes()) {
    benchmark::RegisterBenchmark(("BM_SequentialRestore/" + std::to_string(extents)).c_str(),
                                 BM_SequentialRestore, extents)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
