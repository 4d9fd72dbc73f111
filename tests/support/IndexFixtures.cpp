#include "support/IndexFixtures.h"

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

std::vector<long long> TypesOf(const std::vector<databrowse::BrowseResponse>& responses) {
  std::vector<long long> types;
  for (const auto& response : responses) types.push_back(response.getint64(1));
  return types;
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

std::vector<std::string> AllNames(const std::vector<databrowse::BrowseResponse>& responses) {
  std::vector<std::string> names;
  for (const auto& response : responses) {
    for (const std::string& name : NamesIn(response)) names.push_back(name);
  }
  return names;
}

long long FirstErrorCode(const CNMessageBase& response) {
  const std::vector<CNMessageBase>* errors = response.findList(7);
  return errors == nullptr || errors->empty() ? -1 : errors->front().getint64(1);
}

bool RecordingCallback::record(bool typed, CNMessageBase* message) {
  Delivery delivery{typed, message == nullptr, message != nullptr ? *message : CNMessageBase(0, 0),
                    std::this_thread::get_id()};
  std::lock_guard<std::mutex> lock(mutex_);
  deliveries_.push_back(std::move(delivery));
  return true;
}

std::vector<RecordingCallback::Delivery> RecordingCallback::deliveries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return deliveries_;
}

std::vector<std::string> RecordingCallback::names() const {
  std::vector<std::string> names;
  for (const Delivery& delivery : deliveries()) {
    for (const std::string& name : NamesIn(delivery.message)) names.push_back(name);
  }
  return names;
}

}  // namespace ebtest
