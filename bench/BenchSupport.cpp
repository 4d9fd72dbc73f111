#include "BenchSupport.h"

#include <boost/shared_ptr.hpp>
#include <cstdio>
#include <mutex>
#include <random>

#include "ExtentNameConverter.h"
#include "LogWriters.h"
#include "ebindex/IndexService.h"

namespace ebbench {

void QuietLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    g_ptrLogWriter = boost::shared_ptr<CLogWriterInterface>(new CStderrLogWriter(0));
  });
}

AFileInfoInternal RecordOf(unsigned long long extent) {
  AFileInfoInternal record;
  record.afileId = extent / 100;
  record.afileValue = extent * 4096;
  return record;
}

void LoadIndex(unsigned long long count) {
  ebindex::Catalogue catalogue;
  char name[ExtentNameConverter::kMaxNameLength + 1];
  for (unsigned long long extent = 0; extent < count; ++extent) {
    ExtentNameConverter::Extent_dec_to_base32_v2(extent, name, 13);
    const AFileInfoInternal record = RecordOf(extent);
    catalogue.addEntry(kItemPath,
                       ebindex::Entry{extent, name, record.afileId, record.afileValue, false});
  }
  ebindex::IndexService& index = ebindex::IndexService::instance();
  index.reset();
  index.setCatalogue(catalogue);
}

std::string CacheBlock(unsigned long long count) {
  std::string block = "START_EXTENT_INFO\n";
  for (unsigned long long extent = 0; extent < count; ++extent) {
    const AFileInfoInternal record = RecordOf(extent);
    block += std::to_string(extent) + " " + std::to_string(record.afileId) + " " +
             std::to_string(record.afileValue) + "\n";
  }
  return block + "END_EXTENT_INFO\n";
}

std::unique_ptr<ExtentBrowseImpl> MakeBrowser(unsigned long long pageSize, std::iostream* cache) {
  QuietLog();
  SCParams params;
  return std::make_unique<ExtentBrowseImpl>(params, kItemPath, cache, EB_MODE_DEFAULT, pageSize, 13,
                                            false, 0, "");
}

std::vector<unsigned long long> ScatteredExtents(std::size_t count, unsigned long long limit) {
  std::mt19937_64 random(20261206);
  std::uniform_int_distribution<unsigned long long> pick(0, limit - 1);
  std::vector<unsigned long long> extents(count);
  for (unsigned long long& extent : extents) extent = pick(random);
  return extents;
}

namespace {

// A fixed pseudo-random value of i (splitmix64).
unsigned long long Scramble(unsigned long long i) {
  unsigned long long z = i + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

const char* NameOf(Layout layout) {
  return layout == Layout::kRuns ? "runs" : layout == Layout::kDense ? "dense" : "sparse";
}

unsigned long long ExtentAt(Layout layout, unsigned long long i) {
  return layout == Layout::kSparse ? i * 65536 : i;
}

AFileInfoInternal RecordAt(Layout layout, unsigned long long i) {
  AFileInfoInternal record;
  if (layout == Layout::kRuns) {
    record.afileId = i / 64;
    record.afileValue = i * 65536;
  } else {
    record.afileId = Scramble(2 * i);
    record.afileValue = Scramble(2 * i + 1);
  }
  return record;
}

std::string CacheBlock(Layout layout, unsigned long long count) {
  std::string block = "START_EXTENT_INFO\n";
  block.reserve(count * 48);
  char line[64];
  for (unsigned long long i = 0; i < count; ++i) {
    const AFileInfoInternal record = RecordAt(layout, i);
    block.append(line, static_cast<std::size_t>(std::snprintf(line, sizeof line, "%llu %llu %llu\n",
                                                              ExtentAt(layout, i), record.afileId,
                                                              record.afileValue)));
  }
  return block + "END_EXTENT_INFO\n";
}

}  // namespace ebbench
