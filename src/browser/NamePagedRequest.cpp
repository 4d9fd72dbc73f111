// The name-paged request: one page of the items under the browse path,
// starting at an extent name, through the default browse client.
#include <string>
#include <vector>

#include "browser/OutgoingPage.h"
#include "browser/PathHelpers.h"
#include "browser/RequestMessages.h"
#include "browser/WireFields.h"
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

PageBrowse::OutgoingPage PageBrowse::PrepareNamePaged(
    const LogSite& site, const std::string& startExtentName, unsigned int copyPrecedence,
    unsigned int pageSize, unsigned long long pagingOffset, const std::string& maName) {
  const SCParams& params = settings_.scParams;
  OutgoingPage page(site, startExtentName, pagingOffset, pageSize);
  page.hasWrapper = true;
  page.wrapper.path = volume_.browsePath;
  TransformPath(page.wrapper.path, &params);
  page.wrapper.pagingOffset = static_cast<int>(Low32Unsigned(pagingOffset));
  const databrowse::Query pageQuery =
      MakeQuery(MakePaging(pagingOffset, pageSize, &startExtentName), nullptr);
  page.wrapper.queries.push_back(pageQuery);
  page.startNumberAsOffset = params.appType == EB_APP_TYPE_SQL_DATABASE;

  if (idxBrowseClient_ && !idxBrowseClient_->isInitFailed()) {
    // The client keeps the request it was made with; a page only changes
    // the paging.
    EB_LOG_AT(site, 2, "Reusing IdxBrowseClient");
    page.client = idxBrowseClient_.get();
    return page;
  }

  databrowse::BrowseRequest request;
  StartRequest(request, params, maName, false);
  databrowse::BrowseOptions options = MakeOptions(settings_.browseOptionFlag);
  SetInt(request, wire::request::kForm, 0);

  ZelEntities::GenericEntity entity;
  if (!settings_.backupSetGuid.empty()) {
    SetString(entity, wire::entity::kBackupSetGuid, settings_.backupSetGuid);
  } else {
    SetEntityIds(entity, params);
  }
  SetInt(entity, wire::entity::kAppType, params.appType);
  SetChild(request, wire::request::kEntity, entity);

  const databrowse::BrowseAdvancedOptions advancedOptions = MakeAdvancedOptions(copyPrecedence);
  EB_LOG_AT(site, 4, "copyPrecedence set to %u", copyPrecedence);
  SetChild(request, wire::request::kAdvancedOptions, advancedOptions);

  databrowse::BrowseMode browseMode;
  SetInt(browseMode, wire::mode::kMode, wire::mode::kNames);
  if (!EBIsDatabaseAppType(params.appType)) {
    SetInt(options, wire::options::kVsExtentBrowse, 1);
    EB_LOG_AT(site, 4, "VsExtentBrowse is marked.");
    SetInt(options, wire::options::kVsExtentBrowseOff, 0);
  }
  if (IntOf(entity, wire::entity::kAppType) == EB_APP_TYPE_VIRTUAL_SERVER) {
    SetInt(browseMode, wire::mode::kMode, wire::mode::kVirtualServerNames);
  }
  SetChild(request, wire::request::kMode, browseMode);
  SetChild(request, wire::request::kOptions, options);

  std::string messagePath = volume_.browsePath;
  TransformPath(messagePath, &params);
  databrowse::BrowsePath browsePath;
  SetString(browsePath, wire::path::kPath, WithoutTrailingSeparator(messagePath));
  SetList(request, wire::request::kPaths, ListOf(browsePath));

  // No sort order: the index answers in its natural order, by name, which
  // is the order pages are asked for in.
  SetList(request, wire::request::kQueries, ListOf(pageQuery));

  // The old client goes before the new one is made, so that a browser never
  // holds two of a kind at the index.
  idxBrowseClient_.reset();
  idxBrowseClient_ = NewClient(request, response_.get(), site);
  page.client = idxBrowseClient_.get();
  return page;
}
