#include "browser/RequestMessages.h"

#include "browser/WireFields.h"
#include "common/EBLog.h"

namespace requestmessages {

void StartRequest(databrowse::BrowseRequest& request, const SCParams& params,
                  const std::string& maName, bool hostOwnedByParent) {
  databrowse::BrowseTimeRange timeRange;
  SetInt(timeRange, wire::timerange::kTo, Low32Signed(params.totime));
  SetInt(timeRange, wire::timerange::kFrom, Low32Signed(params.fromtime));
  SetChild(request, wire::request::kTimeRange, timeRange);
  if (maName.empty()) return;
  SetString(*ChildOf<ZelEntities::MaEntity>(request, wire::request::kBrowseHost, hostOwnedByParent),
            wire::host::kName, maName);
}

databrowse::BrowseOptions MakeOptions(bool browseOptionFlag) {
  databrowse::BrowseOptions options;
  SetInt(options, wire::options::kEvery1, 1);
  SetInt(options, wire::options::kEvery2, 1);
  SetInt(options, wire::options::kCallerFlag, browseOptionFlag ? 1 : 0);
  return options;
}

databrowse::BrowseAdvancedOptions MakeAdvancedOptions(unsigned int copyPrecedence) {
  databrowse::BrowseAdvancedOptions advancedOptions;
  SetInt(advancedOptions, wire::advanced::kCopyPrecedence, static_cast<long long>(copyPrecedence));
  return advancedOptions;
}

void SetEntityIds(ZelEntities::GenericEntity& entity, const SCParams& params) {
  SetInt(entity, wire::entity::kClientId,
         Low32Signed(static_cast<long long>(params.sourceClientId)));
  SetInt(entity, wire::entity::kAppId, params.AppId);
  SetInt(entity, wire::entity::kBackupSetId, Low32Signed(static_cast<long long>(params.bkpSetId)));
}

databrowse::BrowsePaging MakePaging(unsigned long long pagingOffset, unsigned int pageSize,
                                    const std::string* startName) {
  databrowse::BrowsePaging paging;
  SetInt(paging, wire::paging::kKind, 0);
  SetInt(paging, wire::paging::kOffset, Low32Unsigned(pagingOffset));
  SetInt(paging, wire::paging::kSize, static_cast<long long>(pageSize));
  if (startName != nullptr) SetString(paging, wire::paging::kStartName, *startName);
  return paging;
}

databrowse::Query MakeQuery(const databrowse::BrowsePaging& paging,
                            const databrowse::SortParam* sort) {
  databrowse::Query query;
  SetInt(query, wire::query::kKind, wire::query::kDataQuery);
  SetString(query, wire::query::kId, "0");
  CNMessageBase& options = *ChildOf<databrowse::QueryOptions>(query, wire::query::kOptions);
  SetChild(options, wire::queryoptions::kPaging, paging);
  if (sort != nullptr) SetChild(options, wire::queryoptions::kSort, *sort);
  SetInt(query, wire::query::kFlag, 1);
  return query;
}

CNMessageBase& PagingOf(CNMessageBase& query) {
  CNMessageBase& options = *ChildOf<databrowse::QueryOptions>(query, wire::query::kOptions);
  return *ChildOf<databrowse::BrowsePaging>(options, wire::queryoptions::kPaging);
}

databrowse::BrowsePath MakeExtentRangePath(const std::string& path, unsigned long long rangeStart,
                                           unsigned long long count) {
  databrowse::ExtentRange range;
  SetInt(range, wire::extentrange::kStart, static_cast<long long>(rangeStart));
  SetInt(range, wire::extentrange::kCount, static_cast<long long>(count));
  databrowse::BrowsePathParameters parameters;
  ListAt(parameters, wire::pathparameters::kExtentRanges, true)->push_back(range);
  databrowse::BrowsePath browsePath;
  SetString(browsePath, wire::path::kPath, path);
  SetChild(browsePath, wire::path::kParameters, parameters);
  return browsePath;
}

boost::shared_ptr<IdxBrowseClient> NewClient(const databrowse::BrowseRequest& request,
                                             IdxBrowseClientResp* callback, const LogSite& site) {
  if (EB_LOG_WANTED(4)) {
    std::string text;
    request.serialize(text, false);
    EB_LOG_AT(site, 4, "My BrowseReq [%s].", text.c_str());
  }
  boost::shared_ptr<IdxBrowseClient> client(new IdxBrowseClient());
  client->Initialize(request, callback, 2000, nullptr, nullptr);
  return client;
}

std::string BrowseHostClientName(Indexing::BrowseReq& request) {
  const std::string hostString = StringOf(request, wire::v1::kHostString);
  std::string hostName;
  std::string clientName;
  int port = 0;
  int flags = 0;
  DemangleHostName(hostString.c_str(), hostName, clientName, port, flags);
  return clientName;
}

void PointQueryAtPage(CNMessageBase& query, const std::string* startName,
                      unsigned long long pagingOffset, unsigned int pageSize) {
  CNMessageBase& paging = PagingOf(query);
  if (startName != nullptr) SetString(paging, wire::paging::kStartName, *startName);
  SetInt(paging, wire::paging::kOffset, Low32Unsigned(pagingOffset));
  SetInt(paging, wire::paging::kSize, static_cast<long long>(pageSize));
}

void PointQueriesAtPage(Indexing::BrowseReq& request, const std::string& startName,
                        unsigned long long pagingOffset, unsigned int pageSize) {
  std::vector<CNMessageBase>* queries = ListAt(request, wire::v1::kQueries, false);
  if (queries == nullptr) return;
  for (CNMessageBase& query : *queries) {
    if (IntOf(query, wire::query::kKind) == wire::query::kDataQuery) {
      PointQueryAtPage(query, &startName, pagingOffset, pageSize);
    }
  }
}

}  // namespace requestmessages
