// The extent-range request: an explicit range of extents under the browse
// path, by number, through a browse client of its own.
#include <string>
#include <vector>

#include "browser/OutgoingPage.h"
#include "browser/PathHelpers.h"
#include "browser/RequestMessages.h"
#include "browser/WireFields.h"
#include "common/EBLog.h"

using namespace requestmessages;

PageBrowse::OutgoingPage PageBrowse::PrepareExtentRange(
    const LogSite& site, const std::string& startExtentName, unsigned int copyPrecedence,
    unsigned int pageSize, unsigned long long pagingOffset, unsigned long long rangeStart,
    const std::string& maName) {
  const SCParams& params = settings_.scParams;
  OutgoingPage page(site, startExtentName, pagingOffset, pageSize);
  std::string path = volume_.browsePath;
  TransformPath(path, &params);
  // The range spans the browser's page size; the argument sizes the paging.
  const unsigned long long rangeCount = settings_.pageSize;

  if (fsIdxBrowseClient_ && !fsIdxBrowseClient_->isInitFailed()) {
    // The client keeps its request; only the path, with the new range,
    // changes.
    EB_LOG_AT(site, 2, "Reusing IdxBrowseClient");
    std::vector<databrowse::BrowsePath> paths(1, MakeExtentRangePath(path, rangeStart, rangeCount));
    EB_LOG_AT(site, 4, "My BrowseReq before[%s].", fsIdxBrowseClient_->serializeRequest().c_str());
    fsIdxBrowseClient_->setPaths(&paths);
    EB_LOG_AT(site, 4, "My BrowseReq after [%s].", fsIdxBrowseClient_->serializeRequest().c_str());
    page.client = fsIdxBrowseClient_.get();
    return page;
  }

  const bool exchange = params.appType == EB_APP_TYPE_EXCHANGE_DATABASE;
  databrowse::BrowseRequest request;
  StartRequest(request, params, maName, true);

  databrowse::BrowseOptions options = MakeOptions(settings_.browseOptionFlag);
  for (const WireField flag :
       {wire::options::kRange1, wire::options::kRange2, wire::options::kRange3}) {
    SetInt(options, flag, 1);
  }
  if (exchange) {
    SetInt(options, wire::options::kExchangeRange1, 1);
    SetInt(options, wire::options::kExchangeRange2, 1);
  }
  SetChild(request, wire::request::kOptions, options);
  SetInt(request, wire::request::kForm, 1);
  SetInt(request, wire::request::kExtentRangeForm, 1);

  // The extent-range request names the backup by its ids, never by GUID.
  ZelEntities::GenericEntity entity;
  SetEntityIds(entity, params);
  SetInt(entity, wire::entity::kAppType, params.appType);
  SetChild(request, wire::request::kEntity, entity);

  databrowse::BrowseAdvancedOptions advancedOptions = MakeAdvancedOptions(copyPrecedence);
  EB_LOG_AT(site, 4, "copyPrecedence set to %u", copyPrecedence);
  if (exchange) SetString(advancedOptions, wire::advanced::kView, "EDBVIEW");
  SetChild(request, wire::request::kAdvancedOptions, advancedOptions);

  databrowse::BrowseMode browseMode;
  SetInt(browseMode, wire::mode::kMode, wire::mode::kExtentRange);
  SetChild(request, wire::request::kMode, browseMode);

  const databrowse::BrowsePaging paging = MakePaging(pagingOffset, pageSize, nullptr);
  ListAt(request, wire::request::kPaths, true)
      ->push_back(MakeExtentRangePath(path, rangeStart, rangeCount));

  databrowse::SortParam sortByExtent;
  SetInt(sortByExtent, wire::sort::kOrder, 1);
  SetInts(sortByExtent, wire::sort::kFields,
          std::vector<int>(1, databrowse::FILTERED_BROWSE_FIELD_EXTENT_NUMBER));
  SetList(request, wire::request::kQueries, ListOf(MakeQuery(paging, &sortByExtent)));

  // The old client goes before the new one is made, so that a browser never
  // holds two of a kind at the index.
  fsIdxBrowseClient_.reset();
  fsIdxBrowseClient_ = NewClient(request, response_.get(), site);
  page.client = fsIdxBrowseClient_.get();
  return page;
}
