// Pieces of the browse requests that both request forms build the same way.
// Internal to the library.
#ifndef EXTENTBROWSE_SRC_BROWSER_REQUESTMESSAGES_H
#define EXTENTBROWSE_SRC_BROWSER_REQUESTMESSAGES_H

#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "BrowseMessages.h"
#include "IdxBrowseClient.h"
#include "common/EBLog.h"
#include "extentbrowse/ExtentBrowseTypes.h"
#include "extentbrowse/SCParams.h"

namespace requestmessages {

// The low 32 bits of a value, read as unsigned.
inline long long Low32Unsigned(unsigned long long value) {
  return static_cast<long long>(static_cast<unsigned int>(value));
}

// The low 32 bits of a value, read as signed and widened with its sign.
inline long long Low32Signed(long long value) {
  return static_cast<long long>(static_cast<int>(value));
}

// Starts a new request: its time range, and its browse host when `maName`
// names one.
void StartRequest(databrowse::BrowseRequest& request, const SCParams& params,
                  const std::string& maName, bool hostOwnedByParent);

// The browse options both forms set: tags 2, 12 and the caller's flag.
databrowse::BrowseOptions MakeOptions(bool browseOptionFlag);

databrowse::BrowseAdvancedOptions MakeAdvancedOptions(unsigned int copyPrecedence);

// The entity whose backup is browsed, named by its numeric ids.
void SetEntityIds(ZelEntities::GenericEntity& entity, const SCParams& params);

// A paging of `pageSize` items after `pagingOffset`, starting at
// `startName` unless that is null.
databrowse::BrowsePaging MakePaging(unsigned long long pagingOffset, unsigned int pageSize,
                                    const std::string* startName);

// A data query (type 0) around `paging`, with an optional sort order.
databrowse::Query MakeQuery(const databrowse::BrowsePaging& paging,
                            const databrowse::SortParam* sort);

// The paging of a query, created when absent.
CNMessageBase& PagingOf(CNMessageBase& query);

// A browse path carrying one extent range (start, count).
databrowse::BrowsePath MakeExtentRangePath(const std::string& path, unsigned long long rangeStart,
                                           unsigned long long count);

template <typename Message>
std::vector<CNMessageBase> ListOf(const Message& message) {
  return std::vector<CNMessageBase>(1, message);
}

// A new client holding `request`, after logging the request at `site`.
boost::shared_ptr<IdxBrowseClient> NewClient(const databrowse::BrowseRequest& request,
                                             IdxBrowseClientResp* callback, const LogSite& site);

// The client name of the browse host a V1 request names.
std::string BrowseHostClientName(Indexing::BrowseReq& request);

// A 64-bit count narrowed to the 32 bits a paging carries. Counts of 2^32 and
// more mean "as many as there are", not the few that wrapping would leave.
inline unsigned int SaturatedPageSize(unsigned long long pageSize) {
  return pageSize > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<unsigned int>(pageSize);
}

// Points a data query at a page: offset and size always, and the start name
// unless that is null. The page size goes in too, because these queries were
// made for an earlier page and an enumeration asks for everything.
void PointQueryAtPage(CNMessageBase& query, const std::string* startName,
                      unsigned long long pagingOffset, unsigned int pageSize);

// Points the data queries of a V1 request at a page, for an in-process
// browse that sends the request as it is.
void PointQueriesAtPage(Indexing::BrowseReq& request, const std::string& startName,
                        unsigned long long pagingOffset, unsigned int pageSize);

}  // namespace requestmessages

#endif  // EXTENTBROWSE_SRC_BROWSER_REQUESTMESSAGES_H
