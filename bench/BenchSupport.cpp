#include "BenchSupport.h"

#include <boost/shared_ptr.hpp>
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

}  // namespace ebbench
