#include "support/Support.h"

#include <cstdio>
#include <sstream>

#include "ExtentNameConverter.h"

namespace ebtest {

namespace {

template <typename Message>
CNMessageBase* ChildOf(CNMessageBase& parent, int index, int tag) {
  return parent.getObjectAccessor(true, true, index, tag, Message::kFamily, Message::kNumber);
}

databrowse::BrowseRequest RequestFor(const std::string& path, int mode,
                                     const databrowse::Query* query,
                                     const databrowse::ExtentRange* range) {
  databrowse::BrowsePath browsePath;
  browsePath.setstring(1, 1, path);
  if (range != nullptr) {
    ChildOf<databrowse::BrowsePathParameters>(browsePath, 2, 5)
        ->getlistobject(3, 6, true)
        ->push_back(*range);
  }
  databrowse::BrowseRequest request;
  ChildOf<databrowse::BrowseMode>(request, 8, 8)->setint64(1, 1, mode);
  request.getlistobject(4, 4, true)->push_back(browsePath);
  if (query != nullptr) request.getlistobject(12, 12, true)->push_back(*query);
  return request;
}

}  // namespace

ScopedLogCapture::ScopedLogCapture(int level)
    : writer_(new CCaptureLogWriter(level)), previous_(g_ptrLogWriter) {
  g_ptrLogWriter = writer_;
}

SCParams MakeParams(int appType) {
  SCParams params;
  params.sourceClientId = 7;
  params.appType = appType;
  params.bkpSetId = 11;
  params.AppId = 13;
  params.appInstance = 17;
  params.totime = 1700000000;
  params.fromtime = 1600000000;
  return params;
}

std::string Base32Name(unsigned long long extent) {
  char buffer[ExtentNameConverter::kMaxNameLength + 1] = {};
  ExtentNameConverter::Extent_dec_to_base32_v2(extent, buffer, 13);
  return buffer;
}

ebindex::Entry MakeEntry(unsigned long long extent, const std::string& name, bool empty) {
  return ebindex::Entry{extent, name, 1000 + extent, 2000 + extent, empty};
}

databrowse::Query PageQuery(const std::string& startName, unsigned long long offset,
                            long long pageSize) {
  databrowse::Query query;
  query.setint64(1, 1, 0);
  CNMessageBase& paging = PagingOf(query);
  paging.setint64(2, 2, static_cast<long long>(offset));
  if (pageSize >= 0) paging.setint64(3, 3, pageSize);
  paging.setstring(4, 4, startName);
  return query;
}

CNMessageBase& PagingOf(CNMessageBase& query) {
  return *ChildOf<databrowse::BrowsePaging>(*ChildOf<databrowse::QueryOptions>(query, 5, 8), 2, 2);
}

std::string StartNameIn(const CNMessageBase& query) {
  const CNMessageBase* options = query.findObject(8);
  const CNMessageBase* paging = options != nullptr ? options->findObject(2) : nullptr;
  return paging != nullptr ? paging->getstring(4, 4) : "<no paging>";
}

databrowse::BrowseRequest NameRequest(const std::string& path, const databrowse::Query* query) {
  return RequestFor(path, 2, query, nullptr);
}

databrowse::BrowseRequest RangeRequest(const std::string& path, unsigned long long start,
                                       unsigned long long count, const databrowse::Query* query) {
  databrowse::ExtentRange range;
  range.setint64(1, 1, static_cast<long long>(start));
  range.setint64(2, 2, static_cast<long long>(count));
  return RequestFor(path, 3, query, &range);
}

std::vector<std::string> NamesIn(const CNMessageBase& response) {
  std::vector<std::string> names;
  const CNMessageBase* result = response.findObject(9);
  const std::vector<CNMessageBase>* items = result != nullptr ? result->findList(6) : nullptr;
  for (std::size_t i = 0; items != nullptr && i < items->size(); ++i) {
    const std::string path = (*items)[i].getstring(5, 5);
    names.push_back(path.substr(path.find('\x12') + 1));  // npos + 1 is 0: the whole path
  }
  return names;
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
