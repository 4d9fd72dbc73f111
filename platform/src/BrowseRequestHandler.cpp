#include "IdxBrowseClient.h"

#include "IndexService.h"

BrowseRequestHandler::BrowseRequestHandler() = default;

int BrowseRequestHandler::directBrowse(Indexing::BrowseReq* request,
                                       databrowse::BrowseResponseList& responses,
                                       DirectIdxBrowseClientResp* callback) {
  if (request == nullptr) return -1;

  // The in-process path answers the wrapped request with the V1 queries,
  // which is where a caller edits the paging of the next page.
  databrowse::BrowseRequest inner;
  if (const CNMessageBase* wrapped = request->findObject(1)) {
    static_cast<CNMessageBase&>(inner) = *wrapped;
  }
  if (const std::vector<CNMessageBase>* queries = request->findList(136)) {
    inner.setlistobject(12, 12, queries);
  }

  ebindex::RecordedBrowse record;
  record.clientId = 0;
  record.direct = true;
  record.v1 = true;
  record.request = *request;

  std::vector<CNMessageBase>* list = responses.getlistobject(1, 1, true);
  auto deliver = [list, callback](CNMessageBase* message) {
    if (message != nullptr) list->push_back(*message);
    if (callback != nullptr) callback->processResp(message);
  };
  return ebindex::IndexService::instance().answer(inner, std::move(record), deliver);
}
