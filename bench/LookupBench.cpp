// The lookup's three roads: a record already in the map, an extent inside a
// browsed range with no record, and a miss that browses one page.
//
// The hit stands on a ladder of baselines over the same records and keys,
// each rung adding one thing the hit does around its map search: the search
// alone, then inside the map lock as the lookup takes it, then with the
// map-search counter's start/stop pair. The gap from the top rung to the
// hit is the rest of GetAFInfo. The ladder is climbed on the library's own
// map, on a B-tree (the map it replaced) and on a std::map.
#include <benchmark/benchmark.h>

#include <map>
#include <sstream>

#include "BenchSupport.h"
#include "BrowseMessages.h"
#include "ExtentNameConverter.h"
#include "ThrdPerfCounter.h"
#include "absl/container/btree_map.h"
#include "browser/PerfCounters.h"
#include "common/VolumeCtxt.h"
#include "ebindex/IndexService.h"
#include "extentbrowse/EBPerfCounters.h"
#include "extentbrowse/ZelSync.h"

namespace {

constexpr unsigned long long kSeededExtents = 100000;

// The map's own record, so the baselines search maps of the same shape.
using Record = AFileInfoInternal;
using BTree = absl::btree_map<unsigned long long, Record>;
using StdMap = std::map<unsigned long long, Record>;

// The same search on the library's map and on the standard-shaped ones.
bool Search(const ExtentMap& map, unsigned long long extent, Record& record) {
  return map.Find(extent, record);
}
template <typename Map>
bool Search(const Map& map, unsigned long long extent, Record& record) {
  const typename Map::const_iterator found = map.find(extent);
  if (found == map.end()) return false;
  record = found->second;
  return true;
}
void Fill(ExtentMap& map, unsigned long long extent, const Record& record) {
  map.Assign(extent, record);
}
template <typename Map>
void Fill(Map& map, unsigned long long extent, const Record& record) {
  map.emplace_hint(map.end(), extent, record);
}

// One browser for every thread count: building it seeds 100k records, which
// must not be timed, and threads of one run must share it.
ExtentBrowseImpl& SeededBrowser() {
  static std::stringstream cache(ebbench::CacheBlock(kSeededExtents));
  static std::unique_ptr<ExtentBrowseImpl> browser = ebbench::MakeBrowser(1000, &cache);
  return *browser;
}

// With counters on (the default), the hit also starts and stops the map
// search counter; BM_CounterPair has that pair on its own.
void BM_LookupHit(benchmark::State& state) {
  ExtentBrowseImpl& browser = SeededBrowser();
  const bool countersOn = state.range(0) != 0;
  if (state.thread_index() == 0) gEbPerfCounter->setEnabled(countersOn);
  const auto extents = ebbench::ScatteredExtents(4096, kSeededExtents);
  unsigned long long afileId = 0, afileValue = 0;
  std::size_t next = 0;
  for (auto _ : state) {
    if (browser.GetAFInfo(extents[next++ & 4095], afileId, afileValue) != EB_EXTENT_FOUND) {
      state.SkipWithError("a seeded extent was not found");
      break;
    }
  }
  if (state.thread_index() == 0) gEbPerfCounter->setEnabled(true);
}
BENCHMARK(BM_LookupHit)->ArgName("counters")->Arg(1)->Arg(0)->Threads(1)->Threads(2);

// The same records as the browser's, filled the way a cache block seeds it.
template <typename Map>
const Map& SeededMap() {
  static const Map* const map = [] {
    Map* filled = new Map();
    for (unsigned long long e = 0; e < kSeededExtents; ++e) Fill(*filled, e, ebbench::RecordOf(e));
    return filled;
  }();
  return *map;
}

// The rungs of the ladder, each adding to the one before.
enum Rung { SearchOnly, PlusLock, PlusCounterPair };

// One search and a copy of the two values, as a hit makes; from PlusLock on
// inside a critical section the threads share, taken through CSecWrapper as
// the lookup takes the map lock; from PlusCounterPair on timed by the
// library's own map-search counter.
template <typename Map, Rung rung>
void BM_BaselineLookupHit(benchmark::State& state) {
  static ZelCriticalSection section;
  SeededBrowser();  // makes the counter set, which the hit shares
  const Map& map = SeededMap<Map>();
  const auto extents = ebbench::ScatteredExtents(4096, kSeededExtents);
  unsigned long long afileId = 0, afileValue = 0;
  const auto search = [&map, &afileId, &afileValue](unsigned long long extent) {
    Record record;
    if constexpr (rung == PlusCounterPair) StartCounter(kCounterFindInExtentMap);
    Search(map, extent, record);
    if constexpr (rung == PlusCounterPair) StopCounter(kCounterFindInExtentMap);
    afileId = record.afileId;
    afileValue = record.afileValue;
  };
  std::size_t next = 0;
  for (auto _ : state) {
    if constexpr (rung == SearchOnly) {
      search(extents[next++ & 4095]);
    } else {
      CSecWrapper guard(section);
      search(extents[next++ & 4095]);
    }
    benchmark::DoNotOptimize(afileId);
    benchmark::DoNotOptimize(afileValue);
  }
}
BENCHMARK_TEMPLATE(BM_BaselineLookupHit, ExtentMap, SearchOnly)->Threads(1)->Threads(2);
BENCHMARK_TEMPLATE(BM_BaselineLookupHit, ExtentMap, PlusLock)->Threads(1)->Threads(2);
BENCHMARK_TEMPLATE(BM_BaselineLookupHit, ExtentMap, PlusCounterPair)->Threads(1)->Threads(2);
BENCHMARK_TEMPLATE(BM_BaselineLookupHit, BTree, SearchOnly)->Threads(1)->Threads(2);
BENCHMARK_TEMPLATE(BM_BaselineLookupHit, BTree, PlusLock)->Threads(1)->Threads(2);
BENCHMARK_TEMPLATE(BM_BaselineLookupHit, BTree, PlusCounterPair)->Threads(1)->Threads(2);
BENCHMARK_TEMPLATE(BM_BaselineLookupHit, StdMap, SearchOnly)->Threads(1)->Threads(2);
BENCHMARK_TEMPLATE(BM_BaselineLookupHit, StdMap, PlusLock)->Threads(1)->Threads(2);
BENCHMARK_TEMPLATE(BM_BaselineLookupHit, StdMap, PlusCounterPair)->Threads(1)->Threads(2);

// An extent past the item's last entry, after one browse reached the end of
// the item: answered from the browsed ranges without browsing again.
void BM_LookupInBrowsedRange(benchmark::State& state) {
  ebbench::LoadIndex(1000);
  auto browser = ebbench::MakeBrowser(1000);
  unsigned long long afileId = 0, afileValue = 0;
  if (browser->GetAFInfo(0, afileId, afileValue) != EB_EXTENT_FOUND) {
    state.SkipWithError("first lookup did not browse");
    return;
  }
  const auto extents = ebbench::ScatteredExtents(4096, 1000000);
  std::size_t next = 0;
  for (auto _ : state) {
    ExtentBrowseResult result =
        browser->GetAFInfo(1000 + extents[next++ & 4095], afileId, afileValue);
    if (result != EB_EXTENT_NOT_FOUND) {
      state.SkipWithError("lookup left the browsed range");
      break;
    }
  }
}
BENCHMARK(BM_LookupInBrowsedRange);

// A fresh browser per iteration: one lookup browses one 1000-entry page
// through the in-process index service and fills the map from it.
void BM_LookupMissBrowsesPage(benchmark::State& state) {
  ebbench::LoadIndex(1000);
  unsigned long long afileId = 0, afileValue = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto browser = ebbench::MakeBrowser(1000);
    state.ResumeTiming();
    if (browser->GetAFInfo(500, afileId, afileValue) != EB_EXTENT_FOUND) {
      state.SkipWithError("lookup did not find the extent");
      break;
    }
    state.PauseTiming();
    browser.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_LookupMissBrowsesPage)->Unit(benchmark::kMicrosecond);

// The floor under a page: inserting its 1000 records into an empty map of
// the library's kind.
void BM_BaselineMapInsertPage(benchmark::State& state) {
  for (auto _ : state) {
    BTree map;
    for (unsigned long long e = 0; e < 1000; ++e) map.insert_or_assign(e, ebbench::RecordOf(e));
    benchmark::DoNotOptimize(map);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_BaselineMapInsertPage)->Unit(benchmark::kMicrosecond);

// A page of 1000 items as the index sends it, built once.
const databrowse::BrowseResponse& PrebuiltPage() {
  static const databrowse::BrowseResponse page = [] {
    ebindex::Catalogue catalogue;
    char name[ExtentNameConverter::kMaxNameLength + 1];
    for (unsigned long long extent = 0; extent < 1000; ++extent) {
      ExtentNameConverter::Extent_dec_to_base32_v2(extent, name, 13);
      const Record record = ebbench::RecordOf(extent);
      catalogue.addEntry(ebbench::kItemPath,
                         ebindex::Entry{extent, name, record.afileId, record.afileValue, false});
    }
    databrowse::BrowseRequest request;
    request.getlistobject(4, 4, true)->emplace_back(databrowse::BrowsePath());
    request.getlistobject(4, 4, true)->front().setstring(1, 1, ebbench::kItemPath);
    return ebindex::AnswerRequest(catalogue, request, 1000).front();
  }();
  return page;
}

// The library's own share of a miss: one 1000-item response handed straight
// to the response callback of a fresh browser, no index service.
void BM_ResponseIntoMap(benchmark::State& state) {
  databrowse::BrowseResponse page = PrebuiltPage();
  for (auto _ : state) {
    state.PauseTiming();
    auto browser = ebbench::MakeBrowser(1000);
    state.ResumeTiming();
    if (!browser->IdxBrowseClientProcessRespCallback(&page)) state.SkipWithError("refused");
    state.PauseTiming();
    browser.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ResponseIntoMap)->Unit(benchmark::kMicrosecond);

// The floor under it: read each item of the same response, decode its name
// and insert its record into the same kind of map.
void BM_BaselineResponseIntoMap(benchmark::State& state) {
  databrowse::BrowseResponse page = PrebuiltPage();
  std::vector<CNMessageBase>& items =
      *page.getObjectAccessor(true, false, 6, 9, 100, 98)->getlistobject(3, 6, false);
  for (auto _ : state) {
    BTree map;
    for (CNMessageBase& item : items) {
      const std::string& path = item.getstring(5, 5);
      const std::string name = path.substr(path.find('\x12') + 1);
      const unsigned long long extent = ExtentNameConverter::Extent_base32_to_dec(name);
      Record record;
      CNMessageBase* archiveFile = item.getObjectAccessor(true, false, 9, 21, 100, 93);
      record.afileId = static_cast<unsigned long long>(static_cast<int>(archiveFile->getint64(12)));
      record.afileValue = static_cast<unsigned long long>(archiveFile->getint64(13));
      record.isEmpty = item.getObjectAccessor(true, false, 1, 1, 100, 0)->getint64(18) != 0;
      map.insert_or_assign(extent, record);
    }
    benchmark::DoNotOptimize(map);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_BaselineResponseIntoMap)->Unit(benchmark::kMicrosecond);

}  // namespace
