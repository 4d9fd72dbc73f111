// The service object: settings, faults, records, and the delivery of the
// answers AnswerRequest builds.
#include "IndexService.h"

#include <thread>
#include <utility>

namespace ebindex {

namespace {

// How many more calls a fault applies to: 0 for none, kAllCalls until it is
// cleared.
struct FaultBudget {
  int calls = 0;

  // Uses up one call of an active fault; true when the fault applies.
  bool consume() {
    if (calls == 0) return false;
    if (calls > 0) --calls;
    return true;
  }
};

}  // namespace

struct IndexService::State {
  // Everything reset() puts back, kept apart from the mutex so that it can be
  // replaced in one assignment.
  struct Values {
    // Shared so that a call can answer from it after releasing the mutex,
    // even if a host installs another catalogue meanwhile.
    std::shared_ptr<const Catalogue> catalogue = std::make_shared<const Catalogue>();
    Protocol protocol = Protocol::V2;
    std::string defaultHost = "localhost";
    std::map<std::string, std::string> clientNames;
    int itemsPerResponse = 100;
    bool deliverOnServiceThread = false;
    std::chrono::milliseconds responseDelay{0};
    int nextClientId = 1;

    FaultBudget initializeFault;
    FaultBudget browseFault;
    int browseFaultResult = 0;
    bool browseFaultAfterResponses = false;
    FaultBudget scriptFault;
    std::vector<ScriptedResponse> script;

    std::vector<RecordedInitialize> initializeCalls;
    std::vector<RecordedBrowse> browseCalls;
    std::vector<RecordedSetPaths> setPathsCalls;
  };

  mutable std::mutex mutex;
  Values values;

  std::string clientNameOf(const std::string& host) const {
    auto found = values.clientNames.find(host);
    return found == values.clientNames.end() ? host : found->second;
  }
};

IndexService::IndexService() : state_(std::make_unique<State>()) {}

IndexService& IndexService::instance() {
  static IndexService service;
  return service;
}

void IndexService::reset() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values = State::Values();
}

void IndexService::setCatalogue(const Catalogue& catalogue) {
  auto copy = std::make_shared<const Catalogue>(catalogue);
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.catalogue = std::move(copy);
}

Catalogue IndexService::catalogue() const {
  std::shared_ptr<const Catalogue> current;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    current = state_->values.catalogue;
  }
  return *current;
}

void IndexService::setProtocol(Protocol protocol) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.protocol = protocol;
}

void IndexService::setDefaultHost(const std::string& host) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.defaultHost = host;
}

void IndexService::setHostClientName(const std::string& host, const std::string& clientName) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.clientNames[host] = clientName;
}

void IndexService::setItemsPerResponse(int count) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.itemsPerResponse = count;
}

void IndexService::setDeliverOnServiceThread(bool onServiceThread) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.deliverOnServiceThread = onServiceThread;
}

void IndexService::setResponseDelay(std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.responseDelay = delay;
}

void IndexService::failInitialize(int calls) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.initializeFault.calls = calls;
}

void IndexService::failBrowse(int result, bool afterResponses, int calls) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.browseFault.calls = calls;
  state_->values.browseFaultResult = result;
  state_->values.browseFaultAfterResponses = afterResponses;
}

void IndexService::scriptResponses(const std::vector<ScriptedResponse>& script, int calls) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.scriptFault.calls = calls;
  state_->values.script = script;
}

void IndexService::clearFaults() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  State::Values& values = state_->values;
  values.initializeFault = FaultBudget();
  values.browseFault = FaultBudget();
  values.scriptFault = FaultBudget();
  values.script.clear();
}

std::vector<RecordedInitialize> IndexService::initializeCalls() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->values.initializeCalls;
}

std::vector<RecordedBrowse> IndexService::browseCalls() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->values.browseCalls;
}

std::vector<RecordedSetPaths> IndexService::setPathsCalls() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->values.setPathsCalls;
}

void IndexService::clearRecords() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.initializeCalls.clear();
  state_->values.browseCalls.clear();
  state_->values.setPathsCalls.clear();
}

int IndexService::nextClientId() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->values.nextClientId++;
}

bool IndexService::onInitialize(int clientId, const databrowse::BrowseRequest& request,
                                int timeoutSeconds, bool callbackGiven) {
  RecordedInitialize record;
  record.clientId = clientId;
  record.request = request;
  record.timeoutSeconds = timeoutSeconds;
  record.callbackGiven = callbackGiven;
  std::lock_guard<std::mutex> lock(state_->mutex);
  record.failed = state_->values.initializeFault.consume();
  state_->values.initializeCalls.push_back(std::move(record));
  return state_->values.initializeCalls.back().failed;
}

Protocol IndexService::protocol() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->values.protocol;
}

std::string IndexService::hostStringFor(const databrowse::BrowseRequest& request) const {
  const CNMessageBase* browseHost = request.findObject(9);
  std::string host = browseHost != nullptr ? browseHost->getstring(1, 1) : std::string();
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (host.empty()) host = state_->values.defaultHost;
  return host + "*" + state_->clientNameOf(host) + "*8400*0";
}

std::string IndexService::clientNameOf(const std::string& host) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->clientNameOf(host);
}

void IndexService::onSetPaths(int clientId, const std::vector<databrowse::BrowsePath>& paths) {
  RecordedSetPaths record{clientId, paths};
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.setPathsCalls.push_back(std::move(record));
}

int IndexService::answer(const databrowse::BrowseRequest& request, RecordedBrowse record,
                         const std::function<void(CNMessageBase*)>& deliver) {
  // Everything this call needs is taken under the mutex; the callbacks run
  // without it, so a callback may itself ask the service anything.
  std::shared_ptr<const Catalogue> catalogue;
  int itemsPerResponse = 0;
  bool onServiceThread = false;
  std::chrono::milliseconds delay{0};
  bool failing = false;
  bool failAfterResponses = false;
  int failResult = 0;
  bool scripted = false;
  std::vector<ScriptedResponse> script;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    State::Values& values = state_->values;
    catalogue = values.catalogue;
    itemsPerResponse = values.itemsPerResponse;
    onServiceThread = values.deliverOnServiceThread;
    delay = values.responseDelay;
    // Every active fault counts this call, whether or not another fault
    // keeps it from showing.
    if (values.browseFault.consume()) {
      failing = true;
      failAfterResponses = values.browseFaultAfterResponses;
      failResult = values.browseFaultResult;
    }
    if (values.scriptFault.consume()) {
      scripted = true;
      script = values.script;
    }
  }

  int result = 0;
  if (failing && !failAfterResponses) {
    result = failResult;
  } else {
    std::vector<databrowse::BrowseResponse> answer =
        AnswerRequest(*catalogue, request, itemsPerResponse);
    std::vector<std::unique_ptr<CNMessageBase>> responses;
    if (scripted) {
      responses = ScriptedAnswer(script, answer);
    } else {
      for (databrowse::BrowseResponse& response : answer) {
        responses.push_back(std::make_unique<databrowse::BrowseResponse>(std::move(response)));
      }
    }
    auto deliverAll = [&responses, &deliver, delay] {
      for (const std::unique_ptr<CNMessageBase>& response : responses) {
        if (delay.count() > 0) std::this_thread::sleep_for(delay);
        deliver(response.get());
      }
    };
    if (onServiceThread) {
      // The caller waits: a browse returns only after its last response.
      std::thread serviceThread(deliverAll);
      serviceThread.join();
    } else {
      deliverAll();
    }
    if (failing) result = failResult;
  }

  record.result = result;
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.browseCalls.push_back(std::move(record));
  return result;
}

}  // namespace ebindex
