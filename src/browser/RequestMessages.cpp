#include "browser/RequestMessages.h"

#include "common/EBLog.h"

namespace requestmessages {

void StartRequest(databrowse::BrowseRequest& request, const SCParams& params,
                  const std::string& maName, bool hostOwnedByParent) {
  databrowse::BrowseTimeRange timeRange;
  timeRange.setint64(1, 1, Low32Signed(params.totime));
  timeRange.setint64(2, 2, Low32Signed(params.fromtime));
  request.setObjectAccessor(&timeRange, 6, 6);
  if (maName.empty()) return;
  CNMessageBase* host =
      request.getObjectAccessor(true, hostOwnedByParent, 9, 9, ZelEntities::MaEntity::kFamily,
                                ZelEntities::MaEntity::kNumber);
  host->setstring(1, 1, maName);
}

databrowse::BrowseOptions MakeOptions(bool browseOptionFlag) {
  databrowse::BrowseOptions options;
  options.setint64(2, 2, 1);
  options.setint64(12, 12, 1);
  options.setint64(11, 11, browseOptionFlag ? 1 : 0);
  return options;
}

databrowse::BrowseAdvancedOptions MakeAdvancedOptions(unsigned int copyPrecedence) {
  databrowse::BrowseAdvancedOptions advancedOptions;
  advancedOptions.setint64(1, 1, static_cast<long long>(copyPrecedence));
  return advancedOptions;
}

void SetEntityIds(ZelEntities::GenericEntity& entity, const SCParams& params) {
  entity.setint64(17, 47, Low32Signed(static_cast<long long>(params.sourceClientId)));
  entity.setint64(5, 11, params.AppId);
  entity.setint64(8, 20, Low32Signed(static_cast<long long>(params.bkpSetId)));
}

databrowse::BrowsePaging MakePaging(unsigned long long pagingOffset, unsigned int pageSize,
                                    const std::string* startName) {
  databrowse::BrowsePaging paging;
  paging.setint64(1, 1, 0);
  paging.setint64(2, 2, Low32Unsigned(pagingOffset));
  paging.setint64(3, 3, static_cast<long long>(pageSize));
  if (startName != nullptr) paging.setstring(4, 4, *startName);
  return paging;
}

databrowse::Query MakeQuery(const databrowse::BrowsePaging& paging,
                            const databrowse::SortParam* sort) {
  databrowse::Query query;
  query.setint64(1, 1, 0);
  query.setstring(2, 2, "0");
  CNMessageBase* options = query.getObjectAccessor(
      true, true, 5, 8, databrowse::QueryOptions::kFamily, databrowse::QueryOptions::kNumber);
  options->setObjectAccessor(&paging, 2, 2);
  if (sort != nullptr) options->setObjectAccessor(sort, 3, 3);
  query.setint64(9, 12, 1);
  return query;
}

CNMessageBase& PagingOf(CNMessageBase& query) {
  CNMessageBase* options = query.getObjectAccessor(
      true, true, 5, 8, databrowse::QueryOptions::kFamily, databrowse::QueryOptions::kNumber);
  return *options->getObjectAccessor(true, true, 2, 2, databrowse::BrowsePaging::kFamily,
                                     databrowse::BrowsePaging::kNumber);
}

databrowse::BrowsePath MakeExtentRangePath(const std::string& path, unsigned long long rangeStart,
                                           unsigned long long count) {
  databrowse::ExtentRange range;
  range.setint64(1, 1, static_cast<long long>(rangeStart));
  range.setint64(2, 2, static_cast<long long>(count));
  databrowse::BrowsePathParameters parameters;
  parameters.getlistobject(3, 6, true)->push_back(range);
  databrowse::BrowsePath browsePath;
  browsePath.setstring(1, 1, path);
  browsePath.setObjectAccessor(&parameters, 2, 5);
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
  const std::string hostString = request.getstring(84, 138);
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
  if (startName != nullptr) paging.setstring(4, 4, *startName);
  paging.setint64(2, 2, Low32Unsigned(pagingOffset));
  paging.setint64(3, 3, static_cast<long long>(pageSize));
}

void PointQueriesAtPage(Indexing::BrowseReq& request, const std::string& startName,
                        unsigned long long pagingOffset, unsigned int pageSize) {
  std::vector<CNMessageBase>* queries = request.getlistobject(82, 136, false);
  if (queries == nullptr) return;
  for (CNMessageBase& query : *queries) {
    if (query.getint64(1) == 0) PointQueryAtPage(query, &startName, pagingOffset, pageSize);
  }
}

}  // namespace requestmessages
