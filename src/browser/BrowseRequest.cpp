// The name-paged browse request: one page of the items under the browse
// path, starting at an extent name.
#include <atomic>
#include <string>
#include <vector>

#include "IdxBrowseClient.h"
#include "browser/PathHelpers.h"
#include "browser/PerfCounters.h"
#include "browser/RequestMessages.h"
#include "browser/TdfsIdxBrowseClientResp.h"
#include "common/EBLog.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/ExtentBrowse.h"
#include "extentbrowse/ExtentBrowseImpl.h"

using namespace requestmessages;

std::atomic<unsigned long long> numBrowseRequests{0};

namespace {

// The path of the request's BrowsePath message, which the index wants
// without a trailing separator.
std::string WithoutTrailingSeparator(std::string path) {
  if (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

}  // namespace

int ExtentBrowseImpl::Browse(const std::string& startExtentName, unsigned int copyPrecedence,
                             unsigned int pageSize, unsigned long long pagingOffset,
                             unsigned long long rangeStart, const std::string& maName) {
  if (rangeStart != kNoRangeStart) {
    return BrowseFSExtent(startExtentName, copyPrecedence, pageSize, pagingOffset, rangeStart,
                          maName);
  }

  int result = 0;
  std::string path = volumeCtxt.browsePath;
  TransformPath(path, &scParams);

  IdxBrowseClientReq wrapper;
  wrapper.path = path;
  wrapper.pagingOffset = static_cast<int>(Low32Unsigned(pagingOffset));
  const databrowse::Query pageQuery =
      MakeQuery(MakePaging(pagingOffset, pageSize, &startExtentName), nullptr);

  if (idxBrowseClient && !idxBrowseClient->isInitFailed()) {
    // The client keeps the request it was made with; a page only changes
    // the paging.
    EB_LOG(2, "Reusing IdxBrowseClient");
    wrapper.queries.push_back(pageQuery);
  } else {
    databrowse::BrowseRequest request;
    const databrowse::BrowseTimeRange timeRange = MakeTimeRange(scParams);
    request.setObjectAccessor(&timeRange, 6, 6);
    SetBrowseHost(request, maName, false);

    databrowse::BrowseOptions options;
    options.setint64(2, 2, 1);
    options.setint64(12, 12, 1);
    options.setint64(11, 11, browseOptionFlag ? 1 : 0);
    request.setint64(1, 1, 0);

    ZelEntities::GenericEntity entity;
    if (!backupSetGuid.empty()) {
      entity.setstring(10, 25, backupSetGuid);
    } else {
      SetEntityIds(entity, scParams);
    }
    entity.setint64(14, 38, scParams.appType);
    request.setObjectAccessor(&entity, 3, 3);

    databrowse::BrowseAdvancedOptions advancedOptions;
    advancedOptions.setint64(1, 1, static_cast<long long>(copyPrecedence));
    EB_LOG(4, "copyPrecedence set to %u", copyPrecedence);
    request.setObjectAccessor(&advancedOptions, 11, 11);

    databrowse::BrowseMode browseMode;
    browseMode.setint64(1, 1, 2);
    if (!EBIsDatabaseAppType(scParams.appType)) {
      options.setint64(21, 21, 1);
      EB_LOG(4, "VsExtentBrowse is marked.");
      options.setint64(3, 3, 0);
    }
    if (entity.getint64(38) == EB_APP_TYPE_VIRTUAL_SERVER) browseMode.setint64(1, 1, 4);
    request.setObjectAccessor(&browseMode, 8, 8);
    request.setObjectAccessor(&options, 7, 7);

    std::string messagePath = volumeCtxt.browsePath;
    TransformPath(messagePath, &scParams);
    databrowse::BrowsePath browsePath;
    browsePath.setstring(1, 1, WithoutTrailingSeparator(messagePath));
    const std::vector<CNMessageBase> paths = ListOf(browsePath);
    request.setlistobject(4, 4, &paths);

    // Whether name-paged queries should ask the index to sort by name is not
    // settled: the sort order is prepared but deliberately not attached, so
    // the index answers in its natural order, which is by name already.
    databrowse::SortParam sortByName;
    const std::vector<int> sortFields(1, databrowse::FILTERED_BROWSE_FIELD_NAME);
    sortByName.setlistint(1, 1, &sortFields);
    const std::vector<CNMessageBase> queries = ListOf(pageQuery);
    request.setlistobject(12, 12, &queries);
    wrapper.queries.push_back(pageQuery);

    if (EB_LOG_WANTED(4)) {
      std::string text;
      request.serialize(text, false);
      EB_LOG(4, "My BrowseReq [%s].", text.c_str());
    }
    idxBrowseClient.reset(new IdxBrowseClient());
    idxBrowseClient->Initialize(request, browseResp, 2000, nullptr, nullptr);
  }

  ++numBrowseRequests;
  if (idxBrowseClient->isInitFailed()) {
    EB_LOG(-1, "IdxBrowseClient initialization failed.");
    return -1;
  }
  const bool v2Request = idxBrowseClient->isIndexingV2BrowseRequest();
  Indexing::BrowseReq* v1Request = v2Request ? nullptr : idxBrowseClient->getV1BrowseReq();
  if (!v2Request && v1Request == nullptr) {
    EB_LOG(-1, "IdxBrowseClient holds neither a V2 nor a V1 browse request.");
    return -1;
  }

  StartCounter(kCounterTimeToFirstCallBack);
  StartCounter(kCounterBrowse);
  if (v2Request) {
    if (scParams.appType == EB_APP_TYPE_SQL_DATABASE) {
      // This application type sends the request the client holds: the
      // page's start extent goes in as the paging offset of its own query.
      const unsigned long long startNumber = converter->ExtentNameToNum(startExtentName);
      for (databrowse::Query& query : *idxBrowseClient->getQueries()) {
        if (query.getint64(1) == 0) PointQueryAtPage(query, nullptr, startNumber, pageSize);
      }
      result = idxBrowseClient->Browse(nullptr, nullptr);
    } else {
      result = idxBrowseClient->Browse(&wrapper, nullptr);
    }
  } else {
    const std::string browseHost = BrowseHostClientName(*v1Request);
    EB_LOG(2, "maName [%s]. gEBLocalClientName [%s]", browseHost.c_str(),
           gEBLocalClientName.c_str());
    if (browseHost != gEBLocalClientName) {
      result = idxBrowseClient->Browse(&wrapper, nullptr);
    } else {
      PointQueriesAtPage(*v1Request, startExtentName, pagingOffset, pageSize);
      EB_LOG(2, "Using direct call to browse extents.");
      databrowse::BrowseResponseList responses;
      if (!browseRequestHandler) {
        EB_LOG(1, "Allocating BR handler as the one passed in is NULL");
        browseRequestHandler.reset(new BrowseRequestHandler());
      }
      // Its outcome reaches the browser only through the responses.
      browseRequestHandler->directBrowse(v1Request, responses, browseResp);
    }
  }
  StopCounter(kCounterBrowse);
  return result;
}
