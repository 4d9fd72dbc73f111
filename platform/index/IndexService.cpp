// The service object and its settings: catalogue, protocol, hosts,
// response sizes, delivery and delays.
#include "ebindex/IndexService.h"

#include <memory>
#include <mutex>
#include <utility>

#include "ServiceState.h"

namespace ebindex {

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

}  // namespace ebindex
