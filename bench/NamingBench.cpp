// The file-system converter's names both ways, against decimal formatting and
// parsing of the same width.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "BenchSupport.h"
#include "extentbrowse/EBExtentNameConverter.h"

namespace {

void BM_ExtentNumToName(benchmark::State& state) {
  auto browser = ebbench::MakeBrowser(1000);
  EBExtentNameConverter* converter = browser->GetExtentNameConverter();
  const auto extents = ebbench::ScatteredExtents(4096, 1ULL << 40);
  std::string name;
  std::size_t next = 0;
  for (auto _ : state) {
    converter->ExtentNumToName(extents[next++ & 4095], name);
    benchmark::DoNotOptimize(name);
  }
}
BENCHMARK(BM_ExtentNumToName);

void BM_ExtentNameToNum(benchmark::State& state) {
  auto browser = ebbench::MakeBrowser(1000);
  EBExtentNameConverter* converter = browser->GetExtentNameConverter();
  std::vector<std::string> names;
  for (unsigned long long extent : ebbench::ScatteredExtents(4096, 1ULL << 40)) {
    names.emplace_back();
    converter->ExtentNumToName(extent, names.back());
  }
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(converter->ExtentNameToNum(names[next++ & 4095]));
  }
}
BENCHMARK(BM_ExtentNameToNum);

void BM_BaselineDecimalFormat(benchmark::State& state) {
  const auto extents = ebbench::ScatteredExtents(4096, 1ULL << 40);
  char buffer[32];
  std::string name;
  std::size_t next = 0;
  for (auto _ : state) {
    int length = std::snprintf(buffer, sizeof buffer, "%013llu", extents[next++ & 4095]);
    name.assign(buffer, static_cast<std::size_t>(length));
    benchmark::DoNotOptimize(name);
  }
}
BENCHMARK(BM_BaselineDecimalFormat);

void BM_BaselineDecimalParse(benchmark::State& state) {
  std::vector<std::string> names;
  char buffer[32];
  for (unsigned long long extent : ebbench::ScatteredExtents(4096, 1ULL << 40)) {
    std::snprintf(buffer, sizeof buffer, "%013llu", extent);
    names.emplace_back(buffer);
  }
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::strtoull(names[next++ & 4095].c_str(), nullptr, 10));
  }
}
BENCHMARK(BM_BaselineDecimalParse);

}  // namespace
