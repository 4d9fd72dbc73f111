// The one send path of both request forms, and the choice between them.
#include <atomic>
#include <string>

#include "browser/OutgoingPage.h"
#include "browser/PerfCounters.h"
#include "browser/RequestMessages.h"
#include "browser/TdfsIdxBrowseClientResp.h"
#include "common/EBLog.h"
#include "common/LocalClientName.h"
#include "extentbrowse/EBExtentNameConverter.h"

using namespace requestmessages;

std::atomic<unsigned long long> numBrowseRequests{0};

int ExtentBrowseImpl::Browse(const std::string& startExtentName, unsigned int copyPrecedence,
                             unsigned int pageSize, unsigned long long pagingOffset,
                             unsigned long long rangeStart, const std::string& maName) {
  if (rangeStart != kNoRangeStart) {
    return BrowseFSExtent(startExtentName, copyPrecedence, pageSize, pagingOffset, rangeStart,
                          maName);
  }
  OutgoingPage page = PrepareNamePagedRequest(startExtentName, copyPrecedence, pageSize,
                                              pagingOffset, maName, EB_HERE);
  // Counts requests made ready, a client that then fails to initialise
  // included; extent ranges are not counted.
  ++numBrowseRequests;
  return SendPage(page);
}

int ExtentBrowseImpl::BrowseFSExtent(const std::string& startExtentName,
                                     unsigned int copyPrecedence, unsigned int pageSize,
                                     unsigned long long pagingOffset, unsigned long long rangeStart,
                                     const std::string& maName) {
  OutgoingPage page = PrepareExtentRangeRequest(startExtentName, copyPrecedence, pageSize,
                                                pagingOffset, rangeStart, maName, EB_HERE);
  return SendPage(page);
}

int ExtentBrowseImpl::SendPage(OutgoingPage& page) {
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
      browse.byRow = true;
      const unsigned long long startNumber = converter->ExtentNameToNum(page.startName);
      for (databrowse::Query& query : *client.getQueries()) {
        if (query.getint64(1) == 0) PointQueryAtPage(query, nullptr, startNumber, page.pageSize);
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
      if (!browseRequestHandler) {
        EB_LOG_AT(page.site, 1, "Allocating BR handler as the one passed in is NULL");
        browseRequestHandler.reset(new BrowseRequestHandler());
      }
      // A handler that could not answer has failed the browse, even when
      // nothing it delivered said so.
      result = browseRequestHandler->directBrowse(v1Request, responses, browseResp);
    }
  }
  return result;
}
