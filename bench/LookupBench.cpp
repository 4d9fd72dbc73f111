// The lookup's three roads: a record already in the map, an extent inside a
// browsed range with no record, and a miss that browses one page.
#include <benchmark/benchmark.h>

#include <map>
#include <mutex>
#include <sstream>

#include "BenchSupport.h"
#include "BrowseMessages.h"
#include "ExtentNameConverter.h"
#include "ThrdPerfCounter.h"
#include "ebindex/IndexService.h"
#include "extentbrowse/EBPerfCounters.h"

namespace {

constexpr unsigned long long kSeededExtents = 100000;

// The map's own record, so the baseline searches a map of the same shape.
using Record = AFileInfoInternal;

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

// What the hit path is measured against: a lock and one search, nothing more.
void BM_BaselineLockedMapSearch(benchmark::State& state) {
  static std::mutex lock;
  static const std::map<unsigned long long, Record> map = [] {
    std::map<unsigned long long, Record> filled;
    for (unsigned long long e = 0; e < kSeededExtents; ++e)
      filled.emplace(e, ebbench::RecordOf(e));
    return filled;
  }();
  const auto extents = ebbench::ScatteredExtents(4096, kSeededExtents);
  std::size_t next = 0;
  for (auto _ : state) {
    std::lock_guard<std::mutex> guard(lock);
    auto found = map.find(extents[next++ & 4095]);
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_BaselineLockedMapSearch)->Threads(1)->Threads(2);

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

// The floor under a page: inserting its 1000 records into an empty map.
void BM_BaselineMapInsertPage(benchmark::State& state) {
  for (auto _ : state) {
    std::map<unsigned long long, Record> map;
    for (unsigned long long e = 0; e < 1000; ++e)
      map.emplace(e, ebbench::RecordOf(e));
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
  std::vector<CNMessageBase>& items = *page.getObjectAccessor(true, false, 6, 9, 100, 98)
                                           ->getlistobject(3, 6, false);
  for (auto _ : state) {
    ExtentMap map;
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
