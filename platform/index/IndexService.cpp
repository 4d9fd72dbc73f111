// The service object: settings, faults, records, and the delivery of the
// answers the response streams build.
#include "ebindex/IndexService.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

#include "PageSelection.h"
#include "ResponseStream.h"

namespace ebindex {

namespace {

// A fault for the next `calls` calls (kAllCalls: until cleared) of one item,
// or of any item when `path` is empty.
struct FaultRule {
  int calls = 0;
  std::string path;  // normalised

  bool appliesTo(const std::string& normalisedPath) const {
    return calls != 0 && (path.empty() || path == normalisedPath);
  }
  void consume() {
    if (calls > 0) --calls;
  }
};

struct BrowseFault : FaultRule {
  int result = 0;
  bool afterResponses = false;
};

struct ScriptFault : FaultRule {
  std::vector<ScriptedResponse> script;
};

// Uses up the first rule that applies to the path; null when none does.
template <typename Rule>
const Rule* Consume(std::vector<Rule>& rules, const std::string& normalisedPath) {
  for (Rule& rule : rules) {
    if (rule.appliesTo(normalisedPath)) {
      rule.consume();
      return &rule;
    }
  }
  return nullptr;
}

// Each thread draws its own numbers, so concurrent browses never share a
// generator.
long long Draw(long long least, long long most) {
  if (most <= least) return least;
  thread_local std::minstd_rand generator(
      static_cast<unsigned int>(std::hash<std::thread::id>()(std::this_thread::get_id())));
  return std::uniform_int_distribution<long long>(least, most)(generator);
}

}  // namespace

struct IndexService::State {
  // Everything reset() puts back, kept apart from the mutex so that it can be
  // replaced in one assignment.
  struct Values {
    // Shared so that a call can answer from it after releasing the mutex,
    // even if a host installs another catalogue meanwhile.
    std::shared_ptr<const Catalogue> catalogue = std::make_shared<const Catalogue>();
    Protocol protocol = Protocol::V2;
    std::map<std::string, Protocol> protocolByPath;  // by normalised path
    std::string defaultHost = "localhost";
    std::map<std::string, std::string> clientNames;
    int leastItemsPerResponse = 100;
    int mostItemsPerResponse = 100;
    bool deliverOnServiceThread = false;
    std::chrono::microseconds leastDelay{0};
    std::chrono::microseconds mostDelay{0};
    int nextClientId = 1;

    std::vector<FaultRule> initializeFaults;
    std::vector<BrowseFault> browseFaults;
    std::vector<ScriptFault> scriptFaults;

    bool recording = false;
    std::vector<RecordedInitialize> initializeCalls;
    std::vector<RecordedBrowse> browseCalls;
    std::vector<RecordedSetPaths> setPathsCalls;
    unsigned long long browseCount = 0;
    unsigned long long initializeCount = 0;
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

void IndexService::setCatalogue(Catalogue catalogue) {
  auto shared = std::make_shared<const Catalogue>(std::move(catalogue));
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.catalogue = std::move(shared);
}

void IndexService::setProtocol(Protocol protocol) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.protocol = protocol;
}

void IndexService::setProtocolFor(const std::string& path, Protocol protocol) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.protocolByPath[Catalogue::normalisePath(path)] = protocol;
}

void IndexService::setDefaultHost(const std::string& host) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.defaultHost = host;
}

void IndexService::setHostClientName(const std::string& host, const std::string& clientName) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.clientNames[host] = clientName;
}

void IndexService::setItemsPerResponse(int count) { setItemsPerResponse(count, count); }

void IndexService::setItemsPerResponse(int least, int most) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.leastItemsPerResponse = least;
  state_->values.mostItemsPerResponse = most;
}

void IndexService::setDeliverOnServiceThread(bool onServiceThread) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.deliverOnServiceThread = onServiceThread;
}

void IndexService::setResponseDelay(std::chrono::microseconds delay) {
  setResponseDelay(delay, delay);
}

void IndexService::setResponseDelay(std::chrono::microseconds least,
                                    std::chrono::microseconds most) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.leastDelay = least;
  state_->values.mostDelay = most;
}

void IndexService::failInitialize(int calls, const std::string& path) {
  FaultRule rule;
  rule.calls = calls;
  rule.path = path.empty() ? path : Catalogue::normalisePath(path);
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.initializeFaults.push_back(rule);
}

void IndexService::failBrowse(int result, bool afterResponses, int calls,
                              const std::string& path) {
  BrowseFault rule;
  rule.calls = calls;
  rule.path = path.empty() ? path : Catalogue::normalisePath(path);
  rule.result = result;
  rule.afterResponses = afterResponses;
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.browseFaults.push_back(rule);
}

void IndexService::scriptResponses(const std::vector<ScriptedResponse>& script, int calls,
                                   const std::string& path) {
  ScriptFault rule;
  rule.calls = calls;
  rule.path = path.empty() ? path : Catalogue::normalisePath(path);
  rule.script = script;
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.scriptFaults.push_back(std::move(rule));
}

void IndexService::clearFaults() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.initializeFaults.clear();
  state_->values.browseFaults.clear();
  state_->values.scriptFaults.clear();
}

