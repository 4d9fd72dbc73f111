#include "support/BrowserFixtures.h"

#include <cstdio>
#include <sstream>

#include "ExtentNameConverter.h"
#include "support/IndexFixtures.h"

namespace ebtest {

std::string Base32Name(unsigned long long extent, unsigned int length) {
  char buffer[ExtentNameConverter::kMaxNameLength + 1] = {};
  ExtentNameConverter::Extent_dec_to_base32_v2(extent, buffer, length);
  return buffer;
}

databrowse::BrowseResponse DataResponse(const std::vector<DataItem>& items) {
  std::vector<CNMessageBase> data;
  for (const DataItem& item : items) {
    databrowse::BrowseData entry;
    entry.setstring(5, 5, item.path);
    databrowse::ArchiveFileInfo archiveFile;
    archiveFile.setint64(1, 12, static_cast<long long>(item.afileId));
    archiveFile.setint64(2, 13, static_cast<long long>(item.afileValue));
    entry.setObjectAccessor(&archiveFile, 9, 21);
    databrowse::ItemAttributes attributes;
    attributes.setint64(1, 18, item.empty ? 1 : 0);
    entry.setObjectAccessor(&attributes, 1, 1);
    data.push_back(entry);
  }
  databrowse::BrowseResult result;
  result.setlistobject(3, 6, &data);
  databrowse::BrowseResponse response;
  response.setint64(1, 1, databrowse::BROWSE_RESPONSE_DATA);
  response.setObjectAccessor(&result, 6, 9);
  return response;
}

databrowse::BrowseResponse ErrorResponse(int code) {
  databrowse::BrowseError error;
  error.setint64(1, 1, code);
  const std::vector<CNMessageBase> errors(1, error);
  databrowse::BrowseResponse response;
  response.setint64(1, 1, databrowse::BROWSE_RESPONSE_ERROR);
  response.setlistobject(4, 7, &errors);
  return response;
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
  for (const std::string& message : log.messages()) {
    unsigned long long first = 0, last = 0;
    if (std::sscanf(message.c_str(), "Added to browsedExtents: (%llu, %llu)", &first, &last) == 2) {
      ranges.emplace_back(first, last);
    }
  }
  return ranges;
}

IndexTest::IndexTest() {
  ebindex::IndexService::instance().reset();
  ebindex::IndexService::instance().setRecording(true);
}

IndexTest::~IndexTest() { ebindex::IndexService::instance().reset(); }

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
