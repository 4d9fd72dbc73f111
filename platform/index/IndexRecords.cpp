// What the service keeps of the calls it received, and its call counts.
#include <mutex>

#include "ServiceState.h"
#include "ebindex/IndexService.h"

namespace ebindex {

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

}  // namespace ebindex
