#include "IdxBrowseClient.h"

#include "ebindex/IndexService.h"

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

  ebindex::IndexService& service = ebindex::IndexService::instance();
  ebindex::RecordedBrowse record;
  record.clientId = 0;
  record.direct = true;
  record.v1 = true;
  if (service.isRecording()) record.request = *request;

  // With a callback the responses are not also collected: a whole item
  // browsed in process would otherwise be held in the list at once.
  std::vector<CNMessageBase>* list = responses.getlistobject(1, 1, true);
  auto deliver = [list, callback](CNMessageBase* message) {
    if (callback != nullptr) {
      callback->processResp(message);
    } else if (message != nullptr) {
      list->push_back(*message);
    }
  };
  return service.answer(inner, ebindex::Protocol::V1, std::move(record), deliver);
}
