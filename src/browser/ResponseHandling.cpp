// Folding browse responses into the extent map. Runs on the browse
// service's delivery thread while a request is being sent.
#include <string>
#include <vector>

#include "BrowseMessages.h"
#include "browser/PageBrowse.h"
#include "browser/PathHelpers.h"
#include "browser/PerfCounters.h"
#include "browser/WireFields.h"
#include "common/EBLog.h"
#include "extentbrowse/ExtentBrowseImpl.h"

TdfsIdxBrowseClientResp::TdfsIdxBrowseClientResp(ExtentBrowseImpl* owner)
    : IdxBrowseClientResp(), DirectIdxBrowseClientResp(), owner(owner) {}

// The browser's callbacks keep what they throw; without an owner only the
// log writer can throw, and the response is refused all the same.
bool TdfsIdxBrowseClientResp::processResp(CNMessageBase* message) {
  if (owner == nullptr) {
    EB_LOG_NOTHROW(-1, "data is not set.");
    return false;
  }
  return owner->IdxBrowseClientProcessRespCallback(message);
}

bool TdfsIdxBrowseClientResp::processResp(databrowse::BrowseResponse* response) {
  if (owner == nullptr) {
    EB_LOG_NOTHROW(-1, "data is not set.");
    return false;
  }
  return owner->IdxBrowseClientProcessRespCallback(response);
}

bool PageBrowse::AsResponse(const LogSite& site, CNMessageBase* message,
                            databrowse::BrowseResponse& copy,
                            databrowse::BrowseResponse*& response) noexcept try {
  if (message == nullptr) {
    EB_LOG_AT(site, -1, "null pointer received IdxBrowseClientResp callback");
    MarkResponseFailure();
    return false;
  }
  if (message->getTagID() != databrowse::BrowseResponse::classTagID()) {
    EB_LOG_AT(site, -1, "Unknown response received in IdxBrowseClientResp callback");
    MarkResponseFailure();
    return false;
  }
  response = dynamic_cast<databrowse::BrowseResponse*>(message);
  if (response == nullptr) {
    // A host may hand over a plain message of the response class; reading it
    // as the generated class would be undefined, so it is read from a copy.
    static_cast<CNMessageBase&>(copy) = *message;
    response = &copy;
  }
  return true;
} catch (...) {
  // Nothing may reach the browse service as an exception; a response that
  // could not be processed fails its browse.
  MarkResponseFailure();
  EB_LOG_AT_NOTHROW(site, -1, "A browse response could not be processed.");
  return false;
}

bool PageBrowse::Process(const LogSite& site, databrowse::BrowseResponse* response) noexcept try {
  StopCounter(kCounterTimeToFirstCallBack);
  const CounterSpan inCallBack(kCounterInBrowseCallBack);

  if (response == nullptr) {
    EB_LOG_AT(site, -1, "null pointer received IdxBrowseClientResp callback");
    MarkResponseFailure();
    return false;
  }

  const int type = static_cast<int>(IntOf(*response, wire::response::kType));
  if (type == databrowse::BROWSE_RESPONSE_END ||
      type == databrowse::BROWSE_RESPONSE_LAST_PAGE_END) {
    EB_LOG_AT(site, 4, "END response received.");
    browse_.answered = true;
    return true;
  }

  browse_.startExtentNotFound = false;

  // Only the first error counts; an error list that is set but empty, or an
  // error without a code, is no error.
  if (IsSet(*response, wire::response::kErrors)) {
    std::vector<CNMessageBase>* errors = ListAt(*response, wire::response::kErrors, false);
    if (errors != nullptr && !errors->empty() && IsSet(errors->front(), wire::error::kCode)) {
      const int code = static_cast<int>(IntOf(errors->front(), wire::error::kCode));
      if (code == wire::error::kExtentNotFound) {
        EB_LOG_AT(site, 2, "Requested extent not found in backup");
        browse_.startExtentNotFound = true;
        browse_.answered = true;
        return true;
      }
      if (code != 0) {
        EB_LOG_AT(site, 2, "Browse returned error code: %d", code);
        // A page that failed must not be mistaken for a page without data:
        // the browse that asked for it records no range. The index says so
        // of an item it does not hold, which is mostly a mistyped path.
        EB_LOG_AT(site, -1, "The index answered the browse of [%s] with error code %d.",
                  volume_.browsePath.c_str(), code);
        MarkResponseFailure();
        return false;
      }
    }
  }

  if (!IsSet(*response, wire::response::kResult)) {
    EB_LOG_AT(site, -1, "browse result not set in Browse response");
    MarkResponseFailure();
    return true;
  }
  CNMessageBase& browseResult =
      *ChildOf<databrowse::BrowseResult>(*response, wire::response::kResult, false);
  if (!IsSet(browseResult, wire::result::kItems)) {
    EB_LOG_AT(site, -1, "data result not set in Browse response");
    MarkResponseFailure();
    return true;
  }
  std::vector<CNMessageBase>& items = *ListAt(browseResult, wire::result::kItems, true);

  int processed = 0;
  {
    const CounterSpan addToExtentMap(kCounterAddToExtentMap);
    std::string name;
    for (CNMessageBase& item : items) {
      const AFileInfoInternal record(item);
      GetRealName(StringOf(item, wire::data::kPath), name);
      const unsigned long long extentNumber = converter_.ExtentNameToNum(name);
      {
        CSecWrapper guard(volume_.extentMapLock);
        volume_.extentMap.Assign(extentNumber, record);
      }
      if (!browse_.itemsReceived && processed == 0) browse_.firstItem = extentNumber;
      ++processed;
      // The name is turned back only to be logged.
      if (EB_LOG_WANTED(4)) {
        converter_.ExtentNumToName(extentNumber, name);
        EB_LOG_AT(site, 4, "extentname [%s].", name.c_str());
      }
    }
  }
  EB_LOG_AT(site, 4,
            "Browse callback successfully processed [%d] items out of [%lu] items received.",
            processed, static_cast<unsigned long>(items.size()));

  // An empty page knows no last item; the range end stays what it was.
  if (!items.empty()) {
    GetRealName(StringOf(items.back(), wire::data::kPath), volume_.lastItemName);
    browse_.itemsReceived = true;
    itemNameRead_ = true;
  }
  return true;
} catch (...) {
  MarkResponseFailure();
  EB_LOG_AT_NOTHROW(site, -1, "A browse response could not be processed.");
  return false;
}