void IndexService::clearFaults(const std::string& path) {
  const std::string target = Catalogue::normalisePath(path);
  const auto dropAimedAtPath = [&target](auto& rules) {
    rules.erase(std::remove_if(rules.begin(), rules.end(),
                               [&target](const FaultRule& rule) { return rule.path == target; }),
                rules.end());
  };
  std::lock_guard<std::mutex> lock(state_->mutex);
  dropAimedAtPath(state_->values.initializeFaults);
  dropAimedAtPath(state_->values.browseFaults);
  dropAimedAtPath(state_->values.scriptFaults);
}

void IndexService::setRecording(bool on) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.recording = on;
}

bool IndexService::isRecording() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->values.recording;
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

unsigned long long IndexService::browseCallCount() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->values.browseCount;
}

unsigned long long IndexService::initializeCallCount() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->values.initializeCount;
}

int IndexService::nextClientId() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->values.nextClientId++;
}

InitializeOutcome IndexService::onInitialize(int clientId, const databrowse::BrowseRequest& request,
                                             int timeoutSeconds, bool callbackGiven) {
  const std::string path = Catalogue::normalisePath(PathOf(request));
  const CNMessageBase* browseHost = request.findObject(9);
  std::string host = browseHost != nullptr ? browseHost->getstring(1, 1) : std::string();

  InitializeOutcome outcome;
  std::lock_guard<std::mutex> lock(state_->mutex);
  State::Values& values = state_->values;
  ++values.initializeCount;
  outcome.failed = Consume(values.initializeFaults, path) != nullptr;
  auto protocol = values.protocolByPath.find(path);
  outcome.protocol = protocol != values.protocolByPath.end() ? protocol->second : values.protocol;
  if (host.empty()) host = values.defaultHost;
  outcome.hostString = host + "*" + state_->clientNameOf(host) + "*8400*0";
  if (values.recording) {
    RecordedInitialize record;
    record.clientId = clientId;
    record.request = request;
    record.timeoutSeconds = timeoutSeconds;
    record.callbackGiven = callbackGiven;
    record.failed = outcome.failed;
    values.initializeCalls.push_back(std::move(record));
  }
  return outcome;
}

std::string IndexService::clientNameOf(const std::string& host) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->clientNameOf(host);
}

void IndexService::onSetPaths(int clientId, const std::vector<databrowse::BrowsePath>& paths) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->values.recording) state_->values.setPathsCalls.push_back(RecordedSetPaths{clientId, paths});
}

int IndexService::answer(const databrowse::BrowseRequest& request, Protocol protocol,
                         RecordedBrowse record,
                         const std::function<void(CNMessageBase*)>& deliver) {
  const std::string path = Catalogue::normalisePath(PathOf(request));
  // Everything this call needs is taken under the mutex; the callbacks run
  // without it, so a callback may itself ask the service anything.
  std::shared_ptr<const Catalogue> catalogue;
  int leastItems = 0, mostItems = 0;
  bool onServiceThread = false;
  std::chrono::microseconds leastDelay{0}, mostDelay{0};
  bool failing = false;
  BrowseFault failure;
  bool scripted = false;
  std::vector<ScriptedResponse> script;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    State::Values& values = state_->values;
    ++values.browseCount;
    catalogue = values.catalogue;
    leastItems = values.leastItemsPerResponse;
    mostItems = values.mostItemsPerResponse;
    onServiceThread = values.deliverOnServiceThread;
    leastDelay = values.leastDelay;
    mostDelay = values.mostDelay;
    // Every kind of fault counts this call, whether or not another fault
    // keeps it from showing.
    if (const BrowseFault* fault = Consume(values.browseFaults, path)) {
      failing = true;
      failure = *fault;
    }
    if (const ScriptFault* fault = Consume(values.scriptFaults, path)) {
      scripted = true;
      script = fault->script;
    }
  }

  int result = 0;
  if (failing && !failure.afterResponses) {
    result = failure.result;
  } else {
    const ResponseSizer sizer = [leastItems, mostItems] {
      return static_cast<std::size_t>(Draw(leastItems, mostItems));
    };
    const auto realAnswer = [catalogue, &request, protocol, sizer] {
      return std::make_unique<AnswerStream>(catalogue, request, protocol, sizer);
    };
    std::unique_ptr<ResponseSource> source;
    if (scripted) {
      source = std::make_unique<ScriptedStream>(std::move(script), realAnswer);
    } else {
      source = realAnswer();
    }
    // One response lives at a time: built, delivered, freed.
    auto deliverAll = [&source, &deliver, leastDelay, mostDelay] {
      std::unique_ptr<CNMessageBase> response;
      while (source->next(response)) {
        const long long delay = Draw(leastDelay.count(), mostDelay.count());
        if (delay > 0) std::this_thread::sleep_for(std::chrono::microseconds(delay));
        deliver(response.get());
        response.reset();
      }
    };
    if (onServiceThread) {
      // The caller waits: a browse returns only after its last response.
      std::thread serviceThread(deliverAll);
      serviceThread.join();
    } else {
      deliverAll();
    }
    if (failing) result = failure.result;
  }

  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->values.recording) {
    record.result = result;
    state_->values.browseCalls.push_back(std::move(record));
  }
  return result;
}

}  // namespace ebindex
