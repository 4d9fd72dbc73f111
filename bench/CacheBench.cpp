// Saving a browser's map as an extent-info block, against formatting the
// same records by hand. Seeding from a block is measured at scale
// (ScaleBench.cpp).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <sstream>

#include "BenchSupport.h"

namespace {

constexpr unsigned long long kRecords = 10000;

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
