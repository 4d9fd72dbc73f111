// Helpers for tests of the stand-in platform: requests built as the browser
// builds them, answers read back, and a callback that records deliveries.
#ifndef EXTENTBROWSE_TESTS_SUPPORT_INDEXFIXTURES_H
#define EXTENTBROWSE_TESTS_SUPPORT_INDEXFIXTURES_H

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BrowseMessages.h"
#include "IdxBrowseClient.h"
#include "ebindex/IndexService.h"

namespace ebtest {

constexpr long long kNoPageSize = -1;

// An entry with afileId 1000 + extent and afileValue 2000 + extent.
ebindex::Entry MakeEntry(unsigned long long extent, const std::string& name, bool empty = false);

// A data query with a paging; a negative page size leaves tag 3 unset.
databrowse::Query PageQuery(const std::string& startName, unsigned long long offset = 0,
                            long long pageSize = kNoPageSize);
// The paging of a query, created when absent; the start name it holds.
CNMessageBase& PagingOf(CNMessageBase& query);
std::string StartNameIn(const CNMessageBase& query);

// Name-paged (browse mode 2) and extent-range (mode 3) requests for `path`.
databrowse::BrowseRequest NameRequest(const std::string& path,
                                      const databrowse::Query* query = nullptr);
databrowse::BrowseRequest RangeRequest(const std::string& path, unsigned long long start,
                                       unsigned long long count,
                                       const databrowse::Query* query = nullptr);

std::vector<long long> TypesOf(const std::vector<databrowse::BrowseResponse>& responses);
// The entry names of the data items of one response, or of all.
std::vector<std::string> NamesIn(const CNMessageBase& response);
std::vector<std::string> AllNames(const std::vector<databrowse::BrowseResponse>& responses);
// The first error code of a response, or -1 when it has none.
long long FirstErrorCode(const CNMessageBase& response);

// Records every delivery; may be called on a service thread.
class RecordingCallback : public IdxBrowseClientResp, public DirectIdxBrowseClientResp {
 public:
  struct Delivery {
    bool typed;  // through processResp(databrowse::BrowseResponse*)
    bool null;
    CNMessageBase message;  // a copy; class (0, 0) when null
    std::thread::id thread;
  };

  bool processResp(CNMessageBase* message) override { return record(false, message); }
  bool processResp(databrowse::BrowseResponse* response) override { return record(true, response); }

  std::vector<Delivery> deliveries() const;
  std::vector<std::string> names() const;  // of all data items delivered

 private:
  bool record(bool typed, CNMessageBase* message);
  mutable std::mutex mutex_;
  std::vector<Delivery> deliveries_;
};

}  // namespace ebtest

#endif  // EXTENTBROWSE_TESTS_SUPPORT_INDEXFIXTURES_H
