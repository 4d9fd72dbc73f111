// The two request forms' entries, and the one send path they share.
#include <atomic>
#include <string>

#include "browser/OutgoingPage.h"
#include "browser/PerfCounters.h"
#include "browser/RequestMessages.h"
#include "browser/WireFields.h"
#include "common/EBLog.h"
#include "common/LocalClientName.h"
#include "extentbrowse/ExtentBrowseImpl.h"

using namespace requestmessages;

std::atomic<unsigned long long> numBrowseRequests{0};

int PageBrowse::SendNamePaged(const LogSite& site, const std::string& startExtentName,
                              unsigned int copyPrecedence, unsigned int pageSize,
                              unsigned long long pagingOffset, const std::string& maName) {
  OutgoingPage page =
      PrepareNamePaged(site, startExtentName, copyPrecedence, pageSize, pagingOffset, maName);
  // Counts requests made ready, a client that then fails to initialise
  // included; extent ranges are not counted.
  ++numBrowseRequests;
  return Send(page);
}

int PageBrowse::SendExtentRange(const LogSite& site, const std::string& startExtentName,
                                unsigned int copyPrecedence, unsigned int pageSize,
                                unsigned long long pagingOffset, unsigned long long rangeStart,
                                const std::string& maName) {
  OutgoingPage page = PrepareExtentRange(site, startExtentName, copyPrecedence, pageSize,
                                         pagingOffset, rangeStart, maName);
  return Send(page);
}

int PageBrowse::Send(OutgoingPage& page) {
  IdxBrowseClient& client = *page.client;
  if (client.isInitFailed()) {
    EB_LOG_AT(page.site, -1, "IdxBrowseClient initialization failed.");
    return -1;
  }
  const bool v2Request = client.isIndexingV2BrowseRequest();
  Indexing::BrowseReq* v1Request = v2Request ? nullptr : client.getV1BrowseReq();
  if (!v2Request && v1Request == nullptr) {
    EB_LOG_AT(page.site, -1, "IdxBrowseClient holds neither a V2 nor a V1 browse request.");
    return -1;
  }
  IdxBrowseClientReq* wrapper = page.hasWrapper ? &page.wrapper : nullptr;

  int result = 0;
  StartCounter(kCounterTimeToFirstCallBack);
  const CounterSpan browsing(kCounterBrowse);
  if (v2Request) {
    if (page.startNumberAsOffset) {
      browse_.byRow = true;
      const unsigned long long startNumber = NumberOf(page.startName);
      for (databrowse::Query& query : *client.getQueries()) {
        if (IntOf(query, wire::query::kKind) == wire::query::kDataQuery) {
          PointQueryAtPage(query, nullptr, startNumber, page.pageSize);
        }
      }
      wrapper = nullptr;
    }
    result = client.Browse(wrapper, nullptr);
  } else {
    const std::string browseHost = BrowseHostClientName(*v1Request);
    EB_LOG_AT(page.site, 2, "maName [%s]. gEBLocalClientName [%s]", browseHost.c_str(),
              gEBLocalClientName.c_str());
    if (browseHost != gEBLocalClientName) {
      result = client.Browse(wrapper, nullptr);
    } else {
      PointQueriesAtPage(*v1Request, page.startName, page.pagingOffset, page.pageSize);
      EB_LOG_AT(page.site, 2, "Using direct call to browse extents.");
      databrowse::BrowseResponseList responses;
      if (!browseRequestHandler_) {
        EB_LOG_AT(page.site, 1, "Allocating BR handler as the one passed in is NULL");
        browseRequestHandler_.reset(new BrowseRequestHandler());
      }
      // A handler that could not answer has failed the browse, even when
      // nothing it delivered said so.
      result = browseRequestHandler_->directBrowse(v1Request, responses, response_.get());
    }
  }
  return result;
}
