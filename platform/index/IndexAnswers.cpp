// The service's side of the browse client's calls: initialisation, the
// paths a client sets, and the delivery of the answers the response streams
// build, with the faults that apply to each call.
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

#include "IndexFields.h"
#include "PageSelection.h"
#include "ResponseStream.h"
#include "ServiceState.h"
#include "ebindex/IndexService.h"

namespace ebindex {

namespace {

// Each thread draws its own numbers, so concurrent browses never share a
// generator.
long long Draw(long long least, long long most) {
  if (most <= least) return least;
  thread_local std::minstd_rand generator(
      static_cast<unsigned int>(std::hash<std::thread::id>()(std::this_thread::get_id())));
  return std::uniform_int_distribution<long long>(least, most)(generator);
}

}  // namespace

int IndexService::nextClientId() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  ++state_->liveClients;
  return state_->values.nextClientId++;
}

void IndexService::onClientReleased() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  --state_->liveClients;
}

InitializeOutcome IndexService::onInitialize(int clientId, const databrowse::BrowseRequest& request,
                                             int timeoutSeconds, bool callbackGiven) {
  const std::string path = Catalogue::normalisePath(PathOf(request));
  const CNMessageBase* browseHost = request.findObject(fields::kRequestBrowseHost.tag);
  std::string host = browseHost != nullptr
                         ? browseHost->getstring(fields::kHostName.index, fields::kHostName.tag)
                         : std::string();

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
    record.otherClientsAlive = state_->liveClients - 1;
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
  if (state_->values.recording) {
    state_->values.setPathsCalls.push_back(RecordedSetPaths{clientId, paths});
  }
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
