// Folding browse responses into the extent map. Runs on the browse
// service's delivery thread while a request is being sent.
#include <string>
#include <vector>

#include "BrowseMessages.h"
#include "browser/PathHelpers.h"
#include "browser/PerfCounters.h"
#include "browser/TdfsIdxBrowseClientResp.h"
#include "common/EBLog.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/ExtentBrowseImpl.h"

namespace {

constexpr int kErrorRequestedExtentNotFound = 4;

ExtentBrowseImpl* Browser(void* owner) { return static_cast<ExtentBrowseImpl*>(owner); }

}  // namespace

TdfsIdxBrowseClientResp::TdfsIdxBrowseClientResp(void* owner)
    : IdxBrowseClientResp(), DirectIdxBrowseClientResp(), owner(owner) {}

// The browser's callbacks keep what they throw; without an owner only the
// log writer can throw, and the response is refused all the same.
bool TdfsIdxBrowseClientResp::processResp(CNMessageBase* message) {
  if (owner == nullptr) {
    EB_LOG_NOTHROW(-1, "data is not set.");
    return false;
  }
  return Browser(owner)->IdxBrowseClientProcessRespCallback(message);
}

bool TdfsIdxBrowseClientResp::processResp(databrowse::BrowseResponse* response) {
  if (owner == nullptr) {
    EB_LOG_NOTHROW(-1, "data is not set.");
    return false;
  }
  return Browser(owner)->IdxBrowseClientProcessRespCallback(response);
}

void ExtentBrowseImpl::MarkResponseFailure() noexcept {
  volumeCtxt.browseFailed = true;
  browse.responseFailed = true;
}

bool ExtentBrowseImpl::IdxBrowseClientProcessRespCallback(CNMessageBase* message) try {
  if (message == nullptr) {
    EB_LOG(-1, "null pointer received IdxBrowseClientResp callback");
    MarkResponseFailure();
    return false;
  }
  if (message->getTagID() != databrowse::BrowseResponse::classTagID()) {
    EB_LOG(-1, "Unknown response received in IdxBrowseClientResp callback");
    MarkResponseFailure();
    return false;
  }
  if (auto* response = dynamic_cast<databrowse::BrowseResponse*>(message)) {
    return IdxBrowseClientProcessRespCallback(response);
  }
  // A host may hand over a plain message of the response class; reading it
  // as the generated class would be undefined, so it is read from a copy.
  databrowse::BrowseResponse copy;
  static_cast<CNMessageBase&>(copy) = *message;
  return IdxBrowseClientProcessRespCallback(&copy);
} catch (...) {
  // Nothing may reach the browse service as an exception; a response that
  // could not be processed fails its browse.
  MarkResponseFailure();
  EB_LOG_NOTHROW(-1, "A browse response could not be processed.");
  return false;
}

bool ExtentBrowseImpl::IdxBrowseClientProcessRespCallback(
    databrowse::BrowseResponse* response) try {
  StopCounter(kCounterTimeToFirstCallBack);
  const CounterSpan inCallBack(kCounterInBrowseCallBack);

  if (response == nullptr) {
    EB_LOG(-1, "null pointer received IdxBrowseClientResp callback");
    MarkResponseFailure();
    return false;
  }

  const int type = static_cast<int>(response->getint64(1));
  if (type == databrowse::BROWSE_RESPONSE_END ||
      type == databrowse::BROWSE_RESPONSE_LAST_PAGE_END) {
    EB_LOG(4, "END response received.");
    browse.answered = true;
    return true;
  }

  browse.startExtentNotFound = false;

  // Only the first error counts; an error list that is set but empty, or an
  // error without a code, is no error.
  if (response->isSet(4)) {
    std::vector<CNMessageBase>* errors = response->getlistobject(4, 7, false);
    if (errors != nullptr && !errors->empty() && errors->front().isSet(1)) {
      const int code = static_cast<int>(errors->front().getint64(1));
      if (code == kErrorRequestedExtentNotFound) {
        EB_LOG(2, "Requested extent not found in backup");
        browse.startExtentNotFound = true;
        browse.answered = true;
        return true;
      }
      if (code != 0) {
        EB_LOG(2, "Browse returned error code: %d", code);
        // A page that failed must not be mistaken for a page without data:
        // the browse that asked for it records no range. The index says so
        // of an item it does not hold, which is mostly a mistyped path.
        EB_LOG(-1, "The index answered the browse of [%s] with error code %d.",
               volumeCtxt.browsePath.c_str(), code);
        MarkResponseFailure();
        return false;
      }
    }
  }

  if (!response->isSet(6)) {
    EB_LOG(-1, "browse result not set in Browse response");
    MarkResponseFailure();
    return true;
  }
  CNMessageBase* browseResult = response->getObjectAccessor(
      true, false, 6, 9, databrowse::BrowseResult::kFamily, databrowse::BrowseResult::kNumber);
  if (!browseResult->isSet(3)) {
    EB_LOG(-1, "data result not set in Browse response");
    MarkResponseFailure();
    return true;
  }
  std::vector<CNMessageBase>& items = *browseResult->getlistobject(3, 6, true);

  int processed = 0;
  {
    const CounterSpan addToExtentMap(kCounterAddToExtentMap);
    std::string name;
    for (CNMessageBase& item : items) {
      const AFileInfoInternal record(item);
      GetRealName(item.getstring(5, 5), name);
      const unsigned long long extentNumber = converter->ExtentNameToNum(name);
      {
        CSecWrapper guard(volumeCtxt.extentMapLock);
        volumeCtxt.extentMap.insert_or_assign(extentNumber, record);
      }
      if (!browse.itemsReceived && processed == 0) browse.firstItem = extentNumber;
      ++processed;
      // The name is turned back only to be logged.
      if (EB_LOG_WANTED(4)) {
        converter->ExtentNumToName(extentNumber, name);
        EB_LOG(4, "extentname [%s].", name.c_str());
      }
    }
  }
  EB_LOG(4, "Browse callback successfully processed [%d] items out of [%lu] items received.",
         processed, static_cast<unsigned long>(items.size()));

  // An empty page knows no last item; the range end stays what it was.
  if (!items.empty()) {
    GetRealName(items.back().getstring(5, 5), volumeCtxt.lastItemName);
    browse.itemsReceived = true;
    itemNameRead = true;
  }
  return true;
} catch (...) {
  MarkResponseFailure();
  EB_LOG_NOTHROW(-1, "A browse response could not be processed.");
  return false;
}
