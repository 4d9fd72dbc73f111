// The extent-range request: an explicit range of extents under the browse
// path, by number, through a browse client of its own.
#include <string>
#include <vector>

#include "browser/OutgoingPage.h"
#include "browser/PathHelpers.h"
#include "browser/RequestMessages.h"
#include "browser/TdfsIdxBrowseClientResp.h"
#include "common/EBLog.h"

using namespace requestmessages;

ExtentBrowseImpl::OutgoingPage ExtentBrowseImpl::PrepareExtentRangeRequest(
    const std::string& startExtentName, unsigned int copyPrecedence, unsigned int pageSize,
    unsigned long long pagingOffset, unsigned long long rangeStart, const std::string& maName,
    const LogSite& site) {
  OutgoingPage page(site, startExtentName, pagingOffset, pageSize);
  std::string path = volumeCtxt.browsePath;
  TransformPath(path, &scParams);

  if (fsIdxBrowseClient && !fsIdxBrowseClient->isInitFailed()) {
    // The client keeps its request; only the path, with the new range,
    // changes.
    EB_LOG_AT(site, 2, "Reusing IdxBrowseClient");
    std::vector<databrowse::BrowsePath> paths(
        1, MakeExtentRangePath(path, rangeStart, this->pageSize));
    EB_LOG_AT(site, 4, "My BrowseReq before[%s].", fsIdxBrowseClient->serializeRequest().c_str());
    fsIdxBrowseClient->setPaths(&paths);
    EB_LOG_AT(site, 4, "My BrowseReq after [%s].", fsIdxBrowseClient->serializeRequest().c_str());
    page.client = fsIdxBrowseClient.get();
    return page;
  }

  const bool exchange = scParams.appType == EB_APP_TYPE_EXCHANGE_DATABASE;
  databrowse::BrowseRequest request;
  StartRequest(request, scParams, maName, true);

  databrowse::BrowseOptions options = MakeOptions(browseOptionFlag);
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

  databrowse::BrowseAdvancedOptions advancedOptions = MakeAdvancedOptions(copyPrecedence);
  EB_LOG_AT(site, 4, "copyPrecedence set to %u", copyPrecedence);
  if (exchange) advancedOptions.setstring(2, 2, "EDBVIEW");
  request.setObjectAccessor(&advancedOptions, 11, 11);

  databrowse::BrowseMode browseMode;
  browseMode.setint64(1, 1, 3);
  request.setObjectAccessor(&browseMode, 8, 8);

  const databrowse::BrowsePaging paging = MakePaging(pagingOffset, pageSize, nullptr);
  // The range spans the browser's page size; the argument sizes the paging.
  request.getlistobject(4, 4, true)
      ->push_back(MakeExtentRangePath(path, rangeStart, this->pageSize));

  databrowse::SortParam sortByExtent;
  sortByExtent.setint64(2, 2, 1);
  const std::vector<int> sortFields(1, databrowse::FILTERED_BROWSE_FIELD_EXTENT_NUMBER);
  sortByExtent.setlistint(1, 1, &sortFields);
  const std::vector<CNMessageBase> queries = ListOf(MakeQuery(paging, &sortByExtent));
  request.setlistobject(12, 12, &queries);

  // The old client goes before the new one is made, so that a browser never
  // holds two of a kind at the index.
  fsIdxBrowseClient.reset();
  fsIdxBrowseClient = NewClient(request, browseResp, site);
  page.client = fsIdxBrowseClient.get();
  return page;
}
