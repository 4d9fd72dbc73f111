// The extent-range browse request: an explicit range of extents under the
// browse path, by number, through a browse client of its own.
#include <string>
#include <vector>

#include "IdxBrowseClient.h"
#include "browser/PathHelpers.h"
#include "browser/PerfCounters.h"
#include "browser/RequestMessages.h"
#include "browser/TdfsIdxBrowseClientResp.h"
#include "common/EBLog.h"
#include "extentbrowse/ExtentBrowse.h"
#include "extentbrowse/ExtentBrowseImpl.h"

using namespace requestmessages;

int ExtentBrowseImpl::BrowseFSExtent(const std::string& startExtentName,
                                     unsigned int copyPrecedence, unsigned int pageSize,
                                     unsigned long long pagingOffset,
                                     unsigned long long rangeStart, const std::string& maName) {
  int result = 0;
  std::string path = volumeCtxt.browsePath;
  TransformPath(path, &scParams);

  if (fsIdxBrowseClient && !fsIdxBrowseClient->isInitFailed()) {
    // The client keeps its request; only the path, with the new range,
    // changes.
    EB_LOG(2, "Reusing IdxBrowseClient");
    std::vector<databrowse::BrowsePath> paths(
        1, MakeExtentRangePath(path, rangeStart, this->pageSize));
    EB_LOG(4, "My BrowseReq before[%s].", fsIdxBrowseClient->serializeRequest().c_str());
    fsIdxBrowseClient->setPaths(&paths);
    EB_LOG(4, "My BrowseReq after [%s].", fsIdxBrowseClient->serializeRequest().c_str());
  } else {
    const bool exchange = scParams.appType == EB_APP_TYPE_EXCHANGE_DATABASE;
    databrowse::BrowseRequest request;
    const databrowse::BrowseTimeRange timeRange = MakeTimeRange(scParams);
    request.setObjectAccessor(&timeRange, 6, 6);
    SetBrowseHost(request, maName, true);

    databrowse::BrowseOptions options;
    options.setint64(2, 2, 1);
    options.setint64(12, 12, 1);
    options.setint64(11, 11, browseOptionFlag ? 1 : 0);
    options.setint64(60, 60, 1);
    options.setint64(1, 1, 1);
    options.setint64(51, 51, 1);
    if (exchange) {
      options.setint64(62, 62, 1);
      options.setint64(49, 49, 1);
    }
    request.setObjectAccessor(&options, 7, 7);
    request.setint64(1, 1, 1);
    request.setint64(20, 26, 1);

    // The extent-range request names the backup by its ids, never by GUID.
    ZelEntities::GenericEntity entity;
    SetEntityIds(entity, scParams);
    entity.setint64(14, 38, scParams.appType);
    request.setObjectAccessor(&entity, 3, 3);

    databrowse::BrowseAdvancedOptions advancedOptions;
    advancedOptions.setint64(1, 1, static_cast<long long>(copyPrecedence));
    EB_LOG(4, "copyPrecedence set to %u", copyPrecedence);
    if (exchange) advancedOptions.setstring(2, 2, "EDBVIEW");
    request.setObjectAccessor(&advancedOptions, 11, 11);

    databrowse::BrowseMode browseMode;
    browseMode.setint64(1, 1, 3);
    request.setObjectAccessor(&browseMode, 8, 8);

    const databrowse::BrowsePaging paging = MakePaging(pagingOffset, pageSize, nullptr);
    // The range spans the browser's page size; the argument sizes the paging.
    request.getlistobject(4, 4, true)->push_back(
        MakeExtentRangePath(path, rangeStart, this->pageSize));

    databrowse::SortParam sortByExtent;
    sortByExtent.setint64(2, 2, 1);
    const std::vector<int> sortFields(1, databrowse::FILTERED_BROWSE_FIELD_EXTENT_NUMBER);
    sortByExtent.setlistint(1, 1, &sortFields);
    const std::vector<CNMessageBase> queries = ListOf(MakeQuery(paging, &sortByExtent));
    request.setlistobject(12, 12, &queries);

    if (EB_LOG_WANTED(4)) {
      std::string text;
      request.serialize(text, false);
      EB_LOG(4, "My BrowseReq [%s].", text.c_str());
    }
    fsIdxBrowseClient.reset(new IdxBrowseClient());
    fsIdxBrowseClient->Initialize(request, browseResp, 2000, nullptr, nullptr);
  }

  if (fsIdxBrowseClient->isInitFailed()) {
    EB_LOG(-1, "IdxBrowseClient initialization failed.");
    return -1;
  }
  const bool v2Request = fsIdxBrowseClient->isIndexingV2BrowseRequest();
  Indexing::BrowseReq* v1Request = v2Request ? nullptr : fsIdxBrowseClient->getV1BrowseReq();
  if (!v2Request && v1Request == nullptr) {
    EB_LOG(-1, "IdxBrowseClient holds neither a V2 nor a V1 browse request.");
    return -1;
  }

  StartCounter(kCounterTimeToFirstCallBack);
  StartCounter(kCounterBrowse);
  if (v2Request) {
    result = fsIdxBrowseClient->Browse(nullptr, nullptr);
  } else {
    const std::string browseHost = BrowseHostClientName(*v1Request);
    EB_LOG(2, "maName [%s]. gEBLocalClientName [%s]", browseHost.c_str(),
           gEBLocalClientName.c_str());
    if (browseHost != gEBLocalClientName) {
      result = fsIdxBrowseClient->Browse(nullptr, nullptr);
    } else {
      PointQueriesAtPage(*v1Request, startExtentName, pagingOffset, pageSize);
      EB_LOG(2, "Using direct call to browse extents.");
      databrowse::BrowseResponseList responses;
      if (!browseRequestHandler) {
        EB_LOG(1, "Allocating BR handler as the one passed in is NULL");
        browseRequestHandler.reset(new BrowseRequestHandler());
      }
      browseRequestHandler->directBrowse(v1Request, responses, browseResp);
    }
  }
  StopCounter(kCounterBrowse);
  return result;
}
