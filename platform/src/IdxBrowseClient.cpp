#include "IdxBrowseClient.h"

#include <climits>
#include <cstdlib>

#include "ebindex/IndexService.h"

namespace {

std::vector<CNMessageBase> AsMessages(const std::vector<databrowse::Query>& queries) {
  return std::vector<CNMessageBase>(queries.begin(), queries.end());
}

std::vector<databrowse::Query> AsQueries(const std::vector<CNMessageBase>* messages) {
  std::vector<databrowse::Query> queries;
  if (messages == nullptr) return queries;
  queries.reserve(messages->size());
  for (const CNMessageBase& message : *messages) {
    databrowse::Query query;
    static_cast<CNMessageBase&>(query) = message;
    queries.push_back(std::move(query));
  }
  return queries;
}

databrowse::BrowseRequest AsBrowseRequest(const CNMessageBase* message) {
  databrowse::BrowseRequest request;
  if (message != nullptr) static_cast<CNMessageBase&>(request) = *message;
  return request;
}

// Responses of the browse response class go to the typed operation. The
// service builds them as databrowse::BrowseResponse objects, so the
// downcast is sound.
void DeliverTo(IdxBrowseClientResp* callback, CNMessageBase* message) {
  if (message != nullptr && message->getTagID() == databrowse::BrowseResponse::classTagID()) {
    callback->processResp(static_cast<databrowse::BrowseResponse*>(message));
  } else {
    callback->processResp(message);
  }
}

// A decimal field of a host string; anything unreadable counts as 0 and an
// out-of-range value is clamped rather than wrapped.
int NumberOf(const std::string& text) {
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

IdxBrowseClient::IdxBrowseClient() : id_(ebindex::IndexService::instance().nextClientId()) {}

IdxBrowseClient::~IdxBrowseClient() { ebindex::IndexService::instance().onClientReleased(); }

int IdxBrowseClient::Initialize(databrowse::BrowseRequest request, IdxBrowseClientResp* callback,
                                int timeoutSeconds, const char* /*reserved*/,
                                IdxBrowseClientInterrupt* /*interrupt*/) {
  const ebindex::InitializeOutcome outcome = ebindex::IndexService::instance().onInitialize(
      id_, request, timeoutSeconds, callback != nullptr);
  initFailed_ = outcome.failed;
  initialized_ = true;
  callback_ = callback;
  queries_ = AsQueries(request.findList(12));
  v1_ = outcome.protocol == ebindex::Protocol::V1;
  v1QueriesHandedOut_ = false;
  v1Request_ = Indexing::BrowseReq();
  if (v1_) {
    // A V1 service wraps the request and names the host that browses it.
    v1Request_.setObjectAccessor(&request, 1, 1);
    const std::vector<CNMessageBase> queries = AsMessages(queries_);
    v1Request_.setlistobject(82, 136, &queries);
    v1Request_.setstring(84, 138, outcome.hostString);
  }
  request_ = std::move(request);
  return initFailed_ ? -1 : 0;
}

bool IdxBrowseClient::isInitFailed() const { return initFailed_; }

bool IdxBrowseClient::isIndexingV2BrowseRequest() const { return !v1_; }

void IdxBrowseClient::syncV1Queries() {
  if (!v1QueriesHandedOut_) return;
  v1QueriesHandedOut_ = false;
  const std::vector<CNMessageBase> queries = AsMessages(queries_);
  v1Request_.setlistobject(82, 136, &queries);
}

Indexing::BrowseReq* IdxBrowseClient::getV1BrowseReq() {
  if (!v1_) return nullptr;
  syncV1Queries();
  return &v1Request_;
}

std::vector<databrowse::Query>* IdxBrowseClient::getQueries() {
  if (v1_ && !v1QueriesHandedOut_) {
    queries_ = AsQueries(v1Request_.findList(136));
    v1QueriesHandedOut_ = true;
  }
  return &queries_;
}

void IdxBrowseClient::setPaths(std::vector<databrowse::BrowsePath>* paths) {
  if (paths == nullptr) return;
  const std::vector<CNMessageBase> list(paths->begin(), paths->end());
  CNMessageBase* held = &request_;
  if (v1_) {
    held = v1Request_.getObjectAccessor(true, true, 1, 1, databrowse::BrowseRequest::kFamily,
                                        databrowse::BrowseRequest::kNumber);
  }
  held->setlistobject(4, 4, &list);
  ebindex::IndexService::instance().onSetPaths(id_, *paths);
}

std::string IdxBrowseClient::serializeRequest() const {
  return v1_ ? v1Request_.toString() : request_.toString();
}

int IdxBrowseClient::Browse(IdxBrowseClientReq* wrapper,
                            databrowse::BrowseResponseList* /*responses*/) {
  // Nothing reaches the index from a client that never got a usable request,
  // nor without somewhere to hand the responses.
  if (!initialized_ || initFailed_ || callback_ == nullptr) return -1;

  ebindex::IndexService& service = ebindex::IndexService::instance();
  const bool wrapperQueries = wrapper != nullptr && !wrapper->queries.empty();
  // Copies of every message sent cost more than the browse; only a host
  // that reads the records pays for them.
  const bool recording = service.isRecording();
  ebindex::RecordedBrowse record;
  record.clientId = id_;
  record.v1 = v1_;
  record.hadWrapper = wrapper != nullptr;
  if (recording && wrapper != nullptr) record.wrapper = *wrapper;

  databrowse::BrowseRequest sent;
  if (v1_) {
    syncV1Queries();
    sent = AsBrowseRequest(v1Request_.findObject(1));
    if (wrapperQueries) {
      const std::vector<CNMessageBase> queries = AsMessages(wrapper->queries);
      sent.setlistobject(12, 12, &queries);
    } else {
      sent.setlistobject(12, 12, v1Request_.findList(136));
    }
    if (recording) {
      Indexing::BrowseReq asAnswered = v1Request_;
      asAnswered.setlistobject(82, 136, sent.findList(12));
      record.request = asAnswered;
    }
  } else {
    sent = request_;
    const std::vector<CNMessageBase> queries =
        AsMessages(wrapperQueries ? wrapper->queries : queries_);
    sent.setlistobject(12, 12, &queries);
    if (recording) record.request = sent;
  }

  IdxBrowseClientResp* callback = callback_;
  return service.answer(sent, v1_ ? ebindex::Protocol::V1 : ebindex::Protocol::V2,
                        std::move(record),
                        [callback](CNMessageBase* message) { DeliverTo(callback, message); });
}

void DemangleHostName(const char* hostString, std::string& hostName, std::string& clientName,
                      int& port, int& flags) {
  hostName.clear();
  clientName.clear();
  port = 0;
  flags = 0;
  if (hostString == nullptr) return;

  std::string parts[4];
  std::size_t part = 0;
  for (const char* c = hostString; *c != '\0'; ++c) {
    if (*c == '*') {
      if (++part == 4) break;
    } else {
      parts[part] += *c;
    }
  }
  hostName = parts[0];
  clientName = parts[1];
  port = NumberOf(parts[2]);
  flags = NumberOf(parts[3]);
}
