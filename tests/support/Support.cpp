#include "support/Support.h"

#include <cstdio>
#include <sstream>

#include "ExtentNameConverter.h"

namespace ebtest {

SCParams MakeParams(int appType) {
  return SCParams{7, appType, 11, 13, 17, 1700000000, 1600000000};
}

std::string Base32Name(unsigned long long extent) {
  char buffer[ExtentNameConverter::kMaxNameLength + 1] = {};
  ExtentNameConverter::Extent_dec_to_base32_v2(extent, buffer, 13);
  return buffer;
}

ebindex::Entry MakeEntry(unsigned long long extent, const std::string& name, bool empty) {
  return ebindex::Entry{extent, name, 1000 + extent, 2000 + extent, empty};
}

std::vector<MapRecord> MapOf(ExtentBrowseImpl& browser) {
  // The block is written where the construction stream's block began, so
  // the stream needs room to be positioned there.
  std::stringstream stream(std::string(4096, ' '));
  EXPECT_TRUE(browser.SaveExtentInfo(&stream));
  std::vector<MapRecord> records;
  std::string line;
  while (std::getline(stream, line)) {
    unsigned long long extent = 0, afileId = 0, afileValue = 0;
    if (std::sscanf(line.c_str(), "%llu %llu %llu", &extent, &afileId, &afileValue) == 3) {
      records.emplace_back(extent, afileId, afileValue);
    }
  }
  return records;
}

std::vector<std::pair<unsigned long long, unsigned long long>> RecordedRanges(
    const ScopedLogCapture& log) {
  std::vector<std::pair<unsigned long long, unsigned long long>> ranges;
  for (const std::string& message : log->messages()) {
    unsigned long long first = 0, last = 0;
    if (std::sscanf(message.c_str(), "Added to browsedExtents: (%llu, %llu)", &first, &last) == 2) {
      ranges.emplace_back(first, last);
    }
  }
  return ranges;
}

IndexTest::IndexTest() {
  index().reset();
  index().setRecording(true);
}

void IndexTest::AddItem(const std::string& path, unsigned long long first,
                        unsigned long long count, std::string (*name)(unsigned long long)) {
  catalogue.addItem(path);
  for (unsigned long long extent = first; extent < first + count; ++extent) {
    catalogue.addEntry(path, MakeEntry(extent, name != nullptr ? name(extent) : Base32Name(extent),
                                       extent % 7 == 0));
  }
  index().setCatalogue(catalogue);
}

std::unique_ptr<ExtentBrowseImpl> IndexTest::MakeBrowser(int appType, const std::string& path,
                                                         unsigned long long pageSize,
                                                         const std::string& maName,
                                                         std::iostream* cache) {
  SCParams params = MakeParams(appType);
  return std::unique_ptr<ExtentBrowseImpl>(new ExtentBrowseImpl(
      params, path, cache, EB_MODE_DEFAULT, pageSize, 13, false, 0, maName));
}

}  // namespace ebtest
