// The extent map on its own, each figure beside its baselines in the same
// binary: a hit under a mutex against a mutex-guarded std::vector index and
// absl::btree_map find, an ascending build and a page of 1000 inserts
// against the B-tree's, the in-order visit and the enumeration's
// next-extent step against the B-tree's walk, and heap bytes per extent.
// The layouts are the three the map is shaped for: runs (64 extents an
// archive file, values stepping by 65536), dense (random values) and sparse
// (one extent in 65536), at 1M extents and, with EB_BENCH_LARGE, 16M. The
// insert orders that try the map are timed and weighed against the B-tree
// given the same inserts.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>
#include <random>
#include <type_traits>
#include <vector>

#include "absl/container/btree_map.h"
#include "map/ExtentMap.h"

namespace {

using Extent = unsigned long long;
using Record = AFileInfoInternal;
using Btree = absl::btree_map<Extent, Record>;
using Inserts = std::vector<std::pair<Extent, Record>>;

enum Layout { kRuns, kDense, kSparse };

Extent Mix(Extent x) {  // splitmix64's finaliser: a fixed random value per input
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

Record MakeRecord(Extent afileId, Extent afileValue, bool isEmpty = false) {
  Record record;
  record.afileId = afileId;
  record.afileValue = afileValue;
  record.isEmpty = isEmpty;
  return record;
}

// The i-th extent of a layout and its record.
Extent ExtentOf(Layout layout, Extent i) { return layout == kSparse ? i << 16 : i; }
Record RecordOf(Layout layout, Extent i) {
  return layout == kRuns ? MakeRecord(i / 64, i * 65536) : MakeRecord(Mix(i), Mix(~i));
}

void Layouts(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgNames({"layout", "extents"});
  for (long long layout : {kRuns, kDense, kSparse}) {
    benchmark->Args({layout, 1000000});
    if (std::getenv("EB_BENCH_LARGE") != nullptr) benchmark->Args({layout, 16000000});
  }
}

Layout LayoutOf(const benchmark::State& state) { return static_cast<Layout>(state.range(0)); }
Extent SizeOf(const benchmark::State& state) { return static_cast<Extent>(state.range(1)); }

// One structure of each kind at a time, kept across the benchmarks of one
// layout and size: building the large ones takes seconds.
template <class Structure>
const Structure& Built(Layout layout, Extent size) {
  static std::unique_ptr<Structure> built;
  static Layout builtLayout = kRuns;
  static Extent builtSize = 0;
  if (built == nullptr || builtLayout != layout || builtSize != size) {
    built.reset();
    built = std::make_unique<Structure>();
    for (Extent i = 0; i < size; ++i) {
      if constexpr (std::is_same_v<Structure, ExtentMap>) {
        built->Assign(ExtentOf(layout, i), RecordOf(layout, i));
      } else if constexpr (std::is_same_v<Structure, Btree>) {
        built->emplace_hint(built->end(), ExtentOf(layout, i), RecordOf(layout, i));
      } else {
        built->push_back(RecordOf(layout, i));
      }
    }
    builtLayout = layout;
    builtSize = size;
  }
  return *built;
}

// Positions in the layout, spread pseudo-randomly.
std::vector<Extent> Scattered(Extent size) {
  std::mt19937_64 random(20261209);
  std::vector<Extent> positions(1 << 16);
  for (Extent& position : positions) position = random() % size;
  return positions;
}

// A hit as the browser makes it: the lock, then the search and the copy.
template <class Structure>
void Hit(benchmark::State& state) {
  static std::mutex lock;
  const Layout layout = LayoutOf(state);
  const Structure& structure = Built<Structure>(layout, SizeOf(state));
  std::vector<Extent> keys = Scattered(SizeOf(state));
  if constexpr (!std::is_same_v<Structure, std::vector<Record>>) {
    for (Extent& key : keys) key = ExtentOf(layout, key);
  }
  Record record;
  std::size_t next = 0;
  for (auto _ : state) {
    std::lock_guard<std::mutex> guard(lock);
    const Extent key = keys[next++ & 0xFFFF];
    if constexpr (std::is_same_v<Structure, ExtentMap>) {
      if (!structure.Find(key, record)) state.SkipWithError("a present extent was not found");
    } else if constexpr (std::is_same_v<Structure, Btree>) {
      record = structure.find(key)->second;
    } else {
      record = structure[key];
    }
    benchmark::DoNotOptimize(record);
  }
}
void BM_ExtentMapHit(benchmark::State& state) { Hit<ExtentMap>(state); }
void BM_ExtentMapBaselineVectorHit(benchmark::State& state) { Hit<std::vector<Record>>(state); }
void BM_ExtentMapBaselineBtreeHit(benchmark::State& state) { Hit<Btree>(state); }
BENCHMARK(BM_ExtentMapHit)->Apply(Layouts);
BENCHMARK(BM_ExtentMapBaselineVectorHit)->Apply(Layouts);
BENCHMARK(BM_ExtentMapBaselineBtreeHit)->Apply(Layouts);

// Every record in ascending order into an empty structure, as a cache block
// seeds the map. Per record; the structure's destruction is not timed.
// Each build starts from a heap that has given its free memory back, as a
// browser's first does: otherwise whether the last build's memory is still
// at hand depends on what ran before, and the figures with it.
template <class Structure>
void Build(benchmark::State& state) {
  const Layout layout = LayoutOf(state);
  const Extent size = SizeOf(state);
  for (auto _ : state) {
    auto structure = std::make_unique<Structure>();
    for (Extent i = 0; i < size; ++i) {
      if constexpr (std::is_same_v<Structure, ExtentMap>) {
        structure->Assign(ExtentOf(layout, i), RecordOf(layout, i));
      } else {
        structure->emplace_hint(structure->end(), ExtentOf(layout, i), RecordOf(layout, i));
      }
    }
    state.PauseTiming();
    structure.reset();
    malloc_trim(0);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * size);
}
void BM_ExtentMapBuild(benchmark::State& state) { Build<ExtentMap>(state); }
void BM_ExtentMapBaselineBtreeBuild(benchmark::State& state) { Build<Btree>(state); }
BENCHMARK(BM_ExtentMapBuild)->Apply(Layouts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtentMapBaselineBtreeBuild)->Apply(Layouts)->Unit(benchmark::kMillisecond);

// One page of a browse: 1000 records in ascending order into an empty
// structure, made and dropped inside the timing as a fresh browser's is.
// Pages start at 0 and far from it, where the map's chunks are hashed.
void Pages(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgNames({"layout", "first"});
  for (long long layout : {kRuns, kDense}) benchmark->Args({layout, 0})->Args({layout, 123456789});
}
template <class Structure>
void Page(benchmark::State& state) {
  const Layout layout = LayoutOf(state);
  const Extent first = static_cast<Extent>(state.range(1));
  Inserts page;
  for (Extent i = first; i < first + 1000; ++i) page.emplace_back(i, RecordOf(layout, i));
  for (auto _ : state) {
    Structure structure;
    for (const auto& insert : page) {
      if constexpr (std::is_same_v<Structure, ExtentMap>) {
        structure.Assign(insert.first, insert.second);
      } else {
        structure.insert_or_assign(insert.first, insert.second);
      }
    }
    benchmark::DoNotOptimize(structure);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
void BM_ExtentMapPage(benchmark::State& state) { Page<ExtentMap>(state); }
void BM_ExtentMapBaselineBtreePage(benchmark::State& state) { Page<Btree>(state); }
BENCHMARK(BM_ExtentMapPage)->Apply(Pages)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExtentMapBaselineBtreePage)->Apply(Pages)->Unit(benchmark::kMicrosecond);

// The save path's walk: every record in ascending order. Per record.
template <class Structure>
void Visit(benchmark::State& state) {
  const Structure& structure = Built<Structure>(LayoutOf(state), SizeOf(state));
  for (auto _ : state) {
    Extent sum = 0;
    if constexpr (std::is_same_v<Structure, ExtentMap>) {
      structure.ForEach([&sum](Extent e, const Record& r) { sum += e ^ r.afileId ^ r.afileValue; });
    } else {
      for (const auto& [e, r] : structure) sum += e ^ r.afileId ^ r.afileValue;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * SizeOf(state));
}
void BM_ExtentMapVisit(benchmark::State& state) { Visit<ExtentMap>(state); }
void BM_ExtentMapBaselineBtreeVisit(benchmark::State& state) { Visit<Btree>(state); }
BENCHMARK(BM_ExtentMapVisit)->Apply(Layouts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtentMapBaselineBtreeVisit)->Apply(Layouts)->Unit(benchmark::kMillisecond);

// The enumeration: the next extent at or after a cursor, found again at
// every step. Per record.
template <class Structure>
void Enumerate(benchmark::State& state) {
  const Structure& structure = Built<Structure>(LayoutOf(state), SizeOf(state));
  for (auto _ : state) {
    Extent cursor = 0, count = 0, extent = 0;
    Record record;
    for (;; ++count) {
      if constexpr (std::is_same_v<Structure, ExtentMap>) {
        if (!structure.NextAtOrAfter(cursor, extent, record)) break;
      } else {
        const auto next = structure.lower_bound(cursor);
        if (next == structure.end()) break;
        extent = next->first;
        record = next->second;
      }
      cursor = extent + 1;
    }
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(state.iterations() * SizeOf(state));
}
void BM_ExtentMapEnumerate(benchmark::State& state) { Enumerate<ExtentMap>(state); }
void BM_ExtentMapBaselineBtreeEnumerate(benchmark::State& state) { Enumerate<Btree>(state); }
BENCHMARK(BM_ExtentMapEnumerate)->Apply(Layouts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtentMapBaselineBtreeEnumerate)->Apply(Layouts)->Unit(benchmark::kMillisecond);

// Chunks malloc maps on their own count too.
double HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<double>(info.uordblks + info.hblkhd);
}

// The orders that try the map, about 1M inserts each.
Inserts LayoutInserts(Layout layout, Extent count = 1 << 20) {
  Inserts inserts;
  for (Extent i = 0; i < count; ++i) inserts.emplace_back(ExtentOf(layout, i), RecordOf(layout, i));
  return inserts;
}
Inserts Shuffled(Inserts inserts) {
  std::shuffle(inserts.begin(), inserts.end(), std::mt19937_64(30));
  return inserts;
}
Inserts Descending(Inserts inserts) { return Inserts(inserts.rbegin(), inserts.rend()); }
// Extents i * stride + shift of the runs layout, or of random values.
Inserts Strided(Extent stride, Extent shift = 0, bool random = false) {
  Inserts inserts;
  for (Extent i = 0; i < (1 << 20); ++i) {
    const Extent e = i * stride + shift;
    inserts.emplace_back(e, RecordOf(random ? kDense : kRuns, e));
  }
  return inserts;
}

const struct Order {
  const char* name;
  Inserts (*make)();
} kOrders[] = {
    {"runs", [] { return LayoutInserts(kRuns); }},
    {"dense", [] { return LayoutInserts(kDense); }},
    {"sparse", [] { return LayoutInserts(kSparse); }},
    {"alternating files",
     [] {
       Inserts inserts;
       for (Extent e = 0; e < (1 << 20); ++e) inserts.emplace_back(e, MakeRecord(e % 2, e));
       return inserts;
     }},
    {"every other", [] { return Strided(2); }},
    {"every third", [] { return Strided(3); }},
    {"runs desc", [] { return Descending(LayoutInserts(kRuns)); }},
    {"dense desc", [] { return Descending(LayoutInserts(kDense)); }},
    {"runs shuffled", [] { return Shuffled(LayoutInserts(kRuns)); }},
    {"dense shuffled", [] { return Shuffled(LayoutInserts(kDense)); }},
    {"sparse shuffled", [] { return Shuffled(LayoutInserts(kSparse)); }},
    {"one replaced",  // 64k runs, then one extent a million times, then put back
     [] {
       Inserts inserts = LayoutInserts(kRuns, 1 << 16);
       for (Extent i = 0; i < (1 << 20); ++i) inserts.emplace_back(40000, RecordOf(kDense, i));
       inserts.emplace_back(40000, RecordOf(kRuns, 40000));
       return inserts;
     }},
    {"broken+healed",  // every seventh extent broken, then healed at random
     [] {
       Inserts inserts = LayoutInserts(kRuns), healed;
       for (Extent e = 3; e < (1 << 20); e += 7) {
         inserts.emplace_back(e, RecordOf(kDense, e));
         healed.emplace_back(e, RecordOf(kRuns, e));
       }
       healed = Shuffled(healed);
       inserts.insert(inserts.end(), healed.begin(), healed.end());
       return inserts;
     }},
    {"near 2^64", [] { return Shuffled(Strided(1, ~0ull - (1 << 20) + 1, true)); }},
    {"12 a chunk",  // 12 records in every chunk, the fewest that make one
     [] {
       Inserts inserts;
       for (Extent i = 0; i < (1 << 20); ++i) {
         const Extent e = i / 12 * 256 + i % 12 * 21;
         inserts.emplace_back(e, RecordOf(kDense, e));
       }
       return inserts;
     }},
};

void Orders(benchmark::internal::Benchmark* benchmark) {
  benchmark->ArgName("order");
  for (long long order = 0; order < static_cast<long long>(std::size(kOrders)); ++order) {
    benchmark->Arg(order);
  }
}

// The inserts of one order into an empty structure: time per insert, and
// heap bytes per record held afterwards (the map's own count beside what
// malloc says).
template <class Structure>
void Insert(benchmark::State& state) {
  const Order& order = kOrders[state.range(0)];
  state.SetLabel(order.name);
  const Inserts inserts = order.make();
  double bytes = 0, records = 0, counted = 0;
  for (auto _ : state) {
    const double before = HeapInUse();
    auto structure = std::make_unique<Structure>();
    for (const auto& insert : inserts) {
      if constexpr (std::is_same_v<Structure, ExtentMap>) {
        structure->Assign(insert.first, insert.second);
      } else {
        structure->insert_or_assign(insert.first, insert.second);
      }
    }
    state.PauseTiming();
    bytes = HeapInUse() - before;
    if constexpr (std::is_same_v<Structure, ExtentMap>) {
      records = static_cast<double>(structure->Size());
      counted = static_cast<double>(structure->HeapBytes());
    } else {
      records = static_cast<double>(structure->size());
    }
    structure.reset();
    malloc_trim(0);
    state.ResumeTiming();
  }
  state.counters["B_per_record"] = bytes / records;
  if (counted != 0) state.counters["counted_B_per_record"] = counted / records;
  state.SetItemsProcessed(state.iterations() * inserts.size());
}
void BM_ExtentMapInsertOrder(benchmark::State& state) { Insert<ExtentMap>(state); }
void BM_ExtentMapBaselineBtreeInsertOrder(benchmark::State& state) { Insert<Btree>(state); }
BENCHMARK(BM_ExtentMapInsertOrder)->Apply(Orders)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtentMapBaselineBtreeInsertOrder)->Apply(Orders)->Unit(benchmark::kMillisecond);

// Heap bytes per extent of the three layouts, built in ascending order, at
// the hit's sizes; the B-tree beside it.
void BM_ExtentMapMemory(benchmark::State& state) {
  const Layout layout = LayoutOf(state);
  const Extent size = SizeOf(state);
  double mapBytes = 0, countedBytes = 0, btreeBytes = 0;
  for (auto _ : state) {
    {
      const double before = HeapInUse();
      ExtentMap map;
      for (Extent i = 0; i < size; ++i) map.Assign(ExtentOf(layout, i), RecordOf(layout, i));
      mapBytes = HeapInUse() - before;
      countedBytes = static_cast<double>(map.HeapBytes());
    }
    {
      const double before = HeapInUse();
      Btree btree;
      for (Extent i = 0; i < size; ++i) {
        btree.emplace_hint(btree.end(), ExtentOf(layout, i), RecordOf(layout, i));
      }
      btreeBytes = HeapInUse() - before;
    }
  }
  state.counters["map_B"] = mapBytes / size;
  state.counters["map_counted_B"] = countedBytes / size;
  state.counters["btree_B"] = btreeBytes / size;
}
BENCHMARK(BM_ExtentMapMemory)->Apply(Layouts)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
