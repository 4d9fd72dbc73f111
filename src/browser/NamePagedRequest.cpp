// The name-paged request: one page of the items under the browse path,
// starting at an extent name, through the browser's default browse client.
#include <string>
#include <vector>

#include "browser/OutgoingPage.h"
#include "browser/PathHelpers.h"
#include "browser/RequestMessages.h"
#include "browser/TdfsIdxBrowseClientResp.h"
#include "common/EBLog.h"

using namespace requestmessages;

namespace {

// The path of the request's BrowsePath message, which the index wants
// without a trailing separator.
std::string WithoutTrailingSeparator(std::string path) {
  if (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

}  // namespace

ExtentBrowseImpl::OutgoingPage ExtentBrowseImpl::PrepareNamePagedRequest(
    const std::string& startExtentName, unsigned int copyPrecedence, unsigned int pageSize,
    unsigned long long pagingOffset, const std::string& maName, const LogSite& site) {
  OutgoingPage page(site, startExtentName, pagingOffset, pageSize);
  page.hasWrapper = true;
  page.wrapper.path = volumeCtxt.browsePath;
  TransformPath(page.wrapper.path, &scParams);
  page.wrapper.pagingOffset = static_cast<int>(Low32Unsigned(pagingOffset));
  const databrowse::Query pageQuery =
      MakeQuery(MakePaging(pagingOffset, pageSize, &startExtentName), nullptr);
  page.wrapper.queries.push_back(pageQuery);
  page.startNumberAsOffset = scParams.appType == EB_APP_TYPE_SQL_DATABASE;

  if (idxBrowseClient && !idxBrowseClient->isInitFailed()) {
    // The client keeps the request it was made with; a page only changes
    // the paging.
    EB_LOG_AT(site, 2, "Reusing IdxBrowseClient");
    page.client = idxBrowseClient.get();
    return page;
  }

  databrowse::BrowseRequest request;
  StartRequest(request, scParams, maName, false);
  databrowse::BrowseOptions options = MakeOptions(browseOptionFlag);
  request.setint64(1, 1, 0);

  ZelEntities::GenericEntity entity;
  if (!backupSetGuid.empty()) {
    entity.setstring(10, 25, backupSetGuid);
  } else {
    SetEntityIds(entity, scParams);
  }
  entity.setint64(14, 38, scParams.appType);
  request.setObjectAccessor(&entity, 3, 3);

  const databrowse::BrowseAdvancedOptions advancedOptions = MakeAdvancedOptions(copyPrecedence);
  EB_LOG_AT(site, 4, "copyPrecedence set to %u", copyPrecedence);
  request.setObjectAccessor(&advancedOptions, 11, 11);

  databrowse::BrowseMode browseMode;
  browseMode.setint64(1, 1, 2);
  if (!EBIsDatabaseAppType(scParams.appType)) {
    options.setint64(21, 21, 1);
    EB_LOG_AT(site, 4, "VsExtentBrowse is marked.");
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

  // No sort order: the index answers in its natural order, by name, which
  // is the order pages are asked for in.
  const std::vector<CNMessageBase> queries = ListOf(pageQuery);
  request.setlistobject(12, 12, &queries);

  // The old client goes before the new one is made, so that a browser never
  // holds two of a kind at the index.
  idxBrowseClient.reset();
  idxBrowseClient = NewClient(request, browseResp, site);
  page.client = idxBrowseClient.get();
  return page;
}
