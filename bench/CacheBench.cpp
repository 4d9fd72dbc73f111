// Seeding a browser from an extent-info block and saving its map, against
// parsing and formatting the same records by hand.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "BenchSupport.h"

namespace {

constexpr unsigned long long kRecords = 10000;

// Includes the rest of construction (counters, converter, response object),
// which is small beside 10k records.
void BM_ConstructFromCache(benchmark::State& state) {
  const std::string block = ebbench::CacheBlock(kRecords);
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
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ConstructFromCache)->Unit(benchmark::kMicrosecond);

void BM_BaselineParseRecords(benchmark::State& state) {
  const std::string block = ebbench::CacheBlock(kRecords);
  for (auto _ : state) {
    std::map<unsigned long long, std::pair<unsigned long long, unsigned long long>> map;
    const char* text = block.c_str() + block.find('\n') + 1;
    for (unsigned long long i = 0; i < kRecords; ++i) {
      char* end;
      unsigned long long extent = std::strtoull(text, &end, 10);
      unsigned long long afileId = std::strtoull(end, &end, 10);
      unsigned long long afileValue = std::strtoull(end, &end, 10);
      map.emplace_hint(map.end(), extent, std::make_pair(afileId, afileValue));
      text = end + 1;
    }
    benchmark::DoNotOptimize(map);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_BaselineParseRecords)->Unit(benchmark::kMicrosecond);

void BM_SaveExtentInfo(benchmark::State& state) {
  std::stringstream seed(ebbench::CacheBlock(kRecords));
  auto browser = ebbench::MakeBrowser(1000, &seed);
  for (auto _ : state) {
    std::stringstream out;
    if (!browser->SaveExtentInfo(&out)) {
      state.SkipWithError("save failed");
      break;
    }
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_SaveExtentInfo)->Unit(benchmark::kMicrosecond);

void BM_BaselineFormatRecords(benchmark::State& state) {
  for (auto _ : state) {
    std::string out = "START_EXTENT_INFO\n";
    char line[80];
    for (unsigned long long e = 0; e < kRecords; ++e) {
      const AFileInfoInternal record = ebbench::RecordOf(e);
      int length = std::snprintf(line, sizeof line, "%llu %llu %llu\n", e, record.afileId,
                                 record.afileValue);
      out.append(line, static_cast<std::size_t>(length));
    }
    out += "END_EXTENT_INFO\n";
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_BaselineFormatRecords)->Unit(benchmark::kMicrosecond);

}  // namespace
